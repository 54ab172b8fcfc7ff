#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/gdi/Icon.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/Form.h"

// The login window: the portal's login page in a browser view, lying exactly over the login
// background. The page talks to the client by navigating to "app://" command addresses, which
// this window cancels and carries out.
class LoginFrm : public platform::Form {
 public:
  LoginFrm();
  ~LoginFrm() override;

  // The page-to-client command an address carries, tested in this order by case-sensitive
  // search anywhere in the address.
  enum class Command { None, ExitGame, Minimize, LoadGame };
  static Command CommandOf(const std::string& url);
  // The game address of "app://loadgame": the second "|"-piece of the address. Empty when the
  // address has no "|" or the piece is not an http or https URL; nothing is opened then.
  static std::string GameAddressOf(const std::string& url);
  // The origin of an http or https address ("scheme://host[:port]", scheme and host in lower
  // case, the scheme's own port left out); empty for anything else.
  static std::string OriginOf(const std::string& url);
  // Whether the page's commands are taken while the view's top document is `topDocument`: only
  // on the login page's own origin, or one of the portal's other origins the build names.
  static bool CommandsAllowedFrom(const std::string& topDocument);

  platform::HWND Picture1() const { return m_Picture1; }
  platform::HWND MiniBtn() const { return m_MiniBtn; }
  platform::HWND CloseBtn() const { return m_CloseBtn; }
  // The picture for a login as another account; 0 unless a main window was there.
  platform::HWND AccountBtn() const { return m_AccountBtn; }
  // The account's mark; 0 on the first account's login screen.
  platform::HWND AccountMark() const { return m_AccountMark; }
  platform::WebBrowser& WebBrowser1() { return *m_WebBrowser1; }
  // The website-data session of the login page and of the games it opens (0: the first
  // account's). The next load takes the session set before it; after that, 0 again.
  int Session() const { return m_Session; }
  static void SessionOfNextLoad(int session) { s_NextSession = session; }

  // The login page's first load is given up when nothing new of it has come for this long
  // (counted from its navigation; time while a box stands does not count), however long a
  // page that keeps arriving takes.
  static inline unsigned StallTimeoutMs = 20000;

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;

 private:
  void LoadStep();
  void WebBrowser1_BeforeNavigate2(const std::string& url, bool& Cancel);
  void WebBrowser1_NewWindow(const std::string& url, bool& Processed);
  void WebBrowser1_DocumentComplete(const std::string& url);
  // Something new of the first load has come; and the watch that gives up on it.
  void FirstLoadNews();
  void WatchFirstLoad();
  void MiniBtn_Click();
  void CloseBtn_Click();

  std::unique_ptr<platform::WebBrowser> m_WebBrowser1;
  platform::HWND m_Picture1 = 0;
  platform::HWND m_Browser = 0;
  platform::HWND m_MiniBtn = 0;
  platform::HWND m_CloseBtn = 0;
  platform::HWND m_AccountBtn = 0;
  platform::HWND m_AccountMark = 0;
  platform::OwnedIcon m_SmallIcon;
  platform::OwnedIcon m_BigIcon;
  bool m_PageArrived = false;  // the login page has shown the login screen
  std::chrono::steady_clock::time_point m_LastNews{};  // of the first load, boxes left out
  std::chrono::steady_clock::time_point m_LastWatch{};
  int m_Session = 0;
  static inline int s_NextSession = 0;
};
