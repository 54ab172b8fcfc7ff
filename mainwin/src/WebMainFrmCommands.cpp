// The main window's commands: the four title buttons, the two portal buttons and the items of
// the program menu.

#include "common/CheckUpdate.h"
#include "common/Settings.h"
#include "mainwin/ClearUrlCache.h"
#include "mainwin/MainWindowHost.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"

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
