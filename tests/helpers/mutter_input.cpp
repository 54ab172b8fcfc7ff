// The pointer and keyboard of GNOME Shell's compositor itself, for the desktop tests: a remote
// desktop session of org.gnome.Mutter.RemoteDesktop, whose input is the compositor's own (it
// reaches Wayland and X windows alike, and moves the focus as a user's would). The session
// lives as long as this program's bus connection. Reads one command a line from standard
// input and prints "ok" (or "error ...") after each:
//   move X Y     the pointer to (X, Y) on the screen
//   click        the left button pressed and released where the pointer is
//   key NAME     a key (an X keysym name, "F10") pressed and released
// Prints "ready" once the session has started.

#include <X11/Xlib.h>
#include <gio/gio.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

namespace {

GDBusConnection* g_bus = nullptr;
std::string g_session;
double g_x = 0;  // where the pointer is
double g_y = 0;

bool Call(const char* iface, const char* path, const char* method, GVariant* args,
          GVariant** out = nullptr) {
  GError* error = nullptr;
  GVariant* reply =
      g_dbus_connection_call_sync(g_bus, "org.gnome.Mutter.RemoteDesktop", path, iface, method,
                                  args, nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
  if (reply == nullptr) {
    std::printf("error %s: %s\n", method, error->message);
    g_error_free(error);
    return false;
  }
  if (out != nullptr) {
    *out = reply;
  } else {
    g_variant_unref(reply);
  }
  return true;
}

bool Session(const char* method, GVariant* args) {
  return Call("org.gnome.Mutter.RemoteDesktop.Session", g_session.c_str(), method, args);
}

}  // namespace

int main() {
  g_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  GVariant* reply = nullptr;
  if (g_bus == nullptr || !Call("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                                "CreateSession", nullptr, &reply)) {
    return 1;
  }
  const gchar* path = nullptr;
  g_variant_get(reply, "(&o)", &path);
  g_session = path;
  g_variant_unref(reply);
  // The pointer starts in the top left corner: it stops at the screen's edges.
  if (!Session("Start", nullptr) ||
      !Session("NotifyPointerMotionRelative", g_variant_new("(dd)", -100000.0, -100000.0))) {
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    bool ok = false;
    if (verb == "move") {
      double x = 0;
      double y = 0;
      in >> x >> y;
      // Absolute motion wants a screen-cast stream; relative motion does not, and the pointer
      // has been in the top left corner since the start.
      ok = Session("NotifyPointerMotionRelative", g_variant_new("(dd)", x - g_x, y - g_y));
      g_x = x;
      g_y = y;
    } else if (verb == "click") {
      constexpr gint32 kLeftButton = 0x110;  // BTN_LEFT
      ok = Session("NotifyPointerButton", g_variant_new("(ib)", kLeftButton, TRUE)) &&
           Session("NotifyPointerButton", g_variant_new("(ib)", kLeftButton, FALSE));
    } else if (verb == "key") {
      std::string name;
      in >> name;
      const KeySym sym = XStringToKeysym(name.c_str());
      ok =
          sym != NoSymbol &&
          Session("NotifyKeyboardKeysym", g_variant_new("(ub)", static_cast<guint32>(sym), TRUE)) &&
          Session("NotifyKeyboardKeysym", g_variant_new("(ub)", static_cast<guint32>(sym), FALSE));
    }
    std::printf(ok ? "ok\n" : "error %s\n", line.c_str());
    std::fflush(stdout);
  }
  Session("Stop", nullptr);
  return 0;
}
