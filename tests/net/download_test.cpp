// COrvDownLoadFile and the HTTP layer under it, against the in-process loopback server.

#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <type_traits>

#include "LoopbackServer.h"
#include "common/COrvDownLoadFile.h"
#include "platform/system/Http.h"

namespace {

using testsupport::Connection;
using testsupport::LoopbackServer;
using testsupport::Request;
namespace fs = std::filesystem;

// Bytes that differ from position to position, so a misplaced chunk shows.
std::string Body(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
  return body;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// A URL on 127.0.0.1 where nothing listens: a port that was just bound and released.
std::string RefusingUrl() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/file";
}

// Sends `body` with its Content-Length in pieces of `piece` bytes, the pieces apart in time so
// that each one arrives on its own.
LoopbackServer::Handler ServeInPieces(std::string body, std::size_t piece) {
  return [body = std::move(body), piece](const Request&, Connection& c) {
    if (!c.SendHead(200, {{"Content-Length", std::to_string(body.size())}})) return;
    for (std::size_t at = 0; at < body.size(); at += piece) {
      if (!c.SendRaw(std::string_view(body).substr(at, piece))) return;
      c.Pause(std::chrono::milliseconds(2));
    }
  };
}

LoopbackServer::Handler ServeRaw(std::string response) {
  return [response = std::move(response)](const Request&, Connection& c) { c.SendRaw(response); };
}

class DownloadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A proxy of the environment must not stand between the tests and the loopback server.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  }

  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    m_dir = fs::path(tmp ? tmp : "/tmp") /
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    m_download.QueryFileInfo = [this](std::int64_t n) {
      m_events.push_back("QueryFileInfo(" + std::to_string(n) + ")");
    };
    m_download.Loading = [this](std::int64_t n) {
      m_events.push_back("Loading(" + std::to_string(n) + ")");
    };
    m_download.Complete = [this] { m_events.push_back("Complete"); };
  }

  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  fs::path Target() const { return m_dir / "download.bin"; }

  bool Fetch(const std::string& path, bool raiseEvents = true) {
    return m_download.DownLoadFile(m_server.Url(path), Target().string(), false, raiseEvents);
  }

  static std::string Events(const std::vector<std::string>& events) {
    std::ostringstream out;
    for (const auto& event : events) out << event << " ";
    return out.str();
  }
  void ExpectEvents(const std::vector<std::string>& expected) {
    EXPECT_EQ(m_events, expected) << "got:      " << Events(m_events)
                                  << "\nexpected: " << Events(expected);
  }

  LoopbackServer m_server;
  COrvDownLoadFile m_download;
  std::vector<std::string> m_events;
  fs::path m_dir;
};

TEST_F(DownloadTest, BodyArrivesInFullChunksWhateverTheServersPieces) {
  const std::string body = Body(20000);
  m_server.Route("/file", ServeInPieces(body, 3000));

  EXPECT_TRUE(Fetch("/file"));
  ExpectEvents({"QueryFileInfo(20000)", "Loading(8192)", "Loading(16384)", "Loading(20000)",
                "Complete"});
  EXPECT_EQ(ReadAll(Target()), body);
}

TEST_F(DownloadTest, AsksForAFreshCopyAndStoresTheBodyUndecoded) {
  // Not gzip at all: a client that decoded would fail or change the bytes.
  const std::string body = "\x1f\x8b not really compressed";
  // The handler owns its copy: its thread may still be sending when the test body has ended.
  m_server.Route("/file", [body](const Request&, Connection& c) {
    c.SendResponse(200, {{"Content-Encoding", "gzip"}}, body);
  });

  EXPECT_TRUE(Fetch("/file"));
  EXPECT_EQ(ReadAll(Target()), body);
  auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].Header("Cache-Control"), "no-cache");
  EXPECT_EQ(requests[0].Header("Pragma"), "no-cache");
  EXPECT_FALSE(requests[0].HasHeader("Accept-Encoding"));
}

TEST_F(DownloadTest, ReplacesALongerExistingFile) {
  WriteAll(Target(), std::string(50000, 'x'));
  m_server.Route("/file", ServeRaw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nnew"));

  EXPECT_TRUE(Fetch("/file"));
  EXPECT_EQ(ReadAll(Target()), "new");
}

// Streams a body far larger than the socket buffers, so that the server notices when the
// client hangs up early.
struct LargeBody {
  static constexpr std::int64_t kSize = 32 * 1024 * 1024;
  std::atomic<std::int64_t> sent{0};
  std::atomic<bool> peerGone{false};

  LoopbackServer::Handler Handler() {
    return [this](const Request&, Connection& c) {
      const std::string piece = Body(64 * 1024);
      if (c.SendHead(200, {{"Content-Length", std::to_string(kSize)}})) {
        for (std::int64_t at = 0; at < kSize; at += static_cast<std::int64_t>(piece.size()))
          if (!c.SendRaw(piece)) break;
      }
      sent = c.BytesSent();
      peerGone = c.PeerGone();
    };
  }
};

TEST_F(DownloadTest, StopFromLoadingHandlerEndsBeforeTheNextRead) {
  LargeBody large;
  m_server.Route("/large", large.Handler());
  auto record = m_download.Loading;
  m_download.Loading = [&](std::int64_t n) {
    record(n);
    m_download.StopDownLoad();
  };

  EXPECT_TRUE(Fetch("/large"));
  ExpectEvents({"QueryFileInfo(" + std::to_string(LargeBody::kSize) + ")", "Loading(8192)",
                "Complete"});
  EXPECT_EQ(ReadAll(Target()), Body(8192));
  ASSERT_TRUE(m_server.WaitIdle());
  EXPECT_TRUE(large.peerGone);
  EXPECT_LT(large.sent, LargeBody::kSize);
}

TEST_F(DownloadTest, MessagesRunWhileWaitingForHeadersAndAStopThereWritesNothing) {
  m_server.Route("/slow", [](const Request&, Connection& c) {
    if (c.Pause(std::chrono::milliseconds(500))) c.SendResponse(200, {}, "late");
  });
  // Queued before the download starts: only message processing during the wait can run it.
  struct Pending {
    COrvDownLoadFile* download;
    guint id;
  } pending{&m_download, 0};
  pending.id = g_idle_add(
      [](gpointer data) {
        auto* p = static_cast<Pending*>(data);
        p->download->StopDownLoad();
        p->id = 0;
        return G_SOURCE_REMOVE;
      },
      &pending);

  EXPECT_FALSE(Fetch("/slow"));
  if (pending.id != 0) g_source_remove(pending.id);
  EXPECT_EQ(0u, pending.id) << "the queued message did not run during the wait";
  ExpectEvents({"Complete"});
  EXPECT_FALSE(fs::exists(Target()));
}

TEST_F(DownloadTest, AStopWhileTheServerStallsEndsTheDownloadAtOnce) {
  m_server.Route("/stall", [](const Request&, Connection& c) {
    if (c.SendHead(200, {{"Content-Length", "100000"}}) && c.SendRaw(Body(100)))
      c.Pause(std::chrono::seconds(30));
  });
  // Fires during the stall (each test runs in a process of its own).
  g_timeout_add(
      300,
      [](gpointer data) {
        static_cast<COrvDownLoadFile*>(data)->StopDownLoad();
        return G_SOURCE_REMOVE;
      },
      &m_download);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(Fetch("/stall")) << "a stopped download is a success";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(fs::file_size(Target()), 100u);
}

TEST_F(DownloadTest, SizeBoundAndDeadlineRefuseWhatExceedsThem) {
  m_server.Route("/big", ServeRaw("HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n" + Body(2000)));
  m_server.Route("/stall", [](const Request&, Connection& c) {
    if (c.SendHead(200, {{"Content-Length", "100000"}}) && c.SendRaw(Body(100)))
      c.Pause(std::chrono::seconds(20));
  });
  m_download.m_MaxBytes = 1000;
  EXPECT_FALSE(Fetch("/big"));
  EXPECT_FALSE(fs::exists(Target())) << "an announced oversize body must not be written";

  m_download.m_MaxBytes = 0;
  m_download.m_DeadlineSeconds = 1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Fetch("/stall"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(DownloadTest, LengthsOfTwoGiBAndMoreAreReportedExactly) {
  m_server.Route("/huge", [](const Request&, Connection& c) {
    if (c.SendHead(200, {{"Content-Length", "3000000000"}}) && c.SendRaw(Body(16384)))
      c.Pause(std::chrono::seconds(10));  // cut short by the server's shutdown
  });
  m_download.Loading = [&](std::int64_t n) {
    m_events.push_back("Loading(" + std::to_string(n) + ")");
    m_download.StopDownLoad();
  };

  EXPECT_TRUE(Fetch("/huge"));
  ExpectEvents({"QueryFileInfo(3000000000)", "Loading(8192)", "Complete"});
}

TEST_F(DownloadTest, MissingDirectoryFailsAfterQueryFileInfoWithoutLoading) {
  m_server.Route("/file", ServeRaw("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"));

  EXPECT_FALSE(m_download.DownLoadFile(m_server.Url("/file"), (m_dir / "no/such/dir/f").string(),
                                       false, true));
  ExpectEvents({"QueryFileInfo(5)", "Complete"});
}

// Table rows print as their names (the default prints their bytes, padding included).
template <class Case>
  requires std::is_same_v<decltype(Case::name), const char*>
void PrintTo(const Case& row, std::ostream* out) {
  *out << row.name;
}

// Responses that are refused before the local file is created.
struct RefusedCase {
  const char* name;
  std::string response;
};

class RefusedResponse : public DownloadTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedResponse, CreatesNoFileAndLeavesAnExistingOneAlone) {
  m_server.Route("/file", ServeRaw(GetParam().response));

  EXPECT_FALSE(Fetch("/file"));
  ExpectEvents({"Complete"});
  EXPECT_FALSE(fs::exists(Target()));

  const std::string previous = "the previous content\n";
  WriteAll(Target(), previous);
  EXPECT_FALSE(Fetch("/file"));
  EXPECT_EQ(ReadAll(Target()), previous);
}

INSTANTIATE_TEST_SUITE_P(
    Download, RefusedResponse,
    ::testing::Values(
        RefusedCase{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"},
        RefusedCase{"ServerError", "HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\noops"},
        RefusedCase{"ChunkedWithoutLength",
                    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"},
        RefusedCase{"ZeroLength", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"},
        RefusedCase{"LengthNotANumber", "HTTP/1.1 200 OK\r\nContent-Length: five\r\n\r\nhello"},
        RefusedCase{"RedirectWithoutLocation", "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n"},
        RefusedCase{"RedirectToAnotherScheme",
                    "HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Transfers that fail after the local file was created: false, and the partial file stays.
struct CutShortCase {
  const char* name;
  bool reset;  // hang up with a reset rather than an orderly close
};

class CutShortBody : public DownloadTest, public ::testing::WithParamInterface<CutShortCase> {};

TEST_P(CutShortBody, FailsAndKeepsThePartialFile) {
  const std::string body = Body(20000);
  m_server.Route("/file", [body, reset = GetParam().reset](const Request&, Connection& c) {
    if (c.SendHead(200, {{"Content-Length", "20000"}}) && c.SendRaw(body.substr(0, 10000))) {
      c.Pause(std::chrono::milliseconds(50));
      if (reset) c.Reset();
    }
  });

  EXPECT_FALSE(Fetch("/file"));
  ASSERT_TRUE(fs::exists(Target()));
  const std::string partial = ReadAll(Target());
  EXPECT_EQ(partial, body.substr(0, partial.size()));
  if (!GetParam().reset) {
    EXPECT_EQ(partial.size(), 10000u);
    ExpectEvents({"QueryFileInfo(20000)", "Loading(8192)", "Loading(10000)", "Complete"});
  } else {
    EXPECT_LT(partial.size(), 20000u);
    ASSERT_FALSE(m_events.empty());
    EXPECT_EQ(m_events.front(), "QueryFileInfo(20000)");
    EXPECT_EQ(m_events.back(), "Complete");
  }
}

INSTANTIATE_TEST_SUITE_P(Download, CutShortBody,
                         ::testing::Values(CutShortCase{"ClosedEarly", false},
                                           CutShortCase{"Reset", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Redirects of the kinds a web server sends; each ends at /final.
struct RedirectCase {
  const char* name;
  int status;
  bool absolute;
  int hops;
};

class Redirect : public DownloadTest, public ::testing::WithParamInterface<RedirectCase> {};

TEST_P(Redirect, IsFollowedToTheFinalBody) {
  const auto& param = GetParam();
  const std::string body = Body(12345);
  m_server.Route("/final", ServeInPieces(body, 12345));
  for (int hop = 0; hop < param.hops; ++hop) {
    std::string next = hop + 1 == param.hops ? "/final" : "/hop" + std::to_string(hop + 1);
    std::string location = param.absolute ? m_server.Url(next) : next;
    m_server.Route("/hop" + std::to_string(hop), [=](const Request&, Connection& c) {
      c.SendResponse(param.status, {{"Location", location}}, "moved");
    });
  }

  EXPECT_TRUE(Fetch("/hop0"));
  EXPECT_EQ(ReadAll(Target()), body);
  ASSERT_FALSE(m_events.empty());
  EXPECT_EQ(m_events.front(), "QueryFileInfo(12345)");
}

INSTANTIATE_TEST_SUITE_P(Download, Redirect,
                         ::testing::Values(RedirectCase{"Found", 302, false, 1},
                                           RedirectCase{"MovedAbsolute", 301, true, 1},
                                           RedirectCase{"Temporary", 307, false, 1},
                                           RedirectCase{"Chain", 302, false, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// Addresses that never give a response.
struct UnreachableCase {
  const char* name;
  std::string (*url)();
};

class Unreachable : public DownloadTest, public ::testing::WithParamInterface<UnreachableCase> {};

TEST_P(Unreachable, FailsWithOnlyComplete) {
  EXPECT_FALSE(m_download.DownLoadFile(GetParam().url(), Target().string(), false, true));
  ExpectEvents({"Complete"});
  EXPECT_FALSE(fs::exists(Target()));
}

INSTANTIATE_TEST_SUITE_P(
    Download, Unreachable,
    ::testing::Values(UnreachableCase{"ConnectionRefused", &RefusingUrl},
                      UnreachableCase{"NotHttp", [] { return std::string("ftp://127.0.0.1/f"); }},
                      UnreachableCase{"NotAUrl", [] { return std::string("no url at all"); }}),
    [](const auto& info) { return std::string(info.param.name); });

// With bRaiseEvents false nothing is raised, whatever the outcome.
struct SilentCase {
  const char* name;
  const char* path;
  bool result;
};

class Silent : public DownloadTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(Silent, RaisesNoEventNotEvenComplete) {
  m_server.Route("/file", ServeInPieces(Body(20000), 20000));
  m_server.Route("/cut", ServeRaw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"));
  const std::string url =
      std::string(GetParam().path) == "refused" ? RefusingUrl() : m_server.Url(GetParam().path);

  EXPECT_EQ(m_download.DownLoadFile(url, Target().string(), false, false), GetParam().result);
  ExpectEvents({});
}

INSTANTIATE_TEST_SUITE_P(Download, Silent,
                         ::testing::Values(SilentCase{"Success", "/file", true},
                                           SilentCase{"NotFound", "/missing", false},
                                           SilentCase{"CutShort", "/cut", false},
                                           SilentCase{"Refused", "refused", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The HTTP layer on its own: which response counts and what its headers say.
struct HeaderCase {
  const char* name;
  std::string response;
  int status;
  std::optional<std::int64_t> length;
};

class ResponseHeaders : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ResponseHeaders, DescribeTheFinalResponse) {
  LoopbackServer server;
  server.Route("/r", ServeRaw(GetParam().response));
  server.Route("/moved", ServeRaw("HTTP/1.1 302 Found\r\nLocation: /r\r\nContent-Length: 0\r\n\r\n"));
  auto session = platform::inet::Session::Open();
  ASSERT_TRUE(session);

  for (const char* path : {"/r", "/moved"}) {
    SCOPED_TRACE(path);
    auto url = platform::inet::UrlHandle::Open(*session, server.Url(path));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->StatusCode(), GetParam().status);
    EXPECT_EQ(url->ContentLength(), GetParam().length);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Http, ResponseHeaders,
    ::testing::Values(
        HeaderCase{"Plain", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, 5},
        HeaderCase{"AfterInformational",
                   "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi",
                   200, 2},
        HeaderCase{"Chunked",
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhi\r\n0\r\n\r\n", 200,
                   std::nullopt},
        HeaderCase{"ChunkedDespiteLength",
                   "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n"
                   "2\r\nhi\r\n0\r\n\r\n",
                   200, std::nullopt},
        HeaderCase{"LengthOverflows",
                   "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nhi", 200,
                   std::nullopt},
        HeaderCase{"NoLength", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nhi", 200, std::nullopt},
        HeaderCase{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nnot", 404, 3},
        HeaderCase{"RedirectWithoutLocation", "HTTP/1.1 301 Moved\r\nContent-Length: 0\r\n\r\n",
                   301, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpRead, StalledServerFailsAfterTheBytesThatArrived) {
  LoopbackServer server;
  server.Route("/stall", [](const Request&, Connection& c) {
    if (c.SendHead(200, {{"Content-Length", "100"}}) && c.SendRaw("0123456789"))
      c.Pause(std::chrono::seconds(10));  // cut short by the server's shutdown
  });
  platform::inet::SessionOptions options;
  options.stallTimeoutSeconds = 1;
  auto session = platform::inet::Session::Open(options);
  ASSERT_TRUE(session);
  auto url = platform::inet::UrlHandle::Open(*session, server.Url("/stall"));
  ASSERT_TRUE(url);

  char buffer[8192];
  std::size_t n = 0;
  ASSERT_TRUE(url->Read(buffer, sizeof buffer, n));
  EXPECT_EQ(std::string(buffer, n), "0123456789");
  EXPECT_FALSE(url->Read(buffer, sizeof buffer, n));
  EXPECT_EQ(n, 0u);
}

}  // namespace
