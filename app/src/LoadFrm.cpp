#include "app/LoadFrm.h"

#include <cstdio>

#include "app/LoginFrm.h"
#include "common/CheckUpdate.h"
#include "common/Settings.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"
#include "platform/system/EventLog.h"
#include "platform/system/Network.h"
#include "platform/system/Process.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/MessageLoop.h"

using namespace platform;

namespace {
constexpr int kSplashWidth = 356;
constexpr int kSplashHeight = 122;
}  // namespace

LoadFrm::LoadFrm() {
  // Loading the web engine and starting its network process take about as long as the checks
  // below spend waiting on the network: they start now and are ready when the login window's
  // page is navigated.
  // "/web" shows no page.
  if (Command() != "/web") StartWebEngine();
  if (!InternetGetConnectedState()) {
    MessageBox("未能连接到服务器，请检查网络连接是否正常！", "提示", MB_OK | MB_ICONEXCLAMATION);
    EndProcessNow(0);
  }
  CheckUpdate(StartupMode, m_Downloader);
}

CreateWindowArgs LoadFrm::Design() {
  CreateWindowArgs args;
  args.style = WS_POPUP;
  args.exStyle = WS_EX_TOOLWINDOW;
  args.title = ClientCaption();
  args.width = kSplashWidth;
  args.height = kSplashHeight;
  // Centred on the screen when it is first shown.
  args.x = (GetSystemMetrics(SM_CXSCREEN) - kSplashWidth) / 2;
  args.y = (GetSystemMetrics(SM_CYSCREEN) - kSplashHeight) / 2;
  return args;
}

void LoadFrm::Form_Load() {
  if (Command() == "/web") {
    if (!ShellExecuteOpen(HomePageUrl(), "")) {
      // Nothing would show otherwise: the client would simply end.
      LogEvent("/web: no default browser could open " + HomePageUrl());
      std::fprintf(stderr, "%s: no default browser could open %s\n", GameId, HomePageUrl().c_str());
      MessageBox("未能打开默认浏览器，请手动访问：" + HomePageUrl(), "提示",
                 MB_OK | MB_ICONEXCLAMATION);
    }
    EndProcessNow(0);
  }
  OpenPngLayer(hWnd(), 102, m_Layer);
  // The login window loads hidden (with its background) and starts on the login page; it
  // shows itself and unloads this window once the page has arrived.
  FormSlot<LoginFrm>::Get();
}

void LoadFrm::Form_Unload(bool& /*cancel*/) {
  ClosePngLayer(m_Layer);
}
