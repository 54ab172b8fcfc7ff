#include "mainwin/cSetStyle.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/window/Form.h"
#include "platform/window/WindowDc.h"

using namespace platform;

namespace setstyle {

int HitTest(const RECT& w, int x, int y) {
  const bool left = std::abs(x - w.left) <= kEdge;
  const bool right = std::abs(x - w.right) <= kEdge;
  const bool top = std::abs(y - w.top) <= kEdge;
  const bool bottom = std::abs(y - w.bottom) <= kEdge;
  const bool betweenX = w.left + kEdge < x && x < w.right - kEdge;
  const bool betweenY = w.top + kEdge < y && y < w.bottom - kEdge;
  if (left && bottom) return kBottomLeft;
  if (left && top) return kTopLeft;
  if (right && bottom) return kBottomRight;
  if (right && top) return kTopRight;
  if (top && betweenX) return kTop;
  if (right && betweenY) return kRight;
  if (bottom && betweenX) return kBottom;
  if (left && betweenY) return kLeft;
  return kNone;
}

void UpdateOutline(int zone, RECT& r, int x, int y) {
  switch (zone) {
    case kTop:
      r.top = y;
      break;
    case kTopRight:
      r.top = y;
      r.right = x;
      break;
    case kRight:
      if (r.left + kMinWidth < x) r.right = x;
      break;
    case kBottomRight:
      if (r.left + kMinWidth < x) r.right = x;
      if (r.top + kMinHeight < y) r.bottom = y;
      break;
    case kBottom:
      if (r.top + kMinHeight < y) r.bottom = y;
      break;
    case kBottomLeft:
      if (r.right - x > kMinWidth) r.left = x;
      if (r.top + kMinHeight < y) r.bottom = y;
      break;
    case kLeft:
      if (r.right - x > kMinWidth) r.left = x;
      break;
    case kTopLeft:
      r.top = y;
      r.left = x;
      break;
    default:
      break;
  }
}

Cursor ZoneCursor(int zone) {
  switch (zone) {
    case kTop:
    case kBottom:
      return Cursor::SizeNS;
    case kTopRight:
    case kBottomLeft:
      return Cursor::SizeNESW;
    case kRight:
    case kLeft:
      return Cursor::SizeWE;
    case kBottomRight:
    case kTopLeft:
      return Cursor::SizeNWSE;
    default:
      return Cursor::Arrow;
  }
}

RECT FitInside(const RECT& placement, const RECT& work) {
  const int width = std::min(placement.Width(), work.Width());
  const int height = std::min(placement.Height(), work.Height());
  const int left = std::clamp(placement.left, work.left, work.right - width);
  const int top = std::clamp(placement.top, work.top, work.bottom - height);
  return {left, top, left + width, top + height};
}

}  // namespace setstyle

std::int16_t GetTaskbarHeight() {
  const int screen = GetSystemMetrics(SM_CYSCREEN);
  const RECT work = GetWorkArea();
  return static_cast<std::int16_t>((screen - work.bottom) * kTwipsPerPixel);
}

cSetStyle::cSetStyle() : m_Subclass(std::make_unique<cFormSubclass>()) {
  m_Subclass->MsgCome = [this](bool bBefore, bool& bHandled, LRESULT& lReturn, HWND& hWnd,
                               UINT& uMsg, WPARAM& wParam, LPARAM& lParam) {
    objSubclass_MsgCome(bBefore, bHandled, lReturn, hWnd, uMsg, wParam, lParam);
  };
}

cSetStyle::~cSetStyle() {
  *m_alive = false;
  if (m_Resizing) CancelResize();
  ReleaseScreenDC();
  m_Subclass.reset();
}

void cSetStyle::SetWindowStyle(HWND hWnd) {
  m_hWnd = hWnd;
  // Visibility is state, not style: a shown window stays shown.
  const auto visible = static_cast<DWORD>(GetWindowLongPtr(hWnd, GWL_STYLE)) & WS_VISIBLE;
  SetWindowLongPtr(hWnd, GWL_STYLE, static_cast<LONG_PTR>(WS_SYSMENU | WS_MINIMIZEBOX | visible));
  m_Subclass->AddWindowMsgs(hWnd);
}

HWND cSetStyle::FormWindow() const {
  return m_Form != nullptr ? m_Form->hWnd() : m_hWnd;
}

void cSetStyle::FitWorkArea() {
  // The work area itself, wherever the panels are: a panel at the top or on a side is left
  // uncovered too.
  const RECT work = GetWorkArea();
  SetWindowPos(FormWindow(), 0, work.left, work.top, work.Width(), work.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

bool cSetStyle::CallWindowStateChange() {
  const HWND form = FormWindow();
  if (m_Maximized) {
    // The designed size is wider than a 1024 pixel screen, and a placement saved on a larger
    // work area may no longer fit: the window comes back whole and inside the work area.
    const RECT r = setstyle::FitInside(m_Saved, GetWorkArea());
    SetMaximized(false);
    // A window manager that maximised the window itself (one that does so with a window mapped
    // at the work area's size) refuses a plain resize or keeps its maximised state beside it:
    // it is asked to let go first.
    if (IsZoomed(form)) ShowWindow(form, SW_RESTORE);
    SetWindowPos(form, 0, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    if (m_Resizing) CancelResize();
    GetWindowRect(form, &m_Saved);
    SetMaximized(true);
    FitWorkArea();
  }
  return m_Maximized;
}

void cSetStyle::SetMaximized(bool maximized) {
  if (maximized == m_Maximized) return;
  m_Maximized = maximized;
  Raise(StateChange, maximized);
}

void cSetStyle::FollowWindowManager() {
  // A window that covers the work area is maximised, whatever was asked for last: the window
  // manager refused a restore, or maximised the window itself. The other way round a size is no
  // proof: while panels come and go the window is refitted to a work area that changes under
  // it, and a size of the area before may still come in.
  const HWND form = FormWindow();
  if (IsIconic(form) || m_Resizing || m_Maximized) return;
  RECT r;
  GetWindowRect(form, &r);
  if (r == GetWorkArea()) SetMaximized(true);
}

void cSetStyle::objSubclass_MsgCome(bool bBefore, bool& /*bHandled*/, LRESULT& /*lReturn*/,
                                    HWND& /*hWnd*/, UINT& uMsg, WPARAM& wParam, LPARAM& lParam) {
  if (!bBefore) return;
  switch (uMsg) {
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) FollowWindowManager();
      break;
    case WM_SETTINGCHANGE:
      if (!Raise(SettingChange)) return;
      if (!IsIconic(FormWindow()) && m_Maximized) FitWorkArea();
      break;
    case WM_SYSCOMMAND:
      // The handler may close the window and end this object.
      if ((wParam & 0xFFF0) == SC_CLOSE) Raise(CloseClick);
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(wParam);
      break;
    case WM_LBUTTONDOWN:
      OnButtonDown();
      break;
    case WM_LBUTTONUP:
      if (m_Resizing) OnButtonUp();
      break;
    case WM_CAPTURECHANGED:
      // Another window took the pointer in the middle of a drag: there is no release to wait
      // for, so the drag ends where it started.
      if (m_Resizing && static_cast<HWND>(lParam) != m_hWnd) CancelResize();
      break;
    default:
      break;
  }
}

void cSetStyle::OnMouseMove(WPARAM wParam) {
  GetCursorPos(&m_Cursor);
  if (!m_Resizing && !m_Maximized) {
    RECT r;
    GetWindowRect(m_hWnd, &r);
    m_Zone = setstyle::HitTest(r, m_Cursor.x, m_Cursor.y);
    if (!Raise(MouseSize, m_Zone)) return;
    SetWindowCursor(FormWindow(), setstyle::ZoneCursor(m_Zone));
  }
  if (m_Resizing && wParam != 0) {
    OpenScreenDC();
    setstyle::UpdateOutline(m_Zone, m_Current, m_Cursor.x, m_Cursor.y);
    DrawOutline(m_Previous);
    DrawOutline(m_Current);
    m_Previous = m_Current;
  }
}

void cSetStyle::OnButtonDown() {
  GetCursorPos(&m_Cursor);
  RECT r;
  GetWindowRect(m_hWnd, &r);
  m_Zone = setstyle::HitTest(r, m_Cursor.x, m_Cursor.y);
  if (m_Zone == setstyle::kNone || m_Resizing || m_Maximized) return;
  m_Resizing = true;
  m_Window = r;
  m_Previous = r;
  m_Current = r;
  OpenScreenDC();
  DrawOutline(m_Current);
  // The release must reach this window wherever the pointer is then.
  SetCapture(m_hWnd);
}

void cSetStyle::OnButtonUp() {
  m_Resizing = false;
  DrawOutline(m_Previous);
  if (GetCapture() == m_hWnd) ReleaseCapture();
  // The top edge has no limit and may have passed the bottom: the window takes the rectangle
  // the outline showed, whichever way round it was drawn.
  RECT r = m_Current;
  if (r.right < r.left) std::swap(r.left, r.right);
  if (r.bottom < r.top) std::swap(r.top, r.bottom);
  MoveWindow(FormWindow(), r.left, r.top, r.Width(), r.Height(), true);
  InvalidateRect(FormWindow(), nullptr, true);
  ReleaseScreenDC();
}

void cSetStyle::CancelResize() {
  m_Resizing = false;
  DrawOutline(m_Previous);
  ReleaseScreenDC();
  if (GetCapture() == m_hWnd) ReleaseCapture();
}

void cSetStyle::DrawOutline(const RECT& r) {
  if (!m_ScreenDC || m_ScreenDC->get() == 0) return;
  RECT n = r;
  if (n.right < n.left) std::swap(n.left, n.right);
  if (n.bottom < n.top) std::swap(n.top, n.bottom);
  DrawFocusRect(m_ScreenDC->get(), &n);
}

void cSetStyle::OpenScreenDC() {
  if (!m_ScreenDC || m_ScreenDC->get() == 0) m_ScreenDC.emplace(0);
}

void cSetStyle::ReleaseScreenDC() {
  m_ScreenDC.reset();
}
