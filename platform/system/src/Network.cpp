#include "platform/system/Network.h"

#include <ifaddrs.h>
#include <net/if.h>  // IWYU pragma: keep (IFF_UP and kin)
#include <netinet/in.h>

#include <cstdio>
#include <cstring>

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

// A default route that is up, in the kernel's routing tables (IPv4, then IPv6): what the
// system's network monitor calls "network available", read without loading the monitor's
// modules (which costs a start-up tens of milliseconds before its first window).
bool HasDefaultRoute() {
  constexpr unsigned kUp = 0x0001;
  constexpr unsigned kReject = 0x0200;
  if (FILE* f = std::fopen("/proc/net/route", "re")) {
    char line[512];
    bool found = false;
    bool header = true;  // the first line names the columns
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
      if (header) {
        header = false;
        continue;
      }
      char iface[64];
      unsigned destination = 1, gateway = 0, flags = 0;
      if (std::sscanf(line, "%63s %x %x %x", iface, &destination, &gateway, &flags) == 4) {
        found = destination == 0 && (flags & kUp) != 0 && std::strcmp(iface, "lo") != 0;
      }
    }
    std::fclose(f);
    if (found) return true;
  }
  if (FILE* f = std::fopen("/proc/net/ipv6_route", "re")) {
    char line[512];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
      char destination[33], source[33], nextHop[33], iface[64];
      unsigned prefix = 1, sourcePrefix = 0, metric = 0, refs = 0, use = 0, flags = 0;
      if (std::sscanf(line, "%32s %x %32s %x %32s %x %x %x %x %63s", destination, &prefix, source,
                      &sourcePrefix, nextHop, &metric, &refs, &use, &flags, iface) == 10) {
        found = prefix == 0 && std::strspn(destination, "0") == 32 && (flags & kUp) != 0 &&
                (flags & kReject) == 0 && std::strcmp(iface, "lo") != 0;
      }
    }
    std::fclose(f);
    if (found) return true;
  }
  return false;
}

}  // namespace

bool InternetGetConnectedState() {
  return HasUsableInterface() && HasDefaultRoute();
}

}  // namespace platform
