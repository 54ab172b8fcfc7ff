#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>

#include "MainLoop.h"
#include "mainwin/MsgFrm.h"
#include "mainwin/WebMainFrm.h"
#include "platform/window/Form.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"

// What the GUI tests of the main window share.

namespace testsupport {

// One click of the real pointer (xdotool) at a point of the screen: the pointer arrives first,
// and the press comes at least 600 ms after the previous click, past the double-click time, so
// that two clicks on one button stay two clicks.
inline void ClickAt(int x, int y) {
  using namespace std::chrono;
  static auto last = steady_clock::now() - hours(1);
  const auto xdotool = [](const std::string& args) {
    ASSERT_EQ(0, std::system(("xdotool " + args).c_str())) << "xdotool " << args;
    platform::DoEvents();
  };
  xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
  RunUntil([] { return false; }, milliseconds(100));
  const auto wait = duration_cast<milliseconds>(milliseconds(600) - (steady_clock::now() - last));
  if (wait.count() > 0) RunUntil([] { return false; }, wait);
  xdotool("click 1");
  last = steady_clock::now();
}

// One click at the centre of a window.
inline void ClickOn(platform::HWND h) {
  platform::RECT r{};
  platform::GetWindowRect(h, &r);
  ClickAt(r.left + r.Width() / 2, r.top + r.Height() / 2);
}

// Ends the main window a test left open, without the exit question.
inline void UnloadMainWindow() {
  using Slot = platform::FormSlot<WebMainFrm>;
  if (!Slot::IsLoaded()) return;
  Slot::Get().m_bExit = true;
  Slot::Unload();
}

// Runs `answer` once the main window's exit question is on the screen, from inside its modal
// loop (a test that closes the window waits in that loop until the question is answered). The
// question is given 300 ms to be mapped and painted first.
inline void WhenAsked(std::function<void()> answer) {
  static std::function<void()> pending;
  static platform::UINT_PTR timer = 0;
  pending = std::move(answer);
  timer = platform::SetTimer(
      0, 0, 50, [](platform::HWND, platform::UINT, platform::UINT_PTR, platform::DWORD) {
        using Slot = platform::FormSlot<MsgFrm>;
        if (!Slot::IsLoaded() || !platform::IsWindowVisible(Slot::Get().hWnd())) return;
        platform::KillTimer(0, timer);
        RunUntil([] { return false; }, std::chrono::milliseconds(300));
        auto act = std::move(pending);
        act();
      });
}

}  // namespace testsupport
