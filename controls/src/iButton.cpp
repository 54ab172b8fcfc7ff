#include "controls/iButton.h"

#include <cmath>
#include <cstdlib>

using namespace platform;
using controls::PropertyBag;
using controls::StdPicture;
namespace face = controls::face;

namespace controls {

iButton::iButton(const controls::UserControlArgs& args) {
  CreateControl(args);
  TabStop(true);
}

iButton::~iButton() { DestroyControl(); }

// ---- Frames ------------------------------------------------------------------------------------

namespace {

// Lays a translucent light grey over the DC's w x h pixels.
void WashOut(HDC dc, int w, int h) {
  const OwnedBitmap bitmap(CreateCompatibleBitmap(dc, 1, 1));
  const OwnedDc grey(CreateCompatibleDC(dc));
  const SelectedObject selected(grey.get(), bitmap.get());
  SetPixel(grey.get(), 0, 0, RGB(226, 226, 226));
  AlphaBlend(dc, 0, 0, w, h, grey.get(), 0, 0, 1, 1, 160);
}

}  // namespace

void iButton::DiscardFrames() {
  m_frames.clear();
  m_framesReady = false;
}

void iButton::CutFrames() {
  DiscardFrames();
  if (m_BackPicture) {
    const face::FrameCut cut =
        face::CutFrames(m_BackPicture->Width(), m_BackPicture->Height(), m_Style);
    m_frameWidth = cut.width;
    m_frameHeight = cut.height;
    {
      const OwnedDc stripDc(CreateCompatibleDC(hDC()));
      const HDC strip = stripDc.get();
      const SelectedObject stripSelected(strip, m_BackPicture->Handle());
      const OwnedDc frameDcOwner(CreateCompatibleDC(hDC()));
      const HDC frameDc = frameDcOwner.get();
      for (int i = 0; i < cut.count; ++i) {
        if (cut.width <= 0 || cut.height <= 0 || stripSelected.Failed()) {
          m_frames.push_back(nullptr);  // an empty frame draws nothing
          continue;
        }
        HBITMAP bitmap = CreateCompatibleBitmap(hDC(), cut.width, cut.height);
        {
          const SelectedObject selected(frameDc, bitmap);
          if ((i + 1) * cut.width <= m_BackPicture->Width()) {
            BitBlt(frameDc, 0, 0, cut.width, cut.height, strip, i * cut.width, 0, SRCCOPY);
          } else {
            // A frame beyond the strip (the disabled state of a push button, or of a toggle that
            // is on) has no picture of its own: it shows the normal frame, washed out.
            BitBlt(frameDc, 0, 0, cut.width, cut.height, strip, 0, 0, SRCCOPY);
            WashOut(frameDc, cut.width, cut.height);
          }
        }
        m_frames.push_back(StdPicture::FromBitmap(bitmap));
      }
    }
    if (m_AutoSize && cut.width > 0 && cut.height > 0) {
      Move(Left(), Top(), cut.width * kTwipsPerPixel, cut.height * kTwipsPerPixel);
    }
    m_framesReady = true;
  }
  cMouseAction(CurrentState(), true);
}

void iButton::SizeToFrame() {
  if (!m_AutoSize || !m_BackPicture) return;
  const face::FrameCut cut =
      face::CutFrames(m_BackPicture->Width(), m_BackPicture->Height(), m_Style);
  if (cut.width <= 0 || cut.height <= 0) return;
  const int w = cut.width * kTwipsPerPixel, h = cut.height * kTwipsPerPixel;
  if (w != Width() || h != Height()) Move(Left(), Top(), w, h);
}

// ---- Face --------------------------------------------------------------------------------------

std::int32_t iButton::CurrentState() const {
  return face::CurrentState(IsEnabled(), m_leftHeld, PointerOverControl());
}

void iButton::ShowCurrentState() { cMouseAction(CurrentState(), true); }

void iButton::cMouseAction(std::int32_t cAction, bool vComplePaint) {
  if (cAction == m_state && !vComplePaint) return;
  m_state = cAction;
  Repaint(cAction);
}

void iButton::Repaint(std::int32_t state) {
  OnDescribe();
  Cls();
  const std::int32_t shown = m_Locked ? face::kPressed : state;
  const auto index = face::FrameIndex(m_framesReady, FrameCount(), shown, m_Value, m_Style);
  const Picture frame = index ? m_frames[static_cast<std::size_t>(*index)] : nullptr;
  if (frame) {
    const int w = PixelWidth(), h = PixelHeight();
    if (cBackStyle() == controls::kBackOpaque) {
      PaintPicture(frame, 0, 0, w, h);
      if (m_Icon) {
        const int left =
            face::IconLeft(ScaleWidth(), TextWidth(m_Caption), m_Icon->Width() * kTwipsPerPixel);
        PaintPicture(m_Icon, TwipsToPixels(left), 0, m_Icon->Width(), m_Icon->Height());
      }
    } else if (m_AutoSize) {
      MaskPicture(frame);
      PaintPicture(frame, 0, 0, w, h);
    } else {
      BackStyle(controls::kBackOpaque);
      PaintPicture(frame, 0, 0, w, h);
      MaskPicture(Image());
      BackStyle(controls::kBackTransparent);
    }
  }
  if (m_Caption.empty()) return;
  std::optional<std::int32_t> iconHiMetric;
  if (m_Icon) iconHiMetric = m_Icon->HiMetricWidth();
  const face::TwipPoint at =
      face::CaptionPosition(ScaleWidth(), ScaleHeight(), TextWidth(m_Caption),
                            TextHeight(m_Caption), iconHiMetric, state);
  CurrentX(at.x);
  CurrentY(at.y);
  Print(m_Caption);
}

void iButton::DrawFocus() {
  if (!FocusCuesShown(hWnd())) return;
  const RECT r = face::FocusRect(PixelWidth(), PixelHeight());
  if (r.right <= r.left || r.bottom <= r.top) return;  // too small for a rectangle
  DrawFocusRect(hDC(), &r);
  Invalidate();
}

// ---- Timer1 -------------------------------------------------------------------------------------

void iButton::StartTimer1() {
  if (hWnd() == 0) return;
  m_timerOn = SetTimer(hWnd(), kTimer1, kTimer1Interval) != 0;
}

void iButton::StopTimer1() {
  if (m_timerOn && hWnd() != 0) KillTimer(hWnd(), kTimer1);
  m_timerOn = false;
}

void iButton::OnTimer(UINT_PTR id) {
  if (id != kTimer1 || !m_timerOn) return;
  if (PointerOverControl()) {
    if (m_leftHeld) cMouseAction(face::kPressed, false);
    return;
  }
  if (m_leftHeld) {
    cMouseAction(face::kNormal, false);
    return;
  }
  StopTimer1();
  m_hovering = false;
  if (MouseOut) MouseOut();
  cMouseAction(face::kNormal, false);
}

// ---- Life --------------------------------------------------------------------------------------

void iButton::OnInitialize() { CutFrames(); }

void iButton::OnShow() {
  if (!Tag().empty()) return;
  CutFrames();
  Tag("1");
}

void iButton::OnResize() {
  SizeToFrame();
  ShowCurrentState();
}

void iButton::OnTerminate() {
  StopTimer1();
  DiscardFrames();
  m_BackPicture.reset();
}

// ---- Mouse -------------------------------------------------------------------------------------

void iButton::OnMouseMove(short& button, short& shift, float& x, float& y) {
  if (MouseMove) MouseMove(button, shift, x, y);
  if (!PointerOverControl()) return;
  MousePointer(Cursor::Hand);
  if (m_hovering) return;
  cMouseAction(face::kHover, false);
  m_hovering = true;
  StartTimer1();
  if (MouseOver) MouseOver();
}

void iButton::OnMouseDown(short& button, short& shift, float& x, float& y) {
  if (MouseDown) MouseDown(button, shift, x, y);
  m_lastButton = button;
  if (button != controls::kLeftButton) return;
  MousePointer(Cursor::Arrow);
  cMouseAction(face::kPressed, false);
  m_leftHeld = true;
}

void iButton::OnMouseUp(short& button, short& shift, float& x, float& y) {
  if (MouseUp) MouseUp(button, shift, x, y);
  if (button != controls::kLeftButton) return;
  if (PointerOverControl()) {
    if (m_Style == 1) m_Value = !m_Value;
    cMouseAction(face::kHover, true);
  } else {
    cMouseAction(face::kNormal, true);
  }
  m_leftHeld = false;
}

void iButton::OnClick() {
  if (m_lastButton != controls::kLeftButton) return;
  ShowCurrentState();
  if (Click) Click();
}

void iButton::OnDblClick() {
  if (m_lastButton == controls::kLeftButton) cMouseAction(face::kPressed, false);
  if (DBClick) DBClick();
}

// ---- Keyboard ----------------------------------------------------------------------------------

void iButton::OnKeyDown(short& keyCode, short& shift) {
  if (KeyDown) KeyDown(keyCode, shift);
  if (keyCode == VK_RETURN) {
    if (m_Style == 1) m_Value = !m_Value;
    ShowCurrentState();
    if (!m_hovering) DrawFocus();
    if (Click) Click();
  } else if (keyCode == VK_SPACE) {
    cMouseAction(face::kPressed, true);
    if (!m_hovering) DrawFocus();
  }
}

void iButton::OnKeyUp(short& keyCode, short& shift) {
  if (KeyUP) KeyUP(keyCode, shift);
  if (keyCode != VK_SPACE) return;
  if (m_Style == 1) m_Value = !m_Value;
  ShowCurrentState();
  if (!m_hovering) DrawFocus();
  if (Click) Click();
}

void iButton::OnKeyPress(short& keyAscii) {
  if (KeyPress) KeyPress(keyAscii);
}

void iButton::OnGotFocus() {
  ShowCurrentState();
  if (!m_leftHeld) DrawFocus();
}

void iButton::OnLostFocus() { ShowCurrentState(); }

void iButton::OnDescribe() {
  AccessibleInfo info;
  info.role = m_Style == 1 ? AccessibleRole::ToggleButton : AccessibleRole::PushButton;
  info.name = AccessibleName().empty() ? m_Caption : AccessibleName();
  info.enabled = IsEnabled();
  info.pressed = m_Style == 1 ? m_Value : m_state == face::kPressed || m_Locked;
  info.actions = {"press"};
  SetAccessible(hWnd(), info);
}

void iButton::OnAccessibleAction(int action, int item) {
  if (action != 0 || item >= 0) return;
  if (m_Style == 1) m_Value = !m_Value;
  ShowCurrentState();
  if (Click) Click();
}

void iButton::OnFocusCues(bool /*shown*/) {
  ShowCurrentState();
  DrawFocus();
}

// ---- Properties --------------------------------------------------------------------------------

void iButton::cDrawMode(short value) {
  DrawMode(value);
  Repaint(m_state);
  PropertyChanged("cDrawMode");
}

void iButton::cFont(const StdFont& value) {
  Font(value);
  Repaint(m_state);
  PropertyChanged("cFont");
}

void iButton::cForeColor(COLORREF value) {
  ForeColor(value);
  Repaint(m_state);
  PropertyChanged("cForeColor");
}

void iButton::Locked(bool value) {
  m_Locked = value;
  ShowCurrentState();
}

void iButton::Value(bool value) {
  if (m_Style != 1) {
    m_Value = false;
    return;
  }
  m_Value = value;
  ShowCurrentState();
}

void iButton::AutoSize(bool value) {
  m_AutoSize = value;
  if (value) CutFrames();
  PropertyChanged("AutoSize");
}

void iButton::Style(std::int32_t value) {
  m_Style = value;
  CutFrames();
  PropertyChanged("Style");
}

void iButton::BackPicture(Picture value) {
  m_BackPicture = std::move(value);
  CutFrames();
  PropertyChanged("BackPicture");
}

void iButton::Icon(Picture value) {
  m_Icon = std::move(value);
  PropertyChanged("Icon");
}

void iButton::Enabled(bool value) {
  EnableSurface(value);
  if (!value) m_leftHeld = false;
  ShowCurrentState();
  PropertyChanged("Enabled");
}

void iButton::cBackStyle(short value) {
  BackStyle(value);
  if (BackColor() == 0) MaskPicture(nullptr);
  Repaint(m_state);
  PropertyChanged("cBackStyle");
}

void iButton::Caption(std::string value) {
  m_Caption = std::move(value);
  Repaint(m_state);
  PropertyChanged("Caption");
}

// ---- Persisted properties ----------------------------------------------------------------------

void iButton::OnReadProperties(const PropertyBag& bag) {
  m_BackPicture = bag.ReadPicture("BackPicture");
  m_Icon = bag.ReadPicture("Icon");
  EnableSurface(bag.ReadBool("Enabled", true));
  BackStyle(static_cast<short>(bag.ReadInt("cBackStyle", controls::kBackOpaque)));
  m_Caption = bag.ReadString("Caption", "");
  m_Style = bag.ReadInt("Style", 0);
  m_AutoSize = bag.ReadBool("AutoSize", true);
  ForeColor(
      static_cast<COLORREF>(bag.ReadInt("cForeColor", static_cast<std::int32_t>(ForeColor()))));
  Font(bag.ReadFont("cFont", Font()));
  DrawMode(static_cast<short>(bag.ReadInt("cDrawMode", DrawMode())));
}

void iButton::OnWriteProperties(PropertyBag& bag) {
  bag.WriteProperty("BackPicture", m_BackPicture, Picture{});
  bag.WriteProperty("Icon", m_Icon, Picture{});
  bag.WriteProperty("Enabled", IsEnabled(), true);
  bag.WriteProperty("Style", m_Style, std::int32_t{0});
  bag.WriteProperty("cBackStyle", std::int32_t{BackStyle()}, std::int32_t{controls::kBackOpaque});
  bag.WriteProperty("Caption", m_Caption, std::string());
  bag.WriteProperty("AutoSize", m_AutoSize, true);
  bag.WriteProperty("cFont", Font());
  bag.WriteProperty("cDrawMode", std::int32_t{DrawMode()});
  bag.WriteProperty("cForeColor", static_cast<std::int32_t>(ForeColor()));
}

}  // namespace controls
