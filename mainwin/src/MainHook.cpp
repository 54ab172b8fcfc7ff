#include "mainwin/MainHook.h"

#include "platform/desktop/HotKey.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/WindowSubclass.h"

using namespace platform;

namespace {

// The hook's link in the main window's hook chain: the window's other hooks (the form hook of
// the window style, the tab strip's) stay as they are whichever order they come and go in.
constexpr UINT_PTR kMainHookId = 0x4D48;

HWND g_hooked = 0;
bool g_hotKey = false;

}  // namespace

void StartMainHook(HWND hWnd) {
  if (g_hooked != 0 && g_hooked != hWnd) StopMainHook(g_hooked);  // one window at a time
  g_hotKey = RegisterHotKey(hWnd, HOTKEY_ID, 0, VK_F10);
  const bool hooked = SetWindowSubclass(
      hWnd,
      [](HWND h, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
        return MainWndProc(h, uMsg, wParam, lParam);
      },
      kMainHookId, 0);
  g_hooked = hooked ? hWnd : 0;
}

void StopMainHook(HWND hWnd) {
  UnregisterHotKey(hWnd, HOTKEY_ID);
  g_hotKey = false;
  if (g_hooked != hWnd) return;
  RemoveWindowSubclass(hWnd, kMainHookId);
  g_hooked = 0;
}

bool MainHotKeyRegistered() {
  return g_hotKey;
}

LRESULT MainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_HOTKEY) {
    if (HIWORD(static_cast<std::uintptr_t>(lParam)) == VK_F10) ToggleMainWindow(hWnd);
  } else if (uMsg == WM_TRAYNOTIFY) {
    if (lParam == WM_LBUTTONUP) {
      ToggleMainWindow(hWnd);
    } else if (lParam == WM_RBUTTONUP) {
      // While a modal box is up its answer comes first: the box comes to the front instead of
      // a menu whose commands would be refused.
      if (!PresentModalWindow()) PopupMenu(hWnd);
    }
  }
  return DefSubclassProc(hWnd, uMsg, wParam, lParam);
}

void ToggleMainWindow(HWND hWnd) {
  // A minimised window counts as visible, but the user does not see it: hiding it would take
  // a second press to bring it back (shown, still minimised, then a third to restore it).
  if (IsWindowVisible(hWnd) && !IsIconic(hWnd)) {
    ShowWindow(hWnd, SW_HIDE);
    return;
  }
  ShowWindow(hWnd, IsIconic(hWnd) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hWnd);
}
