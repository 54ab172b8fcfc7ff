#include "platform/system/Files.h"

#include <glib.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <system_error>
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

WritableFile::~WritableFile() {
  Close();
}

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
  // On disk before the rename gives it its name: a power loss leaves the old file or the new.
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
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
  const std::size_t slash = path.rfind('/');
  SyncDirectory(slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash));
}

void SyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void SyncDirectory(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool RootOnOthersPath(const std::string& path) {
  struct stat st {};
  return ::geteuid() == 0 && ::stat(path.c_str(), &st) == 0 && st.st_uid != 0;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::int64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::int64_t>(st.st_size);
}

std::optional<std::int64_t> FileModifiedTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::int64_t>(st.st_mtime);
}

std::optional<std::string> ReadFileLimited(const std::string& path, std::size_t maxBytes,
                                           bool* tooLarge) {
  if (tooLarge != nullptr) *tooLarge = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string data;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    if (data.size() + static_cast<std::size_t>(n) > maxBytes) {
      if (tooLarge != nullptr) *tooLarge = true;
      ok = false;
      break;
    }
    data.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return data;
}

std::optional<std::string> CreateUniqueFile(const std::string& prefix) {
  std::vector<char> name(prefix.begin(), prefix.end());
  for (char c : std::string("XXXXXX")) name.push_back(c);
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return std::string(name.data());
}

bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool SetProgramMode(const std::string& path, bool program) {
  return ::chmod(path.c_str(), program ? 0755 : 0644) == 0;
}

std::vector<std::string> ListDirectory(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

bool HoldFileLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  // The descriptor stays open on purpose: the lock lasts as long as the process.
  return true;
}

std::string UserStateDir() {
  return g_get_user_state_dir();
}

std::string UserPicturesDir() {
  const char* dir = g_get_user_special_dir(G_USER_DIRECTORY_PICTURES);
  return dir != nullptr ? dir : g_get_home_dir();
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
