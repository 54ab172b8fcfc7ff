#include "platform/desktop/HotKey.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system/EventLog.h"
#include "platform/system/detail/Guarded.h"

// A hot key is a passive grab of its key on the root window, once for each combination of the
// lock modifiers (CapsLock, NumLock) so they do not matter. The grabs are made inside an X
// error trap: when another client holds the key the server answers BadAccess, and everything
// grabbed for the key is given back.
//
// On a Wayland session an X grab sees the key only while an X window has the focus. There,
// when the desktop offers the global-shortcuts portal (org.freedesktop.portal.GlobalShortcuts),
// the key is bound through the portal instead (the desktop may let the user choose another
// key); the grab is the fallback when the portal is missing or refuses.

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

namespace {

bool GrabHotKey(HWND hwnd, int id, UINT modifiers, UINT vk) {
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

// ---- The global-shortcuts portal ----------------------------------------------------------------

constexpr const char* kPortalBus = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kShortcutsIface = "org.freedesktop.portal.GlobalShortcuts";

struct PortalKey {
  HWND hwnd;
  int id;
  UINT modifiers;
  UINT vk;
  std::string name;    // the shortcut's id at the portal
  bool bound = false;  // the portal confirmed it
};

struct Portal {
  GDBusConnection* bus = nullptr;
  std::string session;  // the session's object path, once created
  guint activated = 0;  // the Activated subscription
  std::vector<PortalKey> keys;
  unsigned serial = 0;
};

Portal& ThePortal() {
  static Portal portal;
  return portal;
}

bool WaylandSession() {
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (type != nullptr && std::strcmp(type, "wayland") == 0) ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
}

// The trigger in the portal's notation ("CTRL+SHIFT+F10").
std::string Trigger(UINT modifiers, UINT vk) {
  std::string t;
  if (modifiers & MOD_CONTROL) t += "CTRL+";
  if (modifiers & MOD_ALT) t += "ALT+";
  if (modifiers & MOD_SHIFT) t += "SHIFT+";
  if (modifiers & MOD_WIN) t += "LOGO+";
  const KeySym sym = KeySymFor(vk);
  const char* name = sym != NoSymbol ? XKeysymToString(sym) : nullptr;
  return name != nullptr ? t + name : std::string();
}

// True when the session bus has the portal with the global-shortcuts interface.
bool PortalOffered(GDBusConnection* bus) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus, kPortalBus, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kShortcutsIface, "version"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
  if (reply == nullptr) return false;
  g_variant_unref(reply);
  return true;
}

// The object path of the portal's answer to a request made with `token`.
std::string RequestPath(GDBusConnection* bus, const std::string& token) {
  std::string sender = g_dbus_connection_get_unique_name(bus) + 1;  // without ':'
  for (char& c : sender) {
    if (c == '.') c = '_';
  }
  return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

using ResponseFn = void (*)(guint32 response, GVariant* results);

// Calls a portal method that answers through a Request object: subscribes to its Response
// first (the answer may come before the call returns), then calls.
void CallWithResponse(const char* method, GVariant* args, const std::string& token,
                      ResponseFn onResponse) {
  Portal& p = ThePortal();
  struct Pending {
    ResponseFn fn = nullptr;
    guint id = 0;
  };
  auto* pending = new Pending{onResponse};
  pending->id = g_dbus_connection_signal_subscribe(
      p.bus, kPortalBus, "org.freedesktop.portal.Request", "Response",
      RequestPath(p.bus, token).c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection* c, const gchar*, const gchar*, const gchar*, const gchar*,
         GVariant* params, gpointer data) {
        auto* pend = static_cast<Pending*>(data);
        guint32 response = 2;
        GVariant* results = nullptr;
        g_variant_get(params, "(u@a{sv})", &response, &results);
        g_dbus_connection_signal_unsubscribe(c, pend->id);
        Guarded("shortcuts portal", [&] { pend->fn(response, results); });
        g_variant_unref(results);
        delete pend;
      },
      pending, nullptr);
  g_dbus_connection_call(p.bus, kPortalBus, kPortalPath, kShortcutsIface, method, args, nullptr,
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

// The portal did not bind these keys: the X grab it is. The event log says so once a run;
// the grab sees the key only while one of the client's X windows has the focus.
void GrabInstead(const std::vector<PortalKey>& keys, const char* why) {
  static bool said = false;
  if (!said) {
    LogEvent(std::string("global shortcuts portal: ") + why +
             "; using a key grab, which works only while a window of the client has the focus");
    said = true;
  }
  for (const PortalKey& k : keys) {
    if (IsWindow(k.hwnd)) GrabHotKey(k.hwnd, k.id, k.modifiers, k.vk);
  }
}

// Every key still waiting for the portal takes the grab.
void FallBackToGrab(const char* why) {
  std::vector<PortalKey> keys;
  keys.swap(ThePortal().keys);
  GrabInstead(keys, why);
}

// The portal's answer to a binding. An answer of 0 is not a binding: a desktop that has not
// bound a shortcut (KDE's, for a program it cannot name) answers 0 and leaves it out of the
// returned list. Only the listed ones are bound; the others take the X grab.
void OnBound(guint32 response, GVariant* results) {
  std::vector<std::string> listed;
  GVariant* bound = response == 0
                        ? g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"))
                        : nullptr;
  if (bound != nullptr) {
    GVariantIter it;
    g_variant_iter_init(&it, bound);
    const gchar* id = nullptr;
    while (g_variant_iter_next(&it, "(&s@a{sv})", &id, nullptr)) listed.emplace_back(id);
    g_variant_unref(bound);
  }
  Portal& p = ThePortal();
  std::vector<PortalKey> unbound;
  for (auto it = p.keys.begin(); it != p.keys.end();) {
    if (std::find(listed.begin(), listed.end(), it->name) != listed.end()) {
      it->bound = true;
    } else if (!it->bound) {
      unbound.push_back(*it);
      it = p.keys.erase(it);
      continue;
    }
    ++it;
  }
  if (!unbound.empty()) {
    GrabInstead(unbound, response != 0 ? "the desktop refused the shortcut"
                                       : "the desktop bound no shortcut");
  }
}

void BindPending() {
  Portal& p = ThePortal();
  if (p.session.empty()) return;
  GVariantBuilder shortcuts;
  g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
  bool any = false;
  for (const PortalKey& k : p.keys) {
    if (k.bound) continue;
    GVariantBuilder props;
    g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&props, "{sv}", "description",
                          g_variant_new_string("Hide or show the window"));
    g_variant_builder_add(&props, "{sv}", "preferred_trigger",
                          g_variant_new_string(Trigger(k.modifiers, k.vk).c_str()));
    g_variant_builder_add(&shortcuts, "(sa{sv})", k.name.c_str(), &props);
    any = true;
  }
  if (!any) {
    g_variant_builder_clear(&shortcuts);
    return;
  }
  const std::string token = "talmar2_bind" + std::to_string(++p.serial);
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  CallWithResponse("BindShortcuts",
                   g_variant_new("(oa(sa{sv})sa{sv})", p.session.c_str(), &shortcuts, "", &options),
                   token, OnBound);
}

void OnActivated(GDBusConnection* /*bus*/, const gchar* /*sender*/, const gchar* /*path*/,
                 const gchar* /*iface*/, const gchar* /*signal*/, GVariant* params,
                 gpointer /*data*/) {
  Guarded("shortcut activated", [&] {
    const gchar* session = nullptr;
    const gchar* name = nullptr;
    g_variant_get(params, "(&o&sta{sv})", &session, &name, nullptr, nullptr);
    Portal& p = ThePortal();
    if (session == nullptr || p.session != session) return;
    for (const PortalKey& k : p.keys) {
      if (k.name == name && IsWindow(k.hwnd)) {
        PostMessage(k.hwnd, WM_HOTKEY, static_cast<WPARAM>(k.id),
                    MAKELPARAM(static_cast<int>(k.modifiers), static_cast<int>(k.vk)));
      }
    }
  });
}

// Binds the key through the portal when the session is a Wayland one and offers it; false
// when the X grab is to be used.
bool BindThroughPortal(HWND hwnd, int id, UINT modifiers, UINT vk) {
  if (!WaylandSession() || Trigger(modifiers, vk).empty()) return false;
  Portal& p = ThePortal();
  if (p.bus == nullptr) {
    p.bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (p.bus == nullptr) return false;
  }
  for (const PortalKey& k : p.keys) {
    if (k.hwnd == hwnd && k.id == id) return false;
  }
  if (p.session.empty() && p.keys.empty() && !PortalOffered(p.bus)) return false;
  p.keys.push_back(PortalKey{hwnd, id, modifiers & 0xF, vk, "hotkey-" + std::to_string(id)});
  if (p.activated == 0) {
    p.activated = g_dbus_connection_signal_subscribe(
        p.bus, kPortalBus, kShortcutsIface, "Activated", kPortalPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, OnActivated, nullptr, nullptr);
  }
  if (!p.session.empty()) {
    BindPending();
    return true;
  }
  if (p.keys.size() > 1) return true;  // the session is on its way
  const std::string token = "talmar2_session" + std::to_string(++p.serial);
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  g_variant_builder_add(&options, "{sv}", "session_handle_token",
                        g_variant_new_string(token.c_str()));
  CallWithResponse(
      "CreateSession", g_variant_new("(a{sv})", &options), token,
      [](guint32 response, GVariant* results) {
        const gchar* session = nullptr;
        if (response != 0 || !g_variant_lookup(results, "session_handle", "&s", &session)) {
          FallBackToGrab("no session");
          return;
        }
        ThePortal().session = session;
        BindPending();
      });
  return true;
}

}  // namespace

bool RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk) {
  if (!IsWindow(hwnd)) return false;
  if (BindThroughPortal(hwnd, id, modifiers, vk)) return true;
  return GrabHotKey(hwnd, id, modifiers, vk);
}

bool UnregisterHotKey(HWND hwnd, int id) {
  Portal& p = ThePortal();
  for (auto it = p.keys.begin(); it != p.keys.end(); ++it) {
    if (it->hwnd != hwnd || it->id != id) continue;
    p.keys.erase(it);
    // The portal has no call to unbind one shortcut: the last one closes the session.
    if (p.keys.empty() && !p.session.empty()) {
      g_dbus_connection_call(p.bus, kPortalBus, p.session.c_str(), "org.freedesktop.portal.Session",
                             "Close", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                             nullptr, nullptr);
      p.session.clear();
    }
    return true;
  }
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
