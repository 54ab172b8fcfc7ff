#pragma once

#include <string>
#include <vector>

// The website data the web views keep (see WebBrowser.h, InitWebEngine): what the browser
// cache clearing enumerates and deletes. Both calls wait for the engine's answer while
// processing the user-interface thread's messages, as a modal loop does.

namespace platform {

// Kinds of website data, as bits.
enum WebDataType : unsigned {
  kWebDataMemoryCache = 1u << 0,
  kWebDataDiskCache = 1u << 1,
  kWebDataOfflineCache = 1u << 2,
  kWebDataSessionStorage = 1u << 3,
  kWebDataLocalStorage = 1u << 4,
  kWebDataDatabases = 1u << 5,  // IndexedDB and WebSQL
  kWebDataCookies = 1u << 6,
  kWebDataWorkerCache = 1u << 7,  // the responses service workers keep (the DOM cache)
  kWebDataOther = 1u << 8,        // service worker registrations, HSTS, tracking prevention, ...
  kWebDataAll = (1u << 9) - 1,
};

// The data of one site (a host name, "localhost" or "Local files" for file: pages).
struct WebDataRecord {
  std::string name;
  unsigned types = 0;  // WebDataType bits
};

// Every record of a session's store (WebBrowser.h: kMaxWebSessions); empty when there is none
// or the engine did not answer.
std::vector<WebDataRecord> FetchWebData(int session = 0);

// Removes the data of the given types from the named sites of a session's store (kept types
// stay). False when the engine reported a failure.
bool RemoveWebData(const std::vector<std::string>& siteNames, unsigned types, int session = 0);

}  // namespace platform
