// The main window's commands: the four title buttons, the two portal buttons and the items of
// the program menu.

#include <algorithm>

#include "common/CheckUpdate.h"
#include "common/Settings.h"
#include "mainwin/ClearUrlCache.h"
#include "mainwin/MainWindowHost.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/desktop/Shell.h"
#include "platform/webhost/WebBrowser.h"

using namespace platform;

void WebMainFrm::CloseCommand() {
  FormSlot<WebMainFrm>::Unload();
}

void WebMainFrm::MinimizeCommand() {
  ShowWindow(hWnd(), SW_MINIMIZE);
}

void WebMainFrm::MaxRestoreCommand() {
  if (!m_objStyle) return;
  const bool maximised = m_objStyle->CallWindowStateChange();
  // Covering the work area, the title bar does not drag the window.
  m_WebBForm->frmHwnd(maximised ? 0 : hWnd());
  // The button shows the state the window is in, also when the command came another way.
  m_web_minmax->Value(maximised);
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
  if (Visible()) {
    Hide();
  } else {
    Show();
  }
}

void WebMainFrm::ClearCacheCommand() {
  // Cookies and history stay. The box is shown whatever the clearing achieved; neither step
  // touches the window, which may go while they wait on the main loop.
  ClearUrlCache("*.*", COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY);
  MessageBox("缓存已清理完毕！", "缓存清理", MB_OK | MB_ICONINFORMATION);
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
  };
  CheckUpdate(ButtonMode, downloader, hooks);
  if (!*alive) return;
  m_Downloader = std::move(downloader);
  m_Checking = false;
}

void WebMainFrm::GameSpaceCommand() {
  ShellExecuteOpen(GameSpaceUrl(), "");
}

void WebMainFrm::OtherUserCommand() {
  if (TheMainWindowHost().showLogin) TheMainWindowHost().showLogin();
}

void WebMainFrm::SelectTabCommand(int offset) {
  if (!m_WebuTab) return;
  CTabItems& items = m_WebuTab->TabItems();
  const int count = items.Count();
  if (count == 0) return;
  const int from = std::max(items.Selected(), 0);
  items.Selected(((from + offset) % count + count) % count);
  ShowWindow(m_Picture1, SW_HIDE);
}

void WebMainFrm::SelectTabAtCommand(int place) {
  if (!m_WebuTab) return;
  CTabItems& items = m_WebuTab->TabItems();
  const int index = place >= 9 ? items.Count() - 1 : place - 1;
  if (index < 0 || index >= items.Count()) return;
  items.Selected(index);
  ShowWindow(m_Picture1, SW_HIDE);
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

bool WebMainFrm::KeyCommand(const MainKeyCommand& command) {
  switch (command.key) {
    case MainKey::Refresh:
      RefreshCommand();
      return true;
    case MainKey::NextTab:
      SelectTabCommand(1);
      return true;
    case MainKey::PreviousTab:
      SelectTabCommand(-1);
      return true;
    case MainKey::TabAt:
      SelectTabAtCommand(command.place);
      return true;
    case MainKey::CloseTab:
      CloseTabCommand();
      return true;
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
  for (int session = 1; session < kMaxWebSessions; ++session) {
    if (WebSessionStored(session)) {
      menu.push_back({static_cast<UINT>(mnuForgetAccount + session),
                      "删除账号" + std::to_string(session + 1)});
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
  // The first session that is neither stored, nor open in a tab, nor forgotten in this run.
  const std::vector<int> open = TabSessions();
  for (int session = 1; session < kMaxWebSessions; ++session) {
    if (WebSessionStored(session) || std::ranges::count(open, session) > 0 ||
        std::ranges::count(m_ForgottenSessions, session) > 0) {
      continue;
    }
    if (TheMainWindowHost().showAccountLogin) TheMainWindowHost().showAccountLogin(session);
    UpdateMenu();
    return;
  }
  MessageBox("最多可同时登录" + std::to_string(kMaxWebSessions) + "个账号。", "提示",
             MB_OK | MB_ICONINFORMATION);
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
  m_ForgottenSessions.push_back(session);
  ForgetWebSession(session);
  if (*alive) UpdateMenu();
}
