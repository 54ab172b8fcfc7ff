#pragma once

#include <glib.h>

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// Runs the default main context until `done` holds or `timeout` has passed, and says whether
// it held. Each round handles what is queued now (at most 1000 dispatches, so that a source
// that re-arms itself cannot hold the loop) and then waits 5 ms for more to arrive.
inline bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (true) {
    for (int i = 0; i < 1000 && g_main_context_pending(nullptr); ++i) {
      g_main_context_iteration(nullptr, FALSE);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace testsupport
