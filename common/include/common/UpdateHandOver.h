#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the client and the updater agree on across the process boundary: where the manifest is
// kept, how it is read and trusted, and the updater's command line.
//
// The manifest is read by two line-end rules:
// - the version rule (ReadManifestVersion, ManifestVersion.h): a line ends at CR or CR LF; a
//   lone LF does not end a line;
// - the file-list rule (SplitManifestLines, UpdateManifest.h): a line ends at CR, CR LF or LF.

// The pieces of a text separated by "|" (one piece when there is none; empty pieces kept).
std::vector<std::string_view> SplitAtBars(std::string_view text);

// The updater's command line: the client's directory, "|", the client's executable path.
std::string UpdaterCommandLine(const std::string& executablePath);

// The command line as the updater reads it.
struct UpdaterTarget {
  std::string directory;   // the first piece, without a trailing "/" (except "/" itself)
  std::string executable;  // the second piece; empty when the command line has none
};
UpdaterTarget ParseUpdaterCommandLine(std::string_view commandLine);

// The manifest kept in the user's private temporary directory, and its detached signature
// beside it. Throw std::system_error when no private directory can be had.
std::string KeptManifestPath();
std::string SignaturePathOf(const std::string& manifestPath);

// The largest signature file read.
inline constexpr std::size_t kMaxSignatureBytes = 1024;

// The manifest at `manifestPath`, read and checked against `publicKey` (no check when empty).
struct KeptManifest {
  enum class Status {
    Missing,  // no manifest: nothing to say
    Refused,  // `reason` says why (for the log)
    Usable,
  };
  Status status = Status::Missing;
  std::string text;
  std::string reason;
};
KeptManifest ReadKeptManifest(const std::string& manifestPath, const std::string& publicKey);
