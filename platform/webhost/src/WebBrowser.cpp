// The web-browser view: the handlers and the Silent flag live here, everything else is the
// engine's, reached through the web module's table (WebModule.h) once the module is loaded.
// Without the module the view is a blank widget that never loads anything.
//
// The engine comes late. A new view is only its container, an empty widget that hosts take and
// place as they would the engine's; loading the module and making the engine's view costs
// tens of milliseconds, which would otherwise hold up the first frame of whatever window is
// shown next (the client builds its login window before showing its splash). The engine's view
// is made from the main loop once every top-level window shown so far has drawn its first
// frame (see "Making the engine's views" below), and put into the container. What the owner
// asked for until then is carried out at that moment, as WebBrowser.h describes.

#include "platform/webhost/WebBrowser.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/EventLog.h"
#include "platform/system/detail/Guarded.h"
#include "platform/webhost/detail/WebBrowserWidget.h"
#include "platform/webhost/detail/WebEngine.h"
#include "platform/window/detail/WindowGtk.h"

namespace platform {

namespace {

// A JavaScript string literal holding `text`.
std::string JsString(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == '<' || c == '>') {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Text(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

struct WebBrowser::Impl {
  Impl();
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  // Loads the engine and makes its view inside the container, then carries out what was asked
  // for meanwhile. Done once; without the engine the container stays blank.
  void CreateEngineView();

  // The module's event sink: `owner` is this Impl.
  static void OnEvent(void* owner, int event, const char* text, bool* flag, bool trusted);

  // Calls a handler: it is copied first because it may destroy this view (and with it the
  // handler). Nothing thrown by a handler crosses into the engine.
  template <typename Handler, typename... Args>
  static void Call(const Handler& handler, Args&... args) {
    if (!handler) return;
    Handler copy = handler;
    Guarded("web view event handler", [&] { copy(args...); });
  }

  GtkWidget* m_container = nullptr;  // what hosts see; holds the engine's widget (one reference)
  bool m_created = false;            // CreateEngineView has run
  const WebModuleTable* m_engine = nullptr;
  WebModuleView* m_view = nullptr;
  bool m_silent = false;
  std::uint32_t m_backColor = 0x00FFFFFF;  // 0x00BBGGRR, under the engine's view
  bool m_muted = false;
  int m_session = 0;
  double m_zoom = 1.0;
  std::optional<std::string> m_pendingUrl;  // the latest Navigate before the engine's view
  bool m_navigationTrusted = false;         // of the BeforeNavigate2 being raised

  BeforeNavigate2Handler m_beforeNavigate2;
  DownloadBeginHandler m_downloadBegin;
  TitleChangeHandler m_titleChange;
  DocumentCompleteHandler m_documentComplete;
  NewWindowHandler m_newWindow;
  AudioChangeHandler m_audioChange;
  std::function<void()> m_progressChange;
  std::function<void(int)> m_zoomStep;
};

// ---- Making the engine's views ------------------------------------------------------------------
//
// The views waiting for their engine view are made together, from a low-priority idle callback
// (below the toolkit's drawing and its events), once every mapped top-level window of ours has
// drawn its first frame, as the window layer reports it; the first frame of a window wakes the
// check up again. A window that never draws (mapped but never shown on the screen) must not keep
// the engine away for good: after kMaxWaitMs of waiting the views are made anyway. That deadline
// runs from the moment a view starts waiting, at the default priority, and makes the views
// itself: a loop that never rests down to the low priority (a busy machine, live pages in other
// tabs) would otherwise hold the check, and with it the deadline, off for as long as it is busy.

namespace {

constexpr guint kMaxWaitMs = 1000;

struct Waiting {
  std::vector<WebBrowser::Impl*> views;
  bool prewarm = false;  // StartWebEngine was called and waits for the first frames too
  guint check = 0;     // the idle source of the next check
  guint deadline = 0;  // the timeout that ends the wait
  bool expired = false;
};

Waiting& Queue() {
  static Waiting* waiting = new Waiting();
  return *waiting;
}

void ScheduleCheck();

void OnFirstFrame() {
  if (!Queue().views.empty() || Queue().prewarm) ScheduleCheck();
}

bool TopLevelsDrawn() {
  SetFirstFrameListener(&OnFirstFrame);
  return AllMappedTopLevelsDrawn();
}

gboolean OnCheck(gpointer);

gboolean OnWaitExpired(gpointer) {
  Waiting& q = Queue();
  q.deadline = 0;
  q.expired = true;
  if (q.check != 0) g_source_remove(q.check);
  q.check = 0;
  return OnCheck(nullptr);
}

gboolean OnCheck(gpointer) {
  Waiting& q = Queue();
  q.check = 0;
  if (q.views.empty() && !q.prewarm) return G_SOURCE_REMOVE;
  if (!q.expired && !TopLevelsDrawn()) {
    return G_SOURCE_REMOVE;  // a watched window's frame, or the deadline, checks again
  }
  if (q.deadline != 0) g_source_remove(q.deadline);
  q.deadline = 0;
  q.expired = false;
  if (std::exchange(q.prewarm, false)) StartWebEngineNow();
  // Making one view raises no event, so none of them can go away while this runs; views
  // queued meanwhile (none can be) would wait for the next check.
  std::vector<WebBrowser::Impl*> views = std::move(q.views);
  q.views.clear();
  for (WebBrowser::Impl* view : views) {
    Guarded("web view creation", [view] { view->CreateEngineView(); });
  }
  return G_SOURCE_REMOVE;
}

void ScheduleCheck() {
  Waiting& q = Queue();
  if (q.check == 0) q.check = g_idle_add_full(G_PRIORITY_LOW, &OnCheck, nullptr, nullptr);
  if (q.deadline == 0 && !q.expired) q.deadline = g_timeout_add(kMaxWaitMs, &OnWaitExpired, nullptr);
}

void Enqueue(WebBrowser::Impl* view) {
  Queue().views.push_back(view);
  ScheduleCheck();
}

void Dequeue(WebBrowser::Impl* view) {
  Waiting& q = Queue();
  std::erase(q.views, view);
  if (!q.views.empty() || q.prewarm) return;
  if (q.check != 0) g_source_remove(q.check);
  if (q.deadline != 0) g_source_remove(q.deadline);
  q.check = q.deadline = 0;
  q.expired = false;
}

}  // namespace

void StartWebEngine() {
  // Loading the engine holds the loop up for a while: not before the windows shown so far
  // have drawn their first frame.
  Queue().prewarm = true;
  ScheduleCheck();
}

// ---- Sharing web processes ----------------------------------------------------------------------
//
// Every tab of a game shows the same site. A view made for an address of a site that another
// view of ours already shows shares that view's web process (the engine's related views):
// one process holds the site's code and caches once, not once per tab. The engine still gives a
// view a process of its own when it navigates to another site.

namespace {

std::vector<WebBrowser::Impl*>& LiveViews() {
  static auto* views = new std::vector<WebBrowser::Impl*>();
  return *views;
}

// "scheme://host:port" of an http or https address; "" for anything else.
std::string SiteOf(const std::string& url) {
  GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (uri == nullptr) return std::string();
  std::string site;
  const char* scheme = g_uri_get_scheme(uri);
  const char* host = g_uri_get_host(uri);
  if (scheme != nullptr && host != nullptr && *host != '\0' &&
      (g_ascii_strcasecmp(scheme, "http") == 0 || g_ascii_strcasecmp(scheme, "https") == 0)) {
    site = std::string(scheme) + "://" + host + ":" + std::to_string(g_uri_get_port(uri));
  }
  g_uri_unref(uri);
  return site;
}

}  // namespace

WebBrowser::Impl::Impl() {
  m_container = GTK_WIDGET(g_object_ref_sink(gtk_event_box_new()));
  // The box is opaque from its first frame: where the engine has not painted yet (its view is
  // not made, or a page shown for the first time is still on its way to the screen) the back
  // colour shows, never the unpainted (black, under a compositor) surface.
  g_signal_connect(m_container, "draw",
                   G_CALLBACK(+[](GtkWidget* widget, cairo_t* cr, gpointer data) -> gboolean {
                     const std::uint32_t c = static_cast<Impl*>(data)->m_backColor;
                     cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                                          ((c >> 16) & 0xFF) / 255.0);
                     cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(widget),
                                     gtk_widget_get_allocated_height(widget));
                     cairo_fill(cr);
                     return FALSE;  // the engine's view draws over it
                   }),
                   this);
  ClaimWebEngine();
  LiveViews().push_back(this);
  Enqueue(this);
}

WebBrowser::Impl::~Impl() {
  std::erase(LiveViews(), this);
  if (!m_created) Dequeue(this);
  if (m_view != nullptr) m_engine->destroy(m_view);
  // Takes it out of whatever container hosts it, as the engine's view does.
  gtk_widget_destroy(m_container);
  g_object_unref(m_container);
}

void WebBrowser::Impl::CreateEngineView() {
  if (m_created) return;
  m_created = true;
  const WebModuleTable* engine = WebEngineModule();
  if (engine == nullptr) return;
  // A view shares the web process of another view of the same session that shows its site.
  WebModuleView* related = nullptr;
  if (const std::string site = m_pendingUrl ? SiteOf(*m_pendingUrl) : std::string();
      !site.empty()) {
    for (Impl* other : LiveViews()) {
      if (other == this || other->m_view == nullptr || other->m_session != m_session) continue;
      if (SiteOf(Text(engine->locationUrl(other->m_view))) == site) {
        related = other->m_view;
        break;
      }
    }
  }
  NoteWebSessionOpened(m_session);
  WebModuleView* view = engine->create(&Impl::OnEvent, this, related, m_session);
  if (view == nullptr) return;
  m_engine = engine;
  m_view = view;
  GtkWidget* widget = static_cast<GtkWidget*>(m_engine->widget(m_view));
  gtk_container_add(GTK_CONTAINER(m_container), widget);
  gtk_widget_show(widget);
  m_engine->setSilent(m_view, m_silent);
  if (m_muted) m_engine->setMuted(m_view, true);
  if (m_zoom != 1.0) m_engine->setZoom(m_view, m_zoom);
  if (m_pendingUrl) {
    const std::string url = std::move(*m_pendingUrl);
    m_pendingUrl.reset();
    m_engine->navigate(m_view, url.c_str());
  }
}

void WebBrowser::Impl::OnEvent(void* owner, int event, const char* text, bool* flag, bool trusted) {
  Impl* self = static_cast<Impl*>(owner);
  std::string value = Text(text);
  switch (event) {
    case kWebEventBeforeNavigate2: {
      bool cancel = flag != nullptr && *flag;
      // Set for the handler only: it may destroy this view, so nothing is touched afterwards.
      self->m_navigationTrusted = trusted;
      Call(self->m_beforeNavigate2, value, cancel);
      if (flag != nullptr) *flag = cancel;
      break;
    }
    case kWebEventNotice:
      LogEvent(value);
      break;
    case kWebEventAudioChange:
      Call(self->m_audioChange);
      break;
    case kWebEventProgressChange:
      Call(self->m_progressChange);
      break;
    case kWebEventDownloadBegin:
      Call(self->m_downloadBegin);
      break;
    case kWebEventTitleChange:
      Call(self->m_titleChange, value);
      break;
    case kWebEventDocumentComplete:
      Call(self->m_documentComplete, value);
      break;
    case kWebEventZoomStep: {
      int step = value == "1" ? 1 : -1;
      Call(self->m_zoomStep, step);
      break;
    }
    case kWebEventNewWindow: {
      bool processed = flag != nullptr && *flag;
      Call(self->m_newWindow, value, processed);
      if (flag != nullptr) *flag = processed;
      break;
    }
    default:
      break;
  }
}

WebBrowser::Impl* WebBrowserImpl(const WebBrowser& browser) {
  return browser.m_impl.get();
}

GtkWidget* WebBrowserWidget(const WebBrowser& browser) {
  WebBrowser::Impl* impl = WebBrowserImpl(browser);
  return impl != nullptr ? impl->m_container : nullptr;
}

GtkWidget* WebBrowserEngineWidget(const WebBrowser& browser) {
  WebBrowser::Impl* impl = WebBrowserImpl(browser);
  if (impl == nullptr || impl->m_view == nullptr) return nullptr;
  return static_cast<GtkWidget*>(impl->m_engine->widget(impl->m_view));
}

WebBrowser::WebBrowser() : m_impl(std::make_unique<Impl>()) {}
WebBrowser::~WebBrowser() = default;
WebBrowser::WebBrowser(WebBrowser&&) noexcept = default;
WebBrowser& WebBrowser::operator=(WebBrowser&&) noexcept = default;

void WebBrowser::SetSession(int session) {
  // The engine's view is made for one store: once it exists (or was tried) the session stays.
  if (!m_impl || m_impl->m_created || session < 0 || session >= kMaxWebSessions) return;
  m_impl->m_session = session;
}

int WebBrowser::Session() const {
  return m_impl ? m_impl->m_session : 0;
}

void WebBrowser::SetZoom(double factor) {
  if (!m_impl || factor <= 0) return;
  m_impl->m_zoom = factor;
  if (m_impl->m_view != nullptr) m_impl->m_engine->setZoom(m_impl->m_view, factor);
}

std::string WebBrowser::SaveSnapshot(const std::string& path, int& width, int& height) {
  width = height = 0;
  if (!m_impl || m_impl->m_view == nullptr) return "no page";
  const char* error = m_impl->m_engine->snapshot(m_impl->m_view, path.c_str(), &width, &height);
  return error != nullptr ? error : "";
}

double WebBrowser::Zoom() const {
  return m_impl ? m_impl->m_zoom : 1.0;
}

void WebBrowser::Navigate(const std::string& url) {
  if (!m_impl) return;
  if (m_impl->m_view != nullptr) {
    m_impl->m_engine->navigate(m_impl->m_view, url.c_str());
  } else if (!m_impl->m_created) {
    m_impl->m_pendingUrl = url;
  }
}

void WebBrowser::Refresh() {
  // Before the engine's view there is no document to load again; a pending address is loaded
  // when the view comes, which is what reloading it would have done.
  if (m_impl && m_impl->m_view != nullptr) m_impl->m_engine->refresh(m_impl->m_view);
}

bool WebBrowser::Silent() const {
  return m_impl && m_impl->m_silent;
}

void WebBrowser::SetSilent(bool silent) {
  if (!m_impl) return;
  m_impl->m_silent = silent;
  if (m_impl->m_view != nullptr) m_impl->m_engine->setSilent(m_impl->m_view, silent);
}

void WebBrowser::SetBackColor(std::uint32_t color) {
  if (!m_impl) return;
  m_impl->m_backColor = color & 0x00FFFFFF;
  gtk_widget_queue_draw(m_impl->m_container);
}

std::string WebBrowser::TopDocumentURL() const {
  if (!m_impl || m_impl->m_view == nullptr) return std::string();
  return Text(m_impl->m_engine->topDocumentUrl(m_impl->m_view));
}

std::string WebBrowser::LocationURL() const {
  if (!m_impl || m_impl->m_view == nullptr) return std::string();
  return Text(m_impl->m_engine->locationUrl(m_impl->m_view));
}

std::string WebBrowser::DocumentURL() const {
  if (!m_impl || m_impl->m_view == nullptr) return std::string();
  return Text(m_impl->m_engine->documentUrl(m_impl->m_view));
}

std::string WebBrowser::DocumentElementInnerHTML() const {
  if (!m_impl || m_impl->m_view == nullptr) return std::string();
  return Text(m_impl->m_engine->innerHtml(m_impl->m_view));
}

// Both act on the current document: before the engine's view there is none, and they do
// nothing.
void WebBrowser::SetDocumentElementStyleOverflow(const std::string& value) {
  if (!m_impl || m_impl->m_view == nullptr) return;
  const std::string script =
      "if (document.documentElement) document.documentElement.style.overflow = " + JsString(value) +
      ";";
  m_impl->m_engine->runScript(m_impl->m_view, script.c_str());
}

void WebBrowser::SetDocumentOnContextMenuReturnsFalse() {
  if (!m_impl || m_impl->m_view == nullptr) return;
  m_impl->m_engine->runScript(m_impl->m_view,
                              "document.oncontextmenu = function () { return false; };");
}

bool WebBrowser::PlayingAudio() const {
  return m_impl && m_impl->m_view != nullptr && m_impl->m_engine->playingAudio(m_impl->m_view);
}

bool WebBrowser::Muted() const {
  return m_impl && m_impl->m_muted;
}

void WebBrowser::SetMuted(bool muted) {
  if (!m_impl) return;
  m_impl->m_muted = muted;
  if (m_impl->m_view != nullptr) m_impl->m_engine->setMuted(m_impl->m_view, muted);
}

bool WebBrowser::NavigationTrusted() const {
  return m_impl && m_impl->m_navigationTrusted;
}

void WebBrowser::OnBeforeNavigate2(BeforeNavigate2Handler handler) {
  if (m_impl) m_impl->m_beforeNavigate2 = std::move(handler);
}
void WebBrowser::OnDownloadBegin(DownloadBeginHandler handler) {
  if (m_impl) m_impl->m_downloadBegin = std::move(handler);
}
void WebBrowser::OnTitleChange(TitleChangeHandler handler) {
  if (m_impl) m_impl->m_titleChange = std::move(handler);
}
void WebBrowser::OnDocumentComplete(DocumentCompleteHandler handler) {
  if (m_impl) m_impl->m_documentComplete = std::move(handler);
}
void WebBrowser::OnNewWindow(NewWindowHandler handler) {
  if (m_impl) m_impl->m_newWindow = std::move(handler);
}
void WebBrowser::OnAudioChange(AudioChangeHandler handler) {
  if (m_impl) m_impl->m_audioChange = std::move(handler);
}

void WebBrowser::OnProgressChange(std::function<void()> handler) {
  if (m_impl) m_impl->m_progressChange = std::move(handler);
}

void WebBrowser::OnZoomStep(std::function<void(int step)> handler) {
  if (m_impl) m_impl->m_zoomStep = std::move(handler);
}

}  // namespace platform
