#pragma once

#include <string>
#include <vector>

#include "platform/window/Window.h"

// What assistive technology (a screen reader, over the desktop's accessibility bus) learns of a
// window that draws itself. Every window of ours stands there as an object; by default a nameless
// panel (a top-level window: a frame named by its title). A control says what it is once and
// again whenever that changes; the layer adds what it knows by itself: the window's title as the
// name when none is given, and whether it is visible, enabled and has the focus.
//
// An action that assistive technology invokes reaches the window as WM_ACCESSIBLEACTION, posted
// (the caller is not kept waiting by a modal question the action opens): wParam is the index of
// the action in its list, lParam 0 for the window itself or 1 + the index of an item.

namespace platform {

enum class AccessibleRole {
  Panel,
  Frame,
  Dialog,
  Alert,
  Window,  // a window without a frame of its own, such as a splash
  PushButton,
  ToggleButton,
  Label,
  ProgressBar,
  PageTabList,
  PageTab,
};

struct AccessibleInfo {
  AccessibleRole role = AccessibleRole::Panel;
  std::string name;  // empty: the window's title
  std::string description;
  bool focusable = true;
  bool enabled = true;   // beside the window's own (EnableWindow)
  bool pressed = false;  // a push button held down, a toggle button that is on
  // The actions, the default one first, by the names the desktop knows ("press", "select", ...).
  std::vector<std::string> actions;
  double value = 0;  // a progress bar: its value from 0 to `maximum`
  double maximum = 0;
};

// A part drawn inside a window that stands as an object of its own (a tab of the tab strip).
struct AccessibleItem {
  AccessibleRole role = AccessibleRole::PageTab;
  std::string name;
  std::string description;
  bool selected = false;
  bool focused = false;  // the window's keys act on this part while the window has the focus
  std::vector<std::string> actions;
};

// Says what the window is; announces what changed since the last call. False for an unknown
// window.
bool SetAccessible(HWND hwnd, const AccessibleInfo& info);
// The window's parts, in order, after its child windows; announces what changed.
bool SetAccessibleItems(HWND hwnd, const std::vector<AccessibleItem>& items);

}  // namespace platform
