// HTTPS through the platform's HTTP: certificates are verified, and what started on https never
// continues on http. The server is a one-connection TLS server of the test's own on 127.0.0.1,
// with a certificate made for the run.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "LoopbackServer.h"
#include "platform/system/Http.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::inet;

// A self-signed certificate for 127.0.0.1 and its key.
struct Certificate {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  Certificate() {
    key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    for (auto [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                              std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
      X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
      X509_add_ext(cert, ext, -1);
      X509_EXTENSION_free(ext);
    }
    X509_sign(cert, key, EVP_sha256());
  }
  ~Certificate() {
    X509_free(cert);
    EVP_PKEY_free(key);
  }
  void WritePem(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "w");
    PEM_write_X509(f, cert);
    std::fclose(f);
  }
};

// Accepts one connection on 127.0.0.1, completes the TLS handshake, reads the request head
// and answers with `response`.
class OneShotTlsServer {
 public:
  OneShotTlsServer(const Certificate& c, std::string response) : m_response(std::move(response)) {
    m_ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(m_ctx, c.cert);
    SSL_CTX_use_PrivateKey(m_ctx, c.key);
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(m_listen, 1);
    socklen_t len = sizeof a;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~OneShotTlsServer() {
    ::shutdown(m_listen, SHUT_RDWR);
    m_thread.join();
    ::close(m_listen);
    SSL_CTX_free(m_ctx);
  }
  std::string Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(m_port) + path;
  }

 private:
  void Serve() {
    const int fd = ::accept(m_listen, nullptr, nullptr);
    if (fd < 0) return;
    timeval tv{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    SSL* ssl = SSL_new(m_ctx);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1) {
      std::string head;
      char buf[1024];
      while (head.find("\r\n\r\n") == std::string::npos) {
        const int n = SSL_read(ssl, buf, sizeof buf);
        if (n <= 0) break;
        head.append(buf, static_cast<std::size_t>(n));
      }
      SSL_write(ssl, m_response.data(), static_cast<int>(m_response.size()));
      SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    ::close(fd);
  }

  std::string m_response;
  SSL_CTX* m_ctx = nullptr;
  int m_listen = -1;
  int m_port = 0;
  std::thread m_thread;
};

class HttpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_caFile = (fs::temp_directory_path() / "https-test-ca.pem").string();
    m_cert.WritePem(m_caFile);
  }
  Certificate m_cert;
  std::string m_caFile;
};

TEST_F(HttpsTest, TrustedServerAnswersAnUntrustedOneIsRefused) {
  {
    OneShotTlsServer server(
        m_cert, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
    SessionOptions options;
    options.caFile = m_caFile;
    auto session = Session::Open(options);
    auto url = UrlHandle::Open(*session, server.Url("/f"));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->StatusCode(), 200);
    char body[16];
    std::size_t n = 0;
    ASSERT_TRUE(url->Read(body, sizeof body, n));
    EXPECT_EQ(std::string(body, n), "hello");
  }
  {
    OneShotTlsServer server(m_cert, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
    auto session = Session::Open();  // the system's certificates only
    EXPECT_FALSE(UrlHandle::Open(*session, server.Url("/f")))
        << "a self-signed certificate was accepted";
  }
}

TEST_F(HttpsTest, ARedirectFromHttpsToHttpIsNotFollowed) {
  testsupport::LoopbackServer plain;
  bool plainAsked = false;
  plain.Route("/f", [&](const testsupport::Request&, testsupport::Connection& c) {
    plainAsked = true;
    c.SendResponse(200, {}, "downgraded");
  });
  OneShotTlsServer server(m_cert, "HTTP/1.1 302 Found\r\nLocation: " + plain.Url("/f") +
                                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  SessionOptions options;
  options.caFile = m_caFile;
  auto session = Session::Open(options);
  auto url = UrlHandle::Open(*session, server.Url("/f"));
  EXPECT_FALSE(url && url->StatusCode() == 200) << "the redirect to http was followed";
  EXPECT_FALSE(plainAsked);
}

}  // namespace
