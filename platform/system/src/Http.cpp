#include "platform/system/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>

#include "SystemLibraries.h"
#include "platform/system/AsciiText.h"
#include "platform/system/Owner.h"

// One URL is one easy handle driven by its own multi handle, so that reads can block for
// exactly as long as the caller asked for: the multi handle is polled until the staging buffer
// holds the requested number of bytes or the transfer has ended. The staging buffer has a fixed
// size; when curl offers body that does not fit, the write callback pauses the transfer and a
// later read resumes it, so the body is never held in memory as a whole.
//
// The buffer is much larger than one read on purpose. curl goes on reading the socket for as
// long as it is readable, and everything it reads after a pause it keeps (and copies) until the
// transfer is resumed. Pausing as soon as one read's worth had arrived made that copying, and
// the pause and resume around it, a large part of the cost of a fast download.

namespace platform::inet {

namespace {

// What curl reads from the socket at once, and the body bytes held between reads.
constexpr long kReceiveBufferSize = 64 * 1024;
constexpr std::size_t kStagingSize = 256 * 1024;
// Longest wait for socket activity before curl's timers are looked at again; shorter when the
// caller wants to handle its messages meanwhile.
constexpr int kPollIntervalMs = 1000;
constexpr int kResponsivePollIntervalMs = 30;

using detail::Curl;

bool StartCurl() {
  static const bool started =
      Curl() != nullptr && Curl()->global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return started;
}

// Handles exist only once the library is open.
void FreeEasy(CURL* easy) {
  Curl()->easy_cleanup(easy);
}
void FreeMulti(CURLM* multi) {
  Curl()->multi_cleanup(multi);
}
void FreeSlist(curl_slist* list) {
  Curl()->slist_free_all(list);
}

using EasyPtr = Owner<CURL, FreeEasy>;
using MultiPtr = Owner<CURLM, FreeMulti>;
using SlistPtr = Owner<curl_slist, FreeSlist>;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool NameIs(std::string_view name, std::string_view expected) {
  return AsciiEqualNoCase(name, expected);
}

// A decimal number and nothing else; a sign, a fraction or an overflow make it no number.
std::optional<std::int64_t> ParseLength(std::string_view text) {
  text = Trim(text);
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front()))) return {};
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return {};
  return value;
}

// "HTTP/1.1 200 OK", "HTTP/2 404": the three digits after the version.
long ParseStatusLine(std::string_view line) {
  auto space = line.find(' ');
  if (space == std::string_view::npos) return 0;
  line = Trim(line.substr(space + 1));
  long code = 0;
  auto [end, ec] =
      std::from_chars(line.data(), line.data() + std::min<size_t>(3, line.size()), code);
  return ec == std::errc() ? code : 0;
}

}  // namespace

std::unique_ptr<Session> Session::Open(const SessionOptions& options) {
  if (!StartCurl()) return nullptr;
  return std::unique_ptr<Session>(new Session(options));
}

Session::~Session() = default;

struct UrlHandle::Impl {
  // The header block being received. curl reports every response it reads, including the
  // informational ones and the redirects it follows; only the last block counts.
  struct HeaderBlock {
    long status = 0;
    bool hasLocation = false;
    bool chunked = false;
    std::optional<std::int64_t> contentLength;
  };

  EasyPtr easy;
  MultiPtr multi;
  SlistPtr requestHeaders;
  bool attached = false;

  HeaderBlock block;
  HeaderBlock response;
  bool haveFinal = false;

  // Body bytes curl has delivered and no read has taken yet: [begin, end) of data.
  struct Staging {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::size_t begin = 0;
    std::size_t end = 0;

    std::size_t Held() const { return end - begin; }

    // Moves what is held to the front and makes room for at least `capacity` bytes in all.
    void Prepare(std::size_t capacity) {
      if (capacity > size) {
        auto larger = std::make_unique<char[]>(capacity);
        if (Held() > 0) std::memcpy(larger.get(), data.get() + begin, Held());
        data = std::move(larger);
        size = capacity;
      } else if (begin > 0 && Held() > 0) {
        std::memmove(data.get(), data.get() + begin, Held());
      }
      end = Held();
      begin = 0;
    }

    bool Append(const char* bytes, std::size_t length) {
      if (length == 0) return true;  // nothing to copy (and no buffer yet to copy into)
      if (end + length > size) {
        // An empty buffer takes anything, so that the transfer always makes progress.
        if (Held() > 0 && Held() + length > size) return false;
        Prepare(std::max(size, length));
      }
      std::memcpy(data.get() + end, bytes, length);
      end += length;
      return true;
    }

    std::size_t Take(void* buffer, std::size_t capacity) {
      std::size_t n = std::min(capacity, Held());
      if (n == 0) return 0;
      std::memcpy(buffer, data.get() + begin, n);
      begin += n;
      if (begin == end) begin = end = 0;
      return n;
    }
  };
  Staging staging;
  bool paused = false;

  bool done = false;
  CURLcode result = CURLE_OK;
  std::function<bool()> whileWaiting;

  ~Impl() {
    if (attached) Curl()->multi_remove_handle(multi.get(), easy.get());
  }

  std::size_t Staged() const { return staging.Held(); }

  // A blank line ends a header block. It is the final response unless curl goes on reading
  // another one: after an informational 1xx, or after a 3xx with a Location it follows (or
  // fails on, when the redirect is not allowed).
  void EndOfHeaderBlock() {
    bool informational = block.status >= 100 && block.status < 200;
    bool followed = block.status >= 300 && block.status < 400 && block.hasLocation;
    if (!informational && !followed) {
      response = block;
      haveFinal = true;
    }
  }

  std::size_t OnHeader(const char* data, std::size_t length) {
    std::string_view line(data, length);
    if (line.starts_with("HTTP/")) {
      block = HeaderBlock{};
      block.status = ParseStatusLine(Trim(line));
      return length;
    }
    if (Trim(line).empty()) {
      EndOfHeaderBlock();
      return length;
    }
    auto colon = line.find(':');
    if (colon == std::string_view::npos) return length;
    auto name = Trim(line.substr(0, colon));
    auto value = Trim(line.substr(colon + 1));
    if (NameIs(name, "Content-Length")) {
      block.contentLength = ParseLength(value);
    } else if (NameIs(name, "Location")) {
      block.hasLocation = !value.empty();
    } else if (NameIs(name, "Transfer-Encoding")) {
      // The last coding decides how the body is framed; chunked framing has no length.
      auto comma = value.rfind(',');
      auto last = Trim(comma == std::string_view::npos ? value : value.substr(comma + 1));
      block.chunked = NameIs(last, "chunked");
    }
    return length;
  }

  std::size_t OnBody(const char* data, std::size_t length) {
    if (!haveFinal) {
      // Body bytes come only from the response curl delivers, whatever its headers said.
      response = block;
      haveFinal = true;
    }
    if (!staging.Append(data, length)) {
      paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    return length;
  }

  // Lets curl do what it can without waiting and notes the end of the transfer.
  void Perform() {
    int running = 0;
    if (Curl()->multi_perform(multi.get(), &running) != CURLM_OK) {
      Fail();
      return;
    }
    int queued = 0;
    while (CURLMsg* message = Curl()->multi_info_read(multi.get(), &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy.get()) {
        done = true;
        result = message->data.result;
      }
    }
  }

  // Waits for socket activity or curl's next timer, at most kPollIntervalMs.
  void Wait() {
    const int interval = whileWaiting ? kResponsivePollIntervalMs : kPollIntervalMs;
    if (Curl()->multi_poll(multi.get(), nullptr, 0, interval, nullptr) != CURLM_OK) Fail();
    if (whileWaiting && !done && !whileWaiting()) {
      done = true;
      result = CURLE_ABORTED_BY_CALLBACK;
    }
  }

  void Fail() {
    done = true;
    result = CURLE_RECV_ERROR;
  }

  void Resume() {
    if (!paused) return;
    paused = false;
    // curl hands over the bytes it held back from inside this call.
    if (Curl()->easy_pause(easy.get(), CURLPAUSE_CONT) != CURLE_OK) Fail();
  }
};

namespace {

// curl calls these with the Impl as user data; nothing may escape into C code.
size_t HeaderCallback(char* data, size_t size, size_t count, void* user) {
  try {
    return static_cast<UrlHandle::Impl*>(user)->OnHeader(data, size * count);
  } catch (...) {
    return 0;  // aborts the transfer
  }
}

size_t WriteCallback(char* data, size_t size, size_t count, void* user) {
  try {
    return static_cast<UrlHandle::Impl*>(user)->OnBody(data, size * count);
  } catch (...) {
    return 0;  // aborts the transfer
  }
}

bool Configure(UrlHandle::Impl& impl, const SessionOptions& options, const std::string& url) {
  CURL* easy = impl.easy.get();
  curl_slist* headers = nullptr;
  for (const char* header : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
    curl_slist* extended = Curl()->slist_append(headers, header);
    if (!extended) {
      Curl()->slist_free_all(headers);
      return false;
    }
    headers = extended;
  }
  impl.requestHeaders.Reset(headers);

  bool ok = true;
  auto set = [&](CURLoption option, auto value) {
    ok = ok && Curl()->easy_setopt(easy, option, value) == CURLE_OK;
  };
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  // What started on https stays on https: a redirect to http is refused, not followed.
  const bool secure = url.size() >= 8 && Curl()->strnequal(url.c_str(), "https://", 8) != 0;
  set(CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
  if (options.totalTimeoutSeconds > 0) set(CURLOPT_TIMEOUT, options.totalTimeoutSeconds);
  if (!options.caFile.empty()) set(CURLOPT_CAINFO, options.caFile.c_str());
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, options.maxRedirects);
  set(CURLOPT_HTTPHEADER, headers);
  // The body is stored exactly as the server sent it.
  set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
  set(CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, options.stallTimeoutSeconds);
  // Name resolution must not use signals: the caller runs a user interface.
  set(CURLOPT_NOSIGNAL, 1L);
  // A proxy tunnel's own response is not the server's.
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  set(CURLOPT_HEADERFUNCTION, &HeaderCallback);
  set(CURLOPT_HEADERDATA, static_cast<void*>(&impl));
  set(CURLOPT_WRITEFUNCTION, &WriteCallback);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&impl));
  return ok;
}

}  // namespace

UrlHandle::UrlHandle(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

UrlHandle::~UrlHandle() = default;

std::unique_ptr<UrlHandle> UrlHandle::Open(Session& session, const std::string& url) {
  auto impl = std::make_unique<Impl>();
  impl->easy.Reset(Curl()->easy_init());
  impl->multi.Reset(Curl()->multi_init());
  if (!impl->easy || !impl->multi) return nullptr;
  impl->staging.Prepare(kStagingSize);
  impl->whileWaiting = session.Options().whileWaiting;
  if (!Configure(*impl, session.Options(), url)) return nullptr;
  if (Curl()->multi_add_handle(impl->multi.get(), impl->easy.get()) != CURLM_OK) return nullptr;
  impl->attached = true;

  // Until the final response's headers are in. A first body byte also marks them, and so does
  // the end of a transfer that had no body.
  for (;;) {
    impl->Perform();
    if (impl->haveFinal || impl->done) break;
    impl->Wait();
  }
  if (!impl->haveFinal) {
    if (impl->result != CURLE_OK) return nullptr;
    // A completed transfer whose headers went unseen: take curl's word for the status.
    long status = 0;
    Curl()->easy_getinfo(impl->easy.get(), CURLINFO_RESPONSE_CODE, &status);
    impl->response.status = status;
    impl->haveFinal = true;
  }
  return std::unique_ptr<UrlHandle>(new UrlHandle(std::move(impl)));
}

int UrlHandle::StatusCode() const {
  return static_cast<int>(m_impl->response.status);
}

std::optional<std::int64_t> UrlHandle::ContentLength() const {
  if (m_impl->response.chunked) return {};
  return m_impl->response.contentLength;
}

bool UrlHandle::Read(void* buffer, std::size_t capacity, std::size_t& bytesRead) {
  Impl& impl = *m_impl;
  bytesRead = 0;
  if (capacity == 0) return true;
  if (impl.Staged() < capacity && !impl.done) {
    // Room for the whole read plus the largest piece curl hands over at once, so the read
    // never waits on a buffer too small to satisfy it.
    impl.staging.Prepare(std::max(kStagingSize, capacity + CURL_MAX_WRITE_SIZE));
    // What curl held back while paused arrives first, from inside the resume.
    impl.Resume();
    while (impl.Staged() < capacity && !impl.done) {
      impl.Perform();
      if (impl.Staged() >= capacity || impl.done) break;
      impl.Wait();
    }
  }
  bytesRead = impl.staging.Take(buffer, capacity);
  return bytesRead > 0 || impl.result == CURLE_OK;
}

}  // namespace platform::inet
