#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The embedded web-browser view: one web page shown in a child view of a window, with the
// handful of operations, properties and events the login window and the browser tab pages
// use. It runs on WebKitGTK; this header shows none of it.
//
// How the view's members map onto the engine
//
//   Navigate(url)        webkit_web_view_load_uri.
//   Refresh()            webkit_web_view_reload (the current document is loaded again and
//                        raises the same events as any load).
//   Silent               our own flag, read by the signal handlers below.
//   LocationURL()        webkit_web_view_get_uri ("" before anything was loaded).
//   TopDocumentURL()     webkit_web_view_get_uri as it was at the last "load-changed"
//                        COMMITTED of the main frame.
//   DocumentURL(),       a snapshot of document.URL and document.documentElement.innerHTML
//   DocumentElement-     taken when the document completed (see "Snapshots" below).
//   InnerHTML()
//   SetDocumentElement-  script run in the page: document.documentElement.style.overflow = v.
//   StyleOverflow(v)
//   SetDocumentOnContext- script run in the page: document.oncontextmenu returns false, which
//   MenuReturnsFalse()   keeps the engine from ever asking for a context menu.
//
//   BeforeNavigate2      "decide-policy" NAVIGATION_ACTION (main frame and frames, also for our
//                        own Navigate and Refresh) with the request's URI as the page wrote it
//                        ("|" kept, not escaped); Cancel ignores the decision so the current
//                        document stays. Also raised first for every new-window request (see
//                        NewWindow), so that "app://" commands reach it whatever the target.
//                        NavigationTrusted() tells the handler whether the top document (or a
//                        frame of its origin, or the client) asked for it: the engine does not
//                        name the frame of a navigation, so the view's own script, running in
//                        every frame in a script world page scripts cannot reach, announces
//                        the addresses those frames are about to open (links, forms, script
//                        navigations), and a navigation counts as trusted when it matches one.
//   DownloadBegin        "load-changed" STARTED of the main frame.
//   TitleChange          "notify::title" (an untitled page gives ""), and document.title read
//                        with the snapshot, since the engine's notice can come after the load
//                        has finished; raised only when the text differs from the one last
//                        reported, so always before the DocumentComplete of its document. At
//                        most kMaxTitle bytes.
//   DocumentComplete     "load-changed" FINISHED of the main frame, raised once the snapshot
//                        has arrived. The engine reports no per-frame completion, so frames do
//                        not raise it. While the view has shown no document yet, a load that
//                        fails ("load-failed", e.g. connection refused) or answers with an HTTP
//                        error status is reported as a completed document whose root element's
//                        innerHTML is empty; the engine's error page is suppressed. Once a
//                        document has been shown, a failed load raises nothing: the shown
//                        document stays (and the event log says why). A load that is merely
//                        interrupted (another navigation started, a response that cannot be
//                        shown) raises nothing.
//   NewWindow            "decide-policy" NEW_WINDOW_ACTION (links and forms with a target),
//                        window.open (replaced by a user script injected at document start in
//                        every frame, which reports the address before the engine parses it),
//                        and "create" for any request that still reaches the engine. Raised for
//                        a web address only within a second of a button or key press of the
//                        user in this view, once per press and at most five times a minute;
//                        other requests are written to the event log.
//
//   ProgressChange       "load-changed" REDIRECTED and COMMITTED of the main frame, and
//                        "notify::estimated-load-progress": raised whenever the load of the
//                        top-level document moves on (more of it arrived, a redirect, its
//                        commit), so that a caller can tell a slow page from one that stalls
//                        (with DownloadBegin and DocumentComplete, the load's first and last).
//   AudioChange          "notify::is-playing-audio".
//   PlayingAudio(),      webkit_web_view_is_playing_audio, webkit_web_view_set_is_muted.
//   SetMuted(m)
//
// Views of one site share a web process: a view made for an http or https address whose site
// (scheme, host and port) another view shows at that moment is made related to it.
//
// No window ever opens in the client. A new-window request raises BeforeNavigate2 (raw
// address); unless that cancels it, NewWindow follows with the resolved address. Whatever the
// handler does with Processed, the engine's request is refused and window.open returns null
// to the page: handing the address elsewhere (the user's browser) is the handler's business.
// A window.open whose address the engine cannot parse raises BeforeNavigate2 with the raw text
// and no NewWindow.
//
// Downloads: none. A response the view cannot show, one the server marks as an attachment and
// <a download> are cancelled before anything is written, and the event log says so.
//
// The web process: when it dies (crash, memory limit), the page is loaded again; when it dies
// again within a minute, a short notice stands in the page's place instead.
//
// Silent: while true, no dialog of the page reaches the user: alert returns, confirm answers
// false, prompt answers null, a beforeunload question is answered "leave" (so the navigation
// goes on), print, file and colour choosers, the context menu and HTTP authentication are
// refused. The drop-down list of a <select> is part of the page, not a dialog, and still opens:
// game pages run silent all the time. Permission requests (geolocation, media, notifications,
// ...) are denied whatever Silent says.
//
// Snapshots: reading the DOM is asynchronous in this engine. When the main frame finishes, the
// view reads document.URL, the root element's innerHTML (at most kMaxInnerHtml characters, a
// prefix of longer texts) and the title in one round trip, stores them, then raises
// TitleChange (if the title changed) and DocumentComplete. The handlers, and anyone after them,
// read the stored values synchronously; they stay until the next completed document.
//
// Known limit: a script navigation (location.href = ..., location.assign/replace) to an address
// that the engine's URL parser rejects (such as "app://loadgame|http://...") fails inside the
// page with a SyntaxError and cannot be observed; links, forms and window.open can.
//
// Events are raised on the user-interface thread, from the engine's signals. A handler may
// destroy the view it was called from.
//
// The engine comes after the first frames: constructing a view makes only the widget its owner
// hosts. The engine is loaded and its view made from the main loop, once every top-level window
// shown so far has drawn its first frame (or about a second has passed without one), so that
// making a view never holds up a window that is about to appear. Until then:
//   Navigate             is kept: the latest address is loaded when the engine's view exists.
//   Refresh              does nothing (there is no document to load again; a kept address is
//                        loaded anyway).
//   Silent               is kept and applies from the start.
//   SetDocumentElement-  are dropped: they act on the current document, and there is none yet
//   StyleOverflow,       (the one a kept Navigate loads is a new document, as it would be
//   SetDocumentOnContext- after any navigation).
//   MenuReturnsFalse
//   LocationURL, ...     the reads answer "".
// No event is raised before the engine's view exists. A view destroyed before that never loads
// the engine.

namespace platform {

// The one website-data store of the process: cookies (persisted in SQLite), local storage,
// caches. Every view shares it. Data lives in $XDG_DATA_HOME/<name>/web and the cache in
// $XDG_CACHE_HOME/<name>/web unless the directories are given explicitly.
struct WebEngineOptions {
  std::string name = "web-client";
  std::string dataDirectory;   // overrides $XDG_DATA_HOME/<name>/web when not empty
  std::string cacheDirectory;  // overrides $XDG_CACHE_HOME/<name>/web when not empty
  // The other sessions' directories are <sessionBase>/web-<n>; $XDG_DATA_HOME/<name> when empty.
  std::string sessionBase;
  // Called once, with the reason, when the engine is first needed and cannot be loaded (its
  // module is missing or of another version); the views then stay blank.
  std::function<void(const std::string& why)> onUnavailable;
};

// Website-data sessions: every view belongs to one. Session 0 uses the store chosen here; each
// other session (up to kMaxWebSessions in all) has a store of its own (cookies, storage,
// caches), so that two views of the same site can be signed in as two different users.
inline constexpr int kMaxWebSessions = 4;

// Session 1 to kMaxWebSessions - 1 keeps everything (its cache in "cache" inside) in one
// directory: $XDG_DATA_HOME/<name>/web-<session + 1> unless the store options name another
// base (WebEngineOptions::sessionBase). "" for session 0 and numbers out of range.
std::string WebSessionDirectory(int session);
// Whether the session's directory exists: a session used before, kept across restarts.
bool WebSessionStored(int session);
// Forgets a session (never 0): removes its data from the engine, in memory and on disk, then
// its directory. Waits for the engine while processing messages; its views should be gone.
// False when the directory is still there afterwards.
bool ForgetWebSession(int session);
// Whether the session was forgotten after the engine had opened its store in this run. The
// engine keeps a store's files open until the process ends (its cookie database among them), so
// a new account in it would write into deleted files and be signed out at the next start: such
// a session is not to be used again before then. A session forgotten before the engine opened
// it (an account kept from an earlier run and not used in this one) is free again at once.
bool WebSessionSpent(int session);

// Chooses the store. Only before the first view exists; returns false (and changes nothing)
// afterwards. Without a call the defaults above apply. The engine's process sandbox is on
// unless the build turned it off (CLIENT_WEB_SANDBOX).
bool InitWebEngine(const WebEngineOptions& options);

// Loads the engine, makes the website-data store and starts the network process from the main
// loop, as soon as every top-level window shown so far has drawn its first frame (as the views
// are made, above), so that they come up while the program is busy with something else and
// never before its first picture; the first view uses them. (The
// engine starts a view's web process with the view's first load.) Shows nothing and reports
// nothing: a module that cannot be loaded is reported (event log, onUnavailable) when the first
// view or website-data call needs it, as without this call. After InitWebEngine; does nothing once
// a view exists.
void StartWebEngine();

class WebBrowser {
 public:
  // Caps on what a page hands the client: the root element's HTML text in the snapshot (in
  // characters; the login window only asks whether anything arrived) and the title (in bytes
  // of UTF-8, cut on a character boundary).
  static constexpr std::size_t kMaxInnerHtml = 1 << 14;
  static constexpr std::size_t kMaxTitle = 1024;

  using BeforeNavigate2Handler = std::function<void(const std::string& url, bool& Cancel)>;
  using DownloadBeginHandler = std::function<void()>;
  using TitleChangeHandler = std::function<void(const std::string& text)>;
  using DocumentCompleteHandler = std::function<void(const std::string& url)>;
  using NewWindowHandler = std::function<void(const std::string& url, bool& Processed)>;
  using AudioChangeHandler = std::function<void()>;

  // A new view showing nothing; it is not placed anywhere until its owner hosts it.
  WebBrowser();
  ~WebBrowser();
  WebBrowser(WebBrowser&&) noexcept;
  WebBrowser& operator=(WebBrowser&&) noexcept;
  WebBrowser(const WebBrowser&) = delete;
  WebBrowser& operator=(const WebBrowser&) = delete;

  // The website-data session of the view (0 by default); only before its first Navigate, since
  // the engine's view is made for one store.
  void SetSession(int session);
  int Session() const;

  void Navigate(const std::string& url);
  void Refresh();

  // The page's zoom factor (1: as designed), kept across navigations; before the engine's view
  // exists it is kept and applied when it comes.
  void SetZoom(double factor);
  double Zoom() const;

  // Saves the visible part of the page, as shown, as a PNG file at `path`; waits for the
  // engine while processing messages (at most a few seconds). An empty text on success,
  // otherwise why not. The picture's size in pixels goes to width and height.
  std::string SaveSnapshot(const std::string& path, int& width, int& height);

  bool Silent() const;
  void SetSilent(bool silent);

  // The colour (0x00BBGGRR) of the view's box where the engine has not painted (yet): before
  // the engine's view exists and while a document shown for the first time is on its way to
  // the screen. White by default, as a blank page.
  void SetBackColor(std::uint32_t color);

  std::string LocationURL() const;
  // The address of the top-level document the view shows now: set when a document's load is
  // committed (its first bytes are in), so it never names a load that is still on its way, as
  // LocationURL can. "" before the first document.
  std::string TopDocumentURL() const;
  std::string DocumentURL() const;
  std::string DocumentElementInnerHTML() const;

  // Both act on the current top-level document and are carried out asynchronously, in order
  // with the page's own work (a later read of the page sees them).
  void SetDocumentElementStyleOverflow(const std::string& value);
  void SetDocumentOnContextMenuReturnsFalse();

  // While BeforeNavigate2 is raised: true when the navigation was asked for by the client
  // (Navigate, Refresh), by the top document, or by a frame of the top document's origin; false
  // for other frames (advertisements) and for navigations the view cannot attribute to any
  // of these (a server's redirect, a meta refresh). Commands for the client are taken only
  // from trusted navigations.
  bool NavigationTrusted() const;

  // Sound: whether the page plays sound now (false before the engine's view exists), and the
  // view's own mute, kept for the life of the view (set before the engine's view, it applies
  // from its start). A muted page goes on playing, unheard, and still counts as playing.
  bool PlayingAudio() const;
  bool Muted() const;
  void SetMuted(bool muted);

  void OnBeforeNavigate2(BeforeNavigate2Handler handler);
  void OnDownloadBegin(DownloadBeginHandler handler);
  void OnTitleChange(TitleChangeHandler handler);
  void OnDocumentComplete(DocumentCompleteHandler handler);
  void OnNewWindow(NewWindowHandler handler);
  // Raised whenever the top-level load moves on (see ProgressChange above).
  void OnProgressChange(std::function<void()> handler);
  // Raised when the page starts or stops playing sound.
  void OnAudioChange(AudioChangeHandler handler);
  // The wheel turned with Ctrl held over the page (which then does not scroll): +1 for a step
  // in, -1 for a step out.
  void OnZoomStep(std::function<void(int step)> handler);

  struct Impl;

 private:
  friend Impl* WebBrowserImpl(const WebBrowser&);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
