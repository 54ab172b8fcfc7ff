#include "platform/system/Process.h"

#include "platform/system/Files.h"

#include <csignal>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace platform {

namespace {
std::string& Text() {
  static std::string text;
  return text;
}
std::string FirstLine(const std::string& path) {
  auto text = ReadFileLimited(path, 4096);
  if (!text) return {};
  return text->substr(0, text->find('\n'));
}

// The system's start in seconds since the epoch ("btime" of /proc/stat).
std::int64_t BootTime() {
  const auto stat = ReadFileLimited("/proc/stat", 1 << 20);
  if (!stat) return 0;
  const std::size_t at = stat->find("\nbtime ");
  return at == std::string::npos ? 0 : std::atoll(stat->c_str() + at + 7);
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

std::optional<ProcessFacts> ProcessInfo(long pid) {
  if (pid <= 0) return {};
  const std::string dir = "/proc/" + std::to_string(pid);
  const auto stat = ReadFileLimited(dir + "/stat", 4096);
  if (!stat) return {};
  // "pid (name) state ppid ...": the name may hold blanks and parentheses, so the fields are
  // counted from the last ")". The start time is the 22nd field, the 20th after the name.
  const std::size_t open = stat->find('(');
  const std::size_t close = stat->rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  ProcessFacts facts;
  facts.name = stat->substr(open + 1, close - open - 1);
  std::istringstream fields(stat->substr(close + 1));
  std::string state;
  fields >> state;
  std::string skipped;
  for (int i = 0; i < 18; ++i) fields >> skipped;
  fields >> facts.ticks;
  if (!fields) return {};
  facts.zombie = state == "Z" || state == "X";
  std::error_code ec;
  std::string exe = std::filesystem::read_symlink(dir + "/exe", ec).string();
  // A program replaced on disk while it runs (the updater is written again at every update).
  if (constexpr std::string_view kDeleted = " (deleted)"; exe.ends_with(kDeleted)) {
    exe.resize(exe.size() - kDeleted.size());
  }
  if (!ec) facts.program = exe.substr(exe.rfind('/') + 1);
  facts.boot = FirstLine("/proc/sys/kernel/random/boot_id");
  const long hz = ::sysconf(_SC_CLK_TCK);
  facts.startedAt = BootTime() + static_cast<std::int64_t>(facts.ticks / (hz > 0 ? hz : 100));
  return facts;
}

}  // namespace platform
