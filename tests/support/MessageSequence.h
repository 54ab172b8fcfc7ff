#pragma once

// Expected message sequences as data: what a window or a hook saw, one line a message, compared
// with the expected list, both printed on failure.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/window/Messages.h"

namespace testsupport {

using Seq = std::vector<std::string>;

// A message number as the sequences write it: "WM_SIZE", "WM_USER+3", "msg 15".
inline std::string MessageName(platform::UINT m) {
  switch (m) {
    case platform::WM_DESTROY:
      return "WM_DESTROY";
    case platform::WM_NCDESTROY:
      return "WM_NCDESTROY";
    case platform::WM_SIZE:
      return "WM_SIZE";
    case platform::WM_CLOSE:
      return "WM_CLOSE";
    default:
      break;
  }
  if (m == platform::WM_USER) return "WM_USER";
  if (m > platform::WM_USER && m < platform::WM_USER + 0x1000) {
    return "WM_USER+" + std::to_string(m - platform::WM_USER);
  }
  return "msg " + std::to_string(m);
}

// One line a message, indented, for failure output.
inline std::string Join(const Seq& s) {
  std::ostringstream out;
  for (const std::string& line : s) out << "    " << line << "\n";
  return out.str();
}

inline void ExpectSequence(const Seq& expected, const Seq& seen) {
  EXPECT_EQ(expected, seen) << "expected:\n" << Join(expected) << "seen:\n" << Join(seen);
}

}  // namespace testsupport
