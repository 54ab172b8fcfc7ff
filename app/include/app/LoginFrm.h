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
  platform::WebBrowser& WebBrowser1() { return *m_WebBrowser1; }
  // The website-data session of the login page and of the games it opens (0: the first
  // account's). The next load takes the session set before it; after that, 0 again.
  int Session() const { return m_Session; }
  static void SessionOfNextLoad(int session) { s_NextSession = session; }

  // How long the login page's first load may take before it counts as unreachable: at most
  // FirstLoadTimeoutMs; at start-up also no later than ConnectionDeadlineMs after the client
  // started (StartedAt; the update check's wait counts in; the last of 20 s is left for the
  // notice to show), but never less than MinFirstLoadMs.
  static inline unsigned FirstLoadTimeoutMs = 30000;
  static inline unsigned ConnectionDeadlineMs = 19000;
  static inline unsigned MinFirstLoadMs = 3000;
  static inline std::chrono::steady_clock::time_point StartedAt{};
  static unsigned FirstLoadTimeout(std::chrono::steady_clock::time_point now);

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;

 private:
  void LoadStep();
  void WebBrowser1_BeforeNavigate2(const std::string& url, bool& Cancel);
  void WebBrowser1_NewWindow(const std::string& url, bool& Processed);
  void WebBrowser1_DocumentComplete(const std::string& url);
  void MiniBtn_Click();
  void CloseBtn_Click();

  std::unique_ptr<platform::WebBrowser> m_WebBrowser1;
  platform::HWND m_Picture1 = 0;
  platform::HWND m_Browser = 0;
  platform::HWND m_MiniBtn = 0;
  platform::HWND m_CloseBtn = 0;
  platform::HWND m_AccountBtn = 0;
  platform::OwnedIcon m_SmallIcon;
  platform::OwnedIcon m_BigIcon;
  bool m_PageArrived = false;  // the login page has shown the login screen
  int m_Session = 0;
  static inline int s_NextSession = 0;
};
