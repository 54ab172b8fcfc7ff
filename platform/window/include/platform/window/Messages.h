#pragma once

#include <cstdint>

#include "platform/system/Types.h"

// Window messages and their constants, numbered and packed as on the desktop the client was
// designed for, so that message tables and hooks read the same here.

namespace platform {

enum : UINT {
  WM_NULL = 0x0000,
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_ENABLE = 0x000A,
  WM_SETTEXT = 0x000C,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_ERASEBKGND = 0x0014,
  WM_SHOWWINDOW = 0x0018,
  WM_SETTINGCHANGE = 0x001A,
  WM_SETCURSOR = 0x0020,
  WM_GETMINMAXINFO = 0x0024,
  WM_WINDOWPOSCHANGED = 0x0047,
  WM_SETICON = 0x0080,
  WM_NCDESTROY = 0x0082,
  WM_NCHITTEST = 0x0084,
  // Asked of the window with the focus before the layer moves the focus with Tab or an arrow
  // key; a result with DLGC_WANTTAB or DLGC_WANTARROWS keeps those keys for the window.
  WM_GETDLGCODE = 0x0087,
  WM_NCLBUTTONDOWN = 0x00A1,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_COMMAND = 0x0111,
  WM_SYSCOMMAND = 0x0112,
  WM_TIMER = 0x0113,
  // Sent to the window with the focus when its top-level window starts or stops showing focus
  // marks (FocusCuesShown): a control that draws its own mark draws or removes it then.
  WM_UPDATEUISTATE = 0x0128,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MOUSEWHEEL = 0x020A,
  WM_CAPTURECHANGED = 0x0215,
  WM_MOUSELEAVE = 0x02A3,
  WM_HOTKEY = 0x0312,
  WM_DDE_EXECUTE = 0x03E8,
  // The platform's own: a key press offered to a top-level window that asked for its keys
  // first (SetKeyPreview). wParam: the virtual key; lParam: KP_* flags. A nonzero result
  // takes the key: nothing else sees its press.
  WM_KEYPREVIEW = 0x03F0,
  // The platform's own: assistive technology invoked one of the window's actions (Accessible.h).
  WM_ACCESSIBLEACTION = 0x03F1,
  WM_USER = 0x0400,
  WM_APP = 0x8000,
};

// WM_SETICON's wParam
enum : WPARAM { ICON_SMALL = 0, ICON_BIG = 1 };
// WM_SIZE
enum : WPARAM { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };
// WM_SYSCOMMAND
enum : WPARAM {
  SC_SIZE = 0xF000,
  SC_MOVE = 0xF010,
  SC_MINIMIZE = 0xF020,
  SC_MAXIMIZE = 0xF030,
  SC_CLOSE = 0xF060,
  SC_RESTORE = 0xF120
};
// WM_NCHITTEST results and WM_NCLBUTTONDOWN's wParam
enum : WPARAM { HTCLIENT = 1, HTCAPTION = 2 };
// Mouse message key state (wParam)
enum : WPARAM {
  MK_LBUTTON = 0x0001,
  MK_RBUTTON = 0x0002,
  MK_SHIFT = 0x0004,
  MK_CONTROL = 0x0008,
  MK_MBUTTON = 0x0010
};
// Virtual keys
enum : WPARAM {
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_DELETE = 0x2E,
  VK_APPS = 0x5D,  // the context-menu key
  VK_F6 = 0x75,
  VK_F1 = 0x70,
  VK_F5 = 0x74,
  VK_F10 = 0x79,
  VK_F11 = 0x7A,
  VK_ADD = 0x6B,
  VK_SUBTRACT = 0x6D,
  VK_OEM_PLUS = 0xBB,  // the key of "=" and "+"
  VK_OEM_MINUS = 0xBD  // the key of "-" and "_"
};
// WM_GETDLGCODE's result
enum : LRESULT { DLGC_WANTARROWS = 0x1, DLGC_WANTTAB = 0x2 };
// WM_KEYPREVIEW's lParam
enum : LPARAM { KP_SHIFT = 0x1, KP_CONTROL = 0x2, KP_ALT = 0x4, KP_REPEAT = 0x8 };

// Window styles
enum : DWORD {
  WS_OVERLAPPED = 0x00000000,
  WS_POPUP = 0x80000000,
  WS_CHILD = 0x40000000,
  WS_MINIMIZE = 0x20000000,
  WS_VISIBLE = 0x10000000,
  WS_DISABLED = 0x08000000,
  WS_CLIPCHILDREN = 0x02000000,
  WS_MAXIMIZE = 0x01000000,
  WS_CAPTION = 0x00C00000,
  WS_BORDER = 0x00800000,
  WS_DLGFRAME = 0x00400000,
  WS_SYSMENU = 0x00080000,
  WS_THICKFRAME = 0x00040000,
  WS_MINIMIZEBOX = 0x00020000,
  WS_MAXIMIZEBOX = 0x00010000,
  // A child window that Tab reaches (the same bit as WS_MAXIMIZEBOX, which only a top-level
  // window has).
  WS_TABSTOP = 0x00010000,
  // A tab stop that starts a group of them, which F6 reaches (the same bit as WS_MINIMIZEBOX).
  WS_GROUP = 0x00020000,
};
enum : DWORD {
  WS_EX_TOPMOST = 0x00000008,
  WS_EX_TOOLWINDOW = 0x00000080,
  WS_EX_APPWINDOW = 0x00040000,
  WS_EX_LAYERED = 0x00080000,
};

// Packing helpers.
constexpr LPARAM MAKELPARAM(int low, int high) {
  return static_cast<LPARAM>(static_cast<std::uint32_t>(
      (static_cast<std::uint16_t>(low)) |
      (static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16)));
}
constexpr int LOWORD(std::uintptr_t v) {
  return static_cast<int>(v & 0xFFFF);
}
constexpr int HIWORD(std::uintptr_t v) {
  return static_cast<int>((v >> 16) & 0xFFFF);
}
// Signed coordinates out of a mouse message's lParam.
constexpr int GET_X_LPARAM(LPARAM v) {
  return static_cast<std::int16_t>(v & 0xFFFF);
}
constexpr int GET_Y_LPARAM(LPARAM v) {
  return static_cast<std::int16_t>((v >> 16) & 0xFFFF);
}

}  // namespace platform
