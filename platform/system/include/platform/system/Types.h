#pragma once

#include <cstdint>

// The vocabulary every room of platform/ and the layers above share: the integer types of
// message parameters, window and region handles, and the point and rectangle of the desktop API
// the client was designed against.

namespace platform {

using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;

using HWND = std::uint32_t;  // 0 = no window
using HRGN = std::uint32_t;  // 0 = no region

struct RECT {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const RECT&, const RECT&) = default;
};
struct POINT {
  int x = 0, y = 0;
  friend bool operator==(const POINT&, const POINT&) = default;
};

}  // namespace platform
