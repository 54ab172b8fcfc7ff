#pragma once

#include "platform/window/Window.h"

// The main window's module-level hook: the system-wide F10 hot key and the tray icon's clicks
// hide and show the main window, and a right click on the tray icon opens the window's menu
// (the one set with platform::SetWindowMenu). One window at a time.

inline constexpr int HOTKEY_ID = 1000;
inline constexpr platform::UINT WM_TRAYNOTIFY = 6242;

// Registers F10 (quietly going without it when another program holds the key) and puts
// MainWndProc in front of the window's procedure.
void StartMainHook(platform::HWND hWnd);
// Unregisters the hot key, then takes MainWndProc out again.
void StopMainHook(platform::HWND hWnd);
platform::LRESULT MainWndProc(platform::HWND hWnd, platform::UINT uMsg, platform::WPARAM wParam,
                              platform::LPARAM lParam);
// One press, one visible change: a minimised window comes back (restored and in front), a
// window on the screen hides, a hidden one shows (restored and in front as well).
void ToggleMainWindow(platform::HWND hWnd);
// Whether StartMainHook got the hot key (false when another program holds F10).
bool MainHotKeyRegistered();
