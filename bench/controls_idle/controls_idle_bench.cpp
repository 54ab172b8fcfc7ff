// Counts the main loop's wake-ups while a window with a skinned frame and four image buttons
// sits on the screen: first with the pointer away from every button (nothing should wake the
// process: the buttons' pointer poll runs only while one is hovered or pressed), then with the
// pointer resting on a button (the poll runs, 20 times a second), as the peer that shows the
// count sees timers at all.
//
// A wake-up is a return from the loop's poll; a timer wake-up is one where no descriptor was
// ready, so only a timeout can have ended the wait. The end of each phase is signalled from
// another thread through the context's own wake-up descriptor, which is not a timer.

#include <glib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "controls/BForm.h"
#include "controls/iButton.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"

namespace {

using controls::BForm;
using controls::iButton;

std::atomic<bool> g_counting{false};
long g_wakeups = 0;
long g_timerWakeups = 0;
GPollFunc g_realPoll = nullptr;

gint CountingPoll(GPollFD* fds, guint n, gint timeout) {
  const gint r = g_realPoll(fds, n, timeout);
  if (g_counting) {
    ++g_wakeups;
    if (r == 0 && timeout != 0) ++g_timerWakeups;
  }
  return r;
}

struct Count {
  long wakeups = 0;
  long timerWakeups = 0;
};

// Runs the loop for `seconds` and returns what woke it.
Count Measure(int seconds) {
  g_wakeups = 0;
  g_timerWakeups = 0;
  std::atomic<bool> done{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    done = true;
    g_main_context_wakeup(nullptr);
  });
  g_counting = true;
  while (!done) g_main_context_iteration(nullptr, TRUE);
  g_counting = false;
  stopper.join();
  return {g_wakeups, g_timerWakeups};
}

// The window's top-left corner on the screen as the X server has it.
platform::POINT RealOrigin(const char* title) {
  platform::POINT p{-1, -1};
  const std::string cmd = std::string("xdotool search --name '^") + title + "$' getwindowgeometry --shell";
  std::string out;
  if (FILE* f = ::popen(cmd.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, f) != nullptr) out += buf;
    ::pclose(f);
  }
  const auto x = out.find("X="), y = out.find("Y=");
  if (x != std::string::npos && y != std::string::npos) {
    p.x = std::atoi(out.c_str() + x + 2);
    p.y = std::atoi(out.c_str() + y + 2);
  }
  return p;
}

void Settle(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    platform::DoEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 10;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
  }
  if (!platform::InitToolkit(argc, argv)) {
    std::fprintf(stderr, "controls_idle_bench: no display\n");
    return 2;
  }
  using namespace platform;
  CreateWindowArgs w;
  w.title = "controls idle";
  w.x = 100;
  w.y = 100;
  w.width = 400;
  w.height = 200;
  const HWND host = CreateWindowEx(w);

  controls::PropertyBag frameDesign;
  frameDesign.WriteProperty("Caption", std::string("idle"));
  frameDesign.WriteProperty("frmHwnd", static_cast<std::int32_t>(host));
  controls::UserControlArgs fa;
  fa.parent = host;
  fa.width = 400 * 15;
  fa.height = 495;
  fa.properties = &frameDesign;
  BForm frame(fa);

  std::vector<std::unique_ptr<iButton>> buttons;
  const int pictures[] = {109, 110, 101, 103};
  for (int i = 0; i < 4; ++i) {
    controls::PropertyBag design;
    design.WriteProperty("BackPicture", controls::StdPicture::LoadRes(pictures[i]));
    design.WriteProperty("Caption", std::string(i < 2 ? "按钮" : ""));
    controls::UserControlArgs a;
    a.parent = host;
    a.left = (20 + i * 90) * 15;
    a.top = 80 * 15;
    a.properties = &design;
    buttons.push_back(std::make_unique<iButton>(a));
  }
  ShowWindow(host, SW_SHOW);
  frame.Printform(host);
  Settle(500);

  g_realPoll = g_main_context_get_poll_func(nullptr);
  g_main_context_set_poll_func(nullptr, CountingPoll);

  // Away: a corner of the screen no window covers.
  std::system("xdotool mousemove 0 0");
  Settle(300);
  const Count away = Measure(seconds);

  // On the first button.
  const POINT origin = RealOrigin("controls idle");
  const POINT p{origin.x + buttons[0]->Left() / 15 + 30, origin.y + buttons[0]->Top() / 15 + 12};
  std::system(("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y)).c_str());
  Settle(300);
  const bool hovering = buttons[0]->Timer1Enabled();
  const Count over = Measure(seconds);

  std::system("xdotool mousemove 0 0");
  Settle(300);

  std::printf("pointer away:     %ld timer wake-ups, %ld wake-ups in all, in %d s\n", away.timerWakeups,
              away.wakeups, seconds);
  std::printf("pointer on a button (poll %s): %ld timer wake-ups, %ld in all, in %d s\n",
              hovering ? "running" : "NOT running", over.timerWakeups, over.wakeups, seconds);
  std::printf("timer wake-ups per second: away %.2f, hovering %.2f\n",
              static_cast<double>(away.timerWakeups) / seconds,
              static_cast<double>(over.timerWakeups) / seconds);
  buttons.clear();
  DestroyWindow(host);
  return 0;
}
