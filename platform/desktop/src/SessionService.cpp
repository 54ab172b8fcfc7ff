#include "platform/desktop/SessionService.h"

#include <gio/gio.h>

#include <unistd.h>
#include <cstring>
#include <map>
#include <memory>

#include "DesktopImpl.h"
#include "platform/system/EventLog.h"
#include "platform/system/detail/Guarded.h"

namespace platform {

namespace {

constexpr int kCallTimeoutMs = 25000;

struct Names {
  std::string bus, path, iface;
};

Names NamesFor(const std::string& service, const std::string& topic) {
  Names n;
  n.bus = service + "." + topic;
  n.path = "/" + service + "/" + topic;
  for (char& c : n.path) {
    if (c == '.') c = '/';
  }
  n.iface = service + ".DDE";
  return n;
}

struct Service {
  Names names;
  HWND hwnd = 0;
  guint registration = 0;
  GDBusNodeInfo* node = nullptr;
};

std::map<std::string, std::unique_ptr<Service>>& Services() {
  static std::map<std::string, std::unique_ptr<Service>> services;
  return services;
}

GDBusNodeInfo* NodeFor(const std::string& iface) {
  const std::string xml = "<node><interface name='" + iface +
                          "'><method name='Execute'><arg type='s' name='command' direction='in'/>"
                          "</method></interface></node>";
  return g_dbus_node_info_new_for_xml(xml.c_str(), nullptr);
}

// The reason the window gave for the command it is refusing now.
std::string& Refusal() {
  static std::string refusal;
  return refusal;
}

void OnMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
              GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
  const auto* svc = static_cast<Service*>(data);
  if (g_strcmp0(method, "Execute") != 0) {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                          "no such method");
    return;
  }
  // The session bus admits only the user's own connections; a caller of another user (a bus
  // opened up by its configuration) is refused all the same.
  GVariant* uid = g_dbus_connection_call_sync(
      g_dbus_method_invocation_get_connection(invocation), "org.freedesktop.DBus",
      "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetConnectionUnixUser",
      g_variant_new("(s)", g_dbus_method_invocation_get_sender(invocation)), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
  guint32 caller = G_MAXUINT32;
  if (uid != nullptr) {
    g_variant_get(uid, "(u)", &caller);
    g_variant_unref(uid);
  }
  if (caller != getuid()) {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED,
                                          "only the user's own programs may send commands");
    return;
  }
  const gchar* text = nullptr;
  gsize length = 0;
  g_variant_get(params, "(&s)", &text);
  length = text != nullptr ? std::strlen(text) : 0;
  if (length == 0 || length > kMaxDdeCommand) {
    g_dbus_method_invocation_return_error(
        invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
        length == 0 ? "the command text is empty" : "the command text is too long");
    return;
  }
  const std::string command(text, length);
  Refusal().clear();
  const LRESULT accepted = Guarded(
      "execute command",
      [&] { return SendMessage(svc->hwnd, WM_DDE_EXECUTE, 0, reinterpret_cast<LPARAM>(&command)); },
      LRESULT{0});
  if (accepted != 0) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } else {
    const std::string error = svc->names.iface + ".Error.Refused";
    const std::string why =
        Refusal().empty() ? std::string("the window did not accept the command") : Refusal();
    g_dbus_method_invocation_return_dbus_error(invocation, error.c_str(), why.c_str());
  }
}

const GDBusInterfaceVTable kVTable = {OnMethod, nullptr, nullptr, {}};

}  // namespace

void SetDdeRefusal(const std::string& why) {
  Refusal() = why;
}

bool StartDdeService(const std::string& service, const std::string& topic, HWND hwnd) {
  GDBusConnection* bus = detail::SessionBus();
  const Names names = NamesFor(service, topic);
  if (bus == nullptr || !IsWindow(hwnd) || !g_dbus_is_name(names.bus.c_str()) ||
      !g_variant_is_object_path(names.path.c_str()) || Services().count(names.bus) != 0) {
    return false;
  }
  // Owning the name without queueing: a second instance is told at once that it is taken.
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", names.bus.c_str(), 4u /* DO_NOT_QUEUE */), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
  guint32 result = 0;
  if (reply != nullptr) {
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
  }
  if (result != 1 /* PRIMARY_OWNER */) {
    LogEvent("session service " + names.bus + " is offered by another process");
    return false;
  }
  auto svc = std::make_unique<Service>();
  svc->names = names;
  svc->hwnd = hwnd;
  svc->node = NodeFor(names.iface);
  svc->registration = g_dbus_connection_register_object(
      bus, names.path.c_str(), svc->node->interfaces[0], &kVTable, svc.get(), nullptr, nullptr);
  if (svc->registration == 0) {
    g_dbus_node_info_unref(svc->node);
    g_dbus_connection_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "ReleaseName",
                           g_variant_new("(s)", names.bus.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           -1, nullptr, nullptr, nullptr);
    return false;
  }
  Services()[names.bus] = std::move(svc);
  return true;
}

void StopDdeService(const std::string& service, const std::string& topic) {
  const Names names = NamesFor(service, topic);
  auto it = Services().find(names.bus);
  if (it == Services().end()) return;
  GDBusConnection* bus = detail::SessionBus();
  g_dbus_connection_unregister_object(bus, it->second->registration);
  g_dbus_node_info_unref(it->second->node);
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReleaseName",
      g_variant_new("(s)", names.bus.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
      nullptr, nullptr);
  if (reply != nullptr) g_variant_unref(reply);
  Services().erase(it);
}

DdeResult DdeExecute(const std::string& service, const std::string& topic,
                     const std::string& command, std::string* message) {
  auto say = [&](DdeResult r, const std::string& text) {
    if (message != nullptr) *message = text;
    return r;
  };
  if (command.empty()) return say(DdeResult::BadText, "the address is empty");
  if (command.size() > kMaxDdeCommand) return say(DdeResult::BadText, "the address is too long");
  if (!g_utf8_validate(command.data(), static_cast<gssize>(command.size()), nullptr)) {
    return say(DdeResult::BadText, "the address is not valid UTF-8 text");
  }
  if (command.find('\0') != std::string::npos) {
    return say(DdeResult::BadText, "the address contains a NUL character");
  }
  GDBusConnection* bus = detail::SessionBus();
  if (bus == nullptr)
    return say(DdeResult::NoBus,
               "no session bus: no running client can be reached to open the address in");
  const Names names = NamesFor(service, topic);
  GError* error = nullptr;
  GVariant* reply =
      g_dbus_connection_call_sync(bus, names.bus.c_str(), names.path.c_str(), names.iface.c_str(),
                                  "Execute", g_variant_new("(s)", command.c_str()), nullptr,
                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &error);
  if (reply != nullptr) {
    g_variant_unref(reply);
    return DdeResult::Accepted;
  }
  const bool noServer = g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
                        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
                        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT);
  std::string text = error != nullptr ? error->message : "unknown error";
  if (error != nullptr) {
    gchar* remote = g_dbus_error_get_remote_error(error);
    if (remote != nullptr) {
      g_dbus_error_strip_remote_error(error);
      text = error->message;
      g_free(remote);
    }
    g_error_free(error);
  }
  if (noServer)
    return say(
        DdeResult::NoServer,
        "there is no running client to open the address in (nothing offers " + names.bus + ")");
  return say(DdeResult::Refused, "the running client did not open it: " + text);
}

}  // namespace platform
