// Device contexts, bitmaps, brushes and the block transfers between them.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include <gdk/gdk.h>

#include "ScreenOutline.h"
#include "platform/gdi/Image.h"
#include "platform/gdi/detail/GdiImpl.h"

namespace platform {
namespace detail {

namespace {

struct Registry {
  std::uint32_t next = 0x100;
  std::map<std::uint32_t, GdiObject> objects;
  std::map<std::uint32_t, DeviceContext> dcs;
  HBITMAP placeholder = 0;
};

Registry& Reg() {
  static auto* const r = new Registry;  // lives as long as the process, see Icons()
  return *r;
}

// The shared 1 x 1 bitmap of fresh memory DCs and of zero-sized bitmaps. It has no surface:
// drawing on it does nothing.
HBITMAP Placeholder() {
  Registry& r = Reg();
  if (r.placeholder == 0) {
    GdiObject o{BitmapObject{}};
    o.stock = true;
    r.placeholder = AddObject(std::move(o));
  }
  return r.placeholder;
}

// Drops one DC's hold on an object, finishing a deferred deletion.
void Release(HGDIOBJ handle) {
  Registry& r = Reg();
  auto it = r.objects.find(handle);
  if (it == r.objects.end()) return;
  GdiObject& o = it->second;
  if (auto* bmp = std::get_if<BitmapObject>(&o.data)) {
    if (!o.stock) bmp->selectedIn = 0;
  } else if (o.selectCount > 0) {
    --o.selectCount;
  }
  if (o.deleted && o.selectCount == 0) r.objects.erase(it);
}

void Hold(HGDIOBJ handle, HDC dc) {
  GdiObject* o = FindObject(handle);
  if (o == nullptr) return;
  if (auto* bmp = std::get_if<BitmapObject>(&o->data)) {
    if (!o->stock) bmp->selectedIn = dc;
  } else {
    ++o->selectCount;
  }
}

}  // namespace

Surface NewSurface(int width, int height, cairo_format_t format, int scale) {
  scale = std::max(scale, 1);
  if (width <= 0 || height <= 0 || width > kMaxSurfaceExtent / scale ||
      height > kMaxSurfaceExtent / scale ||
      static_cast<std::int64_t>(width) * height * scale * scale > kMaxSurfacePixels) {
    return {};
  }
  Surface s(cairo_image_surface_create(format, width * scale, height * scale));
  if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return {};
  if (scale > 1) cairo_surface_set_device_scale(s.get(), scale, scale);
  return s;
}

int DeviceScale() {
  GdkDisplay* d = gdk_display_get_default();
  if (d == nullptr) return 1;
  GdkMonitor* m = gdk_display_get_primary_monitor(d);
  if (m == nullptr) m = gdk_display_get_monitor(d, 0);
  return m != nullptr ? std::max(1, gdk_monitor_get_scale_factor(m)) : 1;
}

int SurfaceScale(cairo_surface_t* surface) {
  double sx = 1;
  double sy = 1;
  cairo_surface_get_device_scale(surface, &sx, &sy);
  return std::max(1, static_cast<int>(std::lround(sx)));
}

SIZE SurfaceLogicalSize(cairo_surface_t* surface) {
  const int s = SurfaceScale(surface);
  return {cairo_image_surface_get_width(surface) / s, cairo_image_surface_get_height(surface) / s};
}

GdiObject* FindObject(HGDIOBJ handle) {
  auto& objects = Reg().objects;
  auto it = objects.find(handle);
  if (it == objects.end() || it->second.deleted) return nullptr;
  return &it->second;
}

GdiObject* FindHeldObject(HGDIOBJ handle) {
  auto& objects = Reg().objects;
  auto it = objects.find(handle);
  return it == objects.end() ? nullptr : &it->second;
}

DeviceContext* FindDc(HDC handle) {
  auto& dcs = Reg().dcs;
  auto it = dcs.find(handle);
  return it == dcs.end() ? nullptr : &it->second;
}

HGDIOBJ AddObject(GdiObject object) {
  Registry& r = Reg();
  const std::uint32_t h = r.next++;
  r.objects.emplace(h, std::move(object));
  return h;
}

HDC AddDc(DeviceContext dc) {
  Registry& r = Reg();
  const std::uint32_t h = r.next++;
  if (dc.kind == DcKind::Memory) {
    dc.bitmap = Placeholder();
  }
  r.dcs.emplace(h, dc);
  return h;
}

void RemoveDc(HDC handle) {
  Registry& r = Reg();
  auto it = r.dcs.find(handle);
  if (it == r.dcs.end()) return;
  const DeviceContext dc = it->second;
  r.dcs.erase(it);
  for (HGDIOBJ held : {dc.bitmap, dc.font, dc.brush}) {
    if (held != 0) Release(held);
  }
}

cairo_surface_t* DcSurface(const DeviceContext& dc) {
  switch (dc.kind) {
    case DcKind::Memory: {
      GdiObject* o = FindHeldObject(dc.bitmap);
      auto* bmp = o != nullptr ? std::get_if<BitmapObject>(&o->data) : nullptr;
      return bmp != nullptr ? bmp->surface.get() : nullptr;
    }
    case DcKind::Window:
      return dc.backing != nullptr ? dc.backing(dc.hwnd) : nullptr;
    case DcKind::Screen:
      return nullptr;
  }
  return nullptr;
}

}  // namespace detail

using namespace detail;

namespace {

// Direct access to a surface's pixels for the length of one operation: flushed on entry,
// marked dirty on exit when written.
class PixelAccess {
 public:
  explicit PixelAccess(cairo_surface_t* s, bool write = true)
      : m_s(s), m_write(write), m_scale(SurfaceScale(s)) {
    cairo_surface_flush(s);
    m_data = cairo_image_surface_get_data(s);
    m_stride = cairo_image_surface_get_stride(s);
    m_width = cairo_image_surface_get_width(s);
    m_height = cairo_image_surface_get_height(s);
    m_alpha = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32;
  }
  PixelAccess(const PixelAccess&) = delete;
  PixelAccess& operator=(const PixelAccess&) = delete;
  ~PixelAccess() {
    if (m_write) cairo_surface_mark_dirty(m_s);
  }

  std::uint32_t* Row(int y) const {
    return reinterpret_cast<std::uint32_t*>(m_data + y * m_stride);
  }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  SIZE Size() const { return {m_width, m_height}; }
  bool HasAlpha() const { return m_alpha; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
  // Device pixels per logical pixel; Width, Height, Row and Contains count device pixels.
  int Scale() const { return m_scale; }
  // Sets the device pixels of logical pixel (x, y) through `f`.
  template <class F>
  void ForLogical(int x, int y, F f) {
    for (int dy = 0; dy < m_scale; ++dy) {
      for (int dx = 0; dx < m_scale; ++dx) {
        if (Contains(x * m_scale + dx, y * m_scale + dy))
          f(Row(y * m_scale + dy)[x * m_scale + dx]);
      }
    }
  }

 private:
  cairo_surface_t* m_s;
  bool m_write;
  unsigned char* m_data = nullptr;
  int m_stride = 0;
  int m_width = 0;
  int m_height = 0;
  bool m_alpha = false;
  int m_scale = 1;
};

// Device pixels.
SIZE SurfaceSize(cairo_surface_t* s) {
  return {cairo_image_surface_get_width(s), cairo_image_surface_get_height(s)};
}

// A copy of the part of a source rectangle that lies on its surface, so that reading stays
// valid while the same surface is written.
struct SourcePixels {
  RECT area;  // in source surface coordinates, inside the surface
  std::vector<std::uint32_t> pixels;
  bool alpha = false;

  std::uint32_t At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y - area.top) * area.Width() + (x - area.left)];
  }
};

SourcePixels Snapshot(cairo_surface_t* s, const RECT& want) {
  PixelAccess px(s, false);
  SourcePixels out;
  out.alpha = px.HasAlpha();
  out.area = {std::max(want.left, 0), std::max(want.top, 0), std::min(want.right, px.Width()),
              std::min(want.bottom, px.Height())};
  if (out.area.Width() <= 0 || out.area.Height() <= 0) {
    out.area = {};
    return out;
  }
  out.pixels.resize(static_cast<std::size_t>(out.area.Width()) * out.area.Height());
  for (int y = out.area.top; y < out.area.bottom; ++y) {
    std::memcpy(&out.pixels[static_cast<std::size_t>(y - out.area.top) * out.area.Width()],
                px.Row(y) + out.area.left, static_cast<std::size_t>(out.area.Width()) * 4);
  }
  return out;
}

// The two DCs of a transfer and their surfaces; `ok` is false for a bad handle.
struct Transfer {
  bool ok = false;
  DeviceContext* dst = nullptr;
  cairo_surface_t* dstSurface = nullptr;
  cairo_surface_t* srcSurface = nullptr;
};

Transfer Open(HDC dst, HDC src) {
  Transfer t;
  t.dst = FindDc(dst);
  DeviceContext* s = FindDc(src);
  if (t.dst == nullptr || s == nullptr) return t;
  t.ok = true;
  t.dstSurface = DcSurface(*t.dst);
  t.srcSurface = DcSurface(*s);
  return t;
}

RECT ScaleRect(const RECT& r, int s) {
  return {r.left * s, r.top * s, r.right * s, r.bottom * s};
}

// A stretch in logical pixels as one between the two surfaces' device pixels.
gdi::StretchCoords ToDevice(gdi::StretchCoords c, cairo_surface_t* src, cairo_surface_t* dst) {
  c.dst = ScaleRect(c.dst, SurfaceScale(dst));
  c.src = ScaleRect(c.src, SurfaceScale(src));
  return c;
}

// The stretches below work on device pixels (coordinates from ToDevice).
// Nearest-pixel stretch: calls put(dstPixel, srcPixel) for every destination pixel inside the
// destination surface whose sample lies on the source surface.
template <class Put>
void StretchNearest(const gdi::StretchCoords& c, cairo_surface_t* srcSurface,
                    cairo_surface_t* dstSurface, Put put) {
  const SourcePixels src = Snapshot(srcSurface, c.src);
  if (src.pixels.empty()) return;
  PixelAccess dst(dstSurface);
  const int dw = c.dst.Width(), dh = c.dst.Height();
  const int sw = c.src.Width(), sh = c.src.Height();
  const int x0 = std::max(c.dst.left, 0), x1 = std::min(c.dst.right, dst.Width());
  const int y0 = std::max(c.dst.top, 0), y1 = std::min(c.dst.bottom, dst.Height());
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<int> columns(static_cast<std::size_t>(x1 - x0));
  for (int x = x0; x < x1; ++x) {
    columns[x - x0] = c.src.left + gdi::StretchSourceIndex(x - c.dst.left, dw, sw, c.mirrorX);
  }
  for (int y = y0; y < y1; ++y) {
    const int sy = c.src.top + gdi::StretchSourceIndex(y - c.dst.top, dh, sh, c.mirrorY);
    if (sy < src.area.top || sy >= src.area.bottom) continue;
    std::uint32_t* row = dst.Row(y);
    for (int x = x0; x < x1; ++x) {
      const int sx = columns[x - x0];
      if (sx < src.area.left || sx >= src.area.right) continue;
      put(row[x], src.At(sx, sy), dst.HasAlpha(), src.alpha);
    }
  }
}

std::uint32_t CopyPixel(std::uint32_t s, bool dstAlpha, bool srcAlpha) {
  // An opaque source's unused top byte must not become a destination's alpha.
  return dstAlpha && !srcAlpha ? (s | 0xFF000000u) : s;
}

// Smooth stretch through cairo: the source piece is copied out first so the filter never
// reads pixels beyond it (a neighbouring sprite piece, a key colour), and its edges are
// extended rather than faded.
void StretchSmooth(const gdi::StretchCoords& c, cairo_surface_t* srcSurface,
                   cairo_surface_t* dstSurface, cairo_operator_t op, double alpha) {
  const SourcePixels src = Snapshot(srcSurface, c.src);
  if (src.pixels.empty()) return;
  const SIZE srcSize = SurfaceSize(srcSurface);
  const gdi::Span xs =
      gdi::VisibleStretchSpan(c.dst.Width(), c.src.left, c.src.Width(), c.mirrorX, srcSize.cx);
  const gdi::Span ys =
      gdi::VisibleStretchSpan(c.dst.Height(), c.src.top, c.src.Height(), c.mirrorY, srcSize.cy);
  if (xs.first == xs.last || ys.first == ys.last) return;

  Surface piece = NewSurface(src.area.Width(), src.area.Height(),
                             src.alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24);
  if (!piece) return;
  {
    PixelAccess px(piece.get());
    for (int y = 0; y < src.area.Height(); ++y) {
      std::memcpy(px.Row(y), &src.pixels[static_cast<std::size_t>(y) * src.area.Width()],
                  static_cast<std::size_t>(src.area.Width()) * 4);
    }
  }

  // Pattern space = piece pixels; user space = destination pixels.
  const double scaleX = static_cast<double>(c.src.Width()) / c.dst.Width();
  const double scaleY = static_cast<double>(c.src.Height()) / c.dst.Height();
  cairo_matrix_t m;
  const double xx = c.mirrorX ? -scaleX : scaleX;
  const double yy = c.mirrorY ? -scaleY : scaleY;
  const double x0 = c.mirrorX ? c.src.right - src.area.left + c.dst.left * scaleX
                              : c.src.left - src.area.left - c.dst.left * scaleX;
  const double y0 = c.mirrorY ? c.src.bottom - src.area.top + c.dst.top * scaleY
                              : c.src.top - src.area.top - c.dst.top * scaleY;
  cairo_matrix_init(&m, xx, 0, 0, yy, x0, y0);

  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(piece.get());
  cairo_pattern_set_matrix(pattern, &m);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);

  const CairoContext context(cairo_create(dstSurface));
  cairo_t* cr = context.get();
  const double dstScale = SurfaceScale(dstSurface);
  cairo_scale(cr, 1 / dstScale, 1 / dstScale);  // user space = device pixels
  cairo_rectangle(cr, c.dst.left + xs.first, c.dst.top + ys.first, xs.last - xs.first,
                  ys.last - ys.first);
  cairo_clip(cr);
  cairo_set_operator(cr, op);
  cairo_set_source(cr, pattern);
  if (alpha >= 1.0) {
    cairo_paint(cr);
  } else {
    cairo_paint_with_alpha(cr, alpha);
  }
  cairo_pattern_destroy(pattern);
}

}  // namespace

// ---- Device contexts -------------------------------------------------------------------------

HDC CreateCompatibleDC(HDC compatible) {
  if (compatible != 0 && FindDc(compatible) == nullptr) return 0;
  return AddDc(DeviceContext{});
}

bool DeleteDC(HDC hdc) {
  DeviceContext* dc = FindDc(hdc);
  if (dc == nullptr || dc->kind != DcKind::Memory) return false;
  RemoveDc(hdc);
  return true;
}

// ---- Objects -----------------------------------------------------------------------------------

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  if (hdc != 0 && FindDc(hdc) == nullptr) return 0;
  if (width < 0 || height < 0) return 0;
  if (width == 0 || height == 0) return Placeholder();
  // Drawn for the desktop's windows: at their scale.
  Surface s = NewSurface(width, height, CAIRO_FORMAT_RGB24, DeviceScale());
  if (!s) return 0;
  return AddObject(GdiObject{BitmapObject{std::move(s)}});
}

HBITMAP CreateBitmapFromImage(const Image& image) {
  cairo_surface_t* from = ImageSurface(image);
  if (from == nullptr) return 0;
  const int scale = SurfaceScale(from);
  bool opaque = cairo_image_surface_get_format(from) != CAIRO_FORMAT_ARGB32;
  if (!opaque) {
    const PixelAccess in(from, false);
    opaque = true;
    for (int y = 0; y < in.Height() && opaque; ++y) {
      const std::uint32_t* row = in.Row(y);
      opaque =
          std::all_of(row, row + in.Width(), [](std::uint32_t p) { return (p >> 24) == 0xFF; });
    }
  }
  // The same pixels (premultiplied, as both hold them), at the image's scale.
  Surface s = NewSurface(image.Width(), image.Height(),
                         opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, scale);
  if (!s) return 0;
  {
    const PixelAccess in(from, false);
    PixelAccess out(s.get());
    const int w = std::min(in.Width(), out.Width());
    for (int y = 0; y < std::min(in.Height(), out.Height()); ++y) {
      std::memcpy(out.Row(y), in.Row(y), static_cast<std::size_t>(w) * 4);
      if (cairo_image_surface_get_format(from) != CAIRO_FORMAT_ARGB32) {
        for (int x = 0; x < w; ++x) out.Row(y)[x] |= 0xFF000000U;
      }
    }
  }
  return AddObject(GdiObject{BitmapObject{std::move(s)}});
}

namespace {

// The colour the skins mark see-through pixels with (TransparentBlt's key in every caller).
constexpr std::uint32_t kSkinKey = 0xFF00FF;

// A bitmap drawn at 1x, made `scale` times larger for a screen of that scale: smoothly, except
// that key-coloured pixels stay exactly the key and are never mixed into their neighbours (a
// mixed pixel would no longer be see-through and would show as a coloured fringe).
HBITMAP UpscaleBitmap(HBITMAP bitmap, int scale) {
  GdiObject* o = FindObject(bitmap);
  auto* bmp = o != nullptr ? std::get_if<BitmapObject>(&o->data) : nullptr;
  if (bmp == nullptr || !bmp->surface || SurfaceScale(bmp->surface.get()) != 1) return bitmap;
  cairo_surface_t* from = bmp->surface.get();
  const SIZE size = SurfaceSize(from);
  Surface s = NewSurface(size.cx, size.cy, cairo_image_surface_get_format(from), scale);
  if (!s) return bitmap;
  {
    const PixelAccess in(from, false);
    PixelAccess out(s.get());
    const auto isKey = [](std::uint32_t p) { return (p & 0x00FFFFFFU) == kSkinKey; };
    for (int y = 0; y < out.Height(); ++y) {
      const double v = (y + 0.5) / scale - 0.5;
      const int y0 = static_cast<int>(std::floor(v));
      const double fy = v - y0;
      for (int x = 0; x < out.Width(); ++x) {
        const std::uint32_t nearest = in.Row(y / scale)[x / scale];
        if (isKey(nearest)) {
          out.Row(y)[x] = nearest;
          continue;
        }
        const double u = (x + 0.5) / scale - 0.5;
        const int x0 = static_cast<int>(std::floor(u));
        const double fx = u - x0;
        double sum[4] = {0, 0, 0, 0};
        double weight = 0;
        for (int j = 0; j < 2; ++j) {
          for (int i = 0; i < 2; ++i) {
            const int sx = std::clamp(x0 + i, 0, size.cx - 1);
            const int sy = std::clamp(y0 + j, 0, size.cy - 1);
            const std::uint32_t p = in.Row(sy)[sx];
            if (isKey(p)) continue;
            const double w = (i != 0 ? fx : 1 - fx) * (j != 0 ? fy : 1 - fy);
            for (int c = 0; c < 4; ++c) sum[c] += w * ((p >> (8 * c)) & 0xFF);
            weight += w;
          }
        }
        std::uint32_t p = 0;
        for (int c = 0; c < 4; ++c) {
          p |= static_cast<std::uint32_t>(std::lround(sum[c] / weight)) << (8 * c);
        }
        out.Row(y)[x] = in.HasAlpha() ? p : (p | 0xFF000000U);
      }
    }
  }
  bmp->surface = std::move(s);
  return bitmap;
}

}  // namespace

HBITMAP LoadBitmapResource(int id) {
  const HBITMAP bitmap = CreateBitmapFromImage(LoadImageResource("BITMAP", id));
  // Drawn for 1x only: made for the screen's scale here, once, rather than at every transfer.
  const int scale = DeviceScale();
  return bitmap != 0 && scale > 1 ? UpscaleBitmap(bitmap, scale) : bitmap;
}

bool GetBitmapSize(HBITMAP bitmap, SIZE* size) {
  GdiObject* o = FindObject(bitmap);
  auto* bmp = o != nullptr ? std::get_if<BitmapObject>(&o->data) : nullptr;
  if (bmp == nullptr || size == nullptr) return false;
  *size = bmp->surface ? SurfaceLogicalSize(bmp->surface.get()) : SIZE{1, 1};
  return true;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  return AddObject(GdiObject{BrushObject{color & 0x00FFFFFF}});
}

HGDIOBJ GetStockObject(int index) {
  return index == DEFAULT_GUI_FONT ? StockGuiFont() : 0;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  DeviceContext* dc = FindDc(hdc);
  GdiObject* o = FindObject(object);
  if (dc == nullptr || o == nullptr) return 0;
  HGDIOBJ* slot = nullptr;
  HGDIOBJ previous = 0;
  if (auto* bmp = std::get_if<BitmapObject>(&o->data)) {
    if (dc->kind != DcKind::Memory) return 0;
    if (!o->stock && bmp->selectedIn != 0 && bmp->selectedIn != hdc) return 0;
    slot = &dc->bitmap;
    previous = dc->bitmap;
  } else if (std::holds_alternative<FontObject>(o->data)) {
    slot = &dc->font;
    previous = dc->font != 0 ? dc->font : StockGuiFont();
  } else {
    slot = &dc->brush;
    previous = dc->brush;
  }
  if (*slot == object) return previous;
  Hold(object, hdc);
  if (*slot != 0) Release(*slot);
  *slot = object;
  return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, int type) {
  DeviceContext* dc = FindDc(hdc);
  if (dc == nullptr) return 0;
  switch (type) {
    case OBJ_BITMAP:
      return dc->bitmap;
    case OBJ_FONT:
      return dc->font != 0 ? dc->font : StockGuiFont();
    case OBJ_BRUSH:
      return dc->brush;
    default:
      return 0;
  }
}

int GetObjectType(HGDIOBJ object) {
  if (GdiObject* o = FindObject(object)) {
    if (std::holds_alternative<BitmapObject>(o->data)) return OBJ_BITMAP;
    if (std::holds_alternative<FontObject>(o->data)) return OBJ_FONT;
    return OBJ_BRUSH;
  }
  if (DeviceContext* dc = FindDc(object)) return dc->kind == DcKind::Memory ? OBJ_MEMDC : OBJ_DC;
  return 0;
}

bool DeleteObject(HGDIOBJ object) {
  GdiObject* o = FindObject(object);
  if (o == nullptr) return false;
  if (o->stock) return true;
  if (auto* bmp = std::get_if<BitmapObject>(&o->data)) {
    if (bmp->selectedIn != 0) return false;
  } else if (o->selectCount > 0) {
    o->deleted = true;
    return true;
  }
  Reg().objects.erase(object);
  return true;
}

// ---- Attributes ------------------------------------------------------------------------------

int SetBkMode(HDC hdc, int mode) {
  DeviceContext* dc = FindDc(hdc);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(dc->bkMode, mode);
}

int GetBkMode(HDC hdc) {
  DeviceContext* dc = FindDc(hdc);
  return dc != nullptr ? dc->bkMode : 0;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = FindDc(hdc);
  return dc != nullptr ? std::exchange(dc->textColor, color & 0x00FFFFFF) : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = FindDc(hdc);
  return dc != nullptr ? std::exchange(dc->bkColor, color & 0x00FFFFFF) : CLR_INVALID;
}

int SetStretchBltMode(HDC hdc, int mode) {
  DeviceContext* dc = FindDc(hdc);
  if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return std::exchange(dc->stretchMode, mode);
}

int GetStretchBltMode(HDC hdc) {
  DeviceContext* dc = FindDc(hdc);
  return dc != nullptr ? dc->stretchMode : 0;
}

// ---- Block transfers ---------------------------------------------------------------------------

bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  if (rop != SRCCOPY) return false;
  Transfer t = Open(dst, src);
  if (!t.ok) return false;
  if (t.dstSurface == nullptr || t.srcSurface == nullptr) return true;
  // Negative extents cover the pixels left of / above the origin, unmirrored.
  auto norm = gdi::NormaliseStretch(x, y, width, height, srcX, srcY, width, height);
  if (!norm) return true;
  const int scale = SurfaceScale(t.dstSurface);
  if (SurfaceScale(t.srcSurface) != scale) {
    // Pixels drawn for another scale (1x art on a 2x window): scaled smoothly.
    StretchSmooth(ToDevice(*norm, t.srcSurface, t.dstSurface), t.srcSurface, t.dstSurface,
                  CAIRO_OPERATOR_SOURCE, 1.0);
    return true;
  }
  auto clipped =
      gdi::ClipBlit({norm->dst.left * scale, norm->dst.top * scale, norm->src.left * scale,
                     norm->src.top * scale, norm->dst.Width() * scale, norm->dst.Height() * scale},
                    SurfaceSize(t.srcSurface), SurfaceSize(t.dstSurface));
  if (!clipped) return true;
  const gdi::BlitCoords& c = *clipped;
  const bool same = t.srcSurface == t.dstSurface;
  PixelAccess dstPx(t.dstSurface);
  std::optional<PixelAccess> srcPxStorage;
  if (!same) srcPxStorage.emplace(t.srcSurface, false);
  const PixelAccess& srcPx = same ? dstPx : *srcPxStorage;
  const bool fixAlpha = dstPx.HasAlpha() && !srcPx.HasAlpha();
  // Rows in the order that keeps an overlapping copy on one surface intact.
  const bool upward = same && c.dstY > c.srcY;
  for (int i = 0; i < c.height; ++i) {
    const int row = upward ? c.height - 1 - i : i;
    std::uint32_t* d = dstPx.Row(c.dstY + row) + c.dstX;
    const std::uint32_t* s = srcPx.Row(c.srcY + row) + c.srcX;
    std::memmove(d, s, static_cast<std::size_t>(c.width) * 4);
    if (fixAlpha) {
      for (int k = 0; k < c.width; ++k) d[k] |= 0xFF000000u;
    }
  }
  return true;
}

bool StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop) {
  if (rop != SRCCOPY) return false;
  Transfer t = Open(dst, src);
  if (!t.ok) return false;
  if (t.dstSurface == nullptr || t.srcSurface == nullptr) return true;
  auto c = gdi::NormaliseStretch(x, y, width, height, srcX, srcY, srcWidth, srcHeight);
  if (!c) return true;
  c = ToDevice(*c, t.srcSurface, t.dstSurface);
  if (t.dst->stretchMode == HALFTONE) {
    StretchSmooth(*c, t.srcSurface, t.dstSurface, CAIRO_OPERATOR_SOURCE, 1.0);
  } else {
    StretchNearest(
        *c, t.srcSurface, t.dstSurface,
        [](std::uint32_t& d, std::uint32_t s, bool da, bool sa) { d = CopyPixel(s, da, sa); });
  }
  return true;
}

bool TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                    int srcWidth, int srcHeight, COLORREF key) {
  if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0) return false;
  Transfer t = Open(dst, src);
  if (!t.ok) return false;
  if (t.dstSurface == nullptr || t.srcSurface == nullptr) return true;
  auto c = gdi::NormaliseStretch(x, y, width, height, srcX, srcY, srcWidth, srcHeight);
  if (!c) return true;
  const std::uint32_t keyRgb = PixelFromColor(key) & 0x00FFFFFF;
  StretchNearest(ToDevice(*c, t.srcSurface, t.dstSurface), t.srcSurface, t.dstSurface,
                 [keyRgb](std::uint32_t& d, std::uint32_t s, bool da, bool sa) {
                   if ((s & 0x00FFFFFF) != keyRgb) d = CopyPixel(s, da, sa);
                 });
  return true;
}

bool AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, std::uint8_t constantAlpha) {
  if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0) return false;
  Transfer t = Open(dst, src);
  if (!t.ok) return false;
  if (t.dstSurface == nullptr || t.srcSurface == nullptr) return true;
  auto c = gdi::NormaliseStretch(x, y, width, height, srcX, srcY, srcWidth, srcHeight);
  if (!c) return true;
  StretchSmooth(ToDevice(*c, t.srcSurface, t.dstSurface), t.srcSurface, t.dstSurface,
                CAIRO_OPERATOR_OVER, constantAlpha / 255.0);
  return true;
}

// ---- Filling, pixels, focus
// ----------------------------------------------------------------------

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  DeviceContext* dc = FindDc(hdc);
  GdiObject* o = FindObject(brush);
  auto* b = o != nullptr ? std::get_if<BrushObject>(&o->data) : nullptr;
  if (dc == nullptr || b == nullptr || rect == nullptr) return 0;
  cairo_surface_t* s = DcSurface(*dc);
  if (s == nullptr) return 1;
  PixelAccess px(s);
  const std::uint32_t p = PixelFromColor(b->color);
  const RECT r = ScaleRect(*rect, px.Scale());
  const int x0 = std::max(r.left, 0);
  const int x1 = std::min(r.right, px.Width());
  const int y0 = std::max(r.top, 0);
  const int y1 = std::min(r.bottom, px.Height());
  for (int y = y0; y < y1; ++y) std::fill(px.Row(y) + x0, px.Row(y) + std::max(x0, x1), p);
  return 1;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  DeviceContext* dc = FindDc(hdc);
  cairo_surface_t* s = dc != nullptr ? DcSurface(*dc) : nullptr;
  if (s == nullptr) return CLR_INVALID;
  PixelAccess px(s, false);
  const int k = px.Scale();
  if (x < 0 || y < 0 || !px.Contains(x * k, y * k)) return CLR_INVALID;
  return ColorFromPixel(px.Row(y * k)[static_cast<std::ptrdiff_t>(x) * k]);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  DeviceContext* dc = FindDc(hdc);
  cairo_surface_t* s = dc != nullptr ? DcSurface(*dc) : nullptr;
  if (s == nullptr) return CLR_INVALID;
  PixelAccess px(s);
  const int k = px.Scale();
  if (x < 0 || y < 0 || !px.Contains(x * k, y * k)) return CLR_INVALID;
  px.ForLogical(x, y, [p = PixelFromColor(color)](std::uint32_t& d) { d = p; });
  return color & 0x00FFFFFF;
}

bool DrawFocusRect(HDC hdc, const RECT* rect) {
  DeviceContext* dc = FindDc(hdc);
  if (dc == nullptr || rect == nullptr) return false;
  if (dc->kind == DcKind::Screen) return ToggleScreenOutline(*rect);
  cairo_surface_t* s = DcSurface(*dc);
  if (s == nullptr || rect->left >= rect->right || rect->top >= rect->bottom) return true;
  PixelAccess px(s);
  // Every pixel of the outline exactly once (the corners too), on one parity of the
  // checkerboard, so that a second drawing undoes the first.
  auto invert = [&px](int x, int y) {
    if (((x + y) & 1) == 0) px.ForLogical(x, y, [](std::uint32_t& d) { d ^= 0x00FFFFFFU; });
  };
  const int l = rect->left, t = rect->top, r = rect->right - 1, b = rect->bottom - 1;
  for (int x = l; x <= r; ++x) {
    invert(x, t);
    if (b != t) invert(x, b);
  }
  for (int y = t + 1; y < b; ++y) {
    invert(l, y);
    if (r != l) invert(r, y);
  }
  return true;
}

}  // namespace platform
