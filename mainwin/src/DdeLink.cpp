#include "mainwin/DdeLink.h"

#include "platform/desktop/SessionService.h"

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
