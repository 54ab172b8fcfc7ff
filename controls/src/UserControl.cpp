#include "controls/UserControl.h"

#include "platform/system/EventLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "platform/window/WindowDc.h"

namespace controls {

using namespace platform;

namespace {

std::function<HWND()>& PointerProbe() {
  static std::function<HWND()> probe;
  return probe;
}

// The control layer's diagnostics (CLIENT_DEBUG=controls).
const platform::LogChannel kControlsLog("controls");

void Trace(const char* what, UINT msg) {
  if (!kControlsLog.On()) return;
  char number[16];
  std::snprintf(number, sizeof number, " 0x%04X", msg);
  kControlsLog(std::string(what) + number);
}

short ShiftFromKeys(WPARAM keys) {
  short s = 0;
  if (keys & MK_SHIFT) s |= kShiftMask;
  if (keys & MK_CONTROL) s |= kCtrlMask;
  return s;
}

short ButtonsFromKeys(WPARAM keys) {
  short b = 0;
  if (keys & MK_LBUTTON) b |= kLeftButton;
  if (keys & MK_RBUTTON) b |= kRightButton;
  if (keys & MK_MBUTTON) b |= kMiddleButton;
  return b;
}

float Twips(int pixels) { return static_cast<float>(pixels * kTwipsPerPixel); }

}  // namespace

// ---- Pointer ---------------------------------------------------------------------------------

void UserControl::SetPointerProbe(std::function<HWND()> probe) {
  PointerProbe() = std::move(probe);
}

HWND UserControl::WindowUnderPointer() {
  if (PointerProbe()) return PointerProbe()();
  POINT pt;
  if (!GetCursorPos(&pt)) return 0;
  return WindowFromPoint(pt);
}

bool UserControl::PointerOverControl() const {
  return m_hwnd != 0 && WindowUnderPointer() == m_hwnd;
}

// ---- Life ------------------------------------------------------------------------------------

UserControl::~UserControl() {
  // The final class normally did this; here the control's own steps no longer run.
  m_terminated = true;
  DestroyControl();
}

bool UserControl::CreateControl(const UserControlArgs& args) {
  m_left = args.left;
  m_top = args.top;
  m_width = std::max(args.width, 0);
  m_height = std::max(args.height, 0);
  m_visible = args.visible;
  m_cx = TwipsToPixels(m_width);
  m_cy = TwipsToPixels(m_height);

  m_dc = CreateCompatibleDC(0);
  ResizeImage(m_cx, m_cy);
  SelectFont();

  CreateWindowArgs w;
  w.style = WS_CHILD | (args.visible ? DWORD{WS_VISIBLE} : DWORD{0});
  w.parent = args.parent;
  w.x = TwipsToPixels(m_left);
  w.y = TwipsToPixels(m_top);
  w.width = m_cx;
  w.height = m_cy;
  w.backColor = m_backColor;
  w.proc = [this](HWND h, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc(h, msg, wp, lp); };
  m_headless = args.headless || args.parent == 0 || !IsWindow(args.parent);
  if (!m_headless) {
    m_hwnd = CreateWindowEx(w);
    // No display (or a host that cannot hold children): carry on headless.
    if (m_hwnd == 0) m_headless = true;
  }
  if (m_headless) {
    w.style &= ~WS_CHILD;
    w.parent = 0;
    w.messageOnly = true;
    m_hwnd = CreateWindowEx(w);
  }

  OnInitialize();
  if (args.properties != nullptr) {
    OnReadProperties(*args.properties);
  } else {
    OnInitProperties();
  }
  m_created = true;
  OnResize();
  if (m_visible && m_hwnd != 0) OnShow();
  return m_hwnd != 0;
}

void UserControl::DestroyControl() {
  Terminate();
  if (m_hwnd != 0) {
    const HWND h = m_hwnd;
    DestroyWindow(h);
    m_hwnd = 0;
  }
  if (m_dc != 0) {
    SelectObject(m_dc, m_oldBitmap);
    if (m_oldFont != 0) SelectObject(m_dc, m_oldFont);
    DeleteDC(m_dc);
    m_dc = 0;
  }
  m_bitmap.Reset();
  m_hfont.Reset();
}

void UserControl::Terminate() {
  if (m_terminated) return;
  m_terminated = true;
  OnTerminate();
}

void UserControl::AccessibleName(std::string value) {
  m_accessibleName = std::move(value);
  if (!m_terminated) OnDescribe();
}

bool UserControl::TabStop() const {
  return (static_cast<DWORD>(GetWindowLongPtr(m_hwnd, GWL_STYLE)) & WS_TABSTOP) != 0;
}

void UserControl::TabStop(bool value) {
  if (m_headless || m_hwnd == 0) return;
  const auto style = static_cast<DWORD>(GetWindowLongPtr(m_hwnd, GWL_STYLE));
  SetWindowLongPtr(m_hwnd, GWL_STYLE, value ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
}

// ---- Messages ----------------------------------------------------------------------------------

LRESULT UserControl::ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      m_hwnd = hwnd;
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) HandleSize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_SHOWWINDOW:
      if (wParam != 0 && m_created && !m_terminated) OnShow();
      return 0;
    case WM_PAINT:
      HandlePaint();
      return 0;
    case WM_MOUSEMOVE:
      HandleMouseMove(wParam, lParam);
      return 0;
    case WM_LBUTTONDOWN:
      HandleButtonDown(kLeftButton, wParam, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      HandleButtonDown(kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONDOWN:
      HandleButtonDown(kMiddleButton, wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
      HandleButtonUp(kLeftButton, wParam, lParam);
      return 0;
    case WM_RBUTTONUP:
      HandleButtonUp(kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONUP:
      HandleButtonUp(kMiddleButton, wParam, lParam);
      return 0;
    case WM_LBUTTONDBLCLK:
      HandleDoubleClick(kLeftButton);
      return 0;
    case WM_RBUTTONDBLCLK:
      HandleDoubleClick(kRightButton);
      return 0;
    case WM_CAPTURECHANGED:
      // The capture went elsewhere (a window drag, another control): the presses are over.
      if (static_cast<HWND>(lParam) != m_hwnd) {
        m_buttonsDown = 0;
        m_clickArmed = 0;
      }
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      HandleKey(true, wParam);
      return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      HandleKey(false, wParam);
      return 0;
    case WM_CHAR:
      if (m_enabled && wParam <= 0x7FFF) {
        short ascii = static_cast<short>(wParam);
        OnKeyPress(ascii);
      }
      return 0;
    case WM_SETFOCUS:
      m_focused = true;
      if (m_enabled) OnGotFocus();
      return 0;
    case WM_KILLFOCUS:
      m_focused = false;
      m_modifiers = 0;
      OnLostFocus();
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_UPDATEUISTATE:
      if (m_focused && m_enabled) OnFocusCues(wParam != 0);
      return 0;
    case WM_GETDLGCODE:
      return WantedKeys();
    case WM_ACCESSIBLEACTION:
      if (m_enabled && !m_terminated) {
        OnAccessibleAction(static_cast<int>(wParam), static_cast<int>(lParam) - 1);
      }
      return 0;
    case WM_DESTROY:
      Terminate();
      return 0;
    case WM_NCDESTROY:
      m_hwnd = 0;
      return 0;
    default:
      if (msg >= WM_USER) Trace("unhandled private message", msg);
      return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

void UserControl::HandleSize(int cx, int cy) {
  if (cx == m_cx && cy == m_cy && m_created) return;
  m_cx = cx;
  m_cy = cy;
  ResizeImage(cx, cy);
  if (m_created && !m_terminated) OnResize();
}

void UserControl::HandleButtonDown(short button, WPARAM keys, LPARAM lParam) {
  if (!m_enabled) return;
  if (m_buttonsDown == 0 && !m_headless) SetCapture(m_hwnd);
  m_buttonsDown |= button;
  m_clickArmed |= button;
  short b = button, shift = ShiftFromKeys(keys);
  float x = Twips(GET_X_LPARAM(lParam)), y = Twips(GET_Y_LPARAM(lParam));
  OnMouseDown(b, shift, x, y);
}

void UserControl::HandleButtonUp(short button, WPARAM keys, LPARAM lParam) {
  if (!m_enabled) return;
  const bool wasDown = (m_buttonsDown & button) != 0;
  const bool armed = (m_clickArmed & button) != 0;
  m_buttonsDown &= ~button;
  m_clickArmed &= ~button;
  const int px = GET_X_LPARAM(lParam), py = GET_Y_LPARAM(lParam);
  short b = button, shift = ShiftFromKeys(keys);
  float x = Twips(px), y = Twips(py);
  OnMouseUp(b, shift, x, y);
  if (m_buttonsDown == 0 && !m_headless && m_hwnd != 0 && GetCapture() == m_hwnd) ReleaseCapture();
  const bool inside = px >= 0 && py >= 0 && px < m_cx && py < m_cy;
  if (wasDown && armed && inside && m_hwnd != 0 && !m_terminated) OnClick();
}

void UserControl::HandleDoubleClick(short button) {
  if (!m_enabled) return;
  if (m_buttonsDown == 0 && !m_headless) SetCapture(m_hwnd);
  m_buttonsDown |= button;
  m_clickArmed &= ~button;  // the second release of a double click is no click
  OnDblClick();
}

void UserControl::HandleMouseMove(WPARAM keys, LPARAM lParam) {
  if (!m_enabled) return;
  short b = ButtonsFromKeys(keys), shift = ShiftFromKeys(keys);
  float x = Twips(GET_X_LPARAM(lParam)), y = Twips(GET_Y_LPARAM(lParam));
  OnMouseMove(b, shift, x, y);
}

short UserControl::KeyShift() const { return m_modifiers; }

void UserControl::HandleKey(bool down, WPARAM vk) {
  short bit = 0;
  if (vk == VK_SHIFT) bit = kShiftMask;
  if (vk == VK_CONTROL) bit = kCtrlMask;
  if (vk == VK_MENU) bit = kAltMask;
  if (down) {
    m_modifiers |= bit;
  } else {
    m_modifiers &= ~bit;
  }
  if (!m_enabled) return;
  short keyCode = static_cast<short>(vk & 0x7FFF), shift = KeyShift();
  if (down) {
    OnKeyDown(keyCode, shift);
  } else {
    OnKeyUp(keyCode, shift);
  }
}

void UserControl::HandlePaint() {
  const PaintDc paint(m_hwnd);
  if (paint.get() == 0) return;
  BitBlt(paint.get(), 0, 0, m_cx, m_cy, m_dc, 0, 0, SRCCOPY);
}

void UserControl::ApplyMask() {
  if (m_hwnd == 0 || m_headless) return;
  SetChildColorKey(m_hwnd, m_maskColor,
                   m_backStyle == kBackTransparent && m_maskPicture != nullptr);
}

// ---- Geometry ----------------------------------------------------------------------------------

void UserControl::Move(int left, int top, int width, int height) {
  m_left = left;
  m_top = top;
  m_width = std::max(width, 0);
  m_height = std::max(height, 0);
  const int cx = TwipsToPixels(m_width), cy = TwipsToPixels(m_height);
  if (m_hwnd != 0 && !m_headless) {
    // The window answers with WM_SIZE when its pixel size changes.
    MoveWindow(m_hwnd, TwipsToPixels(m_left), TwipsToPixels(m_top), cx, cy, true);
  } else {
    HandleSize(cx, cy);
  }
}

void UserControl::Visible(bool value) {
  m_visible = value;
  if (m_hwnd != 0 && !m_headless) ShowWindow(m_hwnd, value ? SW_SHOWNOACTIVATE : SW_HIDE);
}

// ---- Surface -----------------------------------------------------------------------------------

void UserControl::ResizeImage(int cx, int cy) {
  if (m_dc == 0) return;
  const int w = std::max(cx, 1), h = std::max(cy, 1);
  SIZE old;
  if (m_bitmap && GetBitmapSize(m_bitmap.get(), &old) && old.cx == w && old.cy == h) return;
  HBITMAP next = CreateCompatibleBitmap(m_dc, w, h);
  if (next == 0) return;  // out of bounds: keep drawing on the old image
  {
    const OwnedDc scratch(CreateCompatibleDC(m_dc));
    const SelectedObject selected(scratch.get(), next);
    RECT all{0, 0, w, h};
    FillRect(scratch.get(), &all, OwnedBrush(CreateSolidBrush(m_backColor)).get());
    if (m_bitmap) BitBlt(scratch.get(), 0, 0, old.cx, old.cy, m_dc, 0, 0, SRCCOPY);
  }
  const HGDIOBJ replaced = SelectObject(m_dc, next);
  if (!m_bitmap) m_oldBitmap = replaced;
  m_bitmap.Reset(next);
}

Picture UserControl::Image() const {
  if (m_dc == 0) return {};
  const int w = std::max(m_cx, 1), h = std::max(m_cy, 1);
  HBITMAP copy = CreateCompatibleBitmap(m_dc, w, h);
  {
    const OwnedDc scratch(CreateCompatibleDC(m_dc));
    const SelectedObject selected(scratch.get(), copy);
    BitBlt(scratch.get(), 0, 0, w, h, m_dc, 0, 0, SRCCOPY);
  }
  return StdPicture::FromBitmap(copy);
}

void UserControl::BackColor(COLORREF value) {
  m_backColor = value;
  if (m_hwnd != 0 && !m_headless) {
    // The window's own background (shown before the first paint) follows.
    InvalidateRect(m_hwnd, nullptr, true);
  }
}

void UserControl::Font(const StdFont& value) {
  m_font = value;
  SelectFont();
}

void UserControl::SelectFont() {
  if (m_dc == 0) return;
  HFONT next = CreateFontIndirect(ToLogFont(m_font, GetDeviceCaps(m_dc, LOGPIXELSY)));
  if (next == 0) return;
  const HGDIOBJ replaced = SelectObject(m_dc, next);
  if (!m_hfont) m_oldFont = replaced;
  m_hfont.Reset(next);
}

void UserControl::EnableSurface(bool value) {
  m_enabled = value;
  if (!value) {
    m_buttonsDown = 0;
    m_clickArmed = 0;
    if (m_hwnd != 0 && !m_headless && GetCapture() == m_hwnd) ReleaseCapture();
  }
}

void UserControl::Cls() {
  if (m_dc == 0) return;
  RECT all{0, 0, std::max(m_cx, 1), std::max(m_cy, 1)};
  FillRect(m_dc, &all, OwnedBrush(CreateSolidBrush(m_backColor)).get());
  m_currentX = 0;
  m_currentY = 0;
  Invalidate();
}

void UserControl::PaintPicture(const Picture& picture, int x, int y, int width, int height,
                               int srcX, int srcY, int srcWidth, int srcHeight) {
  if (!picture || m_dc == 0) return;
  if (srcWidth < 0) srcWidth = picture->Width();
  if (srcHeight < 0) srcHeight = picture->Height();
  {
    const OwnedDc src(CreateCompatibleDC(m_dc));
    const SelectedObject selected(src.get(), picture->Handle());
    if (!selected.Failed()) {
      const int mode = SetStretchBltMode(m_dc, COLORONCOLOR);
      StretchBlt(m_dc, x, y, width, height, src.get(), srcX, srcY, srcWidth, srcHeight, SRCCOPY);
      SetStretchBltMode(m_dc, mode);
    }
  }
  Invalidate();
}

void UserControl::Print(std::string_view text) {
  if (m_dc == 0) return;
  const int x = static_cast<int>(std::lround(m_currentX / kTwipsPerPixel));
  const int y = static_cast<int>(std::lround(m_currentY / kTwipsPerPixel));
  const int oldMode = SetBkMode(m_dc, TRANSPARENT);
  const COLORREF oldColor = SetTextColor(m_dc, m_foreColor);
  TextOut(m_dc, x, y, text);
  SetTextColor(m_dc, oldColor);
  SetBkMode(m_dc, oldMode);
  m_currentX = 0;
  m_currentY += TextHeight(text);
  Invalidate();
}

int UserControl::TextWidth(std::string_view text) const {
  SIZE size;
  if (m_dc == 0 || !GetTextExtentPoint32(m_dc, text, &size)) return 0;
  return size.cx * kTwipsPerPixel;
}

int UserControl::TextHeight(std::string_view text) const {
  SIZE size;
  if (m_dc == 0 ||
      !GetTextExtentPoint32(m_dc, text.empty() ? std::string_view("X") : text, &size)) {
    return 0;
  }
  return size.cy * kTwipsPerPixel;
}

void UserControl::MousePointer(Cursor cursor) {
  if (m_hwnd != 0 && !m_headless) SetWindowCursor(m_hwnd, cursor);
}

void UserControl::Invalidate() {
  if (m_hwnd != 0 && !m_headless) InvalidateRect(m_hwnd, nullptr, false);
}

void UserControl::Refresh() {
  if (m_hwnd == 0 || m_headless || m_dc == 0) return;
  const WindowDc target(m_hwnd);
  if (target.get() == 0) return;
  BitBlt(target.get(), 0, 0, m_cx, m_cy, m_dc, 0, 0, SRCCOPY);
}

// ---- Properties --------------------------------------------------------------------------------

void UserControl::WriteProperties(PropertyBag& bag) { OnWriteProperties(bag); }

void UserControl::PropertyChanged(std::string_view name) {
  if (PropertyChangedHandler) PropertyChangedHandler(name);
}

}  // namespace controls
