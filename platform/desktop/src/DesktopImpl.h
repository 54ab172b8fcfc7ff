#pragma once

// What the desktop services (tray, pop-up menus, hot keys, the session service) share. Private
// to platform/.

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <string>

#include "platform/window/Window.h"

namespace platform::detail {

// The session bus, connected once; nullptr when there is none.
GDBusConnection* SessionBus();
// The text as valid UTF-8 (invalid bytes replaced), as D-Bus and the toolkit require.
std::string ValidUtf8(const std::string& text);
// A menu caption for the toolkit and dbusmenu ("&x" access keys become "_x").
std::string MenuLabel(const std::string& caption);
// The window's menu changed: tray icons owned by it re-export it.
void TrayWindowMenuChanged(HWND hwnd);
// The pop-up menu that is open now (tests click its items); nullptr when none.
GtkWidget* CurrentPopupMenu();

}  // namespace platform::detail
