// The page-to-client commands of the login page: plain text rules, without a window.

#include "app/LoginFrm.h"

#include <algorithm>

#include "platform/system/AsciiText.h"

LoginFrm::Command LoginFrm::CommandOf(const std::string& url) {
  if (url.find("app://exitgame") != std::string::npos) return Command::ExitGame;
  if (url.find("app://minimize") != std::string::npos) return Command::Minimize;
  if (url.find("app://loadgame") != std::string::npos) return Command::LoadGame;
  return Command::None;
}

std::string LoginFrm::GameAddressOf(const std::string& url) {
  const std::size_t first = url.find('|');
  if (first == std::string::npos) return {};
  const std::size_t second = url.find('|', first + 1);
  std::string game =
      url.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  return platform::IsHttpAddress(game) ? game : std::string();
}

unsigned LoginFrm::FirstLoadTimeout(std::chrono::steady_clock::time_point now) {
  if (StartedAt == std::chrono::steady_clock::time_point{}) return FirstLoadTimeoutMs;
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(now - StartedAt).count();
  const long long left = static_cast<long long>(ConnectionDeadlineMs) - spent;
  const long long wait = std::max<long long>(left, MinFirstLoadMs);
  return static_cast<unsigned>(std::min<long long>(wait, FirstLoadTimeoutMs));
}
