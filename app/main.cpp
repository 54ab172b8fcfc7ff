// The client's entry point: the startup window runs the start-up order.

#include <cstdio>
#include <cstring>

#include "app/LoadFrm.h"
#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "mainwin/MainWindowHost.h"
#include "platform/Form.h"
#include "platform/MessageLoop.h"
#include "platform/Process.h"
#include "platform/WebBrowser.h"

int main(int argc, char** argv) {
  // "--version" prints the version and ends, without a display (installers and tests ask).
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", AppVersion().c_str());
    return 0;
  }
  if (!platform::InitToolkit(argc, argv)) {
    std::fprintf(stderr, "Zorvik_talmar2: cannot open display\n");
    return 1;
  }
  platform::SetCommandLine(argc, argv);
  // The client's own website data (cookies kept between runs, caches) under the user's XDG
  // data and cache directories.
  platform::WebEngineOptions web;
  web.name = GameId;
  platform::InitWebEngine(web);
  // Another login from the main window: the login screen, loaded afresh when it is gone; it
  // shows itself once its page has arrived.
  TheMainWindowHost().showLogin = [] {
    using platform::FormSlot;
    const bool shown = FormSlot<LoginFrm>::IsLoaded();
    LoginFrm& login = FormSlot<LoginFrm>::Get();
    if (shown) {
      platform::ShowWindow(FormSlot<LoginBgFrm>::Get().hWnd(), platform::SW_SHOW);
      platform::ShowWindow(login.hWnd(), platform::SW_SHOW);
    }
  };
  platform::FormSlot<LoadFrm>::Get().Show();
  platform::RunMessageLoop();
  return 0;
}
