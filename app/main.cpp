// The client's entry point: the startup window runs the start-up order.

#include <cstdio>
#include <cstring>

#include "app/LoadFrm.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
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
  platform::FormSlot<LoadFrm>::Get().Show();
  platform::RunMessageLoop();
  return 0;
}
