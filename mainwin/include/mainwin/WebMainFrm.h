#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/COrvDownLoadFile.h"
#include "controls/BForm.h"
#include "controls/iButton.h"
#include "mainwin/COrvNotifyIcon.h"
#include "mainwin/MainKeys.h"
#include "mainwin/MainLayout.h"
#include "mainwin/cSetStyle.h"
#include "platform/gdi/Icon.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/Form.h"
#include "tabstrip/uTab.h"

// The main window: a frameless, rounded, resizable window whose title band carries the logo,
// the tab strip and the window buttons, and whose body shows the selected tab's game page.
// Each game address is one tab, keyed "Game" + address, so opening an address again selects
// its tab. Every close request passes the close guard: unless m_bExit is set, the exit
// question decides.
class WebMainFrm : public platform::Form {
 public:
  using BForm = controls::BForm;
  using iButton = controls::iButton;

  WebMainFrm();
  ~WebMainFrm() override;

  // Opens or selects the tab of the address in the website-data session (0: the first
  // account's; every other session is another account, and its tabs carry its number).
  void SetURL(const std::string& strURL, int session = 0);
  // Gives the window a rounded-rectangle shape from (0, 0) to (Top, Buttom) pixels (Top is the
  // right edge, Buttom the bottom edge) with X x Y corner ellipses; the window owns it.
  static void RectRgn(platform::HWND hWnd, std::int16_t Top, std::int16_t Buttom, std::int16_t X,
                      std::int16_t Y);
  // An execute command of the "VelmoraDDE" topic: the text is taken as a game address. A
  // minimised window is restored (a hidden one stays hidden), then the tab is opened or
  // selected. Always accepted.
  bool DdeExecute(const std::string& command);

  // The commands behind the buttons.
  void CloseCommand();
  void MinimizeCommand();
  void MaxRestoreCommand();
  // The title bar and the maximise button follow whether the window covers the work area.
  void ShowMaximized(bool maximised);
  void GameSpaceCommand();
  void OtherUserCommand();
  void RefreshCommand();
  void HideRestoreCommand();
  void ClearCacheCommand();
  void UpdateCommand();
  // A login as another account, in a website-data session of its own (up to
  // platform::kMaxWebSessions in all); the login screen of an account kept from before, whose
  // games open as that account's tabs; and forgetting one (never the first).
  void AnotherAccountCommand();
  static void AccountLoginCommand(int session);
  void ForgetAccountCommand(int session);
  // The session of each tab, left to right.
  std::vector<int> TabSessions();
  // The keys' commands. Tab selection by offset (wrapping round) or by place (1-8, 9 the last);
  // closing the selected tab follows the rules of its close box. A command that finds nothing
  // to act on (no tabs, no tab at that place, no site to zoom) returns false, and its key then
  // goes to the page.
  bool SelectTabCommand(int offset);
  bool SelectTabAtCommand(int place);
  void CloseTabCommand();
  // Zooms the selected page's site a step in (direction > 0), out (< 0) or back to 100 % (0);
  // every open page of the site follows, and the level is kept for the site.
  bool ZoomCommand(int direction);
  // Full screen with only the selected page showing, or back to the window as it was.
  void FullScreenCommand();
  bool FullScreen() const { return m_FullScreen; }
  // Saves the selected page as shown, as a PNG in the user's pictures directory (a folder named
  // after the client), named after the page's title and the time; a desktop notification says
  // where it went, or why it did not.
  void ScreenshotCommand();
  // The last screenshot's file ("" when it failed) and the notification's text.
  const std::string& LastScreenshot() const { return m_LastScreenshot; }
  const std::string& LastNotice() const { return m_LastNotice; }
  // Runs a key's command; false when the key is not the window's (the page gets it).
  bool KeyCommand(const MainKeyCommand& command);

  // The program menu's items (WM_COMMAND identifiers).
  enum AppMenu : platform::UINT {
    mnuRefresh = 1,
    mnuHideRestore,
    mnuClearCache,
    mnuUpdate,
    mnuVersion,
    mnuExit,
    mnuAnotherAccount,
    mnuForgetAccount = 100,  // + the session's number
    mnuAccountLogin = 200,   // + the session's number
  };

  // True when the window may close without asking.
  bool m_bExit = false;

  // ---- For the program and its tests ----
  // Every address handed to SetURL, oldest first.
  const std::vector<std::string>& Addresses() const { return m_Addresses; }
  uTab& WebuTab() { return *m_WebuTab; }
  BForm& WebBForm() { return *m_WebBForm; }
  iButton& web_close() { return *m_web_close; }
  iButton& web_minmax() { return *m_web_minmax; }
  iButton& web_min() { return *m_web_min; }
  iButton& web_tool() { return *m_web_tool; }
  iButton& GameSpaceBtn() { return *m_GameSpaceBtn; }
  iButton& OtherUserBtn() { return *m_OtherUserBtn; }
  platform::HWND pCnt() const { return m_pCnt; }
  platform::HWND Picture1() const { return m_Picture1; }
  platform::HWND PicLogo() const { return m_PicLogo; }
  platform::HWND WebBrowser1Window() const { return m_WebBrowser1Window; }
  cSetStyle& objStyle() { return *m_objStyle; }
  // The tray icon; nothing before the load and after the window object is gone.
  COrvNotifyIcon* NotifyIcon() { return m_NotifyIcon.get(); }
  // The caption of the program menu's version item.
  const std::string& VersionCaption() const { return m_VersionCaption; }
  // The tab strip's tooltip text.
  const std::string& TabToolTip() const { return m_TabToolTip; }
  // How many times the exit question was shown.
  int ExitQuestions() const { return m_ExitQuestions; }

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_QueryUnload(bool& cancel, int unloadMode) override;
  void Form_Unload(bool& cancel) override;
  platform::LRESULT FormProc(platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) override;

 private:
  void CreateControls();
  void OpenTab(const std::string& url, int session = 0);
  // The program menu: the items of the design, then the accounts' items.
  void UpdateMenu();
  // The selected page takes the keyboard focus: after a key has changed the selection, the
  // next keys are that page's, as they were the hidden one's.
  void FocusSelectedPage();
  void Form_Resize();
  void Picture1_Resize();

  // Tab strip events.
  void WebuTab_TabChanged();
  void WebuTab_OnMouseDown(std::int32_t ItemIndex, std::int16_t& Button);
  void WebuTab_OnMouseHover(std::int32_t ItemIndex);
  void WebuTab_OnItemColose(std::int32_t ItemIndex, bool& Cancel);

  std::unique_ptr<BForm> m_WebBForm;
  std::unique_ptr<uTab> m_WebuTab;
  std::unique_ptr<iButton> m_OtherUserBtn;
  std::unique_ptr<iButton> m_GameSpaceBtn;
  std::unique_ptr<iButton> m_web_tool;
  std::unique_ptr<iButton> m_web_min;
  std::unique_ptr<iButton> m_web_minmax;
  std::unique_ptr<iButton> m_web_close;
  platform::HWND m_PicLogo = 0;
  platform::HWND m_pCnt = 0;
  platform::HWND m_Picture1 = 0;
  std::unique_ptr<platform::WebBrowser> m_WebBrowser1;
  platform::HWND m_WebBrowser1Window = 0;
  std::unique_ptr<cSetStyle> m_objStyle;
  // Lives as long as the window object: the icon leaves the tray when the object goes.
  std::unique_ptr<COrvNotifyIcon> m_NotifyIcon;
  std::unique_ptr<COrvDownLoadFile> m_Downloader;
  bool m_Checking = false;  // an update check runs
  platform::OwnedIcon m_SmallIcon;
  platform::OwnedIcon m_BigIcon;
  std::string m_VersionCaption;
  std::string m_TabToolTip;
  std::vector<std::string> m_Addresses;
  int m_ExitQuestions = 0;
  bool m_Forgetting = false;  // tabs close without the last-tab rule
  bool m_FullScreen = false;
  std::string m_LastScreenshot;
  std::string m_LastNotice;
  platform::RECT m_BeforeFullScreen{};  // where the window was
  // The window's own controls around the page, hidden in full screen.
  std::vector<platform::HWND> Chrome();
  // The exit question is on the screen: a further close request waits for its answer.
  bool m_Asking = false;
  // The unload step has begun to free the controls.
  bool m_Unloading = false;
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
