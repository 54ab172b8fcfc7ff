// Untrusted web content against the real login screen: a login page served from one loopback
// origin that embeds an advertisement from a second one, download links, pop-up loops, links
// that fail, a web process that crashes, and every way the login page's first load can fail.

#include <gtest/gtest.h>
#include <signal.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LoopbackServer.h"
#include "MainWindow.h"
#include "WebTestSupport.h"
#include "WebViewGtk.h"
#include "WindowTestSupport.h"
#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "common/Settings.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/MessageBox.h"
#include "platform/system/EventLog.h"
#include "platform/window/Form.h"

using namespace platform;
using namespace wintest;
using testsupport::Connection;
using testsupport::LoopbackServer;
using testsupport::Request;

namespace {

constexpr char kLoginPath[] = "/games/talmar2/dlq/";

void Serve(LoopbackServer& server, const std::string& path, const std::string& html,
           testsupport::Headers extra = {}) {
  server.Route(path, [html, extra](const Request&, Connection& c) {
    testsupport::Headers headers = {{"Content-Type", "text/html; charset=utf-8"}};
    headers.insert(headers.end(), extra.begin(), extra.end());
    c.SendResponse(200, headers, html);
  });
}

std::string Page(const std::string& body) {
  return "<!DOCTYPE html><html><head><meta charset='utf-8'><title>login</title></head>"
         "<body style='margin:0;background:#1e50a0'>" +
         body + "</body></html>";
}

// The web processes of this test (our descendants).
std::vector<pid_t> WebProcesses() {
  std::vector<pid_t> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream comm(entry.path() / "comm");
    std::string command;
    std::getline(comm, command);
    if (command.rfind("WebKitWebProces", 0) != 0) continue;
    // Walk up to us.
    for (pid_t p = std::stoi(name); p > 1;) {
      std::ifstream stat("/proc/" + std::to_string(p) + "/stat");
      std::string line;
      std::getline(stat, line);
      const auto close = line.rfind(')');
      if (close == std::string::npos) break;
      int parent = 0;
      std::sscanf(line.c_str() + close + 2, "%*c %d", &parent);
      if (parent == getpid()) {
        found.push_back(std::stoi(name));
        break;
      }
      p = parent;
    }
  }
  return found;
}

class HostilePage : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char arg0[] = "gui_tests";
    static char* args[] = {arg0, nullptr};
    static char** argv = args;
    ASSERT_TRUE(InitToolkit(argc, argv));
    ::setenv(kBaseUrlVariable, portal.BaseUrl().c_str(), 1);
    FormRuntime::SetLastFormUnloadedHandler([] {});
    m_previousSink = SetEventLogSink([this](std::string_view line) { log.emplace_back(line); });
  }
  void TearDown() override {
    FormSlot<LoginBgFrm>::Unload();
    testsupport::UnloadMainWindow();
    DoEvents();
    SetEventLogSink(m_previousSink);
  }

  void Open(const std::string& body) {
    Serve(portal, kLoginPath, Page(body));
    FormSlot<LoginFrm>::Get();
    ASSERT_TRUE(WaitFor(
        [] {
          return FormSlot<LoginFrm>::IsLoaded() &&
                 IsWindowVisible(FormSlot<LoginFrm>::Get().hWnd());
        },
        15000))
        << "the login screen did not show";
  }
  static WebKitWebView* View() {
    return WEBKIT_WEB_VIEW(WebBrowserEngineWidget(FormSlot<LoginFrm>::Get().WebBrowser1()));
  }
  static std::string Eval(const std::string& script) { return webtest::Eval(View(), script); }
  // A real click of the pointer at (x, y) of the login page.
  static void ClickPage(int x, int y) {
    POINT p{x, y};
    ClientToScreen(FormSlot<LoginFrm>::Get().Picture1(), &p);
    Xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) + " click 1");
  }
  int Logged(const std::string& text) const {
    int n = 0;
    for (const auto& line : log) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
  // The login screen is up as it was: not ended, not minimised, no game opened.
  void ExpectUntouched() {
    EXPECT_TRUE(FormSlot<LoginFrm>::IsLoaded());
    EXPECT_TRUE(FormSlot<LoginBgFrm>::IsLoaded());
    if (FormSlot<LoginBgFrm>::IsLoaded()) {
      EXPECT_FALSE(IsIconic(FormSlot<LoginBgFrm>::Get().hWnd()));
    }
    EXPECT_FALSE(FormSlot<WebMainFrm>::IsLoaded());
    if (FormSlot<LoginFrm>::IsLoaded()) {
      EXPECT_EQ(FormSlot<LoginFrm>::Get().WebBrowser1().LocationURL(), portal.Url(kLoginPath));
    }
  }

  LoopbackServer portal;  // the login page's origin
  LoopbackServer ads;     // another site
  std::vector<std::string> log;
  EventLogSink m_previousSink;
};

// Everything a frame of another site could try, on load and again on a real click into it.
TEST_F(HostilePage, AFrameOfAnotherSiteCannotCommandTheClient) {
  const std::string game = portal.Url("/game");
  Serve(ads, "/ad",
        Page("<a id='l' href='app://exitgame'>x</a>"
             "<form id='f' method='get' action='app://loadgame|" +
             game +
             "'></form>"
             "<div style='position:fixed;inset:0'></div><script>"
             "function attack() {"
             "  var h = window.webkit && window.webkit.messageHandlers;"
             "  fetch('/report?bridge=' + (h && h.clientView ? 'reachable' : 'absent'));"
             "  if (h && h.clientView) h.clientView.postMessage({kind: 'navigate', raw: "
             "'app://exitgame',"
             "                                                  trusted: true});"
             "  document.dispatchEvent(new CustomEvent('clientopenrequest', {detail: "
             "'app://exitgame'}));"
             "  window.open('app://minimize');"
             "  window.open('http://[\\napp://exitgame|\\x1b[2J');"
             "  document.getElementById('l').click();"
             "  document.getElementById('f').submit();"
             "  try { top.location = 'app://exitgame'; } catch (e) {}"
             "  setTimeout(function () { location.href = '/x?to=app://minimize'; }, 100);"
             "}"
             "attack(); document.addEventListener('click', attack);</script>"));
  ads.Route("/report", [](const Request&, Connection& c) { c.SendResponse(204, {}, ""); });
  ads.Route("/x", [](const Request&, Connection& c) { c.SendResponse(204, {}, ""); });
  Open("<iframe src='" + ads.Url("/ad") + "' style='border:0;width:400px;height:300px'></iframe>");
  ASSERT_TRUE(WaitFor([&] { return ads.Count("/report") >= 1; }, 10000));
  Settle(800);
  ClickPage(200, 150);
  ASSERT_TRUE(WaitFor([&] { return ads.Count("/report") >= 2; }, 10000));
  Settle(1000);
  ExpectUntouched();
  for (const Request& r : ads.Requests()) {
    if (r.path == "/report") {
      EXPECT_EQ(r.target, "/report?bridge=absent");
    }
  }
  EXPECT_GE(Logged("command from a frame of another site ignored"), 2);
  // The page's control characters reach the log written out, not as a line or terminal command.
  EXPECT_GE(Logged("ignored: http://[\\x0aapp://exitgame|\\x1b[2J"), 2);
  for (const auto& line : log) {
    EXPECT_EQ(line.end(), std::find_if(line.begin(), line.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        << line;
  }
}

// A frame of the login page's own site is part of the page: its commands are carried out.
TEST_F(HostilePage, AFrameOfTheSameSiteMayCommandTheClient) {
  Serve(portal, "/inner",
        Page("<a id='m' href='app://minimize'>m</a>"
             "<script>document.getElementById('m').click()</script>"));
  Open("<iframe src='/inner'></iframe>");
  ASSERT_TRUE(WaitFor([] { return IsIconic(FormSlot<LoginBgFrm>::Get().hWnd()); }, 10000));
}

// A login road through a sign-in page of another origin: while that page is the top document
// its commands are refused (and logged); back on the login page's origin, the login goes on.
TEST_F(HostilePage, ATopDocumentOfAnotherOriginCannotCommandTheClient) {
  Serve(portal, "/game1", Page("game 1"));
  Serve(portal, "/game2", Page("game 2"));
  const std::string click = "<script>document.getElementById('g').click();";
  Serve(ads, "/signin",
        Page("<a id='g' href='app://loadgame|" + portal.Url("/game1") + "'>g</a>" + click +
             "setTimeout(function () { location.href = '" + portal.Url("/back") +
             "'; }, 800);</script>"));
  Serve(portal, "/back",
        Page("<a id='g' href='app://loadgame|" + portal.Url("/game2") + "'>g</a>" + click +
             "</script>"));
  Open("<script>setTimeout(function () { location.href = '" + ads.Url("/signin") +
       "'; }, 1000);</script>");
  ASSERT_TRUE(WaitFor([] { return FormSlot<WebMainFrm>::IsLoaded(); }, 15000));
  EXPECT_TRUE(WaitFor([&] { return portal.Count("/game2") >= 1; }, 10000));
  EXPECT_EQ(0, portal.Count("/game1"));
  EXPECT_EQ(1, Logged("command from a top document of another origin refused"));
}

// The advertisement of the two tests below: it follows every address it is sent, by a link.
constexpr char kFollower[] =
    "<script>onmessage = function (e) { var a = document.createElement('a'); a.href = e.data;"
    " document.body.appendChild(a); a.click(); };</script>";

// A click's right to command the client ends with the document it was made in. A real click
// into an advertisement sends the top to another site. There the user clicks a game link in a
// frame of that site that may not lead its top anywhere (sandboxed), and the page clicks two
// command links with a script and cancels them; then it goes back to the login page, where the
// advertisement, loaded again, follows the same links at once.
TEST_F(HostilePage, AClickVouchesForNothingOnceItsDocumentIsGone) {
  const std::string load = "app://loadgame|" + ads.Url("/game");
  Serve(ads, "/game", Page("game"));
  const std::string send = Page("<div style='position:fixed;inset:0' onclick=\"top.location = '" +
                                ads.Url("/top") + "'\"></div>");
  const std::string replay = Page(
      std::string(kFollower) + "<script>postMessage('" + load +
      "', '*'); setTimeout(function () { postMessage('app://exitgame', '*'); }, 200);</script>");
  ads.Route("/ad", [send, replay, loads = std::make_shared<std::atomic<int>>(0)](const Request&,
                                                                                 Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/html"}}, (*loads)++ == 0 ? send : replay);
  });
  Serve(ads, "/top",
        Page("<a id='l' href='" + load +
             "'>l</a><a id='e' href='app://exitgame'>e</a>"
             "<iframe sandbox='allow-scripts allow-same-origin' src='/frame' style='position:fixed;"
             "inset:0;width:100%;height:100%;border:0'></iframe><script>"
             "['l', 'e'].forEach(function (id) {"
             "  document.getElementById(id).onclick = function (e) { e.preventDefault(); };"
             "  document.getElementById(id).click();"
             "});"
             "onmessage = function () {"
             "  setTimeout(function () { location.href = '" +
             portal.Url(kLoginPath) +
             "'; }, 300);"
             "};</script>"));
  Serve(ads, "/frame",
        Page("<a target='_top' href='" + load +
             "' style='position:fixed;inset:0' onclick='parent.postMessage(1, \"*\")'>g</a>"
             "<script>fetch('/ready');</script>"));
  ads.Route("/ready", [](const Request&, Connection& c) { c.SendResponse(204, {}, ""); });
  Open("<iframe src='" + ads.Url("/ad") +
       "' style='display:block;border:0;width:700px;height:400px'></iframe>");
  Settle(800);
  ClickPage(300, 200);
  ASSERT_TRUE(WaitFor([&] { return ads.Count("/ready") == 1; }, 10000)) << "not on the other site";
  Settle(500);
  ClickPage(300, 200);
  ASSERT_TRUE(WaitFor([&] { return ads.Count("/ad") == 2; }, 10000))
      << "not back on the login page";
  ASSERT_TRUE(
      WaitFor([&] { return Logged("command from a frame of another site ignored") == 2; }, 10000))
      << ::testing::PrintToString(log);
  Settle(500);
  ExpectUntouched();
  EXPECT_EQ(0, ads.Count("/game"));
}

// On the login page itself, too, a link's address is vouched for only as far as the engine
// follows it: neither the user's click that the page cancels nor a script's click() on a link
// that may not lead the top anywhere (in a sandboxed frame of the page's own site) leaves
// anything the advertisement could use.
TEST_F(HostilePage, AClickVouchesOnlyForTheNavigationItStarts) {
  const std::string load = "app://loadgame|" + ads.Url("/game");
  Serve(ads, "/game", Page("game"));
  Serve(ads, "/ad", Page(kFollower));
  Serve(portal, "/inner", Page("<a id='m' target='_top' href='app://minimize'>m</a>"));
  Open("<iframe name='ad' src='" + ads.Url("/ad") +
       "' style='display:block;border:0;width:200px;height:100px'></iframe>"
       "<iframe id='inner' sandbox='allow-scripts allow-same-origin' src='/inner'></iframe><a "
       "href='" +
       load +
       "' style='display:block;width:700px;height:300px' onclick='event.preventDefault();"
       " frames.ad.postMessage(this.getAttribute(\"href\"), \"*\")'>g</a>");
  Settle(800);
  Eval(
      "document.getElementById('inner').contentDocument.getElementById('m').click();"
      "frames.ad.postMessage('app://minimize', '*'); 0");
  ClickPage(300, 400);
  ASSERT_TRUE(
      WaitFor([&] { return Logged("command from a frame of another site ignored") == 2; }, 10000))
      << ::testing::PrintToString(log);
  Settle(500);
  ExpectUntouched();
  EXPECT_EQ(0, ads.Count("/game"));
}

TEST_F(HostilePage, DownloadsAreRefusedAndThePageStays) {
  portal.Route("/file.bin", [](const Request&, Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/plain"}}, "payload");
  });
  portal.Route("/attach", [](const Request&, Connection& c) {
    c.SendResponse(
        200,
        {{"Content-Type", "text/plain"}, {"Content-Disposition", "attachment; filename=a.txt"}},
        "payload");
  });
  portal.Route("/octet", [](const Request&, Connection& c) {
    c.SendResponse(200, {{"Content-Type", "application/octet-stream"}}, "payload");
  });
  Open(
      "<a id='d1' download href='/file.bin'>1</a><a id='d2' href='/attach'>2</a>"
      "<a id='d3' href='/octet'>3</a>");
  for (const char* id : {"d1", "d2", "d3"}) {
    const int before = Logged("download refused");
    Eval(std::string("document.getElementById('") + id + "').click(); 0");
    EXPECT_TRUE(WaitFor([&] { return Logged("download refused") > before; }, 10000)) << id;
  }
  Settle(500);
  ExpectUntouched();
  EXPECT_EQ(Logged("download refused"), 3) << "one line per download";
  // Nothing was written for the user anywhere under the home directory.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(std::getenv("HOME"))) {
    EXPECT_NE(entry.path().filename(), "a.txt");
    EXPECT_NE(entry.path().filename(), "file.bin");
    EXPECT_NE(entry.path().filename(), "octet");
  }
}

// A page opening windows in a loop reaches the user's browser only on the user's clicks, one
// window a click and a few a minute.
TEST_F(HostilePage, PopUpLoopsNeedTheUsersClicksAndAreRateLimited) {
  webtest::InstallFakeBrowser();
  Open(
      "<div style='width:700px;height:400px'></div><script>var n = 0;"
      "setInterval(function () { window.open('" +
      ads.Url("/pop") +
      "?' + n++); }, 20);"
      "</script>");
  Settle(1000);
  EXPECT_EQ(webtest::ReadFile(webtest::BrowserLog()), "") << "no window without a click";
  EXPECT_GT(Logged("pop-up refused"), 10);
  for (int i = 0; i < 7; ++i) {
    ClickPage(300, 200);
    Settle(150);
  }
  Settle(800);
  const std::string opened = webtest::ReadFile(webtest::BrowserLog());
  EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 5) << opened;
  ExpectUntouched();
}

// A press grants its pop-up to the frame it landed in: an advertisement's frame that opens
// windows all the time gets nothing from a click on the portal's own part of the page.
TEST_F(HostilePage, APressGrantsAPopUpOnlyToTheFrameClickedIn) {
  webtest::InstallFakeBrowser();
  Serve(ads, "/ad",
        Page("<script>var n = 0; setInterval(function () { window.open('" + ads.Url("/pop") +
             "?' + n++); }, 20);</script>"));
  const std::string reg = portal.Url("/register");
  Open("<iframe src='" + ads.Url("/ad") +
       "' style='display:block;border:0;width:200px;height:100px'></iframe>"
       "<div style='width:700px;height:300px' onclick=\"setTimeout(function () { window.open('" +
       reg + "'); }, 300)\"></div>");
  Settle(1000);
  ClickPage(300, 250);
  ASSERT_TRUE(WaitFor([&] { return !webtest::ReadFile(webtest::BrowserLog()).empty(); }, 10000));
  Settle(1000);
  EXPECT_EQ(webtest::ReadFile(webtest::BrowserLog()), reg + "\n");
  ExpectUntouched();
}

// "Register" links with a blank target open in the user's browser; other addresses nowhere.
TEST_F(HostilePage, NewWindowsOfTheLoginPageGoToTheDefaultBrowser) {
  webtest::InstallFakeBrowser();
  const std::string reg = ads.Url("/register");
  Open("<a target='_blank' href='" + reg +
       "' style='display:block;width:300px;height:100px'>"
       "register</a><a target='_blank' href='file:///etc/hostname' style='display:block;"
       "width:300px;height:100px'>file</a>");
  ClickPage(150, 150);
  Settle(300);
  ClickPage(150, 50);
  ASSERT_TRUE(WaitFor([&] { return !webtest::ReadFile(webtest::BrowserLog()).empty(); }, 10000));
  Settle(500);
  EXPECT_EQ(webtest::ReadFile(webtest::BrowserLog()), reg + "\n");
  ExpectUntouched();
}

TEST_F(HostilePage, AFailedLinkLeavesTheLoginPage) {
  std::string refused;
  {
    LoopbackServer gone;
    refused = gone.Url("/register");
  }
  Open("<a id='r' href='" + refused + "'>register</a>");
  Eval("document.getElementById('r').click(); 0");
  ASSERT_TRUE(WaitFor([&] { return Logged("the shown page stays") == 1; }, 10000));
  Settle(300);
  ExpectUntouched();
  EXPECT_EQ(Eval("document.getElementById('r') ? 'login' : 'gone'"), "login");
}

// The page's web process crashing: the page is loaded again; crashing again within a minute,
// a notice stands in its place. The client itself stays.
TEST_F(HostilePage, ACrashedWebProcessReloadsOnceThenShowsANotice) {
  Open("<p id='p'>login</p>");
  auto crash = [] {
    const std::vector<pid_t> processes = WebProcesses();
    ASSERT_FALSE(processes.empty());
    // SIGKILL: a SIGSEGV sent with kill() is taken by the script engine's own fault handler,
    // which lets the process go on; the view cannot tell one death from the other.
    for (pid_t p : processes) kill(p, SIGKILL);
  };
  crash();
  ASSERT_TRUE(WaitFor([&] { return Logged("web process crashed, reloading") == 1; }, 15000));
  ASSERT_TRUE(WaitFor([] { return Eval("document.getElementById('p') ? 1 : 0") == "1"; }, 15000));
  crash();
  ASSERT_TRUE(WaitFor(
      [] { return Eval("document.body.innerText").find("已停止加载") != std::string::npos; },
      15000));
  Settle(500);
  EXPECT_EQ(Logged("web process crashed, reloading"), 1) << "not reloaded in a loop";
  EXPECT_EQ(Logged("web process crashed again"), 1);
  EXPECT_TRUE(FormSlot<LoginFrm>::IsLoaded());
  EXPECT_TRUE(IsWindowVisible(FormSlot<LoginBgFrm>::Get().hWnd()));
}

// ---- The login page's first load ----------------------------------------------------------
//
// Each way it can fail ends the client with the one notice; run in a child process, since the
// client ends its process.

struct FirstLoad {
  const char* name;
  // Sets the login page's address up (through the base address) on `server`.
  std::function<std::string(LoopbackServer& server)> prepare;
};

void PrintTo(const FirstLoad& way, std::ostream* os) {
  *os << way.name;
}

class FirstLoadFailure : public ::testing::TestWithParam<FirstLoad> {};

void Respond(LoopbackServer& server, int status, const std::string& body) {
  server.Route(kLoginPath, [status, body](const Request&, Connection& c) {
    c.SendResponse(status, {{"Content-Type", "text/html"}}, body);
  });
}

// The child: the login window against the prepared server, until the client ends itself.
[[noreturn]] void LoadLoginWindow(const FirstLoad& way) {
  static int argc = 1;
  static char arg0[] = "gui_tests";
  static char* args[] = {arg0, nullptr};
  static char** argv = args;
  InitToolkit(argc, argv);
  LoopbackServer server;
  ::setenv(kBaseUrlVariable, way.prepare(server).c_str(), 1);
  LoginFrm::StallTimeoutMs = 3000;
  SetMessageBoxResponder([](const MessageBoxRequest& r) {
    std::fprintf(stderr, "box: %s\n", r.text.c_str());
    return IDOK;
  });
  FormSlot<LoginFrm>::Get();
  WaitFor([] { return false; }, 20000);
  std::fprintf(stderr, "still running\n");
  std::exit(3);
}

TEST_P(FirstLoadFailure, EndsWithTheNotice) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(LoadLoginWindow(GetParam()), ::testing::ExitedWithCode(6),
              "box: 未能连接到服务器，请检查网络连接是否正常！");
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, FirstLoadFailure,
    ::testing::Values(
        FirstLoad{"Refused",
                  [](LoopbackServer&) {
                    LoopbackServer gone;
                    return gone.BaseUrl();
                  }},
        FirstLoad{"Reset",
                  [](LoopbackServer& s) {
                    s.Route(kLoginPath, [](const Request&, Connection& c) { c.Reset(); });
                    return s.BaseUrl();
                  }},
        FirstLoad{"Timeout",
                  [](LoopbackServer& s) {
                    s.Route(kLoginPath, [](const Request&, Connection& c) {
                      c.Pause(std::chrono::seconds(8));
                    });
                    return s.BaseUrl();
                  }},
        FirstLoad{"UnknownHost",
                  [](LoopbackServer&) { return std::string("http://login.invalid"); }},
        FirstLoad{"TlsError",
                  [](LoopbackServer& s) {
                    Respond(s, 200, Page("login"));
                    return "https://127.0.0.1:" + std::to_string(s.Port());
                  }},
        FirstLoad{"NotFound",
                  [](LoopbackServer& s) {
                    Respond(s, 404, Page("<h1>Not Found</h1>"));
                    return s.BaseUrl();
                  }},
        FirstLoad{"ServerError",
                  [](LoopbackServer& s) {
                    Respond(s, 503, Page("<h1>Busy</h1>"));
                    return s.BaseUrl();
                  }},
        FirstLoad{"EmptyBody",
                  [](LoopbackServer& s) {
                    Respond(s, 200, "");
                    return s.BaseUrl();
                  }},
        FirstLoad{"NoContent",
                  [](LoopbackServer& s) {
                    Respond(s, 200, "<html><head><title>x</title></head><body>  </body></html>");
                    return s.BaseUrl();
                  }}),
    [](const ::testing::TestParamInfo<FirstLoad>& info) { return std::string(info.param.name); });

}  // namespace
