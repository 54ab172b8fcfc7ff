#include "platform/desktop/PopupMenu.h"

#include <gtk/gtk.h>

#include <map>

#include "DesktopImpl.h"
#include "platform/window/detail/WindowImpl.h"

namespace platform {

namespace detail {

GDBusConnection* SessionBus() {
  static GDBusConnection* bus = [] {
    GError* error = nullptr;
    GDBusConnection* c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (error != nullptr) g_error_free(error);
    return c;
  }();
  return bus;
}

std::string ValidUtf8(const std::string& text) {
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string out(valid);
  g_free(valid);
  return out;
}

namespace {
GtkWidget* g_openMenu = nullptr;
}

GtkWidget* CurrentPopupMenu() {
  return g_openMenu;
}

// "&x" marks the access key and "&&" is "&"; the toolkit and dbusmenu write those "_x" and "&",
// and a literal "_" as "__".
std::string MenuLabel(const std::string& text) {
  const std::string caption = ValidUtf8(text);
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    const char c = caption[i];
    if (c == '_') {
      out += "__";
    } else if (c == '&' && i + 1 < caption.size()) {
      out += caption[i + 1] == '&' ? '&' : '_';
      if (caption[i + 1] == '&') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace detail

namespace {

std::map<HWND, std::vector<MenuItem>>& Menus() {
  static auto* const menus = new std::map<HWND, std::vector<MenuItem>>;  // process lifetime
  return *menus;
}

struct ItemTarget {
  HWND hwnd;
  UINT id;
};

}  // namespace

bool SetWindowMenu(HWND hwnd, std::vector<MenuItem> items) {
  if (!IsWindow(hwnd)) return false;
  Menus()[hwnd] = std::move(items);
  detail::TrayWindowMenuChanged(hwnd);
  return true;
}

std::vector<MenuItem> GetWindowMenu(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    Menus().erase(hwnd);  // a window that went keeps no menu
    return {};
  }
  auto it = Menus().find(hwnd);
  return it == Menus().end() ? std::vector<MenuItem>{} : it->second;
}

bool PopupMenu(HWND hwnd) {
  return PopupMenu(hwnd, GetWindowMenu(hwnd));
}

bool PopupMenu(HWND hwnd, const std::vector<MenuItem>& items) {
  if (!IsWindow(hwnd) || items.empty() || gdk_display_get_default() == nullptr) return false;
  if (detail::g_openMenu != nullptr) gtk_menu_shell_cancel(GTK_MENU_SHELL(detail::g_openMenu));

  GtkWidget* menu = gtk_menu_new();
  for (const MenuItem& item : items) {
    GtkWidget* w = item.separator
                       ? gtk_separator_menu_item_new()
                       : gtk_menu_item_new_with_mnemonic(detail::MenuLabel(item.caption).c_str());
    gtk_widget_set_sensitive(w, item.enabled);
    if (!item.separator) {
      g_signal_connect_data(
          w, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data) {
            const auto* t = static_cast<ItemTarget*>(data);
            PostMessage(t->hwnd, WM_COMMAND, t->id & 0xFFFF, 0);
          }),
          new ItemTarget{hwnd, item.id},
          [](gpointer data, GClosure*) { delete static_cast<ItemTarget*>(data); },
          GConnectFlags(0));
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), w);
  }
  gtk_widget_show_all(menu);
  // The chosen item is activated after the menu deactivates: the menu goes from an idle.
  g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell* shell, gpointer) {
                     if (detail::g_openMenu == GTK_WIDGET(shell)) detail::g_openMenu = nullptr;
                     g_idle_add(
                         [](gpointer w) -> gboolean {
                           gtk_widget_destroy(GTK_WIDGET(w));
                           return G_SOURCE_REMOVE;
                         },
                         shell);
                   }),
                   nullptr);
  detail::g_openMenu = menu;
  GdkEvent* trigger = gtk_get_current_event();
  if (trigger == nullptr) {
    // Asked for outside any input event (a tray host's call over the bus): a button release at
    // the pointer's place on the screen stands for the event.
    GdkDisplay* display = gdk_display_get_default();
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
    GdkScreen* screen = nullptr;
    int x = 0, y = 0;
    gdk_device_get_position(pointer, &screen, &x, &y);
    trigger = gdk_event_new(GDK_BUTTON_RELEASE);
    trigger->button.window = GDK_WINDOW(g_object_ref(gdk_screen_get_root_window(screen)));
    trigger->button.time = gtk_get_current_event_time();
    trigger->button.x = trigger->button.x_root = x;
    trigger->button.y = trigger->button.y_root = y;
    trigger->button.button = 3;
    gdk_event_set_device(trigger, pointer);
  }
  gtk_menu_popup_at_pointer(GTK_MENU(menu), trigger);
  gdk_event_free(trigger);
  if (!gtk_widget_get_visible(menu)) {
    detail::g_openMenu = nullptr;
    gtk_widget_destroy(menu);
    return false;
  }
  return true;
}

bool IsPopupMenuOpen() {
  return detail::g_openMenu != nullptr;
}

}  // namespace platform
