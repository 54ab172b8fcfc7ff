// The login page's commands and the game address of "app://loadgame" on arbitrary addresses:
// never a failure, and the answers keep their promises.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/LoginFrm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  const LoginFrm::Command command = LoginFrm::CommandOf(url);
  const bool exit = url.find("app://exitgame") != std::string::npos;
  const bool minimize = url.find("app://minimize") != std::string::npos;
  const bool load = url.find("app://loadgame") != std::string::npos;
  const LoginFrm::Command want = exit       ? LoginFrm::Command::ExitGame
                                 : minimize ? LoginFrm::Command::Minimize
                                 : load     ? LoginFrm::Command::LoadGame
                                            : LoginFrm::Command::None;
  if (command != want) std::abort();

  const std::string game = LoginFrm::GameAddressOf(url);
  if (game.empty()) return 0;
  // A game address is a web address with something after the scheme, taken from between the
  // first "|" and the next one.
  if (game.find('|') != std::string::npos) std::abort();
  const std::size_t first = url.find('|');
  if (first == std::string::npos || url.compare(first + 1, game.size(), game) != 0) std::abort();
  std::string lower = game.substr(0, 8);
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  const bool http = lower.rfind("http://", 0) == 0 && game.size() > 7;
  const bool https = lower.rfind("https://", 0) == 0 && game.size() > 8;
  if (!http && !https) std::abort();
  return 0;
}
