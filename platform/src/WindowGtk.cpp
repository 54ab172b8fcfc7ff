// The toolkit half of the window layer (GTK 3 on X11): native windows, geometry, painting and
// the native events that become window messages. Regions and layering are in WindowLayered.cpp.
//
// Every signal handler receives the window's handle (never a pointer) and looks it up in the
// registry first, so a late event for a window that is gone does nothing. Handlers catch
// everything: no exception crosses back into GTK.

#define G_LOG_DOMAIN "platform-window"

#include "WindowGtk.h"

#include <gdk/gdkx.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "GdiWindow.h"
#include "Guarded.h"
#include "IconImpl.h"
#include "platform/EventLog.h"

namespace platform {

namespace detail {

namespace {

constexpr const char* kHwndKey = "platform-hwnd";

std::map<HWND, std::unique_ptr<NativeWindow>>& Natives() {
  static std::map<HWND, std::unique_ptr<NativeWindow>> natives;
  return natives;
}

// The widget handed to NativeCreate by CreateWidgetWindow.
GtkWidget* g_pendingHosted = nullptr;

HWND g_capture = 0;
bool g_captureGrabbed = false;  // we hold a seat grab for g_capture
HWND g_focus = 0;
HWND g_lostFocus = 0;

// The latest button press, for the move drag and double clicks.
struct Press {
  guint button = 0;
  guint32 time = 0;
  double xRoot = 0, yRoot = 0;
  HWND hwnd = 0;
  bool wasDouble = false;
};
Press g_lastPress;

std::set<guint16> g_keysDown;  // hardware key codes held, for the repeat bit

HWND HwndOf(gpointer data) { return static_cast<HWND>(GPOINTER_TO_UINT(data)); }

template <typename Handler>
void Connect(NativeWindow& n, gpointer instance, const char* signal, Handler handler,
             bool after = false) {
  const gulong id = g_signal_connect_data(instance, signal, G_CALLBACK(handler),
                                          GUINT_TO_POINTER(n.hwnd), nullptr,
                                          after ? G_CONNECT_AFTER : GConnectFlags(0));
  n.signals.push_back(SignalLink{G_OBJECT(instance), id});
}

void DisconnectAll(NativeWindow& n) {
  for (const SignalLink& s : n.signals) {
    if (s.instance != nullptr && g_signal_handler_is_connected(s.instance, s.id)) {
      g_signal_handler_disconnect(s.instance, s.id);
    }
  }
  n.signals.clear();
}

void Tag(GtkWidget* widget, HWND h) {
  g_object_set_data(G_OBJECT(widget), kHwndKey, GUINT_TO_POINTER(h));
}

GdkWindow* BinWindow(const NativeWindow& n) {
  if (n.client != nullptr && gtk_widget_get_realized(n.client)) {
    return gtk_layout_get_bin_window(GTK_LAYOUT(n.client));
  }
  if (n.hosted != nullptr) return gtk_widget_get_window(n.hosted);
  return nullptr;
}

bool IsTopLevel(const WindowRecord& rec) { return rec.native != nullptr && rec.native->window != nullptr; }

// ---- Screen origin of a client area ----

// The client area's top-left corner in screen pixels, from the geometry we keep (synchronous,
// as the desktop we stand in for answers right after SetWindowPos).
POINT ClientOrigin(HWND h) {
  POINT p;
  for (WindowRecord* rec = Find(h); rec != nullptr && rec->native != nullptr;) {
    p.x += rec->native->rect.left;
    p.y += rec->native->rect.top;
    if (rec->native->window != nullptr || rec->parent == 0) break;
    rec = Find(rec->parent);
  }
  return p;
}

LPARAM PackPoint(int x, int y) { return MAKELPARAM(x, y); }

// ---- Messages from geometry ----

WPARAM SizeKind(const NativeWindow& n) {
  if (n.iconic) return SIZE_MINIMIZED;
  return n.maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
}

void SendSize(HWND h) {
  NativeWindow* n = Native(h);
  if (n == nullptr) return;
  const WPARAM kind = SizeKind(*n);
  const LPARAM size = kind == SIZE_MINIMIZED ? 0 : PackPoint(n->rect.Width(), n->rect.Height());
  InvalidateBacking(h);  // drawing through device contexts follows the new size
  SendMessage(h, WM_SIZE, kind, size);
}

// ---- Widgets ----

GtkWidget* NewLayout(HWND h) {
  GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
  gtk_widget_add_events(layout, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                    GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK |
                                    GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                                    GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK |
                                    GDK_FOCUS_CHANGE_MASK);
  gtk_widget_set_can_focus(layout, TRUE);
  Tag(layout, h);
  return layout;
}

bool Decorated(DWORD style) {
  if ((style & WS_CAPTION) == WS_CAPTION) return true;
  return (style & WS_THICKFRAME) != 0 && (style & WS_POPUP) == 0;
}

void ApplyTopLevelStyle(WindowRecord& rec) {
  NativeWindow* n = rec.native;
  if (n == nullptr || n->window == nullptr) return;
  GtkWindow* win = GTK_WINDOW(n->window);
  if (gtk_window_get_decorated(win) != (Decorated(rec.style) ? TRUE : FALSE)) {
    gtk_window_set_decorated(win, Decorated(rec.style));
  }
  gtk_window_set_keep_above(win, (rec.exStyle & WS_EX_TOPMOST) != 0);
  const bool noTaskbar = (rec.exStyle & WS_EX_TOOLWINDOW) != 0 || rec.owner != 0;
  gtk_window_set_skip_taskbar_hint(win, noTaskbar);
  gtk_window_set_skip_pager_hint(win, noTaskbar);
}

// ---- Painting ----

struct PaintScope {
  HWND h;
  PaintScope(HWND hwnd, cairo_t* cr) : h(hwnd) {
    if (NativeWindow* n = Native(h)) n->paintContext = cr;
  }
  ~PaintScope() {
    if (NativeWindow* n = Native(h)) n->paintContext = nullptr;
  }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
};

void SendPaint(HWND h, cairo_t* cr) {
  PaintScope scope(h, cr);
  cairo_save(cr);
  SendMessage(h, WM_ERASEBKGND, 0, 0);
  cairo_restore(cr);
  cairo_save(cr);
  SendMessage(h, WM_PAINT, 0, 0);
  cairo_restore(cr);
  // What the window drew through device contexts (during this paint or before) goes on top.
  cairo_save(cr);
  PaintBackingStore(h, cr);
  cairo_restore(cr);
}

void (*g_firstFrameListener)() = nullptr;

// The top-level window that `h` is part of has put a frame on the screen.
void MarkDrawn(HWND h) {
  NativeWindow* top = Native(TopLevelOf(h));
  if (top == nullptr || top->window == nullptr || top->drawn) return;
  top->drawn = true;
  if (g_firstFrameListener != nullptr) g_firstFrameListener();
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
  return Guarded("draw", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    WindowRecord* rec = Find(h);
    NativeWindow* n = Native(h);
    if (rec == nullptr || n == nullptr || rec->destroying) return FALSE;
    MarkDrawn(h);
    if (!gtk_cairo_should_draw_window(cr, gtk_layout_get_bin_window(GTK_LAYOUT(widget)))) {
      return FALSE;
    }
    if (n->image) {
      // A per-pixel alpha window shows its image and nothing else; it gets no WM_PAINT.
      cairo_save(cr);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      cairo_set_source_surface(cr, n->image.get(), 0, 0);
      cairo_paint(cr);
      cairo_restore(cr);
      return FALSE;
    }
    if (PaintsThroughColorKey(h)) {
      const int w = gtk_widget_get_allocated_width(widget);
      const int hgt = gtk_widget_get_allocated_height(widget);
      Surface off(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(hgt, 1)));
      cairo_t* oc = cairo_create(off.get());
      SendPaint(h, oc);
      cairo_destroy(oc);
      NativeWindow* top = Native(TopLevelOf(h));
      n = Native(h);
      if (top == nullptr || n == nullptr) return FALSE;
      Region opaque = ApplyColorKey(off.get(), top->colorKey);
      cairo_save(cr);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      cairo_set_source_surface(cr, off.get(), 0, 0);
      cairo_paint(cr);
      cairo_restore(cr);
      if (!n->keyOpaque || !cairo_region_equal(n->keyOpaque.get(), opaque.get())) {
        n->keyOpaque = std::move(opaque);
        UpdateShape(TopLevelOf(h), true);
      }
      return FALSE;
    }
    SendPaint(h, cr);
    return FALSE;  // the layout draws the child windows over the painting
  });
}

// ---- Pointer ----

WPARAM KeyFlags(guint state) {
  WPARAM f = 0;
  if (state & GDK_BUTTON1_MASK) f |= MK_LBUTTON;
  if (state & GDK_BUTTON2_MASK) f |= MK_MBUTTON;
  if (state & GDK_BUTTON3_MASK) f |= MK_RBUTTON;
  if (state & GDK_SHIFT_MASK) f |= MK_SHIFT;
  if (state & GDK_CONTROL_MASK) f |= MK_CONTROL;
  return f;
}

WPARAM ButtonFlag(guint button) {
  switch (button) {
    case 1: return MK_LBUTTON;
    case 2: return MK_MBUTTON;
    case 3: return MK_RBUTTON;
    default: return 0;
  }
}

struct Target {
  HWND hwnd = 0;
  int x = 0, y = 0;
};

// Where a pointer event that arrived at window `h` goes: the capture window when there is one,
// otherwise `h` itself, but only for events on the layout's own windows (an event that a
// hosted widget left unhandled bubbles up here and is not ours).
bool RoutePointer(HWND h, GtkWidget* widget, GdkWindow* eventWindow, double x, double y,
                  double xRoot, double yRoot, Target& t) {
  if (g_capture != 0 && g_capture != h && Native(g_capture) != nullptr) {
    const POINT o = ClientOrigin(g_capture);
    t = Target{g_capture, static_cast<int>(std::floor(xRoot)) - o.x,
               static_cast<int>(std::floor(yRoot)) - o.y};
    return true;
  }
  gpointer owner = nullptr;
  gdk_window_get_user_data(eventWindow, &owner);
  if (owner != widget) return false;
  if (eventWindow == gtk_layout_get_bin_window(GTK_LAYOUT(widget))) {
    t = Target{h, static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))};
  } else {
    const POINT o = ClientOrigin(h);
    t = Target{h, static_cast<int>(std::floor(xRoot)) - o.x,
               static_cast<int>(std::floor(yRoot)) - o.y};
  }
  return true;
}

int DoubleClickTime() {
  gint ms = 400;
  if (GtkSettings* s = gtk_settings_get_default()) g_object_get(s, "gtk-double-click-time", &ms, nullptr);
  return ms;
}
int DoubleClickDistance() {
  gint px = 5;
  if (GtkSettings* s = gtk_settings_get_default()) g_object_get(s, "gtk-double-click-distance", &px, nullptr);
  return px;
}

// The second press of the same button, soon and near enough, on the same window, is a double
// click; a third press starts over (as on the desktop we stand in for).
bool IsDoubleClick(HWND h, const GdkEventButton* e) {
  const Press& p = g_lastPress;
  if (p.wasDouble || p.hwnd != h || p.button != e->button) return false;
  if (e->time - p.time > static_cast<guint32>(DoubleClickTime())) return false;
  const int d = DoubleClickDistance();
  return std::abs(e->x_root - p.xRoot) <= d && std::abs(e->y_root - p.yRoot) <= d;
}

gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* e, gpointer data) {
  return Guarded("button-press", [&]() -> gboolean {
    if (e->type != GDK_BUTTON_PRESS) return TRUE;  // GDK's own double/triple press events
    const HWND h = HwndOf(data);
    if (Native(h) == nullptr) return FALSE;
    Target t;
    if (!RoutePointer(h, widget, e->window, e->x, e->y, e->x_root, e->y_root, t)) return FALSE;
    const bool dbl = IsDoubleClick(t.hwnd, e);
    g_lastPress = Press{e->button, e->time, e->x_root, e->y_root, t.hwnd, dbl};
    if (t.hwnd == h && gtk_widget_get_can_focus(widget) && !gtk_widget_has_focus(widget)) {
      gtk_widget_grab_focus(widget);
    }
    UINT msg = 0;
    switch (e->button) {
      case 1: msg = dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN; break;
      case 2: msg = WM_MBUTTONDOWN; break;
      case 3: msg = dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN; break;
      default: return TRUE;
    }
    SendMessage(t.hwnd, msg, KeyFlags(e->state) | ButtonFlag(e->button), PackPoint(t.x, t.y));
    return TRUE;
  });
}

gboolean OnButtonRelease(GtkWidget* widget, GdkEventButton* e, gpointer data) {
  return Guarded("button-release", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    if (Native(h) == nullptr) return FALSE;
    Target t;
    if (!RoutePointer(h, widget, e->window, e->x, e->y, e->x_root, e->y_root, t)) return FALSE;
    UINT msg = 0;
    switch (e->button) {
      case 1: msg = WM_LBUTTONUP; break;
      case 2: msg = WM_MBUTTONUP; break;
      case 3: msg = WM_RBUTTONUP; break;
      default: return TRUE;
    }
    SendMessage(t.hwnd, msg, KeyFlags(e->state) & ~ButtonFlag(e->button), PackPoint(t.x, t.y));
    return TRUE;
  });
}

// The window a motion event being handled now shows the pointer over, when the event says so
// for certain (no capture, no button held, the point inside the window): leave tracking asked
// for from that message needs no round trip to the server to know where the pointer is.
HWND g_pointerKnownOver = 0;

gboolean OnMotion(GtkWidget* widget, GdkEventMotion* e, gpointer data) {
  return Guarded("motion", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    if (Native(h) == nullptr) return FALSE;
    Target t;
    if (!RoutePointer(h, widget, e->window, e->x, e->y, e->x_root, e->y_root, t)) return FALSE;
    const NativeWindow* target = Native(t.hwnd);
    const bool certain =
        g_capture == 0 && target != nullptr &&
        (e->state & (GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK)) == 0 && t.x >= 0 &&
        t.y >= 0 && t.x < target->rect.Width() && t.y < target->rect.Height();
    const HWND outer = std::exchange(g_pointerKnownOver, certain ? t.hwnd : 0);
    SendMessage(t.hwnd, WM_MOUSEMOVE, KeyFlags(e->state), PackPoint(t.x, t.y));
    g_pointerKnownOver = outer;
    return TRUE;
  });
}

gboolean OnScroll(GtkWidget* widget, GdkEventScroll* e, gpointer data) {
  return Guarded("scroll", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    if (Native(h) == nullptr) return FALSE;
    Target t;
    if (!RoutePointer(h, widget, e->window, e->x, e->y, e->x_root, e->y_root, t)) return FALSE;
    int delta = 0;
    switch (e->direction) {
      case GDK_SCROLL_UP: delta = 120; break;
      case GDK_SCROLL_DOWN: delta = -120; break;
      case GDK_SCROLL_SMOOTH: delta = static_cast<int>(std::lround(-e->delta_y * 120)); break;
      default: return TRUE;
    }
    if (delta == 0) return TRUE;
    // The wheel message carries screen coordinates.
    const WPARAM wParam = (static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16) | KeyFlags(e->state);
    SendMessage(t.hwnd, WM_MOUSEWHEEL, wParam,
                PackPoint(static_cast<int>(e->x_root), static_cast<int>(e->y_root)));
    return TRUE;
  });
}

// GDK turns a motion that crosses into another of our windows into crossing events only; the
// pointer did move, so the window entered hears of it as a mouse move.
gboolean OnEnter(GtkWidget* widget, GdkEventCrossing* e, gpointer data) {
  return Guarded("enter", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    NativeWindow* n = Native(h);
    if (n == nullptr || n->client == nullptr) return FALSE;
    if (e->window != gtk_layout_get_bin_window(GTK_LAYOUT(n->client))) return FALSE;
    if (e->mode != GDK_CROSSING_NORMAL && e->mode != GDK_CROSSING_UNGRAB) return FALSE;
    // Passing through on the way into a child window is not being entered.
    if (e->detail == GDK_NOTIFY_VIRTUAL || e->detail == GDK_NOTIFY_NONLINEAR_VIRTUAL) return FALSE;
    Target t;
    if (!RoutePointer(h, widget, e->window, e->x, e->y, e->x_root, e->y_root, t)) return FALSE;
    SendMessage(t.hwnd, WM_MOUSEMOVE, KeyFlags(e->state), PackPoint(t.x, t.y));
    return FALSE;
  });
}

gboolean OnLeave(GtkWidget* widget, GdkEventCrossing* e, gpointer data) {
  return Guarded("leave", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    NativeWindow* n = Native(h);
    if (n == nullptr || n->client == nullptr) return FALSE;
    // The client area is the bin window; a grab does not move the pointer.
    if (e->window != gtk_layout_get_bin_window(GTK_LAYOUT(n->client))) return FALSE;
    if (e->mode == GDK_CROSSING_GRAB || e->mode == GDK_CROSSING_GTK_GRAB) return FALSE;
    // Moving onto a child window leaves the client area too (NotifyInferior counts).
    if (n->trackLeave) {
      n->trackLeave = false;
      SendMessage(h, WM_MOUSELEAVE, 0, 0);
    }
    return FALSE;
  });
}

gboolean OnGrabBroken(GtkWidget*, GdkEventGrabBroken* e, gpointer data) {
  return Guarded("grab-broken", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    if (g_capture == h && g_captureGrabbed && !e->implicit) {
      g_captureGrabbed = false;
      g_capture = 0;
      SendMessage(h, WM_CAPTURECHANGED, 0, 0);
    }
    return FALSE;
  });
}

// ---- Focus and keys ----

gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer data) {
  return Guarded("focus-in", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    if (Native(h) == nullptr) return FALSE;
    // Within one top-level window the focus moves out of one window and into the next; the
    // one that lost it is the previous focus then.
    HWND previous = g_focus;
    if (previous == 0 && g_lostFocus != 0 && Native(g_lostFocus) != nullptr &&
        TopLevelOf(g_lostFocus) == TopLevelOf(h)) {
      previous = g_lostFocus;
    }
    g_lostFocus = 0;
    g_focus = h;
    SendMessage(h, WM_SETFOCUS, previous, 0);
    return FALSE;
  });
}

gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer data) {
  return Guarded("focus-out", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    if (Native(h) == nullptr) return FALSE;
    if (g_focus == h) g_focus = 0;
    g_lostFocus = h;
    SendMessage(h, WM_KILLFOCUS, 0, 0);
    return FALSE;
  });
}

WPARAM VirtualKey(guint keyval) {
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return keyval - GDK_KEY_a + 'A';
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return keyval;
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return keyval;
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) return 0x70 + (keyval - GDK_KEY_F1);
  if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) return 0x60 + (keyval - GDK_KEY_KP_0);
  switch (keyval) {
    case GDK_KEY_BackSpace: return VK_BACK;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab: return VK_TAB;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter: return VK_RETURN;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R: return VK_SHIFT;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R: return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_L:
    case GDK_KEY_Meta_R: return VK_MENU;
    case GDK_KEY_Pause: return 0x13;
    case GDK_KEY_Caps_Lock: return 0x14;
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_space: return VK_SPACE;
    case GDK_KEY_Page_Up: return 0x21;
    case GDK_KEY_Page_Down: return 0x22;
    case GDK_KEY_End: return 0x23;
    case GDK_KEY_Home: return 0x24;
    case GDK_KEY_Left: return VK_LEFT;
    case GDK_KEY_Up: return VK_UP;
    case GDK_KEY_Right: return VK_RIGHT;
    case GDK_KEY_Down: return VK_DOWN;
    case GDK_KEY_Insert: return 0x2D;
    case GDK_KEY_Delete: return 0x2E;
    default: return 0;
  }
}

// The key's code on the unshifted level, so Shift+1 is still the key '1'.
guint BaseKeyval(const GdkEventKey* e) {
  guint keyval = e->keyval;
  GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_window_get_display(e->window));
  guint base = 0;
  if (gdk_keymap_translate_keyboard_state(keymap, e->hardware_keycode, GdkModifierType(0),
                                          e->group, &base, nullptr, nullptr, nullptr)) {
    keyval = base;
  }
  return keyval;
}

gboolean OnKey(GtkWidget* widget, GdkEventKey* e, gpointer data) {
  return Guarded("key", [&]() -> gboolean {
    const HWND top = HwndOf(data);
    if (Native(top) == nullptr) return FALSE;
    HWND target = top;
    if (GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget))) {
      if (const HWND f = WindowFromWidget(focus); f != 0) target = f;
    }
    NativeWindow* n = Native(target);
    if (n == nullptr || n->hosted != nullptr) return FALSE;  // the hosted widget's own keys
    const bool down = e->type == GDK_KEY_PRESS;
    const WPARAM vk = VirtualKey(BaseKeyval(e));
    const bool alt = (e->state & GDK_MOD1_MASK) != 0;
    const bool sys = alt || vk == VK_F10 || vk == VK_MENU;
    bool repeat = false;
    if (down) {
      repeat = !g_keysDown.insert(e->hardware_keycode).second;
    } else {
      g_keysDown.erase(e->hardware_keycode);
    }
    LPARAM lParam = 1 | (static_cast<LPARAM>(e->hardware_keycode >= 8 ? e->hardware_keycode - 8 : 0) & 0xFF) << 16;
    if (repeat || !down) lParam |= LPARAM(1) << 30;
    if (!down) lParam |= static_cast<LPARAM>(0x80000000u);
    if (vk != 0) {
      const UINT msg = sys ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
      SendMessage(target, msg, vk, lParam);
    }
    if (down && !alt && Native(target) != nullptr) {
      gunichar ch = gdk_keyval_to_unicode(e->keyval);
      if ((e->state & GDK_CONTROL_MASK) != 0 && ch >= 0x40 && ch < 0x80) ch &= 0x1F;
      if (ch != 0 && ch != 0x7F) SendMessage(target, WM_CHAR, ch, lParam);
    }
    return TRUE;
  });
}

// ---- Top-level events ----

// Reads a top-level window's place back from the server and reports a move the configure
// notices did not (see OnConfigure).
void ScheduleOriginCheck(HWND h) {
  NativeWindow* n = Native(h);
  if (n == nullptr || n->window == nullptr || n->originCheck != 0) return;
  n->originCheck = g_timeout_add(
      100,
      [](gpointer data) -> gboolean {
        return Guarded("origin", [&]() -> gboolean {
          const HWND hwnd = HwndOf(data);
          NativeWindow* nw = Native(hwnd);
          if (nw == nullptr) return G_SOURCE_REMOVE;
          nw->originCheck = 0;
          GdkWindow* gw = nw->window != nullptr ? gtk_widget_get_window(nw->window) : nullptr;
          if (gw == nullptr || !gtk_widget_get_mapped(nw->window) || nw->pending) {
            return G_SOURCE_REMOVE;
          }
          int x = 0;
          int y = 0;
          gdk_window_get_origin(gw, &x, &y);
          if (x != nw->rect.left || y != nw->rect.top) {
            nw->rect = RECT{x, y, x + nw->rect.Width(), y + nw->rect.Height()};
            SendMessage(hwnd, WM_MOVE, 0, PackPoint(x, y));
          }
          return G_SOURCE_REMOVE;
        });
      },
      GUINT_TO_POINTER(h));
}

gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* e, gpointer data) {
  return Guarded("configure", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    NativeWindow* n = Native(h);
    if (n == nullptr) return FALSE;
    // Only the window manager's own notices (sent events) carry the frame's final place in root
    // coordinates; the server's are taken before the frame is placed, or relative to it. The
    // place is read back from the server shortly after every change instead, so a move the
    // window manager made without a notice is not missed either.
    int x = n->rect.left;
    int y = n->rect.top;
    if (e->send_event) {
      x = e->x;
      y = e->y;
    }
    ScheduleOriginCheck(h);
    const RECT r{x, y, x + e->width, y + e->height};
    if (n->pending) {
      if (r == n->pendingRect || g_get_monotonic_time() > n->pendingUntil) {
        n->pending = false;
      } else {
        return FALSE;  // an intermediate state of our own request
      }
    }
    const bool moved = r.left != n->rect.left || r.top != n->rect.top;
    const bool sized = r.Width() != n->rect.Width() || r.Height() != n->rect.Height();
    n->rect = r;
    if (moved) SendMessage(h, WM_MOVE, 0, PackPoint(r.left, r.top));
    if (sized && Native(h) != nullptr) SendSize(h);
    return FALSE;
  });
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer data) {
  return Guarded("window-state", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    NativeWindow* n = Native(h);
    if (n == nullptr) return FALSE;
    bool changed = false;
    if (e->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
      const bool iconic = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
      changed |= iconic != n->iconic;
      n->iconic = iconic;
    }
    if (e->changed_mask & GDK_WINDOW_STATE_MAXIMIZED) {
      const bool maximized = (e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
      changed |= maximized != n->maximized;
      n->maximized = maximized;
    }
    if (changed) SendSize(h);
    return FALSE;
  });
}

void OnTopLevelRealize(GtkWidget*, gpointer data) {
  Guarded("realize", [&]() -> gboolean {
    ReapplyShape(HwndOf(data));
    return FALSE;
  });
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  // The window manager's close request; the procedures decide, GTK never destroys the window.
  return Guarded("delete", [&]() -> gboolean {
    SendMessage(HwndOf(data), WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
  });
}

void OnLayoutRealize(GtkWidget*, gpointer data) {
  Guarded("realize", [&]() -> gboolean {
    NativeWindow* n = Native(HwndOf(data));
    if (n != nullptr && n->cursor != nullptr) {
      if (GdkWindow* bin = BinWindow(*n)) gdk_window_set_cursor(bin, n->cursor);
    }
    return FALSE;
  });
}

// ---- Desktop-wide notifications ----

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
    for (HWND h : AllWindows()) {
      WindowRecord* rec = Find(h);
      if (rec != nullptr && IsTopLevel(*rec) && (rec->exStyle & WS_EX_LAYERED) != 0) {
        UpdateShape(h, false);
      }
    }
    return FALSE;
  });
}

void WatchDesktopOnce() {
  static bool watching = false;
  if (watching) return;
  watching = true;
  GdkScreen* screen = gdk_screen_get_default();
  g_signal_connect(screen, "composited-changed", G_CALLBACK(OnCompositedChanged), nullptr);
  g_signal_connect(screen, "monitors-changed", G_CALLBACK(+[](GdkScreen*, gpointer) { QueueSettingChange(); }), nullptr);
  g_signal_connect(screen, "size-changed", G_CALLBACK(+[](GdkScreen*, gpointer) { QueueSettingChange(); }), nullptr);
  if (GDK_IS_X11_SCREEN(screen)) {
    GdkWindow* root = gdk_screen_get_root_window(screen);
    gdk_window_set_events(root, GdkEventMask(gdk_window_get_events(root) | GDK_PROPERTY_CHANGE_MASK));
    gdk_window_add_filter(root, RootFilter, nullptr);
  }
}

void ConnectClient(NativeWindow& n) {
  GtkWidget* c = n.client;
  Connect(n, c, "draw", OnDraw);
  Connect(n, c, "button-press-event", OnButtonPress);
  Connect(n, c, "button-release-event", OnButtonRelease);
  Connect(n, c, "motion-notify-event", OnMotion);
  Connect(n, c, "scroll-event", OnScroll);
  Connect(n, c, "enter-notify-event", OnEnter);
  Connect(n, c, "leave-notify-event", OnLeave);
  Connect(n, c, "grab-broken-event", OnGrabBroken);
  Connect(n, c, "focus-in-event", OnFocusIn);
  Connect(n, c, "focus-out-event", OnFocusOut);
  Connect(n, c, "realize", OnLayoutRealize, true);
}

void ConnectTopLevel(NativeWindow& n) {
  GtkWidget* w = n.window;
  Connect(n, w, "configure-event", OnConfigure);
  Connect(n, w, "window-state-event", OnWindowState);
  Connect(n, w, "delete-event", OnDelete);
  Connect(n, w, "realize", OnTopLevelRealize, true);
  Connect(n, w, "key-press-event", OnKey);
  Connect(n, w, "key-release-event", OnKey);
}

// Drops the native state of a window and its descendants (their widgets go with the root's).
void ForgetNative(HWND h) {
  WindowRecord* rec = Find(h);
  if (rec == nullptr) return;
  for (HWND c : rec->children) ForgetNative(c);
  auto it = Natives().find(h);
  if (it == Natives().end()) return;
  NativeWindow& n = *it->second;
  DisconnectAll(n);
  if (n.cursor != nullptr) g_object_unref(n.cursor);
  if (g_focus == h) g_focus = 0;
  if (g_lastPress.hwnd == h) g_lastPress = Press{};
  rec->native = nullptr;
  Natives().erase(it);
}

void Ungrab() {
  if (!g_captureGrabbed) return;
  g_captureGrabbed = false;
  if (GdkDisplay* d = gdk_display_get_default()) gdk_seat_ungrab(gdk_display_get_default_seat(d));
}

GdkDevice* Pointer() {
  GdkDisplay* d = gdk_display_get_default();
  if (d == nullptr) return nullptr;
  GdkSeat* seat = gdk_display_get_default_seat(d);
  return seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
}

GtkWindow* GtkTopLevel(HWND h) {
  NativeWindow* n = Native(TopLevelOf(h));
  return n != nullptr && n->window != nullptr ? GTK_WINDOW(n->window) : nullptr;
}

void Present(HWND h) {
  GtkWindow* win = GtkTopLevel(h);
  if (win == nullptr) return;
  GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(win));
  if (gw != nullptr && GDK_IS_X11_WINDOW(gw)) {
    gtk_window_present_with_time(win, gdk_x11_get_server_time(gw));
  } else {
    gtk_window_present(win);
  }
}

}  // namespace

NativeWindow* Native(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  return rec != nullptr ? rec->native : nullptr;
}

HWND TopLevelOf(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  while (rec != nullptr && rec->parent != 0 && (rec->native == nullptr || rec->native->window == nullptr)) {
    WindowRecord* up = Find(rec->parent);
    if (up == nullptr) break;
    rec = up;
  }
  return rec != nullptr ? rec->hwnd : 0;
}

bool ToolkitReady() { return gdk_display_get_default() != nullptr; }

bool NativeCreate(WindowRecord& rec, const CreateWindowArgs& args) {
  GtkWidget* hosted = std::exchange(g_pendingHosted, nullptr);
  if (!ToolkitReady()) return false;
  WatchDesktopOnce();
  auto native = std::make_unique<NativeWindow>();
  NativeWindow& n = *native;
  n.hwnd = rec.hwnd;
  n.rect = RECT{args.x, args.y, args.x + std::max(args.width, 0), args.y + std::max(args.height, 0)};
  // The window starts hidden; the core shows it after WM_CREATE when WS_VISIBLE was asked for.
  rec.style &= ~WS_VISIBLE;

  if (rec.parent != 0) {
    NativeWindow* parent = Native(rec.parent);
    if (parent == nullptr || parent->client == nullptr) return false;
    GtkWidget* widget = hosted;
    if (widget != nullptr) {
      n.hosted = widget;
      Tag(widget, rec.hwnd);
    } else {
      widget = n.client = NewLayout(rec.hwnd);
    }
    gtk_widget_set_size_request(widget, n.rect.Width(), n.rect.Height());
    gtk_layout_put(GTK_LAYOUT(parent->client), widget, n.rect.left, n.rect.top);
  } else {
    if (hosted != nullptr) return false;
    GtkWidget* win = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    n.window = win;
    Tag(win, rec.hwnd);
    gtk_widget_set_app_paintable(win, TRUE);  // the client area paints everything
    gtk_window_set_title(GTK_WINDOW(win), rec.title.c_str());
    gtk_window_move(GTK_WINDOW(win), n.rect.left, n.rect.top);
    gtk_window_resize(GTK_WINDOW(win), std::max(n.rect.Width(), 1), std::max(n.rect.Height(), 1));
    n.client = NewLayout(rec.hwnd);
    gtk_container_add(GTK_CONTAINER(win), n.client);
    gtk_widget_show(n.client);
    ConnectTopLevel(n);
  }
  if (n.client != nullptr) ConnectClient(n);
  rec.native = native.get();
  Natives()[rec.hwnd] = std::move(native);
  if (n.window != nullptr) {
    ApplyTopLevelStyle(rec);
    if (rec.owner != 0) NativeOwnerChanged(rec);
    if ((rec.exStyle & WS_EX_LAYERED) != 0) EnsureRgbaVisual(rec.hwnd);
  }
  return true;
}

void NativeDestroy(WindowRecord& rec) {
  DropBacking(rec.hwnd);
  NativeWindow* n = rec.native;
  if (n == nullptr) return;
  if (n->originCheck != 0) g_source_remove(n->originCheck);
  n->originCheck = 0;
  if (g_capture != 0 && TopLevelOf(g_capture) == TopLevelOf(rec.hwnd)) {
    // The capture may be a descendant; it is dropped without messages as the window goes.
    for (HWND c = g_capture; c != 0;) {
      if (c == rec.hwnd) {
        Ungrab();
        g_capture = 0;
        break;
      }
      WindowRecord* cr = Find(c);
      c = cr != nullptr ? cr->parent : 0;
    }
  }
  GtkWidget* outer = n->Outer();
  g_object_ref(outer);
  ForgetNative(rec.hwnd);
  gtk_widget_destroy(outer);
  g_object_unref(outer);
}

void NativeStyleChanged(WindowRecord& rec, DWORD oldStyle, DWORD oldExStyle) {
  NativeWindow* n = rec.native;
  if (n == nullptr) return;
  const DWORD visible = rec.style & WS_VISIBLE;
  if (visible != (oldStyle & WS_VISIBLE)) {
    // Restore the bit for ShowWindow to see the change.
    rec.style = (rec.style & ~WS_VISIBLE) | (oldStyle & WS_VISIBLE);
    ShowWindow(rec.hwnd, visible != 0 ? SW_SHOWNOACTIVATE : SW_HIDE);
  }
  if (n->window == nullptr) return;
  ApplyTopLevelStyle(rec);
  const bool layered = (rec.exStyle & WS_EX_LAYERED) != 0;
  if (layered && (oldExStyle & WS_EX_LAYERED) == 0) EnsureRgbaVisual(rec.hwnd);
  if (layered != ((oldExStyle & WS_EX_LAYERED) != 0)) {
    if (!layered) {
      n->layeredFlags = 0;
      n->image.Reset();
      n->imageRegion.Reset();
      gtk_widget_set_opacity(n->window, 1.0);
    }
    UpdateShape(rec.hwnd, false);
    gtk_widget_queue_draw(n->window);
  }
}

void NativeOwnerChanged(WindowRecord& rec) {
  NativeWindow* n = rec.native;
  if (n == nullptr || n->window == nullptr) return;
  GtkWindow* owner = rec.owner != 0 ? GtkTopLevel(rec.owner) : nullptr;
  if (owner == GTK_WINDOW(n->window)) owner = nullptr;
  gtk_window_set_transient_for(GTK_WINDOW(n->window), owner);
  ApplyTopLevelStyle(rec);
}

void NativeTitleChanged(WindowRecord& rec) {
  if (rec.native != nullptr && rec.native->window != nullptr) {
    gtk_window_set_title(GTK_WINDOW(rec.native->window), rec.title.c_str());
  }
}

void NativeParentChanged(WindowRecord& rec, HWND oldParent) {
  NativeWindow* n = rec.native;
  NativeWindow* np = Native(rec.parent);
  if (n == nullptr || np == nullptr || np->client == nullptr) return;
  // Keep the window where it is on the screen, in the new parent's coordinates.
  POINT screen{n->rect.left, n->rect.top};
  if (n->window == nullptr && oldParent != 0) {
    const POINT o = ClientOrigin(oldParent);
    screen.x += o.x;
    screen.y += o.y;
  }
  GtkWidget* widget = n->Inner();
  g_object_ref(widget);
  if (n->window != nullptr) {
    // A top-level window gives up its GtkWindow; its client area moves into the new parent.
    GtkWidget* win = n->window;
    std::erase_if(n->signals, [&](const SignalLink& s) {
      if (s.instance != G_OBJECT(win)) return false;
      g_signal_handler_disconnect(s.instance, s.id);
      return true;
    });
    gtk_container_remove(GTK_CONTAINER(win), widget);
    n->window = nullptr;
    gtk_widget_destroy(win);
    n->iconic = n->maximized = false;
    n->windowRegion.Reset();
  } else if (GtkWidget* old = gtk_widget_get_parent(widget)) {
    gtk_container_remove(GTK_CONTAINER(old), widget);
  }
  const POINT origin = ClientOrigin(rec.parent);
  const int w = n->rect.Width(), h = n->rect.Height();
  n->rect = RECT{screen.x - origin.x, screen.y - origin.y, screen.x - origin.x + w, screen.y - origin.y + h};
  gtk_widget_set_size_request(widget, w, h);
  gtk_layout_put(GTK_LAYOUT(np->client), widget, n->rect.left, n->rect.top);
  gtk_widget_set_visible(widget, (rec.style & WS_VISIBLE) != 0);
  g_object_unref(widget);
}

void NativeReleaseCaptureOf(HWND hwnd) {
  if (g_capture != hwnd) return;
  Ungrab();
  g_capture = 0;
}

bool NativeDefault(WindowRecord& rec, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  NativeWindow* n = rec.native;
  if (n == nullptr) return false;
  switch (msg) {
    case WM_ERASEBKGND: {
      cairo_t* cr = n->paintContext;
      if (cr == nullptr) {
        result = 0;
        return true;
      }
      const std::uint32_t c = rec.backColor;
      cairo_save(cr);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
      cairo_paint(cr);
      cairo_restore(cr);
      result = 1;
      return true;
    }
    case WM_SETICON: {
      // The window shows copies of the icons' pixels; the caller keeps its icons.
      std::uint32_t& slot = wParam == ICON_BIG ? n->bigIcon : n->smallIcon;
      result = static_cast<LRESULT>(slot);
      slot = static_cast<std::uint32_t>(lParam);
      if (n->window != nullptr) {
        GList* list = nullptr;
        for (std::uint32_t icon : {n->smallIcon, n->bigIcon}) {
          if (GdkPixbuf* p = IconPixbuf(icon)) list = g_list_append(list, p);
        }
        gtk_window_set_icon_list(GTK_WINDOW(n->window), list);
        g_list_free(list);
      }
      return true;
    }
    case WM_NCLBUTTONDOWN: {
      if (wParam != HTCAPTION) return false;
      GtkWindow* win = GtkTopLevel(rec.hwnd);
      GdkDevice* pointer = Pointer();
      if (win == nullptr || pointer == nullptr || !gtk_widget_get_realized(GTK_WIDGET(win))) {
        return false;
      }
      // The window manager moves the window for as long as the button that is down now stays
      // down; with no button down there is nothing to drag.
      GdkModifierType state{};
      gdk_device_get_state(pointer, gtk_widget_get_window(GTK_WIDGET(win)), nullptr, &state);
      guint button = 0;
      if (state & GDK_BUTTON1_MASK) button = 1;
      else if (state & GDK_BUTTON2_MASK) button = 2;
      else if (state & GDK_BUTTON3_MASK) button = 3;
      if (button == 0) {
        result = 0;
        return true;
      }
      gint x = 0, y = 0;
      gdk_device_get_position(pointer, nullptr, &x, &y);
      const guint32 time = g_lastPress.button == button ? g_lastPress.time : GDK_CURRENT_TIME;
      NativeReleaseCaptureOf(g_capture);
      gtk_window_begin_move_drag(win, static_cast<gint>(button), x, y, time);
      result = 0;
      return true;
    }
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: ShowWindow(rec.hwnd, SW_MINIMIZE); result = 0; return true;
        case SC_MAXIMIZE: ShowWindow(rec.hwnd, SW_MAXIMIZE); result = 0; return true;
        case SC_RESTORE: ShowWindow(rec.hwnd, SW_RESTORE); result = 0; return true;
        default: return false;
      }
    default:
      return false;
  }
  (void)lParam;
}

}  // namespace detail

using namespace detail;

// ---- For the rest of platform/ ----

GtkWidget* NativeClientWidget(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  return n != nullptr ? n->client : nullptr;
}

HWND WindowFromWidget(GtkWidget* widget) {
  for (GtkWidget* w = widget; w != nullptr; w = gtk_widget_get_parent(w)) {
    const HWND h = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(w), kHwndKey));
    if (h != 0 && Native(h) != nullptr) return h;
  }
  return 0;
}

HWND CreateWidgetWindow(GtkWidget* widget, HWND parent, int x, int y, int width, int height) {
  if (widget == nullptr || NativeClientWidget(parent) == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  g_pendingHosted = widget;
  CreateWindowArgs args;
  args.style = WS_CHILD | WS_VISIBLE;
  args.parent = parent;
  args.x = x;
  args.y = y;
  args.width = width;
  args.height = height;
  const HWND h = CreateWindowEx(args);
  g_pendingHosted = nullptr;
  return h;
}

cairo_t* CurrentPaintContext(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  return n != nullptr ? n->paintContext : nullptr;
}

// ---- Geometry and state ----

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  WindowRecord* rec = Find(hwnd);
  NativeWindow* n = Native(hwnd);
  if (rec == nullptr || n == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const RECT old = n->rect;
  RECT r = old;
  if (!(flags & SWP_NOMOVE)) r = RECT{x, y, x + old.Width(), y + old.Height()};
  if (!(flags & SWP_NOSIZE)) r.right = r.left + std::max(cx, 0), r.bottom = r.top + std::max(cy, 0);
  const bool moved = r.left != old.left || r.top != old.top;
  const bool sized = r.Width() != old.Width() || r.Height() != old.Height();
  n->rect = r;
  if (n->window != nullptr) {
    GtkWindow* win = GTK_WINDOW(n->window);
    if (moved) gtk_window_move(win, r.left, r.top);
    if (sized) gtk_window_resize(win, std::max(r.Width(), 1), std::max(r.Height(), 1));
    if ((moved || sized) && gtk_widget_get_mapped(n->window)) {
      n->pending = true;
      n->pendingRect = r;
      n->pendingUntil = g_get_monotonic_time() + 500 * G_TIME_SPAN_MILLISECOND;
    }
  } else {
    GtkWidget* w = n->Outer();
    if (moved) {
      if (GtkWidget* parent = gtk_widget_get_parent(w)) gtk_layout_move(GTK_LAYOUT(parent), w, r.left, r.top);
    }
    if (sized) gtk_widget_set_size_request(w, r.Width(), r.Height());
  }
  if (!(flags & SWP_NOZORDER)) {
    if (n->window != nullptr) {
      if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        rec->exStyle = insertAfter == HWND_TOPMOST ? (rec->exStyle | WS_EX_TOPMOST) : (rec->exStyle & ~WS_EX_TOPMOST);
        gtk_window_set_keep_above(GTK_WINDOW(n->window), insertAfter == HWND_TOPMOST);
      }
      if (insertAfter != HWND_NOTOPMOST && gtk_widget_get_realized(n->window)) {
        gdk_window_raise(gtk_widget_get_window(n->window));
      }
    } else if (GdkWindow* gw = gtk_widget_get_window(n->Outer()); gw != nullptr && gtk_widget_get_realized(n->Outer())) {
      NativeWindow* sibling = insertAfter != HWND_TOP ? Native(insertAfter) : nullptr;
      GdkWindow* sw = sibling != nullptr && gtk_widget_get_realized(sibling->Outer()) ? gtk_widget_get_window(sibling->Outer()) : nullptr;
      if (sw != nullptr && gdk_window_get_parent(sw) == gdk_window_get_parent(gw)) {
        gdk_window_restack(gw, sw, FALSE);
      } else {
        gdk_window_raise(gw);
      }
    }
  }
  if (flags & SWP_FRAMECHANGED) ApplyTopLevelStyle(*rec);
  if (moved) {
    SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
  }
  if (sized && Native(hwnd) != nullptr) {
    InvalidateBacking(hwnd);
    SendMessage(hwnd, WM_SIZE, SizeKind(*Native(hwnd)), MAKELPARAM(r.Width(), r.Height()));
  }
  if (!IsWindow(hwnd)) return true;
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNOACTIVATE : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  if (!(flags & (SWP_NOZORDER | SWP_NOACTIVATE)) && n->window != nullptr && IsWindow(hwnd) &&
      IsWindowVisible(hwnd)) {
    Present(hwnd);
  }
  return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int cx, int cy, bool repaint) {
  return SetWindowPos(hwnd, HWND_TOP, x, y, cx, cy,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : UINT{SWP_NOREDRAW}));
}

bool GetWindowRect(HWND hwnd, RECT* rect) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const POINT o = ClientOrigin(hwnd);
  *rect = RECT{o.x, o.y, o.x + n->rect.Width(), o.y + n->rect.Height()};
  return true;
}

bool GetClientRect(HWND hwnd, RECT* rect) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  *rect = RECT{0, 0, n->rect.Width(), n->rect.Height()};
  return true;
}

bool ClientToScreen(HWND hwnd, POINT* pt) {
  if (Native(hwnd) == nullptr || pt == nullptr) return false;
  const POINT o = ClientOrigin(hwnd);
  pt->x += o.x;
  pt->y += o.y;
  return true;
}

bool ScreenToClient(HWND hwnd, POINT* pt) {
  if (Native(hwnd) == nullptr || pt == nullptr) return false;
  const POINT o = ClientOrigin(hwnd);
  pt->x -= o.x;
  pt->y -= o.y;
  return true;
}

bool ShowWindow(HWND hwnd, int cmd) {
  WindowRecord* rec = Find(hwnd);
  NativeWindow* n = Native(hwnd);
  if (rec == nullptr || n == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const bool wasVisible = (rec->style & WS_VISIBLE) != 0;
  const bool show = cmd != SW_HIDE;
  if (show != wasVisible) {
    SendMessage(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
    rec = Find(hwnd);
    n = Native(hwnd);
    if (rec == nullptr || n == nullptr) return wasVisible;
    rec->style = show ? (rec->style | WS_VISIBLE) : (rec->style & ~WS_VISIBLE);
  }
  GtkWidget* outer = n->Outer();
  if (n->window == nullptr) {
    gtk_widget_set_visible(outer, show);
    return wasVisible;
  }
  GtkWindow* win = GTK_WINDOW(n->window);
  bool sizeChanged = false;
  switch (cmd) {
    case SW_HIDE:
      gtk_widget_hide(outer);
      return wasVisible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      gtk_window_iconify(win);
      sizeChanged = !n->iconic;
      n->iconic = true;
      break;
    case SW_MAXIMIZE:
      gtk_window_deiconify(win);
      gtk_window_maximize(win);
      sizeChanged = n->iconic;
      n->iconic = false;
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      if (n->iconic) gtk_window_deiconify(win);
      else if (cmd == SW_RESTORE && n->maximized) gtk_window_unmaximize(win);
      sizeChanged = n->iconic;
      n->iconic = false;
      break;
    default:
      break;
  }
  const bool activate = cmd != SW_SHOWNOACTIVATE && cmd != SW_MINIMIZE && cmd != SW_SHOWMINIMIZED;
  if (!gtk_widget_get_visible(outer)) {
    gtk_window_set_focus_on_map(win, activate);
    gtk_widget_show(outer);
    gtk_window_set_focus_on_map(win, TRUE);
  } else if (activate && cmd != SW_SHOW) {
    Present(hwnd);
  }
  if (sizeChanged) SendSize(hwnd);
  return wasVisible;
}

bool IsWindowVisible(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr || rec->messageOnly || rec->foreign) return false;
  for (; rec != nullptr; rec = rec->parent != 0 ? Find(rec->parent) : nullptr) {
    if ((rec->style & WS_VISIBLE) == 0) return false;
  }
  return true;
}

bool IsIconic(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  return n != nullptr && n->iconic;
}

HWND SetParent(HWND child, HWND newParent) {
  WindowRecord* rec = Find(child);
  if (rec == nullptr || rec->native == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WindowRecord* np = Find(newParent);
  if (newParent == 0 || np == nullptr || np->native == nullptr || np->native->client == nullptr) {
    // Turning a child back into a top-level window is not something the client does.
    SetLastError(newParent == 0 ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  for (HWND a = newParent; a != 0;) {
    if (a == child) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    WindowRecord* ar = Find(a);
    a = ar != nullptr ? ar->parent : 0;
  }
  const HWND old = rec->parent;
  if (old == newParent) return old;
  if (WindowRecord* op = Find(old)) std::erase(op->children, child);
  rec->parent = newParent;
  rec->owner = 0;
  np->children.push_back(child);
  NativeParentChanged(*rec, old);
  return old;
}

HWND GetParent(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return rec->parent != 0 ? rec->parent : rec->owner;
}

bool SetWindowText(HWND hwnd, const std::string& text) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr || rec->foreign) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  rec->title = text;
  NativeTitleChanged(*rec);
  return true;
}

std::string GetWindowText(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  return rec != nullptr ? rec->title : std::string();
}

bool SetForegroundWindow(HWND hwnd) {
  if (GtkTopLevel(hwnd) == nullptr) return false;
  Present(hwnd);
  return true;
}

bool SetActiveWindow(HWND hwnd) { return SetForegroundWindow(hwnd); }

bool InvalidateRect(HWND hwnd, const RECT* rect, bool) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr) return false;
  GtkWidget* w = n->Inner();
  if (rect != nullptr) {
    gtk_widget_queue_draw_area(w, rect->left, rect->top, rect->Width(), rect->Height());
  } else {
    gtk_widget_queue_draw(w);
  }
  return true;
}

bool UpdateWindow(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr) return false;
  if (GdkWindow* gw = gtk_widget_get_window(n->Outer()); gw != nullptr && gtk_widget_get_realized(n->Outer())) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gdk_window_process_updates(gw, TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
  return true;
}

// ---- Pointer, capture, cursors ----

HWND SetCapture(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr) return 0;
  const HWND previous = g_capture;
  if (previous == hwnd) return previous;
  Ungrab();
  g_capture = hwnd;
  if (previous != 0 && IsWindow(previous)) SendMessage(previous, WM_CAPTURECHANGED, 0, hwnd);
  n = Native(hwnd);
  if (n == nullptr || g_capture != hwnd) return previous;
  // An explicit grab sends every pointer event of the display to the window; when the window
  // cannot be grabbed (not viewable), events reaching our other windows are still routed to it.
  GdkWindow* bin = BinWindow(*n);
  if (bin != nullptr && gdk_window_is_viewable(bin)) {
    GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(bin));
    const GdkGrabStatus status =
        gdk_seat_grab(seat, bin, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, nullptr, nullptr, nullptr, nullptr);
    g_captureGrabbed = status == GDK_GRAB_SUCCESS;
  }
  return previous;
}

bool ReleaseCapture() {
  const HWND previous = g_capture;
  Ungrab();
  g_capture = 0;
  if (previous != 0 && IsWindow(previous)) SendMessage(previous, WM_CAPTURECHANGED, 0, 0);
  return true;
}

HWND GetCapture() { return g_capture != 0 && IsWindow(g_capture) ? g_capture : 0; }

bool GetCursorPos(POINT* pt) {
  GdkDevice* pointer = Pointer();
  if (pointer == nullptr || pt == nullptr) return false;
  gdk_device_get_position(pointer, nullptr, &pt->x, &pt->y);
  return true;
}

namespace {

bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The deepest visible child of `h` under the screen point, `h` itself when none; later
// children lie above earlier ones.
HWND DeepestAt(HWND h, POINT pt) {
  WindowRecord* rec = Find(h);
  if (rec == nullptr) return h;
  for (auto it = rec->children.rbegin(); it != rec->children.rend(); ++it) {
    WindowRecord* c = Find(*it);
    if (c == nullptr || c->native == nullptr || (c->style & WS_VISIBLE) == 0) continue;
    RECT r;
    GetWindowRect(*it, &r);
    if (Contains(r, pt)) return DeepestAt(*it, pt);
  }
  return h;
}

bool TopLevelTakes(HWND h, POINT pt) {
  NativeWindow* n = Native(h);
  if (n == nullptr || !IsWindowVisible(h) || n->iconic) return false;
  RECT r;
  GetWindowRect(h, &r);
  if (!Contains(r, pt)) return false;
  return !n->inputShape || cairo_region_contains_point(n->inputShape.get(), pt.x - r.left, pt.y - r.top);
}

}  // namespace

HWND WindowFromPoint(POINT pt) {
  GdkDevice* pointer = Pointer();
  if (pointer == nullptr) return 0;
  POINT now;
  gdk_device_get_position(pointer, nullptr, &now.x, &now.y);
  if (now == pt) {
    // The pointer's own position: ask the X server, which knows the stacking of every program's
    // windows and the input shapes.
    gint wx = 0, wy = 0;
    GdkWindow* gw = gdk_device_get_window_at_position(pointer, &wx, &wy);
    if (gw == nullptr) return 0;
    gpointer widget = nullptr;
    gdk_window_get_user_data(gw, &widget);
    return widget != nullptr && GTK_IS_WIDGET(widget) ? WindowFromWidget(GTK_WIDGET(widget)) : 0;
  }
  // Any other point: our top-level windows from the top of the window manager's stacking.
  std::vector<HWND> order;
  GList* stack = gdk_screen_get_window_stack(gdk_screen_get_default());
  for (GList* l = g_list_last(stack); l != nullptr; l = l->prev) {
    gpointer widget = nullptr;
    gdk_window_get_user_data(GDK_WINDOW(l->data), &widget);
    if (widget != nullptr && GTK_IS_WIDGET(widget)) {
      if (const HWND h = WindowFromWidget(GTK_WIDGET(widget)); h != 0) order.push_back(h);
    }
  }
  g_list_free_full(stack, g_object_unref);
  const std::vector<HWND> all = AllWindows();
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    WindowRecord* rec = Find(*it);
    if (rec != nullptr && IsTopLevel(*rec) && std::find(order.begin(), order.end(), *it) == order.end()) {
      order.push_back(*it);
    }
  }
  for (HWND h : order) {
    if (TopLevelTakes(h, pt)) return DeepestAt(h, pt);
  }
  return 0;
}

bool TrackMouseLeave(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr || n->client == nullptr) return false;
  if (hwnd == g_pointerKnownOver) {
    // Asked while handling a move that puts the pointer over this window: a leave that happens
    // from here on arrives as a crossing event.
    n->trackLeave = true;
    return true;
  }
  POINT pt;
  if (GetCursorPos(&pt) && WindowFromPoint(pt) != hwnd) {
    // Not over the window now: the leave is due at once.
    PostMessage(hwnd, WM_MOUSELEAVE, 0, 0);
    n->trackLeave = false;
    return true;
  }
  n->trackLeave = true;
  return true;
}

void SetWindowCursor(HWND hwnd, Cursor cursor) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr || n->client == nullptr) return;
  struct Shape {
    const char* name;
    GdkCursorType fallback;
  };
  static constexpr Shape kShapes[] = {
      {"default", GDK_LEFT_PTR},       {"pointer", GDK_HAND2},
      {"ew-resize", GDK_SB_H_DOUBLE_ARROW}, {"ns-resize", GDK_SB_V_DOUBLE_ARROW},
      {"nwse-resize", GDK_BOTTOM_RIGHT_CORNER}, {"nesw-resize", GDK_BOTTOM_LEFT_CORNER},
      {"move", GDK_FLEUR},            {"wait", GDK_WATCH},
  };
  const Shape& shape = kShapes[static_cast<int>(cursor)];
  GdkDisplay* display = gtk_widget_get_display(n->client);
  GdkCursor* c = gdk_cursor_new_from_name(display, shape.name);
  if (c == nullptr) c = gdk_cursor_new_for_display(display, shape.fallback);
  if (n->cursor != nullptr) g_object_unref(n->cursor);
  n->cursor = c;
  if (GdkWindow* bin = BinWindow(*n)) gdk_window_set_cursor(bin, c);
}

// ---- Screen ----

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
    case SM_CXSCREEN: return r.width;
    case SM_CYSCREEN: return r.height;
    default: return 0;
  }
}

bool AllMappedTopLevelsDrawn() {
  for (HWND h : AllWindows()) {
    NativeWindow* n = Native(h);
    if (n == nullptr || n->window == nullptr || !gtk_widget_get_mapped(n->window)) continue;
    if (!n->drawn) return false;
  }
  return true;
}

void SetFirstFrameListener(void (*listener)()) { g_firstFrameListener = listener; }

}  // namespace platform
