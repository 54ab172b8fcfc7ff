#pragma once

#include <memory>

#include "app/PngLayer.h"
#include "common/COrvDownLoadFile.h"
#include "platform/window/Form.h"

// The startup window: checks that the machine is online before its window exists, then shows
// the splash centred on the screen and, with the splash up, runs the update check and loads the
// login window. With "/web" it shows nothing: the update check runs, then the home page goes to
// the user's browser.
class LoadFrm : public platform::Form {
 public:
  // The creation step: the connectivity check (which may end the process).
  LoadFrm();

  // Whether the command line is "/web": then no window of the client is ever shown.
  static bool WebOnly();

  // Unloads the splash a moment after the login screen has drawn its first frame over it.
  void Leave();

  // The download object of this window's update check, made when first needed.
  std::unique_ptr<COrvDownLoadFile> m_Downloader;

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;
  platform::LRESULT FormProc(platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) override;

 private:
  // The update check, "/web" and the login window, once the splash is on the screen.
  void AfterSplash();

  PngLayer m_Layer;
  bool m_Started = false;
};
