// The screen device context (GetDC(0)) as the client uses it: DrawFocusRect on it inverts a
// dotted outline on the screen, and drawing the same outline again takes it away, as the
// edge-resize rubber band needs. Each outline is an override-redirect window shaped to exactly
// the outline's pixels and showing the inverse of what was beneath them; it takes no input.
// That works the same with and without a compositor (the root window holds what is on the
// screen in both cases).

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

#include "ScreenOutline.h"
#include "platform/gdi/detail/CairoOwners.h"

namespace platform::detail {

namespace {

struct Outline {
  RECT rect;
  GtkWidget* window = nullptr;
  Surface pixels;  // the inverted pixels, shown through the shape
};

std::vector<Outline>& Outlines() {
  static auto* const outlines = new std::vector<Outline>;  // lives as long as the process
  return *outlines;
}

// The outline's pixels in the rectangle's own coordinates: its edge, on one parity of the
// screen's checkerboard (the dots of a focus rectangle). The shape is in the screen's device
// pixels: at a window scale each logical dot is a scale x scale square.
std::vector<XRectangle> Dots(const RECT& r, int scale) {
  std::vector<XRectangle> dots;
  const int w = r.Width(), h = r.Height();
  const auto side = static_cast<unsigned short>(scale);
  auto add = [&](int x, int y) {
    if (((r.left + x + r.top + y) & 1) == 0) {
      dots.push_back(XRectangle{short(x * scale), short(y * scale), side, side});
    }
  };
  for (int x = 0; x < w; ++x) {
    add(x, 0);
    if (h > 1) add(x, h - 1);
  }
  for (int y = 1; y < h - 1; ++y) {
    add(0, y);
    if (w > 1) add(w - 1, y);
  }
  // Banded order (by row, then column) for the shape request.
  std::sort(dots.begin(), dots.end(), [](const XRectangle& a, const XRectangle& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
  });
  return dots;
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* surface = static_cast<cairo_surface_t*>(data);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, surface, 0, 0);
  cairo_paint(cr);
  return TRUE;
}

bool Show(Outline& o) {
  GdkWindow* root = gdk_get_default_root_window();
  if (root == nullptr) return false;
  const int w = o.rect.Width(), h = o.rect.Height();
  const int scale = std::max(1, gdk_window_get_scale_factor(root));
  // What is on the screen beneath, inverted (outside the screen: inverted black), with the
  // screen's own pixels.
  o.pixels = Surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w * scale, h * scale));
  if (cairo_surface_status(o.pixels.get()) != CAIRO_STATUS_SUCCESS) return false;
  cairo_surface_set_device_scale(o.pixels.get(), scale, scale);
  {
    const CairoContext context(cairo_create(o.pixels.get()));
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    gdk_cairo_set_source_window(cr, root, -o.rect.left, -o.rect.top);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
  }
  GtkWidget* win = gtk_window_new(GTK_WINDOW_POPUP);
  o.window = win;
  gtk_widget_set_app_paintable(win, TRUE);
  gtk_window_set_accept_focus(GTK_WINDOW(win), FALSE);
  gtk_window_move(GTK_WINDOW(win), o.rect.left, o.rect.top);
  gtk_window_resize(GTK_WINDOW(win), w, h);
  gtk_widget_set_size_request(win, w, h);
  g_signal_connect(win, "draw", G_CALLBACK(OnDraw), o.pixels.get());
  gtk_widget_realize(win);
  GdkWindow* gw = gtk_widget_get_window(win);
  if (gw != nullptr && GDK_IS_X11_WINDOW(gw)) {
    Display* dpy = GDK_WINDOW_XDISPLAY(gw);
    const Window xid = GDK_WINDOW_XID(gw);
    std::vector<XRectangle> dots = Dots(o.rect, scale);
    XShapeCombineRectangles(dpy, xid, ShapeBounding, 0, 0, dots.data(),
                            static_cast<int>(dots.size()), ShapeSet, YXBanded);
    XShapeCombineRectangles(dpy, xid, ShapeInput, 0, 0, nullptr, 0, ShapeSet, YXBanded);
  }
  gtk_widget_show(win);
  gdk_display_flush(gdk_window_get_display(root));
  return true;
}

void Hide(Outline& o) {
  if (o.window != nullptr) gtk_widget_destroy(o.window);
  o.window = nullptr;
  if (GdkDisplay* d = gdk_display_get_default()) gdk_display_flush(d);
}

}  // namespace

bool ToggleScreenOutline(const RECT& rect) {
  if (rect.left >= rect.right || rect.top >= rect.bottom) return true;
  if (gdk_display_get_default() == nullptr) return false;
  auto& all = Outlines();
  auto same =
      std::find_if(all.begin(), all.end(), [&](const Outline& o) { return o.rect == rect; });
  if (same != all.end()) {
    // Inverting the same pixels again gives back what was there.
    Hide(*same);
    all.erase(same);
    return true;
  }
  all.emplace_back();
  all.back().rect = rect;
  if (!Show(all.back())) {
    Hide(all.back());
    all.pop_back();
    return false;
  }
  return true;
}

}  // namespace platform::detail
