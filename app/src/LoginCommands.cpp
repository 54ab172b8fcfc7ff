// The page-to-client commands of the login page: plain text rules, without a window.

#include "app/LoginFrm.h"

#include "common/UpdateHandOver.h"
#include "platform/system/AsciiText.h"

LoginFrm::Command LoginFrm::CommandOf(const std::string& url) {
  if (url.find("app://exitgame") != std::string::npos) return Command::ExitGame;
  if (url.find("app://minimize") != std::string::npos) return Command::Minimize;
  if (url.find("app://loadgame") != std::string::npos) return Command::LoadGame;
  return Command::None;
}

std::string LoginFrm::GameAddressOf(const std::string& url) {
  const auto fields = SplitAtBars(url);
  if (fields.size() < 2) return {};
  return platform::IsHttpAddress(fields[1]) ? std::string(fields[1]) : std::string();
}
