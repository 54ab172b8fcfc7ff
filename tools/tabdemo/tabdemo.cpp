// tabdemo [BASE_URL] [--style 0|1]
//
// A plain window holding a tab strip and, below it, the container of its pages: a few browser
// pages from the demo portal (BASE_URL, or $CLIENT_BASE_URL, default http://127.0.0.1:8080),
// one of them with a caption too long for its tab and one with mixed CJK and Latin text. Close
// tabs with their close buttons; closing the window ends the program.

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "controls/PropertyBag.h"
#include "mainwin/WebUrl.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/uTab.h"

using namespace platform;

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 600;
constexpr int kStripTop = 8;

struct Demo {
  HWND frame = 0;
  HWND container = 0;
  std::unique_ptr<uTab> strip;

  void Layout() {
    RECT client;
    GetClientRect(frame, &client);
    const int stripHeight = strip ? (strip->TabStyle() == 0 ? 25 : 32) : 32;
    if (strip) {
      SetWindowPos(strip->hWnd(), 0, 0, kStripTop, client.Width(), stripHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const int top = kStripTop + stripHeight;
    SetWindowPos(container, 0, 4, top, client.Width() - 8, client.Height() - top - 4,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
};

Demo g_demo;

void OpenPage(const std::string& url, const std::string& caption) {
  std::shared_ptr<WebUrl> page = WebUrl::Create();
  page->OpenURL(url);
  g_demo.strip->TabItems().Add(caption, page, Variant(caption));
  g_demo.strip->TabItems().Selected(g_demo.strip->TabItems().Count() - 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::string base = std::getenv("CLIENT_BASE_URL") != nullptr ? std::getenv("CLIENT_BASE_URL")
                                                              : "http://127.0.0.1:8080";
  int style = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--style") == 0 && i + 1 < argc) {
      style = std::atoi(argv[++i]);
    } else {
      base = argv[i];
    }
  }
  if (!InitToolkit(argc, argv)) return 1;

  CreateWindowArgs f;
  f.title = "Tab strip demo";
  f.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
            WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
  f.x = 40;
  f.y = 40;
  f.width = kWidth;
  f.height = kHeight;
  f.backColor = RGB(0x24, 0x4F, 0xA6);
  f.proc = [](HWND h, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (msg == WM_SIZE && g_demo.container != 0) g_demo.Layout();
    if (msg == WM_CLOSE) {
      QuitMessageLoop();
      return 0;
    }
    return DefWindowProc(h, msg, wParam, lParam);
  };
  g_demo.frame = CreateWindowEx(f);
  if (g_demo.frame == 0) return 1;

  CreateWindowArgs c;
  c.style = WS_CHILD | WS_VISIBLE;
  c.parent = g_demo.frame;
  c.backColor = RGB(255, 255, 255);
  g_demo.container = CreateWindowEx(c);

  controls::PropertyBag design;
  design.WriteProperty("TabStyle", style);
  design.WriteProperty("TabLeftSize", 10);
  design.WriteProperty("TabRightSize", 0);
  uTabCreateArgs args;
  args.parent = g_demo.frame;
  args.width = kWidth;
  args.properties = &design;
  g_demo.strip = std::make_unique<uTab>(args);
  g_demo.strip->hContainerWnd(g_demo.container);
  g_demo.strip->LockReDraw(false);
  g_demo.strip->OnItemColose = [](std::int32_t, bool& cancel) {
    // The last tab stays, as in the client: closing it would mean closing the window.
    cancel = g_demo.strip->TabItems().Count() <= 1;
  };
  g_demo.Layout();

  OpenPage(base + "/", "Game" + base + "/");
  OpenPage(base + "/games/talmar2/", "Game" + base + "/games/talmar2/");
  OpenPage(base + "/no/such/page", "A caption much too long to fit into any tab of this strip");
  OpenPage("about:blank", "about:blank");
  g_demo.strip->TabItems().Item(Variant(3))->Caption("游戏中心 Game Center 天空之城");
  g_demo.strip->TabItems().Selected(1);

  ShowWindow(g_demo.frame, SW_SHOW);
  RunMessageLoop();
  // Pages go with the strip's collection, before the windows they sit in.
  g_demo.strip.reset();
  DestroyWindow(g_demo.frame);
  return 0;
}
