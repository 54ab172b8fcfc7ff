#include "common/UpdateManifest.h"

#include "common/UpdateHandOver.h"
#include "platform/system/AsciiText.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool ContainsNoCase(std::string_view s, std::string_view key) {
  for (std::size_t i = 0; i + key.size() <= s.size(); ++i) {
    if (platform::AsciiStartsWithNoCase(s.substr(i), key)) return true;
  }
  return false;
}

ManifestFileLine Refuse(std::string reason) {
  ManifestFileLine r;
  r.kind = ManifestFileLine::Kind::Refused;
  r.reason = std::move(reason);
  return r;
}

}  // namespace

ManifestFileLine ReadManifestFileLine(std::string_view line) {
  ManifestFileLine r;
  if (Trim(line).empty()) return r;
  if (ContainsNoCase(line, "version")) {
    r.kind = ManifestFileLine::Kind::Version;
    return r;
  }
  if (line.starts_with("serial=") || line.starts_with("expires=") || line.starts_with("product=")) {
    r.kind = ManifestFileLine::Kind::Field;
    return r;
  }
  const std::vector<std::string_view> fields = SplitAtBars(line);
  if (fields.size() < 2) return Refuse("no address field");
  const std::string_view url = Trim(fields[1]);
  if (!platform::IsHttpAddress(url)) {
    return Refuse("not an http or https address");
  }
  for (char c : url) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ' ') {
      return Refuse("control character or blank in the address");
    }
  }
  const std::string_view name = url.substr(url.rfind('/') + 1);
  if (name.empty() || name == "." || name == "..") return Refuse("no usable file name");
  if (name.find('\\') != std::string_view::npos) return Refuse("backslash in the file name");
  if (name.front() == '.' && name.size() > 1) {
    // Our own temporary files in the client's directory begin with a dot; a fetched file must
    // never take one of their names.
    return Refuse("hidden file name");
  }
  if (fields.size() >= 3) {
    const std::string_view hash = Trim(fields[2]);
    if (!hash.empty()) {
      if (hash.size() != 64) return Refuse("the SHA-256 field is not 64 hex digits");
      for (char c : hash) {
        const char l = platform::AsciiLower(c);
        if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f'))) {
          return Refuse("the SHA-256 field is not 64 hex digits");
        }
        r.sha256.push_back(l);
      }
    }
  }
  // A fourth field that is not a decimal number of at most 18 digits gives no size, as a fourth
  // field gave nothing before sizes were read; a signed manifest is refused for it.
  if (const std::string_view size = fields.size() >= 4 ? Trim(fields[3]) : std::string_view();
      !size.empty() && size.size() <= 18 &&
      size.find_first_not_of("0123456789") == std::string_view::npos) {
    r.size = 0;
    for (char c : size) r.size = r.size * 10 + (c - '0');
  }
  r.kind = ManifestFileLine::Kind::File;
  r.url = std::string(url);
  r.name = std::string(name);
  return r;
}

std::vector<std::string_view> SplitManifestLines(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}
