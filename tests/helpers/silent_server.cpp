// A server that takes connections on 127.0.0.1 and never answers: what a portal stuck behind a
// broken proxy looks like to the client. Prints "listening on http://127.0.0.1:PORT", then holds
// each connection open, up to 64 of them, and ends after SECONDS (default 120).
//
//   silent-server [SECONDS]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listener, 16) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("silent-server");
    return 1;
  }
  std::printf("listening on http://127.0.0.1:%d\n", ntohs(address.sin_port));
  std::fflush(stdout);
  std::vector<int> held;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end && held.size() < 64) {
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, 200) == 1) {
      const int connection = accept(listener, nullptr, nullptr);
      if (connection >= 0) {
        held.push_back(connection);
        std::printf("connection %zu\n", held.size());
        std::fflush(stdout);
      }
    }
  }
  while (std::chrono::steady_clock::now() < end) usleep(200 * 1000);
  return 0;
}
