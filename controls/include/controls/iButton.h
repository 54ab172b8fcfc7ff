#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/UserControl.h"
#include "controls/cMouseAction.h"

// The skinned push/toggle button. Its face is one frame of a horizontal strip picture
// (BackPicture: normal, hover, pressed; a toggle has those three twice, for Value false and
// true), stretched over the control, with an optional icon and a centred caption on top.
//
// It finds hovering itself: a pointer move onto it starts a 50 ms poll (Timer1) that runs
// while the pointer is over it or the left button is held, and ends with MouseOut once the
// pointer is found elsewhere with no button held. An idle button runs no timer.
//
// To assistive technology it is a push button (a toggle button with Style 1) named by its
// caption or its AccessibleName, with the action "press", which clicks it as Enter does.
//
// A button is a tab stop. Its focus mark (a dotted frame) shows while it has the focus and its
// window shows focus marks, that is after a key and not after a click.
//
// Events reach the host before the button reacts, and the button acts on the Button and
// KeyCode the host's handler left: a KeyDown handler that sets KeyCode to 0 stops Enter and
// Space from clicking.
namespace controls {

class iButton final : public controls::UserControl {
 public:
  using Picture = controls::Picture;
  using StdFont = controls::StdFont;

  // Events, in the order of their numbers. Unset ones are not raised.
  std::function<void()> Click;
  std::function<void(short& Button, short& Shift, float& X, float& Y)> MouseDown;
  std::function<void(short& KeyCode, short& Shift)> KeyDown;
  std::function<void(short& KeyCode, short& Shift)> KeyUP;
  std::function<void(short& KeyAscii)> KeyPress;
  std::function<void(short& Button, short& Shift, float& X, float& Y)> MouseUp;
  std::function<void(short& Button, short& Shift, float& X, float& Y)> MouseMove;
  std::function<void()> MouseOut;
  std::function<void()> MouseOver;
  std::function<void()> DBClick;

  // Creates the button. Handlers set afterwards hear everything from then on; the host's
  // design values come in `args.properties` (keys as below).
  explicit iButton(const controls::UserControlArgs& args);
  ~iButton() override;

  // ---- Properties (persisted ones under the same key; defaults in brackets) ----
  short cDrawMode() const { return DrawMode(); }
  void cDrawMode(short value);
  StdFont cFont() const { return Font(); }
  void cFont(const StdFont& value);
  COLORREF cForeColor() const { return ForeColor(); }
  void cForeColor(COLORREF value);
  bool Locked() const { return m_Locked; }                    // not stored [false]
  void Locked(bool value);
  bool Value() const { return m_Value; }                      // not stored [false]
  void Value(bool value);
  bool AutoSize() const { return m_AutoSize; }                // "AutoSize" [true]
  void AutoSize(bool value);
  std::int32_t Style() const { return m_Style; }              // "Style" [0]
  void Style(std::int32_t value);
  const Picture& BackPicture() const { return m_BackPicture; }  // "BackPicture" [none]
  void BackPicture(Picture value);
  const Picture& Icon() const { return m_Icon; }              // "Icon" [none]
  void Icon(Picture value);
  bool Enabled() const { return IsEnabled(); }                // "Enabled" [true]
  void Enabled(bool value);
  short cBackStyle() const { return BackStyle(); }            // "cBackStyle" [1]
  void cBackStyle(short value);
  const std::string& Caption() const { return m_Caption; }    // "Caption" [""]
  // The caption's extent in the button's font, twips (what a layout makes room for).
  int CaptionWidth() const { return TextWidth(m_Caption); }
  int CaptionHeight() const { return TextHeight(m_Caption); }
  void Caption(std::string value);

  // Shows a state: when it differs from the one shown, or when vComplePaint, the face is
  // repainted in it and it becomes the state shown.
  void cMouseAction(std::int32_t cAction, bool vComplePaint);

  // ---- Read-only views ----
  // The state last shown through cMouseAction.
  std::int32_t VisualState() const { return m_state; }
  bool Hovering() const { return m_hovering; }
  bool Timer1Enabled() const { return m_timerOn; }
  bool FramesReady() const { return m_framesReady; }
  int FrameWidth() const { return m_frameWidth; }    // pixels
  int FrameHeight() const { return m_frameHeight; }  // pixels
  int FrameCount() const { return static_cast<int>(m_frames.size()); }
  // The state computed from Enabled, the left button and the pointer now.
  std::int32_t CurrentState() const;

  static constexpr platform::UINT_PTR kTimer1 = 1;
  static constexpr unsigned kTimer1Interval = 50;  // ms

 protected:
  void OnInitialize() override;
  void OnReadProperties(const controls::PropertyBag& bag) override;
  void OnWriteProperties(controls::PropertyBag& bag) override;
  void OnResize() override;
  void OnShow() override;
  void OnTerminate() override;
  void OnMouseDown(short& button, short& shift, float& x, float& y) override;
  void OnMouseUp(short& button, short& shift, float& x, float& y) override;
  void OnMouseMove(short& button, short& shift, float& x, float& y) override;
  void OnClick() override;
  void OnDblClick() override;
  void OnKeyDown(short& keyCode, short& shift) override;
  void OnKeyUp(short& keyCode, short& shift) override;
  void OnKeyPress(short& keyAscii) override;
  void OnGotFocus() override;
  void OnLostFocus() override;
  void OnTimer(platform::UINT_PTR id) override;
  void OnFocusCues(bool shown) override;
  void OnDescribe() override;
  void OnAccessibleAction(int action, int item) override;

 private:
  void CutFrames();
  void DiscardFrames();
  void Repaint(std::int32_t state);
  void DrawFocus();
  void ShowCurrentState();
  void StartTimer1();
  void StopTimer1();
  void SizeToFrame();

  std::vector<Picture> m_frames;
  bool m_framesReady = false;
  int m_frameWidth = 0;
  int m_frameHeight = 0;
  Picture m_BackPicture;
  Picture m_Icon;
  std::string m_Caption;
  std::int32_t m_Style = 0;
  bool m_Value = false;
  bool m_AutoSize = true;
  bool m_Locked = false;
  std::int32_t m_state = controls::face::kNormal;
  bool m_hovering = false;
  bool m_leftHeld = false;
  short m_lastButton = 0;
  bool m_timerOn = false;
};

}  // namespace controls
