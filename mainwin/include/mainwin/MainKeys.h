#pragma once

#include <cstdint>

#include "platform/window/Messages.h"

// The main window's keys. Only keys held with Ctrl or Alt, and function keys, are ever the
// window's: every other key (letters, arrows, Escape, Space) belongs to the game page.
enum class MainKey : std::uint8_t {
  None,         // not ours: the page gets the key
  Refresh,      // F5, Ctrl+R
  NextTab,      // Ctrl+Tab
  PreviousTab,  // Ctrl+Shift+Tab
  TabAt,        // Ctrl+1 ... Ctrl+8 (the place), Ctrl+9 (the last tab)
  CloseTab,     // Ctrl+W
  FullScreen,   // F11
  ZoomIn,       // Ctrl+plus (also Ctrl+= and the keypad's +)
  ZoomOut,      // Ctrl+minus
  ZoomReset,    // Ctrl+0
  Screenshot,   // Ctrl+Shift+S
};

struct MainKeyCommand {
  MainKey key = MainKey::None;
  int place = 0;  // TabAt: 1-8, or 9 for the last tab
  friend bool operator==(const MainKeyCommand&, const MainKeyCommand&) = default;
};

// The command of a key press: a virtual key and WM_KEYPREVIEW's KP_* flags.
MainKeyCommand MainKeyFor(platform::WPARAM vk, platform::LPARAM flags);
