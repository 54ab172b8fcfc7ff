// The main window's keys pressed for real (xdotool) while a game page has the keyboard focus:
// the window's chords reach the window before the page, every other key reaches the page, and
// nothing is taken while the exit question is up.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "LoopbackServer.h"
#include "MainWindow.h"
#include "WebTestSupport.h"
#include "WebViewGtk.h"
#include "WindowTestSupport.h"
#include "common/Settings.h"
#include "mainwin/MainKeys.h"
#include "mainwin/MsgFrm.h"
#include "mainwin/SiteZoom.h"
#include "mainwin/WebMainFrm.h"
#include "mainwin/WebUrl.h"
#include "platform/desktop/MessageBox.h"
#include "platform/system/Files.h"
#include "platform/window/Form.h"

using namespace platform;
using namespace wintest;
using testsupport::ClickOn;
using testsupport::WhenAsked;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

// Every key the page hears is reported to the server as /key?k=<key>&c=<ctrl>.
std::string GamePage(int n) {
  return "<!DOCTYPE html><html><head><title>区 " + std::to_string(n) +
         "</title></head><body style='margin:0;height:100vh'>game<script>"
         "addEventListener('keydown', e => fetch('/key?k=' + e.key + '&c=' + e.ctrlKey));"
         "</script></body></html>";
}

class MainWindowKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    PointerAway();
    ::setenv(kBaseUrlVariable, server.BaseUrl().c_str(), 1);
    for (int n = 1; n <= 3; ++n) {
      server.Route("/play/" + std::to_string(n), [n](const testsupport::Request&,
                                                     testsupport::Connection& c) {
        c.SendResponse(
            200, {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-store"}},
            GamePage(n));
      });
    }
    server.Route("/key", [](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(204, {}, "");
    });
    SetMessageBoxResponder([](const MessageBoxRequest&) { return IDNO; });
    FormRuntime::SetLastFormUnloadedHandler([] {});
  }
  void TearDown() override {
    testsupport::UnloadMainWindow();
    DoEvents();
    SetMessageBoxResponder({});
    ::unsetenv(kBaseUrlVariable);
  }

  int Requests(const std::string& target) const {
    int n = 0;
    for (const auto& r : server.Requests()) n += r.target == target;
    return n;
  }

  testsupport::LoopbackServer server;
};

TEST(MainKeyTable, OnlyChordsAndFunctionKeysAreTheWindows) {
  struct Row {
    WPARAM vk;
    LPARAM flags;
    MainKeyCommand expected;
  };
  const Row rows[] = {
      {VK_F5, 0, {MainKey::Refresh}},
      {'R', KP_CONTROL, {MainKey::Refresh}},
      {VK_TAB, KP_CONTROL, {MainKey::NextTab}},
      {VK_TAB, KP_CONTROL | KP_SHIFT, {MainKey::PreviousTab}},
      {'1', KP_CONTROL, {MainKey::TabAt, 1}},
      {'9', KP_CONTROL, {MainKey::TabAt, 9}},
      {'W', KP_CONTROL, {MainKey::CloseTab}},
      {VK_F11, 0, {MainKey::FullScreen}},
      {VK_OEM_PLUS, KP_CONTROL | KP_SHIFT, {MainKey::ZoomIn}},
      {VK_ADD, KP_CONTROL, {MainKey::ZoomIn}},
      {VK_OEM_MINUS, KP_CONTROL, {MainKey::ZoomOut}},
      {'0', KP_CONTROL, {MainKey::ZoomReset}},
      {'S', KP_CONTROL | KP_SHIFT, {MainKey::Screenshot}},
      // The game's keys: letters, arrows, Tab, Escape, digits, also with Shift.
      {'R', 0, {}},
      {'W', KP_SHIFT, {}},
      {VK_TAB, 0, {}},
      {VK_LEFT, 0, {}},
      {VK_ESCAPE, 0, {}},
      {'1', 0, {}},
      {'S', KP_CONTROL, {}},
      // Other chords stay the page's or the desktop's.
      {'R', KP_CONTROL | KP_ALT, {}},
      {'1', KP_CONTROL | KP_SHIFT, {}},
      {VK_F5, KP_CONTROL, {}},
      {VK_F11, KP_ALT, {}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.expected, MainKeyFor(r.vk, r.flags)) << "vk " << r.vk << " flags " << r.flags;
  }
}

TEST_F(MainWindowKeys, ChordsReachTheWindowThroughAFocusedPageAndOtherKeysThePage) {
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  for (int n = 1; n <= 3; ++n) m.SetURL(server.Url("/play/" + std::to_string(n)));
  m.Show();
  CTabItems& items = m.WebuTab().TabItems();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(m.hWnd()) && items.Count() == 3; }));
  ASSERT_TRUE(WaitFor([&] { return server.Requests().size() >= 3; }, 15000));
  Settle(500);
  // The selected (last) page takes the keyboard focus with a click.
  ClickOn(m.pCnt());
  Settle(300);
  ASSERT_EQ(2, items.Selected());
  Xdotool("key a Left");
  ASSERT_TRUE(WaitFor([&] { return Requests("/key?k=a&c=false") == 1; }));
  EXPECT_TRUE(WaitFor([&] { return Requests("/key?k=ArrowLeft&c=false") == 1; }));
  // A chord the window does nothing with (no fourth tab) is the page's.
  Xdotool("key ctrl+4");
  EXPECT_TRUE(WaitFor([&] { return Requests("/key?k=4&c=true") == 1; }));
  EXPECT_EQ(2, items.Selected());

  struct Step {
    const char* keys;
    int selected;
  };
  const Step steps[] = {{"ctrl+Tab", 0},       {"ctrl+Tab", 1}, {"ctrl+shift+Tab", 0},
                        {"ctrl+shift+Tab", 2}, {"ctrl+1", 0},   {"ctrl+9", 2},
                        {"ctrl+2", 1},         {"ctrl+8", 1}};
  for (const Step& s : steps) {
    Xdotool(std::string("key ") + s.keys);
    EXPECT_TRUE(WaitFor([&] { return items.Selected() == s.selected; })) << s.keys;
  }
  // The selected page has the keys after a key changed the selection, and a chord the window
  // does nothing with (no eighth tab) is the page's.
  EXPECT_TRUE(WaitFor([&] { return Requests("/key?k=8&c=true") == 1; }));
  Xdotool("key b");
  EXPECT_TRUE(WaitFor([&] { return Requests("/key?k=b&c=false") == 1; }));
  // F5 and Ctrl+R load the selected page again.
  const std::string second = "/play/2";
  auto loads = [&] {
    int n = 0;
    for (const auto& q : server.Requests()) n += q.path == second;
    return n;
  };
  const int before = loads();
  Xdotool("key F5");
  EXPECT_TRUE(WaitFor([&] { return loads() == before + 1; }));
  Xdotool("key ctrl+r");
  EXPECT_TRUE(WaitFor([&] { return loads() == before + 2; }));
  // Ctrl+W closes the selected tab; the page never heard a chord of the window.
  Xdotool("key ctrl+w");
  EXPECT_TRUE(WaitFor([&] { return items.Count() == 2; }));
  Settle(300);
  for (const auto& q : server.Requests()) {
    const bool pages = q.target.find("k=Control") != std::string::npos ||
                       q.target.find("k=Shift") != std::string::npos ||
                       q.target.starts_with("/key?k=4&") || q.target.starts_with("/key?k=8&");
    if (!pages) EXPECT_EQ(std::string::npos, q.target.find("c=true")) << q.target;
  }

  // While the exit question is up, the keys are not the window's; on the last tab Ctrl+W asks
  // that question, as the tab's close box does.
  int countSeen = 0, selectedSeen = -1;
  const int selected = items.Selected();
  WhenAsked([&] {
    Xdotool("key ctrl+Tab ctrl+w F5");
    Settle(500);
    countSeen = items.Count();
    selectedSeen = items.Selected();
    ClickOn(FormSlot<MsgFrm>::Get().iButton2().hWnd());
  });
  ClickOn(m.web_close().hWnd());
  ASSERT_TRUE(WaitFor([&] { return m.ExitQuestions() == 1 && !FormSlot<MsgFrm>::IsLoaded(); }));
  EXPECT_EQ(2, countSeen);
  EXPECT_EQ(selected, selectedSeen);
  Xdotool("key ctrl+w");
  ASSERT_TRUE(WaitFor([&] { return items.Count() == 1; }));
  WhenAsked([] { ClickOn(FormSlot<MsgFrm>::Get().iButton2().hWnd()); });
  Xdotool("key ctrl+w");
  ASSERT_TRUE(WaitFor([&] { return m.ExitQuestions() == 2 && !FormSlot<MsgFrm>::IsLoaded(); }));
  EXPECT_EQ(1, items.Count());
  EXPECT_TRUE(IsWindowVisible(m.hWnd()));
}

TEST(SiteZoomRules, StepsSitesAndTheFile) {
  const int steps[][3] = {{100, 1, 110}, {100, -1, 90},  {300, 1, 300}, {50, -1, 50},
                          {105, 1, 110}, {105, -1, 100}, {250, 0, 100}};
  for (const auto& s : steps) EXPECT_EQ(s[2], sitezoom::Step(s[0], s[1])) << s[0] << " " << s[1];
  const std::pair<const char*, const char*> sites[] = {
      {"http://127.0.0.1:8080/play/1", "127.0.0.1"},
      {"HTTPS://Game.Example.COM/x?y#z", "game.example.com"},
      {"https://user@host.example:443", "host.example"},
      {"http://[::1]:80/", "[::1]"},
      {"about:blank", ""},
      {"file:///etc/passwd", ""}};
  for (const auto& [url, site] : sites) EXPECT_EQ(site, sitezoom::SiteOf(url)) << url;
  EXPECT_EQ((std::map<std::string, int>{{"a.example", 125}, {"b.example", 50}}),
            sitezoom::Parse("a.example 125\nnonsense\nc.example 900\nb.example 50\nd 1x\n"));
  EXPECT_EQ("a 75\nb 200\n", sitezoom::Format({{"b", 200}, {"a", 75}}));
}

TEST_F(MainWindowKeys, ZoomKeysZoomEveryPageOfTheSiteAndTheLevelIsKept) {
  WebMainFrm* m = &FormSlot<WebMainFrm>::Get();
  for (int n = 1; n <= 2; ++n) m->SetURL(server.Url("/play/" + std::to_string(n)));
  m->Show();
  auto zoomOf = [&](int tab) {
    auto* page = dynamic_cast<WebUrl*>(m->WebuTab().TabItems().Item(Variant(tab))->Form().get());
    GtkWidget* view = page != nullptr && page->Browser() != nullptr
                          ? WebBrowserEngineWidget(*page->Browser())
                          : nullptr;
    return view != nullptr ? webkit_web_view_get_zoom_level(WEBKIT_WEB_VIEW(view)) : -1.0;
  };
  ASSERT_TRUE(WaitFor([&] { return server.Requests().size() >= 2; }, 15000));
  Settle(500);
  ClickOn(m->pCnt());
  Settle(300);
  struct Step {
    const char* keys;
    double zoom;
  };
  const Step steps[] = {{"ctrl+equal", 1.1}, {"ctrl+minus", 1.0}, {"ctrl+minus", 0.9},
                        {"ctrl+0", 1.0},     {"ctrl+plus", 1.1},  {"ctrl+KP_Add", 1.25},
                        {"ctrl+plus", 1.5},  {"ctrl+minus", 1.25}};
  for (const Step& s : steps) {
    Xdotool(std::string("key ") + s.keys);
    EXPECT_TRUE(WaitFor([&] {
      return std::abs(zoomOf(0) - s.zoom) < 0.001 && std::abs(zoomOf(1) - s.zoom) < 0.001;
    })) << s.keys
        << ": " << zoomOf(0) << " " << zoomOf(1);
  }
  // The wheel with Ctrl over the page zooms too (and does not scroll it).
  for (const auto& [button, zoom] : {std::pair{"4", 1.5}, {"5", 1.25}}) {
    Xdotool(std::string("keydown ctrl click ") + button + " keyup ctrl");
    EXPECT_TRUE(WaitFor([&] { return std::abs(zoomOf(0) - zoom) < 0.001; })) << button;
  }
  EXPECT_EQ("缩放 125%", m->LastNotice());
  EXPECT_EQ("127.0.0.1 125\n",
            webtest::ReadFile(platform::UserStateDir() + "/" + GameId + "/zoom"));
  // A new window's page of the site comes at the kept level from its first layout on: it
  // measures itself at that level, and no resize follows.
  m->m_bExit = true;
  FormSlot<WebMainFrm>::Unload();
  DoEvents();
  server.Route("/sized", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}},
                   "<!DOCTYPE html><html><head><script>"
                   "fetch('/width?first=' + innerWidth);"
                   "addEventListener('resize', () => fetch('/width?resized=' + innerWidth));"
                   "</script></head><body></body></html>");
  });
  server.Route("/width", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendResponse(204, {}, "");
  });
  m = &FormSlot<WebMainFrm>::Get();
  m->Show();
  ASSERT_TRUE(WaitFor([&] {
    RECT r;
    return GetWindowRect(m->hWnd(), &r) && r == GetWorkArea();
  }));
  Settle(500);
  m->SetURL(server.Url("/sized"));
  auto widths = [&](const std::string& kind) {
    std::vector<int> seen;
    for (const auto& r : server.Requests()) {
      if (r.target.starts_with("/width?" + kind + "=")) {
        seen.push_back(std::atoi(r.target.c_str() + 8 + kind.size()));
      }
    }
    return seen;
  };
  ASSERT_TRUE(WaitFor([&] { return !widths("first").empty(); }, 15000));
  Settle(1500);
  EXPECT_TRUE(std::abs(zoomOf(0) - 1.25) < 0.001) << zoomOf(0);
  auto* page = dynamic_cast<WebUrl*>(m->WebuTab().TabItems().Item(Variant(0))->Form().get());
  const int viewWidth = gtk_widget_get_allocated_width(WebBrowserEngineWidget(*page->Browser()));
  EXPECT_NEAR(viewWidth / 1.25, widths("first").front(), 20) << "the view is " << viewWidth;
  EXPECT_TRUE(widths("resized").empty()) << widths("resized").front();
}

TEST_F(MainWindowKeys, F11ShowsOnlyThePageOnTheWholeScreenAndReturnsToTheSamePlace) {
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  m.SetURL(server.Url("/play/1"));
  m.Show();
  auto rect = [](HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return r;
  };
  ASSERT_TRUE(WaitFor([&] { return rect(m.hWnd()) == GetWorkArea(); }));
  ASSERT_TRUE(WaitFor([&] { return !server.Requests().empty(); }, 15000));
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  // The page's container covers the strip's lowest rows: there the white page shows, never the
  // strip's blue, also after full screen (the window's controls are shown again then).
  auto bandIsPage = [&] {
    const RECT s = rect(m.WebuTab().hWnd());
    const RECT c = rect(m.pCnt());
    EXPECT_LT(c.top, s.bottom);
    return WaitForScreen(s.left, c.top, s.Width(), s.bottom - c.top, [](const Image& band) {
      for (int y = 0; y < band.Height(); ++y) {
        for (int x = 0; x < band.Width(); ++x) {
          if (!Near(band.PixelAt(x, y), 0xFFFFFF)) return false;
        }
      }
      return true;
    });
  };
  // Covering the work area, then restored to its own place.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) {
      m.MaxRestoreCommand();
      ASSERT_TRUE(WaitFor([&] { return rect(m.hWnd()) != GetWorkArea(); }));
      Settle(300);
    }
    const RECT before = rect(m.hWnd());
    EXPECT_TRUE(bandIsPage());
    ClickOn(m.pCnt());
    Settle(200);
    Xdotool("key F11");
    EXPECT_TRUE(WaitFor([&] {
      return rect(m.hWnd()) == screen && rect(m.pCnt()) == screen &&
             !IsWindowVisible(m.WebuTab().hWnd()) && !IsWindowVisible(m.web_close().hWnd());
    })) << rect(m.hWnd()).Width()
        << "x" << rect(m.hWnd()).Height();
    EXPECT_TRUE(m.FullScreen());
    EXPECT_EQ("按 F11 退出全屏", m.LastNotice());
    // Escape stays the game's.
    Xdotool("key Escape");
    EXPECT_TRUE(WaitFor([&] { return Requests("/key?k=Escape&c=false") == round + 1; }));
    EXPECT_TRUE(m.FullScreen());
    Xdotool("key F11");
    EXPECT_TRUE(WaitFor([&] {
      return rect(m.hWnd()) == before && IsWindowVisible(m.WebuTab().hWnd()) &&
             IsWindowVisible(m.web_close().hWnd());
    })) << rect(m.hWnd()).left
        << "," << rect(m.hWnd()).top << " " << rect(m.hWnd()).Width() << "x"
        << rect(m.hWnd()).Height();
    EXPECT_FALSE(m.FullScreen());
    EXPECT_TRUE(bandIsPage());
  }
}

TEST_F(MainWindowKeys, CtrlShiftSSavesThePageAsShownOrSaysWhyNot) {
  // Four quarters of different colours, so that a picture shifted or scaled does not match.
  server.Route("/quarters", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}},
                   "<!DOCTYPE html><html><head><title>区/1</title><style>body{margin:0}"
                   "div{position:fixed;width:50vw;height:50vh}</style></head><body>"
                   "<div style='left:0;top:0;background:#c81e1e'></div>"
                   "<div style='left:50vw;top:0;background:#1ec81e'></div>"
                   "<div style='left:0;top:50vh;background:#1e1ec8'></div>"
                   "<div style='left:50vw;top:50vh;background:#c8c81e'></div></body></html>");
  });
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  m.SetURL(server.Url("/quarters"));
  m.Show();
  CTabItems& items = m.WebuTab().TabItems();
  ASSERT_TRUE(WaitFor([&] { return items.Item(Variant(0))->Caption() == "区/1"; }, 15000));
  Settle(800);
  ClickOn(m.pCnt());
  Settle(300);
  Xdotool("key ctrl+shift+s");
  ASSERT_TRUE(WaitFor([&] { return !m.LastNotice().empty(); }, 15000));
  const std::string file = m.LastScreenshot();
  ASSERT_FALSE(file.empty()) << m.LastNotice();
  EXPECT_EQ(platform::UserPicturesDir() + "/" + ClientTitle + "/区_1_",
            file.substr(0, file.rfind('_') + 1));
  EXPECT_NE(std::string::npos, m.LastNotice().find(file));
  GError* error = nullptr;
  GdkPixbuf* shot = gdk_pixbuf_new_from_file(file.c_str(), &error);
  ASSERT_NE(nullptr, shot) << (error != nullptr ? error->message : "");
  auto* page = dynamic_cast<WebUrl*>(items.Item(Variant(0))->Form().get());
  GtkWidget* view = WebBrowserEngineWidget(*page->Browser());
  EXPECT_EQ(gtk_widget_get_allocated_width(view), gdk_pixbuf_get_width(shot));
  EXPECT_EQ(gtk_widget_get_allocated_height(view), gdk_pixbuf_get_height(shot));
  // Each quarter's middle, in the file and on the screen.
  int x0 = 0, y0 = 0;
  gdk_window_get_origin(gtk_widget_get_window(view), &x0, &y0);
  GtkAllocation a;
  gtk_widget_get_allocation(view, &a);
  const int w = gdk_pixbuf_get_width(shot), h = gdk_pixbuf_get_height(shot);
  const guchar* px = gdk_pixbuf_get_pixels(shot);
  const int stride = gdk_pixbuf_get_rowstride(shot), n = gdk_pixbuf_get_n_channels(shot);
  for (const auto& [fx, fy] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}}) {
    const int x = w * fx / 4, y = h * fy / 4;
    const guchar* p = px + y * stride + x * n;
    const std::uint32_t inFile = (p[0] << 16) | (p[1] << 8) | p[2];
    const Image screen = Screenshot(x0 + a.x + x, y0 + a.y + y, 1, 1);
    EXPECT_TRUE(Near(screen.PixelAt(0, 0), inFile))
        << fx << "," << fy << std::hex << " file " << inFile << " screen " << screen.PixelAt(0, 0);
  }
  g_object_unref(shot);

  // No folder to be had: the notification says so, and nothing is written.
  std::filesystem::remove_all(platform::UserPicturesDir() + "/" + ClientTitle);
  std::ofstream(platform::UserPicturesDir() + "/" + ClientTitle) << "in the way";
  Xdotool("key ctrl+shift+s");
  ASSERT_TRUE(WaitFor([&] { return m.LastScreenshot().empty(); }, 15000));
  EXPECT_TRUE(m.LastNotice().starts_with("截图未能保存")) << m.LastNotice();
}

}  // namespace
