#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "controls/PropertyBag.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Accessible.h"
#include "platform/window/Form.h"
#include "platform/window/Window.h"

// The base of the skinned user controls: a child window in a host window, with the drawing
// surface, input events and persisted properties of a form runtime's user control.
//
// Surface. The control draws into its persistent image, a bitmap of the client area's size
// whose device context is hDC(); whatever is drawn there is shown the next time the window
// paints (drawing through Cls, PaintPicture and Print asks for that paint; drawing straight on
// hDC() is shown with the next one, or at once with Refresh). The surface carries back colour
// and back style, fore colour, drawing mode, font, mask picture and mask colour, a print
// position and a tag.
//
// Input. Mouse, key and focus messages become the control's events, in the order a form
// runtime raises them: MouseDown, MouseUp, then Click when a press and its release both fell
// on the control; a double click raises DblClick in place of the second MouseDown and no Click
// follows its release. While a button is held the control has the mouse capture, so it hears
// the release wherever it happens. Mouse positions are twips of the client area. A disabled
// control hears no mouse or key input.
//
// Geometry. The host places the control in twips (the extender's Left, Top, Width, Height); the
// window follows, rounded to pixels. A control created headless (or when there is no display)
// lives on a message-only window: it keeps its geometry, draws into its persistent image and
// takes messages sent to it, without being on a screen. Unit tests use it that way.
//
// Life. Creation runs Initialize, then ReadProperties (design values given) or InitProperties
// (a new instance), then Resize, then Show when the control is visible. The final control
// class calls CreateControl at the end of its constructor and DestroyControl in its
// destructor, so each step runs with the whole object in place.

namespace controls {

// Mouse buttons and shift keys as the control events report them.
enum : short { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
enum : short { kShiftMask = 1, kCtrlMask = 2, kAltMask = 4 };
// Back styles of the surface.
enum : short { kBackTransparent = 0, kBackOpaque = 1 };

struct UserControlArgs {
  // The host window whose client area holds the control; 0 makes the control headless.
  platform::HWND parent = 0;
  // Extender geometry in twips.
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool visible = true;
  // A message-only window: no display needed.
  bool headless = false;
  // The host's design values; nullptr for a new instance (its InitProperties step runs).
  const PropertyBag* properties = nullptr;
};

class UserControl {
 public:
  using HWND = platform::HWND;
  using HDC = platform::HDC;
  using COLORREF = platform::COLORREF;

  virtual ~UserControl();
  UserControl(const UserControl&) = delete;
  UserControl& operator=(const UserControl&) = delete;

  // 0 once the window is gone (its host destroyed it).
  HWND hWnd() const { return m_hwnd; }
  // The persistent image's device context.
  HDC hDC() const { return m_dc; }
  // A copy of the persistent image as it is now.
  Picture Image() const;
  bool Headless() const { return m_headless; }

  // ---- Extender (twips) ----
  int Left() const { return m_left; }
  int Top() const { return m_top; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  void Move(int left, int top, int width, int height);
  void Left(int value) { Move(value, m_top, m_width, m_height); }
  void Top(int value) { Move(m_left, value, m_width, m_height); }
  void Width(int value) { Move(m_left, m_top, value, m_height); }
  void Height(int value) { Move(m_left, m_top, m_width, value); }
  bool Visible() const { return m_visible; }
  void Visible(bool value);
  // What assistive technology calls the control when its own text does not say it (a button
  // that shows only a picture); empty: its own text.
  const std::string& AccessibleName() const { return m_accessibleName; }
  void AccessibleName(std::string value);
  // Tab reaches the control (the window layer moves the focus through the tab stops).
  bool TabStop() const;
  void TabStop(bool value);

  // The client area: twips and pixels.
  int ScaleWidth() const { return m_cx * platform::kTwipsPerPixel; }
  int ScaleHeight() const { return m_cy * platform::kTwipsPerPixel; }
  int PixelWidth() const { return m_cx; }
  int PixelHeight() const { return m_cy; }

  bool IsEnabled() const { return m_enabled; }
  bool HasFocus() const { return m_focused; }

  // Shows the persistent image in the window now.
  void Refresh();

  // ---- Persisted properties ----
  // Writes every persisted property into `bag` (the control's WriteProperties step).
  void WriteProperties(PropertyBag& bag);
  // The host's handler, told the name of each persisted property that changes after creation.
  std::function<void(std::string_view name)> PropertyChangedHandler;

  // Where the pointer is: the window under it, as WindowFromPoint(GetCursorPos()) answers. A
  // process may put another answer in place (tests without a display do); empty restores the
  // real one.
  static void SetPointerProbe(std::function<HWND()> probe);
  static HWND WindowUnderPointer();

 protected:
  UserControl() = default;

  bool CreateControl(const UserControlArgs& args);
  void DestroyControl();

  // ---- Surface ----
  COLORREF BackColor() const { return m_backColor; }
  void BackColor(COLORREF value);
  COLORREF ForeColor() const { return m_foreColor; }
  void ForeColor(COLORREF value) { m_foreColor = value; }
  short BackStyle() const { return m_backStyle; }
  // Transparent with a mask picture: the window's mask-coloured pixels show the host beneath.
  void BackStyle(short value) {
    m_backStyle = value == kBackTransparent ? kBackTransparent : kBackOpaque;
    ApplyMask();
  }
  short DrawMode() const { return m_drawMode; }
  void DrawMode(short value) { m_drawMode = value; }
  const StdFont& Font() const { return m_font; }
  void Font(const StdFont& value);
  const Picture& MaskPicture() const { return m_maskPicture; }
  void MaskPicture(Picture value) {
    m_maskPicture = std::move(value);
    ApplyMask();
  }
  COLORREF MaskColor() const { return m_maskColor; }
  void MaskColor(COLORREF value) {
    m_maskColor = value;
    ApplyMask();
  }
  const std::string& Tag() const { return m_tag; }
  void Tag(std::string value) { m_tag = std::move(value); }
  double CurrentX() const { return m_currentX; }
  double CurrentY() const { return m_currentY; }
  void CurrentX(double twips) { m_currentX = twips; }
  void CurrentY(double twips) { m_currentY = twips; }
  void EnableSurface(bool value);

  // Clears the persistent image to the back colour and puts the print position at (0, 0).
  void Cls();
  // Draws a piece of the picture (pixels): the source rectangle (-1 extents: the whole
  // picture) stretched over the destination rectangle, nearest pixel; pixels whose source lies
  // outside the picture stay as they were.
  void PaintPicture(const Picture& picture, int x, int y, int width, int height, int srcX = 0,
                    int srcY = 0, int srcWidth = -1, int srcHeight = -1);
  // Prints the text at the print position in the font and fore colour, over what is there;
  // the position then moves to the start of the next line.
  void Print(std::string_view text);
  // The text's size in the surface's font, twips.
  int TextWidth(std::string_view text) const;
  int TextHeight(std::string_view text) const;
  // The cursor shown over the control.
  void MousePointer(platform::Cursor cursor);
  // Asks for a paint of the window (what was drawn on hDC() is shown then).
  void Invalidate();

  // Tells the host that a persisted property changed.
  void PropertyChanged(std::string_view name);
  // The pointer is over the control's own window.
  bool PointerOverControl() const;

  // ---- Steps and events (each runs on the message named beside it) ----
  virtual void OnInitialize() {}
  virtual void OnInitProperties() {}
  virtual void OnReadProperties(const PropertyBag& bag) {}
  virtual void OnWriteProperties(PropertyBag& bag) {}
  virtual void OnResize() {}                                                  // WM_SIZE
  virtual void OnShow() {}                                                    // WM_SHOWWINDOW
  virtual void OnTerminate() {}                                               // WM_DESTROY
  virtual void OnMouseDown(short& button, short& shift, float& x, float& y) {}  // WM_xBUTTONDOWN
  virtual void OnMouseUp(short& button, short& shift, float& x, float& y) {}    // WM_xBUTTONUP
  virtual void OnMouseMove(short& button, short& shift, float& x, float& y) {}  // WM_MOUSEMOVE
  virtual void OnClick() {}
  virtual void OnDblClick() {}                                        // WM_xBUTTONDBLCLK
  virtual void OnKeyDown(short& keyCode, short& shift) {}             // WM_KEYDOWN
  virtual void OnKeyUp(short& keyCode, short& shift) {}               // WM_KEYUP
  virtual void OnKeyPress(short& keyAscii) {}                         // WM_CHAR
  virtual void OnGotFocus() {}                                        // WM_SETFOCUS
  virtual void OnLostFocus() {}                                       // WM_KILLFOCUS
  virtual void OnTimer(platform::UINT_PTR id) {}                      // WM_TIMER
  // The host window starts or stops showing focus marks while the control has the focus.
  virtual void OnFocusCues(bool shown) {}  // WM_UPDATEUISTATE
  // Says what the control is now (role, name, state, actions) to assistive technology; a control
  // calls it whenever that changes, and once more when the host renames it.
  virtual void OnDescribe() {}
  // Assistive technology invoked the control's action `action` (of the part `item`, -1 the
  // control itself).
  virtual void OnAccessibleAction(int action, int item) {}  // WM_ACCESSIBLEACTION
  // Keys the control keeps for itself instead of moving the focus (DLGC_* bits).
  virtual platform::LRESULT WantedKeys() const { return 0; }  // WM_GETDLGCODE

 private:
  platform::LRESULT ControlProc(HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                                platform::LPARAM lParam);
  void HandleSize(int cx, int cy);
  void HandleButtonDown(short button, platform::WPARAM keys, platform::LPARAM lParam);
  void HandleButtonUp(short button, platform::WPARAM keys, platform::LPARAM lParam);
  void HandleDoubleClick(short button);
  void HandleMouseMove(platform::WPARAM keys, platform::LPARAM lParam);
  void HandleKey(bool down, platform::WPARAM vk);
  void HandlePaint();
  void ApplyMask();
  void ResizeImage(int cx, int cy);
  void SelectFont();
  void Terminate();
  short KeyShift() const;

  HWND m_hwnd = 0;
  bool m_headless = false;
  bool m_created = false;     // creation steps done: size changes raise Resize from now on
  bool m_terminated = false;
  // Extender (twips) and client area (pixels).
  int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
  int m_cx = 0, m_cy = 0;
  bool m_visible = true;
  // Persistent image.
  HDC m_dc = 0;
  platform::OwnedBitmap m_bitmap;
  platform::HGDIOBJ m_oldBitmap = 0;
  platform::OwnedFont m_hfont;
  platform::HGDIOBJ m_oldFont = 0;
  // Surface attributes.
  COLORREF m_backColor = platform::RGB(240, 240, 240);
  COLORREF m_foreColor = platform::RGB(0, 0, 0);
  short m_backStyle = kBackOpaque;
  short m_drawMode = 13;  // copy pen
  StdFont m_font;
  Picture m_maskPicture;
  COLORREF m_maskColor = platform::RGB(255, 0, 255);
  std::string m_tag;
  std::string m_accessibleName;
  double m_currentX = 0, m_currentY = 0;
  bool m_enabled = true;
  bool m_focused = false;
  // Input.
  short m_buttonsDown = 0;   // buttons pressed on the control and not yet released
  short m_clickArmed = 0;    // of those, the ones whose release may raise Click
  short m_modifiers = 0;     // shift keys seen going down and not yet up
};

}  // namespace controls
