#include "platform/system/Process.h"

#include "platform/system/Files.h"

#include <csignal>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {
std::string& Text() {
  static std::string text;
  return text;
}
}  // namespace

void SetCommandLine(int argc, char** argv) {
  Text() = CommandLineText(argc, argv);
}
const std::string& Command() {
  return Text();
}

long CurrentProcessId() {
  return static_cast<long>(::getpid());
}

bool ProcessRuns(long pid) {
  return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace platform
