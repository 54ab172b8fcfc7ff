#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/system/Owner.h"
#include "platform/window/Messages.h"

// Windows as the client's code sees them: 32-bit handles in a registry, each bound to one
// toolkit widget; a current window procedure per window that hooks replace and chain with
// SetWindowLongPtr/CallWindowProc; messages sent synchronously through that procedure. Native
// events (pointer, keys, geometry, painting, the window manager's close request) arrive as the
// messages below with their usual parameter packing, and the innermost procedure of each window
// (the one given at creation, ending in DefWindowProc) performs the native default.

namespace platform {

class Image;

// ---- Window procedures -------------------------------------------------------------------
// A procedure is a pointer-sized value from the procedure registry, so each hook has a value
// of its own, as a per-hook entry stub would. A value that was unregistered can no longer be
// called: calls through it do nothing and return 0.
using WNDPROC = LONG_PTR;
using WindowProcFn = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

WNDPROC RegisterWindowProc(WindowProcFn fn);
void UnregisterWindowProc(WNDPROC proc);
bool IsWindowProcCallable(WNDPROC proc);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The native default for every message (move drag on WM_NCLBUTTONDOWN/HTCAPTION, close on
// WM_SYSCOMMAND/SC_CLOSE and WM_CLOSE, ...); 0 for what needs nothing.
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Creation and life ---------------------------------------------------------------------
struct CreateWindowArgs {
  std::string title;
  DWORD style = WS_POPUP;
  DWORD exStyle = 0;
  // WS_CHILD: the parent whose client area holds the window. Otherwise: the owner (0 = none).
  HWND parent = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  // The window's own (innermost) procedure; DefWindowProc when empty.
  WindowProcFn proc;
  // A window with nothing on the screen, for messages and timers only (needs no display).
  bool messageOnly = false;
  // The window's background colour (0x00BBGGRR), painted on WM_ERASEBKGND by DefWindowProc.
  std::uint32_t backColor = 0x00FFFFFF;
};

// Creates the window (hidden unless WS_VISIBLE is given) and sends it WM_CREATE. Returns 0
// when it cannot be created (no display for a visible kind, a parent that is not a window).
HWND CreateWindowEx(const CreateWindowArgs& args);
// Sends WM_DESTROY (the window, then its children) and WM_NCDESTROY (children, then the window),
// then destroys the native window. Handles are never reused.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
// The process that owns the window: ours for every window the registry created; windows of
// other programs (from WindowFromPoint) report theirs, or 0 when unknown.
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);
DWORD GetCurrentProcessId();
// A window of another program, known only by its native id (for example from the window
// manager's client list). It is a window (IsWindow), but takes no messages from us and its
// procedure cannot be replaced.
HWND WrapForeignWindow(unsigned long nativeId, DWORD processId);
DWORD GetLastError();
void SetLastError(DWORD error);

// ---- Window longs ----------------------------------------------------------------------------
enum : int {
  GWL_WNDPROC = -4,
  GWL_HWNDPARENT = -8,
  GWL_STYLE = -16,
  GWL_EXSTYLE = -20,
  GWL_USERDATA = -21
};
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
// Returns the previous value; 0 with GetLastError set when the window or index is invalid.
// GWL_STYLE/GWL_EXSTYLE changes take effect on the native window (decorations, layering);
// GWL_HWNDPARENT sets the owner (transient, no taskbar entry of its own).
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);

// ---- Messages ------------------------------------------------------------------------------
// Calls the window's current procedure; 0 for a window that does not exist.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues the message for the message loop; false for a window that does not exist.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Timers --------------------------------------------------------------------------------
using TIMERPROC = std::function<void(HWND, UINT, UINT_PTR, DWORD)>;
// With a window: timer `id` of that window (replacing one of the same id); each tick sends
// WM_TIMER, or calls `proc` when one is given. Without a window: a thread timer with a new id
// (returned), whose ticks call `proc`. Returns 0 on failure.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc = {});
bool KillTimer(HWND hwnd, UINT_PTR id);

// ---- Geometry and state --------------------------------------------------------------------
enum : UINT {
  SWP_NOSIZE = 0x0001,
  SWP_NOMOVE = 0x0002,
  SWP_NOZORDER = 0x0004,
  SWP_NOREDRAW = 0x0008,
  SWP_NOACTIVATE = 0x0010,
  SWP_FRAMECHANGED = 0x0020,
  SWP_SHOWWINDOW = 0x0040,
  SWP_HIDEWINDOW = 0x0080,
  SWP_NOOWNERZORDER = 0x0200,
};
enum : HWND { HWND_TOP = 0 };
constexpr HWND HWND_TOPMOST = static_cast<HWND>(-1);
constexpr HWND HWND_NOTOPMOST = static_cast<HWND>(-2);

// Positions are screen pixels for top-level windows and parent-client pixels for children
// (negative positions allowed; the parent clips).
bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool MoveWindow(HWND hwnd, int x, int y, int cx, int cy, bool repaint);
bool GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
bool GetClientRect(HWND hwnd, RECT* rect);  // (0, 0, width, height)
bool ClientToScreen(HWND hwnd, POINT* pt);
bool ScreenToClient(HWND hwnd, POINT* pt);

enum : int {
  SW_HIDE = 0,
  SW_SHOWNORMAL = 1,
  SW_SHOWMINIMIZED = 2,
  SW_MAXIMIZE = 3,
  SW_SHOWNOACTIVATE = 4,
  SW_SHOW = 5,
  SW_MINIMIZE = 6,
  SW_RESTORE = 9
};
bool ShowWindow(HWND hwnd, int cmd);  // the previous visibility
// Asks the window manager to show a top-level window full screen (over panels, without frame)
// or to end that; the window hears the new size as WM_SIZE. False for unknown or child windows.
bool SetWindowFullScreen(HWND hwnd, bool on);
bool IsWindowVisible(HWND hwnd);
bool IsIconic(HWND hwnd);
// The window manager keeps the top-level window maximised (its _NET_WM_STATE says so), whoever
// asked for it: some maximise a window that maps at the work area's size by themselves. Such a
// window is given back its size with ShowWindow(SW_RESTORE); a plain resize is refused or
// leaves the state behind.
bool IsZoomed(HWND hwnd);
// A disabled window (WS_DISABLED) and the windows inside it take no pointer or key input and
// ignore the window manager's close request. EnableWindow sends WM_ENABLE when the state
// changes and returns whether the window was disabled before.
bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);
// A top-level window with key preview hears every key press inside it as WM_KEYPREVIEW before
// the window with the focus does, also when that is an embedded web view, and may take it.
// Never while the window is disabled (a modal box is up).
bool SetKeyPreview(HWND hwnd, bool on);
// ---- Keyboard focus ----------------------------------------------------------------------------
// The window that gets the keys of its top-level window; the focus moves there now, or as soon
// as that window becomes active. A window that cannot take it itself passes it to the first
// widget inside it that can (the view of an embedded web browser). Returns the window that had
// the focus.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// Keys move the focus by themselves: Tab and Shift+Tab through the visible, enabled WS_TABSTOP
// windows of the top-level window (depth first, in creation order, round), and the arrow keys
// (Left/Up back, Right/Down on) among the tab stops of the focused window's own parent, unless
// the focused window keeps those keys (WM_GETDLGCODE). F6 moves round the groups of tab stops
// (each starts at the first tab stop or one with WS_GROUP) and then an embedded page.
//
// Whether the top-level window that holds `hwnd` shows focus marks: from a key press in one of
// its own windows until a pointer press in it, as browsers show a focus ring only to a keyboard
// user. A new top-level window starts with the marks when the last input was a key; a window
// with no place on a screen always shows them.
bool FocusCuesShown(HWND hwnd);
// Whether VK_SHIFT, VK_CONTROL or VK_MENU is down during the input being handled: bit 15 set.
short GetKeyState(int vk);

// Moves a child window into another parent's client area, or with 0 makes it a top-level
// window at the same place on the screen. Returns the previous parent; 0 with GetLastError set
// when it fails (a window hosting a foreign widget cannot become top-level), 0 with
// GetLastError 0 when there was no parent.
HWND SetParent(HWND child, HWND newParent);
HWND GetParent(HWND hwnd);
bool SetWindowText(HWND hwnd, const std::string& text);
std::string GetWindowText(HWND hwnd);
// Brings the top-level window that holds `hwnd` to the front with the focus; false (and nothing
// happens) when it is hidden: activation never shows a window.
bool SetForegroundWindow(HWND hwnd);
bool SetActiveWindow(HWND hwnd);
bool InvalidateRect(HWND hwnd, const RECT* rect, bool erase);
bool UpdateWindow(HWND hwnd);
// Runs `then` once from the message loop, as soon as every mapped top-level window of ours has
// drawn its first frame and that frame has gone to the display, so that work which holds the
// loop up comes after the first picture instead of before it. A window that never draws does not
// hold it back for good: after `maxWaitMs` it runs anyway.
void AfterFirstFrames(std::function<void()> then, unsigned maxWaitMs);

// ---- Regions -------------------------------------------------------------------------------
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int widthEllipse,
                        int heightEllipse);
HRGN CreateRectRgn(int left, int top, int right, int bottom);
bool DeleteRgn(HRGN rgn);
// The sole owner of a region not (yet) given to a window.
using OwnedRegion = Owner<HRGN, DeleteRgn>;
// The window takes the region as its shape and input shape, and owns it afterwards (the
// caller must not delete it). 0 removes the shape.
bool SetWindowRgn(HWND hwnd, HRGN rgn, bool redraw);

// ---- Layered windows -----------------------------------------------------------------------
enum : DWORD { LWA_COLORKEY = 0x1, LWA_ALPHA = 0x2 };
// Needs WS_EX_LAYERED. With LWA_COLORKEY the key-coloured pixels of the window's own painting
// are transparent and take no input; controls stay opaque.
bool SetLayeredWindowAttributes(HWND hwnd, std::uint32_t colorKey, std::uint8_t alpha, DWORD flags);
// A child window's painting keyed by `colorKey` (0x00BBGGRR) while `on`: its pixels of that
// colour are not painted, so the parent's painting under them stays. Input is unchanged.
// False for a top-level window (use SetLayeredWindowAttributes) or an unknown one.
bool SetChildColorKey(HWND child, std::uint32_t colorKey, bool on);
// Per-pixel alpha: the window takes the image's size and shows exactly the image with its
// transparency; pixels with alpha 0 take no input. Without a compositor the fully transparent
// parts are cut away with a shape, so nothing black surrounds the image.
bool UpdateLayeredWindow(HWND hwnd, const Image& image);

// ---- Pointer, capture, cursors ---------------------------------------------------------------
HWND SetCapture(HWND hwnd);  // the previous capture window
bool ReleaseCapture();
HWND GetCapture();
bool GetCursorPos(POINT* pt);
// The deepest visible window of ours under the screen point; 0 when none.
HWND WindowFromPoint(POINT pt);
// Asks for one WM_MOUSELEAVE when the pointer leaves the window.
bool TrackMouseLeave(HWND hwnd);

enum class Cursor { Arrow, Hand, SizeWE, SizeNS, SizeNWSE, SizeNESW, SizeAll, Wait };
// Sets the cursor shown over the window.
void SetWindowCursor(HWND hwnd, Cursor cursor);

// ---- Screen --------------------------------------------------------------------------------
// The primary monitor's work area (the screen less panels) and its full size, in pixels.
RECT GetWorkArea();
enum : int { SM_CXSCREEN = 0, SM_CYSCREEN = 1 };
int GetSystemMetrics(int index);

}  // namespace platform
