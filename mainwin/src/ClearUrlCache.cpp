#include "mainwin/ClearUrlCache.h"

#include <fnmatch.h>

#include <map>
#include <vector>

#include "platform/webhost/WebBrowser.h"
#include "platform/webhost/WebData.h"

using namespace platform;

bool UrlCachePatternMatches(const std::string& pattern, const std::string& siteName) {
  if (pattern.empty() || pattern == "*.*" || pattern == "*") return true;
  return fnmatch(pattern.c_str(), siteName.c_str(), FNM_CASEFOLD) == 0;
}

std::uint32_t UrlCacheEntryType(unsigned webDataType) {
  switch (webDataType) {
    case kWebDataMemoryCache:
    case kWebDataDiskCache:
    case kWebDataOfflineCache:
    case kWebDataWorkerCache:
      return NORMAL_CACHE_ENTRY;
    case kWebDataCookies:
      return COOKIE_CACHE_ENTRY;
    default:
      return 0;  // what the pages stored for themselves: not in the cache
  }
}

namespace {

void ClearSessionCache(int session, const std::string& pattern, std::uint32_t keepMask) {
  // Phase 2, the entries. No records (an empty store, or no engine): nothing to do.
  const std::vector<WebDataRecord> records = FetchWebData(session);
  if (records.empty()) return;
  // The kinds to remove from each site; sites with the same kinds go to the engine together.
  std::map<unsigned, std::vector<std::string>> removals;
  for (const WebDataRecord& record : records) {
    if (!UrlCachePatternMatches(pattern, record.name)) continue;
    unsigned remove = 0;
    for (unsigned bit = 1; bit & kWebDataAll; bit <<= 1) {
      const std::uint32_t entry = UrlCacheEntryType(bit);
      if ((record.types & bit) != 0 && entry != 0 && (entry & keepMask) == 0) remove |= bit;
    }
    if (remove != 0) removals[remove].push_back(record.name);
  }
  // A failed deletion is ignored, as for a single entry.
  for (const auto& [types, sites] : removals) RemoveWebData(sites, types, session);
}

}  // namespace

void ClearUrlCache(const std::string& pattern, std::uint32_t keepMask) {
  // Phase 1, cache groups: the store has none; as on a platform without the group functions,
  // go on with the entries. Every account's session has a store of its own.
  for (int session = 0; session < kMaxWebSessions; ++session) {
    if (session == 0 || WebSessionStored(session)) ClearSessionCache(session, pattern, keepMask);
  }
}
