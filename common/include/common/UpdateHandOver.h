#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/EventLog.h"

// What the client and the updater agree on across the process boundary: where the manifest is
// kept, how it is read and trusted, and the updater's command line.
//
// The manifest is read by two line-end rules:
// - the version rule (ReadManifestVersion, ManifestVersion.h): a line ends at CR or CR LF; a
//   lone LF does not end a line;
// - the file-list rule (SplitManifestLines, UpdateManifest.h): a line ends at CR, CR LF or LF.

// The client's side of updates (the check, the kept manifest, the journal) writes its event-log
// lines as "update: ...".
inline const platform::LogChannel kUpdateLog("update");

// The pieces of a text separated by `separator` (one piece when there is none; empty pieces
// kept), and by "|", the separator of the manifest's file lines, the updater's command line and
// the login page's commands.
std::vector<std::string_view> SplitAt(std::string_view text, char separator);
inline std::vector<std::string_view> SplitAtBars(std::string_view text) {
  return SplitAt(text, '|');
}

// The updater's program name, in the user's private temporary directory.
inline constexpr const char* kUpdaterProgramName = "Update";

// The updater's command line: the client's directory, "|", the client's executable path.
std::string UpdaterCommandLine(const std::string& executablePath);

// The command line as the updater reads it.
struct UpdaterTarget {
  std::string directory;   // the first piece, without a trailing "/" (except "/" itself)
  std::string executable;  // the second piece; empty when the command line has none
};
UpdaterTarget ParseUpdaterCommandLine(std::string_view commandLine);

// Whether files can be made in the client's directory `dir` (a system-wide installation or a
// read-only mount cannot: its updates come from the package manager).
bool ClientDirectoryWritable(const std::string& dir);
// True when this process runs as root and `dir` belongs to another user: the updater must not
// write there, nor start what it finds there.
bool RootOnForeignDirectory(const std::string& dir);
// Temporary files of an update in the client's directory start with this; what a killed run
// left is removed by the next.
inline constexpr const char* kUpdateTempPrefix = ".talmar2-update-";

// The manifest kept in the user's private temporary directory, and its detached signature
// beside it. Throw std::system_error when no private directory can be had.
std::string KeptManifestPath();
std::string SignaturePathOf(const std::string& manifestPath);

// The largest signature file read.
inline constexpr std::size_t kMaxSignatureBytes = 1024;

// A manifest signed with the build's key must also carry, on lines of their own:
//   product=<GameId>                the game (and so the channel) it was published for;
//   serial=<decimal>                a number the publisher raises with every manifest;
//   expires=<YYYY-MM-DDTHH:MM:SSZ>  a UTC time after which it is not to be trusted;
// and every file line must carry its SHA-256 and its size. Checks `text` against these rules at the
// time `now` (seconds since the epoch, UTC) and the highest serial accepted before: nothing when it
// meets them (`serial` is then set), otherwise the reason. A serial equal to the highest is
// accepted (the same manifest fetched again); the manifest is good up to its expiry second.
std::optional<std::string> CheckSignedManifest(std::string_view text, std::int64_t now,
                                               std::uint64_t highestSerial, std::uint64_t& serial);

// "YYYY-MM-DDTHH:MM:SSZ" as seconds since the epoch; nothing when malformed.
std::optional<std::int64_t> ParseUtcTime(std::string_view text);

// The file holding the highest serial this user's client has accepted, in the user's state
// directory ($XDG_STATE_HOME, by default ~/.local/state, in the client's folder); empty when
// neither that variable nor HOME is set.
std::string HighestSerialPath();
// The serial kept at `path`: 0 when there is none; a file that does not hold a serial is
// logged and read as 0, so that it never stops every update for good.
std::uint64_t ReadHighestSerial(const std::string& path);
// Replaces the kept serial in one step (its folder made when missing); false when it cannot.
bool SaveHighestSerial(const std::string& path, std::uint64_t serial);

// What a manifest is trusted with: the build's public key (no checks when empty), the clock,
// and where the highest accepted serial is kept.
struct ManifestTrust {
  std::string publicKey;
  std::int64_t now = 0;
  std::string serialPath;
};
// The trust of this build at this moment.
ManifestTrust CurrentTrust(const std::string& publicKey);

// The manifest at `manifestPath`, read and checked. With a key: the signature beside it, then
// the rules above; an accepted serial above the kept one is saved at once.
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
KeptManifest ReadKeptManifest(const std::string& manifestPath, const ManifestTrust& trust);
