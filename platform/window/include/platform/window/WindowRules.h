#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/window/Window.h"

// The rules of the window layer that need no display: where a client area lies on the screen,
// which window a point falls on, and which messages a key stroke becomes. The toolkit half feeds
// them what it knows of its windows; the unit tests feed them tables.

namespace platform::rules {

// One window as these rules see it.
struct WindowPlace {
  HWND parent = 0;  // 0 for a top-level window
  // The client area: screen pixels for a top-level window, parent-client pixels for a child.
  RECT rect;
  bool topLevel = false;
  bool visible = true;
  bool enabled = true;
  std::vector<HWND> children;  // in creation order: later ones lie above earlier ones
  bool tabStop = false;        // WS_TABSTOP
  bool group = false;          // WS_GROUP
};
// Nothing for a window that is gone or has no place on the screen.
using PlaceOf = std::function<std::optional<WindowPlace>(HWND)>;

// The client area's top-left corner in screen pixels: the window's place plus its ancestors'
// up to the first top-level one.
POINT ClientOrigin(HWND hwnd, const PlaceOf& place);
// The deepest visible and enabled child of `hwnd` under the screen point, `hwnd` itself when
// none.
HWND DeepestChildAt(HWND hwnd, POINT screen, const PlaceOf& place);

// The tab stops that Tab reaches from `from` within `root` (a top-level window, or a parent for
// the arrow keys): the visible, enabled WS_TABSTOP windows inside it, depth first in creation
// order, the next one after `from` (the one before it when `backward`), round from the end to
// the start. The first (last) one when `from` is none of them; 0 when there is none, or when
// `from` is the only one.
HWND NextTabStop(HWND root, HWND from, bool backward, const PlaceOf& place);
// Where F6 goes from `from` within `root`: the panes are the groups of tab stops, each from the
// first tab stop or one with WS_GROUP up to the next such, in tab order, and then `page` (the
// embedded page). The first tab stop of the pane after the one that holds `from`, round; `page`
// from the last group and from a window that is no tab stop.
HWND NextPane(HWND root, HWND from, HWND page, const PlaceOf& place);

// The virtual-key code of an X keysym (taken on the unshifted level); 0 for keys the client
// has no code for.
WPARAM VirtualKeyFromKeysym(unsigned keysym);

// One key event of the toolkit.
struct KeyStroke {
  unsigned baseKeysym = 0;    // the key on the unshifted level
  char32_t character = 0;     // the character the key types now (0: none)
  unsigned hardwareCode = 0;  // X key code (8 + scan code)
  bool down = true;
  bool repeat = false;  // a press of a key that is already down
  bool alt = false;
  bool control = false;
};
struct KeyMessage {
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  friend bool operator==(const KeyMessage&, const KeyMessage&) = default;
};
// The messages a key event becomes, in order: the key message (WM_SYSKEY* with Alt, F10 or Alt
// itself), then WM_CHAR for a press that types a character without Alt (Ctrl+letter gives the
// control code).
std::vector<KeyMessage> KeyMessages(const KeyStroke& key);

}  // namespace platform::rules
