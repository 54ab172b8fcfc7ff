#include "common/Settings.h"

#include <cstdlib>
#include <string_view>

#include "platform/system/AsciiText.h"
#include "platform/system/EventLog.h"

namespace {

bool IsHttpBase(std::string_view base) {
  if (!platform::IsHttpAddress(base)) return false;
  // A base is a scheme and an authority only: no path, query or fragment beyond a final "/".
  const std::size_t authority = base.find("//") + 2;
  const std::size_t rest = base.find_first_of("/?#", authority);
  return rest == std::string_view::npos || (rest == base.size() - 1 && base[rest] == '/');
}

// The base for one built-in host: the override when it is set and sound.
std::string Base(const char* builtIn) {
  const char* env = std::getenv(kBaseUrlVariable);
  if (env == nullptr || *env == '\0') return builtIn;
  std::string value(env);
  if (!IsHttpBase(value)) {
    platform::LogEvent(std::string(kBaseUrlVariable) +
                       " is not an http or https base address and is ignored: " + value);
    return builtIn;
  }
  if (value.back() == '/') value.pop_back();
  return value;
}

}  // namespace

std::string UpdateListUrl() {
  return Base(CLIENT_UPDATE_HOST) + "/gamehome/talmar2/update.txt";
}
std::string UpdateSignatureUrl() {
  return UpdateListUrl() + ".sig";
}
std::string UpdatePublicKey() {
  return CLIENT_UPDATE_PUBKEY;
}
std::string UnsignedUpdatesWarning() {
  if (!CLIENT_PLAYER_BUILD || !UpdatePublicKey().empty()) return {};
  return "warning: this build's updates are not signed; anyone on the network path to the update "
         "host can have a program of theirs installed and started";
}
std::string LoginPageUrl() {
  return Base(CLIENT_PORTAL_HOST) + "/games/talmar2/dlq/";
}
std::string GameSpaceUrl() {
  return Base(CLIENT_PORTAL_HOST) + "/games/talmar2/";
}
std::string HomePageUrl() {
  return Base(CLIENT_HOME_HOST) + "/";
}

std::string ClientCaption() {
  return std::string(ClientTitle) + "客户端";
}
