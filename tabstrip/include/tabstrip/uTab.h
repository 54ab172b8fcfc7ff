#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/CSubclass.h"
#include "controls/PropertyBag.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Window.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/IuTab.h"
#include "tabstrip/TabLayout.h"
#include "tabstrip/mdlTabAPI.h"

// How a strip is made: where it goes and the host's saved design data.
struct uTabCreateArgs {
  platform::HWND parent = 0;  // the form the strip sits on
  int x = 0;
  int y = 0;
  int width = 0;
  // TabStyle, TabLeftSize and TabRightSize; the defaults apply for what it does not hold.
  const controls::PropertyBag* properties = nullptr;
};

// The owner-drawn tab strip: one row of tabs, one per item of its collection, the selected
// tab's page shown in a container window the host names, the mouse answered with selection,
// hover and close buttons, and everything reported to the host through the events below.
//
// The strip is a child window of its own. It sees its own messages (before its procedure) and
// its container's WM_SIZE (after) through a CSubclass hook. Nothing is laid out or drawn until
// the host unlocks drawing with LockReDraw(false); page hosting works regardless.
//
// The keyboard and assistive technology reach the tabs too (uTabAccess.cpp): the strip is a tab
// stop; while it has the focus, Left and Right move a focus among the tabs (marked with a
// dotted frame for a keyboard user), Enter and Space select the focused tab as a click does,
// Delete closes it as its close box does, and the context-menu key or Shift+F10 opens its menu.
// A screen reader sees a page-tab list whose page tabs carry their caption, their account and
// sound in the description, selected and focused states, and the actions select, close and
// mute (or unmute).
//
// Events are raised synchronously from inside the strip's handling; a handler may call back
// into the strip and its collection, and may even end the strip: the strip then touches
// nothing of itself on the way out.
class uTab final : public IuTab {
 public:
  // Draws the session mark of `number` (nothing for 0) at x, centred in the height, in the DC's
  // font; returns the width it takes from the caption (uTabSessionMark.cpp). The login screen of
  // an account shows the same mark.
  static int DrawSessionMark(platform::HDC hdc, std::int32_t number, int x, int y, int height);
  // The colour of that mark (0x00BBGGRR).
  static std::uint32_t SessionMarkColor(std::int32_t number);

  using CSubclass = controls::CSubclass;

  using HWND = platform::HWND;
  using HDC = platform::HDC;

  // Arguments of the mouse events, by reference as the platform handed them to the strip.
  using MouseEvent = std::function<void(std::int32_t ItemIndex, std::int16_t& Button,
                                        std::int16_t& Shift, float& X, float& Y)>;

  // ---- Events ----
  // A left press landed on a tab (any part of it, also the selected tab and a close button).
  std::function<void()> TabChanged;
  MouseEvent OnDblClick;
  // Every press, release and move, after the strip's own handling. ItemIndex is the hit test's
  // result, or 0 when the strip did not hit-test (buttons other than the left, moves with a
  // button held).
  MouseEvent OnMouseDown;
  // A move without a button found another tab (or hit code) under the mouse.
  MouseEvent OnMouseHover;
  MouseEvent OnMouseMove;
  MouseEvent OnMouseUp;
  std::function<void()> OnMouseLeave;
  // A tab is about to be removed; setting Cancel keeps it.
  std::function<void(std::int32_t ItemIndex, bool& Cancel)> OnItemColose;
  // The background is about to be painted into hdc (cx x cy); setting bSkipDefault keeps the
  // skin's background out.
  std::function<void(HDC hdc, std::int32_t cx, std::int32_t cy, bool& bSkipDefault)>
      OnDrawBackground;

  explicit uTab(const uTabCreateArgs& args);
  // Unhooks every window, lets go of the tabs (unloading their pages), frees the drawing
  // objects and destroys the strip's window.
  ~uTab() override;
  uTab(const uTab&) = delete;
  uTab& operator=(const uTab&) = delete;

  // ---- Public members ----
  void refresh() { RedrawAll(true); }
  // Locking stops layout and drawing; unlocking lays out and redraws at once.
  void LockReDraw(bool bLock);
  HWND hWnd() override { return m_hWnd; }
  HWND hContainerWnd() const { return m_hContainerWnd; }
  // Stores the container and hooks its WM_SIZE. A container set earlier stays hooked.
  void hContainerWnd(HWND value);
  CTabItems& TabItems() override { return *m_TabItems; }
  std::int32_t Selected() override { return m_Selected; }
  // Below 0: no selection (pages stay as they are). Beyond the last tab: nothing. Otherwise the
  // tab is selected and its page brought forward. No event is raised.
  void Selected(std::int32_t value) override;
  // The margins and the style only take effect at the next resize.
  std::int32_t TabLeftSize() const { return m_TabLeftSize; }
  void TabLeftSize(std::int32_t value) { m_TabLeftSize = value; }
  std::int32_t TabRightSize() const { return m_TabRightSize; }
  void TabRight(std::int32_t value) { m_TabRightSize = value; }
  std::int32_t TabStyle() const { return m_TabStyle; }
  void TabStyle(std::int32_t value) { m_TabStyle = value; }
  // Reloads the selected tab's page; does nothing without a valid selection.
  void RefreshPage();

  // Persisted properties: "TabStyle", "TabLeftSize", "TabRightSize".
  void ReadProperties(const controls::PropertyBag& bag);
  void WriteProperties(controls::PropertyBag& bag) const;

  // ---- IuTab ----
  void Add(const std::string& Caption, const std::shared_ptr<ITabForm>& Form, const Variant& Key,
           const Variant& Index) override;
  bool BeforeRemove(std::int32_t Index) override;
  void Remove(const Variant& Index) override;
  void Clear() override;
  void Redraw(bool bUpdate) override;
  void ChangeForm(CTabItem& Item, const std::shared_ptr<ITabForm>& Form) override;
  HWND hParent() override;
  Object& Control() override { return *this; }

  // ---- State, for the host's tooltips and for tests ----
  std::int32_t HoverIndex() const { return m_HoverIndex; }
  std::int32_t CloseState() const { return m_CloseState; }
  std::int32_t TabWidth() const { return m_TabWidth; }
  bool RedrawEnabled() const { return m_RedrawEnabled; }
  // The finished picture of the strip (0 while there is none).
  HDC FrameBuffer() const { return m_FrameBuffer; }
  // The tab or hit code under a point of the strip's client area.
  tablayout::Hit HitTest(float X, float Y) const;
  // The font of the selected tab's caption (bold) or of the others'.
  platform::HFONT CaptionFont(bool selected) const {
    return selected ? m_BoldFont.get() : m_NormalFont.get();
  }

 private:
  struct MouseRecord {
    std::int16_t Button = 0;
    std::int16_t Shift = 0;
    float X = 0;
    float Y = 0;
  };

  // The strip's own procedure: the platform's mouse events and the resize.
  platform::LRESULT StripProc(HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                              platform::LPARAM lParam);
  // m_Subclass's WindowProc.
  void c_Subclass_WindowProc(bool bBefore, bool& bHandled, platform::LRESULT& lReturn, HWND hWnd,
                             platform::UINT uMsg, platform::WPARAM wParam,
                             platform::LPARAM lParam);

  // Mouse handling, each returning false when a handler ended the strip.
  bool MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  bool MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  bool MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  bool MouseLeave();
  bool DblClick();
  void Resize();

  // Layout.
  std::int32_t ClientWidth() const;
  void ComputeTabWidth();
  void LayoutTabs();

  // A tab's own menu and its page's sound (uTabMenu.cpp).
  enum TabMenuItem : platform::UINT { kMenuRefresh = 1, kMenuMute, kMenuClose };
  // Opens the menu of the tab at the pointer: refresh, mute or unmute, close (disabled when the
  // tab has no close button). The command comes back as WM_COMMAND.
  void ShowTabMenu(std::int32_t index);
  void TabMenuCommand(platform::UINT id);
  // Mutes the tab's page when it is heard, unmutes it when muted, and redraws.
  void ToggleMute(std::int32_t index);
  static bool ShowsSoundMark(CTabItem& item);
  // Draws the speaker mark of a tab that shows one into the tab buffer (uTabDraw.cpp).
  void DrawSoundMark(const CTabItem& item, const tablayout::Box& mark, bool muted);

  // Keyboard and assistive technology (uTabAccess.cpp).
  std::int32_t FocusIndex() const;
  // Handles a key press; false when a handler ended the strip.
  bool KeyDown(platform::WPARAM key, bool shift);
  // Selects the tab as a left press on it does; false when a handler ended the strip.
  bool SelectByKey(std::int32_t index);
  void CloseByKey(std::int32_t index);
  void AccessibleAction(int action, int item);
  // Tells assistive technology what the tabs are now.
  void Describe();
  // The focused tab's dotted frame in the frame buffer, for a keyboard user.
  void DrawFocusMark();

  // Page hosting.
  void AttachPage(HWND page);
  void ShowSelectedPage();
  // Hides every page but the selected one.
  void HideUnselectedPages();

  // Drawing (uTabDraw.cpp).
  void LoadSkinsAndFonts();
  void FreeDrawingObjects();
  void CreateBuffers();
  void FreeBuffers();
  void RedrawAll(bool bUpdate);
  void DrawBackground();
  void DrawTabs(bool bUpdate);
  void DrawOneTab(std::int32_t index, bool selected);
  void DrawCaption(HDC hdc, const std::string& text, int x, int y, int w, int h);
  void Paint();
  // A tab piece of a skin as StretchSkinRect makes it (the tab's ends unstretched), made once
  // and kept until the skins or the buffers go; 0 when it has no pixels.
  HDC SkinPiece(HDC skin, int srcX, int srcWidth, int srcHeight, int width, int height);
  void FreeSkinPieces();

  // Raises an event through a copy of its handler (the handler may replace itself or end the
  // strip); false when the strip ended meanwhile.
  template <class Fn, class... Args>
  bool Raise(const Fn& handler, Args&&... args);

  // Shared with every call in progress: false once the strip has ended.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

  HDC m_Skin0 = 0;
  HDC m_Skin1 = 0;
  HDC m_BackBuffer = 0;
  HDC m_FrameBuffer = 0;
  HDC m_TabBuffer = 0;
  struct SkinPieceEntry {
    HDC skin;
    int srcX, srcWidth, srcHeight, width, height;
    HDC dc;
  };
  std::vector<SkinPieceEntry> m_SkinPieces;
  std::int32_t m_TabLeftSize = 40;
  std::int32_t m_TabRightSize = 0;
  // Shared only with the strip's own calls into it, so that a handler that ends the strip in
  // the middle of a removal does not pull the collection from under that removal.
  std::shared_ptr<CTabItems> m_TabItems;
  std::int32_t m_Selected = -1;
  std::int32_t m_HoverIndex = -1;
  std::int32_t m_FocusIndex = -1;  // the tab the keys act on; -1: the selected one
  std::int32_t m_TabWidth = 108;
  std::int32_t m_CloseState = 0;
  bool m_RedrawEnabled = false;
  platform::OwnedFont m_NormalFont;
  platform::OwnedFont m_BoldFont;
  MouseRecord m_LastMouse;
  std::int32_t m_TabStyle = 0;
  HWND m_hContainerWnd = 0;
  // The tab whose menu is open: its item, since tabs may come and go while the menu is up.
  std::weak_ptr<CTabItem> m_MenuItem;
  std::unique_ptr<CSubclass> m_Subclass;

  HWND m_hWnd = 0;
  HWND m_parent = 0;
};

template <class Fn, class... Args>
bool uTab::Raise(const Fn& handler, Args&&... args) {
  const std::shared_ptr<bool> alive = m_alive;
  if (handler) {
    Fn copy = handler;
    copy(std::forward<Args>(args)...);
  }
  return *alive;
}
