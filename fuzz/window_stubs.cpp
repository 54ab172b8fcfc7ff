// The window calls the tab collection makes when a page is released from its tab: the fuzz
// target has no display, and its pages have no window (handle 0), for which the real calls do
// nothing either. A failed release is logged; the fuzz target keeps no log.

#include "platform/EventLog.h"
#include "platform/Window.h"

namespace platform {

LONG_PTR GetWindowLongPtr(HWND, int) {
  return 0;
}
LONG_PTR SetWindowLongPtr(HWND, int, LONG_PTR) {
  return 0;
}
bool SetWindowPos(HWND, HWND, int, int, int, int, UINT) {
  return false;
}
bool GetWindowRect(HWND, RECT*) {
  return false;
}
HWND SetParent(HWND, HWND) {
  return 0;
}
bool SetActiveWindow(HWND) {
  return false;
}
bool InvalidateRect(HWND, const RECT*, bool) {
  return false;
}
int GetSystemMetrics(int) {
  return 0;
}
void LogEvent(std::string_view) {}

}  // namespace platform
