// Display-free rules of the window layer (see platform/WindowRules.h).

#include "platform/window/WindowRules.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>

namespace platform::rules {

namespace {

bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The tab stops inside `hwnd` in tab order; hidden or disabled windows hide their insides too.
void CollectTabStops(HWND hwnd, const PlaceOf& place, std::vector<HWND>& out) {
  const std::optional<WindowPlace> w = place(hwnd);
  if (!w) return;
  for (HWND c : w->children) {
    const std::optional<WindowPlace> cp = place(c);
    if (!cp || !cp->visible || !cp->enabled) continue;
    if (cp->tabStop) out.push_back(c);
    CollectTabStops(c, place, out);
  }
}

}  // namespace

HWND NextTabStop(HWND root, HWND from, bool backward, const PlaceOf& place) {
  std::vector<HWND> stops;
  CollectTabStops(root, place, stops);
  if (stops.empty()) return 0;
  const auto at = std::find(stops.begin(), stops.end(), from);
  if (at == stops.end()) return backward ? stops.back() : stops.front();
  if (stops.size() == 1) return 0;
  const std::size_t i = static_cast<std::size_t>(at - stops.begin());
  return stops[backward ? (i + stops.size() - 1) % stops.size() : (i + 1) % stops.size()];
}

HWND NextPane(HWND root, HWND from, HWND page, const PlaceOf& place) {
  std::vector<HWND> stops;
  CollectTabStops(root, place, stops);
  if (stops.empty()) return page;
  if (from == page) return stops.front();
  const auto at = std::find(stops.begin(), stops.end(), from);
  if (at == stops.end()) return page;
  const auto next = std::find_if(at + 1, stops.end(), [&](HWND h) { return place(h)->group; });
  return next == stops.end() ? page : *next;
}

POINT ClientOrigin(HWND hwnd, const PlaceOf& place) {
  POINT p;
  for (std::optional<WindowPlace> w = place(hwnd); w;) {
    p.x += w->rect.left;
    p.y += w->rect.top;
    if (w->topLevel || w->parent == 0) break;
    w = place(w->parent);
  }
  return p;
}

HWND DeepestChildAt(HWND hwnd, POINT screen, const PlaceOf& place) {
  const std::optional<WindowPlace> w = place(hwnd);
  if (!w) return hwnd;
  const POINT origin = ClientOrigin(hwnd, place);
  const POINT client{screen.x - origin.x, screen.y - origin.y};
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    const std::optional<WindowPlace> c = place(*it);
    if (!c || !c->visible || !c->enabled) continue;
    if (Contains(c->rect, client)) return DeepestChildAt(*it, screen, place);
  }
  return hwnd;
}

WPARAM VirtualKeyFromKeysym(unsigned keysym) {
  if (keysym >= GDK_KEY_a && keysym <= GDK_KEY_z) return keysym - GDK_KEY_a + 'A';
  if (keysym >= GDK_KEY_A && keysym <= GDK_KEY_Z) return keysym;
  if (keysym >= GDK_KEY_0 && keysym <= GDK_KEY_9) return keysym;
  if (keysym >= GDK_KEY_F1 && keysym <= GDK_KEY_F12) return 0x70 + (keysym - GDK_KEY_F1);
  if (keysym >= GDK_KEY_KP_0 && keysym <= GDK_KEY_KP_9) return 0x60 + (keysym - GDK_KEY_KP_0);
  switch (keysym) {
    case GDK_KEY_BackSpace:
      return VK_BACK;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      return VK_TAB;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return VK_RETURN;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
      return VK_SHIFT;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
      return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_L:
    case GDK_KEY_Meta_R:
      return VK_MENU;
    case GDK_KEY_Pause:
      return 0x13;
    case GDK_KEY_Caps_Lock:
      return 0x14;
    case GDK_KEY_Escape:
      return VK_ESCAPE;
    case GDK_KEY_space:
      return VK_SPACE;
    case GDK_KEY_Page_Up:
      return 0x21;
    case GDK_KEY_Page_Down:
      return 0x22;
    case GDK_KEY_End:
      return 0x23;
    case GDK_KEY_Home:
      return 0x24;
    case GDK_KEY_Left:
      return VK_LEFT;
    case GDK_KEY_Up:
      return VK_UP;
    case GDK_KEY_Right:
      return VK_RIGHT;
    case GDK_KEY_Down:
      return VK_DOWN;
    case GDK_KEY_Insert:
      return 0x2D;
    case GDK_KEY_Delete:
      return 0x2E;
    case GDK_KEY_Menu:
      return VK_APPS;
    case GDK_KEY_equal:
    case GDK_KEY_plus:
      return VK_OEM_PLUS;
    case GDK_KEY_minus:
    case GDK_KEY_underscore:
      return VK_OEM_MINUS;
    case GDK_KEY_KP_Add:
      return VK_ADD;
    case GDK_KEY_KP_Subtract:
      return VK_SUBTRACT;
    default:
      return 0;
  }
}

std::vector<KeyMessage> KeyMessages(const KeyStroke& key) {
  std::vector<KeyMessage> out;
  const WPARAM vk = VirtualKeyFromKeysym(key.baseKeysym);
  const bool sys = key.alt || vk == VK_F10 || vk == VK_MENU;
  // Repeat count 1, the scan code in bits 16-23, the previous state in bit 30, the transition
  // state in bit 31.
  const unsigned scan = key.hardwareCode >= 8 ? key.hardwareCode - 8 : 0;
  LPARAM lParam = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
  if (key.repeat || !key.down) lParam |= LPARAM(1) << 30;
  if (!key.down) lParam |= static_cast<LPARAM>(0x80000000u);
  if (vk != 0) {
    const UINT msg =
        sys ? (key.down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (key.down ? WM_KEYDOWN : WM_KEYUP);
    out.push_back(KeyMessage{msg, vk, lParam});
  }
  if (key.down && !key.alt) {
    char32_t ch = key.character;
    if (key.control && ch >= 0x40 && ch < 0x80) ch &= 0x1F;
    if (ch != 0 && ch != 0x7F) out.push_back(KeyMessage{WM_CHAR, static_cast<WPARAM>(ch), lParam});
  }
  return out;
}

}  // namespace platform::rules
