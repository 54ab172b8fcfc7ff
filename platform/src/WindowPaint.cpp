// Painting: the client area's draw signal becomes WM_ERASEBKGND and WM_PAINT through the
// window's procedure, with what the window drew through device contexts on top; per-pixel alpha
// and colour-keyed windows are painted here too. Also the first frame of each top-level window.

#define G_LOG_DOMAIN "platform-window"

#include <algorithm>
#include <utility>

#include "GdiWindow.h"
#include "WindowGtk.h"

namespace platform {

namespace detail {

namespace {

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
      Surface off(
          cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(hgt, 1)));
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

}  // namespace

void ConnectPaint(NativeWindow& n) { Connect(n, n.client, "draw", OnDraw); }

bool PaintDefault(WindowRecord& rec, UINT msg, WPARAM, LPARAM, LRESULT& result) {
  NativeWindow* n = rec.native;
  if (msg != WM_ERASEBKGND || n == nullptr) return false;
  cairo_t* cr = n->paintContext;
  if (cr == nullptr) {
    result = 0;
    return true;
  }
  const std::uint32_t c = rec.backColor;
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                       ((c >> 16) & 0xFF) / 255.0);
  cairo_paint(cr);
  cairo_restore(cr);
  result = 1;
  return true;
}

}  // namespace detail

using namespace detail;

cairo_t* CurrentPaintContext(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  return n != nullptr ? n->paintContext : nullptr;
}

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
  if (GdkWindow* gw = gtk_widget_get_window(n->Outer());
      gw != nullptr && gtk_widget_get_realized(n->Outer())) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gdk_window_process_updates(gw, TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
  return true;
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
