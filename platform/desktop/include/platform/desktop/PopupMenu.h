#pragma once

#include <string>
#include <vector>

#include "platform/window/Window.h"

// Pop-up menus. A chosen item reaches its window as WM_COMMAND with the item's identifier in
// the low word of wParam (posted, so it arrives after the menu has gone).

namespace platform {

struct MenuItem {
  UINT id = 0;          // the command; 0 for a separator
  std::string caption;  // "&" marks the access key, "&&" is a literal "&"
  bool separator = false;
  bool enabled = true;
};

// The window's menu: what PopupMenu(hwnd) shows, and what the window's tray icon offers tray
// hosts that show the menu themselves. Setting it again replaces it everywhere.
bool SetWindowMenu(HWND hwnd, std::vector<MenuItem> items);
std::vector<MenuItem> GetWindowMenu(HWND hwnd);

// Pops up the window's menu (or `items`) at the pointer with the default alignment. Returns at
// once; false when there is nothing to show or no display.
bool PopupMenu(HWND hwnd);
bool PopupMenu(HWND hwnd, const std::vector<MenuItem>& items);
// True while a pop-up menu of ours is open.
bool IsPopupMenuOpen();

}  // namespace platform
