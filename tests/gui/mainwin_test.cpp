// The main window on a real desktop: its layout at several sizes, resizing by the margins with
// the real pointer and the limits holding, covering the work area and back, refitting when a
// panel changes the work area, tabs by address, the execute command, and the close guard with
// the exit question answered by real clicks, real keys and the window manager.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "LoopbackServer.h"
#include "MainWindow.h"
#include "WindowTestSupport.h"
#include "common/Settings.h"
#include "mainwin/MainWindowHost.h"
#include "mainwin/MsgFrm.h"
#include "mainwin/WebMainFrm.h"
#include "platform/window/Form.h"
#include "platform/window/WindowSubclass.h"
#include "platform/window/detail/WindowGtk.h"

using namespace platform;
using namespace wintest;
using testsupport::ClickOn;
using testsupport::WhenAsked;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

RECT Rect(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  return r;
}

std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.Width()) +
         "x" + std::to_string(r.Height());
}

// Where a control lies in its parent's client area.
RECT InParent(HWND child, HWND parent) {
  RECT c = Rect(child);
  RECT p = Rect(parent);
  return {c.left - p.left, c.top - p.top, c.right - p.left, c.bottom - p.top};
}

RECT Box(int x, int y, int w, int h) {
  return {x, y, x + w, y + h};
}

// The window manager's close (Alt+F4) on the visible window with this exact title.
void CloseByWindowManager(const std::string& title) {
  std::string id = Output("xdotool search --onlyvisible --name '^" + title + "$' | head -n1");
  while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
  ASSERT_FALSE(id.empty()) << title;
  Xdotool("windowactivate --sync " + id + " key --clearmodifiers alt+F4");
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PointerAway();
    for (int i = 1; i <= 4; ++i) {
      server.Route("/play/" + std::to_string(i), [i](const testsupport::Request&,
                                                     testsupport::Connection& c) {
        c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}},
                       "<!DOCTYPE html><html><head><meta charset='utf-8'><title>区 " +
                           std::to_string(i) + "</title></head><body>game</body></html>");
      });
    }
    FormRuntime::SetLastFormUnloadedHandler([] {});
  }
  void TearDown() override {
    testsupport::UnloadMainWindow();
    DoEvents();
  }

  // The window as the login leaves it: loaded by its first address, shown, covering the work
  // area.
  WebMainFrm& Open() {
    WebMainFrm& m = FormSlot<WebMainFrm>::Get();
    m.SetURL(server.Url("/play/1"));
    m.Show();
    const RECT work = GetWorkArea();
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(m.hWnd()) && Rect(m.hWnd()) == work; }))
        << Show(Rect(m.hWnd())) << " against the work area " << Show(work);
    Settle(200);
    return m;
  }

  void Restore(WebMainFrm& m) {
    ASSERT_TRUE(m.objStyle().Maximized());
    m.MaxRestoreCommand();
    ASSERT_TRUE(WaitFor([&] { return Rect(m.hWnd()).Width() == 1036; }));
    Settle(200);
  }

  testsupport::LoopbackServer server;
};

TEST_F(MainWindowTest, ControlsFollowTheLayoutAtEverySize) {
  WebMainFrm& m = Open();
  Restore(m);
  const HWND me = m.hWnd();
  // Window w x h pixels; every position from the layout's twips, rounded to pixels.
  for (const auto& [w, h] :
       {std::pair{1036, 639}, std::pair{1400, 900}, std::pair{820, 620}, std::pair{400, 300}}) {
    SetWindowPos(me, 0, 100, 80, w, h, SWP_NOZORDER);
    ASSERT_TRUE(WaitFor([&] { return Rect(me).Width() == w && Rect(me).Height() == h; }))
        << Show(Rect(me));
    Settle(100);
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    EXPECT_EQ(Box(0, 0, w, 33), InParent(m.WebBForm().hWnd(), me));
    EXPECT_EQ(Box(7, 2, 29, 29), InParent(m.PicLogo(), me));
    EXPECT_EQ(Box(w - 49, 1, 43, 18), InParent(m.web_close().hWnd(), me));
    EXPECT_EQ(Box(w - 74, 1, 25, 18), InParent(m.web_minmax().hWnd(), me));
    EXPECT_EQ(Box(w - 98, 1, 24, 18), InParent(m.web_min().hWnd(), me));
    EXPECT_EQ(Box(w - 122, 1, 24, 18), InParent(m.web_tool().hWnd(), me));
    EXPECT_EQ(Box(w - 220, 0, 81, 22), InParent(m.GameSpaceBtn().hWnd(), me));
    EXPECT_EQ(Box(w - 323, 0, 99, 22), InParent(m.OtherUserBtn().hWnd(), me));
    if (w > 460) EXPECT_EQ(Box(153, 3, w - 460, 32), InParent(m.WebuTab().hWnd(), me));
    EXPECT_EQ(Box(4, 32, w - 8, h - 36), InParent(m.pCnt(), me));
    EXPECT_EQ(Box(4, 32, w - 8, h - 36), InParent(m.Picture1(), me));
    EXPECT_EQ(Box(-2, -2, w - 4, h - 32), InParent(m.WebBrowser1Window(), m.Picture1()));
    // The selected page fills the container.
    const HWND page = m.WebuTab().TabItems().Item(Variant(0))->Form()->hWnd();
    EXPECT_EQ(Box(0, 0, w - 8, h - 36), InParent(page, m.pCnt()));
  }
}

TEST_F(MainWindowTest, MaximiseAndRestoreTwiceReturnToTheFirstPlacement) {
  WebMainFrm& m = Open();
  const RECT work = GetWorkArea();
  EXPECT_TRUE(m.web_minmax().Value());
  EXPECT_EQ(0u, m.WebBForm().frmHwnd()) << "no title-bar dragging while covering the work area";
  // Covering the work area, the margins start no drag.
  const RECT whole = Rect(m.hWnd());
  Xdotool("mousemove " + std::to_string(whole.right - 3) + " " + std::to_string(whole.bottom - 3) +
          " mousedown 1");
  Settle(150);
  EXPECT_FALSE(m.objStyle().Resizing());
  Xdotool("mouseup 1");
  PointerAway();
  const RECT centred = Box((GetSystemMetrics(SM_CXSCREEN) - 1036) / 2,
                           (GetSystemMetrics(SM_CYSCREEN) - 639) / 2, 1036, 639);
  for (int round = 0; round < 2; ++round) {
    ClickOn(m.web_minmax().hWnd());
    ASSERT_TRUE(WaitFor([&] { return Rect(m.hWnd()) == centred; })) << Show(Rect(m.hWnd()));
    EXPECT_FALSE(m.web_minmax().Value());
    EXPECT_EQ(m.hWnd(), m.WebBForm().frmHwnd());
    // The rounded shape is the window's own size: the corner pixel is the desktop's, the
    // border beside it the window's.
    const RECT r = Rect(m.hWnd());
    const Image desktop = Screenshot(r.right + 20, r.bottom - 10, 1, 1);
    EXPECT_TRUE(WaitForScreen(r.right - 1, r.bottom - 10, 1, 10, [&](const Image& s) {
      return Near(s.PixelAt(0, 9), desktop.PixelAt(0, 0) & 0xFFFFFF) &&
             !Near(s.PixelAt(0, 0), desktop.PixelAt(0, 0) & 0xFFFFFF);
    }));
    PointerAway();
    Settle(200);
    ClickOn(m.web_minmax().hWnd());
    ASSERT_TRUE(WaitFor([&] { return Rect(m.hWnd()) == work; })) << Show(Rect(m.hWnd()));
    EXPECT_TRUE(m.web_minmax().Value());
    EXPECT_EQ(0u, m.WebBForm().frmHwnd());
    PointerAway();
    Settle(200);
  }
}

TEST_F(MainWindowTest, DraggingTheMarginsResizesWithinTheLimits) {
  WebMainFrm& m = Open();
  Restore(m);
  const HWND me = m.hWnd();
  struct Drag {
    const char* what;
    // Press point and the pointer's stops, from the window rectangle at the start.
    std::function<POINT(const RECT&)> press;
    std::function<std::vector<POINT>(const RECT&)> stops;
    std::function<RECT(const RECT&)> expected;
  };
  const Drag drags[] = {
      {"right edge",
       [](const RECT& r) {
         return POINT{r.right - 2, r.top + 300};
       },
       [](const RECT& r) {
         return std::vector<POINT>{{r.right + 60, r.top + 320}, {r.right + 120, r.top + 340}};
       },
       [](const RECT& r) {
         return RECT{r.left, r.top, r.right + 120, r.bottom};
       }},
      {"bottom edge",
       [](const RECT& r) {
         return POINT{r.left + 500, r.bottom - 2};
       },
       [](const RECT& r) {
         return std::vector<POINT>{{r.left + 520, r.bottom + 50}};
       },
       [](const RECT& r) {
         return RECT{r.left, r.top, r.right, r.bottom + 50};
       }},
      {"left edge, stopped by the width limit",
       [](const RECT& r) {
         return POINT{r.left + 2, r.top + 300};
       },
       [](const RECT& r) {
         return std::vector<POINT>{{r.left - 40, r.top + 300}, {r.right - 800, r.top + 300}};
       },
       [](const RECT& r) {
         return RECT{r.left - 40, r.top, r.right, r.bottom};
       }},
      {"bottom-right corner",
       [](const RECT& r) {
         return POINT{r.right - 3, r.bottom - 3};
       },
       [](const RECT& r) {
         return std::vector<POINT>{{r.right - 100, r.bottom + 30}};
       },
       [](const RECT& r) {
         return RECT{r.left, r.top, r.right - 100, r.bottom + 30};
       }},
      {"bottom-left corner, stopped by the height limit",
       [](const RECT& r) {
         return POINT{r.left + 3, r.bottom - 3};
       },
       [](const RECT& r) {
         return std::vector<POINT>{{r.left + 30, r.top + 600}};
       },
       [](const RECT& r) {
         return RECT{r.left + 30, r.top, r.right, r.bottom};
       }},
  };
  for (const Drag& d : drags) {
    SCOPED_TRACE(d.what);
    const RECT start = Rect(me);
    const POINT p = d.press(start);
    Xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y));
    Settle(150);
    Xdotool("mousedown 1");
    ASSERT_TRUE(WaitFor([&] { return m.objStyle().Resizing(); })) << "no drag from " << Show(start);
    for (const POINT& s : d.stops(start)) {
      Xdotool("mousemove " + std::to_string(s.x) + " " + std::to_string(s.y));
      Settle(100);
    }
    Xdotool("mouseup 1");
    const RECT want = d.expected(start);
    EXPECT_TRUE(WaitFor([&] { return Rect(me) == want; }))
        << Show(Rect(me)) << " wanted " << Show(want);
    EXPECT_FALSE(m.objStyle().Resizing());
    EXPECT_GT(Rect(me).Width(), 800);
    EXPECT_GT(Rect(me).Height(), 600);
    EXPECT_EQ(0u, GetCapture());
    PointerAway();
    Settle(150);
  }
  // The outline shows while dragging and leaves nothing behind: out past the right edge and
  // back, the column it passed is the desktop again.
  {
    const RECT start = Rect(me);
    const int far = start.right + 150;
    // A few columns around the outline's right edge (the last column inside its rectangle).
    const auto column = [&] { return Screenshot(far - 3, start.top + 100, 6, 300); };
    const Image before = column();
    auto differs = [&](const Image& a) {
      for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 6; ++x) {
          if (!Near(a.PixelAt(x, y), before.PixelAt(x, y) & 0xFFFFFF, 8)) return true;
        }
      }
      return false;
    };
    Xdotool("mousemove " + std::to_string(start.right - 2) + " " + std::to_string(start.top + 300));
    Settle(150);
    Xdotool("mousedown 1");
    ASSERT_TRUE(WaitFor([&] { return m.objStyle().Resizing(); }));
    Xdotool("mousemove " + std::to_string(far) + " " + std::to_string(start.top + 300));
    EXPECT_TRUE(WaitForScreen(far - 3, start.top + 100, 6, 300, differs))
        << "no outline on the screen";
    Xdotool("mousemove " + std::to_string(start.right + 40) + " " +
            std::to_string(start.top + 300));
    Settle(150);
    Xdotool("mouseup 1");
    EXPECT_TRUE(WaitFor([&] { return Rect(me).right == start.right + 40; })) << Show(Rect(me));
    EXPECT_TRUE(WaitForScreen(far - 3, start.top + 100, 6, 300, [&](const Image& a) {
      return !differs(a);
    })) << "the outline stayed on the screen";
    PointerAway();
    Settle(150);
  }
  // Six pixels in from the margin is the page, not the border: no drag starts.
  const RECT r = Rect(me);
  Xdotool("mousemove " + std::to_string(r.right - 7) + " " + std::to_string(r.top + 300) +
          " mousedown 1");
  Settle(150);
  EXPECT_FALSE(m.objStyle().Resizing());
  Xdotool("mouseup 1");
  PointerAway();
  Settle(150);

  // Another window takes the pointer in the middle of a drag: the drag ends where it started,
  // and the release that follows changes nothing.
  {
    const RECT start = Rect(me);
    Xdotool("mousemove " + std::to_string(start.right - 2) + " " + std::to_string(start.top + 300));
    Settle(150);
    Xdotool("mousedown 1");
    ASSERT_TRUE(WaitFor([&] { return m.objStyle().Resizing(); }));
    Xdotool("mousemove " + std::to_string(start.right + 80) + " " +
            std::to_string(start.top + 300));
    Settle(150);
    SetCapture(m.WebuTab().hWnd());
    EXPECT_FALSE(m.objStyle().Resizing()) << "the drag went on without the pointer";
    Xdotool("mouseup 1");
    ReleaseCapture();
    Settle(300);
    EXPECT_EQ(start, Rect(me));
    PointerAway();
    Settle(150);
  }

  // The top edge has no limit: dragged below the bottom, the outline turns over, and the window
  // takes it the right way round, its top where its bottom was. The title bar covers the top
  // edge, so the press, the move and the release are sent as messages, each with the pointer
  // where it says it is.
  {
    const RECT start = Rect(me);
    auto pointerAt = [](int x, int y) {
      Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
      Settle(60);
    };
    pointerAt(start.left + 500, start.top + 2);
    SendMessage(me, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_TRUE(m.objStyle().Resizing()) << "no drag from the top edge";
    pointerAt(start.left + 500, start.bottom + 40);
    SendMessage(me, WM_MOUSEMOVE, MK_LBUTTON, 0);
    SendMessage(me, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return Rect(me).top == start.bottom; })) << Show(Rect(me));
    EXPECT_EQ(start.left, Rect(me).left);
    EXPECT_EQ(start.right, Rect(me).right);
    EXPECT_FALSE(m.objStyle().Resizing());
  }
}

TEST_F(MainWindowTest, APanelRefitsTheCoveringWindowAndLeavesARestoredOne) {
  WebMainFrm& m = Open();
  // Panels at the bottom, the top and the left: the window covers the work area they leave,
  // which the screen less the bottom panel's height is not.
  std::string pids;
  for (const char* edge : {"--edge bottom --height 40", "--edge top --height 30",
                           "--edge left --height 50 --widthtype pixel --width 200"}) {
    std::string pid =
        Output(std::string("trayer ") + edge +
               " --SetDockType true --SetPartialStrut true >/dev/null 2>&1 & echo $!");
    while (!pid.empty() && pid.back() == '\n') pid.pop_back();
    ASSERT_FALSE(pid.empty());
    pids += " " + pid;
  }
  const RECT expected{50, 30, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) - 40};
  const bool shrank = WaitFor([&] { return GetWorkArea() == expected; });
  const RECT work = GetWorkArea();
  EXPECT_TRUE(shrank) << Show(work);
  EXPECT_EQ(40 * 15, GetTaskbarHeight());
  EXPECT_TRUE(WaitFor([&] { return Rect(m.hWnd()) == work; })) << Show(Rect(m.hWnd()));
  Restore(m);
  const RECT restored = Rect(m.hWnd());
  Shell("kill" + pids);
  EXPECT_TRUE(WaitFor([] { return GetWorkArea().Height() == GetSystemMetrics(SM_CYSCREEN); }));
  Settle(300);
  EXPECT_EQ(restored, Rect(m.hWnd()));
}

TEST_F(MainWindowTest, AddressesAreTabsAndTheExecuteCommandRestoresTheWindow) {
  WebMainFrm& m = Open();
  CTabItems& tabs = m.WebuTab().TabItems();
  m.SetURL(server.Url("/play/1"));
  EXPECT_EQ(1, tabs.Count());
  EXPECT_FALSE(IsWindowVisible(m.Picture1()));
  m.SetURL(server.Url("/play/2"));
  EXPECT_EQ(2, tabs.Count());
  EXPECT_EQ(1, tabs.Selected());
  m.SetURL(server.Url("/play/1"));
  EXPECT_EQ(0, tabs.Selected());
  EXPECT_EQ(1, tabs.FindItem(Variant("Game" + server.Url("/play/2"))));
  // The page's title becomes the caption, and hovering the tab shows it as the tooltip.
  ASSERT_TRUE(WaitFor([&] { return tabs.Item(Variant(1))->Caption() == "区 2"; }));
  const RECT strip = Rect(m.WebuTab().hWnd());
  const int tabWidth = m.WebuTab().TabWidth();
  Xdotool("mousemove " + std::to_string(strip.left + 10 + tabWidth + tabWidth / 2) + " " +
          std::to_string(strip.top + 16));
  EXPECT_TRUE(WaitFor([&] { return m.TabToolTip() == "区 2"; })) << m.TabToolTip();
  Xdotool("mousemove " + std::to_string(strip.right - 20) + " " + std::to_string(strip.top + 16));
  EXPECT_TRUE(WaitFor([&] { return m.TabToolTip().empty(); }));

  // Addresses no page can show still make tabs, and nothing breaks.
  const std::string huge = "http://127.0.0.1:1/" + std::string(1 << 20, 'a');
  m.SetURL("");
  const auto before = std::chrono::steady_clock::now();
  m.SetURL(huge);
  EXPECT_EQ(4, tabs.Count());
  // Found by its whole address; captioned with its host until a title comes (this one never
  // has one; a served page's title may come before the caption could be read), or the start of
  // what is no address, so the strip lays out at once.
  EXPECT_EQ(3, tabs.FindItem(Variant("Game" + huge)));
  EXPECT_EQ("127.0.0.1", tabs.Item(Variant(3))->Caption());
  m.SetURL("x" + huge);
  EXPECT_EQ(1024u, tabs.Item(Variant(4))->Caption().size());
  m.WebuTab().TabItems().Remove(Variant(4), true);
  // The window answers at once: a message posted now is handled within a generous bound.
  constexpr UINT kPing = WM_APP + 77;
  bool answered = false;
  const UINT_PTR hook = NewSubclassId();
  SetWindowSubclass(
      m.hWnd(),
      [&](HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) -> LRESULT {
        if (msg == kPing) answered = true;
        return DefSubclassProc(h, msg, wp, lp);
      },
      hook, 0);
  PostMessage(m.hWnd(), kPing, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return answered; }, 10000));
  RemoveWindowSubclass(m.hWnd(), hook);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
  m.WebuTab().TabItems().Remove(Variant(3), true);
  m.WebuTab().TabItems().Remove(Variant(2), true);
  ASSERT_EQ(2, tabs.Count());

  // Another login asks the host for the login window.
  int logins = 0;
  TheMainWindowHost().showLogin = [&] { ++logins; };
  ClickOn(m.OtherUserBtn().hWnd());
  EXPECT_TRUE(WaitFor([&] { return logins == 1; }));
  TheMainWindowHost().showLogin = nullptr;

  // The empty part of the strip drags the window only while it does not cover the work area.
  auto dragStrip = [&] {
    const RECT s = Rect(m.WebuTab().hWnd());
    Xdotool("mousemove " + std::to_string(s.right - 60) + " " + std::to_string(s.top + 16) +
            " mousedown 1");
    Settle(150);
    Xdotool("mousemove " + std::to_string(s.right - 20) + " " + std::to_string(s.top + 56));
    Settle(150);
    Xdotool("mouseup 1");
    Settle(300);
  };
  const RECT covering = Rect(m.hWnd());
  dragStrip();
  EXPECT_EQ(covering, Rect(m.hWnd()));
  Restore(m);
  const RECT restored = Rect(m.hWnd());
  dragStrip();
  EXPECT_TRUE(WaitFor([&] {
    return Rect(m.hWnd()).left == restored.left + 40 && Rect(m.hWnd()).top == restored.top + 40;
  })) << Show(Rect(m.hWnd()))
      << " from " << Show(restored);

  m.MinimizeCommand();
  ASSERT_TRUE(WaitFor([&] { return IsIconic(m.hWnd()); }));
  // What the command returns says nothing (it is always true): the tab and its page do.
  m.DdeExecute(server.Url("/play/3"));
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(m.hWnd()) && IsWindowVisible(m.hWnd()); }));
  EXPECT_EQ(3, tabs.Count());
  EXPECT_EQ(2, tabs.FindItem(Variant("Game" + server.Url("/play/3"))));
  EXPECT_EQ(2, tabs.Selected());
  EXPECT_TRUE(WaitFor([&] { return server.Count("/play/3") == 1; }))
      << "the page was not asked for";
  // Hidden by the hot key: the tab is added, the window stays hidden.
  m.Hide();
  m.DdeExecute("not an address");
  Settle(200);
  EXPECT_FALSE(IsWindowVisible(m.hWnd()));
  EXPECT_EQ(4, tabs.Count());
  EXPECT_EQ(3, tabs.Selected());
}

TEST_F(MainWindowTest, TheExitQuestionDecidesEveryClose) {
  WebMainFrm& m = Open();
  Restore(m);
  const HWND me = m.hWnd();
  struct Row {
    const char* how;
    std::function<void(MsgFrm&)> answer;
    bool closes;
  };
  const Row rows[] = {
      {"否, after a second close request while asking",
       [&m](MsgFrm& box) {
         // The tray menu's exit: the question disables the main window but not the tray, so
         // this request reaches the window while the question is on the screen.
         SendMessage(m.hWnd(), WM_COMMAND, WebMainFrm::mnuExit, 0);
         Settle(200);
         EXPECT_TRUE(IsWindowVisible(box.hWnd())) << "the second request took the question away";
         ClickOn(box.iButton2().hWnd());
       },
       false},
      {"the dialog's close button, after dragging the dialog by its title bar (right button)",
       [](MsgFrm& box) {
         const RECT before = Rect(box.hWnd());
         Xdotool("mousemove " + std::to_string(before.left + 60) + " " +
                 std::to_string(before.top + 15) + " mousedown 3");
         Settle(150);
         Xdotool("mousemove " + std::to_string(before.left + 120) + " " +
                 std::to_string(before.top + 55));
         Settle(150);
         Xdotool("mouseup 3");
         EXPECT_TRUE(WaitFor([&] {
           return Rect(box.hWnd()) == Box(before.left + 60, before.top + 40, 242, 140);
         })) << Show(Rect(box.hWnd()));
         // The close button keeps its place in the dialog.
         EXPECT_EQ(Box(242 - 49, 1, 43, 18), InParent(box.closebtn().hWnd(), box.hWnd()));
         ClickOn(box.closebtn().hWnd());
       },
       false},
      {"the window manager's close", [](MsgFrm&) { CloseByWindowManager("提示"); }, false},
      {"否 once more", [](MsgFrm& box) { ClickOn(box.iButton2().hWnd()); }, false},
      // The keys of a message box: the question has the focus on 是.
      {"Escape", [](MsgFrm&) { Xdotool("key Escape"); }, false},
      {"Right to 否, which shows its focus mark and 是 none, then Enter",
       [](MsgFrm& box) {
         const Image yes = ShotOf(box.iButton1().hWnd()), no = ShotOf(box.iButton2().hWnd());
         Xdotool("key Right");
         ASSERT_TRUE(WaitFor([&] { return box.iButton2().HasFocus(); }));
         EXPECT_TRUE(WaitFor([&] {
           return DifferingPixels(no, ShotOf(box.iButton2().hWnd())) > 20;
         })) << "no focus mark on 否";
         EXPECT_EQ(0, DifferingPixels(yes, ShotOf(box.iButton1().hWnd()))) << "是 kept a mark";
         Xdotool("key Return");
       },
       false},
      {"Tab goes round 是 and 否 only; Space answers 是",
       [](MsgFrm& box) {
         Xdotool("key Tab");
         ASSERT_TRUE(WaitFor([&] { return box.iButton2().HasFocus(); }));
         Xdotool("key Tab");
         ASSERT_TRUE(WaitFor([&] { return box.iButton1().HasFocus(); })) << "Tab left 是 and 否";
         Xdotool("key space");
       },
       true},
  };
  int asked = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.how);
    bool seen = false;
    PointerAway();
    WhenAsked([&] {
      MsgFrm& box = FormSlot<MsgFrm>::Get();
      EXPECT_TRUE(WaitFor([&] { return box.iButton1().HasFocus(); }))
          << "the question has no focus";
      const RECT b = Rect(box.hWnd());
      // Centred on the screen, with the question and the caption of the design.
      EXPECT_EQ(Box((GetSystemMetrics(SM_CXSCREEN) - 242) / 2,
                    (GetSystemMetrics(SM_CYSCREEN) - 140) / 2, 242, 140),
                b);
      EXPECT_EQ(Box(242 - 49, 1, 43, 18), InParent(box.closebtn().hWnd(), box.hWnd()));
      EXPECT_EQ("ZorvikTalmar2客户端", box.BForm1().Caption());
      seen = true;
      r.answer(box);
    });
    if (r.closes) {
      m.CloseCommand();
    } else {
      // The close button, the window manager's close and the only tab's close box take turns.
      if (asked % 3 == 0) {
        ClickOn(m.web_close().hWnd());
      } else if (asked % 3 == 1) {
        CloseByWindowManager("ZorvikTalmar2客户端");
      } else {
        const RECT strip = Rect(m.WebuTab().hWnd());
        int x = 0;
        while (x < strip.Width() && !m.WebuTab().HitTest(static_cast<float>(x), 16).close) ++x;
        ASSERT_LT(x, strip.Width()) << "no close box";
        Xdotool("mousemove " + std::to_string(strip.left + x + 3) + " " +
                std::to_string(strip.top + 16) + " click 1");
      }
    }
    ++asked;
    ASSERT_TRUE(WaitFor([&] { return seen && !FormSlot<MsgFrm>::IsLoaded(); }, 15000));
    if (r.closes) {
      EXPECT_TRUE(WaitFor([] { return !FormSlot<WebMainFrm>::IsLoaded(); }));
      EXPECT_FALSE(IsWindow(me));
      return;
    }
    Settle(200);
    ASSERT_TRUE(FormSlot<WebMainFrm>::IsLoaded());
    EXPECT_FALSE(m.m_bExit);
    EXPECT_TRUE(IsWindowVisible(me));
    EXPECT_EQ(asked, m.ExitQuestions()) << "each close asks once";
    EXPECT_EQ(1, m.WebuTab().TabItems().Count());
    PointerAway();
  }
}

// Unloading frees the controls one after the other; a size change that comes in between (here
// sent as each of them goes) must not reach the ones already gone.
TEST_F(MainWindowTest, ALayoutDuringUnloadLeavesTheFreedControlsAlone) {
  WebMainFrm& m = Open();
  const HWND me = m.hWnd();
  int sent = 0;
  for (HWND control : {m.WebuTab().hWnd(), m.web_close().hWnd(), m.OtherUserBtn().hWnd()}) {
    SetWindowSubclass(
        control,
        [](HWND h, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) -> LRESULT {
          if (msg == WM_DESTROY) {
            auto* count = reinterpret_cast<int*>(data);
            ++*count;
            SendMessage(GetParent(h), WM_SIZE, 0, 0);
          }
          return DefSubclassProc(h, msg, wParam, lParam);
        },
        1, reinterpret_cast<DWORD_PTR>(&sent));
  }
  m.m_bExit = true;
  ASSERT_TRUE(FormSlot<WebMainFrm>::Unload());
  EXPECT_EQ(3, sent);
  EXPECT_FALSE(IsWindow(me));
}

// The cursor fix over the logo and the page container: a press of any button sets the arrow
// again, whatever shape the border handling left (here set by hand after the pointer came).
TEST_F(MainWindowTest, APressOfAnyButtonOverTheLogoSetsTheArrow) {
  WebMainFrm& m = Open();
  const RECT logo = Rect(m.PicLogo());
  Xdotool("mousemove " + std::to_string(logo.left + 10) + " " + std::to_string(logo.top + 10));
  Settle(200);
  GdkWindow* bin = gtk_layout_get_bin_window(GTK_LAYOUT(NativeClientWidget(m.PicLogo())));
  for (const char* button : {"3", "2", "1"}) {
    SCOPED_TRACE(button);
    SetWindowCursor(m.PicLogo(), Cursor::SizeWE);
    GdkCursor* resize = gdk_window_get_cursor(bin);
    ASSERT_NE(nullptr, resize);
    Xdotool(std::string("mousedown ") + button);
    EXPECT_TRUE(WaitFor([&] { return gdk_window_get_cursor(bin) != resize; }, 2000));
    Xdotool(std::string("mouseup ") + button);
    Settle(200);
  }
}

}  // namespace
