#pragma once

// Whether the machine is online at all.

namespace platform {

// True when any connection is up: a non-loopback interface that is up and running with an
// IPv4 address or an IPv6 address that is not link-local, and the system's network monitor
// reporting the network available (a default route that is up). A machine, or a network namespace,
// with only loopback is offline.
bool InternetGetConnectedState();

}  // namespace platform
