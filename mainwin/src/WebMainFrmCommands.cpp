// The main window's commands: the four title buttons, the two portal buttons and the items of
// the program menu.

#include <cstdio>

#include "common/CheckUpdate.h"
#include "common/Settings.h"
#include "mainwin/ClearUrlCache.h"
#include "mainwin/MainHook.h"
#include "mainwin/MainWindowHost.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"
#include "platform/system/EventLog.h"

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
  LogEvent("game site: no default browser could open " + url);
  std::fprintf(stderr, "%s: no default browser could open %s\n", GameId, url.c_str());
  MessageBox(hWnd(), "未能打开默认浏览器，请手动访问：" + url, "提示", MB_OK | MB_ICONEXCLAMATION);
}

void WebMainFrm::OtherUserCommand() {
  if (TheMainWindowHost().showLogin) TheMainWindowHost().showLogin();
}
