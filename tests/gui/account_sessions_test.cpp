// Accounts side by side, end to end against a loopback portal that signs each account in with
// a cookie of its own: two logins, the second "as another account", give two tabs of the same
// game address, each sending its own account's cookie; clearing the cache keeps both; after a
// restart (a second process on the same store) both are still signed in; forgetting the second
// account closes its tabs and deletes its directory.

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
    testsupport::UnloadMainWindow();
    DoEvents();
    SetMessageBoxResponder({});
  }

  // Signs `user` in on the login screen that is up and enters the game.
  void SignIn(const std::string& user) {
    ASSERT_TRUE(WaitFor(
        [] {
          return FormSlot<LoginFrm>::IsLoaded() &&
                 WebBrowserEngineWidget(FormSlot<LoginFrm>::Get().WebBrowser1()) != nullptr &&
                 FormSlot<LoginFrm>::Get().WebBrowser1().DocumentURL().find("dlq") !=
                     std::string::npos;
        },
        20000));
    auto* view = WEBKIT_WEB_VIEW(WebBrowserEngineWidget(FormSlot<LoginFrm>::Get().WebBrowser1()));
    webtest::Eval(view, "location.href = '/signin?user=" + user + "'");
    ASSERT_TRUE(WaitFor(
        [] {
          return FormSlot<LoginFrm>::IsLoaded() &&
                 FormSlot<LoginFrm>::Get().WebBrowser1().DocumentURL().find("signin") !=
                     std::string::npos;
        },
        20000));
    webtest::Eval(view, "document.getElementById('load').click()");
    ASSERT_TRUE(WaitFor([] { return !FormSlot<LoginFrm>::IsLoaded(); }, 20000));
  }

  // How many game requests carried each account's cookie.
  int GameRequestsWith(const std::string& cookie) const {
    int n = 0;
    for (const auto& r : server.Requests()) n += r.path == "/play" && CookieOf(r) == cookie;
    return n;
  }

  bool MenuHas(const std::string& caption) const {
    for (const MenuItem& i : GetWindowMenu(FormSlot<WebMainFrm>::Get().hWnd())) {
      if (i.caption == caption) return true;
    }
    return false;
  }

  std::string m_store;
  testsupport::LoopbackServer server;
};

TEST_F(AccountSessionsPhase, Run) {
  const std::string second = m_store + "/web-2";
  if (std::string(std::getenv(kPhaseVariable)) == "1") {
    ShowAccountLogin(0);
    SignIn("alice");
    WebMainFrm& m = FormSlot<WebMainFrm>::Get();
    m.Show();
    ASSERT_TRUE(WaitFor([&] { return GameRequestsWith("account=alice") == 1; }, 20000));
    // As another account: the same game address is a second tab, of the second session.
    m.AnotherAccountCommand();
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
  // After the restart: both accounts are still signed in.
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  m.SetURL(server.Url("/play"), 0);
  m.SetURL(server.Url("/play"), 1);
  m.Show();
  ASSERT_TRUE(WaitFor([&] { return GameRequestsWith("account=alice") == 1; }, 20000));
  ASSERT_TRUE(WaitFor([&] { return GameRequestsWith("account=bob") == 1; }, 20000));
  EXPECT_TRUE(MenuHas("删除账号2"));
  // Forgetting the second account closes its tab and deletes its directory; the first stays.
  m.ForgetAccountCommand(1);
  EXPECT_EQ((std::vector<int>{0}), m.TabSessions());
  EXPECT_FALSE(std::filesystem::exists(second));
  EXPECT_FALSE(MenuHas("删除账号2"));
  EXPECT_TRUE(std::filesystem::is_directory(m_store + "/web"));
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
