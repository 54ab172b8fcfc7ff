// A tray host's side of the session bus, for the tests: owns org.kde.StatusNotifierWatcher and,
// with --notifications, org.freedesktop.Notifications. Prints one line per event on standard
// output ("ready", "registered <sender> <service>", "notify <id> <title>|<body>", "close <id>")
// and ends on SIGTERM or after a minute.

#include <gio/gio.h>
#include <glib-unix.h>

#include <cstdio>
#include <cstring>

namespace {

const char* kWatcherXml =
    "<node><interface name='org.kde.StatusNotifierWatcher'>"
    "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
    "<method name='RegisterStatusNotifierHost'><arg type='s' direction='in'/></method>"
    "<property name='RegisteredStatusNotifierItems' type='as' access='read'/>"
    "<property name='IsStatusNotifierHostRegistered' type='b' access='read'/>"
    "<property name='ProtocolVersion' type='i' access='read'/>"
    "<signal name='StatusNotifierItemRegistered'><arg type='s'/></signal>"
    "</interface></node>";

const char* kNotifyXml =
    "<node><interface name='org.freedesktop.Notifications'>"
    "<method name='Notify'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='as' direction='in'/><arg type='a{sv}' direction='in'/><arg type='i' "
    "direction='in'/>"
    "<arg type='u' direction='out'/></method>"
    "<method name='CloseNotification'><arg type='u' direction='in'/></method>"
    "</interface></node>";

guint32 g_nextId = 1;
int g_pending = 0;
GMainLoop* g_loop = nullptr;

void OnMethod(GDBusConnection* c, const gchar* sender, const gchar*, const gchar*,
              const gchar* method, GVariant* params, GDBusMethodInvocation* inv, gpointer) {
  if (std::strcmp(method, "RegisterStatusNotifierItem") == 0) {
    const gchar* service = nullptr;
    g_variant_get(params, "(&s)", &service);
    std::printf("registered %s %s\n", sender, service);
    g_dbus_method_invocation_return_value(inv, nullptr);
  } else if (std::strcmp(method, "Notify") == 0) {
    const gchar *app, *icon, *title, *body;
    guint32 replaces = 0;
    g_variant_get(params, "(&su&s&s&s@as@a{sv}i)", &app, &replaces, &icon, &title, &body, nullptr,
                  nullptr, nullptr);
    const guint32 id = replaces != 0 ? replaces : g_nextId++;
    std::printf("notify %u %s|%s\n", id, title, body);
    g_dbus_method_invocation_return_value(inv, g_variant_new("(u)", id));
  } else if (std::strcmp(method, "CloseNotification") == 0) {
    guint32 id = 0;
    g_variant_get(params, "(u)", &id);
    std::printf("close %u\n", id);
    g_dbus_method_invocation_return_value(inv, nullptr);
  } else {
    g_dbus_method_invocation_return_value(inv, nullptr);
  }
  std::fflush(stdout);
}

GVariant* OnProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                     GError**, gpointer) {
  if (std::strcmp(name, "RegisteredStatusNotifierItems") == 0) {
    return g_variant_new_strv(nullptr, 0);
  }
  if (std::strcmp(name, "IsStatusNotifierHostRegistered") == 0) return g_variant_new_boolean(TRUE);
  return g_variant_new_int32(0);
}

const GDBusInterfaceVTable kVTable = {OnMethod, OnProperty, nullptr, {}};

void Own(GDBusConnection* c, const char* name, const char* path, const char* xml) {
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml, nullptr);
  g_dbus_connection_register_object(c, path, node->interfaces[0], &kVTable, nullptr, nullptr,
                                    nullptr);
  ++g_pending;
  g_bus_own_name_on_connection(
      c, name, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
      [](GDBusConnection*, const gchar*, gpointer) {
        if (--g_pending == 0) {
          std::printf("ready\n");
          std::fflush(stdout);
        }
      },
      [](GDBusConnection*, const gchar* n, gpointer) {
        std::printf("lost %s\n", n);
        std::fflush(stdout);
        g_main_loop_quit(g_loop);
      },
      nullptr, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  GDBusConnection* c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (c == nullptr) return 1;
  g_loop = g_main_loop_new(nullptr, FALSE);
  Own(c, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", kWatcherXml);
  if (argc > 1 && std::strcmp(argv[1], "--notifications") == 0) {
    Own(c, "org.freedesktop.Notifications", "/org/freedesktop/Notifications", kNotifyXml);
  }
  g_unix_signal_add(
      SIGTERM,
      [](gpointer) -> gboolean {
        g_main_loop_quit(g_loop);
        return G_SOURCE_REMOVE;
      },
      nullptr);
  g_timeout_add_seconds(
      60,
      [](gpointer) -> gboolean {
        g_main_loop_quit(g_loop);
        return G_SOURCE_REMOVE;
      },
      nullptr);
  g_main_loop_run(g_loop);
  return 0;
}
