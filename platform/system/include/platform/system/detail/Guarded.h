#pragma once

// The one guard at the C boundary: every GLib source (timeout, idle) and signal handler that
// platform/ installs runs its body through Guarded, so nothing thrown by the client's code
// (window procedures, timer procedures, form destructors, event handlers) unwinds into GLib or
// GTK, which cannot pass exceptions on. What was thrown is written to the event log with the
// callback's name, and the callback returns its fallback.

#include <glib.h>

#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/system/EventLog.h"

namespace platform {

inline void ReportEscaped(const char* what, const char* error) noexcept {
  try {
    std::string line = std::string(what) + " failed";
    if (error != nullptr) line += std::string(": ") + error;
    LogEvent(line);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to tell it with
  }
}

template <typename F, typename R>
R Guarded(const char* what, F&& f, R fallback) noexcept {
  try {
    return std::forward<F>(f)();
  } catch (const std::exception& e) {
    ReportEscaped(what, e.what());
  } catch (...) {
    ReportEscaped(what, nullptr);
  }
  return fallback;
}

// Without a fallback: nothing for a body without a result; TRUE for a signal handler's
// gboolean, so a handler that failed half-way stops the event there rather than letting the
// toolkit's default handling run on a half-handled event.
template <typename F>
auto Guarded(const char* what, F&& f) noexcept {
  using R = std::invoke_result_t<F&>;
  if constexpr (std::is_void_v<R>) {
    try {
      std::forward<F>(f)();
    } catch (const std::exception& e) {
      ReportEscaped(what, e.what());
    } catch (...) {
      ReportEscaped(what, nullptr);
    }
  } else {
    return Guarded(what, std::forward<F>(f), static_cast<R>(TRUE));
  }
}

}  // namespace platform
