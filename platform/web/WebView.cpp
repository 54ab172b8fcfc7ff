// The web-browser view over WebKitGTK, and the module's one entry point. WebBrowser.h says how
// the view's members map onto the engine; the view itself forwards to the table made here.

#include <memory>
#include <string>
#include <utility>

#include "WebViewGtk.h"
#include "platform/WebBrowser.h"

namespace platform {

namespace {

constexpr char kMessageHandler[] = "clientView";

// Injected at document start in every frame, before the page's own scripts. window.open is
// replaced so that every request for a new window, also one whose address the engine cannot
// parse and one that comes long after the user's gesture, reaches us with the address as the
// page wrote it. The page gets null, as it would from an engine that refuses the window.
// A GET form whose action the engine cannot parse would reach us without its fields (the
// engine cannot append a query to such an address), so such submissions are reported here,
// the way any browser builds the address: the action, "?" and the form's fields.
constexpr char kUserScript[] = R"JS((function () {
  var handlers = window.webkit && window.webkit.messageHandlers;
  var channel = handlers && handlers.clientView;
  if (!channel) return;
  var post = channel.postMessage.bind(channel);
  window.open = function open(url, target, features) {
    var raw = url === undefined ? '' : String(url);
    var resolved = null;
    try {
      resolved = raw === '' ? 'about:blank' : new URL(raw, document.baseURI).href;
    } catch (e) {
      resolved = null;
    }
    try {
      post({ kind: 'open', raw: raw, url: resolved });
    } catch (e) {}
    return null;
  };
  function unparsable(form) {
    if ((form.getAttribute('method') || 'get').toLowerCase() !== 'get') return null;
    var raw = form.getAttribute('action');
    if (raw === null) return null;
    try {
      new URL(raw, document.baseURI);
      return null;
    } catch (e) {}
    var query = new URLSearchParams(new FormData(form)).toString();
    return raw.split('?')[0] + '?' + query;
  }
  function report(form) {
    var address = unparsable(form);
    if (address === null) return false;
    try {
      post({ kind: 'navigate', raw: address });
    } catch (e) {}
    return true;
  }
  var submit = HTMLFormElement.prototype.submit;
  HTMLFormElement.prototype.submit = function () {
    if (!report(this)) submit.call(this);
  };
  window.addEventListener('submit', function (event) {
    if (!event.defaultPrevented && report(event.target)) event.preventDefault();
  }, false);
})();)JS";

// Read in one round trip when the main frame has finished.
std::string SnapshotScript() {
  return "(function () {"
         "  var root = document.documentElement;"
         "  var html = root ? root.innerHTML : '';"
         "  if (html.length > " +
         std::to_string(WebBrowser::kMaxInnerHtml) +
         ")"
         "    html = html.slice(0, " +
         std::to_string(WebBrowser::kMaxInnerHtml) +
         ");"
         "  return { url: String(document.URL), html: html, title: String(document.title) };"
         "})()";
}

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

}  // namespace

}  // namespace platform

using platform::GObjectRef;
using platform::IsInterruption;
using platform::JsProperty;
using platform::JsPropertyIsNull;
using platform::kMessageHandler;
using platform::kUserScript;
using platform::kWebLog;
using platform::SnapshotScript;
using platform::Text;

struct WebModuleView {
  WebModuleView(WebModuleEventFn raise, void* owner);
  ~WebModuleView();
  WebModuleView(const WebModuleView&) = delete;
  WebModuleView& operator=(const WebModuleView&) = delete;

  // Raising an event: the owner may destroy this view from inside the call; the answer tells
  // the caller whether it may go on touching the view.
  bool Raise(WebModuleEvent event, const std::string& text = std::string(), bool* flag = nullptr) {
    std::weak_ptr<int> alive = m_alive;
    m_raise(m_owner, event, text.c_str(), flag);
    return !alive.expired();
  }

  // A request for a new window: BeforeNavigate2 with the raw address, then NewWindow with the
  // resolved one unless cancelled or unresolvable. False when a handler destroyed the view.
  bool RequestNewWindow(const std::string& raw, const std::string& resolved, bool resolvable);
  void RaiseTitleIfChanged(const std::string& title);
  void Snapshot();
  void RunScript(const std::string& script);

  // Signal handlers.
  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType,
                                 gpointer self);
  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError*, gpointer self);
  static void OnTitle(GObject*, GParamSpec*, gpointer self);
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
  static void OnSnapshotReady(GObject* source, GAsyncResult* result, gpointer data);

  WebModuleEventFn m_raise;
  void* m_owner;
  GObjectRef<WebKitUserContentManager> m_content;
  GObjectRef<WebKitWebView> m_view;
  GObjectRef<GCancellable> m_cancellable;
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);

  bool m_silent = false;
  enum class LoadOutcome { Ok, Failed, Interrupted };
  LoadOutcome m_outcome = LoadOutcome::Ok;
  std::string m_failedUri;
  std::string m_documentUrl;
  std::string m_innerHtml;
  std::string m_lastTitle;
  std::string m_location;  // the last answer of locationUrl
};

namespace {

struct PendingSnapshot {
  WebModuleView* impl;
  std::weak_ptr<int> alive;
  std::string eventUrl;
};

}  // namespace

WebModuleView::WebModuleView(WebModuleEventFn raise, void* owner) : m_raise(raise), m_owner(owner) {
  m_cancellable = GObjectRef<GCancellable>::Adopt(g_cancellable_new());
  m_content = GObjectRef<WebKitUserContentManager>::Adopt(webkit_user_content_manager_new());
  // Connect before registering, so that no message can arrive unheard.
  g_signal_connect(m_content.get(), "script-message-received::clientView",
                   G_CALLBACK(&WebModuleView::OnScriptMessage), this);
  webkit_user_content_manager_register_script_message_handler(m_content.get(), kMessageHandler);
  WebKitUserScript* script =
      webkit_user_script_new(kUserScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(m_content.get(), script);
  webkit_user_script_unref(script);

  WebKitSettings* settings = webkit_settings_new();
  // Otherwise a window.open that comes later than the user's gesture (and escapes the user
  // script, as in a frame the script does not reach) is dropped without a word to us.
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  // Pages are drawn without GL: a view that overhangs its clipping container (as both the
  // login page and the tab pages do) was drawn shifted by the hidden part with GL compositing,
  // and software drawing costs these pages nothing.
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

  m_view = GObjectRef<WebKitWebView>::Adopt(WEBKIT_WEB_VIEW(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", platform::SharedWebContext(),
                   "user-content-manager", m_content.get(), "settings", settings, nullptr)));
  g_object_unref(settings);

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
}

WebModuleView::~WebModuleView() {
  m_alive.reset();
  g_cancellable_cancel(m_cancellable.get());
  g_signal_handlers_disconnect_by_data(m_view.get(), this);
  g_signal_handlers_disconnect_by_data(m_content.get(), this);
  webkit_user_content_manager_unregister_script_message_handler(m_content.get(), kMessageHandler);
  // Takes the widget out of whatever container hosts it; our reference keeps the object until
  // the end of this destructor (or of the signal emission we may be called from).
  gtk_widget_destroy(GTK_WIDGET(m_view.get()));
}

bool WebModuleView::RequestNewWindow(const std::string& raw, const std::string& resolved,
                                     bool resolvable) {
  bool cancel = false;
  if (!Raise(kWebEventBeforeNavigate2, raw, &cancel)) return false;
  if (cancel || !resolvable) return true;
  bool processed = false;
  return Raise(kWebEventNewWindow, resolved, &processed);
}

void WebModuleView::RaiseTitleIfChanged(const std::string& title) {
  if (title == m_lastTitle) return;
  m_lastTitle = title;
  const std::string text = title;
  Raise(kWebEventTitleChange, text);
}

void WebModuleView::Snapshot() {
  auto* pending = new PendingSnapshot{this, m_alive, Text(webkit_web_view_get_uri(m_view.get()))};
  const std::string script = SnapshotScript();
  webkit_web_view_evaluate_javascript(m_view.get(), script.c_str(), -1, nullptr, nullptr,
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
      bool cancel = false;
      self->Raise(kWebEventBeforeNavigate2, url, &cancel);
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
      self->RequestNewWindow(url, url, true);
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
      // A response the view cannot show would otherwise become a silent download.
      if (webkit_response_policy_decision_is_mime_type_supported(
              WEBKIT_RESPONSE_POLICY_DECISION(decision))) {
        return FALSE;
      }
      webkit_policy_decision_ignore(decision);
      return TRUE;
    }
  }
  return FALSE;
}

void WebModuleView::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      self->m_outcome = LoadOutcome::Ok;
      self->Raise(kWebEventDownloadBegin);
      break;
    case WEBKIT_LOAD_FINISHED: {
      const LoadOutcome outcome = std::exchange(self->m_outcome, LoadOutcome::Ok);
      if (outcome == LoadOutcome::Interrupted) break;
      if (outcome == LoadOutcome::Failed) {
        std::string url = self->m_failedUri;
        self->m_documentUrl = url;
        self->m_innerHtml.clear();
        self->Raise(kWebEventDocumentComplete, url);
        break;
      }
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
  kWebLog(std::string("load of ") + (uri != nullptr ? uri : "") +
          " failed: " + (error != nullptr ? error->message : ""));
  if (IsInterruption(error)) {
    self->m_outcome = LoadOutcome::Interrupted;
  } else if (event == WEBKIT_LOAD_COMMITTED) {
    // Part of the document arrived and is shown: it completes as it is.
    self->m_outcome = LoadOutcome::Ok;
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

GtkWidget* WebModuleView::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  const std::string url =
      Text(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
  self->RequestNewWindow(url, url, true);
  return nullptr;
}

void WebModuleView::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* message,
                                    gpointer data) {
  WebModuleView* self = static_cast<WebModuleView*>(data);
  JSCValue* value = webkit_javascript_result_get_js_value(message);
  const std::string kind = JsProperty(value, "kind");
  if (kind == "navigate") {
    // The engine cannot go there; the page's request is seen, and whatever the handler says
    // the current document stays.
    bool cancel = false;
    self->Raise(kWebEventBeforeNavigate2, JsProperty(value, "raw"), &cancel);
    return;
  }
  if (kind != "open") return;
  const std::string raw = JsProperty(value, "raw");
  if (JsPropertyIsNull(value, "url")) {
    self->RequestNewWindow(raw, std::string(), false);
  } else {
    // An address the engine can parse is reported absolute, as a link's would be; the raw
    // text goes out only when there is nothing else to report.
    const std::string resolved = JsProperty(value, "url");
    self->RequestNewWindow(resolved, resolved, true);
  }
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

WebModuleView* Create(WebModuleEventFn raise, void* owner) {
  return new WebModuleView(raise, owner);
}

void Destroy(WebModuleView* view) {
  delete view;
}

void* Widget(WebModuleView* view) {
  return GTK_WIDGET(view->m_view.get());
}

void Navigate(WebModuleView* view, const char* url) {
  webkit_web_view_load_uri(view->m_view.get(), url);
}

void Refresh(WebModuleView* view) {
  webkit_web_view_reload(view->m_view.get());
}

void SetSilent(WebModuleView* view, bool silent) {
  view->m_silent = silent;
}

const char* LocationUrl(WebModuleView* view) {
  view->m_location = Text(webkit_web_view_get_uri(view->m_view.get()));
  return view->m_location.c_str();
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

constexpr WebModuleTable kTable = {
    platform::kWebModuleVersion,
    &Configure,
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
};

}  // namespace

// The one symbol the module exports (the build hides every other).
extern "C" __attribute__((visibility("default"))) const WebModuleTable* client_web_module() {
  return &kTable;
}
