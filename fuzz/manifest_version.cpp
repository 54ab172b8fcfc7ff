// The manifest's version rule on arbitrary bytes: it never fails, keeps its bound, and agrees
// with the rule read plainly (split into lines, first line naming "version", value from the
// ninth character on, spaces trimmed).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "common/ManifestVersion.h"

namespace {

ManifestVersion Plainly(const std::string& text) {
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find('\r', begin);
    const bool last = end == std::string::npos;
    const std::string line = text.substr(begin, last ? std::string::npos : end - begin);
    std::string lower = line;
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    if (lower.find("version") != std::string::npos) {
      // Skip eight characters (a character is a byte that is no UTF-8 continuation byte).
      std::size_t i = 0;
      int chars = 0;
      while (i < line.size()) {
        const bool continuation = (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80;
        if (!continuation) {
          if (chars == 8) break;
          ++chars;
        }
        ++i;
      }
      std::string value = line.substr(i);
      const auto first = value.find_first_not_of(' ');
      value = first == std::string::npos ? std::string() : value.substr(first);
      while (!value.empty() && value.back() == ' ') value.pop_back();
      ManifestVersion result;
      result.found = true;
      result.truncated = value.size() > ManifestVersion::kMaxValueBytes;
      result.value = value.substr(0, ManifestVersion::kMaxValueBytes);
      return result;
    }
    if (last) break;
    begin = end + 1;
    if (begin < text.size() && text[begin] == '\n') ++begin;  // CR LF ends one line
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  const ManifestVersion got = ReadManifestVersion(in);
  if (got.value.size() > ManifestVersion::kMaxValueBytes) std::abort();
  const ManifestVersion want = Plainly(text);
  if (got.found != want.found || got.truncated != want.truncated) std::abort();
  if (!got.truncated && got.value != want.value) std::abort();
  if (got.found && !got.truncated && !got.Equals(got.value)) std::abort();
  return 0;
}
