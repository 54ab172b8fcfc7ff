#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/window/Window.h"

// Device contexts on windows: a window's client area, and the screen.

namespace platform {

// The client area of a window, or the screen with hwnd 0. The screen DC has no surface of its
// own: it serves as the "compatible" DC of memory DCs and bitmaps and for measuring text.
HDC GetDC(HWND hwnd);
// Ends a GetDC. What was drawn reaches the screen with the window's next frame.
int ReleaseDC(HWND hwnd, HDC hdc);

struct PAINTSTRUCT {
  HDC hdc = 0;
  bool fErase = false;
  RECT rcPaint;  // the whole client area
};
// For WM_PAINT: a DC on the window's client area; what is drawn until EndPaint is shown when
// the paint message returns.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
bool EndPaint(HWND hwnd, const PAINTSTRUCT* ps);

}  // namespace platform
