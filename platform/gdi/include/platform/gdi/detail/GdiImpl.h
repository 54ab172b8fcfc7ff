#pragma once

// The drawing layer's registry, shared by its parts (objects and transfers, text, window DCs).
// Private to platform/.

#include <cairo.h>
#include <pango/pango.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <variant>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Image.h"
#include "platform/gdi/detail/CairoOwners.h"

namespace platform::detail {

using FontDesc = Owner<PangoFontDescription, pango_font_description_free>;

struct BitmapObject {
  Surface surface;  // none for the 1 x 1 placeholder
  HDC selectedIn = 0;
};
// What has been shaped and measured with one font (GdiText.cpp): it depends on nothing but the
// font and the text, so it lives and dies with the font.
struct FontTextCache;
struct FontObject {
  LOGFONT logFont;
  FontDesc desc;
  // Made on first use.
  mutable std::shared_ptr<FontTextCache> text = nullptr;
};
struct BrushObject {
  COLORREF color = 0;
};

struct GdiObject {
  std::variant<BitmapObject, FontObject, BrushObject> data;
  bool stock = false;
  // Deleted while selected: the handle is dead; the object goes when no DC holds it.
  bool deleted = false;
  int selectCount = 0;  // fonts and brushes: how many DCs hold it
};

enum class DcKind { Memory, Window, Screen };

struct DeviceContext {
  DcKind kind = DcKind::Memory;
  HWND hwnd = 0;
  // A window DC's pixels: the window room's backing surface of `hwnd`, which it resizes to the
  // client area on use (nullptr for a window without a client area).
  cairo_surface_t* (*backing)(HWND hwnd) = nullptr;
  HBITMAP bitmap = 0;  // memory DCs
  HFONT font = 0;      // 0: the stock GUI font
  HBRUSH brush = 0;
  int bkMode = OPAQUE;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int stretchMode = BLACKONWHITE;
};

// Size limits of every surface: cairo's own coordinate limit, and a pixel budget that keeps a
// runaway size from taking the machine's memory.
inline constexpr int kMaxSurfaceExtent = 32767;
inline constexpr std::int64_t kMaxSurfacePixels = 64LL * 1024 * 1024;
// An opaque 32-bit surface, black; empty when the size is out of bounds or memory runs out.
// With a scale above 1 it holds width x height logical pixels at that many device pixels each
// way (cairo's device scale), so that drawing through cairo stays in logical coordinates.
Surface NewSurface(int width, int height, cairo_format_t format = CAIRO_FORMAT_RGB24,
                   int scale = 1);

// The desktop's integer window scale (GDK_SCALE, or the desktop's own setting): device pixels
// per logical pixel of new windows and of the bitmaps drawn for them. 1 without a display.
int DeviceScale();
// Device pixels per logical pixel of a surface (its cairo device scale, 1 by default).
int SurfaceScale(cairo_surface_t* surface);
// A surface's size in logical pixels.
SIZE SurfaceLogicalSize(cairo_surface_t* surface);

// Registry. Find* return nothing for dead handles.
GdiObject* FindObject(HGDIOBJ handle);
DeviceContext* FindDc(HDC handle);
// An object a DC holds: deleted ones too, which live on until their last DC lets go.
GdiObject* FindHeldObject(HGDIOBJ handle);
HGDIOBJ AddObject(GdiObject object);
HDC AddDc(DeviceContext dc);
// Lets go of everything the DC holds and removes it.
void RemoveDc(HDC handle);

// What a DC draws on: its bitmap's surface or its window's backing; nullptr when nothing.
cairo_surface_t* DcSurface(const DeviceContext& dc);

// Text (GdiText.cpp).
HFONT StockGuiFont();
FontDesc DescribeFont(const LOGFONT& logFont);
const FontObject* DcFont(const DeviceContext& dc);

// Pixel format conversions: surfaces hold native 0xAARRGGBB words.
inline std::uint32_t PixelFromColor(COLORREF c) {
  return 0xFF000000u | (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
         (static_cast<std::uint32_t>(GetGValue(c)) << 8) | static_cast<std::uint32_t>(GetBValue(c));
}
inline COLORREF ColorFromPixel(std::uint32_t p) {
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

}  // namespace platform::detail

namespace platform {
// The image's pixels, owned by the image (with its device scale).
cairo_surface_t* ImageSurface(const Image& image);
}  // namespace platform
