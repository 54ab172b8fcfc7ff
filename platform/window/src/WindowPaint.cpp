// Painting: the client area's draw signal becomes WM_ERASEBKGND and WM_PAINT through the
// window's procedure, with what the window drew through device contexts on top; per-pixel alpha
// and colour-keyed windows are painted here too. Also the first frame of each top-level window.

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "GdiWindow.h"
#include "platform/window/detail/WindowGtk.h"

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

// What waits for the first frames (AfterFirstFrames), in the order it came.
struct FrameWaiter {
  std::function<void()> then;
  guint deadline = 0;  // the timeout that runs it anyway
};
std::vector<std::unique_ptr<FrameWaiter>>& FrameWaiters() {
  static auto* waiters = new std::vector<std::unique_ptr<FrameWaiter>>();
  return *waiters;
}
guint g_frameCheck = 0;  // the idle source of the next look at the waiters

void RunFrameWaiter(FrameWaiter* waiter) {
  auto& waiters = FrameWaiters();
  auto it = std::find_if(waiters.begin(), waiters.end(),
                         [waiter](const auto& w) { return w.get() == waiter; });
  if (it == waiters.end()) return;
  std::unique_ptr<FrameWaiter> own = std::move(*it);
  waiters.erase(it);
  if (own->deadline != 0) g_source_remove(own->deadline);
  // The frame is drawn into the client's output buffer; it must reach the display before work
  // that holds the loop up.
  if (GdkDisplay* display = gdk_display_get_default()) gdk_display_flush(display);
  Guarded("after first frames", [&] { own->then(); });
}

// Runs the waiters once every mapped top-level window has drawn; low priority, after the
// toolkit's drawing of the same round.
void CheckFrameWaiters() {
  if (g_frameCheck != 0 || FrameWaiters().empty()) return;
  g_frameCheck = g_idle_add_full(
      G_PRIORITY_LOW,
      [](gpointer) -> gboolean {
        g_frameCheck = 0;
        if (!AllMappedTopLevelsDrawn()) return G_SOURCE_REMOVE;  // a first frame calls again
        std::vector<FrameWaiter*> ready;
        for (const auto& w : FrameWaiters()) ready.push_back(w.get());
        for (FrameWaiter* w : ready) RunFrameWaiter(w);
        return G_SOURCE_REMOVE;
      },
      nullptr, nullptr);
}

// How long after mapping a layered window paints once more (see RepaintLayered).
constexpr guint kSettleMs = 150;

// The top-level window that `h` is part of has put a frame on the screen.
void MarkDrawn(HWND h) {
  NativeWindow* top = Native(TopLevelOf(h));
  if (top == nullptr || top->window == nullptr || top->drawn) return;
  top->drawn = true;
  CheckFrameWaiters();
  if (g_firstFrameListener != nullptr) g_firstFrameListener();
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
  return Guarded("draw", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    WindowRecord* rec = Find(h);
    NativeWindow* n = Native(h);
    if (rec == nullptr || n == nullptr || rec->destroying) return FALSE;
    if (!gtk_cairo_should_draw_window(cr, gtk_layout_get_bin_window(GTK_LAYOUT(widget)))) {
      return FALSE;
    }
    // The frame counts as drawn once the client area itself has been painted.
    struct Drawn {
      HWND h;
      ~Drawn() { MarkDrawn(h); }
    } drawn{h};
    if (n->image) {
      // A per-pixel alpha window shows its image and nothing else; it gets no WM_PAINT.
      PaintLayeredImage(h, cr);
      return FALSE;
    }
    // A child keyed on its own paints over its parent's painting, never replacing it.
    const bool ownKey = n->window == nullptr && n->childKeyed;
    const std::uint32_t childKey = n->childKey;
    const auto paintKeyed = [&]() -> Surface {
      const int w = gtk_widget_get_allocated_width(widget);
      const int hgt = gtk_widget_get_allocated_height(widget);
      // At the window's scale, so that what is drawn keeps its device pixels.
      Surface off = NewSurface(std::max(w, 1), std::max(hgt, 1), CAIRO_FORMAT_ARGB32,
                               gtk_widget_get_scale_factor(widget));
      if (!off) {
        off = Surface(
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(hgt, 1)));
      }
      SendPaint(h, CairoContext(cairo_create(off.get())).get());
      if (ownKey) ApplyColorKey(off.get(), childKey);
      return off;
    };
    if (PaintsThroughColorKey(h)) {
      Surface off = paintKeyed();
      NativeWindow* top = Native(TopLevelOf(h));
      n = Native(h);
      if (top == nullptr || n == nullptr) return FALSE;
      Region opaque = ApplyColorKey(off.get(), top->colorKey);
      cairo_save(cr);
      cairo_set_operator(cr, ownKey ? CAIRO_OPERATOR_OVER : CAIRO_OPERATOR_SOURCE);
      cairo_set_source_surface(cr, off.get(), 0, 0);
      cairo_paint(cr);
      cairo_restore(cr);
      if (!n->keyOpaque || !cairo_region_equal(n->keyOpaque.get(), opaque.get())) {
        n->keyOpaque = std::move(opaque);
        UpdateShape(TopLevelOf(h), true);
      }
      return FALSE;
    }
    if (ownKey) {
      Surface off = paintKeyed();
      cairo_save(cr);
      cairo_set_source_surface(cr, off.get(), 0, 0);
      cairo_paint(cr);
      cairo_restore(cr);
      return FALSE;
    }
    SendPaint(h, cr);
    return FALSE;  // the layout draws the child windows over the painting
  });
}

bool ShowsLayering(HWND h) {
  WindowRecord* rec = Find(h);
  NativeWindow* n = Native(h);
  return rec != nullptr && n != nullptr && n->window != nullptr &&
         (rec->exStyle & WS_EX_LAYERED) != 0 && (n->image || PaintsThroughColorKey(h));
}

// Paints a layered window again, with its shapes, when it is mapped and once more after the
// window manager and the compositor have taken it in. A frame drawn while the window was mapped
// but not yet viewable in its frame, or before the compositor had its pixmap, is lost without
// a new expose, and the compositor then shows the window's initial pixels (opaque black) until
// something else repaints it; a per-pixel alpha window never repaints on its own.
void RepaintLayered(HWND h) {
  if (!ShowsLayering(h)) return;
  NativeWindow* n = Native(h);
  if (!gtk_widget_get_mapped(n->window)) return;
  ReapplyShape(h);
  gtk_widget_queue_draw(n->window);
}

gboolean OnMapped(GtkWidget*, GdkEvent*, gpointer data) {
  return Guarded("map", [&]() -> gboolean {
    const HWND h = HwndOf(data);
    if (!ShowsLayering(h)) return FALSE;
    RepaintLayered(h);
    g_timeout_add(
        kSettleMs,
        [](gpointer d) -> gboolean {
          Guarded("map-settled", [&]() -> gboolean {
            RepaintLayered(HwndOf(d));
            return FALSE;
          });
          return G_SOURCE_REMOVE;
        },
        data);
    return FALSE;
  });
}

}  // namespace

void ConnectPaint(NativeWindow& n) {
  Connect(n, n.client, "draw", OnDraw);
}

namespace {

// The colour key's shape of one window of ours and of the windows inside it, from a paint off
// the screen (hosted widgets count whole and paint nothing here).
void KeyShapeOffscreen(HWND h, std::uint32_t colorKey) {
  WindowRecord* rec = Find(h);
  NativeWindow* n = Native(h);
  if (rec == nullptr || n == nullptr || n->client == nullptr || (rec->style & WS_VISIBLE) == 0) {
    return;
  }
  Surface off = NewSurface(std::max(n->rect.Width(), 1), std::max(n->rect.Height(), 1),
                           CAIRO_FORMAT_ARGB32, DeviceScale());
  if (!off) return;
  SendPaint(h, CairoContext(cairo_create(off.get())).get());
  if ((n = Native(h)) == nullptr) return;
  n->keyOpaque = ApplyColorKey(off.get(), colorKey);
  if ((rec = Find(h)) == nullptr) return;
  const std::vector<HWND> children = rec->children;
  for (HWND c : children) KeyShapeOffscreen(c, colorKey);
}

}  // namespace

// The shape of a colour-keyed window is known only from its painting. Mapped without it, the
// window would be shaped a moment later, and a compositor that takes the window in meanwhile
// may keep showing it unshaped, its see-through parts black, until it moves; mapped with it,
// the window manager's frame and the compositor start from the right shape.
void ShapeBeforeMap(HWND topLevel) {
  NativeWindow* n = Native(topLevel);
  if (n == nullptr || n->window == nullptr || !PaintsThroughColorKey(topLevel)) return;
  KeyShapeOffscreen(topLevel, n->colorKey);
  if (Native(topLevel) != nullptr) UpdateShape(topLevel, false);
}

void ConnectTopLevelPaint(NativeWindow& n) {
  Connect(n, n.window, "map-event", OnMapped, true);
}

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

void AfterFirstFrames(std::function<void()> then, unsigned maxWaitMs) {
  auto waiter = std::make_unique<FrameWaiter>();
  waiter->then = std::move(then);
  FrameWaiter* raw = waiter.get();
  raw->deadline = g_timeout_add(
      maxWaitMs,
      [](gpointer data) -> gboolean {
        auto* w = static_cast<FrameWaiter*>(data);
        w->deadline = 0;
        RunFrameWaiter(w);
        return G_SOURCE_REMOVE;
      },
      raw);
  FrameWaiters().push_back(std::move(waiter));
  // A window shown just now is mapped only once the loop has run; the check waits for it then.
  CheckFrameWaiters();
}

void SetFirstFrameListener(void (*listener)()) {
  g_firstFrameListener = listener;
}

}  // namespace platform
