// Exceptions thrown by the client's code inside callbacks that GLib runs (timers, posted
// messages, the form runtime's idle work) stop at the platform layer: the event log names the
// callback, the loop runs on, and later callbacks still run.

#include <glib.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "MainLoop.h"
#include "platform/system/EventLog.h"
#include "platform/window/Form.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"

using namespace platform;

namespace {

class EmptyFrm : public Form {
 protected:
  CreateWindowArgs Design() override {
    CreateWindowArgs args;
    args.messageOnly = true;
    return args;
  }
};

HWND ThrowingWindow() {
  CreateWindowArgs args;
  args.messageOnly = true;
  args.proc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_TIMER) KillTimer(h, w);
    if (m == WM_TIMER || m == WM_USER) throw 7;  // not even a std::exception
    return DefWindowProc(h, m, w, l);
  };
  return CreateWindowEx(args);
}

struct GuardCase {
  const char* name;
  std::function<void()> arrange;  // makes one callback throw once the loop runs
  const char* logged;             // the start of the event log line
};

void PrintTo(const GuardCase& c, std::ostream* os) {
  *os << c.name;
}

class CallbackGuard : public ::testing::TestWithParam<GuardCase> {};

TEST_P(CallbackGuard, ThrowStopsAtTheBoundary) {
  std::vector<std::string> log;
  const EventLogSink previous =
      SetEventLogSink([&](std::string_view line) { log.emplace_back(line); });
  FormRuntime::SetLastFormUnloadedHandler([] {});
  GetParam().arrange();
  bool later = false;
  const UINT_PTR after = SetTimer(0, 0, 60, [&](HWND, UINT, UINT_PTR id, DWORD) {
    later = true;
    KillTimer(0, id);
  });
  ASSERT_NE(after, 0u);
  testsupport::RunUntil([&] { return later; }, std::chrono::seconds(1));
  SetEventLogSink(previous);
  EXPECT_TRUE(later) << "the loop stopped running callbacks";
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].rfind(GetParam().logged, 0), 0u) << log[0];
}

INSTANTIATE_TEST_SUITE_P(Sources, CallbackGuard,
                         ::testing::Values(GuardCase{"window_timer",
                                                     [] {
                                                       const HWND h = ThrowingWindow();
                                                       SetTimer(h, 1, 10);
                                                     },
                                                     "timer failed"},
                                           GuardCase{"thread_timer",
                                                     [] {
                                                       SetTimer(0, 0, 10,
                                                                [](HWND, UINT, UINT_PTR id, DWORD) {
                                                                  KillTimer(0, id);
                                                                  throw std::runtime_error("tick");
                                                                });
                                                     },
                                                     "timer failed: tick"},
                                           GuardCase{
                                               "posted_message",
                                               [] { PostMessage(ThrowingWindow(), WM_USER, 0, 0); },
                                               "posted message failed"},
                                           GuardCase{"last_form_unloaded",
                                                     [] {
                                                       FormRuntime::SetLastFormUnloadedHandler([] {
                                                         throw std::runtime_error("no way out");
                                                       });
                                                       FormSlot<EmptyFrm>::Get();
                                                       FormSlot<EmptyFrm>::Unload();
                                                     },
                                                     "last form unloaded failed: no way out"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
