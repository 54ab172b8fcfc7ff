#include "platform/system/EventLog.h"

#include <syslog.h>
#include <unistd.h>

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

const char* StderrPrefix() {
  return program_invocation_short_name;
}

void LogEvent(std::string_view line) {
  if (!Record(line)) return;
  static const bool terminal = ::isatty(STDERR_FILENO) == 1;
  if (terminal) {
    std::fprintf(stderr, "%s: %.*s\n", StderrPrefix(), static_cast<int>(line.size()), line.data());
  }
}

void TellUser(std::string_view line) {
  Record(line);
  std::fprintf(stderr, "%s: %.*s\n", StderrPrefix(), static_cast<int>(line.size()), line.data());
}

EventLogSink SetEventLogSink(EventLogSink sink) {
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace platform
