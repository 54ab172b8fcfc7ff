// Widgets and creation: the native window of each registry window, its signals, destruction,
// style, owner, title, icons and parent; the registry of native windows.

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "GdiWindow.h"
#include "platform/gdi/detail/IconImpl.h"
#include "platform/window/detail/WindowGtk.h"

namespace platform {

namespace detail {

namespace {

std::map<HWND, std::unique_ptr<NativeWindow>>& Natives() {
  // Lives as long as the process: windows destroyed at exit still find their records.
  static auto* const natives = new std::map<HWND, std::unique_ptr<NativeWindow>>;
  return *natives;
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

// ---- Widgets ----

GtkWidget* NewLayout(HWND h) {
  GtkWidget* layout = NewClientLayout();
  gtk_widget_add_events(layout,
                        GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                            GDK_SCROLL_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                            GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
  gtk_widget_set_can_focus(layout, TRUE);
  Tag(layout, h);
  return layout;
}

bool Decorated(DWORD style) {
  if ((style & WS_CAPTION) == WS_CAPTION) return true;
  return (style & WS_THICKFRAME) != 0 && (style & WS_POPUP) == 0;
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
  ForgetAccessible(h);
  ForgetGeometry(n);
  ForgetInput(n);
  rec->native = nullptr;
  Natives().erase(it);
}

}  // namespace

GdkWindow* BinWindow(const NativeWindow& n) {
  if (n.client != nullptr && gtk_widget_get_realized(n.client)) {
    return gtk_layout_get_bin_window(GTK_LAYOUT(n.client));
  }
  if (n.hosted != nullptr) return gtk_widget_get_window(n.hosted);
  return nullptr;
}

bool IsTopLevel(const WindowRecord& rec) {
  return rec.native != nullptr && rec.native->window != nullptr;
}

std::optional<rules::WindowPlace> PlaceOf(HWND h) {
  WindowRecord* rec = Find(h);
  if (rec == nullptr || rec->native == nullptr) return std::nullopt;
  rules::WindowPlace p;
  p.parent = rec->parent;
  p.rect = rec->native->rect;
  p.topLevel = rec->native->window != nullptr;
  p.visible = (rec->style & WS_VISIBLE) != 0;
  p.enabled = (rec->style & WS_DISABLED) == 0;
  p.tabStop = !IsTopLevel(*rec) && (rec->style & WS_TABSTOP) != 0;
  p.group = p.tabStop && (rec->style & WS_GROUP) != 0;
  p.children = rec->children;
  return p;
}

// The client area's top-left corner in screen pixels, from the geometry we keep (synchronous,
// as the desktop we stand in for answers right after SetWindowPos).
POINT ClientOrigin(HWND h) {
  return rules::ClientOrigin(h, PlaceOf);
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

GtkWindow* GtkTopLevel(HWND h) {
  NativeWindow* n = Native(TopLevelOf(h));
  return n != nullptr && n->window != nullptr ? GTK_WINDOW(n->window) : nullptr;
}

NativeWindow* Native(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  return rec != nullptr ? rec->native : nullptr;
}

HWND TopLevelOf(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  while (rec != nullptr && rec->parent != 0 &&
         (rec->native == nullptr || rec->native->window == nullptr)) {
    WindowRecord* up = Find(rec->parent);
    if (up == nullptr) break;
    rec = up;
  }
  return rec != nullptr ? rec->hwnd : 0;
}

bool ToolkitReady() {
  return gdk_display_get_default() != nullptr;
}

namespace {

// Puts the client area of a window that is (or becomes) top-level into a GtkWindow of its own,
// at the window's place on the screen.
void WrapInGtkWindow(NativeWindow& n) {
  const HWND h = n.hwnd;
  WindowRecord* rec = Find(h);
  GtkWidget* win = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  n.window = win;
  Tag(win, h);
  gtk_widget_set_app_paintable(win, TRUE);  // the client area paints everything
  gtk_window_set_title(GTK_WINDOW(win), rec != nullptr ? rec->title.c_str() : "");
  gtk_window_move(GTK_WINDOW(win), n.rect.left, n.rect.top);
  gtk_window_resize(GTK_WINDOW(win), std::max(n.rect.Width(), 1), std::max(n.rect.Height(), 1));
  gtk_container_add(GTK_CONTAINER(win), n.client);
  gtk_widget_show(n.client);
  ConnectGeometry(n);
  ConnectKeys(n);
  ConnectCloseRequest(n);
  ConnectTopLevelPaint(n);
}

void FinishTopLevel(WindowRecord& rec) {
  ApplyTopLevelStyle(rec);
  if (rec.owner != 0) NativeOwnerChanged(rec);
  if ((rec.exStyle & WS_EX_LAYERED) != 0) EnsureRgbaVisual(rec.hwnd);
  ApplyEnabled(rec);
}

}  // namespace

bool NativeCreate(WindowRecord& rec, const CreateWindowArgs& args, GtkWidget* hosted) {
  if (!ToolkitReady()) return false;
  WatchDesktopOnce();
  auto native = std::make_unique<NativeWindow>();
  NativeWindow& n = *native;
  n.hwnd = rec.hwnd;
  n.rect =
      RECT{args.x, args.y, args.x + std::max(args.width, 0), args.y + std::max(args.height, 0)};
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
    n.client = NewLayout(rec.hwnd);
    WrapInGtkWindow(n);
  }
  if (n.client != nullptr) {
    ConnectPaint(n);
    ConnectInput(n);
  }
  rec.native = native.get();
  Natives()[rec.hwnd] = std::move(native);
  if (n.window != nullptr) FinishTopLevel(rec);
  return true;
}

void NativeDestroy(WindowRecord& rec) {
  DropBacking(rec.hwnd);
  NativeWindow* n = rec.native;
  if (n == nullptr) return;
  // The capture may be a descendant; it is dropped without messages as the window goes.
  DropCaptureWithin(rec.hwnd);
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
    const HWND h = rec.hwnd;
    ShowWindow(h, visible != 0 ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (Native(h) != n) return;  // destroyed by a handler of the messages ShowWindow sent
  }
  if (((rec.style ^ oldStyle) & WS_DISABLED) != 0) ApplyEnabled(rec);
  if (n->window == nullptr) return;
  ApplyTopLevelStyle(rec);
  const bool layered = (rec.exStyle & WS_EX_LAYERED) != 0;
  if (layered && (oldExStyle & WS_EX_LAYERED) == 0) EnsureRgbaVisual(rec.hwnd);
  if (layered != ((oldExStyle & WS_EX_LAYERED) != 0)) {
    if (!layered) {
      n->layeredFlags = 0;
      n->image.Reset();
      n->imageRegion.Reset();
      n->solidRegion.Reset();
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
  if (n != nullptr && rec.parent == 0 && n->window == nullptr && n->client != nullptr) {
    // A child window becomes top-level where it is on the screen. SetParent refuses hosted
    // widgets, which have no client area to move.
    const POINT o = oldParent != 0 ? ClientOrigin(oldParent) : POINT{};
    const int w = n->rect.Width(), h = n->rect.Height();
    n->rect =
        RECT{o.x + n->rect.left, o.y + n->rect.top, o.x + n->rect.left + w, o.y + n->rect.top + h};
    GtkWidget* widget = n->client;
    g_object_ref(widget);
    if (GtkWidget* old = gtk_widget_get_parent(widget))
      gtk_container_remove(GTK_CONTAINER(old), widget);
    gtk_widget_set_size_request(widget, -1, -1);  // the window's size rules now
    WrapInGtkWindow(*n);
    g_object_unref(widget);
    FinishTopLevel(rec);
    if ((rec.style & WS_VISIBLE) != 0) {
      gtk_window_set_focus_on_map(GTK_WINDOW(n->window), FALSE);
      gtk_widget_show(n->window);
      gtk_window_set_focus_on_map(GTK_WINDOW(n->window), TRUE);
    }
    return;
  }
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
  n->rect = RECT{screen.x - origin.x, screen.y - origin.y, screen.x - origin.x + w,
                 screen.y - origin.y + h};
  gtk_widget_set_size_request(widget, w, h);
  gtk_layout_put(GTK_LAYOUT(np->client), widget, n->rect.left, n->rect.top);
  gtk_widget_set_visible(widget, (rec.style & WS_VISIBLE) != 0);
  g_object_unref(widget);
}

bool NativeDefault(WindowRecord& rec, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  NativeWindow* n = rec.native;
  if (n == nullptr) return false;
  if (msg == WM_SETICON) {
    // The window shows copies of the icons' pixels; the caller keeps its icons. The window
    // manager gets the small and the big icon and every other size of their icon files, one
    // image per size (_NET_WM_ICON carries them all).
    std::uint32_t& slot = wParam == ICON_BIG ? n->bigIcon : n->smallIcon;
    result = static_cast<LRESULT>(slot);
    slot = static_cast<std::uint32_t>(lParam);
    if (n->window != nullptr) {
      GList* list = nullptr;
      std::vector<int> sizes;
      auto add = [&](GdkPixbuf* p) {
        const int size = gdk_pixbuf_get_width(p);
        if (std::find(sizes.begin(), sizes.end(), size) != sizes.end()) return;
        sizes.push_back(size);
        list = g_list_append(list, p);
      };
      for (std::uint32_t icon : {n->smallIcon, n->bigIcon}) {
        if (GdkPixbuf* p = IconPixbuf(icon)) add(p);
      }
      for (std::uint32_t icon : {n->bigIcon, n->smallIcon}) {
        for (GdkPixbuf* p : IconFileSizes(icon)) add(p);
      }
      gtk_window_set_icon_list(GTK_WINDOW(n->window), list);
      g_list_free(list);
    }
    return true;
  }
  return PaintDefault(rec, msg, wParam, lParam, result) ||
         InputDefault(rec, msg, wParam, lParam, result) ||
         GeometryDefault(rec, msg, wParam, lParam, result);
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
  CreateWindowArgs args;
  args.style = WS_CHILD | WS_VISIBLE;
  args.parent = parent;
  args.x = x;
  args.y = y;
  args.width = width;
  args.height = height;
  return CreateWindowHosting(args, widget);
}

HWND SetParent(HWND child, HWND newParent) {
  WindowRecord* rec = Find(child);
  if (rec != nullptr && rec->messageOnly && rec->parent == 0 && newParent == 0) {
    SetLastError(0);
    return 0;  // nothing to move
  }
  if (rec == nullptr || rec->native == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (newParent == 0) {
    SetLastError(0);
    const HWND old = rec->parent;
    if (old == 0) return 0;  // top-level already
    if (rec->native->client == nullptr) {
      // A hosted widget (the web view) lives only inside a client area of ours.
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if (WindowRecord* op = Find(old)) std::erase(op->children, child);
    rec->parent = 0;
    NativeParentChanged(*rec, old);
    return old;
  }
  WindowRecord* np = Find(newParent);
  if (np == nullptr || np->native == nullptr || np->native->client == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
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

}  // namespace platform
