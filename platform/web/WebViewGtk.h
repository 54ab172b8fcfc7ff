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

// The web context every view of the process shares, created with the website-data store on
// first use.
WebKitWebContext* SharedWebContext();

// Makes the context and starts the network process ahead of the first view.
void PrewarmWebContext();

// The website data of the shared store (the table's fetchData and removeData).
void FetchWebsiteData(WebModuleRecordFn add, void* context);
bool RemoveWebsiteData(const char* const* siteNames, std::size_t count, unsigned types);

}  // namespace platform
