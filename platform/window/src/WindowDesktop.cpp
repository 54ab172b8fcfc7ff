// The desktop around our windows: the work area and screen size, and the desktop-wide changes
// (work area, monitors, compositor) that the windows hear of as messages.

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include "platform/window/detail/WindowGtk.h"

namespace platform {

namespace detail {

namespace {

bool g_settingQueued = false;

void QueueSettingChange() {
  if (g_settingQueued) return;
  g_settingQueued = true;
  g_idle_add(
      [](gpointer) -> gboolean {
        g_settingQueued = false;
        Guarded("setting-change", []() -> gboolean {
          for (HWND h : AllWindows()) {
            WindowRecord* rec = Find(h);
            if (rec != nullptr && IsTopLevel(*rec)) SendMessage(h, WM_SETTINGCHANGE, 0x2F, 0);
          }
          return FALSE;
        });
        return G_SOURCE_REMOVE;
      },
      nullptr);
}

GdkFilterReturn RootFilter(GdkXEvent* xevent, GdkEvent*, gpointer) {
  const auto* xe = static_cast<XEvent*>(xevent);
  if (xe->type == PropertyNotify) {
    static Atom workarea = gdk_x11_get_xatom_by_name("_NET_WORKAREA");
    if (xe->xproperty.atom == workarea) QueueSettingChange();
  }
  return GDK_FILTER_CONTINUE;
}

void OnCompositedChanged(GdkScreen*, gpointer) {
  Guarded("composited-changed", []() -> gboolean {
    CompositingChanged();
    return FALSE;
  });
}

}  // namespace

void WatchDesktopOnce() {
  static bool watching = false;
  if (watching) return;
  watching = true;
  GdkScreen* screen = gdk_screen_get_default();
  g_signal_connect(screen, "composited-changed", G_CALLBACK(OnCompositedChanged), nullptr);
  g_signal_connect(screen, "monitors-changed",
                   G_CALLBACK(+[](GdkScreen*, gpointer) { QueueSettingChange(); }), nullptr);
  g_signal_connect(screen, "size-changed",
                   G_CALLBACK(+[](GdkScreen*, gpointer) { QueueSettingChange(); }), nullptr);
  if (GDK_IS_X11_SCREEN(screen)) {
    GdkWindow* root = gdk_screen_get_root_window(screen);
    gdk_window_set_events(root,
                          GdkEventMask(gdk_window_get_events(root) | GDK_PROPERTY_CHANGE_MASK));
    gdk_window_add_filter(root, RootFilter, nullptr);
  }
}

}  // namespace detail

using namespace detail;

namespace {
GdkMonitor* PrimaryMonitor() {
  GdkDisplay* d = gdk_display_get_default();
  if (d == nullptr) return nullptr;
  GdkMonitor* m = gdk_display_get_primary_monitor(d);
  return m != nullptr ? m : gdk_display_get_monitor(d, 0);
}
}  // namespace

RECT GetWorkArea() {
  GdkMonitor* m = PrimaryMonitor();
  if (m == nullptr) return {};
  GdkRectangle r{};
  gdk_monitor_get_workarea(m, &r);
  return RECT{r.x, r.y, r.x + r.width, r.y + r.height};
}

int GetSystemMetrics(int index) {
  GdkMonitor* m = PrimaryMonitor();
  if (m == nullptr) return 0;
  GdkRectangle r{};
  gdk_monitor_get_geometry(m, &r);
  switch (index) {
    case SM_CXSCREEN:
      return r.width;
    case SM_CYSCREEN:
      return r.height;
    default:
      return 0;
  }
}

}  // namespace platform
