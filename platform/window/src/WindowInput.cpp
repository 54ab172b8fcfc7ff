// Input: pointer buttons, motion, wheel and crossing, keys, focus, the capture, cursors and
// hit testing. Native events become the window messages with their usual packing.

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "platform/window/detail/WindowGtk.h"

namespace platform {

namespace detail {

namespace {

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
bool g_lastInputKey = false;   // the latest input was a key press (not a pointer press)

// The top-level window `top` starts or stops showing focus marks; the window with the focus in
// it hears so.
void SetFocusCues(HWND top, bool on) {
  NativeWindow* n = Native(top);
  g_lastInputKey = on;
  if (n == nullptr || n->focusCues == on) return;
  n->focusCues = on;
  if (g_focus != 0 && TopLevelOf(g_focus) == top) SendMessage(g_focus, WM_UPDATEUISTATE, on, 0);
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
    case 1:
      return MK_LBUTTON;
    case 2:
      return MK_MBUTTON;
    case 3:
      return MK_RBUTTON;
    default:
      return 0;
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
  if (GtkSettings* s = gtk_settings_get_default())
    g_object_get(s, "gtk-double-click-time", &ms, nullptr);
  return ms;
}
int DoubleClickDistance() {
  gint px = 5;
  if (GtkSettings* s = gtk_settings_get_default())
    g_object_get(s, "gtk-double-click-distance", &px, nullptr);
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
    if (!TakesInput(t.hwnd)) return TRUE;  // a disabled window hears nothing
    const bool dbl = IsDoubleClick(t.hwnd, e);
    SetFocusCues(TopLevelOf(h), false);
    if (Native(t.hwnd) == nullptr) return TRUE;
    g_lastPress = Press{e->button, e->time, e->x_root, e->y_root, t.hwnd, dbl};
    if (t.hwnd == h && gtk_widget_get_can_focus(widget) && !gtk_widget_has_focus(widget)) {
      gtk_widget_grab_focus(widget);
    }
    UINT msg = 0;
    switch (e->button) {
      case 1:
        msg = dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
        break;
      case 2:
        msg = WM_MBUTTONDOWN;
        break;
      case 3:
        msg = dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN;
        break;
      default:
        return TRUE;
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
    if (!TakesInput(t.hwnd)) return TRUE;  // a disabled window hears nothing
    UINT msg = 0;
    switch (e->button) {
      case 1:
        msg = WM_LBUTTONUP;
        break;
      case 2:
        msg = WM_MBUTTONUP;
        break;
      case 3:
        msg = WM_RBUTTONUP;
        break;
      default:
        return TRUE;
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
    if (!TakesInput(t.hwnd)) return TRUE;  // a disabled window hears nothing
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
    if (!TakesInput(t.hwnd)) return TRUE;  // a disabled window hears nothing
    int delta = 0;
    switch (e->direction) {
      case GDK_SCROLL_UP:
        delta = 120;
        break;
      case GDK_SCROLL_DOWN:
        delta = -120;
        break;
      case GDK_SCROLL_SMOOTH:
        delta = static_cast<int>(std::lround(-e->delta_y * 120));
        break;
      default:
        return TRUE;
    }
    if (delta == 0) return TRUE;
    // The wheel message carries screen coordinates.
    const WPARAM wParam =
        (static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16) | KeyFlags(e->state);
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
    if (!TakesInput(t.hwnd)) return TRUE;  // a disabled window hears nothing
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

// The key's code on the unshifted level, so Shift+1 is still the key '1'.
guint BaseKeyval(const GdkEventKey* e) {
  guint keyval = e->keyval;
  GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_window_get_display(e->window));
  guint base = 0;
  if (gdk_keymap_translate_keyboard_state(keymap, e->hardware_keycode, GdkModifierType(0), e->group,
                                          &base, nullptr, nullptr, nullptr)) {
    keyval = base;
  }
  return keyval;
}

// Offers a key press to a top-level window with key preview; true when it took the key.
bool PreviewKey(HWND top, const GdkEventKey* e) {
  const WindowRecord* rec = Find(top);
  if (rec == nullptr || !rec->keyPreview || e->type != GDK_KEY_PRESS || !TakesInput(top)) {
    return false;
  }
  const WPARAM vk = rules::VirtualKeyFromKeysym(BaseKeyval(e));
  if (vk == 0) return false;
  LPARAM flags = 0;
  if ((e->state & GDK_SHIFT_MASK) != 0) flags |= KP_SHIFT;
  if ((e->state & GDK_CONTROL_MASK) != 0) flags |= KP_CONTROL;
  if ((e->state & GDK_MOD1_MASK) != 0) flags |= KP_ALT;
  if (g_keysDown.count(e->hardware_keycode) != 0) flags |= KP_REPEAT;
  return SendMessage(top, WM_KEYPREVIEW, vk, flags) != 0;
}

// Tab, Shift+Tab and the arrow keys move the focus among the tab stops (Window.h), unless the
// window with the focus keeps them; true when the key moved it.
bool MoveFocusByKey(HWND top, HWND focus, const GdkEventKey* e) {
  if ((e->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0) return false;
  const WPARAM vk = rules::VirtualKeyFromKeysym(BaseKeyval(e));
  const bool tab = vk == VK_TAB;
  if (!tab && vk != VK_LEFT && vk != VK_RIGHT && vk != VK_UP && vk != VK_DOWN) return false;
  const LRESULT wants = focus != top ? SendMessage(focus, WM_GETDLGCODE, vk, 0) : 0;
  if ((wants & (tab ? DLGC_WANTTAB : DLGC_WANTARROWS)) != 0) return false;
  const bool backward = tab ? (e->state & GDK_SHIFT_MASK) != 0 : vk == VK_LEFT || vk == VK_UP;
  // The arrows stay among the focused window's neighbours; Tab goes round the whole window.
  const WindowRecord* rec = Find(focus);
  if (!tab && (rec == nullptr || rec->parent == 0 || (rec->style & WS_TABSTOP) == 0)) return false;
  const HWND next = rules::NextTabStop(tab ? top : rec->parent, focus, backward, PlaceOf);
  if (next == 0) return false;
  SetFocus(next);
  return true;
}

// The first visible hosted widget (an embedded page) inside `h`, depth first; 0 when none.
HWND VisibleHostedWindow(HWND h) {
  const WindowRecord* rec = Find(h);
  if (rec == nullptr) return 0;
  for (HWND c : rec->children) {
    if (!IsWindowVisible(c)) continue;
    const NativeWindow* n = Native(c);
    if (n != nullptr && n->hosted != nullptr) return c;
    if (const HWND inner = VisibleHostedWindow(c); inner != 0) return inner;
  }
  return 0;
}

// F6 moves among the groups of the window's own controls and the page it embeds
// (rules::NextPane). True when it moved the focus.
bool SwitchPaneByKey(HWND top, HWND focus, const GdkEventKey* e) {
  if ((e->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0) return false;
  if (rules::VirtualKeyFromKeysym(BaseKeyval(e)) != VK_F6) return false;
  const HWND page = VisibleHostedWindow(top);
  if (page == 0) return false;
  const NativeWindow* n = Native(focus);
  const bool inPage = n != nullptr && n->hosted != nullptr;
  const HWND next = rules::NextPane(top, inPage ? page : focus, page, PlaceOf);
  if (next == 0) return false;
  SetFocusCues(top, true);
  SetFocus(next);
  return true;
}

gboolean OnKey(GtkWidget* widget, GdkEventKey* e, gpointer data) {
  return Guarded("key", [&]() -> gboolean {
    const HWND top = HwndOf(data);
    if (Native(top) == nullptr) return FALSE;
    // Runs before the toolkit hands the key to the focus widget, an embedded page included.
    if (PreviewKey(top, e)) return TRUE;
    if (Native(top) == nullptr) return TRUE;  // the handler destroyed the window
    HWND target = top;
    if (GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget))) {
      if (const HWND f = WindowFromWidget(focus); f != 0) target = f;
    }
    if (e->type == GDK_KEY_PRESS && SwitchPaneByKey(top, target, e)) return TRUE;
    NativeWindow* n = Native(target);
    if (n == nullptr || n->hosted != nullptr) return FALSE;  // the hosted widget's own keys
    if (!TakesInput(target)) return TRUE;
    if (e->type == GDK_KEY_PRESS) {
      SetFocusCues(top, true);
      if (Native(target) == nullptr) return TRUE;
      if (MoveFocusByKey(top, target, e)) return TRUE;
    }
    rules::KeyStroke key;
    key.baseKeysym = BaseKeyval(e);
    key.character = gdk_keyval_to_unicode(e->keyval);
    key.hardwareCode = e->hardware_keycode;
    key.down = e->type == GDK_KEY_PRESS;
    key.alt = (e->state & GDK_MOD1_MASK) != 0;
    key.control = (e->state & GDK_CONTROL_MASK) != 0;
    if (key.down) {
      key.repeat = !g_keysDown.insert(e->hardware_keycode).second;
    } else {
      g_keysDown.erase(e->hardware_keycode);
    }
    for (const rules::KeyMessage& m : rules::KeyMessages(key)) {
      if (Native(target) == nullptr) break;  // a handler destroyed the window
      SendMessage(target, m.msg, m.wParam, m.lParam);
    }
    return TRUE;
  });
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  // The window manager's close request; the procedures decide, GTK never destroys the window.
  return Guarded("delete", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    // A disabled window (the owner of a modal one) cannot be closed from its frame either.
    if (TakesInput(h)) SendMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
  });
}

void OnLayoutRealize(GtkWidget*, gpointer data) {
  Guarded("realize", [&]() -> gboolean {
    NativeWindow* n = Native(HwndOf(data));
    if (n != nullptr && n->cursor) {
      if (GdkWindow* bin = BinWindow(*n)) gdk_window_set_cursor(bin, n->cursor.get());
    }
    return FALSE;
  });
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

}  // namespace

void ConnectInput(NativeWindow& n) {
  GtkWidget* c = n.client;
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

void ConnectKeys(NativeWindow& n) {
  // A window opened from the keyboard shows where its focus is from the start.
  n.focusCues = g_lastInputKey;
  Connect(n, n.window, "key-press-event", OnKey);
  Connect(n, n.window, "key-release-event", OnKey);
}

void ConnectCloseRequest(NativeWindow& n) {
  Connect(n, n.window, "delete-event", OnDelete);
}

void DropCaptureWithin(HWND h) {
  if (g_capture == 0 || TopLevelOf(g_capture) != TopLevelOf(h)) return;
  for (HWND c = g_capture; c != 0;) {
    if (c == h) {
      Ungrab();
      g_capture = 0;
      return;
    }
    WindowRecord* cr = Find(c);
    c = cr != nullptr ? cr->parent : 0;
  }
}

void ForgetInput(NativeWindow& n) {
  n.cursor.Reset();
  if (g_focus == n.hwnd) g_focus = 0;
  if (g_lastPress.hwnd == n.hwnd) g_lastPress = Press{};
}

void NativeReleaseCaptureOf(HWND hwnd) {
  if (g_capture != hwnd) return;
  Ungrab();
  g_capture = 0;
}

bool InputDefault(WindowRecord& rec, UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg != WM_NCLBUTTONDOWN || wParam != HTCAPTION) return false;
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
  if (state & GDK_BUTTON1_MASK)
    button = 1;
  else if (state & GDK_BUTTON2_MASK)
    button = 2;
  else if (state & GDK_BUTTON3_MASK)
    button = 3;
  result = 0;
  if (button == 0) return true;
  gint x = 0, y = 0;
  gdk_device_get_position(pointer, nullptr, &x, &y);
  const guint32 time = g_lastPress.button == button ? g_lastPress.time : GDK_CURRENT_TIME;
  NativeReleaseCaptureOf(g_capture);
  gtk_window_begin_move_drag(win, static_cast<gint>(button), x, y, time);
  return true;
}

bool TakesInput(HWND h) {
  for (WindowRecord* rec = Find(h); rec != nullptr; rec = Find(rec->parent)) {
    if ((rec->style & WS_DISABLED) != 0) return false;
    if (rec->parent == 0 || IsTopLevel(*rec)) break;
  }
  return true;
}

void ApplyEnabled(WindowRecord& rec) {
  NativeWindow* n = rec.native;
  if (n == nullptr) return;
  // Our own windows check TakesInput; hosted widgets (the web view) inside a disabled window
  // are kept from their input by the toolkit's sensitivity, which the client area passes down.
  const bool enabled = (rec.style & WS_DISABLED) == 0;
  if (GtkWidget* inner = n->Inner()) gtk_widget_set_sensitive(inner, enabled);
  if (!enabled && g_capture != 0 && !TakesInput(g_capture)) NativeReleaseCaptureOf(g_capture);
}

}  // namespace detail

using namespace detail;

bool EnableWindow(HWND hwnd, bool enable) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr || rec->foreign) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const bool wasDisabled = (rec->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  rec->style = enable ? (rec->style & ~WS_DISABLED) : (rec->style | WS_DISABLED);
  ApplyEnabled(*rec);
  SendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
  return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  return rec != nullptr && (rec->style & WS_DISABLED) == 0;
}

bool SetKeyPreview(HWND hwnd, bool on) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr) return false;
  rec->keyPreview = on;
  return true;
}

// ---- Keyboard focus ----

HWND SetFocus(HWND hwnd) {
  const HWND previous = GetFocus();
  NativeWindow* n = Native(hwnd);
  GtkWidget* inner = n != nullptr ? n->Inner() : nullptr;
  if (inner == nullptr || !TakesInput(hwnd)) return previous;
  // In an active window the focus moves now (WM_KILLFOCUS, WM_SETFOCUS); otherwise the window
  // remembers it and gives it when it becomes active. A hosted widget's box that takes no focus
  // itself (the web view's) passes it to the first widget inside it that does; focus already
  // inside stays where it is.
  if (gtk_widget_get_can_focus(inner)) {
    gtk_widget_grab_focus(inner);
    return previous;
  }
  GtkWidget* top = gtk_widget_get_toplevel(inner);
  GtkWidget* focus = GTK_IS_WINDOW(top) ? gtk_window_get_focus(GTK_WINDOW(top)) : nullptr;
  if (focus == nullptr || !gtk_widget_is_ancestor(focus, inner)) {
    gtk_widget_child_focus(inner, GTK_DIR_TAB_FORWARD);
  }
  return previous;
}

HWND GetFocus() {
  return g_focus != 0 && IsWindow(g_focus) ? g_focus : 0;
}

short GetKeyState(int vk) {
  GdkModifierType state{};
  if (!gtk_get_current_event_state(&state)) return 0;
  const guint mask = vk == VK_SHIFT     ? GDK_SHIFT_MASK
                     : vk == VK_CONTROL ? GDK_CONTROL_MASK
                     : vk == VK_MENU    ? GDK_MOD1_MASK
                                        : 0;
  return (state & mask) != 0 ? static_cast<short>(0x8000) : short{0};
}

bool FocusCuesShown(HWND hwnd) {
  // A window with no place on a screen (a headless control) hears only keys: it shows them.
  if (const WindowRecord* rec = Find(hwnd); rec != nullptr && rec->messageOnly) return true;
  const NativeWindow* n = Native(TopLevelOf(hwnd));
  return n != nullptr && n->focusCues;
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
    const GdkGrabStatus status = gdk_seat_grab(seat, bin, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE,
                                               nullptr, nullptr, nullptr, nullptr);
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

HWND GetCapture() {
  return g_capture != 0 && IsWindow(g_capture) ? g_capture : 0;
}

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

bool TopLevelTakes(HWND h, POINT pt) {
  NativeWindow* n = Native(h);
  if (n == nullptr || !IsWindowVisible(h) || n->iconic) return false;
  RECT r;
  GetWindowRect(h, &r);
  if (!Contains(r, pt)) return false;
  return !n->inputShape ||
         cairo_region_contains_point(n->inputShape.get(), pt.x - r.left, pt.y - r.top);
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
    if (rec != nullptr && IsTopLevel(*rec) &&
        std::find(order.begin(), order.end(), *it) == order.end()) {
      order.push_back(*it);
    }
  }
  for (HWND h : order) {
    if (TopLevelTakes(h, pt)) return rules::DeepestChildAt(h, pt, PlaceOf);
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
      {"default", GDK_LEFT_PTR},
      {"pointer", GDK_HAND2},
      {"ew-resize", GDK_SB_H_DOUBLE_ARROW},
      {"ns-resize", GDK_SB_V_DOUBLE_ARROW},
      {"nwse-resize", GDK_BOTTOM_RIGHT_CORNER},
      {"nesw-resize", GDK_BOTTOM_LEFT_CORNER},
      {"move", GDK_FLEUR},
      {"wait", GDK_WATCH},
  };
  const Shape& shape = kShapes[static_cast<int>(cursor)];
  GdkDisplay* display = gtk_widget_get_display(n->client);
  GdkCursor* c = gdk_cursor_new_from_name(display, shape.name);
  if (c == nullptr) c = gdk_cursor_new_for_display(display, shape.fallback);
  n->cursor.Reset(c);
  if (GdkWindow* bin = BinWindow(*n)) gdk_window_set_cursor(bin, c);
}

}  // namespace platform
