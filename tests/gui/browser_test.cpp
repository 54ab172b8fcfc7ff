// The embedded web-browser view against a loopback HTTP server, on a real display.

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "LoopbackServer.h"
#include "MainLoop.h"
#include "WebTestSupport.h"
#include "WebViewGtk.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/webhost/WebData.h"
#include "platform/webhost/detail/WebEngine.h"

using platform::WebBrowser;
using testsupport::Connection;
using testsupport::LoopbackServer;
using testsupport::Request;

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

void ServeHtml(LoopbackServer& server, const std::string& path, std::string html,
               testsupport::Headers extra = {}) {
  server.Route(path, [html, extra](const Request&, Connection& c) {
    testsupport::Headers headers = {{"Content-Type", "text/html; charset=utf-8"}};
    headers.insert(headers.end(), extra.begin(), extra.end());
    c.SendResponse(200, headers, html);
  });
}

int VisibleToplevels() {
  GList* list = gtk_window_list_toplevels();
  int n = 0;
  for (GList* l = list; l != nullptr; l = l->next)
    n += gtk_widget_get_visible(GTK_WIDGET(l->data)) ? 1 : 0;
  g_list_free(list);
  return n;
}

// Counts emissions of a signal of WebKitWebView, whoever handles it (an emission hook runs
// before every handler, so it also sees emissions our view answers itself).
class SignalCounter {
 public:
  explicit SignalCounter(const char* signal) {
    m_id = g_signal_lookup(signal, WEBKIT_TYPE_WEB_VIEW);
    m_hook = g_signal_add_emission_hook(m_id, 0, &SignalCounter::Hook, this, nullptr);
  }
  ~SignalCounter() { g_signal_remove_emission_hook(m_id, m_hook); }
  SignalCounter(const SignalCounter&) = delete;
  SignalCounter& operator=(const SignalCounter&) = delete;
  int count = 0;
  std::vector<int> dialogTypes;

 private:
  static gboolean Hook(GSignalInvocationHint*, guint n, const GValue* values, gpointer data) {
    auto* self = static_cast<SignalCounter*>(data);
    ++self->count;
    if (n >= 2 && G_VALUE_HOLDS_BOXED(&values[1]) &&
        G_VALUE_TYPE(&values[1]) == WEBKIT_TYPE_SCRIPT_DIALOG) {
      auto* dialog = static_cast<WebKitScriptDialog*>(g_value_get_boxed(&values[1]));
      self->dialogTypes.push_back(webkit_script_dialog_get_dialog_type(dialog));
    }
    return TRUE;
  }
  guint m_id = 0;
  gulong m_hook = 0;
};

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display";
    if (const char* data = std::getenv("BROWSER_TEST_DATA_DIR")) {
      platform::WebEngineOptions options;
      options.dataDirectory = data;
      options.cacheDirectory = std::getenv("BROWSER_TEST_CACHE_DIR");
      ASSERT_TRUE(platform::InitWebEngine(options));
    }
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(m_window), kWidth, kHeight);
    m_layout = gtk_layout_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(m_window), m_layout);
    m_browser = MakeBrowser();
    gtk_widget_show_all(m_window);
  }

  void TearDown() override {
    m_browser.reset();
    if (m_window != nullptr) gtk_widget_destroy(m_window);
  }

  // A view with its events recorded in `log`, hosted in the test window at (x, y).
  std::unique_ptr<WebBrowser> MakeBrowser(int x = 0, int y = 0, int w = kWidth, int h = kHeight) {
    auto browser = std::make_unique<WebBrowser>();
    browser->OnBeforeNavigate2([this](const std::string& url, bool& cancel) {
      log.push_back("before:" + url);
      cancel = cancelWhen && cancelWhen(url);
    });
    browser->OnDownloadBegin([this] { log.push_back("begin"); });
    browser->OnTitleChange([this](const std::string& text) { log.push_back("title:" + text); });
    browser->OnDocumentComplete([this](const std::string& url) {
      log.push_back("complete:" + url);
      ++completed;
    });
    browser->OnNewWindow([this](const std::string& url, bool& processed) {
      log.push_back("newwindow:" + url);
      processed = processNewWindows;
    });
    GtkWidget* widget = platform::WebBrowserWidget(*browser);
    gtk_layout_put(GTK_LAYOUT(m_layout), widget, x, y);
    gtk_widget_set_size_request(widget, w, h);
    gtk_widget_show(widget);
    return browser;
  }

  // The engine's view; it exists once the first document has been asked for and the loop ran.
  WebKitWebView* View() const {
    return WEBKIT_WEB_VIEW(platform::WebBrowserEngineWidget(*m_browser));
  }

  // Runs the main loop until `done` holds; false when it did not within the time allowed (a
  // guard against hanging, not a measure of speed).
  static bool Until(const std::function<bool()>& done,
                    std::chrono::seconds limit = std::chrono::seconds(30)) {
    return testsupport::RunUntil(done, limit);
  }

  bool NavigateAndWait(const std::string& url) {
    const int before = completed;
    m_browser->Navigate(url);
    return Until([&] { return completed > before; });
  }

  // Runs script in the page and returns its value as text. Also a barrier: everything the page
  // sent before the answer has been handled when this returns.
  std::string Eval(const std::string& script) {
    const std::string value = webtest::Eval(View(), script);
    EXPECT_NE(value, "timeout") << script;
    return value;
  }

  // A real click of the pointer at (x, y) of the view.
  void ClickView(int x, int y) {
    GtkWidget* widget = GTK_WIDGET(View());
    gint ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(widget), &ox, &oy);
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    if (!gtk_widget_get_has_window(widget)) ox += a.x, oy += a.y;
    const std::string command =
        "xdotool mousemove " + std::to_string(ox + x) + " " + std::to_string(oy + y) + " click 1";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  bool Logged(const std::string& entry) const {
    for (const auto& e : log)
      if (e == entry) return true;
    return false;
  }
  int IndexOf(const std::string& entry) const {
    for (size_t i = 0; i < log.size(); ++i)
      if (log[i] == entry) return static_cast<int>(i);
    return -1;
  }
  std::string Log() const {
    std::string s;
    for (const auto& e : log) s += "  " + e + "\n";
    return s;
  }

  LoopbackServer server;
  std::vector<std::string> log;
  int completed = 0;
  std::function<bool(const std::string&)> cancelWhen;
  bool processNewWindows = true;
  GtkWidget* m_window = nullptr;
  GtkWidget* m_layout = nullptr;
  std::unique_ptr<WebBrowser> m_browser;
};

// ---- Loads and their events ---------------------------------------------------------------------

TEST_F(Browser, NavigateRaisesBeforeBeginTitleThenComplete) {
  ServeHtml(server, "/a",
            "<html><head><title>Page A</title></head><body><p>hello</p></body></html>");
  ServeHtml(server, "/untitled", "<html><body>no title</body></html>");
  const std::string url = server.Url("/a");
  ASSERT_TRUE(NavigateAndWait(url)) << Log();

  const std::vector<std::string> expected = {"before:" + url, "begin", "title:Page A",
                                             "complete:" + url};
  EXPECT_EQ(log, expected) << Log();
  EXPECT_EQ(m_browser->DocumentURL(), url);
  EXPECT_EQ(m_browser->LocationURL(), url);
  EXPECT_NE(m_browser->DocumentElementInnerHTML().find("<p>hello</p>"), std::string::npos);

  // An untitled page clears the caption; the title arrives before its document completes.
  log.clear();
  const std::string untitled = server.Url("/untitled");
  ASSERT_TRUE(NavigateAndWait(untitled)) << Log();
  EXPECT_TRUE(Logged("title:")) << Log();
  EXPECT_LT(IndexOf("title:"), IndexOf("complete:" + untitled)) << Log();
}

// Live pages in other tabs, or a busy machine, can keep the loop from ever coming down to its
// lowest priority; the engine's view is made all the same, within its wait's bound.
TEST_F(Browser, ViewIsMadeWhenTheLoopNeverRestsAtLowPriority) {
  const guint busy = g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE, +[](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr,
      nullptr);
  ServeHtml(server, "/busy", "<html><body>busy</body></html>");
  const bool loaded = NavigateAndWait(server.Url("/busy"));
  g_source_remove(busy);
  EXPECT_TRUE(loaded) << Log();
}

TEST_F(Browser, SnapshotIsReadableInsideDocumentComplete) {
  ServeHtml(server, "/doc", "<html><body><div id=d>content</div></body></html>");
  std::string seenUrl, seenHtml;
  m_browser->OnDocumentComplete([&](const std::string& url) {
    seenUrl = m_browser->DocumentURL();
    seenHtml = m_browser->DocumentElementInnerHTML();
    ++completed;
  });
  ASSERT_TRUE(NavigateAndWait(server.Url("/doc")));
  EXPECT_EQ(seenUrl, server.Url("/doc"));
  EXPECT_NE(seenHtml.find("<div id=\"d\">content</div>"), std::string::npos) << seenHtml;
}

TEST_F(Browser, RefreshLoadsTheDocumentAgain) {
  ServeHtml(server, "/r", "<html><body>r</body></html>");
  ASSERT_TRUE(NavigateAndWait(server.Url("/r")));
  const int before = completed;
  m_browser->Refresh();
  ASSERT_TRUE(Until([&] { return completed > before; })) << Log();
  EXPECT_EQ(server.Count("/r"), 2);

  // about:blank reloads as about:blank.
  ASSERT_TRUE(NavigateAndWait("about:blank"));
  const int blank = completed;
  m_browser->Refresh();
  ASSERT_TRUE(Until([&] { return completed > blank; })) << Log();
  EXPECT_EQ(m_browser->DocumentURL(), "about:blank");
}

TEST_F(Browser, ConnectionRefusedCompletesAsAnEmptyDocumentWithoutErrorPage) {
  std::string refused;
  {
    LoopbackServer gone;
    refused = gone.Url("/login");
  }  // nothing listens on that port any more

  ASSERT_TRUE(NavigateAndWait(refused)) << Log();
  EXPECT_EQ(log.back(), "complete:" + refused) << Log();
  EXPECT_EQ(m_browser->DocumentElementInnerHTML(), "");
  EXPECT_EQ(m_browser->DocumentURL(), refused);
  EXPECT_EQ(Eval("document.body ? document.body.innerText : ''"), "") << "an error page is shown";

  // After a page has been shown, a failed navigation leaves that page and completes nothing.
  ServeHtml(server, "/ok", "<html><body>ok</body></html>");
  ASSERT_TRUE(NavigateAndWait(server.Url("/ok")));
  ASSERT_FALSE(m_browser->DocumentElementInnerHTML().empty());
  const int before = completed;
  log.clear();
  m_browser->Navigate(refused);
  ASSERT_TRUE(Until([&] { return Logged("begin"); })) << Log();
  ASSERT_TRUE(Until([&] { return !webkit_web_view_is_loading(View()); })) << Log();
  Eval("0");
  EXPECT_EQ(completed, before) << Log();
  EXPECT_EQ(m_browser->DocumentURL(), server.Url("/ok"));
  EXPECT_FALSE(m_browser->DocumentElementInnerHTML().empty());
  EXPECT_EQ(Eval("document.body.innerText.indexOf('ok')"), "0")
      << "an error page replaced the old one";
}

// ---- BeforeNavigate2 ----------------------------------------------------------------------------

TEST_F(Browser, ClickedCommandLinkArrivesRawAndCancelKeepsTheDocument) {
  const std::string command = "app://loadgame|" + server.Url("/game");
  ServeHtml(server, "/login",
            "<html><body><a id=x href=\"" + command +
                "\">play</a>"
                "<a id=y href=\"/other\">other</a></body></html>");
  ServeHtml(server, "/other", "<html><body>other</body></html>");
  cancelWhen = [](const std::string& url) {
    return url.find("app://") != std::string::npos || url.find("/other") != std::string::npos;
  };
  const std::string login = server.Url("/login");
  ASSERT_TRUE(NavigateAndWait(login));

  Eval("document.getElementById('x').click()");
  ASSERT_TRUE(Until([&] { return Logged("before:" + command); })) << Log();

  Eval("document.getElementById('y').click()");
  ASSERT_TRUE(Until([&] { return Logged("before:" + server.Url("/other")); })) << Log();

  EXPECT_EQ(Eval("document.URL"), login);
  EXPECT_EQ(m_browser->DocumentURL(), login);
  EXPECT_EQ(m_browser->LocationURL(), login);
  EXPECT_EQ(completed, 1) << Log();
  EXPECT_EQ(server.Count("/other"), 0);
  EXPECT_EQ(server.Count("/game"), 0);
}

TEST_F(Browser, FormSubmissionsArriveRaw) {
  const std::string command = "app://loadgame|" + server.Url("/game");
  ServeHtml(server, "/forms",
            "<html><body>"
            "<form id=g method=get action=\"app://minimize\"></form>"
            "<form id=p method=post action=\"" +
                command +
                "\"><input name=a value=b></form>"
                "</body></html>");
  ASSERT_TRUE(NavigateAndWait(server.Url("/forms")));
  cancelWhen = [](const std::string& url) { return url.rfind("app://", 0) == 0; };

  Eval("document.getElementById('g').submit()");
  ASSERT_TRUE(Until([&] { return Logged("before:app://minimize?"); })) << Log();
  Eval("document.getElementById('p').requestSubmit()");
  ASSERT_TRUE(Until([&] { return Logged("before:" + command); })) << Log();
  EXPECT_EQ(Eval("document.URL"), server.Url("/forms"));
}

TEST_F(Browser, WindowOpenWithAnInvalidAddressArrivesRaw) {
  ServeHtml(server, "/p", "<html><body>p</body></html>");
  ASSERT_TRUE(NavigateAndWait(server.Url("/p")));
  log.clear();
  const std::string command = "app://loadgame|http://127.0.0.1:1/game|x";
  EXPECT_EQ(Eval("String(window.open('" + command + "'))"), "null");
  ASSERT_TRUE(Until([&] { return Logged("before:" + command); })) << Log();
  Eval("0");
  EXPECT_EQ(log, std::vector<std::string>{"before:" + command}) << "no new-window event for it";
}

TEST_F(Browser, HandlerMayDestroyTheViewItWasCalledFrom) {
  ServeHtml(server, "/login", "<html><body><a id=x href=\"app://exitgame\">exit</a></body></html>");
  ASSERT_TRUE(NavigateAndWait(server.Url("/login")));
  bool exited = false;
  m_browser->OnBeforeNavigate2([&](const std::string& url, bool& cancel) {
    if (url.find("app://exitgame") == std::string::npos) return;
    cancel = true;
    m_browser.reset();  // the login window unloads itself here
    exited = true;
  });
  Eval("document.getElementById('x').click()");
  ASSERT_TRUE(Until([&] { return exited; }));
  // Whatever the engine still delivers for the old view must find nothing to call.
  for (int i = 0; i < 20; ++i) g_main_context_iteration(nullptr, FALSE);
  EXPECT_EQ(gtk_container_get_children(GTK_CONTAINER(m_layout)), nullptr);
}

// ---- New windows --------------------------------------------------------------------------------

TEST_F(Browser, NewWindowRequestsReachTheEventAndNoWindowOpens) {
  ServeHtml(server, "/page",
            "<html><body style='margin:0'><a id=blank target=_blank href=\"/popup\""
            " style='display:block;width:100px;height:50px'>pop</a>"
            "<script>window.addEventListener('load', function () {"
            "  setTimeout(function () { window.late = window.open('/late'); }, 500); });</script>"
            "</body></html>");
  ServeHtml(server, "/popup", "<html><body>popup</body></html>");
  ServeHtml(server, "/late", "<html><body>late</body></html>");
  const int toplevels = VisibleToplevels();
  const std::string page = server.Url("/page");
  ASSERT_TRUE(NavigateAndWait(page));

  // The late window.open comes without a user gesture: it is seen, but no window goes out.
  ASSERT_TRUE(Until([&] { return Logged("before:" + server.Url("/late")); })) << Log();
  Eval("0");
  EXPECT_FALSE(Logged("newwindow:" + server.Url("/late"))) << Log();
  EXPECT_EQ(Eval("String(window.late)"), "null");

  // A press of the user's lets one through.
  processNewWindows = true;
  ClickView(10, 10);
  ASSERT_TRUE(Until([&] { return Logged("newwindow:" + server.Url("/popup")); })) << Log();

  Eval("0");
  EXPECT_EQ(VisibleToplevels(), toplevels);
  EXPECT_EQ(server.Count("/popup"), 0);
  EXPECT_EQ(server.Count("/late"), 0);
  EXPECT_EQ(Eval("document.URL"), page);
  EXPECT_EQ(completed, 1) << Log();
}

TEST_F(Browser, CancelledNewWindowRaisesNoNewWindowEvent) {
  ServeHtml(server, "/page",
            "<html><body><a id=blank target=_blank href=\"app://minimize\">m</a></body></html>");
  ASSERT_TRUE(NavigateAndWait(server.Url("/page")));
  cancelWhen = [](const std::string& url) { return url.rfind("app://", 0) == 0; };
  Eval("document.getElementById('blank').click()");
  ASSERT_TRUE(Until([&] { return Logged("before:app://minimize"); })) << Log();
  Eval("window.open('app://minimize')");
  Eval("0");
  for (const auto& e : log) EXPECT_EQ(e.rfind("newwindow:", 0), std::string::npos) << Log();
}

// ---- Silent ------------------------------------------------------------------------------------

TEST_F(Browser, SilentAnswersDialogsWithoutShowingAnything) {
  ServeHtml(
      server, "/dialogs",
      "<html><body><script>window.onbeforeunload = function (e) {"
      "  e.preventDefault(); e.returnValue = 'stay'; return 'stay'; };</script></body></html>");
  ServeHtml(server, "/next", "<html><body>next</body></html>");
  m_browser->SetSilent(true);
  EXPECT_TRUE(m_browser->Silent());
  ASSERT_TRUE(NavigateAndWait(server.Url("/dialogs")));
  const int toplevels = VisibleToplevels();
  SignalCounter dialogs("script-dialog");
  SignalCounter prints("print");

  EXPECT_EQ(Eval("JSON.stringify([alert('a'), confirm('b'), prompt('c', 'd')])"),
            "[null,false,null]");
  EXPECT_EQ(Eval("window.print(); 'after print'"), "after print");
  EXPECT_EQ(prints.count, 1);

  // The page has had a gesture (script run by the client counts as one), so leaving it asks
  // the beforeunload question; the navigation must go on.
  const std::string next = server.Url("/next");
  ASSERT_TRUE(NavigateAndWait(next)) << Log();
  EXPECT_EQ(m_browser->DocumentURL(), next);
  EXPECT_EQ(Eval("document.URL"), next);
  EXPECT_EQ(
      dialogs.dialogTypes,
      (std::vector<int>{WEBKIT_SCRIPT_DIALOG_ALERT, WEBKIT_SCRIPT_DIALOG_CONFIRM,
                        WEBKIT_SCRIPT_DIALOG_PROMPT, WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM}));
  EXPECT_EQ(VisibleToplevels(), toplevels);
}

// A right click on the middle of the view, sent as the toolkit would.
void RightClick(GtkWidget* widget) {
  GdkWindow* window = gtk_widget_get_window(widget);
  GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
  for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(window));
    event->button.send_event = TRUE;
    event->button.time = GDK_CURRENT_TIME;
    event->button.x = kWidth / 2.0;
    event->button.y = kHeight / 2.0;
    event->button.button = 3;
    gdk_event_set_device(event, gdk_seat_get_pointer(seat));
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

TEST_F(Browser, ContextMenuIsSuppressed) {
  ServeHtml(server, "/menu",
            "<html><body style='height:100vh'>menu<script>window.menus = 0;"
            "window.addEventListener('contextmenu', function () { window.menus++; "
            "});</script></body></html>");
  ASSERT_TRUE(NavigateAndWait(server.Url("/menu")));
  ASSERT_TRUE(Until([&] { return gtk_widget_get_mapped(GTK_WIDGET(View())); }));
  const int toplevels = VisibleToplevels();
  SignalCounter menus("context-menu");

  // The document's handler returns false: the engine never asks for a menu.
  m_browser->SetDocumentOnContextMenuReturnsFalse();
  Eval("0");
  RightClick(GTK_WIDGET(View()));
  ASSERT_TRUE(Until([&] { return Eval("window.menus") == "1"; }));
  Eval("0");
  EXPECT_EQ(menus.count, 0);

  // Silent: the menu is asked for and refused.
  Eval("document.oncontextmenu = null");
  m_browser->SetSilent(true);
  RightClick(GTK_WIDGET(View()));
  ASSERT_TRUE(Until([&] { return menus.count == 1; }));
  Eval("0");
  EXPECT_EQ(VisibleToplevels(), toplevels);
}

// ---- The document's style -----------------------------------------------------------------------

TEST_F(Browser, OverflowHiddenRemovesTheScrollBars) {
  ServeHtml(
      server, "/tall",
      "<html><body style='margin:0'><div style='width:3000px;height:3000px'></div></body></html>");
  ASSERT_TRUE(NavigateAndWait(server.Url("/tall")));
  const std::string scrollBarWidth =
      "String(window.innerWidth - document.documentElement.clientWidth)";
  const bool classicScrollBars = Eval(scrollBarWidth) != "0";

  m_browser->SetDocumentElementStyleOverflow("hidden");
  EXPECT_EQ(Eval("document.documentElement.style.overflow"), "hidden");
  EXPECT_EQ(Eval("getComputedStyle(document.documentElement).overflow"), "hidden");
  if (classicScrollBars) {
    EXPECT_EQ(Eval(scrollBarWidth), "0");
  }
}

// ---- Placement ----------------------------------------------------------------------------------

guint32 PixelAt(GdkPixbuf* pixbuf, int x, int y) {
  const guchar* p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
                    x * gdk_pixbuf_get_n_channels(pixbuf);
  return (guint32(p[0]) << 16) | (guint32(p[1]) << 8) | p[2];
}

TEST_F(Browser, OverhangingViewIsClippedOnAllSides) {
  // A 2-pixel red frame around a blue page: at (-2, -2) with 4 pixels more each way, no red may
  // be seen.
  ServeHtml(
      server, "/frame",
      "<html style='overflow:hidden'><body style='margin:0;height:100vh;box-sizing:border-box;"
      "border:2px solid rgb(255,0,0);background:rgb(0,0,255)'></body></html>");
  GtkWidget* widget = platform::WebBrowserWidget(*m_browser);
  gtk_widget_set_size_request(m_layout, kWidth, kHeight);
  auto capture = [&] {
    GdkWindow* window = gtk_widget_get_window(m_window);
    return gdk_pixbuf_get_from_window(window, 0, 0, kWidth, kHeight);
  };
  ASSERT_TRUE(NavigateAndWait(server.Url("/frame")));
  // Placed inside, the frame shows: the check below can see it.
  EXPECT_TRUE(Until([&] {
    GdkPixbuf* shot = capture();
    const bool framed = shot != nullptr && PixelAt(shot, kWidth / 2, kHeight / 2) == 0x0000FF &&
                        PixelAt(shot, 0, 0) == 0xFF0000 &&
                        PixelAt(shot, kWidth - 1, kHeight - 1) == 0xFF0000;
    if (shot != nullptr) g_object_unref(shot);
    return framed;
  })) << "the red frame never showed in the unclipped view";

  gtk_layout_move(GTK_LAYOUT(m_layout), widget, -2, -2);
  gtk_widget_set_size_request(widget, kWidth + 4, kHeight + 4);
  // The engine paints the new size a little later; until then the container shows at the far
  // edges. Wait until every edge pixel is the page's, blue or red.
  const std::string grown = std::to_string(kWidth + 4) + "x" + std::to_string(kHeight + 4);
  ASSERT_TRUE(Until([&] { return Eval("innerWidth + 'x' + innerHeight") == grown; }));
  auto edgesPainted = [&](GdkPixbuf* shot) {
    auto page = [&](int x, int y) {
      const guint32 p = PixelAt(shot, x, y);
      return p == 0x0000FF || p == 0xFF0000;
    };
    for (int x = 0; x < kWidth; ++x) {
      if (!page(x, 0) || !page(x, kHeight - 1)) return false;
    }
    for (int y = 0; y < kHeight; ++y) {
      if (!page(0, y) || !page(kWidth - 1, y)) return false;
    }
    return true;
  };
  ASSERT_TRUE(Until([&] {
    GdkPixbuf* shot = capture();
    const bool painted = shot != nullptr && edgesPainted(shot);
    if (shot != nullptr) g_object_unref(shot);
    return painted;
  }));
  GdkPixbuf* shot = capture();
  ASSERT_NE(shot, nullptr);
  for (int x = 0; x < kWidth; ++x) {
    ASSERT_EQ(PixelAt(shot, x, 0), 0x0000FFu) << "top, x " << x;
    ASSERT_EQ(PixelAt(shot, x, kHeight - 1), 0x0000FFu) << "bottom, x " << x;
  }
  for (int y = 0; y < kHeight; ++y) {
    ASSERT_EQ(PixelAt(shot, 0, y), 0x0000FFu) << "left, y " << y;
    ASSERT_EQ(PixelAt(shot, kWidth - 1, y), 0x0000FFu) << "right, y " << y;
  }
  g_object_unref(shot);
}

// ---- The website-data store ---------------------------------------------------------------------

TEST_F(Browser, CookiesPersistAcrossViewsAndProcesses) {
  std::string cookieSeen;
  server.Route("/set", [](const Request&, Connection& c) {
    c.SendResponse(
        200,
        {{"Content-Type", "text/html"}, {"Set-Cookie", "session=abc123; Max-Age=3600; Path=/"}},
        "<html><body>set</body></html>");
  });
  server.Route("/check", [](const Request& r, Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/html"}},
                   "<html><body>" + r.Header("Cookie") + "</body></html>");
  });

  if (const char* child = std::getenv("BROWSER_TEST_CHECK_URL")) {
    // The second process: same store, fresh engine.
    ASSERT_TRUE(NavigateAndWait(child));
    EXPECT_NE(m_browser->DocumentElementInnerHTML().find("session=abc123"), std::string::npos)
        << m_browser->DocumentElementInnerHTML();
    return;
  }

  ASSERT_TRUE(NavigateAndWait(server.Url("/set")));
  m_browser.reset();
  m_browser = MakeBrowser();
  ASSERT_TRUE(NavigateAndWait(server.Url("/check")));
  EXPECT_NE(m_browser->DocumentElementInnerHTML().find("session=abc123"), std::string::npos);

  // Another process with this process's store (the test main gives it other XDG directories,
  // so the store's place is handed over explicitly).
  const std::string data = std::string(g_get_user_data_dir()) + "/web-client/web";
  const std::string cache = std::string(g_get_user_cache_dir()) + "/web-client/web";
  gchar* exe = g_file_read_link("/proc/self/exe", nullptr);
  ASSERT_NE(exe, nullptr);
  const std::string filter = "--gtest_filter=Browser.CookiesPersistAcrossViewsAndProcesses";
  gchar* argv[] = {exe, const_cast<gchar*>(filter.c_str()), nullptr};
  gchar** envp = g_get_environ();
  envp = g_environ_setenv(envp, "BROWSER_TEST_CHECK_URL", server.Url("/check").c_str(), TRUE);
  envp = g_environ_setenv(envp, "BROWSER_TEST_DATA_DIR", data.c_str(), TRUE);
  envp = g_environ_setenv(envp, "BROWSER_TEST_CACHE_DIR", cache.c_str(), TRUE);
  gint status = -1;
  gchar* out = nullptr;
  GError* error = nullptr;
  const gboolean spawned = g_spawn_sync(nullptr, argv, envp, G_SPAWN_DEFAULT, nullptr, nullptr,
                                        &out, nullptr, &status, &error);
  g_strfreev(envp);
  g_free(exe);
  ASSERT_TRUE(spawned) << (error != nullptr ? error->message : "");
  EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << (out != nullptr ? out : "");
  EXPECT_NE(std::string(out != nullptr ? out : "").find("[  PASSED  ] 1 test"), std::string::npos)
      << (out != nullptr ? out : "");
  g_free(out);
}

TEST_F(Browser, RemovingWebDataKeepsTheTypesNotNamed) {
  server.Route("/store", [](const Request&, Connection& c) {
    c.SendResponse(200,
                   {{"Content-Type", "text/html"}, {"Set-Cookie", "keep=1; Max-Age=3600; Path=/"}},
                   "<html><body><script>localStorage.setItem('k', 'v');</script></body></html>");
  });
  server.Route("/check", [](const Request& r, Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/html"}},
                   "<html><body>" + r.Header("Cookie") + "</body></html>");
  });
  ASSERT_TRUE(NavigateAndWait(server.Url("/store")));

  auto typesOf = [](const std::string& site) {
    unsigned types = 0;
    for (const auto& record : platform::FetchWebData()) {
      if (record.name == site) types |= record.types;
    }
    return types;
  };
  const unsigned both = platform::kWebDataCookies | platform::kWebDataLocalStorage;
  ASSERT_TRUE(Until([&] { return (typesOf("127.0.0.1") & both) == both; })) << typesOf("127.0.0.1");

  ASSERT_TRUE(
      platform::RemoveWebData({"127.0.0.1"}, platform::kWebDataAll & ~platform::kWebDataCookies));
  EXPECT_EQ(typesOf("127.0.0.1") & both, platform::kWebDataCookies);
  ASSERT_TRUE(NavigateAndWait(server.Url("/check")));
  EXPECT_NE(m_browser->DocumentElementInnerHTML().find("keep=1"), std::string::npos);
  EXPECT_EQ(Eval("String(localStorage.getItem('k'))"), "null");
}

}  // namespace

// ---- Where the engine module is looked for -----------------------------------------------------

TEST(WebModuleLookup, InstalledBuildsLoadOnlyTheModuleBesideTheExecutable) {
  using platform::IsDevelopmentBuild;
  using platform::WebModuleCandidates;
  struct Row {
    const char* exeDir;
    bool development;
    std::vector<std::string> candidates;  // with the override "/o/m.so" given
  } rows[] = {
      {"/src/build/app", true, {"/o/m.so"}},
      {"/usr/local/bin", false, {"/usr/local/bin/m.so"}},
      {"/src/build-other", false, {"/src/build-other/m.so"}},
      {"", false, {}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(IsDevelopmentBuild(r.exeDir, "/src/build"), r.development) << r.exeDir;
    EXPECT_EQ(WebModuleCandidates("/o/m.so", r.exeDir, "/src/build/app", "m.so", r.development),
              r.candidates)
        << r.exeDir;
  }
  // A development build without the override: beside the executable, then the build tree's.
  EXPECT_EQ(WebModuleCandidates("", "/src/build/tests", "/src/build/app", "m.so", true),
            (std::vector<std::string>{"/src/build/tests/m.so", "/src/build/app/m.so"}));
}
