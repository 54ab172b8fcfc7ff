#pragma once

#include <cstdint>
#include <string>

// CacheMain: empties the stored data of the web pages (the cache the game pages and the login
// page share), so that a page that misbehaves because of stale files loads afresh.
//
// The store is the web engine's own. It has no cache groups, so the first phase (delete every
// group) always takes the road of a platform without group functions and goes straight on to
// the entries. Its entries are website-data records, one per site, each holding data of several
// kinds. The kinds that are a cache of fetched files, and the cookies, count as entries of the
// type below; an entry whose type shares a bit with the keep mask stays:
//
//   memory and disk cache, offline application cache,        NORMAL_CACHE_ENTRY
//   the responses service workers keep
//   cookies                                                  COOKIE_CACHE_ENTRY
//
// What the pages store for themselves (local and session storage, IndexedDB and WebSQL
// databases: a game's saves and settings) and what the engine keeps about sites (HSTS, service
// worker registrations, ...) is not a cache and is never removed here, whatever the mask.
//
// History (URLHISTORY_CACHE_ENTRY) stands for nothing here: the client keeps no history of its
// own, and the pages' back and forward lists live in their views, outside the store. So the
// bit keeps nothing and a mask without it deletes nothing more.
//
// The pattern names the sites whose records are looked at: "*.*", "*" and "" mean every record
// (what the main window passes); any other text is a shell-style pattern ("*", "?", "[...]")
// matched, ignoring case, against the site's name as the engine reports it: a host name such as
// "game.example.com" or "127.0.0.1" (no scheme, no port, no path).
//
// The clearing reaches every open view (they share the one store, and the engine empties the
// memory caches of its page processes with it) and is over when the call returns: the engine
// answers asynchronously, so the call waits for it while the main loop runs, for a bounded time.
// Nothing is shown or reported; a failure ends the routine silently.

inline constexpr std::uint32_t NORMAL_CACHE_ENTRY = 0x00000001;
inline constexpr std::uint32_t COOKIE_CACHE_ENTRY = 0x00100000;
inline constexpr std::uint32_t URLHISTORY_CACHE_ENTRY = 0x00200000;

void ClearUrlCache(const std::string& pattern, std::uint32_t keepMask);

// For tests: whether `pattern` names the site `siteName`, and the entry type that one kind of
// website data (a platform::WebDataType bit) counts as.
bool UrlCachePatternMatches(const std::string& pattern, const std::string& siteName);
std::uint32_t UrlCacheEntryType(unsigned webDataType);
