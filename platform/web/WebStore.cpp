// Enumerating and removing website data of the shared store (inside the module).

#include "platform/WebData.h"

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

WebKitWebsiteDataManager* Manager() {
  return webkit_web_context_get_website_data_manager(SharedWebContext());
}

// Waits for an asynchronous call of the engine, processing messages meanwhile.
struct Wait {
  bool done = false;
  GAsyncResult* result = nullptr;
  static void Ready(GObject*, GAsyncResult* result, gpointer data) {
    auto* self = static_cast<Wait*>(data);
    self->result = G_ASYNC_RESULT(g_object_ref(result));
    self->done = true;
  }
  void Run() {
    while (!done) g_main_context_iteration(nullptr, TRUE);
  }
  ~Wait() {
    if (result != nullptr) g_object_unref(result);
  }
};

// The engine's records, in a list the caller frees with FreeRecords.
GList* FetchRecords() {
  Wait wait;
  webkit_website_data_manager_fetch(Manager(), WEBKIT_WEBSITE_DATA_ALL, nullptr, &Wait::Ready,
                                    &wait);
  wait.Run();
  return webkit_website_data_manager_fetch_finish(Manager(), wait.result, nullptr);
}

void FreeRecords(GList* list) {
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(webkit_website_data_unref));
}

}  // namespace

void FetchWebsiteData(WebModuleRecordFn add, void* context) {
  GList* list = FetchRecords();
  for (GList* l = list; l != nullptr; l = l->next) {
    auto* data = static_cast<WebKitWebsiteData*>(l->data);
    const char* name = webkit_website_data_get_name(data);
    add(context, name != nullptr ? name : "", FromEngine(webkit_website_data_get_types(data)));
  }
  FreeRecords(list);
}

bool RemoveWebsiteData(const char* const* names, std::size_t count, unsigned types) {
  const unsigned engineTypes = ToEngine(types);
  if (engineTypes == 0 || count == 0) return true;
  const std::vector<std::string> siteNames(names, names + count);
  GList* all = FetchRecords();
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
    Wait wait;
    webkit_website_data_manager_remove(Manager(), static_cast<WebKitWebsiteDataTypes>(engineTypes),
                                       chosen, nullptr, &Wait::Ready, &wait);
    wait.Run();
    ok = webkit_website_data_manager_remove_finish(Manager(), wait.result, nullptr) != FALSE;
    g_list_free(chosen);
  }
  FreeRecords(all);
  return ok;
}

}  // namespace platform
