#include "platform/Files.h"

#include <glib.h>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Makes `dir` (not ending in "/") a private directory of this user, or says why it cannot be.
// Returns 0 on success, an errno value otherwise.
int EnsurePrivateDir(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;  // also refuses a symbolic link
  if (st.st_uid != ::geteuid()) return EPERM;
  if ((st.st_mode & 0777) != 0700 && ::chmod(dir.c_str(), 0700) != 0) return errno;
  return 0;
}

}  // namespace

std::optional<WritableFile> WritableFile::Create(const std::string& path, bool /*hidden*/) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return std::nullopt;
  return WritableFile(fd);
}

WritableFile::WritableFile(WritableFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

WritableFile& WritableFile::operator=(WritableFile&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = std::exchange(other.m_fd, -1);
  }
  return *this;
}

WritableFile::~WritableFile() { Close(); }

bool WritableFile::Write(std::span<const std::uint8_t> bytes) {
  return m_fd >= 0 && WriteAll(m_fd, bytes.data(), bytes.size());
}

bool WritableFile::Close() {
  if (m_fd < 0) return true;
  const int fd = std::exchange(m_fd, -1);
  return ::close(fd) == 0;
}

void ReplaceFileContent(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::string tmpl = path + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) ThrowErrno("cannot create " + path);
  const std::string tmp(name.data());
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fchmod(fd, 0644) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    errno = err;
    ThrowErrno("cannot write " + path);
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    const int e = errno;
    ::unlink(tmp.c_str());
    errno = e;
    ThrowErrno("cannot replace " + path);
  }
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string PrivateTempDir(const std::string& name) {
  const std::string leaf = name + "-" + std::to_string(::geteuid());
  std::string tmp = g_get_tmp_dir();
  while (tmp.size() > 1 && tmp.back() == '/') tmp.pop_back();
  const std::string primary = tmp + "/" + leaf;
  if (EnsurePrivateDir(primary) == 0) return primary + "/";

  // Someone else holds the name under the shared temporary directory: use the user's own
  // cache directory, which no other user can write to.
  const std::string cache = std::string(g_get_user_cache_dir());
  g_mkdir_with_parents(cache.c_str(), 0700);
  const std::string fallback = cache + "/" + leaf;
  const int err = EnsurePrivateDir(fallback);
  if (err == 0) return fallback + "/";
  errno = err;
  ThrowErrno("no private temporary directory");
}

std::string ExecutablePath() {
  std::vector<char> buf(PATH_MAX + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::string CommandLineText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

}  // namespace platform
