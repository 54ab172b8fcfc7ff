#include "platform/desktop/Shell.h"

#include <gio/gio.h>

#include <algorithm>
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

// `searchPath`: a bare program name is looked up in PATH (a user's command), not taken as a file
// of the working directory.
bool SpawnArgv(gchar** argv, bool searchPath) {
  // The program outlives us (the updater does): it writes to our own standard error, not to the
  // filter's pipe that ends with this process.
  const UnfilteredStandardError own;
  // Without a pid to return, GLib detaches the child so it never becomes a zombie of ours; a
  // program that cannot be executed is reported through GLib's child pipe as a failure.
  return g_spawn_async(nullptr, argv, nullptr, searchPath ? G_SPAWN_SEARCH_PATH : G_SPAWN_DEFAULT,
                       nullptr, nullptr, nullptr, nullptr) != FALSE;
}

bool Spawn(const std::string& file, const std::string& parameters) {
  gchar* argv[3] = {const_cast<gchar*>(file.c_str()), nullptr, nullptr};
  if (!parameters.empty()) argv[1] = const_cast<gchar*>(parameters.c_str());
  return SpawnArgv(static_cast<gchar**>(argv), false);
}

// The commands of BROWSER, in order, until one starts.
bool OpenWithBrowserVariable(const char* uri) {
  const char* variable = g_getenv("BROWSER");
  if (variable == nullptr) return false;
  for (const std::string& command : BrowserCommands(variable, uri)) {
    // Split as a shell would split words, but never run by one: the address cannot become
    // shell syntax, whatever it holds.
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(command.c_str(), nullptr, &argv, nullptr)) continue;
    const bool started = SpawnArgv(argv, true);
    g_strfreev(argv);
    if (started) return true;
    LogEvent("BROWSER: \"" + command.substr(0, 200) + "\" could not be started");
  }
  return false;
}

// The desktop's default browser for the address; without one, the user's BROWSER variable, as
// the desktop's own openers honour it.
bool OpenUri(const char* uri) {
  const UnfilteredStandardError own;
  GError* error = nullptr;
  const gboolean ok = g_app_info_launch_default_for_uri(uri, nullptr, &error);
  if (error != nullptr) g_error_free(error);
  return ok != FALSE || OpenWithBrowserVariable(uri);
}

bool IsRegularFile(const std::string& file, struct stat* st) {
  return ::stat(file.c_str(), st) == 0 && S_ISREG(st->st_mode);
}

}  // namespace

std::vector<std::string> BrowserCommands(std::string_view variable, std::string_view uri) {
  std::vector<std::string> commands;
  // The address is quoted for the word splitting that follows, so that each "%s" stays one
  // argument (or part of one) whatever it holds.
  gchar* quotedUri = g_shell_quote(std::string(uri).c_str());
  const std::string quoted = quotedUri;
  g_free(quotedUri);
  std::size_t start = 0;
  while (start <= variable.size()) {
    const std::size_t colon = std::min(variable.find(':', start), variable.size());
    const std::string_view entry = variable.substr(start, colon - start);
    start = colon + 1;
    if (entry.find_first_not_of(" \t") == std::string_view::npos) continue;
    std::string command;
    bool substituted = false;
    for (std::size_t i = 0; i < entry.size(); ++i) {
      if (entry[i] == '%' && i + 1 < entry.size() && entry[i + 1] == 's') {
        command += quoted;
        substituted = true;
        ++i;
      } else if (entry[i] == '%' && i + 1 < entry.size() && entry[i + 1] == '%') {
        command += '%';
        ++i;
      } else {
        command += entry[i];
      }
    }
    if (!substituted) command += " " + quoted;
    commands.push_back(std::move(command));
  }
  return commands;
}

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
