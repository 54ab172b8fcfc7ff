#include "mainwin/WebUrl.h"

#include <cctype>
#include <utility>

#include "mainwin/SiteZoom.h"
#include "platform/desktop/Shell.h"
#include "platform/system/AsciiText.h"
#include "platform/webhost/WebBrowserHost.h"

using namespace platform;

namespace {

// How far the browser reaches beyond its picture box on every side: its outermost pixels (the
// engine's border) are never seen.
constexpr int kOverhang = 2;

}  // namespace

bool OpensInDefaultBrowser(std::string_view url) {
  return platform::IsHttpAddress(url);
}

std::shared_ptr<WebUrl> WebUrl::Create(int session) {
  std::shared_ptr<WebUrl> page(new WebUrl());
  page->m_session = session;
  WebUrl* raw = page.get();
  // A page asked to close by the window system unloads like any other form; the object itself
  // stays with whoever holds it.
  FormRuntime::Load(*page, [raw](int mode) { return FormRuntime::RunUnload(*raw, mode); });
  return page;
}

WebUrl::~WebUrl() {
  if (m_loaded) Unload();
  ReleaseBrowser();
}

CreateWindowArgs WebUrl::Design() {
  CreateWindowArgs a;
  a.title = "WebUrl";
  a.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
  a.width = 800;
  a.height = 600;
  a.backColor = 0x00FFFFFF;
  return a;
}

void WebUrl::Form_Load() {
  m_hWnd = Form::hWnd();
  m_loaded = true;
  RECT client;
  GetClientRect(m_hWnd, &client);

  CreateWindowArgs box;
  box.style = WS_CHILD | WS_VISIBLE;
  box.parent = m_hWnd;
  box.width = client.Width();
  box.height = client.Height();
  box.backColor = 0x00FFFFFF;
  box.proc = [this](HWND h, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (msg == WM_SIZE && h == m_Picture1) Picture1_Resize();
    return DefWindowProc(h, msg, wParam, lParam);
  };
  m_Picture1 = CreateWindowEx(box);

  m_wb = std::make_unique<WebBrowser>();
  m_wb->SetSession(m_session);
  m_wb->OnZoomStep([](int step) {
    if (const auto zoom = ZoomStep) zoom(step);
  });
  m_wb->OnDownloadBegin([this] { wb_DownloadBegin(); });
  m_wb->OnTitleChange([this](const std::string& text) { wb_TitleChange(text); });
  m_wb->OnDocumentComplete([this](const std::string& url) { wb_DocumentComplete(url); });
  m_wb->OnAudioChange([this] {
    // The tab's speaker mark comes and goes with the sound.
    const std::shared_ptr<CTabItem> item = m_Item.lock();
    if (item && item->Strip() != nullptr) item->Strip()->Redraw(true);
  });
  m_wbWindow = HostWebBrowser(*m_wb, m_Picture1, -kOverhang, -kOverhang,
                              client.Width() + 2 * kOverhang, client.Height() + 2 * kOverhang);

  m_wb->Navigate("about:blank");
  // The first-generation event connection exists only for its NewWindow event.
  m_wb->OnNewWindow([this](const std::string& url, bool& processed) {
    Web_V1_NewWindow(url, processed);
  });
}

void WebUrl::Form_Unload(bool&) {
  ReleaseBrowser();
  m_loaded = false;
}

LRESULT WebUrl::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
      Form_Resize();
      break;
    case WM_DESTROY:
      // The window may go without an unload (its container destroyed): the browser must not
      // outlive the view's window or keep raising events into a page without one.
      ReleaseBrowser();
      break;
    default:
      break;
  }
  return Form::FormProc(msg, wParam, lParam);
}

void WebUrl::ReleaseBrowser() {
  // Moved out first: the browser's own handlers may be running and may end up here again.
  std::unique_ptr<WebBrowser> browser = std::move(m_wb);
  browser.reset();
}

// ---- Operations -------------------------------------------------------------------------------

void WebUrl::OpenURL(const std::string& szURL) {
  if (!m_wb) return;
  // The zoom kept for the site is in place before the navigation starts, so the page's first
  // layout is already at its size: a game that sizes itself once never sees a resize.
  m_wb->SetZoom(sitezoom::Level(sitezoom::SiteOf(szURL)) / 100.0);
  m_wb->Navigate(szURL);
}

void WebUrl::Initialize(IuTab* Implement, std::weak_ptr<CTabItem> Item) {
  m_Implement = Implement;
  m_Item = std::move(Item);
}

void WebUrl::RefreshPage() {
  if (m_wb) m_wb->Refresh();
}

void WebUrl::Unload() {
  if (!m_loaded) return;
  FormRuntime::RunUnload(*this, kUnloadByCode);
}

bool WebUrl::PlayingAudio() {
  return m_wb && m_wb->PlayingAudio();
}

bool WebUrl::Muted() {
  return m_wb && m_wb->Muted();
}

void WebUrl::SetMuted(bool muted) {
  if (m_wb) m_wb->SetMuted(muted);
}

// ---- Layout -----------------------------------------------------------------------------------

void WebUrl::Form_Resize() {
  if (m_Picture1 == 0) return;  // during creation
  RECT client;
  if (!GetClientRect(m_hWnd, &client)) return;
  MoveWindow(m_Picture1, 0, 0, client.Width(), client.Height(), true);
}

void WebUrl::Picture1_Resize() {
  if (m_wbWindow == 0) return;
  RECT client;
  if (!GetClientRect(m_Picture1, &client)) return;
  MoveWindow(m_wbWindow, -kOverhang, -kOverhang, client.Width() + 2 * kOverhang,
             client.Height() + 2 * kOverhang, true);
}

// ---- Browser events ---------------------------------------------------------------------------

void WebUrl::wb_DownloadBegin() {
  if (m_wb) m_wb->SetSilent(true);
}

void WebUrl::wb_TitleChange(const std::string& Text) {
  // Before Initialize there is no tab to name; the collection initialises a page before any
  // event can reach it, so nothing is lost.
  if (const std::shared_ptr<CTabItem> item = m_Item.lock()) item->Caption(Text);
}

void WebUrl::wb_DocumentComplete(const std::string&) {
  if (!m_wb) return;
  m_wb->SetSilent(true);
  // The zoom kept for the site of a page the game navigated to on its own (the view keeps it
  // across its navigations). A document of no site (the blank page every page starts with)
  // leaves the zoom alone: it may complete after OpenURL has set the zoom of the game's site.
  if (const std::string site = sitezoom::SiteOf(m_wb->LocationURL()); !site.empty()) {
    m_wb->SetZoom(sitezoom::Level(site) / 100.0);
  }
  // Every completion, of whatever frame, acts on the top-level document.
  m_wb->SetDocumentElementStyleOverflow("hidden");
}

void WebUrl::Web_V1_NewWindow(const std::string& URL, bool& Processed) {
  Processed = true;
  if (OpensInDefaultBrowser(URL)) ShellExecuteOpen(URL, "");
}
