// The tab strip on real windows: page hosting in the container, and its answers to the mouse
// recorded as event sequences and compared with the expected lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "controls/PropertyBag.h"
#include "platform/window/Window.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/ITabForm.h"
#include "tabstrip/uTab.h"

using namespace wintest;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

using Log = std::vector<std::string>;

std::string Join(const Log& log) {
  std::ostringstream out;
  for (const std::string& e : log) out << "  " << e << "\n";
  return out.str();
}

::testing::AssertionResult Events(const Log& expected, Log& actual) {
  const Log got = std::exchange(actual, {});
  if (expected == got) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected:\n" << Join(expected) << "actual:\n"
                                       << Join(got);
}

// A page: a top-level window of its own until the strip adopts it.
class Page : public ITabForm {
 public:
  explicit Page(Log* log, std::string name) : m_log(log), m_name(std::move(name)) {
    CreateWindowArgs a;
    a.title = m_name;
    a.style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
    a.x = 700;
    a.y = 100;
    a.width = 200;
    a.height = 150;
    a.backColor = 0x0000FF00;
    m_hwnd = CreateWindowEx(a);
  }
  ~Page() override { Unload(); }
  HWND hWnd() override { return m_hwnd; }
  void Initialize(IuTab*, std::weak_ptr<CTabItem>) override {}
  void RefreshPage() override { m_log->push_back(m_name + ".RefreshPage"); }
  void Unload() override {
    if (!IsWindow(m_hwnd)) return;
    m_log->push_back(m_name + ".Unload");
    DestroyWindow(m_hwnd);
  }

 private:
  Log* m_log;
  std::string m_name;
  HWND m_hwnd = 0;
};

class uTabStrip : public ::testing::Test {
 protected:
  void SetUp() override {
    // The real pointer may rest where the strip is about to appear (an earlier test on this
    // desktop left it there): its enter and moves would mix with the messages under test.
    PointerAway();
    form = TopLevel(rec, 50, 50, 600, 400);
    ASSERT_NE(0u, form);
    container = Child(rec, form, 0, 40, 600, 360, 0x00EEEEEE);
    ASSERT_NE(0u, container);
  }
  void TearDown() override {
    strip.reset();
    pages.clear();
    if (IsWindow(form)) DestroyWindow(form);
  }

  void MakeStrip(int style = 0, int left = 40, int pageCount = 3) {
    controls::PropertyBag bag;
    bag.WriteProperty("TabStyle", style);
    bag.WriteProperty("TabLeftSize", left);
    uTabCreateArgs args;
    args.parent = form;
    args.width = 600;
    args.properties = &bag;
    strip = std::make_unique<uTab>(args);
    strip->hContainerWnd(container);
    strip->LockReDraw(false);
    for (int i = 0; i < pageCount; ++i) {
      pages.push_back(std::make_shared<Page>(&log, "page" + std::to_string(i)));
      strip->TabItems().Add("Tab " + std::to_string(i), pages.back());
    }
    log.clear();
    Record();
  }

  void Record() {
    auto mouse = [this](const char* name) {
      return [this, name](std::int32_t i, std::int16_t& b, std::int16_t&, float&, float&) {
        log.push_back(std::string(name) + " " + std::to_string(i) +
                      (b > 1 ? " button " + std::to_string(b) : ""));
      };
    };
    strip->TabChanged = [this] { log.push_back("TabChanged"); };
    strip->OnMouseDown = mouse("down");
    strip->OnMouseUp = mouse("up");
    strip->OnMouseMove = mouse("move");
    strip->OnMouseHover = mouse("hover");
    strip->OnDblClick = mouse("dblclick");
    strip->OnMouseLeave = [this] { log.push_back("leave"); };
    strip->OnItemColose = [this](std::int32_t i, bool& cancel) {
      log.push_back("itemclose " + std::to_string(i));
      cancel = refuseClose;
    };
  }

  // The platform's mouse messages, as the window layer sends them.
  void Move(int x, int y, WPARAM keys = 0) {
    SendMessage(strip->hWnd(), WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
  }
  void Press(int x, int y) { SendMessage(strip->hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
  void Release(int x, int y) { SendMessage(strip->hWnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

  HWND PageWindow(int i) { return pages[static_cast<std::size_t>(i)]->hWnd(); }
  RECT Rect(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return r;
  }

  Recorder rec;
  HWND form = 0;
  HWND container = 0;
  std::unique_ptr<uTab> strip;
  std::vector<std::shared_ptr<Page>> pages;
  Log log;
  bool refuseClose = false;
};

// Style 0, margin 40: tabs at Left 14, 122, 230 (108 wide); tab i's close button at strip
// x 40 + Left + 84 .. +96, y 6 .. 18.
int Body(int i) { return 40 + 14 + 108 * i + 40; }
int CloseX(int i) { return 40 + 14 + 108 * i + 90; }

// ---- Page hosting ----

TEST_F(uTabStrip, AdoptedPagesAreHiddenChildrenOfTheContainer) {
  MakeStrip(0, 40, 1);
  ShowAndWait(rec, form);
  EXPECT_EQ(container, GetParent(PageWindow(0)));
  const auto style = static_cast<DWORD>(GetWindowLongPtr(PageWindow(0), GWL_STYLE));
  EXPECT_EQ(static_cast<DWORD>(WS_CHILD), style & (WS_CHILD | WS_CAPTION | WS_THICKFRAME));
  // The first tab becomes selected, but its page stays hidden: Add does not bring it forward.
  EXPECT_EQ(0, strip->Selected());
  EXPECT_FALSE(IsWindowVisible(PageWindow(0)));
  // The next page is adopted hidden, and adopting it brings the selected page forward.
  pages.push_back(std::make_shared<Page>(&log, "page1"));
  strip->TabItems().Add("Tab 1", pages.back());
  EXPECT_EQ(container, GetParent(PageWindow(1)));
  EXPECT_FALSE(IsWindowVisible(PageWindow(1)));
  EXPECT_TRUE(IsWindowVisible(PageWindow(0)));
  RECT client;
  GetClientRect(PageWindow(1), &client);
  EXPECT_EQ((RECT{0, 0, 600, 360}), client);
}

TEST_F(uTabStrip, TheSelectedPageIsShownAndFillsTheContainer) {
  MakeStrip();
  ShowAndWait(rec, form);
  strip->Selected(1);
  EXPECT_TRUE(IsWindowVisible(PageWindow(1)));
  EXPECT_FALSE(IsWindowVisible(PageWindow(2)));
  RECT client;
  GetClientRect(PageWindow(1), &client);
  EXPECT_EQ((RECT{0, 0, 600, 360}), client);
  EXPECT_EQ(Rect(container), Rect(PageWindow(1)));
  // On the screen: the page's green, not the container's grey.
  EXPECT_TRUE(WaitForScreen(50 + 300, 50 + 200, 1, 1,
                            [](const Image& shot) { return Near(shot.PixelAt(0, 0), 0x00FF00); }));
  // Selecting another page shows it and hides the one before, so that its engine stops
  // drawing it.
  strip->Selected(2);
  EXPECT_TRUE(IsWindowVisible(PageWindow(2)));
  EXPECT_FALSE(IsWindowVisible(PageWindow(1)));
}

TEST_F(uTabStrip, ContainerResizeReLaysTheSelectedPage) {
  MakeStrip();
  ShowAndWait(rec, form);
  strip->Selected(0);
  SetWindowPos(container, 0, 0, 0, 420, 250, SWP_NOMOVE | SWP_NOZORDER);
  RECT client;
  GetClientRect(PageWindow(0), &client);
  EXPECT_EQ((RECT{0, 0, 420, 250}), client);
  // Pages that are not selected keep their size.
  GetClientRect(PageWindow(1), &client);
  EXPECT_EQ((RECT{0, 0, 600, 360}), client);
}

TEST_F(uTabStrip, WritingSelectedOutOfRange) {
  MakeStrip();
  strip->Selected(1);
  strip->Selected(3);  // = Count: nothing
  EXPECT_EQ(1, strip->Selected());
  strip->Selected(-5);  // none, and no page is hidden
  EXPECT_EQ(-1, strip->Selected());
  EXPECT_TRUE(IsWindowVisible(PageWindow(1)) || !IsWindowVisible(form));
  EXPECT_EQ(static_cast<DWORD>(WS_VISIBLE),
            static_cast<DWORD>(GetWindowLongPtr(PageWindow(1), GWL_STYLE)) & WS_VISIBLE);
}

TEST_F(uTabStrip, SelectedReadsMinusOneUntilTheFirstTab) {
  MakeStrip(0, 40, 0);
  EXPECT_EQ(-1, strip->Selected());
  pages.push_back(std::make_shared<Page>(&log, "p"));
  strip->TabItems().Add("p", pages.back());
  EXPECT_EQ(0, strip->Selected());
}

TEST_F(uTabStrip, RemovalMovesTheSelection) {
  MakeStrip(0, 40, 5);
  strip->Selected(3);
  strip->TabItems().Remove(Variant(4), true);  // right of it: unchanged
  EXPECT_EQ(3, strip->Selected());
  strip->TabItems().Remove(Variant(1), true);  // left of it: the same tab, one less
  EXPECT_EQ(2, strip->Selected());
  strip->TabItems().Remove(Variant(2), true);  // itself: the first tab
  EXPECT_EQ(0, strip->Selected());
  EXPECT_TRUE(Events({"itemclose 4", "page4.Unload", "itemclose 1", "page1.Unload",
                      "itemclose 2", "page3.Unload"},
                     log));
}

TEST_F(uTabStrip, RefreshPageReloadsTheSelectedPageOnly) {
  MakeStrip();
  strip->Selected(2);
  strip->RefreshPage();
  EXPECT_TRUE(Events({"page2.RefreshPage"}, log));
  strip->Selected(-1);
  strip->RefreshPage();  // no valid selection: nothing
  EXPECT_TRUE(Events({}, log));
}

TEST_F(uTabStrip, HParentIsTheForm) {
  MakeStrip();
  EXPECT_EQ(form, strip->hParent());
}

TEST_F(uTabStrip, PersistedProperties) {
  MakeStrip(1, 10);
  controls::PropertyBag bag;
  strip->WriteProperties(bag);
  EXPECT_EQ((std::vector<std::string>{"TabStyle", "TabLeftSize", "TabRightSize"}), bag.Keys());
  EXPECT_EQ(1, bag.ReadInt("TabStyle", -1));
  EXPECT_EQ(10, bag.ReadInt("TabLeftSize", -1));
  EXPECT_EQ(0, bag.ReadInt("TabRightSize", -1));
}

TEST_F(uTabStrip, KeepsItsHeightPerStyle) {
  MakeStrip(1, 10);
  RECT r;
  GetClientRect(strip->hWnd(), &r);
  EXPECT_EQ(32, r.Height());
  SetWindowPos(strip->hWnd(), 0, 0, 0, 500, 80, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(strip->hWnd(), &r);
  EXPECT_EQ(32, r.Height());
  EXPECT_EQ(500, r.Width());
}

TEST_F(uTabStrip, EraseBackgroundIsSwallowed) {
  MakeStrip();
  EXPECT_EQ(0, SendMessage(strip->hWnd(), WM_ERASEBKGND, 0, 0));
}

// ---- Mouse ----

TEST_F(uTabStrip, HoverAndCloseButtonStates) {
  MakeStrip();
  Move(Body(1), 10);
  EXPECT_TRUE(Events({"hover 1", "move 1"}, log));
  Move(Body(1) + 3, 12);
  EXPECT_TRUE(Events({"move 1"}, log));
  EXPECT_EQ(0, strip->CloseState());
  Move(CloseX(1), 10);  // the same tab: no hover event, but its button lights up
  EXPECT_TRUE(Events({"move 1"}, log));
  EXPECT_EQ(1, strip->HoverIndex());
  EXPECT_EQ(1, strip->CloseState());
  Move(10, 10);  // the margin
  EXPECT_TRUE(Events({"hover -2", "move -2"}, log));
  EXPECT_EQ(-2, strip->HoverIndex());
  EXPECT_EQ(0, strip->CloseState());
  Move(CloseX(0), 10, MK_LBUTTON);  // with a button held: no hit test at all
  EXPECT_TRUE(Events({"move 0"}, log));
  EXPECT_EQ(-2, strip->HoverIndex());
  Move(Body(2), 30);  // below row 25
  EXPECT_TRUE(Events({"hover -3", "move -3"}, log));
  SendMessage(strip->hWnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(Events({"leave"}, log));
  EXPECT_EQ(-1, strip->HoverIndex());
}

TEST_F(uTabStrip, LeavingKeepsTheCloseState) {
  MakeStrip();
  Move(CloseX(1), 10);
  SendMessage(strip->hWnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(-1, strip->HoverIndex());
  EXPECT_EQ(1, strip->CloseState());
}

TEST_F(uTabStrip, ClickSelects) {
  MakeStrip();
  ShowAndWait(rec, form);
  Press(Body(2), 10);
  EXPECT_TRUE(Events({"TabChanged", "down 2"}, log));
  EXPECT_EQ(2, strip->Selected());
  EXPECT_TRUE(IsWindowVisible(PageWindow(2)));
  Release(Body(2), 10);
  EXPECT_TRUE(Events({"up 2"}, log));
  // Pressing the selected tab changes nothing but still reports the press.
  Press(Body(2), 10);
  EXPECT_TRUE(Events({"TabChanged", "down 2"}, log));
  // Off the tabs: only the press.
  Press(10, 10);
  EXPECT_TRUE(Events({"down -2"}, log));
  EXPECT_EQ(2, strip->Selected());
}

TEST_F(uTabStrip, OtherButtonsOnlyReportTheirPress) {
  MakeStrip();
  SendMessage(strip->hWnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(Body(2), 10));
  SendMessage(strip->hWnd(), WM_RBUTTONUP, 0, MAKELPARAM(Body(2), 10));
  SendMessage(strip->hWnd(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(Body(1), 10));
  EXPECT_TRUE(Events({"down 0 button 2", "up 0 button 2", "down 0 button 4"}, log));
  EXPECT_EQ(0, strip->Selected());
}

TEST_F(uTabStrip, CloseBoxRemovesTheTabWithItsEventsInOrder) {
  MakeStrip();
  Move(CloseX(1), 10);
  Press(CloseX(1), 10);
  // A press on a close button never selects.
  EXPECT_EQ(0, strip->Selected());
  EXPECT_EQ(2, strip->CloseState());
  Release(CloseX(1), 10);
  EXPECT_TRUE(Events({"hover 1", "move 1", "TabChanged", "down 1", "itemclose 1", "page1.Unload",
                      "up 1"},
                     log));
  EXPECT_EQ(2, strip->TabItems().Count());
  EXPECT_EQ(0, strip->CloseState());
  EXPECT_FALSE(IsWindow(PageWindow(1)));
}

TEST_F(uTabStrip, RefusedCloseKeepsTheTab) {
  MakeStrip();
  refuseClose = true;
  Move(CloseX(2), 10);
  Press(CloseX(2), 10);
  Release(CloseX(2), 10);
  EXPECT_TRUE(Events({"hover 2", "move 2", "TabChanged", "down 2", "itemclose 2", "up 2"}, log));
  EXPECT_EQ(3, strip->TabItems().Count());
  EXPECT_EQ(0, strip->CloseState());
  EXPECT_EQ(0, strip->Selected());
}

TEST_F(uTabStrip, ReleaseClosesOnlyTheHoveredTab) {
  MakeStrip();
  Move(CloseX(1), 10);
  Press(CloseX(1), 10);
  // Released over another tab's button: that tab was not the hovered one.
  Release(CloseX(2), 10);
  EXPECT_EQ(3, strip->TabItems().Count());
  // A press elsewhere and a release on the hovered tab's button closes it.
  log.clear();
  Move(CloseX(2), 10);
  Press(Body(0), 10);
  Release(CloseX(2), 10);
  EXPECT_TRUE(Events({"hover 2", "move 2", "TabChanged", "down 0", "itemclose 2",
                      "page2.Unload", "up 2"},
                     log));
}

TEST_F(uTabStrip, HiddenButtonCannotClose) {
  MakeStrip();
  strip->TabItems().Item(Variant(1))->HideButton(true);
  Move(CloseX(1), 10);
  EXPECT_EQ(0, strip->CloseState());
  Press(CloseX(1), 10);
  Release(CloseX(1), 10);
  EXPECT_EQ(3, strip->TabItems().Count());
  EXPECT_EQ(1, strip->Selected());  // it was an ordinary press on the tab
}

TEST_F(uTabStrip, DoubleClickHitTestsWhereItHappened) {
  MakeStrip();
  Press(Body(0), 10);
  Release(Body(0), 10);
  log.clear();
  SendMessage(strip->hWnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(Body(2), 10));
  Release(Body(2), 10);
  EXPECT_TRUE(Events({"TabChanged", "down 2", "dblclick 2", "up 2"}, log));
  EXPECT_EQ(2, strip->Selected());
}

TEST_F(uTabStrip, RealDoubleClick) {
  MakeStrip();
  ShowAndWait(rec, form);
  PointerAway();
  POINT p{Body(1), 10};
  ClientToScreen(strip->hWnd(), &p);
  Xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y));
  ASSERT_TRUE(WaitFor([&] { return strip->HoverIndex() == 1; }));
  Xdotool("click --repeat 2 --delay 80 1");
  ASSERT_TRUE(WaitFor([&] {
    return std::count(log.begin(), log.end(), std::string("dblclick 1")) == 1;
  }));
  EXPECT_EQ(1, strip->Selected());
}

// The strip from the keyboard, in both styles: Tab gives it the focus, Right moves the focus
// mark to the next tab (the selection stays), Enter selects it, Delete closes it as its close
// box does. With UTAB_SHOT naming a folder, each style's strip with its mark is saved there
// (focus-tabs-style0.png, focus-tabs-style1.png; run with GDK_SCALE=2 on a large desktop for
// the shots alone: the test reads the screen in logical pixels, so it fails there).
TEST_F(uTabStrip, KeysMoveAFocusMarkSelectAndClose) {
  for (int style : {0, 1}) {
    SCOPED_TRACE("style " + std::to_string(style));
    MakeStrip(style);
    ASSERT_TRUE(ShowAndWait(rec, form));
    SetForegroundWindow(form);
    const Image plain = ShotOf(strip->hWnd());
    Xdotool("key Tab");
    ASSERT_TRUE(WaitFor([&] { return GetFocus() == strip->hWnd(); }));
    EXPECT_TRUE(WaitFor([&] { return DifferingPixels(plain, ShotOf(strip->hWnd())) > 20; }))
        << "no focus mark";
    Xdotool("key Right");
    EXPECT_EQ(0, strip->Selected());
    if (const char* dir = std::getenv("UTAB_SHOT")) {
      // At a window scale (GDK_SCALE) a logical pixel is a square of k screen pixels.
      const char* scale = std::getenv("GDK_SCALE");
      const int k = scale != nullptr ? std::max(1, std::atoi(scale)) : 1;
      const RECT r = Rect(strip->hWnd());
      Shell("import -window root -crop " + std::to_string(r.Width() * k) + "x" +
            std::to_string(r.Height() * k) + "+" + std::to_string(r.left * k) + "+" +
            std::to_string(r.top * k) + " +repage " + dir + "/focus-tabs-style" +
            std::to_string(style) + ".png");
    }
    Xdotool("key Return");
    ASSERT_TRUE(WaitFor([&] { return strip->Selected() == 1; }));
    Xdotool("key Delete");
    ASSERT_TRUE(WaitFor([&] { return strip->TabItems().Count() == 2; }));
    EXPECT_TRUE(Events({"TabChanged", "itemclose 1", "page1.Unload"}, log));
    TearDown();
    SetUp();
  }
}

TEST_F(uTabStrip, PageUnloadedWhileItsTabIsRemoved) {
  MakeStrip();
  strip->Selected(1);
  strip->OnItemColose = [this](std::int32_t i, bool&) { pages[static_cast<std::size_t>(i)]->Unload(); };
  EXPECT_TRUE(strip->TabItems().Remove(Variant(1), true));
  EXPECT_EQ(2, strip->TabItems().Count());
  EXPECT_EQ(0, strip->Selected());
  EXPECT_TRUE(Events({"page1.Unload"}, log));  // once
}

TEST_F(uTabStrip, HostMayEndTheStripFromAnEvent) {
  MakeStrip();
  strip->OnMouseDown = [this](std::int32_t, std::int16_t&, std::int16_t&, float&, float&) {
    strip.reset();
  };
  const HWND h = strip->hWnd();
  SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Body(1), 10));
  EXPECT_EQ(nullptr, strip);
  EXPECT_FALSE(IsWindow(h));
}

// The host ends the strip (and with it its collection) from OnItemColose, whichever way the tab
// was asked to go: the call that raised the event finishes on a collection it still holds.
class uTabStripEnded : public uTabStrip, public ::testing::WithParamInterface<int> {};

TEST_P(uTabStripEnded, WhileATabCloses) {
  MakeStrip();
  strip->OnItemColose = [this](std::int32_t, bool&) { strip.reset(); };
  const HWND h = strip->hWnd();
  switch (GetParam()) {
    case 0:  // the close box
      SendMessage(h, WM_MOUSEMOVE, 0, MAKELPARAM(CloseX(1), 10));
      SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(CloseX(1), 10));
      SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(CloseX(1), 10));
      break;
    case 1:
      EXPECT_TRUE(strip->TabItems().Remove(Variant(1), true));
      break;
    case 2:
      strip->TabItems().ReleaseForm(Variant(1));
      break;
    default:
      break;
  }
  EXPECT_EQ(nullptr, strip);
  EXPECT_FALSE(IsWindow(h));
}

std::string EndedName(const ::testing::TestParamInfo<int>& info) {
  const char* const names[] = {"close_box", "remove", "release_form"};
  return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(uTabStrip, uTabStripEnded, ::testing::Values(0, 1, 2), EndedName);

}  // namespace
