#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Files and directories as the client's code needs them.

namespace platform {

// A local file opened for writing. Move-only; the destructor closes a file still open.
class WritableFile {
 public:
  // Creates the file anew, replacing an existing one (its content is discarded). Returns
  // nothing when the file cannot be created; an existing file is then left as it was.
  // The hidden attribute has no meaning here: every file of the client lives in a private
  // directory, so `hidden` only documents the caller's intent.
  static std::optional<WritableFile> Create(const std::string& path, bool hidden);

  WritableFile(WritableFile&& other) noexcept;
  WritableFile& operator=(WritableFile&& other) noexcept;
  WritableFile(const WritableFile&) = delete;
  WritableFile& operator=(const WritableFile&) = delete;
  ~WritableFile();

  // Writes all bytes; false when not all of them could be written.
  bool Write(std::span<const std::uint8_t> bytes);
  // Closes the file; false when the data could not be flushed.
  bool Close();

 private:
  explicit WritableFile(int fd) : m_fd(fd) {}
  int m_fd = -1;
};

// Replaces the file at `path` with exactly `bytes`: written to a temporary file beside it and
// renamed over it, so a shorter content leaves no trailing bytes, a running program of that
// name is not disturbed, and a failed write leaves the old file whole. The data is flushed to
// disk before the rename and the directory after it. Throws std::system_error.
void ReplaceFileContent(const std::string& path, std::span<const std::uint8_t> bytes);

// Makes a file's data, or a directory's entries (renames, removals), durable.
void SyncFile(const std::string& path);
void SyncDirectory(const std::string& path);

// True when this process runs as root and `path` belongs to another user.
bool RootOnOthersPath(const std::string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The size of a regular file; nothing when there is none.
std::optional<std::int64_t> FileSize(const std::string& path);
// When a file's content last changed, in seconds since the epoch; nothing when there is none.
std::optional<std::int64_t> FileModifiedTime(const std::string& path);

// Reads a whole file of at most `maxBytes` bytes. Nothing when it cannot be read; `tooLarge`
// (when given) tells a file that exceeds the bound from one that is missing.
std::optional<std::string> ReadFileLimited(const std::string& path, std::size_t maxBytes,
                                           bool* tooLarge = nullptr);

// Creates an empty file of this user, readable only by them, whose name is `prefix` followed by
// six random characters, and returns its path; nothing when it cannot be created (a read-only
// directory, no space, no such directory).
std::optional<std::string> CreateUniqueFile(const std::string& prefix);

// Renames `from` over `to` in one step; false (and `from` left) when it cannot be done.
bool RenameFile(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// Gives a file the usual permissions of a program (rwxr-xr-x) or of data (rw-r--r--).
bool SetProgramMode(const std::string& path, bool program);
// The names in a directory (without "." and ".."); empty when it cannot be read.
std::vector<std::string> ListDirectory(const std::string& path);

// Holds an exclusive lock on `path` (created with mode 0600 when missing) until the process
// ends. False when another process holds it or the file cannot be opened. The lock is not
// inherited by programs this process starts.
bool HoldFileLock(const std::string& path);

// A private directory of the current user for the client's temporary files, created with mode
// 0700 under the system's temporary directory and named after `name` and the user id. A path
// owned by another user, a symbolic link or something other than a directory is refused, and
// the user's cache directory serves instead. The result ends with "/". Throws
// std::system_error when no private directory can be had.
std::string PrivateTempDir(const std::string& name);

// The user's state directory ($XDG_STATE_HOME, by default ~/.local/state), without a final "/".
std::string UserStateDir();
// The user's pictures directory (what `xdg-user-dir PICTURES` names; the home directory when
// none is set), without a final "/".
std::string UserPicturesDir();

// The running executable's full path (from /proc/self/exe).
std::string ExecutablePath();

// The command-line text: the arguments after the program name, joined with single spaces.
std::string CommandLineText(int argc, char** argv);

}  // namespace platform
