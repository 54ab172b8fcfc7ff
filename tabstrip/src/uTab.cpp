#include "tabstrip/uTab.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <vector>

#include "platform/system/EventLog.h"

using namespace platform;

namespace {

// The strip's diagnostics (CLIENT_DEBUG=tabstrip).
const LogChannel kTabLog("tabstrip");

// Mouse buttons and shift keys as the strip's events carry them.
enum : std::int16_t { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
enum : std::int16_t { kShiftMask = 1, kCtrlMask = 2 };

std::int16_t ButtonsHeld(WPARAM keys) {
  std::int16_t b = 0;
  if (keys & MK_LBUTTON) b |= kLeftButton;
  if (keys & MK_RBUTTON) b |= kRightButton;
  if (keys & MK_MBUTTON) b |= kMiddleButton;
  return b;
}

std::int16_t ShiftKeys(WPARAM keys) {
  std::int16_t s = 0;
  if (keys & MK_SHIFT) s |= kShiftMask;
  if (keys & MK_CONTROL) s |= kCtrlMask;
  return s;
}

// Runs one step of a sequence whose steps must each get their chance whatever the one before
// did (the resize, ChangeForm).
template <class Fn>
void IgnoringErrors(const char* step, Fn&& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    kTabLog(std::string(step) + " failed: " + e.what());
  }
}

}  // namespace

// ---- Creation and end ---------------------------------------------------------------------------

uTab::uTab(const uTabCreateArgs& args) : m_parent(args.parent) {
  LoadSkinsAndFonts();
  m_TabItems = std::make_shared<CTabItems>();
  m_TabItems->Strip(this);
  m_Subclass = std::make_unique<CSubclass>();
  m_Subclass->WindowProc = [this, alive = m_alive](bool bBefore, bool& bHandled, LRESULT& lReturn,
                                                   HWND hWnd, UINT uMsg, WPARAM wParam,
                                                   LPARAM lParam, LPARAM&) {
    if (*alive) c_Subclass_WindowProc(bBefore, bHandled, lReturn, hWnd, uMsg, wParam, lParam);
  };

  CreateWindowArgs w;
  w.title = "uTab";
  w.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  w.parent = args.parent;
  w.x = args.x;
  w.y = args.y;
  w.width = args.width;
  w.height = tablayout::Metrics(m_TabStyle).stripHeight;
  w.proc = [this, alive = m_alive](HWND h, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (!*alive) return DefWindowProc(h, msg, wParam, lParam);
    return StripProc(h, msg, wParam, lParam);
  };
  m_hWnd = CreateWindowEx(w);

  ReadProperties(args.properties != nullptr ? *args.properties : controls::PropertyBag{});
  // The strip always runs inside its host: there is no designer here.
  m_Subclass->ssc_Subclass(m_hWnd, 0, 1, true, nullptr, false);
  m_Subclass->ssc_AddMsg(m_hWnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE);
  // The window was made before the saved style was known: size it for that style now.
  Resize();
}

uTab::~uTab() {
  *m_alive = false;
  m_Subclass.reset();
  // Nothing that outlives this (a collection call in progress, an item a host still holds) may
  // call back into the strip.
  for (std::int32_t i = 0; i < m_TabItems->Count(); ++i) {
    if (auto item = m_TabItems->Item(Variant(i))) item->Strip(nullptr);
  }
  m_TabItems->Strip(nullptr);
  m_TabItems.reset();
  FreeDrawingObjects();
  FreeBuffers();
  if (IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

// ---- Properties -------------------------------------------------------------------------------

void uTab::ReadProperties(const controls::PropertyBag& bag) {
  m_TabStyle = bag.ReadInt("TabStyle", m_TabStyle);
  m_TabLeftSize = bag.ReadInt("TabLeftSize", m_TabLeftSize);
  m_TabRightSize = bag.ReadInt("TabRightSize", m_TabRightSize);
}

void uTab::WriteProperties(controls::PropertyBag& bag) const {
  bag.WriteProperty("TabStyle", m_TabStyle);
  bag.WriteProperty("TabLeftSize", m_TabLeftSize);
  bag.WriteProperty("TabRightSize", m_TabRightSize);
}

// ---- Public members -----------------------------------------------------------------------------

void uTab::LockReDraw(bool bLock) {
  m_RedrawEnabled = !bLock;
  if (bLock) return;
  ComputeTabWidth();
  LayoutTabs();
  RedrawAll(true);
}

void uTab::hContainerWnd(HWND value) {
  m_hContainerWnd = value;
  bool unicode = false;
  m_Subclass->ssc_Subclass(value, 0, 1, true, &unicode, false);
  m_Subclass->ssc_AddMsg(value, WM_SIZE, CSubclass::MSG_AFTER);
}

void uTab::Selected(std::int32_t value) {
  if (value < 0) {
    m_Selected = -1;
    RedrawAll(true);
    return;
  }
  if (value > m_TabItems->Count() - 1) return;
  m_Selected = value;
  ShowSelectedPage();
  RedrawAll(true);
}

void uTab::RefreshPage() {
  if (m_Selected < 0 || m_Selected >= m_TabItems->Count()) return;
  const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(m_Selected));
  if (!item) return;
  // Our own reference: the page may end its tab while it reloads.
  if (const std::shared_ptr<ITabForm> form = item->Form()) form->RefreshPage();
}

// ---- IuTab --------------------------------------------------------------------------------------

void uTab::Add(const std::string&, const std::shared_ptr<ITabForm>& Form, const Variant&,
               const Variant&) {
  if (Form) AttachPage(Form->hWnd());
  if (m_Selected < 0 || m_Selected >= m_TabItems->Count()) m_Selected = 0;
  ComputeTabWidth();
  LayoutTabs();
  DrawTabs(true);
}

bool uTab::BeforeRemove(std::int32_t Index) {
  bool cancel = false;
  Raise(OnItemColose, Index, cancel);
  return !cancel;
}

void uTab::Remove(const Variant& Index) {
  const std::int32_t removed = ToInt32(Index).value_or(-1);
  ComputeTabWidth();
  LayoutTabs();
  if (m_Selected == removed) {
    m_Selected = 0;
  } else if (m_Selected > removed) {
    --m_Selected;
  }
  ShowSelectedPage();
  DrawTabs(true);
}

void uTab::Clear() {
  ComputeTabWidth();
  m_Selected = 0;
  DrawTabs(true);
}

void uTab::Redraw(bool) { RedrawAll(true); }

void uTab::ChangeForm(CTabItem&, const std::shared_ptr<ITabForm>& Form) {
  IgnoringErrors("ChangeForm/AttachPage", [&] {
    if (Form) AttachPage(Form->hWnd());
  });
  IgnoringErrors("ChangeForm/ShowSelectedPage", [&] { ShowSelectedPage(); });
}

HWND uTab::hParent() {
  // The form is the first window up the parent chain that is not itself a child window.
  HWND h = m_hWnd;
  for (int depth = 0; depth < 64 && IsWindow(h); ++depth) {
    if ((static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE)) & WS_CHILD) == 0) {
      return h != m_hWnd ? h : 0;
    }
    h = GetParent(h);
  }
  return 0;
}

// ---- Layout and hit testing ---------------------------------------------------------------------

std::int32_t uTab::ClientWidth() const {
  RECT r;
  if (!GetClientRect(m_hWnd, &r)) return 0;
  return r.Width();
}

void uTab::ComputeTabWidth() {
  if (!m_RedrawEnabled) return;
  std::int32_t locked = 0;
  const std::int32_t count = m_TabItems->Count();
  for (std::int32_t i = 0; i < count; ++i) {
    if (auto item = m_TabItems->Item(Variant(i)); item && item->LockSize()) ++locked;
  }
  m_TabWidth = tablayout::ComputeTabWidth(m_TabStyle, ClientWidth(), m_TabLeftSize,
                                          m_TabRightSize, count, locked);
}

void uTab::LayoutTabs() {
  if (!m_RedrawEnabled) return;
  const std::int32_t count = m_TabItems->Count();
  std::vector<std::shared_ptr<CTabItem>> items;
  items.reserve(static_cast<std::size_t>(count));
  // std::vector<bool> has no contiguous storage for a span; plain bytes do.
  std::unique_ptr<bool[]> locked(new bool[static_cast<std::size_t>(count) + 1]);
  for (std::int32_t i = 0; i < count; ++i) {
    items.push_back(m_TabItems->Item(Variant(i)));
    locked[static_cast<std::size_t>(i)] = items.back() && items.back()->LockSize();
  }
  const std::vector<tablayout::TabBox> boxes = tablayout::LayoutTabs(
      m_TabStyle, m_TabWidth, std::span<const bool>(locked.get(), static_cast<std::size_t>(count)));
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i]) continue;
    items[i]->Left(boxes[i].left);
    items[i]->Width(boxes[i].width);
  }
}

tablayout::Hit uTab::HitTest(float X, float Y) const {
  std::vector<tablayout::HitTab> tabs;
  const std::int32_t count = m_TabItems->Count();
  tabs.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(i));
    tabs.push_back(item ? tablayout::HitTab{item->Left(), item->Width(), item->HideButton(),
                                            ShowsSoundMark(*item)}
                        : tablayout::HitTab{});
  }
  return tablayout::HitTest(m_TabStyle, X, Y, ClientWidth(), m_TabLeftSize, m_TabRightSize, tabs);
}

// ---- Page hosting -------------------------------------------------------------------------------

void uTab::AttachPage(HWND page) {
  RECT client;
  GetClientRect(m_hContainerWnd, &client);
  // Without a container there is nowhere to put the page: it only stays hidden.
  if (m_hContainerWnd != 0) {
    SetParent(page, m_hContainerWnd);
    mdlTabAPI::ChangeWindowLong(page, GWL_STYLE, WS_CAPTION | WS_THICKFRAME, WS_CHILD,
                                SWP_FRAMECHANGED);
  }
  SetWindowPos(page, HWND_TOP, 0, 0, client.Width(), client.Height(),
               SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER);
}

void uTab::ShowSelectedPage() {
  if (m_Selected < 0 || m_Selected >= m_TabItems->Count() || m_hContainerWnd == 0) return;
  const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(m_Selected));
  if (!item || !item->Form()) return;
  RECT client;
  GetClientRect(m_hContainerWnd, &client);
  SetWindowPos(item->Form()->hWnd(), HWND_TOP, 0, 0, client.Width(), client.Height(),
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
  HideUnselectedPages();
}

void uTab::HideUnselectedPages() {
  // A page under the selected one would still be on screen as far as its web engine knows, and
  // a live game would go on drawing every frame for nobody. Hidden, the engine stops its frame
  // callbacks and its painting (its timers and connections go on). The selected page is shown
  // first, so that the container is never empty in between.
  const std::int32_t count = m_TabItems->Count();
  for (std::int32_t i = 0; i < count; ++i) {
    if (i == m_Selected) continue;
    const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(i));
    if (!item || !item->Form()) continue;
    const HWND page = item->Form()->hWnd();
    // Its own visibility, whatever its parents' (the window may be hidden by the hot key).
    if ((static_cast<DWORD>(GetWindowLongPtr(page, GWL_STYLE)) & WS_VISIBLE) != 0) {
      ShowWindow(page, SW_HIDE);
    }
  }
}

void mdlTabAPI::ChangeWindowLong(HWND hwnd, int index, std::uint32_t clear, std::uint32_t set,
                                 UINT swpFlags) {
  const auto old = static_cast<std::uint32_t>(GetWindowLongPtr(hwnd, index));
  const std::uint32_t next = (old & ~clear) | set;
  if (next == old) return;
  SetWindowLongPtr(hwnd, index, static_cast<LONG_PTR>(static_cast<std::int32_t>(next)));
  if (swpFlags != 0) {
    SetWindowPos(hwnd, 0, 0, 0, 0, 0,
                 swpFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// ---- Messages -----------------------------------------------------------------------------------

LRESULT uTab::StripProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto x = static_cast<float>(GET_X_LPARAM(lParam));
  const auto y = static_cast<float>(GET_Y_LPARAM(lParam));
  std::int16_t shift = ShiftKeys(wParam);
  float fx = x;
  float fy = y;
  switch (msg) {
    case WM_SIZE:
      Resize();
      return 0;
    case WM_MOUSEMOVE: {
      std::int16_t button = ButtonsHeld(wParam);
      MouseMove(button, shift, fx, fy);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:  // only the left button double-clicks; a right one is a press
    case WM_MBUTTONDOWN: {
      std::int16_t button = msg == WM_LBUTTONDOWN   ? kLeftButton
                            : msg == WM_MBUTTONDOWN ? kMiddleButton
                                                    : kRightButton;
      MouseDown(button, shift, fx, fy);
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      std::int16_t button = msg == WM_LBUTTONUP   ? kLeftButton
                            : msg == WM_MBUTTONUP ? kMiddleButton
                                                  : kRightButton;
      MouseUp(button, shift, fx, fy);
      return 0;
    }
    case WM_COMMAND:
      TabMenuCommand(LOWORD(wParam));
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      KeyDown(wParam, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
      DrawTabs(true);
      return 0;
    case WM_ACCESSIBLEACTION:
      AccessibleAction(static_cast<int>(wParam), static_cast<int>(lParam) - 1);
      return 0;
    case WM_LBUTTONDBLCLK:
      // The second press of a double click is a press too: it is where the double click is.
      m_LastMouse = MouseRecord{kLeftButton, shift, x, y};
      DblClick();
      return 0;
    default:
      if (msg >= WM_USER) {
        kTabLog("unknown private message 0x" + [&] {
          char buf[16];
          std::snprintf(buf, sizeof buf, "%04X", msg);
          return std::string(buf);
        }());
      }
      return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

void uTab::c_Subclass_WindowProc(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND hWnd,
                                 UINT uMsg, WPARAM, LPARAM) {
  if (hWnd == m_hWnd) {
    if (!bBefore) return;
    switch (uMsg) {
      case WM_ERASEBKGND:
        // Never erase: the whole client area is always painted from the frame buffer.
        bHandled = true;
        lReturn = 0;
        break;
      case WM_PAINT:
        Paint();
        bHandled = true;
        lReturn = 0;
        break;
      case WM_MOUSELEAVE:
        MouseLeave();
        break;
      default:
        break;
    }
    return;
  }
  if (hWnd == m_hContainerWnd && !bBefore && uMsg == WM_SIZE) ShowSelectedPage();
}

void uTab::Resize() {
  const tablayout::StyleMetrics& m = tablayout::Metrics(m_TabStyle);
  IgnoringErrors("Resize/height", [&] {
    RECT r;
    if (GetClientRect(m_hWnd, &r) && r.Height() != m.stripHeight) {
      SetWindowPos(m_hWnd, 0, 0, 0, r.Width(), m.stripHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  });
  IgnoringErrors("Resize/CreateBuffers", [&] { CreateBuffers(); });
  IgnoringErrors("Resize/layout", [&] {
    ComputeTabWidth();
    LayoutTabs();
  });
  IgnoringErrors("Resize/RedrawAll", [&] { RedrawAll(true); });
}

// ---- Mouse --------------------------------------------------------------------------------------

bool uTab::MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
  m_LastMouse = MouseRecord{Button, Shift, X, Y};
  std::int32_t index = 0;
  if (Button == 0) {
    m_Subclass->TrackMouseTracking(m_hWnd);
    const tablayout::Hit hit = HitTest(X, Y);
    const std::int32_t state = hit.close ? 1 : 0;
    index = hit.index;
    if (hit.index != m_HoverIndex || state != m_CloseState) {
      if (hit.index != m_HoverIndex && !Raise(OnMouseHover, hit.index, Button, Shift, X, Y)) {
        return false;
      }
      m_HoverIndex = hit.index;
      m_CloseState = state;
      DrawTabs(true);
    }
  }
  return Raise(OnMouseMove, index, Button, Shift, X, Y);
}

bool uTab::MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
  m_LastMouse = MouseRecord{Button, Shift, X, Y};
  std::int32_t index = 0;
  if (Button == kLeftButton) {
    const tablayout::Hit hit = HitTest(X, Y);
    index = hit.index;
    if (hit.index >= 0 && hit.index < m_TabItems->Count()) {
      if (hit.sound) {
        // The speaker mark mutes or unmutes its tab's page; the selection stays.
        ToggleMute(hit.index);
      } else if (hit.index != m_Selected && !hit.close) {
        m_Selected = hit.index;
        ShowSelectedPage();
        DrawTabs(true);
      } else if (hit.close && m_CloseState != 2) {
        m_CloseState = 2;
        DrawTabs(true);
      }
      if (!Raise(TabChanged)) return false;
    }
  }
  return Raise(OnMouseDown, index, Button, Shift, X, Y);
}

bool uTab::MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
  std::int32_t index = 0;
  if (Button == kLeftButton) {
    const tablayout::Hit hit = HitTest(X, Y);
    index = hit.index;
    m_CloseState = 0;
    if (hit.index >= 0 && hit.index < m_TabItems->Count() && hit.index == m_HoverIndex &&
        hit.close) {
      const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(hit.index));
      if (item && !item->HideButton()) {
        const std::shared_ptr<bool> alive = m_alive;
        const std::shared_ptr<CTabItems> items = m_TabItems;
        items->Remove(Variant(hit.index), true);
        if (!*alive) return false;
      }
    }
    RedrawAll(true);
  } else if (Button == kRightButton) {
    // On a tab, its own menu; elsewhere on the strip nothing but the event. The event's index
    // stays 0 for this button, as for every button but the left.
    const tablayout::Hit hit = HitTest(X, Y);
    if (hit.index >= 0 && hit.index < m_TabItems->Count()) ShowTabMenu(hit.index);
  }
  return Raise(OnMouseUp, index, Button, Shift, X, Y);
}

bool uTab::MouseLeave() {
  if (m_HoverIndex != -1) {
    m_HoverIndex = -1;
    DrawTabs(true);
  }
  return Raise(OnMouseLeave);
}

bool uTab::DblClick() {
  const tablayout::Hit hit = HitTest(m_LastMouse.X, m_LastMouse.Y);
  if (!MouseDown(m_LastMouse.Button, m_LastMouse.Shift, m_LastMouse.X, m_LastMouse.Y)) {
    return false;
  }
  return Raise(OnDblClick, hit.index, m_LastMouse.Button, m_LastMouse.Shift, m_LastMouse.X,
               m_LastMouse.Y);
}
