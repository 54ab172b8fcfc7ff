#pragma once

#include "platform/window/Window.h"

// System-wide hot keys: the key reaches the window whichever program has the keyboard focus,
// as WM_HOTKEY with the identifier in wParam and the modifiers (low word) and virtual key (high
// word) in lParam. CapsLock and NumLock do not matter; other modifiers must match exactly.

namespace platform {

enum : UINT { MOD_ALT = 0x1, MOD_CONTROL = 0x2, MOD_SHIFT = 0x4, MOD_WIN = 0x8 };

// False, holding nothing, when another program holds the key (or the key is unknown, the
// identifier is taken for this window, or there is no display).
bool RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk);
bool UnregisterHotKey(HWND hwnd, int id);

}  // namespace platform
