// The web-browser view: the handlers and the Silent flag live here, everything else is the
// engine's, reached through the web module's table (WebModule.h) once the module is loaded.
// Without the module the view is a blank widget that never loads anything.

#include "platform/WebBrowser.h"

#include <cstdio>
#include <exception>
#include <string>
#include <utility>

#include "WebEngine.h"

namespace platform {

namespace {

// The view's log channel, shared with the engine's side: G_MESSAGES_DEBUG=webview shows it.
constexpr char kWebViewLogDomain[] = "webview";

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

  // The module's event sink: `owner` is this Impl.
  static void OnEvent(void* owner, int event, const char* text, bool* flag);

  // Calls a handler: it is copied first because it may destroy this view (and with it the
  // handler). Nothing thrown by a handler crosses into the engine.
  template <typename Handler, typename... Args>
  static void Call(const Handler& handler, Args&... args) {
    if (!handler) return;
    Handler copy = handler;
    try {
      copy(args...);
    } catch (const std::exception& e) {
      g_log(kWebViewLogDomain, G_LOG_LEVEL_WARNING, "event handler threw: %s", e.what());
    } catch (...) {
      g_log(kWebViewLogDomain, G_LOG_LEVEL_WARNING, "event handler threw");
    }
  }

  const WebModuleTable* m_engine = nullptr;
  WebModuleView* m_view = nullptr;
  GtkWidget* m_standIn = nullptr;  // the widget when there is no engine (one reference held)
  bool m_silent = false;

  BeforeNavigate2Handler m_beforeNavigate2;
  DownloadBeginHandler m_downloadBegin;
  TitleChangeHandler m_titleChange;
  DocumentCompleteHandler m_documentComplete;
  NewWindowHandler m_newWindow;
};

WebBrowser::Impl::Impl() : m_engine(WebEngineModule()) {
  if (m_engine != nullptr) m_view = m_engine->create(&Impl::OnEvent, this);
  if (m_view == nullptr) {
    m_engine = nullptr;
    m_standIn = GTK_WIDGET(g_object_ref_sink(gtk_event_box_new()));
  }
}

WebBrowser::Impl::~Impl() {
  if (m_view != nullptr) m_engine->destroy(m_view);
  if (m_standIn != nullptr) {
    // Takes it out of whatever container hosts it, as the engine's view does.
    gtk_widget_destroy(m_standIn);
    g_object_unref(m_standIn);
  }
}

void WebBrowser::Impl::OnEvent(void* owner, int event, const char* text, bool* flag) {
  Impl* self = static_cast<Impl*>(owner);
  std::string value = Text(text);
  switch (event) {
    case kWebEventBeforeNavigate2: {
      bool cancel = flag != nullptr && *flag;
      Call(self->m_beforeNavigate2, value, cancel);
      if (flag != nullptr) *flag = cancel;
      break;
    }
    case kWebEventDownloadBegin:
      Call(self->m_downloadBegin);
      break;
    case kWebEventTitleChange:
      Call(self->m_titleChange, value);
      break;
    case kWebEventDocumentComplete:
      Call(self->m_documentComplete, value);
      break;
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
  if (impl == nullptr) return nullptr;
  if (impl->m_view != nullptr) return static_cast<GtkWidget*>(impl->m_engine->widget(impl->m_view));
  return impl->m_standIn;
}

WebBrowser::WebBrowser() : m_impl(std::make_unique<Impl>()) {}
WebBrowser::~WebBrowser() = default;
WebBrowser::WebBrowser(WebBrowser&&) noexcept = default;
WebBrowser& WebBrowser::operator=(WebBrowser&&) noexcept = default;

void WebBrowser::Navigate(const std::string& url) {
  if (m_impl && m_impl->m_view != nullptr) m_impl->m_engine->navigate(m_impl->m_view, url.c_str());
}

void WebBrowser::Refresh() {
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

}  // namespace platform
