#include "platform/desktop/Shell.h"

#include <gio/gio.h>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/AsciiText.h"
#include "platform/system/EventLog.h"

namespace platform {

namespace {

bool IsElf(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char magic[4] = {};
  const bool elf = ::read(fd, magic, 4) == 4 && std::memcmp(magic,
                                                            "\x7f"
                                                            "ELF",
                                                            4) == 0;
  ::close(fd);
  return elf;
}

bool OpenUri(const char* uri) {
  const UnfilteredStandardError own;
  GError* error = nullptr;
  const gboolean ok = g_app_info_launch_default_for_uri(uri, nullptr, &error);
  if (error != nullptr) g_error_free(error);
  return ok != FALSE;
}

bool Spawn(const std::string& file, const std::string& parameters) {
  gchar* argv[3] = {const_cast<gchar*>(file.c_str()), nullptr, nullptr};
  if (!parameters.empty()) argv[1] = const_cast<gchar*>(parameters.c_str());
  // The program outlives us (the updater does): it writes to our own standard error, not to the
  // filter's pipe that ends with this process.
  const UnfilteredStandardError own;
  // Without a pid to return, GLib detaches the child so it never becomes a zombie of ours; a
  // program that cannot be executed is reported through GLib's child pipe as a failure.
  return g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                       nullptr) != FALSE;
}

bool IsRegularFile(const std::string& file, struct stat* st) {
  return ::stat(file.c_str(), st) == 0 && S_ISREG(st->st_mode);
}

}  // namespace

bool ShellExecuteOpen(const std::string& file, const std::string& parameters) {
  if (IsHttpAddress(file)) return OpenUri(file.c_str());
  // Anything else that names a scheme is not ours to open.
  if (g_uri_peek_scheme(file.c_str()) != nullptr || file.empty()) return false;

  struct stat st {};
  if (!IsRegularFile(file, &st)) return false;
  if (::access(file.c_str(), X_OK) == 0) return Spawn(file, parameters);

  gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
  if (uri == nullptr) return false;
  const bool ok = OpenUri(uri);
  g_free(uri);
  return ok;
}

bool StartProgram(const std::string& file, const std::string& parameters) {
  struct stat st {};
  if (file.empty() || !IsRegularFile(file, &st)) return false;
  if (::access(file.c_str(), X_OK) != 0) {
    // Written from our own bytes a moment ago: on the desktop we stand in for, its name alone
    // made it runnable.
    if (!IsElf(file) || st.st_uid != ::geteuid()) return false;
    if (::chmod(file.c_str(), (st.st_mode & 07777) | S_IXUSR) != 0) return false;
  }
  return Spawn(file, parameters);
}

}  // namespace platform
