#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// HTTP the way the download class needs it: a session, one URL opened with its response
// headers read, and blocking reads of the body. Redirects are followed as the desktop's URL
// opening does (http and https only; an https address is never redirected to http); nothing
// comes from a cache. Certificates of https servers are verified.

namespace platform::inet {

struct SessionOptions {
  long connectTimeoutSeconds = 60;
  // A transfer that moves no byte for this long fails.
  long stallTimeoutSeconds = 60;
  long maxRedirects = 10;
  // A PEM file of certificates to trust in place of the system's bundle; empty: the system's.
  // For servers with certificates of their own, such as a staging server.
  std::string caFile;
  // The whole transfer, headers and body, must end within this many seconds; 0: no limit.
  long totalTimeoutSeconds = 0;
  // Called repeatedly while a call waits on the network (for the response's headers, for body
  // bytes), at least every few tens of milliseconds, so a user interface can go on handling
  // its messages meanwhile. Returning false abandons the transfer: the waiting call fails.
  std::function<bool()> whileWaiting;
};

class UrlHandle;

class Session {
 public:
  // Returns nothing when the HTTP library cannot be started.
  static std::unique_ptr<Session> Open(const SessionOptions& options = {});
  ~Session();
  const SessionOptions& Options() const { return m_options; }

 private:
  explicit Session(const SessionOptions& options) : m_options(options) {}
  SessionOptions m_options;
};

class UrlHandle {
 public:
  // Sends the request and returns once the final response's headers have arrived. Returns
  // nothing when the address is not an http or https URL, the host cannot be reached, or the
  // connection fails before a response.
  static std::unique_ptr<UrlHandle> Open(Session& session, const std::string& url);
  ~UrlHandle();
  UrlHandle(const UrlHandle&) = delete;
  UrlHandle& operator=(const UrlHandle&) = delete;

  int StatusCode() const;
  // The final response's Content-Length; nothing when the header is missing or not a number,
  // and when the body is sent chunked (its framing then has no length).
  std::optional<std::int64_t> ContentLength() const;

  // Reads up to `capacity` bytes of the body into `buffer`. Blocks until that many bytes have
  // arrived or the body has ended. Returns false when the transfer failed (connection lost,
  // a body shorter than its Content-Length, a stalled server); bytes that arrived before the
  // failure are delivered first, the failure by the read after them. `bytesRead` 0 with a
  // true result is the end of the body.
  bool Read(void* buffer, std::size_t capacity, std::size_t& bytesRead);

  struct Impl;

 private:
  explicit UrlHandle(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace platform::inet
