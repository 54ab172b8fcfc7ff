// The main window's commands from the real UI: every title button, portal button and program
// menu item clicked with the real pointer on a real desktop, the boxes they show answered by a
// script, the update check against a loopback update server in both outcomes, and a window
// closed in the middle of an update check's download (run under AddressSanitizer as well).

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "DesktopImpl.h"
#include "DesktopTestSupport.h"
#include "LoopbackServer.h"
#include "MainWindow.h"
#include "WebViewGtk.h"
#include "WindowTestSupport.h"
#include "app/AnotherLogin.h"
#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "mainwin/MainHook.h"
#include "mainwin/MainWindowHost.h"
#include "mainwin/MsgFrm.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/desktop/Tray.h"
#include "platform/system/EventLog.h"
#include "platform/window/Form.h"

using namespace platform;
using namespace wintest;
using testsupport::ClickAt;
using testsupport::ClickOn;
using testsupport::WhenAsked;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

constexpr const char* kManifestPath = "/gamehome/talmar2/update.txt";

RECT Rect(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  return r;
}

// The open pop-up menu's items: caption ("-" for a separator) and screen centre.
struct ShownItem {
  std::string caption;
  POINT centre{};
};
std::vector<ShownItem> ShownMenu() {
  std::vector<ShownItem> shown;
  GtkWidget* menu = platform::detail::CurrentPopupMenu();
  if (menu == nullptr) return shown;
  GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
  for (GList* i = items; i != nullptr; i = i->next) {
    GtkWidget* item = static_cast<GtkWidget*>(i->data);
    ShownItem s;
    s.caption =
        GTK_IS_SEPARATOR_MENU_ITEM(item) ? "-" : gtk_menu_item_get_label(GTK_MENU_ITEM(item));
    if (gtk_widget_get_window(item) != nullptr) {
      GtkAllocation a;
      gtk_widget_get_allocation(item, &a);
      int x = 0, y = 0;
      gdk_window_get_origin(gtk_widget_get_window(item), &x, &y);
      if (a.height > 1) s.centre = {x + a.x + a.width / 2, y + a.y + a.height / 2};
    }
    shown.push_back(s);
  }
  g_list_free(items);
  return shown;
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class MainWindowCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    PointerAway();
    ::setenv(kBaseUrlVariable, server.BaseUrl().c_str(), 1);
    server.Route("/play/1", [](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(
          200, {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-store"}},
          "<!DOCTYPE html><html><head><title>区 1</title></head><body>game</body></html>");
    });
    SetMessageBoxResponder([this](const MessageBoxRequest& r) {
      boxes.push_back(r);
      return answer;
    });
    FormRuntime::SetLastFormUnloadedHandler([] {});
  }
  void TearDown() override {
    testsupport::UnloadMainWindow();
    // A login road a failed test left half-way ends with it.
    if (FormSlot<LoginBgFrm>::IsLoaded()) FormSlot<LoginBgFrm>::Unload();
    if (FormSlot<LoginFrm>::IsLoaded()) FormSlot<LoginFrm>::Unload();
    DoEvents();
    SetMessageBoxResponder({});
    TheMainWindowHost().showLogin = nullptr;
    ::unsetenv(kBaseUrlVariable);
  }

  // The window as a login leaves it: one game page, shown, covering the work area.
  WebMainFrm& Open() {
    WebMainFrm& m = FormSlot<WebMainFrm>::Get();
    m.SetURL(server.Url("/play/1"));
    m.Show();
    EXPECT_TRUE(
        WaitFor([&] { return IsWindowVisible(m.hWnd()) && Rect(m.hWnd()) == GetWorkArea(); }));
    EXPECT_TRUE(WaitFor([&] { return PageRequests() == 1; }, 15000));
    Settle(200);
    return m;
  }

  int PageRequests() const {
    int n = 0;
    for (const auto& r : server.Requests()) n += r.path == "/play/1";
    return n;
  }

  // Pops the program menu up with the tool button and clicks the item with this caption.
  void ChooseFromMenu(WebMainFrm& m, const std::string& caption) {
    PointerAway();
    ClickOn(m.web_tool().hWnd());
    ASSERT_TRUE(WaitFor([] { return IsPopupMenuOpen(); }));
    POINT at{};
    ASSERT_TRUE(WaitFor([&] {
      for (const ShownItem& s : ShownMenu()) {
        if (s.caption == caption && s.centre.y > 0) at = s.centre;
      }
      return at.y > 0;
    })) << caption;
    ClickAt(at.x, at.y);
    EXPECT_TRUE(WaitFor([] { return !IsPopupMenuOpen(); }));
  }

  void ServeManifest(const std::string& version) {
    server.Route(kManifestPath, [version](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/plain"}},
                     "[update]\r\nversion=" + version + "\r\n");
    });
  }

  testsupport::LoopbackServer server;
  std::vector<MessageBoxRequest> boxes;
  int answer = IDNO;
};

TEST_F(MainWindowCommands, EveryButtonAndMenuItemRunsItsCommand) {
  WebMainFrm& m = Open();
  const HWND me = m.hWnd();

  // The program menu: seven items in order, then the accounts' own, popped up at the pointer by
  // the tool button.
  PointerAway();
  ClickOn(m.web_tool().hWnd());
  ASSERT_TRUE(WaitFor(
      [] { return IsPopupMenuOpen() && !ShownMenu().empty() && ShownMenu()[0].centre.y > 0; }));
  std::vector<std::string> captions;
  for (const ShownItem& s : ShownMenu()) captions.push_back(s.caption);
  EXPECT_EQ((std::vector<std::string>{"刷新(F5)", "隐藏/恢复(F10)", "清除缓存", "-", "更新",
                                      "版本号:" + AppVersion(), "退出", "-", "新账号登录"}),
            captions);
  const RECT tool = Rect(m.web_tool().hWnd());
  EXPECT_LT(std::abs(ShownMenu()[0].centre.y - (tool.top + tool.bottom) / 2), 60)
      << "at the pointer";
  Xdotool("key Escape");
  ASSERT_TRUE(WaitFor([] { return !IsPopupMenuOpen(); }));

  // A default browser of our own that notes the addresses it is given.
  const std::string home = std::getenv("HOME");
  const std::string log = home + "/browser.log";
  {
    const std::string apps = std::string(std::getenv("XDG_DATA_HOME")) + "/applications";
    Shell("mkdir -p '" + apps + "' \"$XDG_CONFIG_HOME\"");
    std::ofstream(home + "/browser.sh") << "#!/bin/sh\necho \"$1\" >> '" << log << "'\n";
    Shell("chmod +x '" + home + "/browser.sh'");
    std::ofstream(apps + "/test-browser.desktop")
        << "[Desktop Entry]\nType=Application\nName=Test browser\nExec=" << home
        << "/browser.sh %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n";
    std::ofstream(std::string(std::getenv("XDG_CONFIG_HOME")) + "/mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/http=test-browser.desktop\n"
           "x-scheme-handler/https=test-browser.desktop\n";
  }
  int logins = 0;
  TheMainWindowHost().showLogin = [&] { ++logins; };

  const MessageBoxRequest cleared{"缓存已清理完毕！", "缓存清理", MB_OK | MB_ICONINFORMATION};
  const MessageBoxRequest upToDate{"当前版本已是最新，无需更新！", "提示",
                                   MB_OK | MB_ICONINFORMATION};
  const MessageBoxRequest offered{"发现有新版本，是否现在更新！", "提示",
                                  MB_YESNO | MB_ICONQUESTION};
  struct Row {
    const char* trigger;  // a button, or a menu item's caption
    std::function<void()> before;
    std::vector<MessageBoxRequest> boxes;
    std::function<bool()> done;
    std::function<void()> after;
  };
  const Row rows[] = {
      {"web_min",
       nullptr,
       {},
       [&] { return IsIconic(me) != 0; },
       [&] { ShowWindow(me, SW_RESTORE); }},
      {"GameSpaceBtn", nullptr, {}, [&] { return ReadAll(log) == GameSpaceUrl() + "\n"; }, nullptr},
      {"OtherUserBtn", nullptr, {}, [&] { return logins == 1; }, nullptr},
      {"刷新(F5)", nullptr, {}, [&] { return PageRequests() == 2; }, nullptr},
      // Hidden, only the hot key (or the tray icon) brings the window back.
      {"隐藏/恢复(F10)",
       nullptr,
       {},
       [&] { return !IsWindowVisible(me); },
       [&] {
         Xdotool("key F10");
         EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(me) != 0; }));
       }},
      {"清除缓存", nullptr, {cleared}, nullptr, nullptr},
      {"更新", [&] { ServeManifest(AppVersion()); }, {upToDate}, nullptr, nullptr},
      {"更新", [&] { ServeManifest("9.9.9"); }, {offered}, nullptr, nullptr},
      {"版本号:", nullptr, {}, nullptr, nullptr},
      // 退出 asks first; declined, the window stays.
      {"退出",
       [&] { WhenAsked([] { ClickOn(FormSlot<MsgFrm>::Get().iButton2().hWnd()); }); },
       {},
       [&] { return m.ExitQuestions() == 1 && !FormSlot<MsgFrm>::IsLoaded(); },
       nullptr},
  };
  for (const Row& r : rows) {
    const std::string trigger = r.trigger;
    SCOPED_TRACE(trigger);
    boxes.clear();
    if (r.before) r.before();
    if (trigger == "web_min") {
      ClickOn(m.web_min().hWnd());
    } else if (trigger == "GameSpaceBtn") {
      ClickOn(m.GameSpaceBtn().hWnd());
    } else if (trigger == "OtherUserBtn") {
      ClickOn(m.OtherUserBtn().hWnd());
    } else {
      ChooseFromMenu(m, trigger == "版本号:" ? trigger + AppVersion() : trigger);
    }
    if (r.done) EXPECT_TRUE(WaitFor(r.done, 15000));
    EXPECT_TRUE(WaitFor([&] { return boxes.size() >= r.boxes.size(); }, 15000));
    Settle(200);
    ASSERT_EQ(r.boxes.size(), boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_EQ(r.boxes[i].text, boxes[i].text);
      EXPECT_EQ(r.boxes[i].title, boxes[i].title);
      EXPECT_EQ(r.boxes[i].type, boxes[i].type);
    }
    if (r.after) r.after();
    // Nothing else changed: still loaded, shown, one tab, nothing decided about exiting.
    ASSERT_TRUE(FormSlot<WebMainFrm>::IsLoaded());
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(me) && !IsIconic(me); }));
    EXPECT_FALSE(m.m_bExit);
    EXPECT_EQ(1, m.WebuTab().TabItems().Count());
  }
  EXPECT_EQ(1, m.ExitQuestions());
  EXPECT_EQ(1, logins);
}

// The update check's download handles the window's messages between its chunks; closing the
// window then (the exit question answered 是) frees the window object while the download still
// runs. The check goes on to its end, and nothing of the gone window is touched.
TEST_F(MainWindowCommands, ClosingTheWindowDuringTheUpdateDownloadLeavesTheCheckRunning) {
  // The server's thread owns what it sends and what it sets: a test that ends early (a failed
  // assertion) must not leave it writing into the test body's gone locals.
  auto bodyStarted = std::make_shared<std::atomic<bool>>(false);
  const std::string manifest =
      "[update]\r\nversion=" + AppVersion() + "\r\n" + std::string(600, ';') + "\r\n";
  server.Route(kManifestPath,
               [manifest, bodyStarted](const testsupport::Request&, testsupport::Connection& c) {
                 c.SendHead(200, {{"Content-Type", "text/plain"},
                                  {"Content-Length", std::to_string(manifest.size())}});
                 for (std::size_t at = 0; at < manifest.size(); at += 20) {
                   if (!c.SendRaw(manifest.substr(at, 20))) return;
                   *bodyStarted = true;
                   if (!c.Pause(std::chrono::milliseconds(40))) return;
                 }
               });
  WebMainFrm& m = Open();
  const HWND me = m.hWnd();
  const HWND close = m.web_close().hWnd();
  // Once the body flows, the close button is clicked and the question answered 是.
  static std::atomic<bool>* started = nullptr;
  static HWND closeButton = 0;
  static UINT_PTR timer = 0;
  started = bodyStarted.get();
  closeButton = close;
  timer = SetTimer(0, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    if (!*started) return;
    KillTimer(0, timer);
    WhenAsked([] { ClickOn(FormSlot<MsgFrm>::Get().iButton1().hWnd()); });
    ClickOn(closeButton);
  });
  ChooseFromMenu(m, "更新");
  ASSERT_TRUE(WaitFor([] { return !FormSlot<WebMainFrm>::IsLoaded(); }, 15000));
  EXPECT_FALSE(IsWindow(me));
  // The download ran to its end and the check read what it fetched.
  ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }, 20000));
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("当前版本已是最新，无需更新！", boxes[0].text);
  EXPECT_EQ(manifest, ReadAll(GetTempDir() + "update.txt"));
}

// Another login from the running window: the one login screen, shown again while it is there;
// a login with the same account selects the game's tab, and "app://exitgame" ends only the
// login screen.
TEST_F(MainWindowCommands, AnotherLoginSelectsTheExistingTabOrEndsOnlyTheLoginScreen) {
  const std::string game = server.Url("/play/1");
  server.Route(
      "/games/talmar2/dlq/", [game](const testsupport::Request&, testsupport::Connection& c) {
        c.SendResponse(
            200, {{"Content-Type", "text/html; charset=utf-8"}},
            "<!DOCTYPE html><html><head><meta charset='utf-8'><title>login</title></head><body>"
            "<a id='load' href='app://loadgame|" +
                game +
                "|x'>load</a> "
                "<a id='exit' href='app://exitgame'>exit</a></body></html>");
      });
  TheMainWindowHost().showLogin = ShowAnotherLogin;
  WebMainFrm& m = Open();
  auto loginShown = [] {
    return FormSlot<LoginFrm>::IsLoaded() && IsWindowVisible(FormSlot<LoginFrm>::Get().hWnd()) &&
           IsWindowVisible(FormSlot<LoginBgFrm>::Get().hWnd());
  };
  auto click = [](const char* id) {
    GtkWidget* view = WebBrowserEngineWidget(FormSlot<LoginFrm>::Get().WebBrowser1());
    const std::string script = std::string("document.getElementById('") + id + "').click()";
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(view), script.c_str(), -1, nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
  };
  for (const char* command : {"load", "exit"}) {
    SCOPED_TRACE(command);
    ClickOn(m.OtherUserBtn().hWnd());
    ASSERT_TRUE(WaitFor(loginShown, 15000));
    const HWND login = FormSlot<LoginFrm>::Get().hWnd();
    const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
    EXPECT_EQ(0u, static_cast<HWND>(GetWindowLongPtr(bg, GWL_HWNDPARENT))) << "without owner";
    // Asked again while it is there, the same login screen comes back from the taskbar.
    ShowWindow(bg, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(bg) != 0; }));
    ClickOn(m.OtherUserBtn().hWnd());
    ASSERT_TRUE(WaitFor([&] { return !IsIconic(bg) && loginShown(); }));
    EXPECT_EQ(login, FormSlot<LoginFrm>::Get().hWnd());
    Settle(300);
    click(command);
    ASSERT_TRUE(WaitFor(
        [] { return !FormSlot<LoginFrm>::IsLoaded() && !FormSlot<LoginBgFrm>::IsLoaded(); }));
    ASSERT_TRUE(FormSlot<WebMainFrm>::IsLoaded());
    EXPECT_TRUE(IsWindowVisible(m.hWnd()));
    EXPECT_EQ(1, m.WebuTab().TabItems().Count()) << "the same game is the same tab";
    EXPECT_EQ(0, m.WebuTab().TabItems().Selected());
  }
  EXPECT_EQ((std::vector<std::string>{game, game}), m.Addresses());
  EXPECT_EQ(1, PageRequests()) << "the selected tab is not loaded again";

  // A login page that arrives empty gives the connection notice and ends only the login screen:
  // the client and its game go on.
  server.Route("/games/talmar2/dlq/", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/html"}}, "");
  });
  boxes.clear();
  ClickOn(m.OtherUserBtn().hWnd());
  ASSERT_TRUE(WaitFor([&] { return !boxes.empty() && !FormSlot<LoginFrm>::IsLoaded(); }, 15000));
  EXPECT_EQ("未能连接到服务器，请检查网络连接是否正常！", boxes[0].text);
  EXPECT_FALSE(FormSlot<LoginBgFrm>::IsLoaded());
  ASSERT_TRUE(FormSlot<WebMainFrm>::IsLoaded());
  EXPECT_TRUE(IsWindowVisible(m.hWnd()));
  EXPECT_EQ(1, m.WebuTab().TabItems().Count());
}

// The tray icon (here in an XEmbed tray): a right click opens the program menu at the pointer,
// and its items run as from the tool button.
TEST_F(MainWindowCommands, TheTrayIconsRightClickOpensTheProgramMenuAtThePointer) {
  Background trayer({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                     "--height", "24", "--transparent", "false"});
  WebMainFrm& m = Open();
  // Restored, the window leaves the tray in the screen's corner uncovered.
  ClickOn(m.web_minmax().hWnd());
  ASSERT_TRUE(WaitFor([&] { return Rect(m.hWnd()).Width() == 1036; }));
  RECT r;
  ASSERT_TRUE(
      WaitFor([&] { return GetTrayIconRect(m.hWnd(), COrvNotifyIcon::kIconId, &r); }, 10000));
  Xdotool("mousemove " + std::to_string(r.left + r.Width() / 2) + " " +
          std::to_string(r.top + r.Height() / 2) + " click 3");
  ASSERT_TRUE(WaitFor([] { return IsPopupMenuOpen(); }));
  POINT at{};
  ASSERT_TRUE(WaitFor([&] {
    const auto shown = ShownMenu();
    if (shown.size() == 9 && shown[2].caption == "清除缓存") at = shown[2].centre;
    return at.y > 0;
  }));
  EXPECT_LT(std::abs(at.x - (r.left + r.right) / 2), 250);
  EXPECT_LT(std::abs(at.y - (r.top + r.bottom) / 2), 150);
  ClickAt(at.x, at.y);
  ASSERT_TRUE(WaitFor([&] { return boxes.size() == 1; }, 15000));
  EXPECT_EQ("缓存已清理完毕！", boxes[0].text);
  EXPECT_TRUE(IsWindowVisible(m.hWnd()));

  // Minimised with its own "-", one left click on the icon brings it back, restored and in
  // front; the next one hides it.
  ClickOn(m.web_min().hWnd());
  ASSERT_TRUE(WaitFor([&] { return IsIconic(m.hWnd()) != 0; }));
  Settle(300);
  Xdotool("mousemove " + std::to_string(r.left + r.Width() / 2) + " " +
          std::to_string(r.top + r.Height() / 2) + " click 1");
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(m.hWnd()) && !IsIconic(m.hWnd()); }));
  EXPECT_TRUE(WaitFor([] {
    return Output("xdotool getactivewindow getwindowname") == ClientCaption() + "\n";
  })) << "not in front";
  Settle(300);
  Xdotool("click 1");
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(m.hWnd()); }));
}

// While a modal box of the client is up (here the exit question), commands of the program menu
// that come from the tray are refused, not run beside the box nor after it: an update chosen
// then would leave the updater running beside a client whose user said "否" to leaving. The
// tray's right click brings the box to the front instead of the menu.
TEST_F(MainWindowCommands, TrayCommandsWhileAModalBoxIsUpAreRefused) {
  ServeManifest("9.9.9");
  WebMainFrm& m = Open();
  const HWND me = m.hWnd();
  bool asked = false;
  WhenAsked([&] {
    asked = true;
    PostMessage(me, WM_COMMAND, WebMainFrm::mnuUpdate, 0);
    PostMessage(me, WM_COMMAND, WebMainFrm::mnuClearCache, 0);
    PostMessage(me, WM_COMMAND, WebMainFrm::mnuHideRestore, 0);
    SendMessage(me, WM_TRAYNOTIFY, COrvNotifyIcon::kIconId, WM_RBUTTONUP);
    Settle(500);
    EXPECT_FALSE(IsPopupMenuOpen());
    EXPECT_TRUE(boxes.empty());
    ClickOn(FormSlot<MsgFrm>::Get().iButton2().hWnd());
  });
  ClickOn(m.web_close().hWnd());
  ASSERT_TRUE(WaitFor([&] { return asked && !FormSlot<MsgFrm>::IsLoaded(); }, 15000));
  Settle(1000);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_TRUE(IsWindowVisible(me));
  for (const auto& r : server.Requests()) EXPECT_NE(kManifestPath, r.path);
}

// Clear cache waits for the engine; the same command again meanwhile (the tray's menu) does
// nothing: one clearing, one box.
TEST_F(MainWindowCommands, ASecondClearCacheWhileOneRunsDoesNothing) {
  WebMainFrm& m = Open();
  PostMessage(m.hWnd(), WM_COMMAND, WebMainFrm::mnuClearCache, 0);
  PostMessage(m.hWnd(), WM_COMMAND, WebMainFrm::mnuClearCache, 0);
  ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }, 15000));
  Settle(1000);
  EXPECT_EQ(1u, boxes.size());
  // Over, it runs again.
  PostMessage(m.hWnd(), WM_COMMAND, WebMainFrm::mnuClearCache, 0);
  EXPECT_TRUE(WaitFor([&] { return boxes.size() == 2; }, 15000));
}

// The game site's button with no default browser: the user is told in a box over the window,
// on standard error and in the event log, as "/web" tells it.
TEST_F(MainWindowCommands, TheSiteButtonWithoutADefaultBrowserSaysSo) {
  WebMainFrm& m = Open();
  // Nothing anywhere handles http (the desktop's list of programs is read at its first use).
  const std::string empty = std::string(std::getenv("HOME")) + "/no-applications";
  Shell("mkdir -p '" + empty + "'");
  ::setenv("XDG_DATA_DIRS", empty.c_str(), 1);
  ::setenv("XDG_DATA_HOME", empty.c_str(), 1);
  std::vector<std::string> logged;
  const EventLogSink before = SetEventLogSink([&](std::string_view l) { logged.emplace_back(l); });
  ::testing::internal::CaptureStderr();
  ClickOn(m.GameSpaceBtn().hWnd());
  ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }, 10000));
  const std::string err = ::testing::internal::GetCapturedStderr();
  SetEventLogSink(before);
  EXPECT_EQ("未能打开默认浏览器，请手动访问：" + GameSpaceUrl(), boxes[0].text);
  EXPECT_EQ("提示", boxes[0].title);
  EXPECT_EQ(MB_OK | MB_ICONEXCLAMATION, boxes[0].type);
  EXPECT_EQ(m.hWnd(), boxes[0].owner);
  EXPECT_NE(std::string::npos, err.find("no default browser could open " + GameSpaceUrl())) << err;
  EXPECT_EQ(1, std::count_if(logged.begin(), logged.end(), [](const std::string& l) {
              return l.find("no default browser could open " + GameSpaceUrl()) != std::string::npos;
            }));
}

}  // namespace
