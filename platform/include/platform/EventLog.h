#pragma once

#include <functional>
#include <string>
#include <string_view>

// The application's event log: one error entry per line. The default sink writes to the system
// log; tests replace it to read what was written.

namespace platform {

using EventLogSink = std::function<void(std::string_view line)>;

void LogEvent(std::string_view line);

// Installs a sink and returns the previous one; an empty sink restores the system log.
EventLogSink SetEventLogSink(EventLogSink sink);

}  // namespace platform
