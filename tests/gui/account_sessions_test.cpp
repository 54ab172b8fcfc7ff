// Accounts side by side, end to end against a loopback portal that signs each account in with
// a cookie of its own: two logins, the second "as another account", give two tabs of the same
// game address, each sending its own account's cookie; clearing the cache keeps both; after a
// restart (a second process on the same store) both are still signed in, the second entering
// again through its own login screen; forgetting the second account closes its tabs and
// deletes its directory.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "LoopbackServer.h"
#include "MainWindow.h"
#include "WebTestSupport.h"
#include "WebViewGtk.h"
#include "WindowTestSupport.h"
#include "app/AnotherLogin.h"
#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "common/Settings.h"
#include "mainwin/MainWindowHost.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/Form.h"

using namespace platform;
using namespace wintest;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

constexpr char kStoreVariable[] = "ACCOUNT_TEST_STORE";
constexpr char kPhaseVariable[] = "ACCOUNT_TEST_PHASE";

std::string CookieOf(const testsupport::Request& r) {
  for (const auto& [name, value] : r.headers) {
    if (name == "Cookie" || name == "cookie") return value;
  }
  return "";
}

class AccountSessionsPhase : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* store = std::getenv(kStoreVariable);
    if (store == nullptr) GTEST_SKIP() << "a phase of AccountSessions.SideBySideAcrossARestart";
    m_store = store;
    WebEngineOptions web;
    web.name = "talmar2-test";
    web.dataDirectory = m_store + "/web";
    web.cacheDirectory = m_store + "/cache";
    web.sessionBase = m_store;
    ASSERT_TRUE(InitWebEngine(web));
    ::setenv(kBaseUrlVariable, server.BaseUrl().c_str(), 1);
    const std::string game = server.Url("/play");
    server.Route("/games/talmar2/dlq/",
                 [](const testsupport::Request&, testsupport::Connection& c) {
                   c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}},
                                  "<!DOCTYPE html><html><body>login</body></html>");
                 });
    // Signing in sets the account's cookie and offers the game.
    server.Route("/signin", [game](const testsupport::Request& r, testsupport::Connection& c) {
      const std::string user = r.target.substr(r.target.find('=') + 1);
      c.SendResponse(200,
                     {{"Content-Type", "text/html; charset=utf-8"},
                      {"Set-Cookie", "account=" + user + "; Max-Age=86400; Path=/"}},
                     "<!DOCTYPE html><html><body><a id='load' href='app://loadgame|" + game +
                         "|x'>load</a></body></html>");
    });
    // Entering without signing in: the game with whatever cookie the session kept.
    server.Route("/enter", [game](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}},
                     "<!DOCTYPE html><html><body><a id='load' href='app://loadgame|" + game +
                         "|x'>load</a></body></html>");
    });
    server.Route("/play", [](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/html"}, {"Cache-Control", "max-age=3600"}},
                     "<!DOCTYPE html><html><head><title>game</title></head><body>g</body></html>");
    });
    SetMessageBoxResponder(
        [](const MessageBoxRequest& r) { return (r.type & MB_YESNO) != 0 ? IDYES : IDOK; });
    FormRuntime::SetLastFormUnloadedHandler([] {});
    TheMainWindowHost().showLogin = ShowAnotherLogin;
    TheMainWindowHost().showAccountLogin = ShowAccountLogin;
  }
  void TearDown() override {
    // Forms left loaded would be freed with the process's statics, after the windows' registry.
    if (FormSlot<LoginFrm>::IsLoaded()) FormSlot<LoginBgFrm>::Unload();
    testsupport::UnloadMainWindow();
    DoEvents();
    SetMessageBoxResponder({});
  }

  static bool LoginPageShown() {
    return WaitFor(
        [] {
          return FormSlot<LoginFrm>::IsLoaded() &&
                 WebBrowserEngineWidget(FormSlot<LoginFrm>::Get().WebBrowser1()) != nullptr &&
                 FormSlot<LoginFrm>::Get().WebBrowser1().DocumentURL().find("dlq") !=
                     std::string::npos;
        },
        20000);
  }

  // Signs `user` in on the login screen that is up and enters the game; with no user, enters
  // it as whoever the login screen's session is signed in as.
  void SignIn(const std::string& user) {
    ASSERT_TRUE(LoginPageShown());
    auto* view = WEBKIT_WEB_VIEW(WebBrowserEngineWidget(FormSlot<LoginFrm>::Get().WebBrowser1()));
    const std::string page = user.empty() ? "/enter" : "/signin?user=" + user;
    webtest::Eval(view, "location.href = '" + page + "'");
    ASSERT_TRUE(WaitFor(
        [page] {
          return FormSlot<LoginFrm>::IsLoaded() &&
                 FormSlot<LoginFrm>::Get().WebBrowser1().DocumentURL().find(page) !=
                     std::string::npos;
        },
        20000));
    webtest::Eval(view, "document.getElementById('load').click()");
    ASSERT_TRUE(WaitFor([] { return !FormSlot<LoginFrm>::IsLoaded(); }, 20000));
  }

  // A real click on the window, once the X server has it under the pointer.
  static void ClickOn(HWND h) {
    ASSERT_NE(0u, h);
    RECT r;
    ASSERT_TRUE(GetWindowRect(h, &r));
    const POINT centre{r.left + r.Width() / 2, r.top + r.Height() / 2};
    Xdotool("mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y));
    ASSERT_TRUE(WaitFor([&] { return WindowFromPoint(centre) == h; }, 15000));
    Xdotool("click 1");
  }

  // How many game requests carried each account's cookie.
  int GameRequestsWith(const std::string& cookie) const {
    int n = 0;
    for (const auto& r : server.Requests()) n += r.path == "/play" && CookieOf(r) == cookie;
    return n;
  }

  // The command of the program menu's item with the caption; 0 when there is none.
  UINT MenuCommand(const std::string& caption) const {
    for (const MenuItem& i : GetWindowMenu(FormSlot<WebMainFrm>::Get().hWnd())) {
      if (i.caption == caption) return i.id;
    }
    return 0;
  }
  bool MenuHas(const std::string& caption) const { return MenuCommand(caption) != 0; }

  std::string m_store;
  testsupport::LoopbackServer server;
};

TEST_F(AccountSessionsPhase, Run) {
  const std::string second = m_store + "/web-2";
  if (std::string(std::getenv(kPhaseVariable)) == "1") {
    ShowAccountLogin(0);
    // Without a main window, the login screen has no picture for another account.
    EXPECT_EQ(0u, FormSlot<LoginFrm>::Get().AccountBtn());
    SignIn("alice");
    WebMainFrm& m = FormSlot<WebMainFrm>::Get();
    m.Show();
    ASSERT_TRUE(WaitFor([&] { return GameRequestsWith("account=alice") == 1; }, 20000));
    // As another account, through the picture the login screen of another login shows now:
    // the same game address is a second tab, of the second session.
    ShowAnotherLogin();
    ASSERT_TRUE(LoginPageShown());
    EXPECT_EQ(0u, FormSlot<LoginFrm>::Get().AccountMark());
    ClickOn(FormSlot<LoginFrm>::Get().AccountBtn());
    ASSERT_TRUE(WaitFor(
        [] { return FormSlot<LoginFrm>::IsLoaded() && FormSlot<LoginFrm>::Get().Session() == 1; }));
    // The second account's login screen carries the mark its tabs will carry.
    ASSERT_TRUE(LoginPageShown());
    EXPECT_TRUE(IsWindowVisible(FormSlot<LoginFrm>::Get().AccountMark()));
    SignIn("bob");
    ASSERT_TRUE(WaitFor([&] { return GameRequestsWith("account=bob") == 1; }, 20000));
    EXPECT_EQ((std::vector<int>{0, 1}), m.TabSessions());
    EXPECT_EQ(2, m.WebuTab().TabItems().Item(Variant(1))->SessionMark());
    // ACCOUNT_TEST_SHOTS=<prefix>: pictures of the marks in both tab styles, to look at.
    if (const char* shots = std::getenv("ACCOUNT_TEST_SHOTS")) {
      for (const int style : {1, 0}) {
        m.WebuTab().TabStyle(style);
        SendMessage(m.hWnd(), WM_SIZE, 0, 0);
        m.WebuTab().refresh();
        Settle(500);
        Shell("import -window root " + std::string(shots) + std::to_string(style) + ".png");
      }
      m.WebuTab().TabStyle(1);
    }
    EXPECT_EQ(1, GameRequestsWith("account=alice"));
    // A third account's login screen, closed without signing in: its store stays all the same.
    m.AnotherAccountCommand();
    ASSERT_TRUE(LoginPageShown());
    EXPECT_EQ(2, FormSlot<LoginFrm>::Get().Session());
    FormSlot<LoginBgFrm>::Unload();
    // The other login of the first account selects its tab, as before.
    ShowAnotherLogin();
    SignIn("alice");
    EXPECT_EQ(2, m.WebuTab().TabItems().Count());
    EXPECT_EQ(0, m.WebuTab().TabItems().Selected());
    EXPECT_TRUE(std::filesystem::is_directory(second));
    EXPECT_TRUE(MenuHas("删除账号2"));
    // Clearing the cache keeps both accounts' cookies: each tab, reloaded, is still signed in.
    m.ClearCacheCommand();
    for (int tab = 0; tab < 2; ++tab) {
      m.WebuTab().TabItems().Selected(tab);
      m.RefreshCommand();
    }
    EXPECT_TRUE(WaitFor([&] { return GameRequestsWith("account=alice") == 2; }, 20000));
    EXPECT_TRUE(WaitFor([&] { return GameRequestsWith("account=bob") == 2; }, 20000));
    return;
  }
  // After the restart: both accounts are still signed in. The second one comes back through its
  // own menu item: its login screen enters the game as an account-2 tab.
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  m.SetURL(server.Url("/play"), 0);
  m.Show();
  ASSERT_TRUE(WaitFor([&] { return GameRequestsWith("account=alice") == 1; }, 20000));
  ASSERT_NE(0u, MenuCommand("账号2登录"));
  SendMessage(m.hWnd(), WM_COMMAND, MenuCommand("账号2登录"), 0);
  SignIn("");
  ASSERT_TRUE(WaitFor([&] { return GameRequestsWith("account=bob") == 1; }, 20000));
  EXPECT_EQ((std::vector<int>{0, 1}), m.TabSessions());
  EXPECT_TRUE(MenuHas("删除账号2"));
  // Forgetting the second account closes its tab and deletes its directory; the first stays.
  m.ForgetAccountCommand(1);
  EXPECT_EQ((std::vector<int>{0}), m.TabSessions());
  EXPECT_FALSE(std::filesystem::exists(second));
  EXPECT_FALSE(MenuHas("删除账号2"));
  EXPECT_FALSE(MenuHas("账号2登录"));
  EXPECT_TRUE(std::filesystem::is_directory(m_store + "/web"));
  // The third, kept but not opened in this run, is forgotten too. Its number is free again at
  // once; the second's, whose files the engine held, only after the next start.
  m.ForgetAccountCommand(2);
  EXPECT_FALSE(std::filesystem::exists(m_store + "/web-3"));
  m.AnotherAccountCommand();
  ASSERT_TRUE(FormSlot<LoginFrm>::IsLoaded());
  EXPECT_EQ(2, FormSlot<LoginFrm>::Get().Session());
}

TEST(AccountSessions, SideBySideAcrossARestart) {
  const std::string store = std::string(std::getenv("TEST_ROOT")) + "/store";
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  for (const char* phase : {"1", "2"}) {
    const std::string command = std::string(kStoreVariable) + "='" + store + "' " + kPhaseVariable +
                                "=" + phase + " '" + self +
                                "' --gtest_filter=AccountSessionsPhase.Run";
    EXPECT_EQ(0, Shell(command + " > " + store + "-phase" + phase + ".log 2>&1"))
        << phase << "\n"
        << Output("cat " + store + "-phase" + phase + ".log");
  }
}

}  // namespace
