#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Form.h"
#include "platform/WebBrowser.h"

// The main window, as far as it exists yet: the entry point the login hands the game address
// to. Until the skinned frame and the tab strip move in, it is a plain window that shows the
// last address it was given.
class WebMainFrm : public platform::Form {
 public:
  WebMainFrm();
  ~WebMainFrm() override;

  // Opens `url` in the window (selecting it when it is open already).
  void SetURL(const std::string& url);

  // True when the window may close without asking.
  bool m_bExit = false;

  // Every address handed over so far, oldest first.
  const std::vector<std::string>& Addresses() const { return m_Addresses; }
  platform::WebBrowser* Browser() { return m_Browser.get(); }

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;
  platform::LRESULT FormProc(platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) override;

 private:
  std::unique_ptr<platform::WebBrowser> m_Browser;
  platform::HWND m_View = 0;
  std::vector<std::string> m_Addresses;
};
