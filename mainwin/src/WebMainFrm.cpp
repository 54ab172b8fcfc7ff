#include "mainwin/WebMainFrm.h"

#include "platform/WebBrowserHost.h"

using namespace platform;

namespace {
// The designed client size: 15540 x 9585 twips.
constexpr int kWidth = 1036;
constexpr int kHeight = 639;
}  // namespace

WebMainFrm::WebMainFrm() = default;
WebMainFrm::~WebMainFrm() = default;

CreateWindowArgs WebMainFrm::Design() {
  CreateWindowArgs args;
  args.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
               WS_MAXIMIZEBOX;
  args.title = "ZorvikTalmar2";
  args.width = kWidth;
  args.height = kHeight;
  const RECT work = GetWorkArea();
  args.x = work.left + (work.Width() - kWidth) / 2;
  args.y = work.top + (work.Height() - kHeight) / 2;
  return args;
}

void WebMainFrm::Form_Load() {
  m_Browser = std::make_unique<WebBrowser>();
  m_Browser->OnDownloadBegin([this] { m_Browser->SetSilent(true); });
  m_View = HostWebBrowser(*m_Browser, hWnd(), 0, 0, kWidth, kHeight);
}

void WebMainFrm::Form_Unload(bool& /*cancel*/) { m_Browser.reset(); }

void WebMainFrm::SetURL(const std::string& url) {
  m_Addresses.push_back(url);
  if (m_Browser) m_Browser->Navigate(url);
}

LRESULT WebMainFrm::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE && m_View != 0) {
    MoveWindow(m_View, 0, 0, LOWORD(static_cast<WPARAM>(lParam)),
               HIWORD(static_cast<WPARAM>(lParam)), true);
  }
  return Form::FormProc(msg, wParam, lParam);
}
