#pragma once

#include <cstdint>
#include <string>

#include "platform/system/Owner.h"

// Icons loaded from icon files, for windows' title bars and taskbar buttons (WM_SETICON with
// ICON_SMALL or ICON_BIG and the icon in lParam; the window does not take it over).

namespace platform {

using HICON = std::uint32_t;  // 0 = none

// Loads the image of an .ico file that is `size` pixels square: the entry of exactly that size
// when the file has one, else the largest entry scaled. 0 when the file is missing or broken.
HICON LoadIconFromFile(const std::string& path, int size);
bool DestroyIcon(HICON icon);
// The sole owner of a loaded icon.
using OwnedIcon = Owner<HICON, DestroyIcon>;
// The icon's size in pixels (0 for none) and a pixel as 0xAARRGGBB, for tests.
int IconSize(HICON icon);
std::uint32_t IconPixel(HICON icon, int x, int y);

}  // namespace platform
