#include "platform/Shell.h"

#include <gio/gio.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AsciiText.h"

namespace platform {

namespace {

bool IsElf(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char magic[4] = {};
  const bool elf = ::read(fd, magic, 4) == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
  ::close(fd);
  return elf;
}

bool OpenUri(const char* uri) {
  GError* error = nullptr;
  const gboolean ok = g_app_info_launch_default_for_uri(uri, nullptr, &error);
  if (error != nullptr) g_error_free(error);
  return ok != FALSE;
}

}  // namespace

bool ShellExecuteOpen(const std::string& file, const std::string& parameters) {
  if (IsHttpAddress(file)) return OpenUri(file.c_str());
  // Anything else that names a scheme is not ours to open.
  if (g_uri_peek_scheme(file.c_str()) != nullptr || file.empty()) return false;

  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

  bool program = ::access(file.c_str(), X_OK) == 0;
  if (!program && IsElf(file) && st.st_uid == ::geteuid()) {
    // A program the client has just written (the updater, a fetched executable) carries no
    // execute bit yet; on the desktop we stand in for, its name alone made it runnable.
    program = ::chmod(file.c_str(), (st.st_mode & 07777) | S_IXUSR) == 0;
  }
  if (program) {
    gchar* argv[3] = {const_cast<gchar*>(file.c_str()), nullptr, nullptr};
    if (!parameters.empty()) argv[1] = const_cast<gchar*>(parameters.c_str());
    // Without a pid to return, GLib detaches the child so it never becomes a zombie of ours.
    return g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                         nullptr) != FALSE;
  }

  gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
  if (uri == nullptr) return false;
  const bool ok = OpenUri(uri);
  g_free(uri);
  return ok;
}

}  // namespace platform
