#include "app/LoginFrm.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/AccountMark.h"
#include "app/ExitStatus.h"
#include "app/LoadFrm.h"
#include "app/LoginBgFrm.h"
#include "app/PictureBox.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "mainwin/DdeLink.h"
#include "mainwin/WebMainFrm.h"
#include "mainwin/WebUrl.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"
#include "platform/desktop/ToolTip.h"
#include "platform/gdi/Gdi.h"
#include "platform/system/EventLog.h"
#include "platform/webhost/WebBrowserHost.h"
#include "platform/window/MessageLoop.h"

using namespace platform;

namespace {

const LogChannel kLoginLog("login");

constexpr int kWidth = 1237;
constexpr int kHeight = 696;
constexpr std::uint32_t kColorKey = 0xFEFEFE;
// The login art's light panel under the page's box (0x00BBGGRR).
constexpr std::uint32_t kPageBoxColor = 0xFCF3EE;

// Where the login art's title line ends, and the height of its middle.
constexpr int kAccountMarkX = 740;
constexpr int kTitleCentreY = 143;

constexpr char kNoConnection[] = "未能连接到服务器，请检查网络连接是否正常！";
constexpr std::string_view kCannotStart = "客户端无法启动，请重新安装后再试。";
constexpr UINT_PTR kFirstLoadTimer = 1;
constexpr UINT kFirstLoadWatchMs = 500;
// A login screen that never draws keeps the splash no longer than this.
constexpr unsigned kMaxFirstFrameWaitMs = 1000;

// The notice of a login page that cannot be shown. At start it ends the client; for another
// login from the running main window it ends only the login screen, and the games stay.
void NoConnection() {
  const bool ending = !FormSlot<WebMainFrm>::IsLoaded();
  if (ending) RefuseOpenLink("the client is ending: the login page cannot be reached");
  MessageBox(kNoConnection, "提示", MB_OK | MB_ICONEXCLAMATION);
  if (ending) EndProcessNow(kExitNoLoginPage);
  FormSlot<LoginBgFrm>::Unload();
}

}  // namespace

LoginFrm::LoginFrm() = default;
LoginFrm::~LoginFrm() = default;

CreateWindowArgs LoginFrm::Design() {
  CreateWindowArgs args;
  args.style = WS_POPUP;
  args.width = kWidth;
  args.height = kHeight;
  args.backColor = kColorKey;
  args.title = ClientCaption();
  return args;
}

void LoginFrm::Form_Load() {
  // A load step that fails would leave the splash on screen for good, with no login window to
  // end it: the user is told, and the client ends.
  try {
    LoadStep();
  } catch (const std::exception& e) {
    kLoginLog.Event(std::string("window cannot load: ") + e.what());
    RefuseOpenLink("the client is ending: its login window cannot load");
    MessageBox(kCannotStart, "提示", MB_OK | MB_ICONERROR);
    EndProcessNow(kExitCannotRun);
  }
}

void LoginFrm::LoadStep() {
  // The controls of the design.
  CreateWindowArgs picture;
  picture.style = WS_CHILD | WS_VISIBLE;
  picture.parent = hWnd();
  picture.x = 415;
  picture.y = 179;
  picture.width = 732;
  picture.height = 425;
  m_Picture1 = CreateWindowEx(picture);
  m_WebBrowser1 = std::make_unique<WebBrowser>();
  // Until the page has painted, its box shows the panel of the login art it lies on.
  m_WebBrowser1->SetBackColor(kPageBoxColor);
  m_Session = std::exchange(s_NextSession, 0);
  m_WebBrowser1->SetSession(m_Session);
  // The engine zooms pages by the desktop's text scale. The portal's login page is made for
  // this fixed box and shows no scroll bars, so zoomed it would push its login button out of
  // the box: it keeps the size it was made for.
  if (const int dpi = GetDeviceCaps(0, LOGPIXELSY); dpi > 0 && dpi != 96) {
    m_WebBrowser1->SetZoom(96.0 / dpi);
  }
  m_Browser = HostWebBrowser(*m_WebBrowser1, m_Picture1, -1, -1, 751, 444);
  m_MiniBtn = CreatePictureBox(
      hWnd(), 1120, 130, 28, 28, 1, kColorKey, [this] { MiniBtn_Click(); }, "最小化");
  m_CloseBtn = CreatePictureBox(
      hWnd(), 1152, 125, 34, 34, 2, kColorKey, [this] { CloseBtn_Click(); }, "关闭");
  // Beside a running main window, a login as another account, as its program menu offers.
  if (FormSlot<WebMainFrm>::IsLoaded()) {
    // The main window may have gone since: asking for it would load a new one.
    m_AccountBtn = CreatePictureBox(
        hWnd(), 1088, 130, 28, 28, 3, kColorKey,
        [] {
          if (FormSlot<WebMainFrm>::IsLoaded()) FormSlot<WebMainFrm>::Get().AnotherAccountCommand();
        },
        "新账号登录");
    SetToolTipText(m_AccountBtn, "新账号登录");
  }
  // Another account's login screen looks like the first's but for this mark, beside the art's
  // "账号登录": the one its tabs will carry (accounts count from 1; the first has none).
  if (m_Session > 0)
    m_AccountMark = CreateAccountMark(hWnd(), kAccountMarkX, kTitleCentreY, m_Session + 1);

  m_WebBrowser1->OnDownloadBegin([this] {
    m_WebBrowser1->SetSilent(true);
    FirstLoadNews();
  });
  m_WebBrowser1->OnProgressChange([this] { FirstLoadNews(); });
  m_WebBrowser1->OnBeforeNavigate2(
      [this](const std::string& url, bool& Cancel) { WebBrowser1_BeforeNavigate2(url, Cancel); });
  m_WebBrowser1->OnDocumentComplete(
      [this](const std::string& url) { WebBrowser1_DocumentComplete(url); });
  m_WebBrowser1->OnNewWindow(
      [this](const std::string& url, bool& Processed) { WebBrowser1_NewWindow(url, Processed); });

  // 1. The icon file.
  const std::string iconFile = GetTempDir() + GameId + ".ico";
  try {
    SaveResToFile(101, "ICON", iconFile);
  } catch (const std::exception& e) {
    kLoginLog.Event(e.what());
  }
  // 2., 3. The background's icons; asking for its window loads it.
  m_SmallIcon.Reset(LoadIconFromFile(iconFile, 16));
  SendMessage(FormSlot<LoginBgFrm>::Get().hWnd(), WM_SETICON, ICON_SMALL,
              static_cast<LPARAM>(m_SmallIcon.get()));
  m_BigIcon.Reset(LoadIconFromFile(iconFile, 32));
  SendMessage(FormSlot<LoginBgFrm>::Get().hWnd(), WM_SETICON, ICON_BIG,
              static_cast<LPARAM>(m_BigIcon.get()));
  // The login window starts where the background is, so their points (0, 0) coincide.
  RECT bg;
  if (GetWindowRect(FormSlot<LoginBgFrm>::Get().hWnd(), &bg)) {
    SetWindowPos(hWnd(), 0, bg.left, bg.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // 4. The login page. A server that takes the connection and never answers would keep the
  // splash up for good: the load is watched from here on, and given up once nothing new of it
  // has come for StallTimeoutMs; a page that keeps arriving, however slowly, is waited for.
  m_WebBrowser1->Navigate(LoginPageUrl());
  WatchFirstLoad();
  // 5. Layered with the colour key.
  SetWindowLongPtr(hWnd(), GWL_EXSTYLE, GetWindowLongPtr(hWnd(), GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(hWnd(), kColorKey, 0, LWA_COLORKEY);
  // 6. Owned by the background.
  SetWindowLongPtr(hWnd(), GWL_HWNDPARENT,
                   static_cast<LONG_PTR>(FormSlot<LoginBgFrm>::Get().hWnd()));
  // 7. The background is loaded already.
  FormSlot<LoginBgFrm>::Get();
}

void LoginFrm::Form_Unload(bool& /*cancel*/) {
  // The view goes before its window, so no event arrives for a window that is gone.
  m_WebBrowser1.reset();
  // Unloading the login window ends the login screen: its background goes too (whose own
  // unload step asks for this window again and finds it unloading).
  FormSlot<LoginBgFrm>::Unload();
}

void LoginFrm::WebBrowser1_BeforeNavigate2(const std::string& url, bool& Cancel) {
  const Command command = CommandOf(url);
  if (command == Command::None) return;
  if (!CommandsAllowedFrom(m_WebBrowser1->TopDocumentURL())) {
    // The login road went through a page of another site (a sign-in page elsewhere): that page
    // may not command the client; the login page may again once it is back.
    Cancel = true;
    kLoginLog.Event("command from a top document of another origin refused (" +
                    OriginOf(m_WebBrowser1->TopDocumentURL()) +
                    "): " + url.substr(0, std::min<std::size_t>(url.size(), 256)));
    return;
  }
  if (!m_WebBrowser1->NavigationTrusted()) {
    // A frame of another site (an advertisement) asking for a command: it goes nowhere.
    Cancel = true;
    kLoginLog.Event("command from a frame of another site ignored: " +
                    url.substr(0, std::min<std::size_t>(url.size(), 256)));
    return;
  }
  switch (command) {
    case Command::None:
      return;
    case Command::ExitGame:
      Cancel = true;
      FormSlot<LoginBgFrm>::Unload();
      return;
    case Command::Minimize:
      Cancel = true;
      ShowWindow(FormSlot<LoginBgFrm>::Get().hWnd(), SW_MINIMIZE);
      return;
    case Command::LoadGame: {
      Cancel = true;
      const std::string game = GameAddressOf(url);
      if (game.empty()) {
        kLoginLog.Event("page asked to load a game without an http or https address: " + url);
        return;
      }
      const int session = m_Session;
      FormSlot<LoginBgFrm>::Unload();
      WebMainFrm& main = FormSlot<WebMainFrm>::Get();
      main.SetURL(game, session);
      main.Show();
      return;
    }
  }
}

void LoginFrm::WebBrowser1_DocumentComplete(const std::string& url) {
  m_WebBrowser1->SetSilent(true);
  m_WebBrowser1->SetDocumentOnContextMenuReturnsFalse();
  if (m_WebBrowser1->DocumentElementInnerHTML().empty()) {
    // Only the login page's own first load ends the client: a later page that arrives empty
    // leaves the login screen as it is.
    if (!m_PageArrived) {
      NoConnection();
      return;
    }
    kLoginLog.Event("an empty document arrived and is ignored");
    return;
  }
  if (m_WebBrowser1->DocumentURL().find(url) != std::string::npos) {
    m_PageArrived = true;
    ShowWindow(FormSlot<LoginBgFrm>::Get().hWnd(), SW_SHOW);
    ShowWindow(hWnd(), SW_SHOW);
    // The keys go to the login page's fields from the start, not to the art behind them.
    SetForegroundWindow(hWnd());
    SetFocus(m_Browser);
    // The splash goes once the login screen is on the screen above it: taken away before, its
    // place would show whatever the display had there until the login screen's first frame.
    AfterFirstFrames(
        [] {
          if (FormSlot<LoadFrm>::IsLoaded()) FormSlot<LoadFrm>::Get().Leave();
        },
        kMaxFirstFrameWaitMs);
  }
}

void LoginFrm::FirstLoadNews() {
  m_LastNews = std::chrono::steady_clock::now();
}

void LoginFrm::WatchFirstLoad() {
  m_LastNews = m_LastWatch = std::chrono::steady_clock::now();
  SetTimer(hWnd(), kFirstLoadTimer, kFirstLoadWatchMs, [this](HWND, UINT, UINT_PTR, DWORD) {
    const auto now = std::chrono::steady_clock::now();
    // While a box stands (the player reads a question, a notice of the main window), the page
    // is not waited for: that time is left out.
    if (InModalLoop()) m_LastNews += now - m_LastWatch;
    m_LastWatch = now;
    if (m_PageArrived) {
      KillTimer(hWnd(), kFirstLoadTimer);
      return;
    }
    const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_LastNews);
    if (quiet.count() < StallTimeoutMs) return;
    KillTimer(hWnd(), kFirstLoadTimer);
    kLoginLog.Event("nothing of the login page came for " + std::to_string(quiet.count()) + " ms");
    // At start-up only the splash would stay; for another login the game goes on in the main
    // window, and the login screen waits for its page as a browser would.
    if (!FormSlot<WebMainFrm>::IsLoaded()) NoConnection();
  });
}

void LoginFrm::WebBrowser1_NewWindow(const std::string& url, bool& Processed) {
  // As the game's pages do: web addresses ("register", "forgot password") open in the user's
  // browser, anything else is dropped.
  Processed = true;
  if (OpensInDefaultBrowser(url)) ShellExecuteOpen(url, "");
}

void LoginFrm::MiniBtn_Click() {
  ShowWindow(FormSlot<LoginBgFrm>::Get().hWnd(), SW_MINIMIZE);
}

void LoginFrm::CloseBtn_Click() {
  FormSlot<LoginBgFrm>::Unload();
}
