#include "platform/EventLog.h"

#include <syslog.h>

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
}

EventLogSink SetEventLogSink(EventLogSink sink) { return std::exchange(Sink(), std::move(sink)); }

}  // namespace platform
