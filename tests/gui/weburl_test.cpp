// The browser tab page against a loopback server, hosted by a real tab strip: what it loads,
// its caption, its scroll bars, its layout, and where new-window requests go (a recording
// default browser set up in this process's private XDG directories).

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackServer.h"
#include "WebViewGtk.h"
#include "WebTestSupport.h"
#include "WindowTestSupport.h"
#include "controls/PropertyBag.h"
#include "mainwin/WebUrl.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/uTab.h"

using webtest::BrowserLog;
using webtest::InstallFakeBrowser;
using webtest::ReadFile;
using namespace wintest;
using testsupport::Connection;
using testsupport::LoopbackServer;
using testsupport::Request;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

int VisibleToplevels() {
  GList* list = gtk_window_list_toplevels();
  int n = 0;
  for (GList* l = list; l != nullptr; l = l->next) n += gtk_widget_get_visible(GTK_WIDGET(l->data)) ? 1 : 0;
  g_list_free(list);
  return n;
}

// Records the address of every load the engine starts, in every view.
class NavigationLog {
 public:
  NavigationLog() {
    // The class must exist for its signals to be found, even before the first view.
    m_class = g_type_class_ref(WEBKIT_TYPE_WEB_VIEW);
    m_id = g_signal_lookup("load-changed", WEBKIT_TYPE_WEB_VIEW);
    m_hook = g_signal_add_emission_hook(m_id, 0, &NavigationLog::Hook, this, nullptr);
  }
  ~NavigationLog() {
    g_signal_remove_emission_hook(m_id, m_hook);
    g_type_class_unref(m_class);
  }
  NavigationLog(const NavigationLog&) = delete;
  NavigationLog& operator=(const NavigationLog&) = delete;
  std::vector<std::string> uris;

 private:
  static gboolean Hook(GSignalInvocationHint*, guint n, const GValue* values, gpointer data) {
    if (n < 2 || g_value_get_enum(&values[1]) != WEBKIT_LOAD_STARTED) return TRUE;
    const gchar* uri = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(g_value_get_object(&values[0])));
    static_cast<NavigationLog*>(data)->uris.emplace_back(uri != nullptr ? uri : "");
    return TRUE;
  }
  gpointer m_class = nullptr;
  guint m_id = 0;
  gulong m_hook = 0;
};

class WebUrlPage : public ::testing::Test {
 protected:
  void SetUp() override {
    form = TopLevel(rec, 40, 40, 640, 480);
    container = Child(rec, form, 0, 32, 640, 448);
    controls::PropertyBag design;
    design.WriteProperty("TabStyle", 1);
    design.WriteProperty("TabLeftSize", 10);
    uTabCreateArgs args;
    args.parent = form;
    args.width = 640;
    args.properties = &design;
    strip = std::make_unique<uTab>(args);
    strip->hContainerWnd(container);
    strip->LockReDraw(false);
    ShowAndWait(rec, form);
  }
  void TearDown() override {
    strip.reset();
    if (IsWindow(form)) DestroyWindow(form);
    DoEvents();
  }

  void Serve(const std::string& path, const std::string& html) {
    server.Route(path, [html](const Request&, Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}}, html);
    });
  }

  // Opens a tab as the main window does: a new page, OpenURL, added, selected.
  std::shared_ptr<WebUrl> Open(const std::string& url) {
    std::shared_ptr<WebUrl> page = WebUrl::Create();
    page->OpenURL(url);
    strip->TabItems().Add("Game" + url, page, Variant("Game" + url));
    strip->TabItems().Selected(strip->TabItems().Count() - 1);
    return page;
  }

  static bool Until(const std::function<bool()>& done, int seconds = 30) {
    return WaitFor(done, seconds * 1000);
  }

  static WebKitWebView* View(const WebUrl& page) {
    return WEBKIT_WEB_VIEW(platform::WebBrowserEngineWidget(*page.Browser()));
  }

  // Runs script in the page; returns its value as text.
  static std::string Eval(const WebUrl& page, const std::string& script) {
    const std::string value = webtest::Eval(View(page), script);
    EXPECT_NE(value, "timeout") << script;
    return value;
  }

  static std::string Caption(const WebUrl& page) {
    const std::shared_ptr<CTabItem> item = page.Item();
    return item ? item->Caption() : "<no item>";
  }

  LoopbackServer server;
  Recorder rec;
  HWND form = 0;
  HWND container = 0;
  std::unique_ptr<uTab> strip;
};

TEST(WebUrlNewWindow, OnlyWebAddresses) {
  EXPECT_TRUE(OpensInDefaultBrowser("http://example.com/"));
  EXPECT_TRUE(OpensInDefaultBrowser("HTTPS://example.com/a?b"));
  EXPECT_FALSE(OpensInDefaultBrowser("file:///etc/passwd"));
  EXPECT_FALSE(OpensInDefaultBrowser("javascript:alert(1)"));
  EXPECT_FALSE(OpensInDefaultBrowser("data:text/html,hi"));
  EXPECT_FALSE(OpensInDefaultBrowser("game-client:run"));
  EXPECT_FALSE(OpensInDefaultBrowser("/usr/bin/xterm"));
  EXPECT_FALSE(OpensInDefaultBrowser("http:"));
  EXPECT_FALSE(OpensInDefaultBrowser(""));
}

TEST_F(WebUrlPage, AboutBlankThenTheAddress) {
  Serve("/game", "<html><head><title>Game one</title></head><body>one</body></html>");
  NavigationLog navigations;
  std::shared_ptr<WebUrl> page = WebUrl::Create();
  strip->TabItems().Add("Game", page);
  strip->TabItems().Selected(0);
  // Loaded on creation: the browser is asked for about:blank before anything else.
  ASSERT_TRUE(Until([&] { return !navigations.uris.empty(); }));
  EXPECT_EQ("about:blank", navigations.uris.front());
  page->OpenURL(server.Url("/game"));
  ASSERT_TRUE(Until([&] { return Caption(*page) == "Game one"; })) << Caption(*page);
  EXPECT_EQ(server.Url("/game"), navigations.uris.back());
  // Reloading a page that still shows about:blank reloads about:blank.
  std::shared_ptr<WebUrl> blank = WebUrl::Create();
  strip->TabItems().Add("blank", blank);
  strip->TabItems().Selected(1);
  ASSERT_TRUE(Until([&] { return navigations.uris.size() >= 3; }));
  blank->RefreshPage();
  ASSERT_TRUE(Until([&] { return navigations.uris.size() >= 4; }));
  EXPECT_EQ("about:blank", navigations.uris.back());
}

TEST_F(WebUrlPage, TheTitleBecomesTheCaption) {
  Serve("/a", "<html><head><title>天空 Talmar</title></head><body>a</body></html>");
  Serve("/untitled", "<html><body>no title</body></html>");
  std::shared_ptr<WebUrl> page = Open(server.Url("/a"));
  EXPECT_EQ("Game" + server.Url("/a"), Caption(*page));  // until the title is known
  ASSERT_TRUE(Until([&] { return Caption(*page) == "天空 Talmar"; })) << Caption(*page);
  // An empty title gives an empty caption.
  page->OpenURL(server.Url("/untitled"));
  ASSERT_TRUE(Until([&] { return Caption(*page).empty(); })) << Caption(*page);
}

TEST_F(WebUrlPage, ScrollBarsAreOffAfterEveryDocument) {
  Serve("/long", "<html><head><title>long</title></head><body style='height:5000px'>long</body></html>");
  std::shared_ptr<WebUrl> page = Open(server.Url("/long"));
  ASSERT_TRUE(Until([&] { return Caption(*page) == "long"; }));
  ASSERT_TRUE(Until([&] { return Eval(*page, "document.documentElement.style.overflow") == "hidden"; }));
  // A page that turns them back on loses them again at its next completed document.
  Eval(*page, "document.documentElement.style.overflow = 'scroll'");
  page->RefreshPage();
  ASSERT_TRUE(Until([&] { return Eval(*page, "document.documentElement.style.overflow") == "hidden"; }));
  EXPECT_TRUE(page->Browser()->Silent());
}

TEST_F(WebUrlPage, FillsTheContainerAndTheBrowserOverhangsBy2) {
  Serve("/p", "<html><head><title>p</title></head><body>p</body></html>");
  std::shared_ptr<WebUrl> page = Open(server.Url("/p"));
  RECT r;
  GetWindowRect(page->hWnd(), &r);
  RECT c;
  GetWindowRect(container, &c);
  EXPECT_EQ(c, r);
  RECT box;
  GetWindowRect(page->Picture1(), &box);
  EXPECT_EQ(c, box);
  RECT wb;
  GetWindowRect(page->BrowserWindow(), &wb);
  EXPECT_EQ((RECT{c.left - 2, c.top - 2, c.right + 2, c.bottom + 2}), wb);
  // The container resized: the page, its box and the browser follow.
  SetWindowPos(container, 0, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  GetWindowRect(page->BrowserWindow(), &wb);
  EXPECT_EQ(304, wb.Width());
  EXPECT_EQ(204, wb.Height());
  // A page of 0 x 0 holds a browser of 4 x 4 at (-2, -2).
  SetWindowPos(page->hWnd(), 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
  GetWindowRect(page->BrowserWindow(), &wb);
  GetWindowRect(page->Picture1(), &box);
  EXPECT_EQ((RECT{box.left - 2, box.top - 2, box.left + 2, box.top + 2}), wb);
}

TEST_F(WebUrlPage, NewWindowsGoToTheDefaultBrowserOnlyForWebAddresses) {
  InstallFakeBrowser();
  const std::string target = server.Url("/target");
  const std::string popup = server.Url("/popup");
  Serve("/links", "<html><head><title>links</title></head><body style='margin:0'>"
                  "<a id='a' href='" + target + "' target='_blank' style='display:block;"
                  "width:300px;height:200px;background:#0a0'>link</a></body></html>");
  Serve("/target", "<html><body>target</body></html>");
  std::shared_ptr<WebUrl> page = Open(server.Url("/links"));
  ASSERT_TRUE(Until([&] { return Caption(*page) == "links"; }));
  const int windows = VisibleToplevels();

  // A link with a new-window target, clicked for real.
  POINT p{100, 100};
  ClientToScreen(container, &p);
  PointerAway();
  Xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y));
  Xdotool("click 1");
  ASSERT_TRUE(Until([&] { return ReadFile(BrowserLog()).find(target) != std::string::npos; }))
      << ReadFile(BrowserLog());

  // Scripts without a press of the user's reach nothing; the last one is the barrier.
  Eval(*page, "window.open('file:///etc/hostname'); window.open('javascript:void(0)');"
              "window.open('data:text/html,hi'); window.open('game-client:run'); 'ok'");
  Eval(*page, "window.open('" + popup + "'); 'ok'");
  Settle(300);
  EXPECT_EQ(target + "\n", ReadFile(BrowserLog()));

  // The page stays where it was and no window opened in the client.
  EXPECT_EQ(server.Url("/links"), page->Browser()->LocationURL());
  EXPECT_EQ(windows, VisibleToplevels());
  int targetRequests = 0;
  for (const Request& r : server.Requests()) targetRequests += r.path == "/target" ? 1 : 0;
  EXPECT_EQ(0, targetRequests);
}

TEST_F(WebUrlPage, UnloadedWhileItsTabIsRemoved) {
  Serve("/u", "<html><head><title>u</title></head><body>u</body></html>");
  std::shared_ptr<WebUrl> first = Open(server.Url("/u"));
  std::shared_ptr<WebUrl> second = Open(server.Url("/u?2"));
  ASSERT_TRUE(Until([&] { return Caption(*second) == "u"; }));
  strip->OnItemColose = [&](std::int32_t, bool&) { second->Unload(); };
  EXPECT_TRUE(strip->TabItems().Remove(Variant(1), true));
  EXPECT_FALSE(second->Loaded());
  EXPECT_EQ(nullptr, second->Browser());
  EXPECT_FALSE(IsWindow(second->hWnd()));
  EXPECT_EQ(nullptr, second->Item());  // the item is gone with the tab
  second.reset();
  Settle(200);
  EXPECT_EQ(1, strip->TabItems().Count());
}

TEST_F(WebUrlPage, APageThatClosesItself) {
  Serve("/c", "<html><head><title>c</title></head><body>c</body></html>");
  std::shared_ptr<WebUrl> page = Open(server.Url("/c"));
  std::shared_ptr<WebUrl> other = Open(server.Url("/c?other"));
  ASSERT_TRUE(Until([&] { return Caption(*page) == "c"; }));
  const HWND h = page->hWnd();
  // The window system asks the page to close: it unloads, its tab stays with a dead page.
  SendMessage(h, WM_CLOSE, 0, 0);
  EXPECT_FALSE(page->Loaded());
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(h, page->hWnd());
  page.reset();
  strip->Selected(0);
  strip->RefreshPage();
  SetWindowPos(container, 0, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(strip->TabItems().Remove(Variant(0), true));
  EXPECT_EQ(1, strip->TabItems().Count());
  Settle(200);
}

}  // namespace
