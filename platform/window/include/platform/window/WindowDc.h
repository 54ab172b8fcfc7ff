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

// A window's DC (GetDC; hwnd 0: the screen's) for the length of a scope, released at its end.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : m_hwnd(hwnd), m_dc(GetDC(hwnd)) {}
  ~WindowDc() {
    if (m_dc != 0) ReleaseDC(m_hwnd, m_dc);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return m_dc; }  // 0 when GetDC failed

 private:
  HWND m_hwnd;
  HDC m_dc;
};

// BeginPaint .. EndPaint for the length of a WM_PAINT handler.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : m_hwnd(hwnd) { BeginPaint(hwnd, &m_ps); }
  ~PaintDc() { EndPaint(m_hwnd, &m_ps); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC get() const { return m_ps.hdc; }  // 0 when BeginPaint failed

 private:
  HWND m_hwnd;
  PAINTSTRUCT m_ps;
};

}  // namespace platform
