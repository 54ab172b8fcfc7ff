// A minimal global-shortcuts portal for the tests, on the session bus. Two roles:
// - by default, the portal itself as a desktop's front end presents it: owns
//   org.freedesktop.portal.Desktop and serves org.freedesktop.portal.GlobalShortcuts (version 1)
//   at /org/freedesktop/portal/desktop; CreateSession and BindShortcuts answer through Request
//   objects' Response signal;
// - with --backend, a desktop's back end behind the real front end (xdg-desktop-portal): owns
//   org.freedesktop.impl.portal.desktop.talmartest and serves
//   org.freedesktop.impl.portal.GlobalShortcuts, whose calls answer directly.
// Prints "ready", "session <path>" and "bind <id> <preferred trigger>"; on SIGUSR1 it emits
// Activated for the last bound shortcut, on SIGUSR2 it binds nothing from then on: it answers 0
// with an empty list, as KDE's back end does for a program it cannot name.
// Ends on SIGTERM or after a minute.

#include <gio/gio.h>
#include <glib-unix.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char* kXml =
    "<node><interface name='org.freedesktop.portal.GlobalShortcuts'>"
    "<method name='CreateSession'><arg type='a{sv}' direction='in'/>"
    "<arg type='o' direction='out'/></method>"
    "<method name='BindShortcuts'><arg type='o' direction='in'/>"
    "<arg type='a(sa{sv})' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method>"
    "<signal name='Activated'><arg type='o'/><arg type='s'/><arg type='t'/><arg type='a{sv}'/>"
    "</signal><property name='version' type='u' access='read'/></interface></node>";

constexpr const char* kBackendXml =
    "<node><interface name='org.freedesktop.impl.portal.GlobalShortcuts'>"
    "<method name='CreateSession'><arg type='o' direction='in'/><arg type='o' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='a{sv}' direction='in'/>"
    "<arg type='u' direction='out'/><arg type='a{sv}' direction='out'/></method>"
    "<method name='BindShortcuts'><arg type='o' direction='in'/><arg type='o' direction='in'/>"
    "<arg type='a(sa{sv})' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='a{sv}' direction='in'/>"
    "<arg type='u' direction='out'/><arg type='a{sv}' direction='out'/></method>"
    "<signal name='Activated'><arg type='o'/><arg type='s'/><arg type='t'/><arg type='a{sv}'/>"
    "</signal><property name='version' type='u' access='read'/></interface></node>";

GDBusConnection* g_bus = nullptr;
bool g_backend = false;
std::string g_session;
std::string g_lastId;
bool g_refuse = false;

std::string RequestPath(const char* sender, const char* token) {
  std::string s = sender + 1;
  for (char& c : s) {
    if (c == '.') c = '_';
  }
  return std::string("/org/freedesktop/portal/desktop/request/") + s + "/" + token;
}

void Respond(const char* sender, const std::string& path, guint32 response, GVariant* results) {
  g_dbus_connection_emit_signal(g_bus, sender, path.c_str(), "org.freedesktop.portal.Request",
                                "Response", g_variant_new("(u@a{sv})", response, results), nullptr);
}

void PrintBinds(GVariant* shortcuts) {
  GVariantIter it;
  g_variant_iter_init(&it, shortcuts);
  const gchar* id = nullptr;
  GVariant* props = nullptr;
  while (g_variant_iter_loop(&it, "(&s@a{sv})", &id, &props)) {
    const gchar* trigger = "";
    g_variant_lookup(props, "preferred_trigger", "&s", &trigger);
    std::printf("bind %s %s\n", id, trigger);
    g_lastId = id;
  }
}

// The back end's calls: the front end made the request and session objects and passes their
// paths; the answer is the call's return value.
void OnBackendCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                   GVariant* params, GDBusMethodInvocation* call, gpointer) {
  GVariantDict results;
  g_variant_dict_init(&results, nullptr);
  const guint32 response = 0;
  if (g_strcmp0(method, "CreateSession") == 0) {
    const gchar* session = nullptr;
    g_variant_get_child(params, 1, "&o", &session);
    g_session = session;
    std::printf("session %s\n", session);
    // The front end hands the session's shortcuts on to the caller: none bound yet.
    g_variant_dict_insert_value(&results, "shortcuts",
                                g_variant_new_array(G_VARIANT_TYPE("(sa{sv})"), nullptr, 0));
  } else if (g_strcmp0(method, "BindShortcuts") == 0) {
    GVariant* shortcuts = g_variant_get_child_value(params, 2);
    PrintBinds(shortcuts);
    g_variant_dict_insert_value(
        &results, "shortcuts",
        g_refuse ? g_variant_new_array(G_VARIANT_TYPE("(sa{sv})"), nullptr, 0) : shortcuts);
    g_variant_unref(shortcuts);
  } else {
    g_variant_dict_clear(&results);
    g_dbus_method_invocation_return_dbus_error(call, "org.freedesktop.DBus.Error.UnknownMethod",
                                               method);
    return;
  }
  g_dbus_method_invocation_return_value(
      call, g_variant_new("(u@a{sv})", response, g_variant_dict_end(&results)));
  std::fflush(stdout);
}

void OnCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
            GVariant* params, GDBusMethodInvocation* call, gpointer) {
  GVariantDict results;
  g_variant_dict_init(&results, nullptr);
  if (g_strcmp0(method, "CreateSession") == 0) {
    GVariant* options = g_variant_get_child_value(params, 0);
    const gchar* token = "t";
    const gchar* sessionToken = "s";
    g_variant_lookup(options, "handle_token", "&s", &token);
    g_variant_lookup(options, "session_handle_token", "&s", &sessionToken);
    const std::string request = RequestPath(sender, token);
    g_session =
        "/org/freedesktop/portal/desktop/session/" + std::string(sender + 1) + "/" + sessionToken;
    for (char& c : g_session) {
      if (c == '.') c = '_';
    }
    g_dbus_method_invocation_return_value(call, g_variant_new("(o)", request.c_str()));
    g_variant_dict_insert(&results, "session_handle", "s", g_session.c_str());
    Respond(sender, request, 0, g_variant_dict_end(&results));
    std::printf("session %s\n", g_session.c_str());
    g_variant_unref(options);
  } else if (g_strcmp0(method, "BindShortcuts") == 0) {
    GVariant* shortcuts = g_variant_get_child_value(params, 1);
    GVariant* options = g_variant_get_child_value(params, 3);
    const gchar* token = "t";
    g_variant_lookup(options, "handle_token", "&s", &token);
    const std::string request = RequestPath(sender, token);
    g_dbus_method_invocation_return_value(call, g_variant_new("(o)", request.c_str()));
    PrintBinds(shortcuts);
    g_variant_dict_insert_value(
        &results, "shortcuts",
        g_refuse ? g_variant_new_array(G_VARIANT_TYPE("(sa{sv})"), nullptr, 0) : shortcuts);
    Respond(sender, request, 0, g_variant_dict_end(&results));
    g_variant_unref(options);
    g_variant_unref(shortcuts);
  } else {
    g_variant_dict_clear(&results);
    g_dbus_method_invocation_return_dbus_error(call, "org.freedesktop.DBus.Error.UnknownMethod",
                                               method);
    return;
  }
  std::fflush(stdout);
}

GVariant* OnGet(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**,
                gpointer) {
  return g_variant_new_uint32(1);
}

}  // namespace

int main(int argc, char** argv) {
  g_backend = argc > 1 && g_strcmp0(argv[1], "--backend") == 0;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (g_bus == nullptr) return 1;
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(g_backend ? kBackendXml : kXml, nullptr);
  static const GDBusInterfaceVTable vtable = {OnCall, OnGet, nullptr, {}};
  static const GDBusInterfaceVTable backendVtable = {OnBackendCall, OnGet, nullptr, {}};
  g_dbus_connection_register_object(g_bus, "/org/freedesktop/portal/desktop", node->interfaces[0],
                                    g_backend ? &backendVtable : &vtable, nullptr, nullptr,
                                    nullptr);
  g_bus_own_name_on_connection(
      g_bus,
      g_backend ? "org.freedesktop.impl.portal.desktop.talmartest"
                : "org.freedesktop.portal.Desktop",
      // A real front end started by the bus for someone else gives the name up.
      g_backend ? G_BUS_NAME_OWNER_FLAGS_NONE : G_BUS_NAME_OWNER_FLAGS_REPLACE,
      [](GDBusConnection*, const gchar*, gpointer) {
        std::printf("ready\n");
        std::fflush(stdout);
      },
      nullptr, nullptr, nullptr);
  g_unix_signal_add(
      SIGUSR1,
      [](gpointer) -> gboolean {
        g_dbus_connection_emit_signal(
            g_bus, nullptr, "/org/freedesktop/portal/desktop",
            g_backend ? "org.freedesktop.impl.portal.GlobalShortcuts"
                      : "org.freedesktop.portal.GlobalShortcuts",
            "Activated",
            g_variant_new("(ost@a{sv})", g_session.c_str(), g_lastId.c_str(),
                          static_cast<guint64>(0),
                          g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
            nullptr);
        return G_SOURCE_CONTINUE;
      },
      nullptr);
  g_unix_signal_add(
      SIGUSR2,
      [](gpointer) -> gboolean {
        g_refuse = true;
        return G_SOURCE_CONTINUE;
      },
      nullptr);
  g_unix_signal_add(
      SIGTERM,
      [](gpointer l) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(l));
        return G_SOURCE_REMOVE;
      },
      loop);
  g_timeout_add_seconds(
      60,
      [](gpointer l) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(l));
        return G_SOURCE_REMOVE;
      },
      loop);
  g_main_loop_run(loop);
  return 0;
}
