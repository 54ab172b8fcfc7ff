// The client's entry point: the startup window runs the start-up order.

#include <cstdio>

#include "app/LoadFrm.h"
#include "common/Settings.h"
#include "platform/Form.h"
#include "platform/MessageLoop.h"
#include "platform/Process.h"
#include "platform/WebBrowser.h"

int main(int argc, char** argv) {
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
