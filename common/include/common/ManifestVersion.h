#pragma once

#include <cstddef>
#include <istream>
#include <string>

// The version line of a manifest, read by the version rule's line ends: a line ends at CR or
// CR LF (a lone LF does not end a line). The version line is the first whose lower-case form
// contains "version"; its value is the text from its 9th character on, with spaces (not tabs)
// trimmed at both ends. The manifest is read as a stream: only a bounded part of any line is
// kept.
struct ManifestVersion {
  bool found = false;
  // The value, cut after kMaxValueBytes bytes (then `truncated` is set).
  std::string value;
  bool truncated = false;
  static constexpr std::size_t kMaxValueBytes = 256;

  // True when the manifest names exactly `version` (text comparison, case-sensitive).
  bool Equals(const std::string& version) const { return found && !truncated && value == version; }
};
ManifestVersion ReadManifestVersion(std::istream& in);
