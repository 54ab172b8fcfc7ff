// Geometry and state: places and sizes (ours and the window manager's), visibility,
// minimize/maximize and activation of top-level windows.

#include <gdk/gdkx.h>

#include <algorithm>

#include "GdiWindow.h"
#include "platform/window/detail/WindowGtk.h"

namespace platform {

namespace detail {

namespace {

// Reads a top-level window's place and size back from the server and reports what the
// configure notices did not: a move made without a notice (see OnConfigure), and a request of
// ours the window manager did not grant. A window manager that keeps a window maximised (or
// places it itself) answers a request with the geometry it chose; that answer looks like an
// intermediate state of the request and is passed over while the request is pending, so once
// the request has had its time the server's geometry is the window's.
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
          GdkWindow* gw = nw->window != nullptr ? gtk_widget_get_window(nw->window) : nullptr;
          if (gw == nullptr || !gtk_widget_get_mapped(nw->window)) {
            nw->originCheck = 0;
            return G_SOURCE_REMOVE;
          }
          if (nw->pending && g_get_monotonic_time() <= nw->pendingUntil) return G_SOURCE_CONTINUE;
          int x = 0;
          int y = 0;
          gdk_window_get_origin(gw, &x, &y);
          const RECT r{x, y, x + gdk_window_get_width(gw), y + gdk_window_get_height(gw)};
          // KWin takes the size of a window that covered the work area but not the place asked
          // for with it; it takes the place asked for alone. A place never reported since it was
          // asked for is asked for once more, shortly after the request (its size may have been
          // granted already); a place the window manager did report and then changed (the user
          // moved the window) stands.
          const RECT& want = nw->pendingRect;
          const bool recent =
              g_get_monotonic_time() <= nw->pendingUntil + 1000 * G_TIME_SPAN_MILLISECOND;
          if (x == want.left && y == want.top) nw->placeUnseen = false;
          if (recent && nw->placeUnseen && r.Width() == want.Width() &&
              r.Height() == want.Height() && (x != want.left || y != want.top)) {
            nw->placeUnseen = false;
            nw->pendingUntil = g_get_monotonic_time() + 500 * G_TIME_SPAN_MILLISECOND;
            // Straight to the server: the toolkit sends no request for a place it asked for
            // already.
            gdk_window_move(gw, want.left, want.top);
            nw->pending = true;
            return G_SOURCE_CONTINUE;
          }
          nw->originCheck = 0;
          nw->pending = false;
          const bool moved = r.left != nw->rect.left || r.top != nw->rect.top;
          const bool sized = r.Width() != nw->rect.Width() || r.Height() != nw->rect.Height();
          nw->rect = r;
          if (moved) SendMessage(hwnd, WM_MOVE, 0, PackPoint(x, y));
          if (sized && Native(hwnd) != nullptr) SendSize(hwnd);
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
      if (x == n->pendingRect.left && y == n->pendingRect.top) n->placeUnseen = false;
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
      const bool stale =
          n->iconicPending && iconic != n->iconic && g_get_monotonic_time() < n->iconicPendingUntil;
      if (!stale) {
        n->iconicPending = false;
        changed |= iconic != n->iconic;
        n->iconic = iconic;
      }
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

// Shows or hides a child window's widget. Showing keeps the window's place among its siblings,
// as hiding left it: the toolkit raises every window it maps, which would lift a control above
// the siblings laid over it (a strip whose lowest rows the page below is meant to cover).
void SetChildVisible(GtkWidget* w, bool show) {
  GdkWindow* gw = gtk_widget_get_has_window(w) && gtk_widget_get_realized(w)
                      ? gtk_widget_get_window(w)
                      : nullptr;
  GdkWindow* parent = gw != nullptr ? gdk_window_get_parent(gw) : nullptr;
  if (!show || parent == nullptr || gtk_widget_get_visible(w)) {
    gtk_widget_set_visible(w, show);
    return;
  }
  // The sibling just above it (the list runs from the top down), before the raise.
  GdkWindow* above = nullptr;
  for (GList* l = gdk_window_peek_children(parent); l != nullptr && l->data != gw; l = l->next) {
    above = GDK_WINDOW(l->data);
  }
  gtk_widget_set_visible(w, true);
  if (above != nullptr && gtk_widget_get_window(w) == gw) gdk_window_restack(gw, above, FALSE);
}

}  // namespace

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

void ConnectGeometry(NativeWindow& n) {
  GtkWidget* w = n.window;
  Connect(n, w, "configure-event", OnConfigure);
  Connect(n, w, "window-state-event", OnWindowState);
  Connect(n, w, "realize", OnTopLevelRealize, true);
}

void ForgetGeometry(NativeWindow& n) {
  if (n.originCheck != 0) g_source_remove(n.originCheck);
  n.originCheck = 0;
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

bool GeometryDefault(WindowRecord& rec, UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg != WM_SYSCOMMAND) return false;
  switch (wParam & 0xFFF0) {
    case SC_MINIMIZE:
      ShowWindow(rec.hwnd, SW_MINIMIZE);
      result = 0;
      return true;
    case SC_MAXIMIZE:
      ShowWindow(rec.hwnd, SW_MAXIMIZE);
      result = 0;
      return true;
    case SC_RESTORE:
      ShowWindow(rec.hwnd, SW_RESTORE);
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace detail

using namespace detail;

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
      n->placeUnseen = moved;
      n->pendingRect = r;
      n->pendingUntil = g_get_monotonic_time() + 500 * G_TIME_SPAN_MILLISECOND;
      ScheduleOriginCheck(hwnd);
    }
  } else {
    GtkWidget* w = n->Outer();
    if (moved) {
      if (GtkWidget* parent = gtk_widget_get_parent(w))
        gtk_layout_move(GTK_LAYOUT(parent), w, r.left, r.top);
    }
    if (sized) gtk_widget_set_size_request(w, r.Width(), r.Height());
  }
  if (!(flags & SWP_NOZORDER)) {
    if (n->window != nullptr) {
      if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        rec->exStyle = insertAfter == HWND_TOPMOST ? (rec->exStyle | WS_EX_TOPMOST)
                                                   : (rec->exStyle & ~WS_EX_TOPMOST);
        gtk_window_set_keep_above(GTK_WINDOW(n->window), insertAfter == HWND_TOPMOST);
      }
      if (insertAfter != HWND_NOTOPMOST && gtk_widget_get_realized(n->window)) {
        gdk_window_raise(gtk_widget_get_window(n->window));
      }
    } else if (GdkWindow* gw = gtk_widget_get_window(n->Outer());
               gw != nullptr && gtk_widget_get_realized(n->Outer())) {
      NativeWindow* sibling = insertAfter != HWND_TOP ? Native(insertAfter) : nullptr;
      GdkWindow* sw = sibling != nullptr && gtk_widget_get_realized(sibling->Outer())
                          ? gtk_widget_get_window(sibling->Outer())
                          : nullptr;
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
  if (flags & SWP_SHOWWINDOW)
    ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNOACTIVATE : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  // The messages ShowWindow sends may have destroyed the window: look it up again.
  n = Native(hwnd);
  if (!(flags & (SWP_NOZORDER | SWP_NOACTIVATE)) && n != nullptr && n->window != nullptr &&
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

bool SetWindowFullScreen(HWND hwnd, bool on) {
  GtkWindow* win = GtkTopLevel(hwnd);
  if (win == nullptr || Native(hwnd) == nullptr || Native(hwnd)->window == nullptr) return false;
  if (on) {
    gtk_window_fullscreen(win);
  } else {
    gtk_window_unfullscreen(win);
  }
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
    SetChildVisible(outer, show);
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
      if (n->iconic)
        gtk_window_deiconify(win);
      else if (cmd == SW_RESTORE && n->maximized)
        gtk_window_unmaximize(win);
      sizeChanged = n->iconic;
      n->iconic = false;
      break;
    default:
      break;
  }
  if (sizeChanged) {
    n->iconicPending = true;
    n->iconicPendingUntil = g_get_monotonic_time() + 500 * G_TIME_SPAN_MILLISECOND;
  }
  const bool activate = cmd != SW_SHOWNOACTIVATE && cmd != SW_MINIMIZE && cmd != SW_SHOWMINIMIZED;
  if (!gtk_widget_get_visible(outer)) {
    ShapeBeforeMap(hwnd);
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

bool IsZoomed(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  return n != nullptr && n->maximized;
}

// Activation never shows a window: presenting a hidden GtkWindow would map it behind the
// procedures' back (no WM_SHOWWINDOW, no WS_VISIBLE). A hidden window is not activated (false);
// ShowWindow activates it when it is shown.
bool SetForegroundWindow(HWND hwnd) {
  const HWND top = TopLevelOf(hwnd);
  if (GtkTopLevel(top) == nullptr || !IsWindowVisible(top)) return false;
  Present(top);
  return true;
}

bool SetActiveWindow(HWND hwnd) {
  return SetForegroundWindow(hwnd);
}

}  // namespace platform
