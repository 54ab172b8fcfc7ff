#include "app/LoadFrm.h"

#include "app/ExitStatus.h"
#include "app/LoginFrm.h"
#include "common/CheckUpdate.h"
#include "common/Settings.h"
#include "mainwin/DdeLink.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"
#include "platform/system/EventLog.h"
#include "platform/system/Network.h"
#include "platform/system/Process.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/Accessible.h"
#include "platform/window/MessageLoop.h"

using namespace platform;

namespace {
constexpr int kSplashWidth = 356;
constexpr int kSplashHeight = 122;
// Sent to the splash once it is on the screen: the rest of the start-up runs then.
constexpr UINT kAfterSplash = WM_APP + 1;
// A splash that never draws (no picture, a display that shows nothing) holds the start-up back
// no longer than this.
constexpr unsigned kMaxSplashWaitMs = 1000;
// How long the splash stays under the login screen once that has drawn its first frame. Under a
// compositor the login screen reaches the screen some frames after it has drawn; a splash taken
// away before leaves a hole there for a moment: the desktop, or the splash itself in black (the
// compositor's last picture of a window that is going).
constexpr UINT_PTR kLeaveTimer = 1;
constexpr UINT kLeaveDelayMs = 300;
}  // namespace

LoadFrm::LoadFrm() {
  // The connectivity check answers at once; its notice is the client's first sign.
  if (!InternetGetConnectedState()) {
    RefuseOpenLink("the client is ending: no network connection");
    MessageBox("未能连接到服务器，请检查网络连接是否正常！", "提示", MB_OK | MB_ICONEXCLAMATION);
    EndProcessNow(kExitOffline);
  }
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

bool LoadFrm::WebOnly() {
  return Command() == "/web";
}

void LoadFrm::Form_Load() {
  // "/web" shows no window of its own: the rest runs at once, with nothing on the screen.
  if (WebOnly()) {
    PostMessage(hWnd(), kAfterSplash, 0, 0);
    return;
  }
  OpenPngLayer(hWnd(), 102, m_Layer);
  // A screen reader names the splash by the client's caption; it never takes the focus.
  AccessibleInfo splash;
  splash.role = AccessibleRole::Window;
  splash.focusable = false;
  SetAccessible(hWnd(), splash);
  // A box over the splash (the update question) stands alone: the splash steps aside while it
  // stands and comes back after it, unless the login screen has taken its place meanwhile.
  SetModalLoopListener([h = hWnd()](bool modal) {
    if (IsWindow(h)) ShowWindow(h, modal ? SW_HIDE : SW_SHOWNOACTIVATE);
  });
  // The update check can wait on the network for seconds, and what it loads first (the HTTP and
  // crypto libraries, the session bus) holds the loop up for a while: the splash goes up first
  // (the caller shows it when this step returns) and the rest runs once its first frame is on
  // the screen.
  AfterFirstFrames(
      [h = hWnd()] {
        if (IsWindow(h)) SendMessage(h, kAfterSplash, 0, 0);
      },
      kMaxSplashWaitMs);
}

LRESULT LoadFrm::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kAfterSplash) {
    if (!m_Started) {
      m_Started = true;
      AfterSplash();
    }
    return 0;
  }
  return Form::FormProc(msg, wParam, lParam);
}

void LoadFrm::AfterSplash() {
  const bool web = WebOnly();
  // Addresses handed over from now on are kept until the main window can open them.
  if (!StartOpenLink()) kOpenLog.Event("link offered by another running client");
  // Loading the web engine and starting its network process take about as long as the check
  // spends waiting on the network: they start now (once the splash has drawn its first frame)
  // and are ready when the login window's page is navigated. "/web" shows no page.
  if (!web) StartWebEngine();
  UpdateCheckHooks hooks;
  hooks.endProcess = [] {
    RefuseOpenLink("the client is ending: an update is being installed");
    EndProcessNow(kExitDone);
  };
  CheckUpdate(StartupMode, m_Downloader, hooks);
  if (web) {
    if (ShellExecuteOpen(HomePageUrl(), "")) EndProcessNow(kExitDone);
    // Nothing would show otherwise: the client would simply end.
    RefuseOpenLink("the client is ending");
    TellUser("/web: no default browser could open " + HomePageUrl());
    MessageBox("未能打开默认浏览器，请手动访问：" + HomePageUrl(), "提示",
               MB_OK | MB_ICONEXCLAMATION);
    EndProcessNow(kExitCannotRun);
  }
  // The login window loads hidden (with its background) and starts on the login page; it
  // shows itself and unloads this window once the page has arrived.
  FormSlot<LoginFrm>::Get();
}

void LoadFrm::Leave() {
  SetTimer(hWnd(), kLeaveTimer, kLeaveDelayMs, [](HWND h, UINT, UINT_PTR id, DWORD) {
    KillTimer(h, id);
    FormSlot<LoadFrm>::Unload();
  });
}

void LoadFrm::Form_Unload(bool& /*cancel*/) {
  SetModalLoopListener({});
  ClosePngLayer(m_Layer);
}
