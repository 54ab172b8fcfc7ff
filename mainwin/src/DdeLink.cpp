#include "mainwin/DdeLink.h"

#include <deque>

#include "mainwin/MainHook.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/SessionService.h"
#include "platform/system/AsciiText.h"
#include "platform/window/Form.h"

using namespace platform;

bool StartDdeLink(HWND hWnd) {
  return StartDdeService(kDdeService, kDdeTopic, hWnd);
}

void StopDdeLink() {
  StopDdeService(kDdeService, kDdeTopic);
}

int OpenInRunningClient(const std::string& url, std::string& message) {
  switch (DdeExecute(kDdeService, kDdeTopic, url, &message)) {
    case DdeResult::Accepted:
      return 0;
    case DdeResult::NoServer:
    case DdeResult::NoBus:
      return 3;
    case DdeResult::BadText:
      return 2;
    case DdeResult::Refused:
      return 4;
  }
  return 4;
}

int ToggleRunningClient(std::string& message) {
  const int rc = OpenInRunningClient(kToggleCommand, message);
  if (rc == 3) message = "there is no running client to hide or show";
  return rc;
}

std::string WhyNotOpened(const std::string& url) {
  if (IsHttpAddress(url)) return {};
  return "not an http or https address";
}

namespace {

struct OpenLink {
  HWND window = 0;
  std::deque<std::string> waiting;
  std::string refusal;  // not empty once the client is about to end
};

OpenLink& Link() {
  static OpenLink link;
  return link;
}

std::string Shown(const std::string& url) {
  return url.size() <= 256 ? url : url.substr(0, 256) + "...";
}

// What the link's window answers for one address: non-zero when it was taken.
LRESULT Execute(const std::string& url) {
  if (url == kToggleCommand) {
    if (!FormSlot<WebMainFrm>::IsLoaded()) {
      SetDdeRefusal("there is no main window to hide or show yet");
      return 0;
    }
    ToggleMainWindow(FormSlot<WebMainFrm>::Get().hWnd());
    return 1;
  }
  OpenLink& link = Link();
  std::string why = WhyNotOpened(url);
  if (why.empty() && !link.refusal.empty()) why = link.refusal;
  if (why.empty() && !FormSlot<WebMainFrm>::IsLoaded() &&
      link.waiting.size() >= kMaxWaitingAddresses) {
    why = "too many addresses are waiting for the main window";
  }
  if (!why.empty()) {
    kOpenLog.Event(Shown(url) + " refused: " + why);
    SetDdeRefusal(why);
    return 0;
  }
  if (FormSlot<WebMainFrm>::IsLoaded()) return FormSlot<WebMainFrm>::Get().DdeExecute(url) ? 1 : 0;
  link.waiting.push_back(url);
  return 1;
}

}  // namespace

bool StartOpenLink() {
  OpenLink& link = Link();
  if (link.window == 0) {
    CreateWindowArgs args;
    args.style = WS_POPUP;
    args.title = "open link";
    args.messageOnly = true;
    args.proc = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (msg == WM_DDE_EXECUTE) return Execute(*reinterpret_cast<const std::string*>(lParam));
      return DefWindowProc(hwnd, msg, wParam, lParam);
    };
    link.window = CreateWindowEx(args);
  }
  return link.window != 0 && StartDdeLink(link.window);
}

void RefuseOpenLink(const std::string& why) {
  OpenLink& link = Link();
  link.refusal = why;
  for (const std::string& url : link.waiting) {
    kOpenLog.Event(Shown(url) + " dropped: " + why);
  }
  link.waiting.clear();
}

void OpenWaitingAddresses(WebMainFrm& main) {
  std::deque<std::string> waiting;
  waiting.swap(Link().waiting);
  for (const std::string& url : waiting) main.DdeExecute(url);
}
