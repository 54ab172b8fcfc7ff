#pragma once

// The boundary between the web-browser view (platform/webhost: WebBrowser.cpp and friends, linked
// into every program) and the web engine, which lives in a module of its own that is loaded
// with dlopen when the first view is made or when a program starts the engine ahead of it
// (StartWebEngine). Programs that never show a page (the updater) thus never load the engine
// and its dependencies.
//
// The module exports one C function, kWebModuleEntry, which returns a table of plain C
// functions. Nothing but C types crosses: the module is built with the same compiler, but it
// links none of platform/ and shares no C++ state with it. All calls are made on the
// user-interface thread.

#include <cstddef>

extern "C" {

// Raised for each event of a view (see WebBrowser.h). `text` is the address or the title;
// `flag` is the Cancel or Processed argument (nullptr for the events without one); `trusted`
// is set on BeforeNavigate2 when the navigation was asked for by the client itself, the top
// document or a frame of the top document's origin. kWebEventNotice carries a line for the
// event log. The owner may destroy the view from inside the call.
enum WebModuleEvent : int {
  kWebEventBeforeNavigate2 = 0,
  kWebEventDownloadBegin = 1,
  kWebEventTitleChange = 2,
  kWebEventDocumentComplete = 3,
  kWebEventNewWindow = 4,
  kWebEventNotice = 5,
  // The page started or stopped playing sound (no text).
  kWebEventAudioChange = 6,
  // The wheel turned with Ctrl held over the page (which does not scroll): text "1" for a step
  // in, "-1" for a step out.
  kWebEventZoomStep = 7,
  // Something new of the top-level load: it started, was redirected, committed, or more of it
  // arrived (no text).
  kWebEventProgressChange = 8,
};
typedef void (*WebModuleEventFn)(void* owner, int event, const char* text, bool* flag,
                                 bool trusted);

// A view of the module; only the module looks inside.
struct WebModuleView;

struct WebModuleOptions {
  const char* name;
  const char* dataDirectory;   // "" for the default
  const char* cacheDirectory;  // "" for the default
};

// The record sink of fetchData: called once per site.
typedef void (*WebModuleRecordFn)(void* context, const char* name, unsigned types);

struct WebModuleTable {
  // kWebModuleVersion of the module's build; a table of another version is not used.
  unsigned version;

  // The store of the process (session 0); called once, before anything else.
  void (*configure)(const WebModuleOptions* options);
  // The store of another website-data session (1 to kMaxWebSessions - 1); ignored once that
  // session's context exists.
  void (*configureSession)(int session, const char* dataDirectory, const char* cacheDirectory);

  // A view of the session's store. With `related` (may be nullptr, and then of the same
  // session) the new view shares that view's web process.
  WebModuleView* (*create)(WebModuleEventFn raise, void* owner, WebModuleView* related,
                           int session);
  // No event is raised once this has been called. May be called from inside an event.
  void (*destroy)(WebModuleView* view);
  // The view's GtkWidget, owned by the view.
  void* (*widget)(WebModuleView* view);

  void (*navigate)(WebModuleView* view, const char* url);
  void (*refresh)(WebModuleView* view);
  void (*setSilent)(WebModuleView* view, bool silent);
  // The texts belong to the view and stay valid until its next call or event.
  const char* (*locationUrl)(WebModuleView* view);
  const char* (*documentUrl)(WebModuleView* view);
  const char* (*innerHtml)(WebModuleView* view);
  // Runs the script in the current top-level document, asynchronously, result ignored.
  void (*runScript)(WebModuleView* view, const char* script);

  // Website data of a session's store (WebData.h types). Each waits for the engine while
  // running the main loop.
  void (*fetchData)(int session, WebModuleRecordFn add, void* context);
  bool (*removeData)(int session, const char* const* siteNames, std::size_t count, unsigned types);
  // Removes every kind of data of the session's store, in memory and on disk.
  bool (*clearSession)(int session);

  // Makes the store and starts the network process ahead of the first view (after configure);
  // shows nothing.
  void (*prewarm)();

  // The address of the top-level document the view shows (committed), "" before the first.
  const char* (*topDocumentUrl)(WebModuleView* view);
  // Whether the page plays sound now; the view's own mute (the page goes on playing, unheard).
  bool (*playingAudio)(WebModuleView* view);
  void (*setMuted)(WebModuleView* view, bool muted);

  // The page's zoom factor (1: as designed).
  void (*setZoom)(WebModuleView* view, double factor);
  // Saves the visible part of the page as shown, as a PNG file; waits for the engine while
  // running the main loop (bounded). Its size in pixels goes to width and height. An empty
  // text on success, otherwise why it failed (the text belongs to the view).
  const char* (*snapshot)(WebModuleView* view, const char* path, int* width, int* height);
};

typedef const WebModuleTable* (*WebModuleEntryFn)();

}  // extern "C"

namespace platform {

// Bumped whenever the table above changes.
inline constexpr unsigned kWebModuleVersion = 6;
inline constexpr char kWebModuleEntry[] = "client_web_module";

}  // namespace platform
