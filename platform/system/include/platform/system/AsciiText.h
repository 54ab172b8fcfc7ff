#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// Letter case of the ASCII letters only: addresses, schemes, header names, keys and font names
// compare this way, and the bytes of UTF-8 text (and the C locale's ideas) never take part.

namespace platform {

constexpr char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline std::string AsciiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

inline bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

inline bool AsciiStartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiEqualNoCase(text.substr(0, prefix.size()), prefix);
}

// An http or https address (the scheme in any letter case) with something after the "//".
inline bool IsHttpAddress(std::string_view url) {
  for (const std::string_view scheme :
       {std::string_view("http://"), std::string_view("https://")}) {
    if (url.size() > scheme.size() && AsciiStartsWithNoCase(url, scheme)) return true;
  }
  return false;
}

}  // namespace platform
