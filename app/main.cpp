// The client's entry point: the startup window runs the start-up order.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/AnotherLogin.h"
#include "app/ExitStatus.h"
#include "app/LoadFrm.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "common/UpdateHandOver.h"
#include "common/UpdateJournal.h"
#include "mainwin/DdeLink.h"
#include "mainwin/MainWindowHost.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/SessionService.h"
#include "platform/desktop/Shell.h"
#include "platform/system/EventLog.h"
#include "platform/system/Files.h"
#include "platform/system/Process.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/Form.h"
#include "platform/window/MessageLoop.h"

namespace {

void PrintUsage() {
  std::printf(
      "Usage: %s [/web | --open ADDRESS | --toggle | --version | --help]\n"
      "\n"
      "  (nothing)         start the client: connection and update check, splash, login screen\n"
      "  /web              open the game's home page in the default web browser and end\n"
      "  --open ADDRESS    open an http or https ADDRESS as a tab of the running client\n"
      "                    (0: opened or waiting for the main window; 2: bad usage or text;\n"
      "                    3: no running client; 4: refused)\n"
      "  --toggle          hide or show the running client's window, as F10 does (for a\n"
      "                    desktop's own shortcut; 0: done; 3: no running client;\n"
      "                    4: no main window yet)\n"
      "  --version         print the version and end\n"
      "  --help            print this text and end\n",
      platform::StderrPrefix());
}

// "--open <address>": hands the address to the running client (what a desktop entry or a link
// handler calls) and ends; 0 when the client accepted it.
int OpenInRunningClientMain(int argc, char** argv) {
  if (argc != 3) {
    platform::TellUser(std::string("usage: ") + platform::StderrPrefix() + " --open <address>");
    return 2;
  }
  const std::string url = argv[2];
  std::string message;
  int rc = 0;
  // Empty or too long: the link's own checks say so (status 2).
  if (!url.empty() && url.size() <= platform::kMaxDdeCommand && !WhyNotOpened(url).empty()) {
    // One line, whatever the text holds.
    std::string shown = url.substr(0, 200);
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    message = "refused \"" + shown + (url.size() > 200 ? "...\"" : "\"") + ": " + WhyNotOpened(url);
    rc = 4;
  } else {
    rc = OpenInRunningClient(url, message);
  }
  if (rc != 0) platform::TellUser("--open: " + message);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  // A peer that closes its end of a pipe or socket (a helper program, a server) must fail the
  // write that follows, not end the client.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc >= 2 && std::strcmp(argv[1], "--open") == 0) return OpenInRunningClientMain(argc, argv);
  if (argc == 2 && std::strcmp(argv[1], "--toggle") == 0) {
    std::string message;
    const int rc = ToggleRunningClient(message);
    if (rc != 0) platform::TellUser("--toggle: " + message);
    return rc;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintUsage();
    return 0;
  }
  // "--version" prints the version and ends, without a display (installers and tests ask).
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", AppVersion().c_str());
    // On standard error, so that a script that reads the version gets only the version.
    if (const std::string warning = UnsignedUpdatesWarning(); !warning.empty())
      std::fprintf(stderr, "%s: %s\n", platform::StderrPrefix(), warning.c_str());
    return 0;
  }
  // An update stopped between its renames is finished (or undone) before anything is loaded,
  // so that the client and its web module match. When that changed our own executable, the
  // client now in place takes over.
  {
    const std::string exe = platform::ExecutablePath();
    const std::string dir = exe.substr(0, exe.rfind('/'));
    std::vector<std::string> targets;
    const auto recovery = UpdateJournal::Recover(dir.empty() ? "/" : dir, false, &targets);
    const bool ours =
        std::find(targets.begin(), targets.end(), exe.substr(exe.rfind('/') + 1)) != targets.end();
    // Finished and Undone mean the journal is gone: the client started again does not find it
    // and start itself once more.
    if ((recovery == UpdateJournal::Recovery::Finished ||
         recovery == UpdateJournal::Recovery::Undone) &&
        ours && platform::StartProgram(exe, platform::CommandLineText(argc, argv))) {
      return 0;
    }
    // The updater is putting files in place: what is on disk is half the one version and half
    // the other. Its window is on the screen and it starts the client when it is done, so the
    // player is told so and this start ends (waiting behind a splash would show two windows
    // for one update, and a client the updater then starts a second time).
    if (recovery == UpdateJournal::Recovery::Busy) {
      kUpdateLog.Event("the updater is putting an update in place in " + dir + "; not started");
      if (!platform::InitToolkit(argc, argv)) {
        platform::TellUser("an update is being installed; the client starts when it is done");
        return 1;
      }
      platform::MessageBox("正在安装更新，更新完成后客户端将自动启动！", "提示",
                           platform::MB_OK | platform::MB_ICONINFORMATION);
      return 0;
    }
  }
  // Once a start, after a recovery's hand-over to the new executable, which logs it itself.
  if (const std::string warning = UnsignedUpdatesWarning(); !warning.empty())
    platform::LogEvent(warning);
  if (!platform::InitToolkit(argc, argv)) {
    platform::TellUser("cannot open display");
    return kExitCannotRun;
  }
  platform::SetCommandLine(argc, argv);
  // The web processes' complaints about unreachable buses tell a player nothing; a developer
  // who asks for the web view's diagnostics sees them.
  if (!platform::LogChannel("webview").On())
    platform::FilterStandardError(platform::IsWebProcessNoise);
  // The client's own website data (cookies kept between runs, caches) under the user's XDG
  // data and cache directories.
  platform::WebEngineOptions web;
  web.name = GameId;
  // Without its web engine the client can show neither the login page nor a game: it says so
  // instead of keeping the splash up for good.
  web.onUnavailable = [](const std::string&) {
    RefuseOpenLink("the client cannot run without its web engine");
    platform::MessageBox("无法加载网页组件，客户端无法运行。请重新安装客户端。", "提示",
                         platform::MB_OK | platform::MB_ICONERROR);
    platform::EndProcessNow(kExitCannotRun);
  };
  platform::InitWebEngine(web);
  TheMainWindowHost().showLogin = ShowAnotherLogin;
  TheMainWindowHost().showAccountLogin = ShowAccountLogin;
  LoadFrm& start = platform::FormSlot<LoadFrm>::Get();
  if (!LoadFrm::WebOnly()) start.Show();
  platform::RunMessageLoop();
  return 0;
}
