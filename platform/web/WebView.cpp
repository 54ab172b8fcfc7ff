// The web-browser view over WebKitGTK, and the module's one entry point. WebBrowser.h says how
// the view's members map onto the engine; the view itself forwards to the table made here.

#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "WebViewGtk.h"
#include "platform/webhost/WebBrowser.h"

namespace platform {

namespace {

constexpr char kMessageHandler[] = "clientView";

// The script world of our own scripts. Page scripts run in another world: they see neither our
// message handler nor our scripts' variables, so they can neither call the bridge nor fake what
// it reports.
constexpr char kScriptWorld[] = "client";

// Injected at document start in every frame, in the page's own world, before the page's
// scripts: the only part of ours that page scripts can reach, and it knows nothing of the
// client. window.open is replaced so that every request for a new window, also one whose
// address the engine cannot parse, is seen; form.submit() is wrapped so that a GET form whose
// action the engine cannot parse is seen with its fields. Both only raise a DOM event on their
// own document, which the bridge below answers for that frame: a script can raise them itself,
// but only on documents it may script anyway, so it gains nothing by that.
constexpr char kPageScript[] = R"JS((function () {
  var dispatch = EventTarget.prototype.dispatchEvent;
  var CustomEventOf = CustomEvent;
  var EventOf = Event;
  window.open = function open(url, target, features) {
    var raw = url === undefined ? '' : String(url);
    dispatch.call(document, new CustomEventOf('clientopenrequest', { detail: raw }));
    return null;
  };
  var submit = HTMLFormElement.prototype.submit;
  HTMLFormElement.prototype.submit = function () {
    var request = new EventOf('clientsubmitrequest', { bubbles: true, cancelable: true });
    if (dispatch.call(this, request)) submit.call(this);
  };
})();)JS";

// The bridge, injected at document start in every frame into our own world. It tells the
// client what the page's frame asks for, and whether that frame may give the client commands:
// the top document and frames of its origin may, other frames (advertisements) may not.
// Navigations the engine reports to us without naming a frame are matched against the
// addresses the trusted frames announce here ("vouch") just before the engine acts on them.
constexpr char kBridgeScript[] = R"JS((function () {
  var handlers = window.webkit && window.webkit.messageHandlers;
  var channel = handlers && handlers.clientView;
  if (!channel) return;
  // Names this frame in what it reports, so that a pop-up is granted only to the frame the user
  // pressed in. Page scripts cannot read it.
  var frame = String(Math.random()).slice(2) + '.' + String(Date.now());
  function trusted() {
    try {
      if (window.top === window) return true;
      return self.origin !== 'null' && window.top.origin === self.origin;
    } catch (e) {
      return false;
    }
  }
  function post(message) {
    message.trusted = trusted();
    message.frame = frame;
    try {
      channel.postMessage(message);
    } catch (e) {}
  }
  function resolve(raw) {
    try {
      return new URL(raw, document.baseURI).href;
    } catch (e) {
      return null;
    }
  }
  // The top document's address goes with the announcement: the client drops announcements of
  // a top document it no longer shows (one that runs on while the next loads elsewhere).
  function vouch(raw, url) {
    if (!trusted()) return;
    var top = '';
    try {
      top = String(window.top.location.href);
    } catch (e) {}
    post({ kind: 'vouch', raw: String(raw), url: url === null ? '' : String(url), top: top });
  }
  // Calls `then` once `event` has been through every listener of the page, unless it did not
  // get that far: a listener added to window's bubbling phase while the event is on its way is
  // the last one it meets (a listener of the page that stops it stops this one as well).
  function afterPage(event, then) {
    window.addEventListener(event.type, function (late) {
      if (late === event) then();
    }, { once: true });
  }
  function formAddress(form) {
    var raw = form.getAttribute('action');
    if (raw === null) raw = '';
    var get = (form.getAttribute('method') || 'get').toLowerCase() === 'get';
    var resolved = resolve(raw);
    var query = get ? '?' + new URLSearchParams(new FormData(form)).toString() : '';
    if (resolved === null) return { raw: get ? raw.split('?')[0] + query : raw, parsable: false, get: get };
    return { raw: get ? resolved.split('#')[0].split('?')[0] + query : resolved, parsable: true, get: get };
  }
  // A GET form whose action the engine cannot parse would reach the client without its fields
  // (the engine cannot append a query to such an address): it is reported from here instead,
  // the way any browser builds the address, and the submission goes no further.
  // A submission the page cancels goes nowhere and is vouched for by nothing.
  function submitted(form, event) {
    var address = formAddress(form);
    if (event.isTrusted !== false) post({ kind: 'intent', url: address.raw });
    if (!address.parsable && address.get) {
      event.preventDefault();
      post({ kind: 'navigate', raw: address.raw });
      return;
    }
    afterPage(event, function () {
      if (!event.defaultPrevented) vouch(address.raw, address.raw);
    });
  }
  document.addEventListener('clientopenrequest', function (event) {
    var raw = typeof event.detail === 'string' ? event.detail : '';
    post({ kind: 'open', raw: raw, url: raw === '' ? 'about:blank' : resolve(raw) });
  }, true);
  document.addEventListener('clientsubmitrequest', function (event) {
    if (event.target instanceof HTMLFormElement) submitted(event.target, event);
  }, true);
  window.addEventListener('submit', function (event) {
    if (event.target instanceof HTMLFormElement) submitted(event.target, event);
  }, true);
  // A press of the user (the engine's own events only: a script cannot make one) names the
  // frame it landed in.
  function pressed(event) {
    if (event.isTrusted) post({ kind: 'press' });
  }
  window.addEventListener('mousedown', pressed, true);
  window.addEventListener('keydown', pressed, true);
  // A link activated. A click the page cancels leads nowhere, so its address is vouched for only
  // once the page has let it through. A script's click() starts its navigation before the script
  // goes on: what it vouched for is withdrawn once that script has ended (a microtask), so that
  // it never serves a later navigation (one of another frame) when the engine did not go there.
  window.addEventListener('click', function (event) {
    for (var node = event.target; node; node = node.parentNode) {
      if ((node instanceof HTMLAnchorElement || node instanceof HTMLAreaElement) &&
          node.hasAttribute('href')) {
        var raw = node.getAttribute('href');
        var url = resolve(raw);
        // The frame a link's new window would come from (the engine does not say).
        if (event.isTrusted) post({ kind: 'intent', url: url || '' });
        afterPage(event, function () {
          if (event.defaultPrevented) return;
          vouch(raw, url);
          if (!event.isTrusted) {
            queueMicrotask(function () {
              post({ kind: 'withdraw', raw: raw, url: url === null ? '' : url });
            });
          }
        });
        return;
      }
    }
  }, true);
  if (window.navigation) {
    // Script navigations of this frame (location.href = ...) asked for by its own origin.
    window.navigation.addEventListener('navigate', function (event) {
      vouch(event.destination.url, event.destination.url);
    });
  }
})();)JS";

// Read in one round trip when the main frame has finished, in our own world (a page cannot
// change what it reads). A document without content (no element and no text in its body, no
// frame set: what an empty response gives) is reported with an empty root element, as one
// that did not arrive is.
std::string SnapshotScript() {
  const std::string cap = std::to_string(WebBrowser::kMaxInnerHtml);
  const std::string titleCap = std::to_string(WebBrowser::kMaxTitle);
  return "(function () {"
         "  var root = document.documentElement;"
         "  var body = document.body;"
         "  var content = !!body && (body.tagName === 'FRAMESET' || body.children.length > 0 ||"
         "                           body.textContent.trim() !== '');"
         "  var html = root && content ? root.innerHTML : '';"
         "  if (html.length > " +
         cap + ") html = html.slice(0, " + cap +
         ");"
         "  var title = String(document.title);"
         "  if (title.length > " +
         titleCap + ") title = title.slice(0, " + titleCap +
         ");"
         "  return { url: String(document.URL), html: html, title: title };"
         "})()";
}

// A short notice shown in the page area instead of a page whose web process keeps crashing.
constexpr char kCrashNotice[] =
    "<!DOCTYPE html><html><head><meta charset='utf-8'><title></title></head>"
    "<body style='font:14px sans-serif;color:#444;background:#fff;margin:2em'>"
    "<p>页面多次意外终止，已停止加载。请稍后刷新页面。</p></body></html>";

std::string Text(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

std::string JsProperty(JSCValue* object, const char* name) {
  if (object == nullptr || !jsc_value_is_object(object)) return {};
  JSCValue* value = jsc_value_object_get_property(object, name);
  std::string result;
  if (value != nullptr && !jsc_value_is_null(value) && !jsc_value_is_undefined(value)) {
    gchar* s = jsc_value_to_string(value);
    result = Text(s);
    g_free(s);
  }
  if (value != nullptr) g_object_unref(value);
  return result;
}

bool JsPropertyIsNull(JSCValue* object, const char* name) {
  if (object == nullptr || !jsc_value_is_object(object)) return true;
  JSCValue* value = jsc_value_object_get_property(object, name);
  const bool null = value == nullptr || jsc_value_is_null(value) || jsc_value_is_undefined(value);
  if (value != nullptr) g_object_unref(value);
  return null;
}

// Errors that mean the load was given up for another one (or for a response we refuse), not
// that the page could not be reached.
bool IsInterruption(const GError* error) {
  return g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
         g_error_matches(error, WEBKIT_POLICY_ERROR,
                         WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
}

// At most `limit` bytes of `text`, cut before a UTF-8 continuation byte.
std::string CapUtf8(std::string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

// Whether two addresses have one origin (scheme, host and port), as the engine sees them.
// Addresses without a host (about:blank, data:) have none in common with anything.
bool SameOrigin(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  WebKitSecurityOrigin* first = webkit_security_origin_new_for_uri(a.c_str());
  WebKitSecurityOrigin* second = webkit_security_origin_new_for_uri(b.c_str());
  const char* host = first != nullptr ? webkit_security_origin_get_host(first) : nullptr;
  const bool same =
      second != nullptr && host != nullptr && *host != '\0' &&
      g_strcmp0(webkit_security_origin_get_protocol(first),
                webkit_security_origin_get_protocol(second)) == 0 &&
      g_strcmp0(host, webkit_security_origin_get_host(second)) == 0 &&
      webkit_security_origin_get_port(first) == webkit_security_origin_get_port(second);
  if (first != nullptr) webkit_security_origin_unref(first);
  if (second != nullptr) webkit_security_origin_unref(second);
  return same;
}

bool HasAttachmentDisposition(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* disposition =
      headers != nullptr ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
  return disposition != nullptr && g_ascii_strncasecmp(disposition, "attachment", 10) == 0;
}

constexpr char kViewKey[] = "client-module-view";

// A game in a tab that is not selected is hidden from the engine, which then stops its
// animation frames and its painting; by default it would also hold the page's timers to one
// tick a second. A game's logic (turns, countdowns, keep-alives) runs on those timers and must
// go on at its own pace in the background, as it does in the selected tab.
void KeepHiddenPageTimers(WebKitSettings* settings) {
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* feature = webkit_feature_list_get(features, i);
    if (g_strcmp0(webkit_feature_get_identifier(feature), "HiddenPageDOMTimerThrottling") == 0) {
      webkit_settings_set_feature_enabled(settings, feature, FALSE);
    }
  }
  webkit_feature_list_unref(features);
}

}  // namespace

std::string CapForLog(const char* url) {
  const std::string text = Text(url);
  if (text.size() <= kMaxLoggedUrl) return text;
  return CapUtf8(text, kMaxLoggedUrl) + "...";
}

}  // namespace platform

using platform::CapForLog;
using platform::CapUtf8;
using platform::GObjectRef;
using platform::HasAttachmentDisposition;
using platform::IsInterruption;
using platform::JsProperty;
using platform::JsPropertyIsNull;
using platform::kBridgeScript;
using platform::kCrashNotice;
using platform::KeepHiddenPageTimers;
using platform::kMessageHandler;
using platform::kPageScript;
using platform::kScriptWorld;
using platform::kViewKey;
using platform::kWebLog;
using platform::SameOrigin;
using platform::SnapshotScript;
using platform::Text;
using platform::WebBrowser;

struct WebModuleView {
  // `related`, when given, is a view of the same session whose web process this one shares.
  WebModuleView(WebModuleEventFn raise, void* owner, WebModuleView* related, int session);
  ~WebModuleView();
  WebModuleView(const WebModuleView&) = delete;
  WebModuleView& operator=(const WebModuleView&) = delete;

  // Raising an event: the owner may destroy this view from inside the call; the answer tells
  // the caller whether it may go on touching the view.
  bool Raise(WebModuleEvent event, const std::string& text = std::string(), bool* flag = nullptr,
             bool trusted = false) {
    std::weak_ptr<int> alive = m_alive;
    m_raise(m_owner, event, text.c_str(), flag, trusted);
    return !alive.expired();
  }
  bool Notice(const std::string& line) { return Raise(kWebEventNotice, line); }

  // A request for a new window: BeforeNavigate2 with the raw address, then NewWindow with the
  // resolved one unless cancelled, unresolvable or refused as a pop-up. False when a handler
  // destroyed the view.
  // `frame` names the frame that asked (kBridgeScript), "" when the engine reported the request
  // without one.
  bool RequestNewWindow(const std::string& raw, const std::string& resolved, bool resolvable,
                        bool trusted, const std::string& frame = std::string());
  // Whether a new window for `url` may go to the owner now: only within kGestureUs of a button
  // or key press of the user in this view, for the frame the press landed in (the one that
  // asked, or for a request the engine reports without a frame, the frame whose link or form the
  // user just activated for that address), one window per press, and at most kMaxPopups web
  // addresses in kPopupPeriodUs. Other addresses open nothing anywhere and use up nothing.
  // What the page or the engine say about gestures is not asked: a page script cannot press.
  bool AllowPopup(const std::string& url, const std::string& frame);
  // The frame that announced a link or form to `url` just now ("" when none did).
  std::string IntentFrame(const std::string& url);
  void RaiseTitleIfChanged(const std::string& title);
  void Snapshot();
  void RunScript(const std::string& script);
  // Whether a navigation to `uri` the engine reports was asked for by the client, the top
  // document or a frame of its origin (see kBridgeScript).
  bool Trusted(const std::string& uri);
  void Vouch(const std::string& address);

  // Signal handlers.
  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType,
                                 gpointer self);
  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError*, gpointer self);
  static void OnTitle(GObject*, GParamSpec*, gpointer self);
  static void OnAudio(GObject*, GParamSpec*, gpointer self);
  static void OnProgress(GObject* object, GParamSpec* spec, gpointer data);
  static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction*, gpointer self);
  static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self);
  static gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer self);
  static gboolean OnPrint(WebKitWebView*, WebKitPrintOperation*, gpointer self);
  static gboolean OnPermission(WebKitWebView*, WebKitPermissionRequest*, gpointer self);
  static gboolean OnFileChooser(WebKitWebView*, WebKitFileChooserRequest*, gpointer self);
  static gboolean OnColorChooser(WebKitWebView*, WebKitColorChooserRequest*, gpointer self);
  static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                gpointer self);
  static gboolean OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest*, gpointer self);
  static gboolean OnUserInput(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean OnScroll(GtkWidget*, GdkEventScroll*, gpointer self);
  static void OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
  static void OnSnapshotReady(GObject* source, GAsyncResult* result, gpointer data);

  static constexpr gint64 kGestureUs = 1000 * 1000;  // a gesture allows pop-ups this long
  static constexpr gint64 kPopupPeriodUs = 60 * 1000 * 1000;
  static constexpr std::size_t kMaxPopups = 5;          // per kPopupPeriodUs
  static constexpr gint64 kVouchUs = 10 * 1000 * 1000;  // an announcement is good this long
  static constexpr std::size_t kMaxVouched = 64;
  static constexpr gint64 kCrashPeriodUs = 60 * 1000 * 1000;

  WebModuleEventFn m_raise;
  void* m_owner;
  GObjectRef<WebKitUserContentManager> m_content;
  GObjectRef<WebKitWebView> m_view;
  GObjectRef<GCancellable> m_cancellable;
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);

  bool m_silent = false;
  enum class LoadOutcome { Ok, Failed, FailedLater, Interrupted };
  LoadOutcome m_outcome = LoadOutcome::Ok;
  bool m_shown = false;       // a document has arrived in this view
  unsigned m_mainStatus = 0;  // HTTP status of the main frame's last response
  std::string m_failedUri;
  std::string m_documentUrl;
  std::string m_innerHtml;
  std::string m_lastTitle;
  std::string m_location;  // the last answer of locationUrl
  std::string m_snapshotError;  // the last answer of snapshot
  std::string m_committed;      // the top-level document shown now (committed)

  std::string m_clientUri;      // the address of our own last Navigate, until the engine asks
  bool m_clientReload = false;  // our own Refresh, until the engine asks
  struct Vouched {
    std::string address;
    gint64 at;
  };
  std::deque<Vouched> m_vouched;
  gint64 m_lastInput = 0;       // the user's last button or key press in the view
  std::string m_pressFrame;     // the frame that press landed in, once it has said so
  std::deque<Vouched> m_intents;  // links and forms the user activated: "frame address"
  std::deque<gint64> m_popups;  // when the recent pop-ups went out
  gint64 m_lastCrash = 0;
};

namespace {

struct PendingSnapshot {
  WebModuleView* impl;
  std::weak_ptr<int> alive;
  std::string eventUrl;
};

}  // namespace

bool platform::NoticeFromView(WebKitWebView* view, const std::string& line) {
  auto* owner = static_cast<WebModuleView*>(g_object_get_data(G_OBJECT(view), kViewKey));
  if (owner == nullptr) return false;
  owner->Notice(line);
  return true;
}

WebModuleView::WebModuleView(WebModuleEventFn raise, void* owner, WebModuleView* related,
                             int session)
    : m_raise(raise), m_owner(owner) {
  m_cancellable = GObjectRef<GCancellable>::Adopt(g_cancellable_new());
  m_content = GObjectRef<WebKitUserContentManager>::Adopt(webkit_user_content_manager_new());
  // Connect before registering, so that no message can arrive unheard.
  g_signal_connect(m_content.get(), "script-message-received::clientView",
                   G_CALLBACK(&WebModuleView::OnScriptMessage), this);
  webkit_user_content_manager_register_script_message_handler_in_world(
      m_content.get(), kMessageHandler, kScriptWorld);
  WebKitUserScript* page =
      webkit_user_script_new(kPageScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(m_content.get(), page);
  webkit_user_script_unref(page);
  WebKitUserScript* bridge = webkit_user_script_new_for_world(
      kBridgeScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kScriptWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(m_content.get(), bridge);
  webkit_user_script_unref(bridge);

  WebKitSettings* settings = webkit_settings_new();
  // Requests for new windows reach us whenever they come (a window.open long after a click,
  // one in a frame our page script does not reach) and are refused or handed on by our own
  // rule (AllowPopup); the engine's own rule would drop some of them without a word.
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  // Pages are drawn without GL: a view that overhangs its clipping container (as both the
  // login page and the tab pages do) was drawn shifted by the hidden part with GL compositing,
  // and software drawing costs these pages nothing.
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  KeepHiddenPageTimers(settings);

  // A related view shares the other's web process (and its context) instead of starting one
  // of its own; our scripts, settings and message handler stay this view's own.
  m_view = GObjectRef<WebKitWebView>::Adopt(WEBKIT_WEB_VIEW(
      related != nullptr
          ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related->m_view.get(),
                         "user-content-manager", m_content.get(), "settings", settings, nullptr)
          : g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", platform::SharedWebContext(session),
                         "user-content-manager", m_content.get(), "settings", settings, nullptr)));
  g_object_unref(settings);
  g_object_set_data(G_OBJECT(m_view.get()), kViewKey, this);

  GObject* view = G_OBJECT(m_view.get());
  g_signal_connect(view, "decide-policy", G_CALLBACK(&WebModuleView::OnDecidePolicy), this);
  g_signal_connect(view, "load-changed", G_CALLBACK(&WebModuleView::OnLoadChanged), this);
  g_signal_connect(view, "load-failed", G_CALLBACK(&WebModuleView::OnLoadFailed), this);
  g_signal_connect(view, "notify::title", G_CALLBACK(&WebModuleView::OnTitle), this);
  g_signal_connect(view, "create", G_CALLBACK(&WebModuleView::OnCreate), this);
  g_signal_connect(view, "script-dialog", G_CALLBACK(&WebModuleView::OnScriptDialog), this);
  g_signal_connect(view, "print", G_CALLBACK(&WebModuleView::OnPrint), this);
  g_signal_connect(view, "permission-request", G_CALLBACK(&WebModuleView::OnPermission), this);
  g_signal_connect(view, "run-file-chooser", G_CALLBACK(&WebModuleView::OnFileChooser), this);
  g_signal_connect(view, "run-color-chooser", G_CALLBACK(&WebModuleView::OnColorChooser), this);
  g_signal_connect(view, "context-menu", G_CALLBACK(&WebModuleView::OnContextMenu), this);
  g_signal_connect(view, "authenticate", G_CALLBACK(&WebModuleView::OnAuthenticate), this);
  g_signal_connect(view, "button-press-event", G_CALLBACK(&WebModuleView::OnUserInput), this);
  g_signal_connect(view, "key-press-event", G_CALLBACK(&WebModuleView::OnUserInput), this);
  g_signal_connect(view, "scroll-event", G_CALLBACK(&WebModuleView::OnScroll), this);
  g_signal_connect(view, "web-process-terminated", G_CALLBACK(&WebModuleView::OnProcessTerminated),
                   this);
  g_signal_connect(view, "notify::is-playing-audio", G_CALLBACK(&WebModuleView::OnAudio), this);
  g_signal_connect(view, "notify::estimated-load-progress", G_CALLBACK(&WebModuleView::OnProgress),
                   this);
}

WebModuleView::~WebModuleView() {
  m_alive.reset();
  g_cancellable_cancel(m_cancellable.get());
  g_object_set_data(G_OBJECT(m_view.get()), kViewKey, nullptr);
  g_signal_handlers_disconnect_by_data(m_view.get(), this);
  g_signal_handlers_disconnect_by_data(m_content.get(), this);
  webkit_user_content_manager_unregister_script_message_handler_in_world(
      m_content.get(), kMessageHandler, kScriptWorld);
  // Takes the widget out of whatever container hosts it; our reference keeps the object until
  // the end of this destructor (or of the signal emission we may be called from).
  gtk_widget_destroy(GTK_WIDGET(m_view.get()));
}

void WebModuleView::Vouch(const std::string& address) {
  if (address.empty()) return;
  m_vouched.push_back({address, g_get_monotonic_time()});
  while (m_vouched.size() > kMaxVouched) m_vouched.pop_front();
}

bool WebModuleView::Trusted(const std::string& uri) {
  const gint64 now = g_get_monotonic_time();
  while (!m_vouched.empty() && now - m_vouched.front().at > kVouchUs) m_vouched.pop_front();
  for (auto it = m_vouched.begin(); it != m_vouched.end(); ++it) {
    if (it->address == uri) {
      m_vouched.erase(it);
      return true;
    }
  }
  return false;
}

std::string WebModuleView::IntentFrame(const std::string& url) {
  const gint64 now = g_get_monotonic_time();
  while (!m_intents.empty() && now - m_intents.front().at > kGestureUs) m_intents.pop_front();
  for (auto it = m_intents.rbegin(); it != m_intents.rend(); ++it) {
    const std::size_t space = it->address.find(' ');
    if (it->address.compare(space + 1, std::string::npos, url) == 0) {
      return it->address.substr(0, space);
    }
  }
  return {};
}

bool WebModuleView::AllowPopup(const std::string& url, const std::string& frame) {
  if (g_ascii_strncasecmp(url.c_str(), "http://", 7) != 0 &&
      g_ascii_strncasecmp(url.c_str(), "https://", 8) != 0) {
    return true;
  }
  const gint64 now = g_get_monotonic_time();
  if (m_lastInput == 0 || now - m_lastInput > kGestureUs) return false;
  const std::string asking = frame.empty() ? IntentFrame(url) : frame;
  if (m_pressFrame.empty() || asking != m_pressFrame) return false;
  while (!m_popups.empty() && now - m_popups.front() > kPopupPeriodUs) m_popups.pop_front();
  if (m_popups.size() >= kMaxPopups) return false;
  m_popups.push_back(now);
  m_lastInput = 0;  // used up
  m_pressFrame.clear();
  return true;
}

bool WebModuleView::RequestNewWindow(const std::string& raw, const std::string& resolved,
                                     bool resolvable, bool trusted, const std::string& frame) {
  bool cancel = false;
  if (!Raise(kWebEventBeforeNavigate2, raw, &cancel, trusted)) return false;
  if (cancel || !resolvable) return true;
  if (!AllowPopup(resolved, frame)) {
    return Notice("pop-up refused (no user gesture, or too many): " + CapForLog(resolved.c_str()));
  }
  bool processed = false;
  return Raise(kWebEventNewWindow, resolved, &processed);
}

void WebModuleView::RaiseTitleIfChanged(const std::string& title) {
  const std::string capped = CapUtf8(title, WebBrowser::kMaxTitle);
  if (capped == m_lastTitle) return;
  m_lastTitle = capped;
  Raise(kWebEventTitleChange, capped);
}

void WebModuleView::Snapshot() {
  auto* pending = new PendingSnapshot{this, m_alive, Text(webkit_web_view_get_uri(m_view.get()))};
  const std::string script = SnapshotScript();
  webkit_web_view_evaluate_javascript(m_view.get(), script.c_str(), -1, kScriptWorld, nullptr,
                                      m_cancellable.get(), &WebModuleView::OnSnapshotReady,
                                      pending);
}

void WebModuleView::OnSnapshotReady(GObject* source, GAsyncResult* result, gpointer data) {
  PendingSnapshot* pending = static_cast<PendingSnapshot*>(data);
  GError* error = nullptr;
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
  if (!pending->alive.expired()) {
    WebModuleView* self = pending->impl;
    if (error != nullptr) {
      // The document could not be read (it went away, or scripts cannot run in it): report
      // what the engine knows and an empty root element.
      kWebLog(std::string("snapshot failed: ") + error->message);
      self->m_documentUrl = pending->eventUrl;
      self->m_innerHtml.clear();
    } else {
      self->m_documentUrl = JsProperty(value, "url");
      self->m_innerHtml = JsProperty(value, "html");
    }
    // The engine's own notice of the title can come after this answer; the document's title
    // is reported from here so that it always precedes the completion.
    const std::string title = error != nullptr ? Text(webkit_web_view_get_title(self->m_view.get()))
                                               : JsProperty(value, "title");
    std::string url = pending->eventUrl;
    std::weak_ptr<int> alive = pending->alive;
    self->RaiseTitleIfChanged(title);
    if (!alive.expired()) self->Raise(kWebEventDocumentComplete, url);
  }
  if (value != nullptr) g_object_unref(value);
  if (error != nullptr) g_error_free(error);
  delete pending;
}

void WebModuleView::RunScript(const std::string& script) {
  webkit_web_view_evaluate_javascript(m_view.get(), script.c_str(), -1, nullptr, nullptr, nullptr,
                                      nullptr, nullptr);
}

gboolean WebModuleView::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                       WebKitPolicyDecisionType type, gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
      WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
          WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      std::string url =
          Text(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
      bool trusted = false;
      if (!self->m_clientUri.empty() &&
          (url == self->m_clientUri || url == self->m_clientUri + "/")) {
        self->m_clientUri.clear();
        trusted = true;
      } else if (self->m_clientReload && webkit_navigation_action_get_navigation_type(action) ==
                                             WEBKIT_NAVIGATION_TYPE_RELOAD) {
        self->m_clientReload = false;
        trusted = true;
      } else {
        trusted = self->Trusted(url);
      }
      bool cancel = false;
      if (!self->Raise(kWebEventBeforeNavigate2, url, &cancel, trusted)) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
      }
      if (!cancel) return FALSE;
      webkit_policy_decision_ignore(decision);
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
      WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
          WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      const std::string url =
          Text(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
      // Refused whatever the handlers say: the client never opens a window of the engine's.
      webkit_policy_decision_ignore(decision);
      self->RequestNewWindow(url, url, true, self->Trusted(url));
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
      WebKitResponsePolicyDecision* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
      WebKitURIResponse* r = webkit_response_policy_decision_get_response(response);
      const bool main = webkit_response_policy_decision_is_main_frame_main_resource(response);
      if (main) self->m_mainStatus = webkit_uri_response_get_status_code(r);
      // A response the view cannot show, or one the server wants saved, would otherwise
      // become a download.
      if (webkit_response_policy_decision_is_mime_type_supported(response) &&
          !HasAttachmentDisposition(r)) {
        return FALSE;
      }
      webkit_policy_decision_ignore(decision);
      self->Notice("download refused: " + CapForLog(webkit_uri_response_get_uri(r)));
      return TRUE;
    }
  }
  return FALSE;
}

void WebModuleView::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  switch (event) {
    case WEBKIT_LOAD_COMMITTED:
      self->m_committed = Text(webkit_web_view_get_uri(self->m_view.get()));
      // What the previous document announced was for its own links: a frame of this one may not
      // use it (an address the user clicked there, or one that page clicked for itself).
      self->m_vouched.clear();
      self->m_intents.clear();
      self->Raise(kWebEventProgressChange);
      break;
    case WEBKIT_LOAD_REDIRECTED:
      self->Raise(kWebEventProgressChange);
      break;
    case WEBKIT_LOAD_STARTED:
      self->m_outcome = LoadOutcome::Ok;
      self->m_mainStatus = 0;
      self->Raise(kWebEventDownloadBegin);
      break;
    case WEBKIT_LOAD_FINISHED: {
      LoadOutcome outcome = std::exchange(self->m_outcome, LoadOutcome::Ok);
      // Before any document has arrived, an HTTP error is no page either (the login page's
      // first load relies on that); later the server's error page is shown like any page.
      if (outcome == LoadOutcome::Ok && !self->m_shown && self->m_mainStatus >= 400) {
        self->Notice("page answered HTTP " + std::to_string(self->m_mainStatus) + ": " +
                     CapForLog(webkit_web_view_get_uri(self->m_view.get())));
        outcome = LoadOutcome::Failed;
        self->m_failedUri = Text(webkit_web_view_get_uri(self->m_view.get()));
      }
      if (outcome == LoadOutcome::Interrupted) break;
      if (outcome == LoadOutcome::FailedLater) break;  // the shown page stays; logged
      if (outcome == LoadOutcome::Failed) {
        std::string url = self->m_failedUri;
        self->m_documentUrl = url;
        self->m_innerHtml.clear();
        self->Raise(kWebEventDocumentComplete, url);
        break;
      }
      self->m_shown = true;
      self->Snapshot();
      break;
    }
    default:
      break;
  }
}

gboolean WebModuleView::OnLoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* uri,
                                     GError* error, gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  kWebLog("load of " + CapForLog(uri) + " failed: " + (error != nullptr ? error->message : ""));
  if (IsInterruption(error)) {
    self->m_outcome = LoadOutcome::Interrupted;
  } else if (event == WEBKIT_LOAD_COMMITTED) {
    // Part of the document arrived and is shown: it completes as it is.
    self->m_outcome = LoadOutcome::Ok;
  } else if (self->m_shown) {
    // The view shows a page already: it stays, as a browser leaves it for a link that fails.
    self->m_outcome = LoadOutcome::FailedLater;
    self->Notice("page could not be loaded, the shown page stays: " + CapForLog(uri) + " (" +
                 (error != nullptr ? error->message : "") + ")");
  } else {
    self->m_outcome = LoadOutcome::Failed;
    self->m_failedUri = Text(uri);
  }
  return TRUE;  // no error page
}

void WebModuleView::OnTitle(GObject*, GParamSpec*, gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  self->RaiseTitleIfChanged(Text(webkit_web_view_get_title(self->m_view.get())));
}

void WebModuleView::OnAudio(GObject*, GParamSpec*, gpointer data) {
  static_cast<WebModuleView*>(data)->Raise(kWebEventAudioChange);
}

void WebModuleView::OnProgress(GObject* /*object*/, GParamSpec* /*spec*/, gpointer data) {
  static_cast<WebModuleView*>(data)->Raise(kWebEventProgressChange);
}

GtkWidget* WebModuleView::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  const std::string url =
      Text(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
  self->RequestNewWindow(url, url, true, self->Trusted(url));
  return nullptr;
}

void WebModuleView::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* message,
                                    gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  JSCValue* value = webkit_javascript_result_get_js_value(message);
  const std::string kind = JsProperty(value, "kind");
  const bool trusted = JsProperty(value, "trusted") == "true";
  if (kind == "vouch") {
    if (!SameOrigin(JsProperty(value, "top"), self->m_committed)) return;
    // One announcement per address: a second copy would outlive the navigation that uses the first.
    const std::string raw = JsProperty(value, "raw");
    const std::string url = JsProperty(value, "url");
    self->Vouch(raw);
    if (url != raw) self->Vouch(url);
    return;
  }
  if (kind == "withdraw") {
    // Uses up what the "vouch" of the same link left, if its navigation has not.
    const std::string raw = JsProperty(value, "raw");
    const std::string url = JsProperty(value, "url");
    self->Trusted(raw);
    if (url != raw) self->Trusted(url);
    return;
  }
  const std::string frame = JsProperty(value, "frame");
  if (kind == "press") {
    // Only a press the view has just seen from the user counts.
    const gint64 now = g_get_monotonic_time();
    if (self->m_lastInput != 0 && now - self->m_lastInput <= kGestureUs) self->m_pressFrame = frame;
    return;
  }
  if (kind == "intent") {
    self->m_intents.push_back({frame + " " + JsProperty(value, "url"), g_get_monotonic_time()});
    while (self->m_intents.size() > kMaxVouched) self->m_intents.pop_front();
    return;
  }
  if (kind == "navigate") {
    // The engine cannot go there; the page's request is seen, and whatever the handler says
    // the current document stays.
    bool cancel = false;
    self->Raise(kWebEventBeforeNavigate2, JsProperty(value, "raw"), &cancel, trusted);
    return;
  }
  if (kind != "open") return;
  const std::string raw = JsProperty(value, "raw");
  if (JsPropertyIsNull(value, "url")) {
    self->RequestNewWindow(raw, std::string(), false, trusted, frame);
  } else {
    // An address the engine can parse is reported absolute, as a link's would be; the raw
    // text goes out only when there is nothing else to report.
    const std::string resolved = JsProperty(value, "url");
    self->RequestNewWindow(resolved, resolved, true, trusted, frame);
  }
}

gboolean WebModuleView::OnUserInput(GtkWidget*, GdkEvent* event, gpointer data) {
  // Synthetic events (sent by another client of the display) are no gesture of the user.
  if (event->any.send_event == FALSE) {
    auto* self = static_cast<WebModuleView*>(data);
    self->m_lastInput = g_get_monotonic_time();
    self->m_pressFrame.clear();  // the frame says where it landed
  }
  return FALSE;
}

gboolean WebModuleView::OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
  if ((event->state & GDK_CONTROL_MASK) == 0) return FALSE;
  int step = 0;
  if (event->direction == GDK_SCROLL_UP) step = 1;
  if (event->direction == GDK_SCROLL_DOWN) step = -1;
  if (event->direction == GDK_SCROLL_SMOOTH && event->delta_y != 0) {
    step = event->delta_y < 0 ? 1 : -1;
  }
  if (step != 0) static_cast<WebModuleView*>(data)->Raise(kWebEventZoomStep, step > 0 ? "1" : "-1");
  return TRUE;
}

void WebModuleView::OnProcessTerminated(WebKitWebView* view,
                                        WebKitWebProcessTerminationReason reason, gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API) return;
  const gint64 now = g_get_monotonic_time();
  const bool again = self->m_lastCrash != 0 && now - self->m_lastCrash < kCrashPeriodUs;
  self->m_lastCrash = now;
  const std::string uri = Text(webkit_web_view_get_uri(view));
  const char* why =
      reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "exceeded its memory limit" : "crashed";
  if (again) {
    // A page that takes its process down each time it loads must not loop: a short notice
    // stands in its place until the user refreshes.
    if (!self->Notice(std::string("web process ") + why +
                      " again, the page is not reloaded: " + CapForLog(uri.c_str()))) {
      return;
    }
    webkit_web_view_load_alternate_html(view, platform::kCrashNotice,
                                        uri.empty() ? "about:blank" : uri.c_str(), nullptr);
    return;
  }
  if (!self->Notice(std::string("web process ") + why + ", reloading: " + CapForLog(uri.c_str()))) {
    return;
  }
  self->m_clientReload = true;
  webkit_web_view_reload(view);
}

gboolean WebModuleView::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
  if (!static_cast<WebModuleView*>(data)->m_silent) return FALSE;
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
      break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      // Unanswered, the engine would stay on the page while already reporting the new address.
      webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
      break;
    default:
      break;
  }
  return TRUE;
}

gboolean WebModuleView::OnPrint(WebKitWebView*, WebKitPrintOperation*, gpointer data) {
  // Unrefused, window.print() opens a modal dialog that blocks the whole process.
  return static_cast<WebModuleView*>(data)->m_silent ? TRUE : FALSE;
}

gboolean WebModuleView::OnPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
  webkit_permission_request_deny(request);
  return TRUE;
}

gboolean WebModuleView::OnFileChooser(WebKitWebView*, WebKitFileChooserRequest* request,
                                      gpointer data) {
  if (!static_cast<WebModuleView*>(data)->m_silent) return FALSE;
  webkit_file_chooser_request_cancel(request);
  return TRUE;
}

gboolean WebModuleView::OnColorChooser(WebKitWebView*, WebKitColorChooserRequest* request,
                                       gpointer data) {
  if (!static_cast<WebModuleView*>(data)->m_silent) return FALSE;
  webkit_color_chooser_request_cancel(request);
  return TRUE;
}

gboolean WebModuleView::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                      WebKitHitTestResult*, gpointer data) {
  return static_cast<WebModuleView*>(data)->m_silent ? TRUE : FALSE;
}

gboolean WebModuleView::OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request,
                                       gpointer data) {
  if (!static_cast<WebModuleView*>(data)->m_silent) return FALSE;
  webkit_authentication_request_cancel(request);
  return TRUE;
}

// ---- The module's table ------------------------------------------------------------------------

namespace {

void Configure(const WebModuleOptions* options) {
  if (options != nullptr) platform::ConfigureWebContext(*options);
}

void ConfigureSession(int session, const char* dataDirectory, const char* cacheDirectory) {
  platform::ConfigureSessionContext(session, dataDirectory, cacheDirectory);
}

WebModuleView* Create(WebModuleEventFn raise, void* owner, WebModuleView* related, int session) {
  if (related == nullptr && platform::SharedWebContext(session) == nullptr) return nullptr;
  return new WebModuleView(raise, owner, related, session);
}

void Prewarm() {
  platform::PrewarmWebContext();
}

void Destroy(WebModuleView* view) {
  delete view;
}

void* Widget(WebModuleView* view) {
  return GTK_WIDGET(view->m_view.get());
}

void Navigate(WebModuleView* view, const char* url) {
  view->m_clientUri = url;
  webkit_web_view_load_uri(view->m_view.get(), url);
}

void Refresh(WebModuleView* view) {
  view->m_clientReload = true;
  webkit_web_view_reload(view->m_view.get());
}

void SetSilent(WebModuleView* view, bool silent) {
  view->m_silent = silent;
}

const char* LocationUrl(WebModuleView* view) {
  view->m_location = Text(webkit_web_view_get_uri(view->m_view.get()));
  return view->m_location.c_str();
}

const char* TopDocumentUrl(WebModuleView* view) {
  return view->m_committed.c_str();
}

const char* DocumentUrl(WebModuleView* view) {
  return view->m_documentUrl.c_str();
}

const char* InnerHtml(WebModuleView* view) {
  return view->m_innerHtml.c_str();
}

void RunScript(WebModuleView* view, const char* script) {
  view->RunScript(script);
}

bool PlayingAudio(WebModuleView* view) {
  return webkit_web_view_is_playing_audio(view->m_view.get()) != FALSE;
}

void SetMuted(WebModuleView* view, bool muted) {
  webkit_web_view_set_is_muted(view->m_view.get(), muted ? TRUE : FALSE);
}

void SetZoom(WebModuleView* view, double factor) {
  webkit_web_view_set_zoom_level(view->m_view.get(), factor);
}

const char* Snapshot(WebModuleView* view, const char* path, int* width, int* height) {
  struct Shot {
    bool done = false;
    bool abandoned = false;
    cairo_surface_t* surface = nullptr;
    std::string error;
  };
  auto* shot = new Shot;
  webkit_web_view_get_snapshot(
      view->m_view.get(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* s = static_cast<Shot*>(data);
        GError* error = nullptr;
        cairo_surface_t* surface =
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (s->abandoned) {
          if (surface != nullptr) cairo_surface_destroy(surface);
          if (error != nullptr) g_error_free(error);
          delete s;
          return;
        }
        s->surface = surface;
        if (error != nullptr) {
          s->error = error->message;
          g_error_free(error);
        }
        s->done = true;
      },
      shot);
  const gint64 deadline = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
  // Wakes the loop up now and then, so that the deadline is seen.
  const guint tick = g_timeout_add(
      100, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  while (!shot->done && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, TRUE);
  g_source_remove(tick);
  if (!shot->done) {
    shot->abandoned = true;
    view->m_snapshotError = "the page gave no picture in time";
    return view->m_snapshotError.c_str();
  }
  view->m_snapshotError = shot->error;
  if (shot->surface != nullptr) {
    *width = cairo_image_surface_get_width(shot->surface);
    *height = cairo_image_surface_get_height(shot->surface);
    const cairo_status_t status = cairo_surface_write_to_png(shot->surface, path);
    if (status != CAIRO_STATUS_SUCCESS) view->m_snapshotError = cairo_status_to_string(status);
    cairo_surface_destroy(shot->surface);
  } else if (view->m_snapshotError.empty()) {
    view->m_snapshotError = "the page gave no picture";
  }
  delete shot;
  return view->m_snapshotError.c_str();
}

constexpr WebModuleTable kTable = {
    platform::kWebModuleVersion,
    &Configure,
    &ConfigureSession,
    &Create,
    &Destroy,
    &Widget,
    &Navigate,
    &Refresh,
    &SetSilent,
    &LocationUrl,
    &DocumentUrl,
    &InnerHtml,
    &RunScript,
    &platform::FetchWebsiteData,
    &platform::RemoveWebsiteData,
    &platform::ClearWebsiteData,
    &Prewarm,
    &TopDocumentUrl,
    &PlayingAudio,
    &SetMuted,
    &SetZoom,
    &Snapshot,
};

}  // namespace

// The one symbol the module exports (the build hides every other).
extern "C" __attribute__((visibility("default"))) const WebModuleTable* client_web_module() {
  return &kTable;
}
