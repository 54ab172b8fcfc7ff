// The main window's commands: the four title buttons, the two portal buttons and the items of
// the program menu.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "MainWinLog.h"
#include "common/CheckUpdate.h"
#include "common/Settings.h"
#include "mainwin/ClearUrlCache.h"
#include "mainwin/MainHook.h"
#include "mainwin/MainWindowHost.h"
#include "mainwin/SiteZoom.h"
#include "mainwin/WebMainFrm.h"
#include "mainwin/WebUrl.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/desktop/Shell.h"
#include "platform/desktop/Tray.h"
#include "platform/gdi/Gdi.h"
#include "platform/system/EventLog.h"
#include "platform/system/Files.h"
#include "platform/webhost/WebBrowser.h"

using namespace platform;

void WebMainFrm::CloseCommand() {
  FormSlot<WebMainFrm>::Unload();
}

void WebMainFrm::MinimizeCommand() {
  ShowWindow(hWnd(), SW_MINIMIZE);
}

void WebMainFrm::MaxRestoreCommand() {
  // The style object reports the new state (ShowMaximized), as it does when the window manager
  // changes it.
  if (m_objStyle) m_objStyle->CallWindowStateChange();
}

void WebMainFrm::ShowMaximized(bool maximised) {
  // Covering the work area, the title bar does not drag the window.
  m_WebBForm->frmHwnd(maximised ? 0 : hWnd());
  // The button shows the state the window is in, also when the command came another way.
  m_web_minmax->Value(maximised);
  m_web_minmax->AccessibleName(maximised ? "还原" : "最大化");
}

void WebMainFrm::RefreshCommand() {
  if (IsWindowVisible(m_Picture1)) {
    // No page shown yet: the placeholder reloads, which shows nothing new.
    if (m_WebBrowser1) m_WebBrowser1->Refresh();
  } else if (m_WebuTab) {
    m_WebuTab->RefreshPage();  // nothing when no tab is selected
  }
}

void WebMainFrm::HideRestoreCommand() {
  // As the hot key and the tray icon do: a minimised window (the menu comes from the tray
  // then) is brought back rather than hidden.
  ToggleMainWindow(hWnd());
}

void WebMainFrm::ClearCacheCommand() {
  // The clearing waits for the engine on the main loop, where the same command may come again
  // (the tray's menu): one clearing at a time, a second request does nothing. The store is the
  // process's, so is the flag.
  static bool clearing = false;
  if (clearing) return;
  clearing = true;
  // Cookies and history stay. The box is shown whatever the clearing achieved. The window may
  // go while the clearing waits: the box then stands on its own.
  const std::shared_ptr<bool> alive = m_alive;
  ClearUrlCache("*.*", COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY);
  clearing = false;
  MessageBox(*alive ? hWnd() : 0, "缓存已清理完毕！", "缓存清理", MB_OK | MB_ICONINFORMATION);
}

void WebMainFrm::UpdateCommand() {
  // One check at a time: a second request while the first one downloads or asks does nothing.
  if (m_Checking) return;
  m_Checking = true;
  // The download handles the window's messages between its chunks, and one of them may unload
  // this window (its close, the tray, the execute link), which frees the window object. So the
  // download object is held here for the call and handed back only to a window still there.
  std::unique_ptr<COrvDownLoadFile> downloader = std::move(m_Downloader);
  const std::shared_ptr<bool> alive = m_alive;
  UpdateCheckHooks hooks;
  hooks.setExitFlag = [](bool value) {
    if (FormSlot<WebMainFrm>::IsLoaded()) FormSlot<WebMainFrm>::Get().m_bExit = value;
  };
  hooks.unloadMainWindow = [] {
    if (FormSlot<WebMainFrm>::IsLoaded()) FormSlot<WebMainFrm>::Unload();
    // The updater puts the new version in place and starts it: nothing of this client may stay
    // behind, a login screen of another login included, or two clients would run.
    FormRuntime::UnloadAll(kUnloadByCode);
  };
  CheckUpdate(ButtonMode, downloader, hooks);
  if (!*alive) return;
  m_Downloader = std::move(downloader);
  m_Checking = false;
}

void WebMainFrm::GameSpaceCommand() {
  const std::string url = GameSpaceUrl();
  if (ShellExecuteOpen(url, "")) return;
  // Without a default browser the click would do nothing visible: the user is told as "/web"
  // tells it, and where to go by hand.
  TellUser("game site: no default browser could open " + url);
  MessageBox(hWnd(), "未能打开默认浏览器，请手动访问：" + url, "提示", MB_OK | MB_ICONEXCLAMATION);
}

void WebMainFrm::OtherUserCommand() {
  if (TheMainWindowHost().showLogin) TheMainWindowHost().showLogin();
}

bool WebMainFrm::SelectTabCommand(int offset) {
  if (!m_WebuTab) return false;
  CTabItems& items = m_WebuTab->TabItems();
  const int count = items.Count();
  if (count == 0) return false;
  const int from = std::max(items.Selected(), 0);
  items.Selected(((from + offset) % count + count) % count);
  ShowWindow(m_Picture1, SW_HIDE);
  return true;
}

bool WebMainFrm::SelectTabAtCommand(int place) {
  if (!m_WebuTab) return false;
  CTabItems& items = m_WebuTab->TabItems();
  const int index = place >= 9 ? items.Count() - 1 : place - 1;
  if (index < 0 || index >= items.Count()) return false;
  items.Selected(index);
  ShowWindow(m_Picture1, SW_HIDE);
  return true;
}

void WebMainFrm::CloseTabCommand() {
  if (!m_WebuTab) return;
  CTabItems& items = m_WebuTab->TabItems();
  const int selected = items.Selected();
  const std::shared_ptr<CTabItem> item = items.Item(Variant(selected));
  // A tab without a close box is not closed by the key either. The strip's removal asks the
  // window (OnItemColose), which turns closing the last tab into the exit question.
  if (!item || item->HideButton()) return;
  items.Remove(Variant(selected), true);
}

bool WebMainFrm::ZoomCommand(int direction) {
  if (!m_WebuTab) return false;
  CTabItems& items = m_WebuTab->TabItems();
  auto pageAt = [&](int index) -> WebUrl* {
    const std::shared_ptr<CTabItem> item = items.Item(Variant(index));
    return item ? dynamic_cast<WebUrl*>(item->Form().get()) : nullptr;
  };
  WebUrl* selected = pageAt(items.Selected());
  if (selected == nullptr || selected->Browser() == nullptr) return false;
  const std::string site = sitezoom::SiteOf(selected->Browser()->LocationURL());
  if (site.empty()) return false;
  const int level = sitezoom::Step(sitezoom::Level(site), direction);
  sitezoom::Keep(site, level);
  for (int i = 0; i < items.Count(); ++i) {
    WebUrl* page = pageAt(i);
    if (page != nullptr && page->Browser() != nullptr &&
        sitezoom::SiteOf(page->Browser()->LocationURL()) == site) {
      page->Browser()->SetZoom(level / 100.0);
    }
  }
  // A short hint of the level.
  m_LastNotice = "缩放 " + std::to_string(level) + "%";
  if (m_NotifyIcon) m_NotifyIcon->ShowBubble(ClientTitle, m_LastNotice, NIIF_INFO);
  return true;
}

std::vector<HWND> WebMainFrm::Chrome() {
  return {m_WebBForm->hWnd(),     m_PicLogo,          m_WebuTab->hWnd(), m_OtherUserBtn->hWnd(),
          m_GameSpaceBtn->hWnd(), m_web_tool->hWnd(), m_web_min->hWnd(), m_web_minmax->hWnd(),
          m_web_close->hWnd()};
}

void WebMainFrm::FullScreenCommand() {
  if (!m_objStyle || !m_WebuTab) return;
  const HWND me = hWnd();
  if (!m_FullScreen) {
    if (IsIconic(me) || !IsWindowVisible(me)) return;
    GetWindowRect(me, &m_BeforeFullScreen);
    m_FullScreen = true;
    for (const HWND h : Chrome()) ShowWindow(h, SW_HIDE);
    SetWindowRgn(me, 0, true);
    SetWindowFullScreen(me, true);
    Form_Resize();
    m_LastNotice = "按 F11 退出全屏";
    if (m_NotifyIcon) m_NotifyIcon->ShowBubble(ClientTitle, m_LastNotice, NIIF_INFO);
    return;
  }
  m_FullScreen = false;
  SetWindowFullScreen(me, false);
  for (const HWND h : Chrome()) ShowWindow(h, SW_SHOW);
  // The place and size it had, covering the work area or not.
  const RECT& r = m_BeforeFullScreen;
  SetWindowPos(me, 0, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  Form_Resize();
}

namespace {

// A file name from a page title: no path separators or control characters, at most 80 bytes.
std::string ScreenshotName(const std::string& title, std::time_t when) {
  std::string name;
  for (const char c : title) {
    const auto u = static_cast<unsigned char>(c);
    name += u < 0x20 || c == '/' || c == '\\' || u == 0x7F ? '_' : c;
  }
  name = name.substr(0, gdi::Utf8Floor(name, 80));
  if (name.empty() || name.starts_with('.')) name.insert(0, "page");
  char stamp[32];
  std::tm local{};
  localtime_r(&when, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return name + "_" + stamp + ".png";
}

}  // namespace

void WebMainFrm::ScreenshotCommand() {
  if (!m_WebuTab) return;
  CTabItems& items = m_WebuTab->TabItems();
  const std::shared_ptr<CTabItem> item = items.Item(Variant(items.Selected()));
  auto* page = item ? dynamic_cast<WebUrl*>(item->Form().get()) : nullptr;
  if (page == nullptr || page->Browser() == nullptr) return;
  const std::string folder = UserPicturesDir() + "/" + ClientTitle;
  std::string error;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) error = folder + ": " + ec.message();
  std::string path = folder + "/" + ScreenshotName(item->Caption(), std::time(nullptr));
  if (error.empty()) {
    int width = 0;
    int height = 0;
    error = page->Browser()->SaveSnapshot(path, width, height);
    // A file cut short (a full disk) is not left behind.
    if (!error.empty()) std::filesystem::remove(path, ec);
  }
  m_LastScreenshot = error.empty() ? path : std::string();
  m_LastNotice = error.empty() ? "截图已保存：" + path : "截图未能保存：" + error;
  if (!error.empty()) kMainWinLog.Event("screenshot not saved: " + error);
  if (m_NotifyIcon) {
    m_NotifyIcon->ShowBubble(ClientTitle, m_LastNotice, error.empty() ? NIIF_INFO : NIIF_WARNING);
  }
}

void WebMainFrm::FocusSelectedPage() {
  if (!m_WebuTab) return;
  CTabItems& items = m_WebuTab->TabItems();
  const std::shared_ptr<CTabItem> item = items.Item(Variant(items.Selected()));
  if (auto* page = item ? dynamic_cast<WebUrl*>(item->Form().get()) : nullptr) {
    SetFocus(page->BrowserWindow());
  }
}

bool WebMainFrm::KeyCommand(const MainKeyCommand& command) {
  switch (command.key) {
    case MainKey::Refresh:
      RefreshCommand();
      return true;
    case MainKey::NextTab:
    case MainKey::PreviousTab:
    case MainKey::TabAt: {
      const bool selected = command.key == MainKey::TabAt
                                ? SelectTabAtCommand(command.place)
                                : SelectTabCommand(command.key == MainKey::NextTab ? 1 : -1);
      if (selected) FocusSelectedPage();
      return selected;
    }
    case MainKey::CloseTab:
      CloseTabCommand();
      return true;
    case MainKey::Screenshot:
      ScreenshotCommand();
      return true;
    case MainKey::FullScreen:
      FullScreenCommand();
      return true;
    case MainKey::ZoomIn:
      return ZoomCommand(1);
    case MainKey::ZoomOut:
      return ZoomCommand(-1);
    case MainKey::ZoomReset:
      return ZoomCommand(0);
    default:
      return false;
  }
}

// ---- Accounts side by side --------------------------------------------------------------------

void WebMainFrm::UpdateMenu() {
  std::vector<MenuItem> menu{{mnuRefresh, "刷新(F5)"},
                             {mnuHideRestore, "隐藏/恢复(F10)"},
                             {mnuClearCache, "清除缓存"},
                             {0, "-", true},
                             {mnuUpdate, "更新"},
                             {mnuVersion, m_VersionCaption},
                             {mnuExit, "退出"}};
  // The accounts' items come after the design's, which keep their captions and order.
  menu.push_back({0, "-", true});
  menu.push_back({mnuAnotherAccount, "新账号登录"});
  // Each account kept from before can sign in again, as its own number, and be forgotten. One
  // forgotten in this run signs in again only after a restart, even should the engine have
  // written into its directory again.
  for (int session = 1; session < kMaxWebSessions; ++session) {
    if (WebSessionStored(session)) {
      const std::string number = std::to_string(session + 1);
      if (!WebSessionSpent(session)) {
        menu.push_back({static_cast<UINT>(mnuAccountLogin + session), "账号" + number + "登录"});
      }
      menu.push_back({static_cast<UINT>(mnuForgetAccount + session), "删除账号" + number});
    }
  }
  SetWindowMenu(hWnd(), std::move(menu));
}

std::vector<int> WebMainFrm::TabSessions() {
  std::vector<int> sessions;
  if (!m_WebuTab) return sessions;
  CTabItems& items = m_WebuTab->TabItems();
  for (int i = 0; i < items.Count(); ++i) {
    const int mark = items.Item(Variant(i))->SessionMark();
    sessions.push_back(mark > 0 ? mark - 1 : 0);
  }
  return sessions;
}

void WebMainFrm::AnotherAccountCommand() {
  // The first session that is neither stored, nor open in a tab, nor forgotten after the engine
  // had opened it in this run.
  const std::vector<int> open = TabSessions();
  for (int session = 1; session < kMaxWebSessions; ++session) {
    if (WebSessionStored(session) || std::ranges::count(open, session) > 0 ||
        WebSessionSpent(session)) {
      continue;
    }
    if (TheMainWindowHost().showAccountLogin) TheMainWindowHost().showAccountLogin(session);
    UpdateMenu();
    return;
  }
  MessageBox("最多可同时登录" + std::to_string(kMaxWebSessions) + "个账号。", "提示",
             MB_OK | MB_ICONINFORMATION);
}

void WebMainFrm::AccountLoginCommand(int session) {
  if (session <= 0 || session >= kMaxWebSessions || WebSessionSpent(session)) return;
  if (TheMainWindowHost().showAccountLogin) TheMainWindowHost().showAccountLogin(session);
}

void WebMainFrm::ForgetAccountCommand(int session) {
  if (session <= 0 || session >= kMaxWebSessions) return;
  const std::string name = "账号" + std::to_string(session + 1);
  if (MessageBox("删除" + name + "的登录信息和数据，并关闭它的标签页吗？", "删除账号",
                 MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  const std::shared_ptr<bool> alive = m_alive;
  if (m_WebuTab) {
    // Its tabs close without the last-tab rule: the other accounts' games stay.
    m_Forgetting = true;
    CTabItems& items = m_WebuTab->TabItems();
    for (int i = items.Count() - 1; i >= 0; --i) {
      if (TabSessions()[static_cast<std::size_t>(i)] == session) items.Remove(Variant(i), true);
    }
    m_Forgetting = false;
    if (items.Count() == 0) ShowWindow(m_Picture1, SW_SHOW);
  }
  ForgetWebSession(session);
  if (*alive) UpdateMenu();
}
