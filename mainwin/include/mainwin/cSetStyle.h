#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "mainwin/cFormSubclass.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Window.h"
#include "platform/window/WindowDc.h"

namespace platform {
class Form;
}

// What a window without a system frame needs of one: a frameless style, resizing by dragging
// any edge or corner (an outline follows the pointer; the window takes it on release), a
// toggle between covering the work area and the rectangle it had before, refitting when the
// desktop's work area changes, and the system close command as an event. It sees the window's
// messages through a form message hook, before the window's own handling, and never swallows
// one.
namespace setstyle {

// Border zones, clockwise from the top edge; -1 is not on the border.
enum Zone : int {
  kNone = -1,
  kTop = 0,
  kTopRight = 1,
  kRight = 2,
  kBottomRight = 3,
  kBottom = 4,
  kBottomLeft = 5,
  kLeft = 6,
  kTopLeft = 7,
};

// A coordinate this close to an edge (pixels, inclusive) is on it.
inline constexpr int kEdge = 5;
// The outline stays wider and taller than this while the right, bottom or left edge moves.
inline constexpr int kMinWidth = 800;
inline constexpr int kMinHeight = 600;

// The zone of a screen point against a window rectangle; corners win over edges.
int HitTest(const platform::RECT& window, int x, int y);
// The outline after the pointer moved to (x, y) while `zone` is dragged.
void UpdateOutline(int zone, platform::RECT& outline, int x, int y);
// The cursor shape shown over a zone.
platform::Cursor ZoneCursor(int zone);
// A placement brought inside the work area: as large as it was where the area has room (a
// smaller area makes it smaller), then moved the least that puts all of it inside.
platform::RECT FitInside(const platform::RECT& placement, const platform::RECT& work);

}  // namespace setstyle

// The taskbar's height in twips: the screen's height less the bottom of the work area.
std::int16_t GetTaskbarHeight();

class cSetStyle {
 public:
  using HWND = platform::HWND;

  // Events, in the order of the class's interface.
  std::function<void()> CloseClick;
  std::function<void()> SettingChange;
  // Each pointer move over the window while neither resizing nor maximised.
  std::function<void(std::int32_t theMouseStyle)> MouseSize;
  // The window came to cover the work area (true) or stopped covering it: by the toggle, or
  // (true only) by what the window manager did with it (it maximised it itself, or refused to
  // restore it).
  std::function<void(bool maximized)> StateChange;

  cSetStyle();
  // Ends a drag in progress (its outline is erased) and releases the hook.
  ~cSetStyle();
  cSetStyle(const cSetStyle&) = delete;
  cSetStyle& operator=(const cSetStyle&) = delete;

  // Strips the window's style to system menu + minimise box and hooks its messages.
  void SetWindowStyle(HWND hWnd);
  // Toggles between covering the work area and the saved placement, fitted inside the work area
  // as it is then (a small screen, or a panel that came meanwhile); true when the window now
  // covers the work area.
  bool CallWindowStateChange();

  platform::Form* objForm() const { return m_Form; }
  void objForm(platform::Form* form) { m_Form = form; }

  bool Resizing() const { return m_Resizing; }
  bool Maximized() const { return m_Maximized; }
  // The placement saved before covering the work area (pixels).
  const platform::RECT& SavedPlacement() const { return m_Saved; }
  // The outline of the drag in progress.
  const platform::RECT& Outline() const { return m_Current; }
  std::int32_t Zone() const { return m_Zone; }

 private:
  void objSubclass_MsgCome(bool bBefore, bool& bHandled, platform::LRESULT& lReturn, HWND& hWnd,
                           platform::UINT& uMsg, platform::WPARAM& wParam,
                           platform::LPARAM& lParam);
  void OnMouseMove(platform::WPARAM wParam);
  void OnButtonDown();
  void OnButtonUp();
  // Erases the outline, lets the pointer go and leaves the window as it was.
  void CancelResize();
  void DrawOutline(const platform::RECT& r);
  void OpenScreenDC();
  void ReleaseScreenDC();
  void FitWorkArea();
  void SetMaximized(bool maximized);
  // On each new size: a window that covers the work area is maximised.
  void FollowWindowManager();
  HWND FormWindow() const;

  // Raises an event through a copy of its handler; false when the handler ended this object.
  template <class Fn, class... Args>
  bool Raise(const Fn& handler, Args... args) {
    const std::shared_ptr<bool> alive = m_alive;
    if (Fn copy = handler) copy(args...);
    return *alive;
  }

  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
  std::unique_ptr<cFormSubclass> m_Subclass;
  platform::Form* m_Form = nullptr;
  HWND m_hWnd = 0;
  std::optional<platform::WindowDc> m_ScreenDC;  // while the outline is drawn
  bool m_Resizing = false;
  bool m_Maximized = false;
  platform::RECT m_Saved;
  platform::POINT m_Cursor;
  platform::RECT m_Window;
  platform::RECT m_Previous;
  platform::RECT m_Current;
  std::int32_t m_Zone = setstyle::kNone;
};
