// Clearing the web pages' cache while a page is open, against a loopback server that counts
// what it is asked for: the cache goes, the cookie stays unless the mask says otherwise, and
// what the pages stored for themselves always stays.

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "LoopbackServer.h"
#include "WebTestSupport.h"
#include "WebViewGtk.h"
#include "mainwin/ClearUrlCache.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/webhost/WebData.h"
#include "platform/webhost/detail/WebBrowserWidget.h"

using testsupport::Connection;
using testsupport::Request;

namespace {

bool Until(const std::function<bool()>& done,
           std::chrono::seconds limit = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const guint tick = g_timeout_add(
      20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool ok = done();
  while (!ok && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    ok = done();
  }
  g_source_remove(tick);
  return ok;
}

class ClearCache : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display";
    // Two pages using the same cacheable script and style sheet; the first also sets the cookie.
    const std::string body =
        "<html><body><script src='/res.js'></script><link rel='stylesheet' href='/res.css'>"
        "</body></html>";
    server.Route("/first", [body](const Request&, Connection& c) {
      c.SendResponse(
          200, {{"Content-Type", "text/html"}, {"Set-Cookie", "who=me; Max-Age=3600; Path=/"}},
          body);
    });
    server.Route("/second", [body](const Request&, Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/html"}, {"Cache-Control", "no-store"}}, body);
    });
    server.Route("/res.js", [](const Request&, Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/javascript"}, {"Cache-Control", "max-age=3600"}},
                     "var loaded = 1;");
    });
    server.Route("/res.css", [](const Request&, Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/css"}, {"Cache-Control", "max-age=3600"}},
                     "body { margin: 0; }");
    });
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(m_window), 300, 200);
    GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(m_window), layout);
    m_browser = std::make_unique<platform::WebBrowser>();
    m_browser->OnDocumentComplete([this](const std::string&) { ++m_completed; });
    GtkWidget* widget = platform::WebBrowserWidget(*m_browser);
    gtk_layout_put(GTK_LAYOUT(layout), widget, 0, 0);
    gtk_widget_set_size_request(widget, 300, 200);
    gtk_widget_show_all(m_window);
  }
  void TearDown() override {
    m_browser.reset();
    if (m_window != nullptr) gtk_widget_destroy(m_window);
  }

  // Loads the page and returns the cookie the page sees.
  std::string Load(const std::string& path) {
    const int before = m_completed;
    m_browser->Navigate(server.Url(path));
    EXPECT_TRUE(Until([&] { return m_completed > before; })) << path;
    return webtest::Eval(WEBKIT_WEB_VIEW(platform::WebBrowserEngineWidget(*m_browser)),
                         "document.cookie");
  }
  int Fetches(const std::string& path) const {
    int n = 0;
    for (const Request& r : server.Requests()) n += r.path == path ? 1 : 0;
    return n;
  }
  unsigned StoredTypes() const {
    unsigned types = 0;
    for (const auto& record : platform::FetchWebData()) {
      if (record.name == "127.0.0.1") types |= record.types;
    }
    return types;
  }

  testsupport::LoopbackServer server;
  GtkWidget* m_window = nullptr;
  std::unique_ptr<platform::WebBrowser> m_browser;
  int m_completed = 0;
};

TEST_F(ClearCache, TheMainWindowsMaskKeepsCookiesAndEmptiesTheCacheOfTheOpenView) {
  EXPECT_EQ(Load("/first"), "who=me");
  ASSERT_EQ(Fetches("/res.js"), 1);
  // The cache entries reach the disk a little after the load.
  ASSERT_TRUE(Until([&] { return (StoredTypes() & platform::kWebDataDiskCache) != 0; }))
      << StoredTypes();
  // Without clearing, the open view takes both from its cache.
  EXPECT_EQ(Load("/second"), "who=me");
  ASSERT_EQ(Fetches("/res.js") + Fetches("/res.css"), 2) << "the resources are not cached";

  ClearUrlCache("*.*", COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY);
  // Done when the call returns: only the cookie is left.
  EXPECT_EQ(StoredTypes(), platform::kWebDataCookies);
  EXPECT_EQ(Load("/second"), "who=me");
  EXPECT_EQ(Fetches("/res.js"), 2);
  EXPECT_EQ(Fetches("/res.css"), 2);

  // A pattern naming another site leaves this one alone; mask 0 then takes the cookie too.
  ClearUrlCache("*.example.org", 0);
  EXPECT_EQ(Load("/second"), "who=me");
  ASSERT_TRUE(Until([&] { return (StoredTypes() & platform::kWebDataDiskCache) != 0; }));
  ClearUrlCache("*.*", 0);
  EXPECT_EQ(StoredTypes(), 0u);
  EXPECT_EQ(Load("/second"), "");
  EXPECT_EQ(Fetches("/res.js"), 3);
}

// A game page that keeps its saves in local storage and IndexedDB and its files in the
// responses cache of service workers: clearing the cache leaves its saves alone (even with
// mask 0, which takes the cookies) and empties the responses cache.
TEST_F(ClearCache, AGamesSavesInLocalStorageAndIndexedDbStayTheWorkersResponsesGo) {
  server.Route("/save", [](const Request&, Connection& c) {
    c.SendResponse(200, {{"Content-Type", "text/html"}, {"Cache-Control", "no-store"}}, R"(
<html><body><script>
const ls = localStorage.getItem('save');
localStorage.setItem('save', 'level 7');
const idb = new Promise(done => {
  const open = indexedDB.open('game', 1);
  open.onupgradeneeded = () => open.result.createObjectStore('saves');
  open.onsuccess = () => {
    const db = open.result;
    const tx = db.transaction('saves', 'readwrite');
    const get = tx.objectStore('saves').get('slot');
    get.onsuccess = () => tx.objectStore('saves').put('gold 300', 'slot');
    tx.oncomplete = () => { db.close(); done(get.result); };
  };
});
const cached = caches.has('files').then(had =>
  caches.open('files').then(c => c.put('/file', new Response('bytes'))).then(() => had));
Promise.all([idb, cached]).then(([saved, had]) => {
  document.title = 'ls=' + ls + ' idb=' + saved + ' files=' + had;
});
</script></body></html>)");
  });
  auto visit = [&] {
    Load("/save");
    std::string title;
    Until([&] {
      title = webtest::Eval(WEBKIT_WEB_VIEW(platform::WebBrowserEngineWidget(*m_browser)),
                            "document.title");
      return !title.empty();
    });
    return title;
  };
  const unsigned saves = platform::kWebDataLocalStorage | platform::kWebDataDatabases;
  EXPECT_EQ(visit(), "ls=null idb=undefined files=false");
  ASSERT_TRUE(Until([&] { return (StoredTypes() & saves) == saves; })) << StoredTypes();
  ASSERT_TRUE(Until([&] { return (StoredTypes() & platform::kWebDataWorkerCache) != 0; }))
      << StoredTypes();

  ClearUrlCache("*.*", COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY);
  EXPECT_EQ(StoredTypes() & (saves | platform::kWebDataWorkerCache), saves);
  EXPECT_EQ(visit(), "ls=level 7 idb=gold 300 files=false");
  ClearUrlCache("*.*", 0);
  EXPECT_EQ(visit(), "ls=level 7 idb=gold 300 files=false");
}

TEST_F(ClearCache, WhileAPageLoadsAndWithTheStoreDeletedItEndsAndThePageStillArrives) {
  EXPECT_EQ(Load("/first"), "who=me");
  server.Route("/slow", [](const Request&, Connection& c) {
    if (c.Pause(std::chrono::milliseconds(1500)))
      c.SendResponse(200, {{"Content-Type", "text/html"}}, "slow");
  });
  std::error_code ec;
  std::filesystem::remove_all(std::string(g_get_user_data_dir()), ec);
  std::filesystem::remove_all(std::string(g_get_user_cache_dir()), ec);
  const int before = m_completed;
  m_browser->Navigate(server.Url("/slow"));
  const auto start = std::chrono::steady_clock::now();
  ClearUrlCache("*.*", COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(11));
  EXPECT_TRUE(Until([&] { return m_completed > before; }));
  EXPECT_EQ(Fetches("/slow"), 1);
}

TEST_F(ClearCache, AnEmptyStoreEndsQuietly) {
  ClearUrlCache("*.*", 0);  // empty whatever ran before in this process (it ran no page)
  ASSERT_EQ(StoredTypes(), 0u);
  ClearUrlCache("*.*", COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY);
  EXPECT_EQ(StoredTypes(), 0u);
}

}  // namespace
