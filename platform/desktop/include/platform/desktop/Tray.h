#pragma once

#include <string>

#include "platform/gdi/Icon.h"
#include "platform/window/Window.h"

// The notification area (tray). An icon is known by its owner window and identifier; clicks on
// it reach the owner as the callback message with the identifier in wParam and the mouse
// message (WM_LBUTTONUP, WM_RBUTTONUP) in lParam.
//
// The icon is a StatusNotifierItem on the session bus when a watcher is there (its menu, for
// hosts that show menus themselves, is the owner window's menu of PopupMenu.h, exported over
// dbusmenu), and an XEmbed tray icon otherwise; it moves between the two when a watcher appears
// or leaves. Balloons are desktop notifications.

namespace platform {

// The record every tray call takes. Texts are UTF-8, NUL-terminated inside their fields.
struct NOTIFYICONDATA {
  DWORD cbSize = sizeof(NOTIFYICONDATA);
  HWND hWnd = 0;
  UINT uID = 0;
  UINT uFlags = 0;
  UINT uCallbackMessage = 0;
  HICON hIcon = 0;
  char szTip[128] = {};
  DWORD dwState = 0;
  DWORD dwStateMask = 0;
  char szInfo[256] = {};
  UINT uTimeout = 0;
  char szInfoTitle[64] = {};
  DWORD dwInfoFlags = 0;
};

enum : UINT { NIF_MESSAGE = 0x1, NIF_ICON = 0x2, NIF_TIP = 0x4, NIF_INFO = 0x10 };
enum : DWORD { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2 };
enum : DWORD { NIIF_NONE = 0, NIIF_INFO = 1, NIIF_WARNING = 2, NIIF_ERROR = 3 };

// NIM_ADD makes the icon (false when one with this owner and identifier exists), NIM_MODIFY
// changes what uFlags names, NIM_DELETE removes it. With NIF_INFO a non-empty szInfo shows the
// balloon (szInfoTitle over szInfo) unless that very balloon is still up, and an empty one
// closes it. An icon handle of 0 shows an icon without image.
bool Shell_NotifyIcon(DWORD message, const NOTIFYICONDATA& data);

// How an icon is shown at the moment (diagnostics and tests).
enum class TrayPath { None, StatusNotifier, XEmbed };
TrayPath GetTrayIconPath(HWND hWnd, UINT uID);
// The session-bus name of the icon's StatusNotifierItem; empty on the XEmbed path.
std::string GetTrayIconBusName(HWND hWnd, UINT uID);
// Where an XEmbed icon sits on the screen (false when it is not embedded in a tray yet).
bool GetTrayIconRect(HWND hWnd, UINT uID, RECT* rect);

}  // namespace platform
