// The process's one web context and its persistent website-data store (inside the module).

#include <string>

#include "WebViewGtk.h"

namespace platform {

namespace {

struct Engine {
  std::string name;
  std::string dataDirectory;
  std::string cacheDirectory;
  GObjectRef<WebKitWebsiteDataManager> manager;
  GObjectRef<WebKitWebContext> context;
};

// The contexts live until the process ends: views may be created at any time and the engine
// does not support tearing a context down while its processes are running. One per session.
Engine* TheEngine(int session) {
  static auto* engines = new Engine[kMaxWebSessions];
  return session >= 0 && session < kMaxWebSessions ? &engines[session] : nullptr;
}

std::string StoreDirectory(const std::string& given, const char* xdgBase, const std::string& name) {
  if (!given.empty()) return given;
  gchar* path = g_build_filename(xdgBase, name.c_str(), "web", nullptr);
  std::string result(path);
  g_free(path);
  return result;
}

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  webkit_download_cancel(download);
  WebKitURIRequest* request = webkit_download_get_request(download);
  const std::string line = "download refused: " +
                           CapForLog(request != nullptr ? webkit_uri_request_get_uri(request) : "");
  WebKitWebView* view = webkit_download_get_web_view(download);
  if (view == nullptr || !NoticeFromView(view, line)) {
    kWebLog(line);
  }
}

void OnAcceptPolicy(GObject* manager, GAsyncResult* result, gpointer /*unused*/) {
  webkit_cookie_manager_get_accept_policy_finish(WEBKIT_COOKIE_MANAGER(manager), result, nullptr);
}

// Makes the context of the engine's store.
WebKitWebContext* FinishContext(Engine& engine) {
  engine.context = GObjectRef<WebKitWebContext>::Adopt(
      webkit_web_context_new_with_website_data_manager(engine.manager.get()));
#if CLIENT_WEB_SANDBOX
  // Must be set before the first web process starts.
  webkit_web_context_set_sandbox_enabled(engine.context.get(), TRUE);
#endif
  // The client offers no downloads: whatever a page starts (an attachment, <a download>, a
  // type no view can show) is cancelled before it writes anything.
  g_signal_connect(engine.context.get(), "download-started", G_CALLBACK(&OnDownloadStarted),
                   nullptr);
  return engine.context.get();
}

}  // namespace

void ConfigureWebContext(const WebModuleOptions& options) {
  Engine& engine = *TheEngine(0);
  if (engine.context) return;
  engine.name = options.name != nullptr ? options.name : "";
  engine.dataDirectory = options.dataDirectory != nullptr ? options.dataDirectory : "";
  engine.cacheDirectory = options.cacheDirectory != nullptr ? options.cacheDirectory : "";
}

void ConfigureSessionContext(int session, const char* dataDirectory, const char* cacheDirectory) {
  Engine* engine = session > 0 ? TheEngine(session) : nullptr;
  if (engine == nullptr || engine->context) return;
  engine->dataDirectory = dataDirectory != nullptr ? dataDirectory : "";
  engine->cacheDirectory = cacheDirectory != nullptr ? cacheDirectory : "";
}

WebKitWebContext* SharedWebContext(int session) {
  Engine* slot = TheEngine(session);
  if (slot == nullptr) return nullptr;
  Engine& engine = *slot;
  if (engine.context) return engine.context.get();

  // A session without directories of its own would share the first one's files: it keeps its
  // data in memory instead.
  if (session > 0 && engine.dataDirectory.empty()) {
    engine.manager =
        GObjectRef<WebKitWebsiteDataManager>::Adopt(webkit_website_data_manager_new_ephemeral());
    return FinishContext(engine);
  }
  const std::string name = TheEngine(0)->name.empty() ? "web-client" : TheEngine(0)->name;
  const std::string data = StoreDirectory(engine.dataDirectory, g_get_user_data_dir(), name);
  const std::string cache = StoreDirectory(engine.cacheDirectory, g_get_user_cache_dir(), name);
  g_mkdir_with_parents(data.c_str(), 0700);
  g_mkdir_with_parents(cache.c_str(), 0700);

  engine.manager = GObjectRef<WebKitWebsiteDataManager>::Adopt(webkit_website_data_manager_new(
      "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr));
  // Without persistent storage the cookie jar lives in memory only and every run starts logged
  // out.
  gchar* cookies = g_build_filename(data.c_str(), "cookies.sqlite", nullptr);
  webkit_cookie_manager_set_persistent_storage(
      webkit_website_data_manager_get_cookie_manager(engine.manager.get()), cookies,
      WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  g_free(cookies);

  kWebLog("web context " + std::to_string(session) + ": data " + data + ", cache " + cache);
  return FinishContext(engine);
}

void PrewarmWebContext() {
  WebKitWebContext* context = SharedWebContext();
  // The network process, which otherwise starts with the first view: any question to the
  // cookie store starts it. (The engine starts a view's web process with its first load.)
  webkit_cookie_manager_get_accept_policy(webkit_website_data_manager_get_cookie_manager(
                                              webkit_web_context_get_website_data_manager(context)),
                                          nullptr, &OnAcceptPolicy, nullptr);
}

}  // namespace platform
