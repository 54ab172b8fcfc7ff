// Download throughput of COrvDownLoadFile compared with the curl command-line tool.
//
//   download_bench [--size-mb N] [--runs N] [--curl PATH]
//
// Writes an N MB file (200 by default) to a temporary directory and serves it from a sendfile
// server on 127.0.0.1, so that the server is never the bottleneck. Each run downloads it once
// with COrvDownLoadFile (events on, a Loading handler counting, messages processed after every
// chunk, as the client does) and once with `curl -s -o`, alternating, each in a child process
// of its own so that its peak resident memory can be read from wait4(). Prints every run, the
// median throughput of both, their ratio, and the peak memory of each.
//
//   download_bench --fetch URL FILE
//
// is the child that downloads with COrvDownLoadFile.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/COrvDownLoadFile.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

int Fetch(const std::string& url, const std::string& file) {
  COrvDownLoadFile download;
  std::int64_t expected = 0;
  std::int64_t loaded = 0;
  long chunks = 0;
  download.QueryFileInfo = [&](std::int64_t n) { expected = n; };
  download.Loading = [&](std::int64_t n) {
    loaded = n;
    ++chunks;
  };
  bool completed = false;
  download.Complete = [&] { completed = true; };
  const bool ok = download.DownLoadFile(url, file, false, true);
  if (!ok || !completed || loaded != expected) {
    std::fprintf(stderr, "download failed: result %d, %lld of %lld bytes\n", ok,
                 static_cast<long long>(loaded), static_cast<long long>(expected));
    return 1;
  }
  return chunks > 0 ? 0 : 1;
}

// Serves `path` to every GET on 127.0.0.1:<port>, one connection at a time, with sendfile.
class SendfileServer {
 public:
  explicit SendfileServer(std::string path) : m_path(std::move(path)) {
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listen, 8) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::perror("listen");
      std::exit(2);
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Loop(); });
  }
  ~SendfileServer() {
    m_stop = true;
    shutdown(m_listen, SHUT_RDWR);
    m_thread.join();
    close(m_listen);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/body"; }

 private:
  void Loop() {
    while (!m_stop) {
      pollfd p{m_listen, POLLIN, 0};
      if (poll(&p, 1, 200) <= 0 || m_stop) continue;
      int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      Serve(fd);
      close(fd);
    }
  }

  void Serve(int fd) {
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
      ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    int file = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return;
    struct stat st {};
    fstat(file, &st);
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                       "Content-Length: " + std::to_string(st.st_size) +
                       "\r\nConnection: close\r\n\r\n";
    if (send(fd, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size())) {
      off_t offset = 0;
      while (offset < st.st_size) {
        ssize_t n = sendfile(fd, file, &offset, static_cast<std::size_t>(st.st_size - offset));
        if (n <= 0) break;
      }
    }
    close(file);
  }

  std::string m_path;
  int m_listen = -1;
  std::uint16_t m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

struct RunResult {
  double seconds = 0;
  long maxRssKiB = 0;
  bool ok = false;
};

RunResult Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  RunResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return result;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return result;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.maxRssKiB = usage.ru_maxrss;
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void WriteBody(const std::string& path, std::int64_t size) {
  std::vector<unsigned char> block(1 << 20);
  std::uint32_t x = 12345;
  for (auto& b : block) {
    x = x * 1103515245 + 12345;
    b = static_cast<unsigned char>(x >> 24);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(2);
  }
  for (std::int64_t left = size; left > 0;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, block.size()));
    std::fwrite(block.data(), 1, n, f);
    block[0]++;  // no two megabytes alike
    left -= static_cast<std::int64_t>(n);
  }
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--fetch") return Fetch(argv[2], argv[3]);

  long sizeMb = 200;
  int runs = 3;
  std::string curl = "curl";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--size-mb") sizeMb = std::atol(argv[i + 1]);
    else if (option == "--runs") runs = std::atoi(argv[i + 1]);
    else if (option == "--curl") curl = argv[i + 1];
  }
  signal(SIGPIPE, SIG_IGN);

  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/download-bench-XXXXXX";
  std::vector<char> dirName(pattern.begin(), pattern.end());
  dirName.push_back('\0');
  if (!mkdtemp(dirName.data())) {
    std::perror("mkdtemp");
    return 2;
  }
  const fs::path dir(dirName.data());
  const std::int64_t size = static_cast<std::int64_t>(sizeMb) * 1000 * 1000;
  const std::string source = (dir / "body.bin").string();
  const std::string target = (dir / "out.bin").string();
  WriteBody(source, size);

  const std::string self = fs::read_symlink("/proc/self/exe").string();
  // Keep a proxy of the environment out of a loopback measurement.
  setenv("no_proxy", "127.0.0.1", 1);
  setenv("NO_PROXY", "127.0.0.1", 1);

  int failures = 0;
  {
    SendfileServer server(source);
    std::vector<double> ours, theirs;
    long oursRss = 0, theirsRss = 0;
    auto check = [&](const RunResult& r, const char* who) {
      std::error_code ec;
      if (!r.ok || fs::file_size(target, ec) != static_cast<std::uintmax_t>(size)) {
        std::printf("  %s: FAILED\n", who);
        ++failures;
        return false;
      }
      return true;
    };
    std::printf("body %lld bytes, %d runs each, loopback sendfile server\n",
                static_cast<long long>(size), runs);
    for (int run = 1; run <= runs; ++run) {
      fs::remove(target);
      RunResult a = Spawn({self, "--fetch", server.Url(), target});
      if (check(a, "COrvDownLoadFile")) {
        ours.push_back(size / a.seconds / 1e6);
        oursRss = std::max(oursRss, a.maxRssKiB);
        std::printf("run %d  COrvDownLoadFile %8.1f MB/s  %6ld KiB peak RSS\n", run, ours.back(),
                    a.maxRssKiB);
      }
      fs::remove(target);
      RunResult b = Spawn({curl, "-s", "-o", target, server.Url()});
      if (check(b, "curl")) {
        theirs.push_back(size / b.seconds / 1e6);
        theirsRss = std::max(theirsRss, b.maxRssKiB);
        std::printf("run %d  curl -s -o      %8.1f MB/s  %6ld KiB peak RSS\n", run, theirs.back(),
                    b.maxRssKiB);
      }
    }
    if (!ours.empty() && !theirs.empty()) {
      const double ratio = Median(ours) / Median(theirs);
      std::printf("median  COrvDownLoadFile %.1f MB/s, curl %.1f MB/s\n", Median(ours),
                  Median(theirs));
      std::printf("ratio   %.3f (goal >= 0.9)%s\n", ratio, ratio >= 0.9 ? "" : "  BELOW GOAL");
      std::printf("peak RSS  COrvDownLoadFile %ld KiB, curl %ld KiB\n", oursRss, theirsRss);
    }
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return failures == 0 ? 0 : 1;
}
