// Enumerating and removing website data of the shared store (inside the module).

#include "platform/webhost/WebData.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "WebViewGtk.h"

namespace platform {

namespace {

constexpr std::pair<unsigned, unsigned> kTypeMap[] = {
    {WEBKIT_WEBSITE_DATA_MEMORY_CACHE, kWebDataMemoryCache},
    {WEBKIT_WEBSITE_DATA_DISK_CACHE, kWebDataDiskCache},
    {WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE, kWebDataOfflineCache},
    {WEBKIT_WEBSITE_DATA_SESSION_STORAGE, kWebDataSessionStorage},
    {WEBKIT_WEBSITE_DATA_LOCAL_STORAGE, kWebDataLocalStorage},
    {WEBKIT_WEBSITE_DATA_INDEXEDDB_DATABASES | WEBKIT_WEBSITE_DATA_WEBSQL_DATABASES,
     kWebDataDatabases},
    {WEBKIT_WEBSITE_DATA_COOKIES, kWebDataCookies},
    {WEBKIT_WEBSITE_DATA_DOM_CACHE, kWebDataWorkerCache},
};

unsigned FromEngine(unsigned engine) {
  unsigned ours = 0;
  unsigned known = 0;
  for (const auto& [theirs, mine] : kTypeMap) {
    if ((engine & theirs) != 0) ours |= mine;
    known |= theirs;
  }
  if ((engine & ~known) != 0) ours |= kWebDataOther;
  return ours;
}

unsigned ToEngine(unsigned ours) {
  unsigned engine = 0;
  unsigned known = 0;
  for (const auto& [theirs, mine] : kTypeMap) {
    if ((ours & mine) != 0) engine |= theirs;
    known |= theirs;
  }
  if ((ours & kWebDataOther) != 0) engine |= (WEBKIT_WEBSITE_DATA_ALL & ~known);
  return engine;
}

WebKitWebsiteDataManager* Manager(int session) {
  WebKitWebContext* context = SharedWebContext(session);
  return context != nullptr ? webkit_web_context_get_website_data_manager(context) : nullptr;
}

// Waits for an asynchronous call of the engine, processing messages meanwhile, for at most
// kWaitLimit: an engine process that hangs must not hang the user-interface thread with it.
// The state lives on the heap; when the wait gives up, the late answer frees it.
constexpr gint64 kWaitLimit = 10 * G_USEC_PER_SEC;

struct Wait {
  bool done = false;
  bool abandoned = false;
  GAsyncResult* result = nullptr;
  static void Ready(GObject*, GAsyncResult* result, gpointer data) {
    auto* self = static_cast<Wait*>(data);
    if (self->abandoned) {
      delete self;
      return;
    }
    self->result = G_ASYNC_RESULT(g_object_ref(result));
    self->done = true;
  }
  // True when the answer came in time; the Wait is then the caller's to delete. Otherwise it
  // belongs to the pending call and must not be touched again.
  bool Run() {
    const gint64 deadline = g_get_monotonic_time() + kWaitLimit;
    guint timer = g_timeout_add(
        100, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!done && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, TRUE);
    g_source_remove(timer);
    if (!done) abandoned = true;
    return done;
  }
  ~Wait() {
    if (result != nullptr) g_object_unref(result);
  }
};

// The engine's records, in a list the caller frees with FreeRecords; nullptr when there are
// none or no answer came.
GList* FetchRecords(WebKitWebsiteDataManager* manager) {
  if (manager == nullptr) return nullptr;
  auto* wait = new Wait;
  webkit_website_data_manager_fetch(manager, WEBKIT_WEBSITE_DATA_ALL, nullptr, &Wait::Ready, wait);
  if (!wait->Run()) return nullptr;
  GList* list = webkit_website_data_manager_fetch_finish(manager, wait->result, nullptr);
  delete wait;
  return list;
}

void FreeRecords(GList* list) {
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(webkit_website_data_unref));
}

}  // namespace

void FetchWebsiteData(int session, WebModuleRecordFn add, void* context) {
  GList* list = FetchRecords(Manager(session));
  for (GList* l = list; l != nullptr; l = l->next) {
    auto* data = static_cast<WebKitWebsiteData*>(l->data);
    const char* name = webkit_website_data_get_name(data);
    add(context, name != nullptr ? name : "", FromEngine(webkit_website_data_get_types(data)));
  }
  FreeRecords(list);
}

bool RemoveWebsiteData(int session, const char* const* names, std::size_t count, unsigned types) {
  const unsigned engineTypes = ToEngine(types);
  if (engineTypes == 0 || count == 0) return true;
  WebKitWebsiteDataManager* manager = Manager(session);
  if (manager == nullptr) return false;
  const std::vector<std::string> siteNames(names, names + count);
  GList* all = FetchRecords(manager);
  GList* chosen = nullptr;
  for (GList* l = all; l != nullptr; l = l->next) {
    auto* data = static_cast<WebKitWebsiteData*>(l->data);
    const char* name = webkit_website_data_get_name(data);
    if (name != nullptr && std::find(siteNames.begin(), siteNames.end(), name) != siteNames.end()) {
      chosen = g_list_prepend(chosen, data);
    }
  }
  bool ok = true;
  if (chosen != nullptr) {
    auto* wait = new Wait;
    webkit_website_data_manager_remove(manager, static_cast<WebKitWebsiteDataTypes>(engineTypes),
                                       chosen, nullptr, &Wait::Ready, wait);
    ok = wait->Run();
    if (ok) {
      ok = webkit_website_data_manager_remove_finish(manager, wait->result, nullptr) != FALSE;
      delete wait;
    }
    g_list_free(chosen);
  }
  FreeRecords(all);
  return ok;
}

bool ClearWebsiteData(int session) {
  WebKitWebsiteDataManager* manager = Manager(session);
  if (manager == nullptr) return false;
  auto* wait = new Wait;
  webkit_website_data_manager_clear(manager, WEBKIT_WEBSITE_DATA_ALL, 0, nullptr, &Wait::Ready,
                                    wait);
  if (!wait->Run()) return false;
  const bool ok = webkit_website_data_manager_clear_finish(manager, wait->result, nullptr) != FALSE;
  delete wait;
  return ok;
}

}  // namespace platform
