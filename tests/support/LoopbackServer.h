#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An HTTP/1.1 server for tests, listening on 127.0.0.1 on a port of the system's choice.
// Every connection carries one request and is served on a thread of its own by the handler
// routed for the request's path; a handler writes whatever bytes it likes, so it can lie about
// lengths, stall, or hang up in the middle of a body. The destructor stops the server: waits
// are bounded and sockets are shut down, so a handler blocked on a peer that went away ends.
//
//   testsupport::LoopbackServer server;
//   server.Route("/file", [](const testsupport::Request&, testsupport::Connection& c) {
//     c.SendResponse(200, {{"Content-Type", "text/plain"}}, "hello");
//   });
//   Fetch(server.Url("/file"));

namespace testsupport {

struct Request {
  std::string method;
  std::string target;  // as sent: path and query
  std::string path;    // the target without its query
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The first header of that name (case-insensitive); empty when there is none.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

using Headers = std::vector<std::pair<std::string, std::string>>;

class Connection {
 public:
  // Writes all bytes; false once the peer has gone (reset, closed) or a write timed out.
  bool SendRaw(std::string_view bytes);
  // A whole response: status line, the headers given, Content-Length (unless the headers name
  // Content-Length or Transfer-Encoding) and "Connection: close", then the body.
  bool SendResponse(int status, const Headers& headers, std::string_view body);
  // The status line and headers only, for a handler that writes the body itself.
  bool SendHead(int status, const Headers& headers);
  // One chunk of a chunked body; an empty `data` writes the last chunk.
  bool SendChunk(std::string_view data);
  // Sleeps, but returns false at once when the server is stopping.
  bool Pause(std::chrono::milliseconds duration);
  // Drops the connection with a reset instead of an orderly close.
  void Reset();

  std::int64_t BytesSent() const { return m_sent; }
  // True once a write failed because the peer had closed or reset the connection.
  bool PeerGone() const { return m_peerGone; }

 private:
  friend class LoopbackServer;
  struct Shared;
  Connection(int fd, std::shared_ptr<Shared> shared) : m_fd(fd), m_shared(std::move(shared)) {}
  int m_fd;
  std::shared_ptr<Shared> m_shared;
  std::int64_t m_sent = 0;
  bool m_peerGone = false;
};

class LoopbackServer {
 public:
  using Handler = std::function<void(const Request&, Connection&)>;

  // Binds 127.0.0.1 and starts serving. Throws std::system_error when it cannot listen.
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Serves `path` (without query) with `handler`; a path without a route gets a 404.
  void Route(const std::string& path, Handler handler);

  std::uint16_t Port() const { return m_port; }
  std::string BaseUrl() const;           // "http://127.0.0.1:<port>"
  std::string Url(std::string_view path) const;  // BaseUrl() + path

  // Every request received so far, in order of arrival.
  std::vector<Request> Requests() const;
  // How many requests for `path` (without query) arrived so far.
  int Count(std::string_view path) const;
  // Waits until no handler is running; false when that did not happen within `timeout`.
  bool WaitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

 private:
  std::shared_ptr<Connection::Shared> m_shared;
  std::uint16_t m_port = 0;
};

}  // namespace testsupport
