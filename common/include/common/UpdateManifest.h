#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the updater reads in the manifest besides its version line: one file to fetch per line,
// its fields separated by "|": anything, the file's address, and optionally the SHA-256 of the
// file in hex and the file's size in bytes (decimal). The file's name is the text after the
// address's last "/"; it lands in the client's directory under that name.

struct ManifestFileLine {
  enum class Kind {
    File,     // a file to fetch
    Version,  // the version line (any line whose lower-case form holds "version")
    Blank,    // nothing but blanks
    Field,    // "serial=...", "expires=..." or "product=...": read by the signed-manifest rules
    Refused,  // unusable; `reason` says why (for the log)
  };
  Kind kind = Kind::Blank;
  std::string url;
  std::string name;
  std::string sha256;  // lower-case hex; empty when the line gives none
  std::int64_t size = -1;  // -1 when the line gives none
  std::string reason;
};

// Reads one line (without its line end).
ManifestFileLine ReadManifestFileLine(std::string_view line);

// The lines of a manifest: they end at CR, CR LF or LF; a UTF-8 byte order mark at the start is
// not part of the first line.
std::vector<std::string_view> SplitManifestLines(std::string_view text);

// The largest manifest the client fetches and the updater reads.
inline constexpr std::size_t kMaxManifestBytes = 1024 * 1024;
