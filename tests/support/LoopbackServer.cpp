#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace testsupport {

namespace {

// No single wait of the server is longer than this: a request that does not arrive, a peer
// that does not read.
constexpr int kIoTimeoutMs = 5000;
// How often blocked loops look at the stop flag.
constexpr int kTickMs = 50;
constexpr std::size_t kMaxRequestHead = 64 * 1024;
constexpr std::size_t kMaxRequestBody = 16 * 1024 * 1024;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

void SetTimeouts(int fd) {
  timeval tv{kIoTimeoutMs / 1000, (kIoTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace

struct Connection::Shared {
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  bool stopping = false;
  std::map<std::string, LoopbackServer::Handler> routes;
  std::vector<Request> requests;
  std::set<int> openFds;
  int running = 0;  // handlers running now
  std::vector<std::thread> threads;
  std::thread acceptor;
  int listenFd = -1;

  bool Stopping() const {
    std::lock_guard lock(mutex);
    return stopping;
  }

  // Reads the request head and any body announced by Content-Length. False when the peer went
  // away, sent too much, or took too long.
  bool ReadRequest(int fd, Request& request) {
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
    std::size_t headEnd = std::string::npos;
    auto readSome = [&]() {
      while (std::chrono::steady_clock::now() < deadline) {
        if (Stopping()) return false;
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, kTickMs);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        char buffer[8192];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        data.append(buffer, static_cast<std::size_t>(n));
        return true;
      }
      return false;
    };
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
      if (data.size() > kMaxRequestHead || !readSome()) return false;
    }
    std::string_view head(data.data(), headEnd);
    auto lineEnd = head.find("\r\n");
    std::string_view requestLine = head.substr(0, lineEnd);
    auto firstSpace = requestLine.find(' ');
    auto secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos) return false;
    request.method = std::string(requestLine.substr(0, firstSpace));
    request.target = std::string(requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1));
    request.path = request.target.substr(0, request.target.find('?'));
    while (lineEnd != std::string_view::npos) {
      std::size_t start = lineEnd + 2;
      lineEnd = head.find("\r\n", start);
      std::string_view line = head.substr(start, lineEnd == std::string_view::npos ? head.npos : lineEnd - start);
      auto colon = line.find(':');
      if (colon == std::string_view::npos) continue;
      request.headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                                   std::string(Trim(line.substr(colon + 1))));
    }
    std::size_t bodyLength = 0;
    if (request.HasHeader("Content-Length")) {
      std::string text = request.Header("Content-Length");
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), bodyLength);
      if (ec != std::errc() || end != text.data() + text.size() || bodyLength > kMaxRequestBody)
        return false;
    }
    data.erase(0, headEnd + 4);
    while (data.size() < bodyLength) {
      if (!readSome()) return false;
    }
    request.body = data.substr(0, bodyLength);
    return true;
  }

  void Serve(int fd, std::shared_ptr<Shared> self) {
    Request request;
    if (ReadRequest(fd, request)) {
      LoopbackServer::Handler handler;
      {
        std::lock_guard lock(mutex);
        requests.push_back(request);
        auto it = routes.find(request.path);
        if (it != routes.end()) handler = it->second;
      }
      Connection connection(fd, self);
      if (handler) {
        handler(request, connection);
      } else {
        connection.SendResponse(404, {{"Content-Type", "text/plain"}}, "not found\n");
      }
      fd = connection.m_fd;  // -1 after a reset
    }
    std::lock_guard lock(mutex);
    if (fd >= 0) {
      openFds.erase(fd);
      close(fd);
    }
    --running;
    changed.notify_all();
  }

  void AcceptLoop(std::shared_ptr<Shared> self) {
    for (;;) {
      pollfd p{listenFd, POLLIN, 0};
      int ready = poll(&p, 1, kTickMs);
      std::lock_guard lock(mutex);
      if (stopping) return;
      if (ready <= 0) continue;
      int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      SetTimeouts(fd);
      openFds.insert(fd);
      ++running;
      threads.emplace_back([this, fd, self] { Serve(fd, self); });
    }
  }
};

std::string Request::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (EqualsNoCase(key, name)) return value;
  return {};
}

bool Request::HasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& header) { return EqualsNoCase(header.first, name); });
}

bool Connection::SendRaw(std::string_view bytes) {
  while (!bytes.empty()) {
    if (m_fd < 0 || m_shared->Stopping()) return false;
    ssize_t n = send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE || errno == ECONNRESET) m_peerGone = true;
      return false;
    }
    m_sent += n;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool Connection::SendHead(int status, const Headers& headers) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
  for (const auto& [name, value] : headers) head += name + ": " + value + "\r\n";
  head += "\r\n";
  return SendRaw(head);
}

bool Connection::SendResponse(int status, const Headers& headers, std::string_view body) {
  Headers all = headers;
  auto named = [&](std::string_view name) {
    return std::any_of(all.begin(), all.end(),
                       [&](const auto& header) { return EqualsNoCase(header.first, name); });
  };
  if (!named("Content-Length") && !named("Transfer-Encoding"))
    all.emplace_back("Content-Length", std::to_string(body.size()));
  if (!named("Connection")) all.emplace_back("Connection", "close");
  return SendHead(status, all) && SendRaw(body);
}

bool Connection::SendChunk(std::string_view data) {
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  return SendRaw(size) && SendRaw(data) && SendRaw("\r\n");
}

bool Connection::Pause(std::chrono::milliseconds duration) {
  std::unique_lock lock(m_shared->mutex);
  return !m_shared->changed.wait_for(lock, duration, [&] { return m_shared->stopping; });
}

void Connection::Reset() {
  if (m_fd < 0) return;
  linger option{1, 0};
  setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  std::lock_guard lock(m_shared->mutex);
  m_shared->openFds.erase(m_fd);
  close(m_fd);
  m_fd = -1;
}

LoopbackServer::LoopbackServer() : m_shared(std::make_shared<Connection::Shared>()) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    int error = errno;
    close(fd);
    throw std::system_error(error, std::generic_category(), "listen on 127.0.0.1");
  }
  m_port = ntohs(address.sin_port);
  m_shared->listenFd = fd;
  auto shared = m_shared;
  m_shared->acceptor = std::thread([shared] { shared->AcceptLoop(shared); });
}

LoopbackServer::~LoopbackServer() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->stopping = true;
    // Wakes handlers blocked on a peer that neither reads nor closes.
    for (int fd : m_shared->openFds) shutdown(fd, SHUT_RDWR);
    shutdown(m_shared->listenFd, SHUT_RDWR);  // wakes the acceptor's poll
    m_shared->changed.notify_all();
  }
  m_shared->acceptor.join();
  {
    std::lock_guard lock(m_shared->mutex);
    threads.swap(m_shared->threads);
  }
  for (auto& thread : threads) thread.join();
  close(m_shared->listenFd);
}

void LoopbackServer::Route(const std::string& path, Handler handler) {
  std::lock_guard lock(m_shared->mutex);
  m_shared->routes[path] = std::move(handler);
}

std::string LoopbackServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(m_port);
}

std::string LoopbackServer::Url(std::string_view path) const {
  return BaseUrl() + std::string(path);
}

std::vector<Request> LoopbackServer::Requests() const {
  std::lock_guard lock(m_shared->mutex);
  return m_shared->requests;
}

int LoopbackServer::Count(std::string_view path) const {
  std::lock_guard lock(m_shared->mutex);
  int n = 0;
  for (const Request& r : m_shared->requests) n += r.path == path ? 1 : 0;
  return n;
}

bool LoopbackServer::WaitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_shared->mutex);
  return m_shared->changed.wait_for(lock, timeout, [&] { return m_shared->running == 0; });
}

}  // namespace testsupport
