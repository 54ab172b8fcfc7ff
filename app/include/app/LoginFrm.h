#pragma once

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

  platform::HWND Picture1() const { return m_Picture1; }
  platform::HWND MiniBtn() const { return m_MiniBtn; }
  platform::HWND CloseBtn() const { return m_CloseBtn; }
  platform::WebBrowser& WebBrowser1() { return *m_WebBrowser1; }
  // The website-data session of the login page and of the games it opens (0: the first
  // account's). The next load takes the session set before it; after that, 0 again.
  int Session() const { return m_Session; }
  static void SessionOfNextLoad(int session) { s_NextSession = session; }

  // How long the login page's first load may take before it counts as unreachable.
  static inline unsigned FirstLoadTimeoutMs = 30000;

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
  platform::HICON m_SmallIcon = 0;
  platform::HICON m_BigIcon = 0;
  bool m_PageArrived = false;  // the login page has shown the login screen
  int m_Session = 0;
  static inline int s_NextSession = 0;
};
