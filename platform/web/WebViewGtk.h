#pragma once

// The engine half of the web-browser view, private to the web module (and to tests that look
// at the engine's widget): the shared web context and the helpers of the module's sources.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstddef>
#include <string>
#include <utility>

#include "platform/system/EventLog.h"
#include "platform/system/detail/GObjectRef.h"
#include "platform/webhost/detail/WebBrowserWidget.h"
#include "platform/webhost/detail/WebModule.h"

namespace platform {

// The diagnostics of the view and its engine (CLIENT_DEBUG=webview).
inline const LogChannel kWebLog("webview");

using detail::GObjectRef;

// ---- For tests ------------------------------------------------------------------------------

// The engine's web view inside the view's widget (WebBrowserWidget), a WebKitWebView; nullptr
// until the view has made it, which it does from the main loop after its construction.
GtkWidget* WebBrowserEngineWidget(const WebBrowser& browser);

// ---- Inside the module ----------------------------------------------------------------------

// At most kMaxLoggedUrl bytes of an address (cut on a character boundary, "..." added), so that
// a page cannot flood the log with one long address.
inline constexpr std::size_t kMaxLoggedUrl = 256;
std::string CapForLog(const char* url);

// Raises a notice (a line for the event log) on the view of the module that shows `view`;
// false when no view of ours shows it.
bool NoticeFromView(WebKitWebView* view, const std::string& line);

// Chooses the store of the shared context; ignored once the context exists.
void ConfigureWebContext(const WebModuleOptions& options);
// Chooses the store of another session (1 to kMaxWebSessions - 1); ignored once it exists.
void ConfigureSessionContext(int session, const char* dataDirectory, const char* cacheDirectory);

// The web context of a website-data session, created with its store on first use: session 0
// is the process's own store, every other session has one of its own. nullptr for a number
// out of range.
WebKitWebContext* SharedWebContext(int session = 0);

// Makes the context and starts the network process ahead of the first view.
void PrewarmWebContext();

// The website data of a session's store (the table's fetchData, removeData, clearSession).
void FetchWebsiteData(int session, WebModuleRecordFn add, void* context);
bool RemoveWebsiteData(int session, const char* const* siteNames, std::size_t count,
                       unsigned types);
bool ClearWebsiteData(int session);

}  // namespace platform
