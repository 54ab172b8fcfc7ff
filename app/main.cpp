// The client's entry point: the startup window runs the start-up order.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/AnotherLogin.h"
#include "app/LoadFrm.h"
#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "mainwin/DdeLink.h"
#include "mainwin/MainWindowHost.h"
#include "platform/desktop/MessageBox.h"
#include "platform/system/Process.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/Form.h"
#include "platform/window/MessageLoop.h"

// "--open <address>": hands the address to the running client's main window (what a desktop
// entry or a link handler calls) and ends; 0 when the window accepted it.
int OpenInRunningClientMain(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: Zorvik_talmar2 --open <address>\n");
    return 2;
  }
  std::string message;
  const int rc = OpenInRunningClient(argv[2], message);
  if (rc != 0) std::fprintf(stderr, "Zorvik_talmar2: %s\n", message.c_str());
  return rc;
}

int main(int argc, char** argv) {
  // A peer that closes its end of a pipe or socket (a helper program, a server) must fail the
  // write that follows, not end the client.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc >= 2 && std::strcmp(argv[1], "--open") == 0) return OpenInRunningClientMain(argc, argv);
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
  // Without its web engine the client can show neither the login page nor a game: it says so
  // instead of keeping the splash up for good.
  web.onUnavailable = [](const std::string&) {
    platform::MessageBox("无法加载网页组件，客户端无法运行。请重新安装客户端。", "提示",
                         platform::MB_OK | platform::MB_ICONEXCLAMATION);
    platform::EndProcessNow(1);
  };
  platform::InitWebEngine(web);
  TheMainWindowHost().showLogin = ShowAnotherLogin;
  TheMainWindowHost().showAccountLogin = ShowAccountLogin;
  platform::FormSlot<LoadFrm>::Get().Show();
  platform::RunMessageLoop();
  return 0;
}
