// The page-to-client commands of the login page: plain text rules, without a window.

#include "app/LoginFrm.h"

#include <cctype>

#include "common/Settings.h"
#include "common/UpdateHandOver.h"
#include "platform/system/AsciiText.h"

// Origins besides the login page's own from which the page's commands are taken (the portal's
// sign-in pages on other hosts), separated by spaces: the CMake list CLIENT_LOGIN_ORIGINS.
#ifndef CLIENT_LOGIN_ORIGINS
#define CLIENT_LOGIN_ORIGINS ""
#endif

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

std::string LoginFrm::OriginOf(const std::string& url) {
  if (!platform::IsHttpAddress(url)) return {};
  const std::size_t colon = url.find(':');
  std::string scheme = url.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t start = colon + 3;
  std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
  // Credentials are no part of the origin; a host is never empty.
  if (const std::size_t at = authority.rfind('@'); at != std::string::npos) {
    authority.erase(0, at + 1);
  }
  for (char& c : authority) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string ownPort = scheme == "https" ? ":443" : ":80";
  if (authority.size() > ownPort.size() &&
      authority.compare(authority.size() - ownPort.size(), ownPort.size(), ownPort) == 0 &&
      authority.find(']', authority.size() - ownPort.size()) == std::string::npos) {
    authority.resize(authority.size() - ownPort.size());
  }
  if (authority.empty() || authority.front() == ':') return {};
  return scheme + "://" + authority;
}

bool LoginFrm::CommandsAllowedFrom(const std::string& topDocument) {
  const std::string origin = OriginOf(topDocument);
  if (origin.empty()) return false;
  if (origin == OriginOf(LoginPageUrl())) return true;
  const std::string others = CLIENT_LOGIN_ORIGINS;
  std::size_t start = 0;
  while (start <= others.size()) {
    std::size_t end = others.find(' ', start);
    if (end == std::string::npos) end = others.size();
    const std::string other = OriginOf(others.substr(start, end - start) + "/");
    if (!other.empty() && other == origin) return true;
    start = end + 1;
  }
  return false;
}
