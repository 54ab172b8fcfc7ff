#include "platform/desktop/HotKey.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <vector>

#include "platform/system/EventLog.h"

// A hot key is a passive grab of its key on the root window, once for each combination of the
// lock modifiers (CapsLock, NumLock) so they do not matter. The grabs are made inside an X
// error trap: when another client holds the key the server answers BadAccess, and everything
// grabbed for the key is given back.

namespace platform {

namespace {

struct HotKey {
  HWND hwnd;
  int id;
  UINT modifiers;
  UINT vk;
  KeyCode keycode;
  unsigned int mask;  // X modifiers for `modifiers`
};

std::vector<HotKey>& HotKeys() {
  static std::vector<HotKey> keys;
  return keys;
}

Display* XDisplay() {
  GdkDisplay* d = gdk_display_get_default();
  if (d == nullptr || !GDK_IS_X11_DISPLAY(d)) return nullptr;
  return gdk_x11_display_get_xdisplay(d);
}

KeySym KeySymFor(UINT vk) {
  if (vk >= 0x70 && vk <= 0x87) return XK_F1 + (vk - 0x70);  // VK_F1..VK_F24
  if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
  if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
  switch (vk) {
    case VK_SPACE:
      return XK_space;
    case VK_RETURN:
      return XK_Return;
    case VK_ESCAPE:
      return XK_Escape;
    case VK_TAB:
      return XK_Tab;
    default:
      return NoSymbol;
  }
}

unsigned int NumLockMask(Display* dpy) {
  const KeyCode numLock = XKeysymToKeycode(dpy, XK_Num_Lock);
  unsigned int mask = 0;
  XModifierKeymap* map = XGetModifierMapping(dpy);
  if (map == nullptr) return 0;
  for (int m = 0; m < 8 && numLock != 0; ++m) {
    for (int k = 0; k < map->max_keypermod; ++k) {
      if (map->modifiermap[m * map->max_keypermod + k] == numLock) mask = 1u << m;
    }
  }
  XFreeModifiermap(map);
  return mask;
}

std::vector<unsigned int> LockVariants(Display* dpy) {
  const unsigned int num = NumLockMask(dpy);
  std::vector<unsigned int> v{0, LockMask};
  if (num != 0 && num != LockMask) {
    v.push_back(num);
    v.push_back(num | LockMask);
  }
  return v;
}

void Ungrab(Display* dpy, const HotKey& key) {
  GdkDisplay* gd = gdk_display_get_default();
  gdk_x11_display_error_trap_push(gd);
  for (unsigned int lock : LockVariants(dpy)) {
    XUngrabKey(dpy, key.keycode, key.mask | lock, DefaultRootWindow(dpy));
  }
  gdk_x11_display_error_trap_pop_ignored(gd);
}

GdkFilterReturn OnRootEvent(GdkXEvent* xevent, GdkEvent*, gpointer) {
  const XEvent* ev = static_cast<XEvent*>(xevent);
  if (ev->type != KeyPress) return GDK_FILTER_CONTINUE;
  Display* dpy = XDisplay();
  const unsigned int ignored = LockMask | (dpy != nullptr ? NumLockMask(dpy) : 0);
  const unsigned int state =
      ev->xkey.state & ~ignored & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
  for (const HotKey& key : HotKeys()) {
    if (key.keycode == ev->xkey.keycode && key.mask == state) {
      PostMessage(key.hwnd, WM_HOTKEY, static_cast<WPARAM>(key.id),
                  MAKELPARAM(static_cast<int>(key.modifiers), static_cast<int>(key.vk)));
      return GDK_FILTER_REMOVE;
    }
  }
  return GDK_FILTER_CONTINUE;
}

}  // namespace

bool RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk) {
  Display* dpy = XDisplay();
  if (dpy == nullptr || !IsWindow(hwnd)) return false;
  for (const HotKey& k : HotKeys()) {
    if (k.hwnd == hwnd && k.id == id) return false;
  }
  const KeySym sym = KeySymFor(vk);
  const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(dpy, sym);
  if (code == 0) return false;
  unsigned int mask = 0;
  if (modifiers & MOD_ALT) mask |= Mod1Mask;
  if (modifiers & MOD_CONTROL) mask |= ControlMask;
  if (modifiers & MOD_SHIFT) mask |= ShiftMask;
  if (modifiers & MOD_WIN) mask |= Mod4Mask;
  const HotKey key{hwnd, id, modifiers & 0xF, vk, code, mask};

  static bool filtering = false;
  if (!filtering) {
    gdk_window_add_filter(gdk_get_default_root_window(), OnRootEvent, nullptr);
    filtering = true;
  }

  GdkDisplay* gd = gdk_display_get_default();
  gdk_x11_display_error_trap_push(gd);
  for (unsigned int lock : LockVariants(dpy)) {
    XGrabKey(dpy, code, mask | lock, DefaultRootWindow(dpy), False, GrabModeAsync, GrabModeAsync);
  }
  XSync(dpy, False);
  if (gdk_x11_display_error_trap_pop(gd) != 0) {
    // Some variant is held by another client: give back the ones we got.
    Ungrab(dpy, key);
    XSync(dpy, False);
    LogEvent("hot key not available: another program holds it");
    return false;
  }
  HotKeys().push_back(key);
  return true;
}

bool UnregisterHotKey(HWND hwnd, int id) {
  auto& keys = HotKeys();
  for (auto it = keys.begin(); it != keys.end(); ++it) {
    if (it->hwnd != hwnd || it->id != id) continue;
    const HotKey key = *it;
    keys.erase(it);
    // Another registration of the same key (another window) keeps the grab.
    for (const HotKey& k : keys) {
      if (k.keycode == key.keycode && k.mask == key.mask) return true;
    }
    if (Display* dpy = XDisplay()) {
      Ungrab(dpy, key);
      XFlush(dpy);
    }
    return true;
  }
  return false;
}

}  // namespace platform
