// The toolkit half of the window layer (GTK 3 on X11). Placeholder: every native operation
// fails until the backend is written.

#include "WindowImpl.h"

namespace platform {
namespace detail {
bool NativeCreate(WindowRecord&, const CreateWindowArgs&) { return false; }
void NativeDestroy(WindowRecord&) {}
void NativeStyleChanged(WindowRecord&, DWORD, DWORD) {}
void NativeOwnerChanged(WindowRecord&) {}
void NativeTitleChanged(WindowRecord&) {}
void NativeParentChanged(WindowRecord&, HWND) {}
void NativeReleaseCaptureOf(HWND) {}
bool NativeDefault(WindowRecord&, UINT, WPARAM, LPARAM, LRESULT&) { return false; }
}  // namespace detail

bool SetWindowPos(HWND, HWND, int, int, int, int, UINT) { return false; }
bool MoveWindow(HWND, int, int, int, int, bool) { return false; }
bool GetWindowRect(HWND, RECT*) { return false; }
bool GetClientRect(HWND, RECT*) { return false; }
bool ClientToScreen(HWND, POINT*) { return false; }
bool ScreenToClient(HWND, POINT*) { return false; }
bool ShowWindow(HWND, int) { return false; }
bool IsWindowVisible(HWND) { return false; }
bool IsIconic(HWND) { return false; }
HWND SetParent(HWND, HWND) { return 0; }
HWND GetParent(HWND) { return 0; }
bool SetWindowText(HWND, const std::string&) { return false; }
std::string GetWindowText(HWND) { return {}; }
bool SetForegroundWindow(HWND) { return false; }
bool SetActiveWindow(HWND) { return false; }
bool InvalidateRect(HWND, const RECT*, bool) { return false; }
bool UpdateWindow(HWND) { return false; }
HRGN CreateRoundRectRgn(int, int, int, int, int, int) { return 0; }
HRGN CreateRectRgn(int, int, int, int) { return 0; }
bool DeleteRgn(HRGN) { return false; }
bool SetWindowRgn(HWND, HRGN, bool) { return false; }
bool SetLayeredWindowAttributes(HWND, std::uint32_t, std::uint8_t, DWORD) { return false; }
HWND SetCapture(HWND) { return 0; }
bool ReleaseCapture() { return false; }
HWND GetCapture() { return 0; }
bool GetCursorPos(POINT*) { return false; }
HWND WindowFromPoint(POINT) { return 0; }
bool TrackMouseLeave(HWND) { return false; }
void SetWindowCursor(HWND, Cursor) {}
RECT GetWorkArea() { return {}; }
int GetSystemMetrics(int) { return 0; }
}  // namespace platform
