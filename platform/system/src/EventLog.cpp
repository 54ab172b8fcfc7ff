#include "platform/system/EventLog.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <thread>

#include <cerrno>
#include <string>
#include <utility>

namespace platform {

namespace {
EventLogSink& Sink() {
  static EventLogSink sink;
  return sink;
}
}  // namespace

namespace {
// Writes to the sink or the system log; true when the line went to the system log.
bool Record(std::string_view line) {
  if (Sink()) {
    Sink()(line);
    return false;
  }
  const std::string text(line);
  syslog(LOG_USER | LOG_ERR, "%s", text.c_str());
  return true;
}
}  // namespace

namespace {

// Where the program's own lines go: the terminal's standard error, also once a filter stands in
// front of descriptor 2.
int g_terminal = STDERR_FILENO;

void WriteLine(std::string_view line) {
  std::string text = std::string(StderrPrefix()) + ": " + std::string(line) + "\n";
  std::fflush(stderr);
  const char* at = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(g_terminal, at, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    at += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace

const char* StderrPrefix() {
  return program_invocation_short_name;
}

void LogEvent(std::string_view line) {
  const std::string safe = EscapeControls(line);
  if (!Record(safe)) return;
  static const bool terminal = ::isatty(STDERR_FILENO) == 1;
  if (terminal) WriteLine(safe);
}

void TellUser(std::string_view line) {
  const std::string safe = EscapeControls(line);
  Record(safe);
  WriteLine(safe);
}

bool IsWebProcessNoise(std::string_view line) {
  for (const std::string_view pattern :
       {std::string_view("Failed to connect to bus"), std::string_view("connect to a11y bus"),
        std::string_view("connect to accessibility bus")}) {
    if (line.find(pattern) != std::string_view::npos) return true;
  }
  return false;
}

void FilterStandardError(std::function<bool(std::string_view line)> noise) {
  static bool installed = false;
  if (installed) return;
  int ends[2];
  const int terminal = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (terminal < 0 || ::pipe2(ends, O_CLOEXEC) != 0) {
    if (terminal >= 0) ::close(terminal);
    return;
  }
  installed = true;
  std::fflush(stderr);
  // Descriptor 2 (inherited by every program started from now on) becomes the pipe's writing end.
  ::dup2(ends[1], STDERR_FILENO);
  ::close(ends[1]);
  g_terminal = terminal;
  std::thread([reader = ends[0], terminal, noise = std::move(noise)] {
    std::string pending;
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(reader, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      pending.append(buffer, static_cast<std::size_t>(n));
      std::size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        const std::string line = pending.substr(0, end + 1);
        pending.erase(0, end + 1);
        if (noise && noise(line)) continue;
        // A terminal that is gone leaves nothing to show anything on: the line is dropped.
        [[maybe_unused]] const ssize_t written = ::write(terminal, line.data(), line.size());
      }
      // A line without an end that keeps growing is passed on as it is.
      if (pending.size() > 64 * 1024) {
        [[maybe_unused]] const ssize_t written = ::write(terminal, pending.data(), pending.size());
        pending.clear();
      }
    }
  }).detach();
}

UnfilteredStandardError::UnfilteredStandardError() {
  if (g_terminal == STDERR_FILENO) return;
  std::fflush(stderr);
  m_pipe = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (m_pipe >= 0) ::dup2(g_terminal, STDERR_FILENO);
}

UnfilteredStandardError::~UnfilteredStandardError() {
  if (m_pipe < 0) return;
  std::fflush(stderr);
  ::dup2(m_pipe, STDERR_FILENO);
  ::close(m_pipe);
}

EventLogSink SetEventLogSink(EventLogSink sink) {
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace platform
