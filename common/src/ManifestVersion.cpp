// The manifest's version line, read as a stream: plain text rules, kept apart from the check so
// that they can be exercised on their own.

#include "common/ManifestVersion.h"

#include <istream>
#include <string>

#include "platform/system/AsciiText.h"

namespace {

// Follows one line of the manifest as it streams past, keeping only what the version rule
// needs: whether "version" occurs in it, and its value with the spaces at both ends trimmed,
// bounded in size.
class LineScanner {
 public:
  void Feed(char c) {
    // Case-insensitive search for "version" that survives any line length.
    static constexpr char kKey[] = "version";
    const char lower = platform::AsciiLower(c);
    if (!m_hasKey) {
      if (lower == kKey[m_matched]) {
        if (++m_matched == 7) m_hasKey = true;
      } else {
        m_matched = (lower == kKey[0]) ? 1 : 0;
      }
    }
    // The first eight characters are skipped, whatever they are. Characters are UTF-8 code
    // points: continuation bytes belong to the character before them.
    if (m_skipping) {
      const bool continuation = (static_cast<unsigned char>(c) & 0xC0) == 0x80;
      if (continuation) return;
      if (m_chars < 8) {
        ++m_chars;
        return;
      }
      m_skipping = false;
    }
    if (c == ' ') {
      // Leading spaces are dropped; inner ones wait until a later character keeps them.
      if (!m_value.empty()) ++m_pendingSpaces;
      return;
    }
    while (m_pendingSpaces > 0 && !m_truncated) {
      Append(' ');
      --m_pendingSpaces;
    }
    m_pendingSpaces = 0;
    Append(c);
  }

  void Reset() { *this = LineScanner(); }
  bool HasKey() const { return m_hasKey; }
  // A version line whose value outgrew the bound can only differ from any version.
  bool Decided() const { return m_hasKey && m_truncated; }
  ManifestVersion Result() const { return {true, m_value, m_truncated}; }

 private:
  void Append(char c) {
    if (m_truncated) return;
    if (m_value.size() >= ManifestVersion::kMaxValueBytes) {
      m_truncated = true;
      return;
    }
    m_value.push_back(c);
  }

  bool m_hasKey = false;
  int m_matched = 0;
  bool m_skipping = true;
  int m_chars = 0;
  std::size_t m_pendingSpaces = 0;
  std::string m_value;
  bool m_truncated = false;
};

}  // namespace

ManifestVersion ReadManifestVersion(std::istream& in) {
  LineScanner line;
  bool lineOpen = false;  // characters have been seen since the last line end
  bool afterCr = false;   // the previous character ended a line with CR
  char buf[8192];
  while (in) {
    in.read(buf, sizeof buf);
    const std::streamsize n = in.gcount();
    for (std::streamsize i = 0; i < n; ++i) {
      const char c = buf[i];
      if (afterCr) {
        afterCr = false;
        if (c == '\n') continue;  // CR LF is one line end
      }
      if (c == '\r') {
        if (line.HasKey()) return line.Result();
        line.Reset();
        lineOpen = false;
        afterCr = true;
        continue;
      }
      line.Feed(c);
      lineOpen = true;
      if (line.Decided()) return line.Result();
    }
  }
  if (lineOpen && line.HasKey()) return line.Result();
  return {};
}
