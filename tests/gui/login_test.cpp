// The login screen with real windows and a real web view against a loopback portal: its
// layout, its showing when the page arrives, the page's commands, its two small controls and
// dragging by the background.

#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "LoopbackServer.h"
#include "MainWindow.h"
#include "WebViewGtk.h"
#include "WindowTestSupport.h"
#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "mainwin/WebMainFrm.h"
#include "platform/system/Resources.h"
#include "platform/window/Form.h"
#include "platform/window/WindowSubclass.h"

using namespace platform;
using namespace wintest;

namespace {

std::string LoginPage(const std::string& base) {
  const std::string game = base + "/games/talmar2/play/1";
  return "<!DOCTYPE html><html><head><meta charset='utf-8'><title>login</title>"
         "<style>html,body{margin:0;background:#1e50a0;height:100%}</style></head><body>"
         "<a id='load' href='app://loadgame|" + game + "|rest'>load</a> "
         "<a id='bare' href='app://loadgame'>bare</a> "
         "<a id='script' href='app://loadgame|javascript:alert(1)'>script</a> "
         "<a id='min' href='app://minimize/now'>min</a> "
         "<a id='exit' href='app://exitgame'>exit</a> "
         "<a id='both' href='app://loadgame|" + game + "|app://exitgame'>both</a>"
         "<form id='fload' method='get' action='app://loadgame|" + game + "'>"
         "<input name='user' value='demo'></form>"
         "<form id='fmin' method='post' action='app://minimize'></form>"
         "<form id='fexit' method='get' action='app://exitgame'></form>"
         "</body></html>";
}

RECT Rect(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  return r;
}

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char arg0[] = "gui_tests";
    static char* args[] = {arg0, nullptr};
    static char** argv = args;
    ASSERT_TRUE(InitToolkit(argc, argv));
    const std::string base = server.BaseUrl();
    server.Route("/games/talmar2/dlq/", [base](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}}, LoginPage(base));
    });
    ::setenv(kBaseUrlVariable, base.c_str(), 1);
    FormRuntime::SetLastFormUnloadedHandler([] {});
  }
  void TearDown() override {
    FormSlot<LoginBgFrm>::Unload();
    testsupport::UnloadMainWindow();
    DoEvents();
  }

  // Loads the login screen and waits until the page has shown it.
  void Open() {
    FormSlot<LoginFrm>::Get();
    ASSERT_TRUE(WaitFor([] {
      return FormSlot<LoginFrm>::IsLoaded() && IsWindowVisible(FormSlot<LoginFrm>::Get().hWnd()) &&
             IsWindowVisible(FormSlot<LoginBgFrm>::Get().hWnd());
    }, 15000)) << "the login screen did not show";
  }

  // Runs script in the page, as a user's gesture.
  static void Run(const std::string& script) {
    GtkWidget* view = WebBrowserEngineWidget(FormSlot<LoginFrm>::Get().WebBrowser1());
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(view), script.c_str(), -1, nullptr,
                                        nullptr, nullptr, nullptr, nullptr);
  }
  // Clicks a link of the page the way a user's click reaches the view.
  static void Click(const char* id) {
    Run(std::string("document.getElementById('") + id + "').click()");
  }

  testsupport::LoopbackServer server;
};

TEST_F(LoginTest, LoadsHiddenLaidOutAsDesignedAndShowsWhenThePageArrives) {
  LoginFrm& login = FormSlot<LoginFrm>::Get();
  ASSERT_TRUE(FormSlot<LoginBgFrm>::IsLoaded()) << "the login window loads its background";
  const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
  EXPECT_FALSE(IsWindowVisible(login.hWnd()));
  EXPECT_FALSE(IsWindowVisible(bg));

  // The icon file, the background's caption, style, and the login window's layering and owner.
  const auto icon = FindResourceData("ICON", 101);
  std::ifstream f(GetTempDir() + "talmar2.ico", std::ios::binary);
  const std::string written{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  EXPECT_EQ(written, std::string(reinterpret_cast<const char*>(icon->data()), icon->size()));
  EXPECT_EQ(GetWindowText(bg), "ZorvikTalmar2客户端");
  EXPECT_EQ(GetWindowLongPtr(bg, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
  EXPECT_NE(GetWindowLongPtr(login.hWnd(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  EXPECT_EQ(static_cast<HWND>(GetWindowLongPtr(login.hWnd(), GWL_HWNDPARENT)), bg);

  Open();
  const RECT l = Rect(login.hWnd());
  const RECT b = Rect(bg);
  EXPECT_EQ(l.left, b.left);
  EXPECT_EQ(l.top, b.top);
  EXPECT_EQ(b.Width(), 1237);
  EXPECT_EQ(b.Height(), 696);
  struct Placed {
    const char* name;
    HWND hwnd;
    HWND in;
    RECT expected;
  };
  for (const Placed& p : {Placed{"Picture1", login.Picture1(), login.hWnd(), {415, 179, 1147, 604}},
                          Placed{"MiniBtn", login.MiniBtn(), login.hWnd(), {1120, 130, 1148, 158}},
                          Placed{"CloseBtn", login.CloseBtn(), login.hWnd(), {1152, 125, 1186, 159}}}) {
    const RECT r = Rect(p.hwnd);
    const RECT o = Rect(p.in);
    EXPECT_EQ((RECT{r.left - o.left, r.top - o.top, r.right - o.left, r.bottom - o.top}), p.expected)
        << p.name;
  }

  // The page fills the picture box up to its edges: the view overhangs it by one pixel at the
  // top left and 18 at the bottom right, and is drawn where it is placed.
  const RECT pic = Rect(login.Picture1());
  EXPECT_TRUE(WaitForScreen(pic.left, pic.top, pic.Width(), pic.Height(), [](const Image& shot) {
    for (const auto& [x, y] : {std::pair{3, 1}, std::pair{700, 2}, std::pair{3, 420},
                               std::pair{728, 422}}) {
      if (!Near(shot.PixelAt(x, y), 0x1E50A0, 12)) return false;
    }
    return true;
  })) << "the page does not cover the picture box";
}

TEST_F(LoginTest, LoadGameHandsTheSecondPieceToTheMainWindowAndEndsTheLogin) {
  Open();
  Click("load");
  ASSERT_TRUE(WaitFor([] { return FormSlot<WebMainFrm>::IsLoaded(); }));
  EXPECT_FALSE(FormSlot<LoginFrm>::IsLoaded());
  EXPECT_FALSE(FormSlot<LoginBgFrm>::IsLoaded());
  EXPECT_EQ(FormSlot<WebMainFrm>::Get().Addresses(),
            std::vector<std::string>{server.Url("/games/talmar2/play/1")});
  EXPECT_TRUE(IsWindowVisible(FormSlot<WebMainFrm>::Get().hWnd()));
}

// Every command by every road a page has: a link, a form and window.open.
struct Route {
  const char* name;
  std::string script;  // $GAME stands for the game address
  enum { Load, Minimise, Exit } outcome;
  std::string suffix;  // what the game address ends with
};

void PrintTo(const Route& r, std::ostream* os) { *os << r.name; }

class LoginRoutes : public LoginTest, public ::testing::WithParamInterface<Route> {};

TEST_P(LoginRoutes, CommandIsCarriedOut) {
  const Route& r = GetParam();
  Open();
  const std::string game = server.Url("/games/talmar2/play/1");
  std::string script = r.script;
  if (const auto at = script.find("$GAME"); at != std::string::npos) script.replace(at, 5, game);
  const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
  Run(script);
  switch (r.outcome) {
    case Route::Load:
      ASSERT_TRUE(WaitFor([] { return FormSlot<WebMainFrm>::IsLoaded(); }));
      EXPECT_FALSE(FormSlot<LoginBgFrm>::IsLoaded());
      ASSERT_EQ(FormSlot<WebMainFrm>::Get().Addresses().size(), 1u);
      EXPECT_EQ(FormSlot<WebMainFrm>::Get().Addresses()[0], game + r.suffix);
      break;
    case Route::Minimise:
      ASSERT_TRUE(WaitFor([bg] { return IsIconic(bg); }));
      EXPECT_TRUE(FormSlot<LoginFrm>::IsLoaded());
      break;
    case Route::Exit:
      ASSERT_TRUE(WaitFor([] { return !FormSlot<LoginBgFrm>::IsLoaded(); }));
      EXPECT_FALSE(FormSlot<LoginFrm>::IsLoaded());
      EXPECT_FALSE(FormSlot<WebMainFrm>::IsLoaded());
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryRoad, LoginRoutes,
    ::testing::Values(
        Route{"LoadByLink", "document.getElementById('load').click()", Route::Load, ""},
        Route{"LoadByForm", "document.getElementById('fload').submit()", Route::Load,
              "?user=demo"},
        Route{"LoadByWindowOpen", "window.open('app://loadgame|$GAME|x')", Route::Load, ""},
        Route{"MinimiseByLink", "document.getElementById('min').click()", Route::Minimise, ""},
        Route{"MinimiseByForm", "document.getElementById('fmin').submit()", Route::Minimise, ""},
        Route{"MinimiseByWindowOpen", "window.open('app://minimize')", Route::Minimise, ""},
        Route{"ExitByLink", "document.getElementById('exit').click()", Route::Exit, ""},
        Route{"ExitByForm", "document.getElementById('fexit').submit()", Route::Exit, ""},
        Route{"ExitByWindowOpen", "window.open('app://exitgame')", Route::Exit, ""},
        Route{"LongAddress",
              "var a=document.createElement('a');a.href='app://loadgame|$GAME?'+'x'.repeat(1<<20);"
              "document.body.appendChild(a);a.click()",
              Route::Load, "?" + std::string(1 << 20, 'x')},
        Route{"NonAsciiAddress",
              "var a=document.createElement('a');a.href='app://loadgame|$GAME?s=天域';"
              "document.body.appendChild(a);a.click()",
              Route::Load, "?s=天域"}),
    [](const ::testing::TestParamInfo<Route>& info) { return std::string(info.param.name); });

TEST_F(LoginTest, PagePoppingDialogsInALoopShowsNothing) {
  const std::string base = server.BaseUrl();
  server.Route("/games/talmar2/dlq/", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/html"}},
                   "<html><head><title>x</title><script>"
                   "setInterval(function(){alert('a');confirm('b');prompt('c');print();},5);"
                   "</script></head><body style='background:#1e50a0'>dialogs</body></html>");
  });
  Open();
  Settle(1000);
  // Only our own two windows: no dialog of the page ever reached the screen.
  int toplevels = 0;
  GList* all = gtk_window_list_toplevels();
  for (GList* l = all; l != nullptr; l = l->next) {
    if (gtk_widget_get_visible(GTK_WIDGET(l->data))) ++toplevels;
  }
  g_list_free(all);
  EXPECT_EQ(toplevels, 2);
  EXPECT_TRUE(IsWindowVisible(FormSlot<LoginFrm>::Get().hWnd()));
}

TEST_F(LoginTest, LoadGameWithoutAWebAddressOpensNothing) {
  Open();
  const std::string before = FormSlot<LoginFrm>::Get().WebBrowser1().DocumentURL();
  Click("bare");
  Click("script");
  Settle(600);
  EXPECT_TRUE(FormSlot<LoginFrm>::IsLoaded());
  EXPECT_TRUE(IsWindowVisible(FormSlot<LoginBgFrm>::Get().hWnd()));
  EXPECT_FALSE(FormSlot<WebMainFrm>::IsLoaded());
  EXPECT_EQ(FormSlot<LoginFrm>::Get().WebBrowser1().DocumentURL(), before) << "navigation cancelled";
}

TEST_F(LoginTest, ExitIsTestedBeforeLoad) {
  Open();
  Click("both");
  ASSERT_TRUE(WaitFor([] { return !FormSlot<LoginBgFrm>::IsLoaded(); }));
  EXPECT_FALSE(FormSlot<LoginFrm>::IsLoaded());
  Settle(300);
  EXPECT_FALSE(FormSlot<WebMainFrm>::IsLoaded()) << "no game address is handed on";
}

TEST_F(LoginTest, MinimizeHidesBothAndTheTaskbarRestoresBoth) {
  Open();
  const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
  const HWND login = FormSlot<LoginFrm>::Get().hWnd();
  const RECT before = Rect(login);
  Click("min");
  ASSERT_TRUE(WaitFor([bg] { return IsIconic(bg); }));
  ASSERT_TRUE(WaitFor([] {
    return Output("xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$'").empty();
  })) << "the windows stay on screen";
  ShowWindow(bg, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return !IsIconic(bg) && IsWindowVisible(login); }));
  EXPECT_EQ(Rect(login), before);
}

TEST_F(LoginTest, SmallControlsMinimiseAndClose) {
  Open();
  const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
  // A click is sent only once the X server has the button under that point. After a restore
  // the window manager maps the login window again some time after the background; on a loaded
  // machine that took longer than any fixed pause, and the click fell on the background.
  auto clickAt = [](HWND h) {
    const RECT r = Rect(h);
    const POINT centre{r.left + r.Width() / 2, r.top + r.Height() / 2};
    Xdotool("mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y));
    ASSERT_TRUE(WaitFor([&] { return WindowFromPoint(centre) == h; }, 15000))
        << "the button is not what the screen shows at " << centre.x << "," << centre.y;
    Xdotool("click 1");
  };
  clickAt(FormSlot<LoginFrm>::Get().MiniBtn());
  ASSERT_TRUE(WaitFor([bg] { return IsIconic(bg); }));
  ShowWindow(bg, SW_RESTORE);
  ASSERT_TRUE(WaitFor([bg] { return !IsIconic(bg) && IsWindowVisible(bg); }));
  clickAt(FormSlot<LoginFrm>::Get().CloseBtn());
  ASSERT_TRUE(WaitFor([] { return !FormSlot<LoginBgFrm>::IsLoaded(); }));
  EXPECT_FALSE(FormSlot<LoginFrm>::IsLoaded());
}

TEST_F(LoginTest, DraggingTheBackgroundMovesTheLoginWindowAlong) {
  Open();
  const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
  const HWND login = FormSlot<LoginFrm>::Get().hWnd();
  const RECT start = Rect(bg);
  // A point on the figure: opaque in the background, key-coloured in the login window above.
  const int x = start.left + 240;
  const int y = start.top + 300;
  // The login window lets the pointer through to the background once its colour-keyed
  // painting has given it its shape, shortly after it is first drawn.
  Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
  ASSERT_TRUE(WaitFor([&] { return WindowFromPoint(POINT{x, y}) == bg; }))
      << "the key-coloured part of the login window does not let the pointer through";
  auto drag = [&] {
    Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1");
    Settle(150);
    // In steps, so the window manager sees the drag start and follows it to its end.
    for (int step = 1; step <= 6; ++step) {
      Xdotool("mousemove " + std::to_string(x + 20 * step) + " " +
              std::to_string(y + (70 * step) / 6));
      Settle(60);
    }
    Settle(200);
    Xdotool("mouseup 1");
  };
  drag();
  // Rarely, on a loaded machine, the window manager takes the pointer only after the synthetic
  // moves have passed, and nothing moves: one more drag then.
  if (!WaitFor([&] { return Rect(bg).left != start.left; }, 1500)) drag();
  ASSERT_TRUE(WaitFor([&] { return Rect(bg).left == start.left + 120; }))
      << "background at " << Rect(bg).left << "," << Rect(bg).top << "; on the server: "
      << Output("for w in $(xdotool search --name '^ZorvikTalmar2客户端$'); do "
                "xdotool getwindowgeometry $w | tr '\\n' ' '; done");
  EXPECT_TRUE(WaitFor([&] {
    return Rect(login).left == Rect(bg).left && Rect(login).top == Rect(bg).top;
  })) << "login at " << Rect(login).left << "," << Rect(login).top;
  EXPECT_EQ(Rect(bg).top, start.top + 70);
}

TEST_F(LoginTest, UnloadingTheBackgroundTakesOnlyItsOwnHookOutBeforeTheWindowGoes) {
  FormSlot<LoginFrm>::Get();
  const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
  // A hook placed above the background's (as the main window stacks its own): it stays in place
  // through the unload and sees the window go, by then without the background's hook below it.
  std::vector<std::string> seen;
  ASSERT_TRUE(SetWindowSubclass(
      bg,
      [&](HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
        if (m == WM_NULL || m == WM_DESTROY) {
          const bool below = GetWindowSubclass(h, kLoginBgHookId, nullptr);
          seen.push_back(std::to_string(m) + (below ? " over the hook" : " alone"));
        }
        return DefSubclassProc(h, m, w, l);
      },
      NewSubclassId(), 0));
  SendMessage(bg, WM_NULL, 0, 0);
  FormSlot<LoginBgFrm>::Unload();
  EXPECT_FALSE(IsWindow(bg));
  EXPECT_FALSE(FormSlot<LoginFrm>::IsLoaded());
  EXPECT_EQ(seen, (std::vector<std::string>{std::to_string(WM_NULL) + " over the hook",
                                            std::to_string(WM_DESTROY) + " alone"}));
}

}  // namespace
