#include "mainwin/MainHook.h"

#include "platform/HotKey.h"
#include "platform/PopupMenu.h"

using namespace platform;

namespace {

WNDPROC g_savedProc = 0;
HWND g_hooked = 0;
bool g_hotKey = false;
// False while the hook only passes messages on: it was stopped while another hook sat on top.
bool g_active = false;

WNDPROC HookValue() {
  static const WNDPROC value = RegisterWindowProc(&MainWndProc);
  return value;
}

}  // namespace

void StartMainHook(HWND hWnd) {
  if (g_hooked != 0) StopMainHook(g_hooked);  // one window at a time
  g_hotKey = RegisterHotKey(hWnd, HOTKEY_ID, 0, VK_F10);
  g_active = true;
  if (g_hooked == hWnd) return;  // still in the chain, passing messages on
  g_savedProc = SetWindowLongPtr(hWnd, GWL_WNDPROC, HookValue());
  g_hooked = g_savedProc != 0 ? hWnd : 0;
}

void StopMainHook(HWND hWnd) {
  UnregisterHotKey(hWnd, HOTKEY_ID);
  g_hotKey = false;
  if (g_hooked != hWnd) return;
  g_active = false;
  // Put the kept procedure back only where ours is current; when another hook went on top of
  // ours, replacing it would drop that hook too, so ours stays and only passes messages on.
  if (GetWindowLongPtr(hWnd, GWL_WNDPROC) == HookValue()) {
    SetWindowLongPtr(hWnd, GWL_WNDPROC, g_savedProc);
    g_savedProc = 0;
    g_hooked = 0;
  }
}

bool MainHotKeyRegistered() { return g_hotKey; }

LRESULT MainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (!g_active || hWnd != g_hooked) {
    // passing on only
  } else if (uMsg == WM_HOTKEY) {
    if (HIWORD(static_cast<std::uintptr_t>(lParam)) == VK_F10) ToggleMainWindow(hWnd);
  } else if (uMsg == WM_TRAYNOTIFY) {
    if (lParam == WM_LBUTTONUP) {
      ToggleMainWindow(hWnd);
    } else if (lParam == WM_RBUTTONUP) {
      PopupMenu(hWnd);
    }
  }
  return CallWindowProc(g_savedProc, hWnd, uMsg, wParam, lParam);
}

void ToggleMainWindow(HWND hWnd) { ShowWindow(hWnd, IsWindowVisible(hWnd) ? SW_HIDE : SW_SHOW); }
