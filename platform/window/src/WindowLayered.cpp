// Regions, window shapes and layered windows (colour key, constant alpha, per-pixel alpha).
//
// What a window shows and what takes its input are one computation: the window's region
// (SetWindowRgn) intersected with what the layering leaves (the image's pixels with alpha > 0,
// or the pixels of the window's painting that are not the colour key). Both the bounding and
// the input shape are set from it: without a compositor the bounding shape is what keeps
// transparent pixels from showing black; with one, the compositor blends the pixels inside.
//
// A per-pixel alpha image has two looks. Where a compositor runs, the image is painted as it is
// and blended with what lies behind it. Without one nothing blends: every pixel the window
// shows is opaque. So the window then shows only the image's solid parts (alpha at least
// kSolidAlpha, which keeps a figure or frame and drops the soft glow and shadow around it) and
// paints them un-premultiplied, in their full colour instead of darkened toward black. The
// window switches between the two when a compositor starts or stops.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "platform/system/detail/Guarded.h"
#include "platform/window/detail/WindowGtk.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <gdk/gdkx.h>

namespace platform {

namespace detail {

namespace {

std::map<HRGN, Region>& Regions() {
  static auto* const regions = new std::map<HRGN, Region>;  // lives as long as the process
  return *regions;
}
HRGN g_nextRegion = 0x20010;

HRGN AddRegion(Region r) {
  const HRGN h = g_nextRegion;
  g_nextRegion += 4;
  Regions().emplace(h, std::move(r));
  return h;
}

Region FromRects(std::vector<cairo_rectangle_int_t>& rects) {
  return Region(cairo_region_create_rectangles(rects.data(), static_cast<int>(rects.size())));
}

// Runs of logical pixels that `keep` accepts, row by row, as a region. On a surface of a
// higher scale a logical pixel counts when `keep` accepts every device pixel of it (`whole`) or
// any of them.
template <typename Keep>
Region RegionOfPixels(cairo_surface_t* surface, Keep keep, bool whole) {
  cairo_surface_flush(surface);
  const int k = SurfaceScale(surface);
  const SIZE size = SurfaceLogicalSize(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const auto kept = [&](int x, int y) {
    for (int dy = 0; dy < k; ++dy) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(
          data + static_cast<std::ptrdiff_t>(y * k + dy) * stride);
      for (int dx = 0; dx < k; ++dx) {
        if (keep(row[x * k + dx]) != whole) return !whole;
      }
    }
    return whole;
  };
  std::vector<cairo_rectangle_int_t> rects;
  for (int y = 0; y < size.cy; ++y) {
    int x = 0;
    while (x < size.cx) {
      while (x < size.cx && !kept(x, y)) ++x;
      const int start = x;
      while (x < size.cx && kept(x, y)) ++x;
      if (x > start) rects.push_back(cairo_rectangle_int_t{start, y, x - start, 1});
    }
  }
  return FromRects(rects);
}

// Alpha from which a pixel counts as solid (90 %).
constexpr std::uint32_t kSolidAlpha = 230;

bool Composited(GtkWidget* widget) {
  return gdk_screen_is_composited(gtk_widget_get_screen(widget)) != FALSE;
}

// The pixels of a per-pixel alpha image that are shown without a compositor.
Region SolidRegion(cairo_surface_t* image) {
  // Whole logical pixels only: a part of one left out of the paint would show black.
  return RegionOfPixels(
      image, [](std::uint32_t px) { return (px >> 24) >= kSolidAlpha; }, true);
}

// Paints the opaque look of the image into `cr`, for the part in `area`: the solid pixels
// un-premultiplied, the rest cleared. Made afresh for each paint (these windows repaint only
// when exposed), so the window keeps no second copy of its picture.
void PaintSolidPixels(cairo_t* cr, cairo_surface_t* image, cairo_rectangle_int_t logical) {
  cairo_surface_flush(image);
  const int k = SurfaceScale(image);
  const int w = cairo_image_surface_get_width(image);
  const int h = cairo_image_surface_get_height(image);
  const cairo_rectangle_int_t all{0, 0, w, h};
  cairo_rectangle_int_t area{logical.x * k, logical.y * k, logical.width * k, logical.height * k};
  if (!gdk_rectangle_intersect(&area, &all, &area)) return;
  Surface part(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.width, area.height));
  cairo_surface_set_device_scale(part.get(), k, k);
  const int inStride = cairo_image_surface_get_stride(image);
  const int outStride = cairo_image_surface_get_stride(part.get());
  const unsigned char* in = cairo_image_surface_get_data(image);
  unsigned char* out = cairo_image_surface_get_data(part.get());
  for (int y = 0; y < area.height; ++y) {
    const auto* from = reinterpret_cast<const std::uint32_t*>(
                           in + static_cast<std::ptrdiff_t>(area.y + y) * inStride) +
                       area.x;
    auto* to = reinterpret_cast<std::uint32_t*>(out + static_cast<std::ptrdiff_t>(y) * outStride);
    for (int x = 0; x < area.width; ++x) {
      const std::uint32_t px = from[x];
      const std::uint32_t a = px >> 24;
      if (a < kSolidAlpha) {
        to[x] = 0;
        continue;
      }
      auto full = [a](std::uint32_t c) {
        return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
      };
      to[x] = 0xFF000000u | full((px >> 16) & 0xFF) << 16 | full((px >> 8) & 0xFF) << 8 |
              full(px & 0xFF);
    }
  }
  cairo_surface_mark_dirty(part.get());
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  const double x = static_cast<double>(area.x) / k;
  const double y = static_cast<double>(area.y) / k;
  cairo_set_source_surface(cr, part.get(), x, y);
  cairo_rectangle(cr, x, y, static_cast<double>(area.width) / k,
                  static_cast<double>(area.height) / k);
  cairo_fill(cr);
  cairo_restore(cr);
}

// A layered window is its picture, at the place and size the program gives it: the window
// manager is told that the user chose both, so that one which fits new windows larger than the
// screen into it (shrinking them, which crops the picture, and pulling their top-left corner on
// screen) leaves it as it is.
void KeepPlaceAndSize(NativeWindow& n) {
  if (n.window == nullptr) return;
  GdkGeometry unused{};
  gtk_window_set_geometry_hints(GTK_WINDOW(n.window), nullptr, &unused,
                                GdkWindowHints(GDK_HINT_USER_POS | GDK_HINT_USER_SIZE));
}

bool ColorKeyOn(HWND top) {
  WindowRecord* rec = Find(top);
  NativeWindow* n = Native(top);
  return rec != nullptr && n != nullptr && (rec->exStyle & WS_EX_LAYERED) != 0 &&
         (n->layeredFlags & LWA_COLORKEY) != 0 && !n->image;
}

// The part of the top-level window's client area that its colour-keyed painting leaves: each
// of our windows contributes its painted non-key pixels, replacing what lies under it; hosted
// widgets count whole. Clipped by every parent, as the drawing is.
void AddKeyedWindow(HWND h, int ox, int oy, cairo_rectangle_int_t clip, cairo_region_t* acc) {
  WindowRecord* rec = Find(h);
  NativeWindow* n = Native(h);
  if (rec == nullptr || n == nullptr || (rec->style & WS_VISIBLE) == 0) return;
  cairo_rectangle_int_t own{ox, oy, n->rect.Width(), n->rect.Height()};
  if (!gdk_rectangle_intersect(&own, &clip, &clip)) return;
  // A child keyed on its own leaves what lies under its key-coloured pixels.
  if (!n->childKeyed) cairo_region_subtract_rectangle(acc, &clip);
  if (n->hosted != nullptr) {
    cairo_region_union_rectangle(acc, &clip);
  } else if (n->keyOpaque) {
    Region part = n->keyOpaque.Copy();
    cairo_region_translate(part.get(), ox, oy);
    cairo_region_intersect_rectangle(part.get(), &clip);
    cairo_region_union(acc, part.get());
  }
  for (HWND c : rec->children) {
    NativeWindow* cn = Native(c);
    if (cn != nullptr) AddKeyedWindow(c, ox + cn->rect.left, oy + cn->rect.top, clip, acc);
  }
}

// Sets the bounding and input shape of a top-level window on the X server directly. GDK keeps
// its own idea of a top-level's shape and was seen to drop a shape set shortly after the
// window was mapped; owning the shapes ourselves makes them exact. A window that is not yet
// realized gets them from its realize handler.
void SetNativeShapes(GtkWidget* window, const cairo_region_t* region) {
  GdkWindow* gw = gtk_widget_get_window(window);
  if (gw == nullptr || !gtk_widget_get_realized(window) || !GDK_IS_X11_WINDOW(gw)) return;
  Display* dpy = GDK_WINDOW_XDISPLAY(gw);
  const Window xid = GDK_WINDOW_XID(gw);
  if (region == nullptr) {
    XShapeCombineMask(dpy, xid, ShapeBounding, 0, 0, None, ShapeSet);
    XShapeCombineMask(dpy, xid, ShapeInput, 0, 0, None, ShapeSet);
    return;
  }
  // The region is in logical pixels; the X window has the window scale's device pixels.
  const int k = std::max(1, gdk_window_get_scale_factor(gw));
  const int count = cairo_region_num_rectangles(region);
  std::vector<XRectangle> rects(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(region, i, &r);
    rects[static_cast<std::size_t>(i)] = XRectangle{
        static_cast<short>(r.x * k), static_cast<short>(r.y * k),
        static_cast<unsigned short>(r.width * k), static_cast<unsigned short>(r.height * k)};
  }
  // cairo regions list their rectangles in y-x banded order.
  for (int kind : {ShapeBounding, ShapeInput}) {
    XShapeCombineRectangles(dpy, xid, kind, 0, 0, rects.data(), count, ShapeSet, YXBanded);
  }
}

void ApplyShapeNow(HWND top) {
  WindowRecord* rec = Find(top);
  NativeWindow* n = Native(top);
  if (rec == nullptr || n == nullptr) return;
  n->shapeQueued = false;
  GtkWidget* widget = n->Outer();
  const bool layered = (rec->exStyle & WS_EX_LAYERED) != 0;
  Region layer;
  if (layered && n->image && n->window != nullptr && !Composited(n->window)) {
    if (!n->solidRegion) n->solidRegion = SolidRegion(n->image.get());
    layer = n->solidRegion.Copy();
  } else if (layered && n->image) {
    layer = n->imageRegion.Copy();
  } else if (ColorKeyOn(top) && n->keyOpaque) {
    // Only once the window has painted: an empty shape before that would never be exposed.
    layer = Region(cairo_region_create());
    AddKeyedWindow(top, 0, 0, cairo_rectangle_int_t{0, 0, n->rect.Width(), n->rect.Height()},
                   layer.get());
  }
  Region input;
  if (layer && n->windowRegion) {
    input = layer.Copy();
    cairo_region_intersect(input.get(), n->windowRegion.get());
  } else if (layer) {
    input = layer.Copy();
  } else if (n->windowRegion) {
    input = n->windowRegion.Copy();
  }
  // The bounding shape is the input shape also with a compositor: it costs nothing there (the
  // pixels it cuts away are fully transparent), and the window manager's frame follows the
  // bounding shape only, so without it the frame would take the clicks meant for what is
  // behind the transparent parts.
  n->inputShape = std::move(input);
  SetNativeShapes(widget, n->inputShape.get());
}

}  // namespace

void ReapplyShape(HWND topLevel) {
  NativeWindow* n = Native(topLevel);
  if (n != nullptr && n->window != nullptr) SetNativeShapes(n->window, n->inputShape.get());
}

void UpdateShape(HWND topLevel, bool deferred) {
  NativeWindow* n = Native(topLevel);
  if (n == nullptr) return;
  if (!deferred) {
    ApplyShapeNow(topLevel);
    return;
  }
  if (n->shapeQueued) return;
  n->shapeQueued = true;
  g_idle_add(
      [](gpointer data) -> gboolean {
        Guarded("window shape",
                [data] { ApplyShapeNow(static_cast<HWND>(GPOINTER_TO_UINT(data))); });
        return G_SOURCE_REMOVE;
      },
      GUINT_TO_POINTER(topLevel));
}

void PaintLayeredImage(HWND hwnd, cairo_t* cr) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr || !n->image) return;
  if (n->window == nullptr || Composited(n->window)) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, n->image.get(), 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    return;
  }
  GdkRectangle clip;
  if (!gdk_cairo_get_clip_rectangle(cr, &clip)) return;
  PaintSolidPixels(cr, n->image.get(), clip);
}

void CompositingChanged() {
  for (HWND h : AllWindows()) {
    WindowRecord* rec = Find(h);
    NativeWindow* n = Native(h);
    if (rec == nullptr || n == nullptr || n->window == nullptr ||
        (rec->exStyle & WS_EX_LAYERED) == 0) {
      continue;
    }
    UpdateShape(h, false);
    gtk_widget_queue_draw(n->Outer());
  }
}

bool PaintsThroughColorKey(HWND hwnd) {
  return ColorKeyOn(TopLevelOf(hwnd));
}

Region ApplyColorKey(cairo_surface_t* surface, std::uint32_t colorKey) {
  cairo_surface_flush(surface);
  // The key is 0x00BBGGRR; an opaque pixel in memory is 0xFFRRGGBB.
  const std::uint32_t key =
      0xFF000000u | ((colorKey & 0xFF) << 16) | (colorKey & 0xFF00) | ((colorKey >> 16) & 0xFF);
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      if (row[x] == key) row[x] = 0;
    }
  }
  cairo_surface_mark_dirty(surface);
  // Whole logical pixels only: a key-coloured part of one would show black without a
  // compositor.
  return RegionOfPixels(
      surface, [](std::uint32_t px) { return (px >> 24) != 0; }, true);
}

Region OpaqueRegion(cairo_surface_t* surface) {
  if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
    const SIZE size = SurfaceLogicalSize(surface);
    cairo_rectangle_int_t all{0, 0, size.cx, size.cy};
    return Region(cairo_region_create_rectangle(&all));
  }
  return RegionOfPixels(
      surface, [](std::uint32_t px) { return (px >> 24) != 0; }, false);
}

void EnsureRgbaVisual(HWND hwnd) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr || n->window == nullptr) return;
  GtkWidget* win = n->window;
  GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(win));
  if (rgba == nullptr || gtk_widget_get_visual(win) == rgba) return;
  // The visual is fixed when the native window is created: a realized window is made again.
  const bool visible = gtk_widget_get_visible(win);
  if (gtk_widget_get_realized(win)) {
    if (visible) gtk_widget_hide(win);
    gtk_widget_unrealize(win);
  }
  gtk_widget_set_visual(win, rgba);
  if (visible) gtk_widget_show(win);
}

}  // namespace detail

using namespace detail;

// ---- Regions ----

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const cairo_rectangle_int_t r{left, top, right - left, bottom - top};
  return AddRegion(Region(cairo_region_create_rectangle(&r)));
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int widthEllipse,
                        int heightEllipse) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const int w = right - left;
  const int h = bottom - top;
  const int ew = std::min(std::abs(widthEllipse), w);
  const int eh = std::min(std::abs(heightEllipse), h);
  if (ew < 2 || eh < 2) return CreateRectRgn(left, top, right, bottom);
  // Each row of the rectangle, narrowed in the corner bands by the quarter ellipses of
  // ew x eh; a pixel belongs when its centre lies inside the ellipse.
  const double rx = ew / 2.0;
  const double ry = eh / 2.0;
  std::vector<cairo_rectangle_int_t> rows;
  rows.reserve(static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    const double cy = y + 0.5;
    double dy = 0;
    if (cy < ry)
      dy = ry - cy;
    else if (cy > h - ry)
      dy = cy - (h - ry);
    int inset = 0;
    if (dy > 0) {
      const double t = 1.0 - (dy * dy) / (ry * ry);
      const double half = t > 0 ? rx * std::sqrt(t) : 0.0;
      // Pixel x (centre x + 0.5) is inside when rx - (x + 0.5) <= half.
      inset = std::max(0, static_cast<int>(std::ceil(rx - half - 0.5)));
    }
    if (2 * inset < w)
      rows.push_back(cairo_rectangle_int_t{left + inset, top + y, w - 2 * inset, 1});
  }
  return AddRegion(FromRects(rows));
}

bool DeleteRgn(HRGN rgn) {
  return Regions().erase(rgn) != 0;
}

bool SetWindowRgn(HWND hwnd, HRGN rgn, bool redraw) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  Region region;
  if (rgn != 0) {
    auto it = Regions().find(rgn);
    if (it == Regions().end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    region = std::move(it->second);  // the window owns it now
    Regions().erase(it);
  }
  n->windowRegion = std::move(region);
  if (n->window != nullptr) {
    UpdateShape(hwnd, false);
  } else {
    GtkWidget* w = n->Outer();
    gtk_widget_shape_combine_region(w, n->windowRegion.get());
    gtk_widget_input_shape_combine_region(w, n->windowRegion.get());
  }
  if (redraw) gtk_widget_queue_draw(n->Outer());
  return true;
}

// ---- Layered windows ----

bool SetLayeredWindowAttributes(HWND hwnd, std::uint32_t colorKey, std::uint8_t alpha,
                                DWORD flags) {
  WindowRecord* rec = Find(hwnd);
  NativeWindow* n = Native(hwnd);
  if (rec == nullptr || n == nullptr || n->window == nullptr ||
      (rec->exStyle & WS_EX_LAYERED) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  n->layeredFlags = flags;
  n->colorKey = colorKey & 0x00FFFFFF;
  KeepPlaceAndSize(*n);
  n->alpha = alpha;
  n->image.Reset();
  n->imageRegion.Reset();
  n->solidRegion.Reset();
  gtk_widget_set_opacity(n->window, (flags & LWA_ALPHA) != 0 ? alpha / 255.0 : 1.0);
  if ((flags & LWA_COLORKEY) == 0) {
    // Forget the key regions of every window inside.
    std::vector<HWND> todo{hwnd};
    while (!todo.empty()) {
      const HWND h = todo.back();
      todo.pop_back();
      if (NativeWindow* c = Native(h)) c->keyOpaque.Reset();
      if (WindowRecord* r = Find(h))
        todo.insert(todo.end(), r->children.begin(), r->children.end());
    }
  }
  UpdateShape(hwnd, false);
  gtk_widget_queue_draw(n->window);
  return true;
}

bool SetChildColorKey(HWND child, std::uint32_t colorKey, bool on) {
  NativeWindow* n = Native(child);
  if (n == nullptr || n->window != nullptr || n->client == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  colorKey &= 0x00FFFFFF;
  if (n->childKeyed == on && (!on || n->childKey == colorKey)) return true;
  n->childKeyed = on;
  n->childKey = colorKey;
  gtk_widget_queue_draw(n->client);
  if (ColorKeyOn(TopLevelOf(child))) UpdateShape(TopLevelOf(child), true);
  return true;
}

bool UpdateLayeredWindow(HWND hwnd, const Image& image) {
  WindowRecord* rec = Find(hwnd);
  NativeWindow* n = Native(hwnd);
  cairo_surface_t* src = ImageSurface(image);
  if (rec == nullptr || n == nullptr || n->window == nullptr || src == nullptr ||
      (rec->exStyle & WS_EX_LAYERED) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const int w = image.Width();
  const int h = image.Height();
  // The window keeps the pixels, to repaint after the caller lets the image go. Decoded images
  // are never drawn on, so the window shares them; only pixels in another format are copied.
  Surface copy;
  if (cairo_image_surface_get_format(src) == CAIRO_FORMAT_ARGB32) {
    copy = Surface(cairo_surface_reference(src));
  } else {
    copy = NewSurface(w, h, CAIRO_FORMAT_ARGB32, image.Scale());
    if (!copy) return false;
    const CairoContext cr(cairo_create(copy.get()));
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr.get(), src, 0, 0);
    cairo_paint(cr.get());
  }
  n->imageRegion = OpaqueRegion(copy.get());
  n->image = std::move(copy);
  n->solidRegion.Reset();
  n->layeredFlags = 0;
  gtk_widget_set_opacity(n->window, 1.0);
  EnsureRgbaVisual(hwnd);
  SetWindowPos(hwnd, HWND_TOP, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if ((n = Native(hwnd)) == nullptr) return false;
  KeepPlaceAndSize(*n);
  UpdateShape(hwnd, false);
  gtk_widget_queue_draw(n->window);
  return true;
}

}  // namespace platform
