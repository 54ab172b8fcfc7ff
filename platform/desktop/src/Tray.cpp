#include "platform/desktop/Tray.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "DesktopImpl.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/gdi/detail/IconImpl.h"
#include "platform/system/EventLog.h"
#include "platform/system/detail/Guarded.h"

// Each icon is a StatusNotifierItem while a StatusNotifierWatcher is on the session bus, and an
// XEmbed icon (GtkStatusIcon, the toolkit's XEmbed client) otherwise. The watcher is followed
// for as long as an icon exists, so an icon moves to the other path when a tray host starts or
// ends. All StatusNotifierItems of the process share one object, /StatusNotifierItem, and a
// call is told apart by the bus name it was addressed to.

namespace platform {

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemIface = "org.kde.StatusNotifierItem";
constexpr int kSyncTimeoutMs = 5000;

constexpr const char* kItemXml =
    "<node><interface name='org.kde.StatusNotifierItem'>"
    "<property name='Category' type='s' access='read'/>"
    "<property name='Id' type='s' access='read'/>"
    "<property name='Title' type='s' access='read'/>"
    "<property name='Status' type='s' access='read'/>"
    "<property name='WindowId' type='i' access='read'/>"
    "<property name='IconName' type='s' access='read'/>"
    "<property name='IconPixmap' type='a(iiay)' access='read'/>"
    "<property name='OverlayIconName' type='s' access='read'/>"
    "<property name='OverlayIconPixmap' type='a(iiay)' access='read'/>"
    "<property name='AttentionIconName' type='s' access='read'/>"
    "<property name='AttentionIconPixmap' type='a(iiay)' access='read'/>"
    "<property name='AttentionMovieName' type='s' access='read'/>"
    "<property name='ToolTip' type='(sa(iiay)ss)' access='read'/>"
    "<property name='ItemIsMenu' type='b' access='read'/>"
    "<property name='Menu' type='o' access='read'/>"
    "<method name='ContextMenu'><arg name='x' type='i' direction='in'/>"
    "<arg name='y' type='i' direction='in'/></method>"
    "<method name='Activate'><arg name='x' type='i' direction='in'/>"
    "<arg name='y' type='i' direction='in'/></method>"
    "<method name='SecondaryActivate'><arg name='x' type='i' direction='in'/>"
    "<arg name='y' type='i' direction='in'/></method>"
    "<method name='Scroll'><arg name='delta' type='i' direction='in'/>"
    "<arg name='orientation' type='s' direction='in'/></method>"
    "<signal name='NewTitle'/><signal name='NewIcon'/><signal name='NewToolTip'/>"
    "<signal name='NewStatus'><arg name='status' type='s'/></signal>"
    "</interface></node>";

struct Icon {
  unsigned serial = 0;  // handed to callbacks instead of the pointer
  HWND owner = 0;
  UINT id = 0;
  UINT callback = 0;
  HICON icon = 0;
  std::string tip;
  TrayPath path = TrayPath::None;
  // StatusNotifierItem
  std::string busName;
  std::string itemPath;
  guint registration = 0;
  std::string menuPath;
  DbusmenuServer* menu = nullptr;
  // XEmbed
  GtkStatusIcon* status = nullptr;
  // Balloon
  guint32 notification = 0;
  std::string balloonTitle, balloonText;
};

struct Tray {
  std::vector<std::unique_ptr<Icon>> icons;
  unsigned nextSerial = 1;
  guint watch = 0;
  bool watcherPresent = false;
  std::string watcherOwner;
  GDBusNodeInfo* itemNode = nullptr;
  guint closedSubscription = 0;
};

Tray& T() {
  static Tray tray;
  return tray;
}

Icon* FindIcon(HWND owner, UINT id) {
  for (auto& i : T().icons) {
    if (i->owner == owner && i->id == id) return i.get();
  }
  return nullptr;
}

Icon* FindSerial(unsigned serial) {
  for (auto& i : T().icons) {
    if (i->serial == serial) return i.get();
  }
  return nullptr;
}

std::string Field(const char* field, std::size_t size) {
  return detail::ValidUtf8(std::string(field, strnlen(field, size)));
}

void Notify(const Icon& icon, UINT mouseMessage) {
  if (icon.callback == 0) return;
  Guarded("tray callback", [&] {
    SendMessage(icon.owner, icon.callback, icon.id, static_cast<LPARAM>(mouseMessage));
  });
}

// ---- Pixels ----

GdkPixbuf* TransparentPixbuf() {
  GdkPixbuf* p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 16, 16);
  gdk_pixbuf_fill(p, 0);
  return p;
}

// The icon at 16, 22 and 32 pixels as ARGB32 in network byte order; empty without an icon.
GVariant* IconPixmaps(HICON icon) {
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE("a(iiay)"));
  GdkPixbuf* src = IconPixbuf(icon);
  if (src != nullptr) {
    for (int size : {16, 22, 32}) {
      GdkPixbuf* p = gdk_pixbuf_scale_simple(src, size, size, GDK_INTERP_BILINEAR);
      if (p == nullptr) continue;
      const int channels = gdk_pixbuf_get_n_channels(p);
      const int stride = gdk_pixbuf_get_rowstride(p);
      const guchar* px = gdk_pixbuf_read_pixels(p);
      std::vector<guchar> argb(static_cast<std::size_t>(size) * size * 4);
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          const guchar* s = px + y * stride + x * channels;
          guchar* d = &argb[(static_cast<std::size_t>(y) * size + x) * 4];
          d[0] = channels == 4 ? s[3] : 255;
          d[1] = s[0];
          d[2] = s[1];
          d[3] = s[2];
        }
      }
      g_object_unref(p);
      GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1);
      g_variant_builder_add(&b, "(ii@ay)", size, size, bytes);
    }
  }
  return g_variant_builder_end(&b);
}

// ---- The menu hosts show themselves (dbusmenu) ----

void FillMenu(Icon& icon) {
  if (icon.menu == nullptr) return;
  DbusmenuMenuitem* root = dbusmenu_menuitem_new();
  std::set<gint> used;
  for (const MenuItem& item : GetWindowMenu(icon.owner)) {
    const gint wanted = static_cast<gint>(item.id);
    DbusmenuMenuitem* mi = !item.separator && wanted > 0 && used.insert(wanted).second
                               ? dbusmenu_menuitem_new_with_id(wanted)
                               : dbusmenu_menuitem_new();
    if (item.separator) {
      dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_TYPE, "separator");
    } else {
      dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_LABEL,
                                     detail::MenuLabel(item.caption).c_str());
      dbusmenu_menuitem_property_set_bool(mi, DBUSMENU_MENUITEM_PROP_ENABLED, item.enabled);
      g_object_set_data(G_OBJECT(mi), "command", GUINT_TO_POINTER(item.id));
      g_signal_connect(mi, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                       G_CALLBACK(+[](DbusmenuMenuitem* m, guint, gpointer data) {
                         Icon* i = FindSerial(GPOINTER_TO_UINT(data));
                         if (i == nullptr) return;
                         const auto cmd =
                             GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(m), "command"));
                         PostMessage(i->owner, WM_COMMAND, cmd & 0xFFFF, 0);
                       }),
                       GUINT_TO_POINTER(icon.serial));
    }
    dbusmenu_menuitem_child_append(root, mi);
    g_object_unref(mi);
  }
  dbusmenu_server_set_root(icon.menu, root);
  g_object_unref(root);
}

// ---- StatusNotifierItem ----

void EmitItemSignal(const Icon& icon, const char* name) {
  if (icon.path != TrayPath::StatusNotifier || detail::SessionBus() == nullptr) return;
  g_dbus_connection_emit_signal(detail::SessionBus(), nullptr, icon.itemPath.c_str(), kItemIface,
                                name, nullptr, nullptr);
}

void OnItemMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                  GVariant*, GDBusMethodInvocation* invocation, gpointer data) {
  // Answer first: the window may open a menu or a modal box, and the host must not wait.
  g_dbus_method_invocation_return_value(invocation, nullptr);
  Icon* icon = FindSerial(GPOINTER_TO_UINT(data));
  if (icon == nullptr) return;
  if (g_strcmp0(method, "Activate") == 0) {
    Notify(*icon, WM_LBUTTONUP);
  } else if (g_strcmp0(method, "ContextMenu") == 0) {
    Notify(*icon, WM_RBUTTONUP);
  }
  // SecondaryActivate (middle button) and Scroll mean nothing to the owner.
}

GVariant* OnItemProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* name, GError** error, gpointer data) {
  Icon* icon = FindSerial(GPOINTER_TO_UINT(data));
  if (icon == nullptr) {
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT, "no item");
    return nullptr;
  }
  const std::string n = name;
  if (n == "Category") return g_variant_new_string("ApplicationStatus");
  if (n == "Id")
    return g_variant_new_string(g_get_prgname() != nullptr ? g_get_prgname() : "client");
  if (n == "Title") return g_variant_new_string(icon->tip.c_str());
  if (n == "Status") return g_variant_new_string("Active");
  if (n == "WindowId") return g_variant_new_int32(0);
  if (n == "IconPixmap") return IconPixmaps(icon->icon);
  if (n == "OverlayIconPixmap" || n == "AttentionIconPixmap") return IconPixmaps(0);
  if (n == "IconName" || n == "OverlayIconName" || n == "AttentionIconName" ||
      n == "AttentionMovieName") {
    return g_variant_new_string("");
  }
  if (n == "ToolTip") {
    return g_variant_new("(s@a(iiay)ss)", "", IconPixmaps(0), icon->tip.c_str(), "");
  }
  if (n == "ItemIsMenu") return g_variant_new_boolean(FALSE);
  if (n == "Menu") return g_variant_new_object_path(icon->menuPath.c_str());
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
  return nullptr;
}

const GDBusInterfaceVTable kItemVTable = {OnItemMethod, OnItemProperty, nullptr, {}};

void RegisterWithWatcher(Icon& icon) {
  g_dbus_connection_call(
      detail::SessionBus(), kWatcher, "/StatusNotifierWatcher", kWatcher,
      "RegisterStatusNotifierItem",
      g_variant_new("(s)",
                    icon.itemPath == kItemPath ? icon.busName.c_str() : icon.itemPath.c_str()),
      nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kSyncTimeoutMs, nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, &error);
        if (reply != nullptr) {
          g_variant_unref(reply);
          return;
        }
        LogEvent(std::string("tray watcher refused the icon: ") + error->message);
        g_error_free(error);
      },
      GUINT_TO_POINTER(icon.serial));
}

void ShowXEmbed(Icon& icon);

bool ShowItem(Icon& icon) {
  GDBusConnection* bus = detail::SessionBus();
  if (bus == nullptr) return false;
  auto& t = T();
  if (t.itemNode == nullptr) t.itemNode = g_dbus_node_info_new_for_xml(kItemXml, nullptr);
  // Hosts look for the item at /StatusNotifierItem of the name they are given; a second icon
  // of the process is registered by its own path instead.
  const bool first = std::none_of(t.icons.begin(), t.icons.end(), [&](const auto& i) {
    return i.get() != &icon && i->itemPath == kItemPath;
  });
  icon.itemPath = first ? kItemPath : std::string(kItemPath) + "/" + std::to_string(icon.serial);
  icon.registration = g_dbus_connection_register_object(
      bus, icon.itemPath.c_str(), t.itemNode->interfaces[0], &kItemVTable,
      GUINT_TO_POINTER(icon.serial), nullptr, nullptr);
  if (icon.registration == 0) {
    icon.itemPath.clear();
    return false;
  }
  icon.busName =
      "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(icon.serial);
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", icon.busName.c_str(), 4u), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, kSyncTimeoutMs, nullptr, nullptr);
  guint32 owned = 0;
  if (reply != nullptr) {
    g_variant_get(reply, "(u)", &owned);
    g_variant_unref(reply);
  }
  if (owned != 1) {
    g_dbus_connection_unregister_object(bus, icon.registration);
    icon.registration = 0;
    icon.itemPath.clear();
    icon.busName.clear();
    return false;
  }
  icon.menuPath = "/MenuBar/" + std::to_string(icon.serial);
  icon.menu = dbusmenu_server_new(icon.menuPath.c_str());
  FillMenu(icon);
  icon.path = TrayPath::StatusNotifier;
  RegisterWithWatcher(icon);
  return true;
}

void HideItem(Icon& icon) {
  if (icon.path != TrayPath::StatusNotifier) return;
  GDBusConnection* bus = detail::SessionBus();
  g_dbus_connection_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "ReleaseName",
                         g_variant_new("(s)", icon.busName.c_str()), nullptr,
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  if (icon.menu != nullptr) g_object_unref(icon.menu);
  icon.menu = nullptr;
  g_dbus_connection_unregister_object(bus, icon.registration);
  icon.registration = 0;
  icon.itemPath.clear();
  icon.busName.clear();
  icon.path = TrayPath::None;
}

// ---- XEmbed ----

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

void SetStatusImage(Icon& icon) {
  GdkPixbuf* p = IconPixbuf(icon.icon);
  if (p != nullptr) {
    gtk_status_icon_set_from_pixbuf(icon.status, p);
  } else {
    // No image, but still a place in the tray that can be clicked.
    GdkPixbuf* empty = TransparentPixbuf();
    gtk_status_icon_set_from_pixbuf(icon.status, empty);
    g_object_unref(empty);
  }
}

void ShowXEmbed(Icon& icon) {
  if (gdk_display_get_default() == nullptr) return;
  icon.status = gtk_status_icon_new();
  SetStatusImage(icon);
  gtk_status_icon_set_tooltip_text(icon.status, icon.tip.c_str());
  gtk_status_icon_set_title(icon.status, icon.tip.c_str());
  g_signal_connect(icon.status, "button-release-event",
                   G_CALLBACK(+[](GtkStatusIcon*, GdkEventButton* ev, gpointer data) -> gboolean {
                     Icon* i = FindSerial(GPOINTER_TO_UINT(data));
                     if (i == nullptr) return FALSE;
                     if (ev->button == 1) Notify(*i, WM_LBUTTONUP);
                     if (ev->button == 3) Notify(*i, WM_RBUTTONUP);
                     return TRUE;
                   }),
                   GUINT_TO_POINTER(icon.serial));
  gtk_status_icon_set_visible(icon.status, TRUE);
  icon.path = TrayPath::XEmbed;
}

void HideXEmbed(Icon& icon) {
  if (icon.status == nullptr) return;
  gtk_status_icon_set_visible(icon.status, FALSE);
  g_signal_handlers_disconnect_by_data(icon.status, GUINT_TO_POINTER(icon.serial));
  g_object_unref(icon.status);
  icon.status = nullptr;
  icon.path = TrayPath::None;
}

G_GNUC_END_IGNORE_DEPRECATIONS

void Show(Icon& icon) {
  if (T().watcherPresent && ShowItem(icon)) return;
  ShowXEmbed(icon);
}

void Hide(Icon& icon) {
  HideItem(icon);
  HideXEmbed(icon);
}

// ---- Following the watcher ----

void OnWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer) {
  auto& t = T();
  const bool same = t.watcherPresent && t.watcherOwner == owner;
  t.watcherPresent = true;
  t.watcherOwner = owner;
  for (auto& i : t.icons) {
    if (i->path == TrayPath::StatusNotifier) {
      if (!same) RegisterWithWatcher(*i);  // a new watcher knows nothing of us
      continue;
    }
    HideXEmbed(*i);
    Show(*i);
  }
}

void OnWatcherVanished(GDBusConnection*, const gchar*, gpointer) {
  auto& t = T();
  t.watcherPresent = false;
  t.watcherOwner.clear();
  for (auto& i : t.icons) {
    if (i->path != TrayPath::StatusNotifier) continue;
    HideItem(*i);
    ShowXEmbed(*i);
  }
}

void FollowWatcher() {
  auto& t = T();
  GDBusConnection* bus = detail::SessionBus();
  if (t.watch != 0 || bus == nullptr) return;
  // Asked once now, so the first icon takes the right path at once; then followed.
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
      g_variant_new("(s)", kWatcher), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kSyncTimeoutMs,
      nullptr, nullptr);
  if (reply != nullptr) {
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    t.watcherPresent = true;
    t.watcherOwner = owner;
    g_variant_unref(reply);
  }
  t.watch = g_bus_watch_name_on_connection(bus, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                           OnWatcherAppeared, OnWatcherVanished, nullptr, nullptr);
}

// ---- Balloons ----

void FollowNotificationsClosed() {
  auto& t = T();
  GDBusConnection* bus = detail::SessionBus();
  if (t.closedSubscription != 0 || bus == nullptr) return;
  t.closedSubscription = g_dbus_connection_signal_subscribe(
      bus, nullptr, "org.freedesktop.Notifications", "NotificationClosed",
      "/org/freedesktop/Notifications", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* params,
         gpointer) {
        guint32 id = 0, reason = 0;
        if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(uu)"))) return;
        g_variant_get(params, "(uu)", &id, &reason);
        for (auto& i : T().icons) {
          if (i->notification == id) i->notification = 0;
        }
      },
      nullptr, nullptr);
}

void CloseBalloon(Icon& icon) {
  if (icon.notification != 0 && detail::SessionBus() != nullptr) {
    g_dbus_connection_call(detail::SessionBus(), "org.freedesktop.Notifications",
                           "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                           "CloseNotification", g_variant_new("(u)", icon.notification), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  }
  icon.notification = 0;
  icon.balloonTitle.clear();
  icon.balloonText.clear();
}

void ShowBalloon(Icon& icon, const std::string& title, const std::string& text, DWORD flags) {
  GDBusConnection* bus = detail::SessionBus();
  if (bus == nullptr) return;
  // The balloon that is up already is not shown again by a change of something else.
  if (icon.notification != 0 && icon.balloonTitle == title && icon.balloonText == text) return;
  FollowNotificationsClosed();
  icon.balloonTitle = title;
  icon.balloonText = text;
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "urgency",
                        g_variant_new_byte((flags & 0xF) == NIIF_ERROR ? 2 : 1));
  const char* appName = g_get_application_name() != nullptr ? g_get_application_name() : "";
  g_dbus_connection_call(
      bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.Notifications", "Notify",
      g_variant_new("(susssasa{sv}i)", appName, icon.notification, "", title.c_str(), text.c_str(),
                    nullptr, &hints, -1),
      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kSyncTimeoutMs, nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, &error);
        Icon* i = FindSerial(GPOINTER_TO_UINT(data));
        if (reply == nullptr) {
          LogEvent(std::string("balloon not shown: ") + error->message);
          g_error_free(error);
          return;
        }
        guint32 id = 0;
        g_variant_get(reply, "(u)", &id);
        g_variant_unref(reply);
        if (i != nullptr && !i->balloonText.empty()) {
          i->notification = id;
        } else if (detail::SessionBus() != nullptr) {
          // Hidden (or the icon deleted) before the server answered.
          g_dbus_connection_call(detail::SessionBus(), "org.freedesktop.Notifications",
                                 "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                 "CloseNotification", g_variant_new("(u)", id), nullptr,
                                 G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        }
      },
      GUINT_TO_POINTER(icon.serial));
}

void Apply(Icon& icon, const NOTIFYICONDATA& d, bool adding) {
  bool iconChanged = false, tipChanged = false;
  if (d.uFlags & NIF_MESSAGE) icon.callback = d.uCallbackMessage;
  if (d.uFlags & NIF_ICON) {
    iconChanged = icon.icon != d.hIcon || !adding;
    icon.icon = d.hIcon;
  }
  if (d.uFlags & NIF_TIP) {
    const std::string tip = Field(d.szTip, sizeof d.szTip);
    tipChanged = tip != icon.tip;
    icon.tip = tip;
  }
  if (!adding) {
    if (iconChanged) {
      EmitItemSignal(icon, "NewIcon");
      G_GNUC_BEGIN_IGNORE_DEPRECATIONS
      if (icon.status != nullptr) SetStatusImage(icon);
      G_GNUC_END_IGNORE_DEPRECATIONS
    }
    if (tipChanged) {
      EmitItemSignal(icon, "NewTitle");
      EmitItemSignal(icon, "NewToolTip");
      G_GNUC_BEGIN_IGNORE_DEPRECATIONS
      if (icon.status != nullptr) gtk_status_icon_set_tooltip_text(icon.status, icon.tip.c_str());
      G_GNUC_END_IGNORE_DEPRECATIONS
    }
  }
  if (d.uFlags & NIF_INFO) {
    const std::string text = Field(d.szInfo, sizeof d.szInfo);
    if (text.empty()) {
      CloseBalloon(icon);
    } else {
      ShowBalloon(icon, Field(d.szInfoTitle, sizeof d.szInfoTitle), text, d.dwInfoFlags);
    }
  }
}

}  // namespace

bool Shell_NotifyIcon(DWORD message, const NOTIFYICONDATA& data) {
  auto& t = T();
  Icon* icon = FindIcon(data.hWnd, data.uID);
  switch (message) {
    case NIM_ADD: {
      if (icon != nullptr || !IsWindow(data.hWnd)) return false;
      auto fresh = std::make_unique<Icon>();
      fresh->serial = t.nextSerial++;
      fresh->owner = data.hWnd;
      fresh->id = data.uID;
      Icon& i = *fresh;
      t.icons.push_back(std::move(fresh));
      Apply(i, data, true);
      FollowWatcher();
      Show(i);
      if (i.path == TrayPath::None) {
        t.icons.pop_back();
        return false;
      }
      return true;
    }
    case NIM_MODIFY:
      if (icon == nullptr) return false;
      Apply(*icon, data, false);
      return true;
    case NIM_DELETE: {
      if (icon == nullptr) return false;
      CloseBalloon(*icon);
      Hide(*icon);
      t.icons.erase(std::find_if(t.icons.begin(), t.icons.end(),
                                 [&](const auto& p) { return p.get() == icon; }));
      return true;
    }
    default:
      return false;
  }
}

TrayPath GetTrayIconPath(HWND hWnd, UINT uID) {
  const Icon* icon = FindIcon(hWnd, uID);
  return icon != nullptr ? icon->path : TrayPath::None;
}

std::string GetTrayIconBusName(HWND hWnd, UINT uID) {
  const Icon* icon = FindIcon(hWnd, uID);
  return icon != nullptr ? icon->busName : std::string();
}

bool GetTrayIconRect(HWND hWnd, UINT uID, RECT* rect) {
  const Icon* icon = FindIcon(hWnd, uID);
  if (icon == nullptr || icon->status == nullptr || rect == nullptr) return false;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  if (!gtk_status_icon_is_embedded(icon->status)) return false;
  GdkRectangle area;
  if (!gtk_status_icon_get_geometry(icon->status, nullptr, &area, nullptr)) return false;
  G_GNUC_END_IGNORE_DEPRECATIONS
  if (area.width <= 1 || area.height <= 1) return false;
  *rect = RECT{area.x, area.y, area.x + area.width, area.y + area.height};
  return true;
}

namespace detail {

void TrayWindowMenuChanged(HWND hwnd) {
  for (auto& i : T().icons) {
    if (i->owner == hwnd) FillMenu(*i);
  }
}

}  // namespace detail

}  // namespace platform
