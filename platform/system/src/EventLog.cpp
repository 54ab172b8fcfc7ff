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

void LogEvent(std::string_view line) {
  if (Sink()) {
    Sink()(line);
    return;
  }
  const std::string text(line);
  syslog(LOG_USER | LOG_ERR, "%s", text.c_str());
  static const bool terminal = ::isatty(STDERR_FILENO) == 1;
  if (terminal) std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, text.c_str());
}

EventLogSink SetEventLogSink(EventLogSink sink) {
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace platform
