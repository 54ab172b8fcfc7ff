#pragma once

#include <chrono>
#include <functional>
#include <utility>

#include "MainLoop.h"
#include "mainwin/MsgFrm.h"
#include "mainwin/WebMainFrm.h"
#include "platform/window/Form.h"
#include "platform/window/Window.h"

// What the GUI tests of the main window share.

namespace testsupport {

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
