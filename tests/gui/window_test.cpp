// Real windows under Xvfb and openbox: the messages a window's procedure receives for
// creation, geometry, pointer and keyboard input, the window manager's close and move drag,
// capture and destruction, compared as sequences.

#include <algorithm>

#include "WindowTestSupport.h"
#include "platform/window/Form.h"

using namespace platform;
using namespace wintest;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { PointerAway(); }
  void TearDown() override {
    for (HWND h : m_windows) {
      if (IsWindow(h)) DestroyWindow(h);
    }
    DoEvents();
  }
  HWND Keep(HWND h) {
    m_windows.push_back(h);
    return h;
  }
  Recorder rec;
  Recorder other;  // for a second window; outlives the windows, which go in TearDown

 private:
  std::vector<HWND> m_windows;
};

// ---- Life ----

TEST_F(WindowTest, CreateThenShowSendsCreateShowAndFirstPaint) {
  const HWND h = Keep(TopLevel(rec, 100, 100, 200, 120));
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(ShowAndWait(rec, h));
  Settle();
  // The window appears where it was asked to, so no WM_MOVE or WM_SIZE follows the mapping.
  EXPECT_TRUE(SameSequence({{h, WM_CREATE, 0, 0}, {h, WM_SHOWWINDOW, 1, 0}, {h, WM_ERASEBKGND, 0, 0},
                            {h, WM_PAINT, 0, 0}},
                           rec.Only({WM_CREATE, WM_SHOWWINDOW, WM_ERASEBKGND, WM_PAINT, WM_MOVE, WM_SIZE})));
  EXPECT_TRUE(IsWindowVisible(h));
  ShowWindow(h, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(h));
}

TEST_F(WindowTest, VisibilityFollowsTheAncestors) {
  const HWND top = Keep(TopLevel(rec, 100, 100, 200, 120));
  const HWND child = Child(rec, top, 10, 10, 50, 50);
  EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
  ShowWindow(top, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_TRUE(ShowWindow(child, SW_HIDE));  // it was visible
  EXPECT_FALSE(IsWindowVisible(child));
}

TEST_F(WindowTest, DestroyingAParentSendsDestroyDownAndNcDestroyUp) {
  const HWND p = Keep(TopLevel(rec, 100, 100, 200, 120));
  const HWND c1 = Child(rec, p, 0, 0, 20, 20);
  const HWND c2 = Child(rec, p, 30, 0, 20, 20);
  ASSERT_TRUE(ShowAndWait(rec, p));
  rec.Clear();
  ASSERT_TRUE(DestroyWindow(p));
  EXPECT_TRUE(SameSequence({{p, WM_DESTROY, 0, 0}, {c1, WM_DESTROY, 0, 0}, {c2, WM_DESTROY, 0, 0},
                            {c1, WM_NCDESTROY, 0, 0}, {c2, WM_NCDESTROY, 0, 0}, {p, WM_NCDESTROY, 0, 0}},
                           rec.all));
  EXPECT_FALSE(IsWindow(c1));
  Settle(200);  // nothing arrives from the widgets that went
  EXPECT_EQ(rec.all.size(), 6u) << Describe(rec.all);
}

TEST_F(WindowTest, WindowManagerCloseBecomesScCloseThenCloseThenDestroy) {
  const HWND h = Keep(TopLevel(rec, 150, 150, 200, 120, 0x00FFFFFF, "close me"));
  ASSERT_TRUE(ShowAndWait(rec, h));
  SetForegroundWindow(h);
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(h, WM_SETFOCUS); }));
  rec.Clear();
  Xdotool("key alt+F4");  // openbox's close binding: WM_DELETE_WINDOW to the active window
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(h); }));
  EXPECT_TRUE(SameSequence({{h, WM_SYSCOMMAND, SC_CLOSE, 0}, {h, WM_CLOSE, 0, 0}, {h, WM_DESTROY, 0, 0},
                            {h, WM_NCDESTROY, 0, 0}},
                           rec.Only({WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY})));
}

TEST_F(WindowTest, ClosingCanBeRefusedByTheProcedure) {
  const HWND h = Keep(TopLevel(rec, 150, 150, 200, 120, 0x00FFFFFF, "refuse close"));
  rec.hook = [](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
    r = 0;
    return m == WM_CLOSE;  // handled: not passed to the default, so nothing is destroyed
  };
  ASSERT_TRUE(ShowAndWait(rec, h));
  SetForegroundWindow(h);
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(h, WM_SETFOCUS); }));
  Xdotool("key alt+F4");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(h, WM_CLOSE); }));
  Settle();
  EXPECT_TRUE(IsWindow(h));
  EXPECT_TRUE(IsWindowVisible(h));
}

// ---- Geometry ----

TEST_F(WindowTest, SetWindowPosOnAChildPacksParentCoordinatesSigned) {
  const HWND top = Keep(TopLevel(rec, 100, 100, 300, 200));
  const HWND child = Child(rec, top, 10, 20, 50, 40);
  ASSERT_TRUE(ShowAndWait(rec, top));
  rec.Clear();
  ASSERT_TRUE(SetWindowPos(child, HWND_TOP, -5, 30, 60, 50, SWP_NOZORDER));
  ASSERT_TRUE(SetWindowPos(child, HWND_TOP, 0, 0, 70, 50, SWP_NOZORDER | SWP_NOMOVE));
  ASSERT_TRUE(MoveWindow(child, 7, 8, 70, 50, true));
  EXPECT_TRUE(SameSequence({{child, WM_MOVE, 0, MAKELPARAM(-5, 30)}, {child, WM_SIZE, SIZE_RESTORED, MAKELPARAM(60, 50)},
                            {child, WM_SIZE, SIZE_RESTORED, MAKELPARAM(70, 50)},
                            {child, WM_MOVE, 0, MAKELPARAM(7, 8)}},
                           rec.Only({WM_MOVE, WM_SIZE})));
  EXPECT_EQ(GET_X_LPARAM(MAKELPARAM(-5, 30)), -5);
  RECT r;
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r, (RECT{107, 108, 177, 158}));
  ASSERT_TRUE(GetClientRect(child, &r));
  EXPECT_EQ(r, (RECT{0, 0, 70, 50}));
  POINT pt{1, 2};
  ClientToScreen(child, &pt);
  EXPECT_EQ(pt, (POINT{108, 110}));
}

TEST_F(WindowTest, SetWindowPosOnATopLevelMovesTheRealWindowOnce) {
  const HWND h = Keep(TopLevel(rec, 100, 100, 300, 200, 0x00FFFFFF, "moved window"));
  ASSERT_TRUE(ShowAndWait(rec, h));
  Settle();
  rec.Clear();
  ASSERT_TRUE(SetWindowPos(h, HWND_TOP, 150, 120, 320, 240, SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_TRUE(SameSequence({{h, WM_MOVE, 0, MAKELPARAM(150, 120)}, {h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 240)}},
                           rec.Only({WM_MOVE, WM_SIZE})));
  // The X server agrees, and its configure notifications bring no second WM_MOVE or WM_SIZE.
  ASSERT_TRUE(WaitFor([] {
    const std::string info = Output("xwininfo -name 'moved window'");
    return info.find("Absolute upper-left X:  150") != std::string::npos &&
           info.find("Absolute upper-left Y:  120") != std::string::npos &&
           info.find("Width: 320") != std::string::npos;
  })) << Output("xwininfo -name 'moved window'");
  Settle();
  EXPECT_EQ(rec.Only({WM_MOVE, WM_SIZE}).size(), 2u) << Describe(rec.Only({WM_MOVE, WM_SIZE}));
  RECT r;
  ASSERT_TRUE(GetWindowRect(h, &r));
  EXPECT_EQ(r, (RECT{150, 120, 470, 360}));
}

TEST_F(WindowTest, ReparentedChildKeepsItsScreenPlaceAlsoOnTheDesktop) {
  const HWND a = Keep(TopLevel(rec, 100, 100, 300, 200));
  const HWND b = Keep(TopLevel(other, 400, 100, 300, 200));
  const HWND child = Keep(Child(rec, a, 10, 10, 50, 50, 0x000000FF));
  SetWindowText(child, "released child");
  EXPECT_EQ(SetParent(child, b), a);
  EXPECT_EQ(GetParent(child), b);
  RECT r;
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r, (RECT{110, 110, 160, 160}));
  // Released to the desktop it becomes a window of its own, where it was and still visible.
  ShowWindow(b, SW_SHOW);
  EXPECT_EQ(SetParent(child, 0), b);
  EXPECT_EQ(GetParent(child), 0u);
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r, (RECT{110, 110, 160, 160}));
  ASSERT_TRUE(WaitFor([&] { return RealOrigin("released child") == POINT{110, 110}; }));
  EXPECT_TRUE(WaitForScreen(
      115, 115, 40, 40, [](const Image& shot) { return Near(shot.PixelAt(20, 20), 0xFF0000); }));
  ASSERT_TRUE(DestroyWindow(b));
  EXPECT_TRUE(IsWindow(child)) << "no longer the old parent's";
  SetLastError(0);
  EXPECT_EQ(SetParent(child, 0), 0u);  // top-level already: nothing to do, no error
  EXPECT_EQ(GetLastError(), 0u);
}

// ---- Pointer ----

TEST_F(WindowTest, ClickOnAChildGivesItsClientCoordinates) {
  const HWND top = Keep(TopLevel(rec, 200, 200, 200, 150));
  const HWND child = Child(rec, top, 20, 30, 100, 80, 0x00FF0000);
  ASSERT_TRUE(ShowAndWait(rec, top));
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_PAINT); }));
  rec.Clear();
  Xdotool("mousemove 250 260 click 1");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_LBUTTONUP); }));
  EXPECT_TRUE(SameSequence({{child, WM_MOUSEMOVE, 0, MAKELPARAM(30, 30)},
                            {child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30)},
                            {child, WM_LBUTTONUP, 0, MAKELPARAM(30, 30)}},
                           rec.Only({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK})));
  EXPECT_EQ(WindowFromPoint(POINT{250, 260}), child);
  EXPECT_EQ(WindowFromPoint(POINT{205, 205}), top);
  EXPECT_EQ(WindowFromPoint(POINT{5, 5}), 0u);
  POINT pt;
  ASSERT_TRUE(GetCursorPos(&pt));
  EXPECT_EQ(pt, (POINT{250, 260}));
}

TEST_F(WindowTest, DoubleClickGivesDownUpDblClkUp) {
  const HWND h = Keep(TopLevel(rec, 200, 200, 200, 150));
  ASSERT_TRUE(ShowAndWait(rec, h));
  Xdotool("mousemove 240 240");
  rec.Clear();
  Xdotool("click --repeat 2 --delay 60 1");
  ASSERT_TRUE(WaitFor([&] { return rec.Only({WM_LBUTTONUP}).size() == 2; }));
  const LPARAM at = MAKELPARAM(40, 40);
  EXPECT_TRUE(SameSequence({{h, WM_LBUTTONDOWN, MK_LBUTTON, at}, {h, WM_LBUTTONUP, 0, at},
                            {h, WM_LBUTTONDBLCLK, MK_LBUTTON, at}, {h, WM_LBUTTONUP, 0, at}},
                           rec.Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK})));
}

TEST_F(WindowTest, RightButtonAndSlowSecondClickAreSingleClicks) {
  const HWND h = Keep(TopLevel(rec, 200, 200, 200, 150));
  ASSERT_TRUE(ShowAndWait(rec, h));
  Xdotool("mousemove 240 240");
  rec.Clear();
  Xdotool("click 3");
  Xdotool("click --repeat 2 --delay 700 1");  // longer than the double-click time
  ASSERT_TRUE(WaitFor([&] { return rec.Only({WM_LBUTTONUP}).size() == 2; }));
  const LPARAM at = MAKELPARAM(40, 40);
  EXPECT_TRUE(SameSequence({{h, WM_RBUTTONDOWN, MK_RBUTTON, at}, {h, WM_RBUTTONUP, 0, at},
                            {h, WM_LBUTTONDOWN, MK_LBUTTON, at}, {h, WM_LBUTTONUP, 0, at},
                            {h, WM_LBUTTONDOWN, MK_LBUTTON, at}, {h, WM_LBUTTONUP, 0, at}},
                           rec.Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                                     WM_RBUTTONUP})));
}

TEST_F(WindowTest, MouseLeaveComesOnceWhenThePointerLeavesOrEntersAChild) {
  const HWND top = Keep(TopLevel(rec, 200, 200, 200, 150));
  const HWND child = Child(rec, top, 100, 0, 100, 150, 0x00FF0000);
  rec.hook = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == WM_MOUSEMOVE) TrackMouseLeave(h);
    return false;
  };
  ASSERT_TRUE(ShowAndWait(rec, top));
  Xdotool("mousemove 230 230");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(top, WM_MOUSEMOVE); }));
  rec.hook = nullptr;
  Xdotool("mousemove 320 250");  // onto the child: the parent's client area is left
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_MOUSEMOVE); })) << Describe(rec.all);
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(top, WM_MOUSELEAVE); }));
  rec.Clear();
  TrackMouseLeave(child);
  Xdotool("mousemove 600 600");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_MOUSELEAVE); }));
  Settle();
  EXPECT_TRUE(SameSequence({{child, WM_MOUSELEAVE, 0, 0}}, rec.Only({WM_MOUSELEAVE})));
}

TEST_F(WindowTest, TrackingAWindowThePointerIsNotOverLeavesAtOnce) {
  const HWND h = Keep(TopLevel(rec, 200, 200, 200, 150));
  ASSERT_TRUE(ShowAndWait(rec, h));
  ASSERT_TRUE(TrackMouseLeave(h));
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(h, WM_MOUSELEAVE); }));
}

TEST_F(WindowTest, CaptureTakesThePointerOutsideAndReleaseTellsTheWindow) {
  const HWND top = Keep(TopLevel(rec, 200, 200, 200, 150));
  const HWND child = Child(rec, top, 20, 20, 50, 50, 0x00FF0000);
  rec.hook = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == WM_LBUTTONDOWN) SetCapture(h);
    if (m == WM_LBUTTONUP) ReleaseCapture();
    return false;
  };
  ASSERT_TRUE(ShowAndWait(rec, top));
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_PAINT); }));
  Xdotool("mousemove 230 230 mousedown 1");
  ASSERT_TRUE(WaitFor([&] { return GetCapture() == child; }));
  rec.Clear();
  Xdotool("mousemove 500 400");  // far outside every window of ours
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_MOUSEMOVE); }));
  Xdotool("mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_CAPTURECHANGED); }));
  EXPECT_TRUE(SameSequence({{child, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(280, 180)},
                            {child, WM_LBUTTONUP, 0, MAKELPARAM(280, 180)},
                            {child, WM_CAPTURECHANGED, 0, 0}},
                           rec.Only({WM_MOUSEMOVE, WM_LBUTTONUP, WM_CAPTURECHANGED})));
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(WindowTest, CaptionDragMovesTheWindowWithThePointer) {
  const HWND h = Keep(TopLevel(rec, 100, 100, 200, 100, 0x0000FF00, "drag me"));
  rec.hook = [](HWND hwnd, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m != WM_LBUTTONDOWN) return false;
    ReleaseCapture();
    SendMessage(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    r = 0;
    return true;
  };
  ASSERT_TRUE(ShowAndWait(rec, h));
  Settle();
  Xdotool("mousemove 150 150 mousedown 1");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(h, WM_NCLBUTTONDOWN); }));
  for (int i = 1; i <= 10; ++i) {
    Xdotool("mousemove " + std::to_string(150 + 10 * i) + " " + std::to_string(150 + 5 * i));
  }
  Xdotool("mouseup 1");
  ASSERT_TRUE(WaitFor([&] {
    RECT r;
    return GetWindowRect(h, &r) && r.left == 200 && r.top == 150;
  })) << Describe(rec.Only({WM_MOVE}));
  const std::vector<Msg> moves = rec.Only({WM_MOVE});
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back().lParam, MAKELPARAM(200, 150));
}

// ---- Keyboard ----

TEST_F(WindowTest, KeysArriveAsVirtualKeysAndCharacters) {
  const HWND h = Keep(TopLevel(rec, 200, 200, 200, 150));
  ASSERT_TRUE(ShowAndWait(rec, h));
  SetForegroundWindow(h);
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(h, WM_SETFOCUS); }));
  rec.Clear();
  Xdotool("key a Return Left");
  ASSERT_TRUE(WaitFor([&] { return rec.Only({WM_KEYUP}).size() == 3; }));
  const LPARAM up = static_cast<LPARAM>(0xC0000000u);
  std::vector<Msg> got = rec.Only({WM_KEYDOWN, WM_KEYUP, WM_CHAR});
  for (Msg& m : got) m.lParam &= static_cast<LPARAM>(0xC000FFFFu);  // leave out the scan codes
  EXPECT_TRUE(SameSequence({{h, WM_KEYDOWN, 'A', 1}, {h, WM_CHAR, 'a', 1}, {h, WM_KEYUP, 'A', up | 1},
                            {h, WM_KEYDOWN, VK_RETURN, 1}, {h, WM_CHAR, '\r', 1},
                            {h, WM_KEYUP, VK_RETURN, up | 1}, {h, WM_KEYDOWN, VK_LEFT, 1},
                            {h, WM_KEYUP, VK_LEFT, up | 1}},
                           got));
}

TEST_F(WindowTest, ClickingAChildGivesItTheFocus) {
  const HWND top = Keep(TopLevel(rec, 200, 200, 200, 150));
  const HWND child = Child(rec, top, 20, 20, 50, 50, 0x00FF0000);
  ASSERT_TRUE(ShowAndWait(rec, top));
  SetForegroundWindow(top);
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(top, WM_SETFOCUS); }));
  rec.Clear();
  Xdotool("mousemove 230 230 click 1");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_SETFOCUS); }));
  EXPECT_TRUE(SameSequence({{top, WM_KILLFOCUS, 0, 0}, {child, WM_SETFOCUS, top, 0}},
                           rec.Only({WM_SETFOCUS, WM_KILLFOCUS})));
  rec.Clear();
  Xdotool("key space");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(child, WM_KEYUP); }));
  EXPECT_FALSE(rec.Saw(top, WM_KEYDOWN));
}

// ---- State and desktop ----

TEST_F(WindowTest, SetWindowPosSurvivesAWindowItsShowMessageDestroys) {
  const HWND h = TopLevel(rec, 100, 100, 100, 100);
  rec.hook = [](HWND w, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == WM_SHOWWINDOW) DestroyWindow(w);
    return false;
  };
  EXPECT_TRUE(SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW));
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowTest, ActivatingAHiddenWindowLeavesItHidden) {
  const HWND h = Keep(TopLevel(rec, 100, 100, 200, 100, 0x00FFFFFF, "hidden window"));
  const HWND child = Child(rec, h, 0, 0, 20, 20);
  ASSERT_TRUE(ShowAndWait(rec, h));
  ShowWindow(h, SW_HIDE);
  auto mapped = [] {
    return Output("xwininfo -name 'hidden window'").find("IsUnMapped") == std::string::npos;
  };
  ASSERT_TRUE(WaitFor([&] { return !mapped(); }));
  rec.Clear();
  EXPECT_FALSE(SetActiveWindow(child));
  EXPECT_FALSE(SetForegroundWindow(h));
  Settle();
  EXPECT_FALSE(mapped());
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_FALSE(rec.Saw(h, WM_SHOWWINDOW));
  ShowWindow(h, SW_SHOW);
  EXPECT_TRUE(SetActiveWindow(child));
  EXPECT_TRUE(WaitFor(mapped));
}

class ModalForm : public Form {
 public:
  CreateWindowArgs Design() override {
    CreateWindowArgs a;
    a.title = "modal form";
    a.style = WS_POPUP;
    a.x = 350;
    a.y = 150;
    a.width = 120;
    a.height = 80;
    return a;
  }
};

// The owner of a modal form takes no input until the form goes, here by DestroyWindow rather
// than by hiding or unloading it.
TEST_F(WindowTest, ModalFormDisablesItsOwnerUntilItsWindowGoes) {
  FormRuntime::SetLastFormUnloadedHandler([] {});
  const HWND owner = Keep(TopLevel(rec, 100, 100, 200, 150, 0x00FFFFFF, "modal owner"));
  const HWND child = Child(rec, owner, 20, 20, 60, 60);
  ASSERT_TRUE(ShowAndWait(rec, owner));
  ModalForm& form = FormSlot<ModalForm>::Get();
  const HWND modal = form.hWnd();
  bool clickedWhileModal = false;
  bool checked = false;
  const UINT_PTR timer = SetTimer(0, 0, 50, [&](HWND, UINT, UINT_PTR, DWORD) {
    if (checked || !IsWindowVisible(modal)) return;
    checked = true;
    EXPECT_FALSE(IsWindowEnabled(owner));
    EXPECT_TRUE(IsWindowEnabled(child)) << "its own state; it takes no input through the owner";
    rec.Clear();
    Xdotool("mousemove 140 140 click 1");
    Settle(200);
    clickedWhileModal = rec.Saw(child, WM_LBUTTONDOWN) || rec.Saw(owner, WM_LBUTTONDOWN);
    DestroyWindow(modal);
  });
  form.ShowModal(owner);
  KillTimer(0, timer);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(clickedWhileModal);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_TRUE(SameSequence({{owner, WM_ENABLE, 1, 0}}, rec.Only({WM_ENABLE})));
  rec.Clear();
  Xdotool("mousemove 141 141 click 1");
  EXPECT_TRUE(WaitFor([&] { return rec.Saw(child, WM_LBUTTONDOWN); }));
  FormSlot<ModalForm>::Unload();
  // Disabling by hand is refused input too, and a second disable reports the first.
  EXPECT_FALSE(EnableWindow(owner, false));
  EXPECT_TRUE(EnableWindow(owner, false));
  rec.Clear();
  Xdotool("mousemove 142 142 click 1");
  Settle(200);
  EXPECT_FALSE(rec.Saw(child, WM_LBUTTONDOWN));
  FormRuntime::SetLastFormUnloadedHandler({});
}

TEST_F(WindowTest, OwnedWindowFollowsItsOwnersMinimiseAndRestore) {
  Recorder& owned = other;
  const HWND owner = Keep(TopLevel(rec, 100, 100, 300, 200, 0x00FFFFFF, "owner window"));
  const HWND w = Keep(TopLevel(owned, 150, 150, 100, 100, 0x00FF0000, "owned window"));
  SetWindowLongPtr(w, GWL_HWNDPARENT, static_cast<LONG_PTR>(owner));
  ASSERT_TRUE(ShowAndWait(rec, owner));
  ASSERT_TRUE(ShowAndWait(owned, w));
  auto viewable = [](const char* name) {
    return Output(std::string("xwininfo -name '") + name + "'").find("IsViewable") != std::string::npos;
  };
  rec.Clear();
  ShowWindow(owner, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(owner));
  EXPECT_TRUE(SameSequence({{owner, WM_SIZE, SIZE_MINIMIZED, 0}}, rec.Only({WM_SIZE})));
  ASSERT_TRUE(WaitFor([&] { return !viewable("owner window") && !viewable("owned window"); }));
  ShowWindow(owner, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return viewable("owner window") && viewable("owned window"); }));
  EXPECT_FALSE(IsIconic(owner));
  const std::vector<Msg> sizes = rec.Only({WM_SIZE});
  EXPECT_EQ(sizes.back(), (Msg{owner, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200)})) << Describe(sizes);
}

TEST_F(WindowTest, WorkAreaChangeReachesEveryTopLevelWindow) {
  const HWND a = Keep(TopLevel(rec, 100, 100, 100, 100));
  const HWND b = Keep(TopLevel(other, 300, 100, 100, 100));
  const HWND child = Child(rec, a, 0, 0, 10, 10);
  RECT work = GetWorkArea();
  EXPECT_GT(work.Width(), 0);
  // The screen's size as the X server reports it.
  const std::string dims = Output("xdpyinfo | awk '/dimensions:/{print $2}'");
  const int w = std::stoi(dims.substr(0, dims.find('x')));
  const int h = std::stoi(dims.substr(dims.find('x') + 1));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), w);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), h);
  Xdotool("mousemove 1 1");  // any round trip
  // The desktop is shared with the tests that run after this one: the window manager's own
  // work area goes back whatever happens here.
  std::string before = Output("xprop -root -notype _NET_WORKAREA");
  while (!before.empty() && before.back() == '\n') before.pop_back();
  struct Restore {
    std::string values;
    ~Restore() {
      if (!values.empty()) {
        wintest::Shell("xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA '" + values + "'");
      }
    }
  } restore{before.find("= ") == std::string::npos ? "" : before.substr(before.find("= ") + 2)};
  wintest::Shell("xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA '0, 0, " + std::to_string(w) +
                 ", " + std::to_string(h - 40) + "'");
  ASSERT_TRUE(WaitFor([&] { return rec.Saw(a, WM_SETTINGCHANGE) && other.Saw(b, WM_SETTINGCHANGE); }));
  EXPECT_FALSE(rec.Saw(child, WM_SETTINGCHANGE));
}

}  // namespace
