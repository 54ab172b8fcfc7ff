#include "platform/system/Network.h"

#include <gio/gio.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace platform {

namespace {

bool HasUsableInterface() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool found = false;
  for (const ifaddrs* ifa = list; ifa != nullptr && !found; ifa = ifa->ifa_next) {
    if (ifa->ifa_addr == nullptr) continue;
    const unsigned flags = ifa->ifa_flags;
    if ((flags & IFF_LOOPBACK) != 0 || (flags & IFF_UP) == 0 || (flags & IFF_RUNNING) == 0) {
      continue;
    }
    if (ifa->ifa_addr->sa_family == AF_INET) {
      found = true;
    } else if (ifa->ifa_addr->sa_family == AF_INET6) {
      const auto* a6 = reinterpret_cast<const sockaddr_in6*>(ifa->ifa_addr);
      found = !IN6_IS_ADDR_LINKLOCAL(&a6->sin6_addr) && !IN6_IS_ADDR_LOOPBACK(&a6->sin6_addr);
    }
  }
  ::freeifaddrs(list);
  return found;
}

}  // namespace

bool InternetGetConnectedState() {
  if (!HasUsableInterface()) return false;
  GNetworkMonitor* monitor = g_network_monitor_get_default();
  return monitor != nullptr && g_network_monitor_get_network_available(monitor) != FALSE;
}

}  // namespace platform
