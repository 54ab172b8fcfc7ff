// Opens the main window with two tabs of one game page, either in two website-data sessions
// ("sessions") or in one ("tabs", the second address with a query so that it is a tab of its
// own), prints "ready" once both pages have had time to load, and runs until it is killed.
//   accounts_bench sessions|tabs <game address> [seconds before "ready", default 10]

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mainwin/WebMainFrm.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/Form.h"
#include "platform/window/MessageLoop.h"

using namespace platform;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: accounts_bench sessions|tabs <game address> [seconds]\n");
    return 2;
  }
  const std::string mode = argv[1];
  const std::string game = argv[2];
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
  if (!InitToolkit(argc, argv)) return 1;
  WebEngineOptions web;
  web.name = "talmar2-bench";
  InitWebEngine(web);
  FormRuntime::SetLastFormUnloadedHandler([] { std::exit(0); });
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  if (mode == "sessions") {
    m.SetURL(game, 0);
    m.SetURL(game, 1);
  } else {
    m.SetURL(game);
    m.SetURL(game + "?tab=2");
  }
  m.Show();
  SetTimer(0, 0, static_cast<UINT>(seconds * 1000), [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    std::printf("ready\n");
    std::fflush(stdout);
  });
  RunMessageLoop();
  return 0;
}
