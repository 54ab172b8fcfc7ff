// Fonts and text: logical fonts resolved to Pango descriptions, measured and drawn with Pango
// layouts.

#include <gtk/gtk.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gdi/detail/GdiImpl.h"
#include "platform/system/AsciiText.h"
#include "platform/system/detail/GObjectRef.h"

namespace platform {
namespace detail {

namespace {

// One Pango context for measuring and drawing, so that both agree to the pixel: fixed
// resolution, greyscale antialiasing, whole-pixel advances as the desktop's own text has.
PangoContext* TextContext() {
  static GObjectRef<PangoContext> ctx = [] {
    PangoContext* c = pango_font_map_create_context(pango_cairo_font_map_get_default());
    pango_cairo_context_set_resolution(c, 96.0);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(c, options);
    cairo_font_options_destroy(options);
    return GObjectRef<PangoContext>(c);
  }();
  return ctx.get();
}

std::string Lower(std::string_view s) {
  return AsciiLowerCase(s);
}

// Installed font families, lower-cased.
const std::set<std::string>& InstalledFamilies() {
  static const std::set<std::string> families = [] {
    std::set<std::string> out;
    PangoFontFamily** list = nullptr;
    int n = 0;
    pango_font_map_list_families(pango_cairo_font_map_get_default(), &list, &n);
    for (int i = 0; i < n; ++i) out.insert(Lower(pango_font_family_get_name(list[i])));
    g_free(list);
    return out;
  }();
  return families;
}

struct UiFont {
  std::string family;
  int pixels;
};

// The resolution the toolkit lays its own text out at: the screen's (Xft.dpi, or the desktop's
// settings daemon) times GDK_DPI_SCALE, in logical pixels. 96 without a display.
double TextResolution() {
  static const double dpi = [] {
    GdkScreen* screen = gdk_display_get_default() != nullptr ? gdk_screen_get_default() : nullptr;
    const double r = screen != nullptr ? gdk_screen_get_resolution(screen) : -1.0;
    return r > 0 ? r : 96.0;
  }();
  return dpi;
}

// The desktop's UI font: the toolkit setting when a display is open, else the usual default.
// Its size, taken as a pixel height at 96 dpi, is held to the 11..13 pixels the dialog font
// the layouts were made for has, then grown by the desktop's text scale: the layouts make room
// for what the scale adds.
const UiFont& DesktopUiFont() {
  static const UiFont font = [] {
    std::string name = "Sans 9";
    if (gdk_display_get_default() != nullptr) {
      if (GtkSettings* settings = gtk_settings_get_default()) {
        gchar* value = nullptr;
        g_object_get(settings, "gtk-font-name", &value, nullptr);
        if (value != nullptr && *value != '\0') name = value;
        g_free(value);
      }
    }
    PangoFontDescription* d = pango_font_description_from_string(name.c_str());
    UiFont out{"Sans", 12};
    if (const char* fam = pango_font_description_get_family(d); fam != nullptr && *fam != '\0') {
      out.family = fam;
      if (auto comma = out.family.find(','); comma != std::string::npos) out.family.resize(comma);
    }
    const int size = pango_font_description_get_size(d);
    if (size > 0) {
      const double px = pango_font_description_get_size_is_absolute(d)
                            ? static_cast<double>(size) / PANGO_SCALE
                            : static_cast<double>(size) / PANGO_SCALE * 96.0 / 72.0;
      out.pixels = std::clamp(static_cast<int>(std::lround(px)), 11, 13);
    }
    if (const double scale = TextResolution() / 96.0; scale != 1.0) {
      out.pixels = static_cast<int>(std::lround(out.pixels * scale));
    }
    pango_font_description_free(d);
    return out;
  }();
  return font;
}

// Face names resolved to what is installed here: no name means the desktop's UI font; the Song
// faces the captions were designed with mean a CJK serif, or the UI font when there is none.
std::string ResolveFamily(const std::string& face) {
  static const std::set<std::string> songFaces = {"宋体", "新宋体", "simsun", "nsimsun"};
  const std::string key = Lower(face);
  if (key.empty()) return DesktopUiFont().family;
  if (songFaces.count(key) != 0) {
    static const std::string song = [] {
      for (const char* candidate :
           {"Noto Serif CJK SC", "Source Han Serif SC", "Noto Serif CJK", "Source Han Serif",
            "AR PL UMing CN", "AR PL SungtiL GB", "AR PL New Sung"}) {
        if (InstalledFamilies().count(Lower(candidate)) != 0) return std::string(candidate);
      }
      return DesktopUiFont().family;
    }();
    return song;
  }
  return face;
}

using Layout = GObjectRef<PangoLayout>;

Layout MakeLayout(const FontObject& font, std::string_view text, bool singleLine) {
  Layout layout(pango_layout_new(TextContext()));
  pango_layout_set_font_description(layout.get(), font.desc.get());
  pango_layout_set_single_paragraph_mode(layout.get(), singleLine);
  pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
  return layout;
}

// Underlines the font asks for, and the prefix character's underline ([start, end) bytes).
void ApplyUnderlines(PangoLayout* layout, const FontObject& font, std::size_t textLength,
                     std::size_t start = 0, std::size_t end = 0) {
  PangoAttrList* attrs = pango_attr_list_new();
  if (font.logFont.lfUnderline) {
    pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  }
  if (end > start && end <= textLength) {
    PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    a->start_index = static_cast<guint>(start);
    a->end_index = static_cast<guint>(end);
    pango_attr_list_insert(attrs, a);
  }
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
}

SIZE LayoutSize(PangoLayout* layout) {
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  return {logical.width, logical.height};
}

}  // namespace

// Text shaped with one font, kept so that text drawn again and again (captions repainted with
// every frame) is shaped once: single-line sizes, ellipsis cuts per box width, and the layouts
// drawn. All of it follows from the font and the text alone (the Pango context is fixed), so
// nothing here ever goes stale while the font lives. Each table starts over when it gets full.
struct FontTextCache {
  struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  template <class T>
  using ByText = std::unordered_map<std::string, T, StringHash, std::equal_to<>>;

  // How a drawn layout was made besides its text.
  struct DrawnLayout {
    bool single = false;
    PangoAlignment alignment = PANGO_ALIGN_LEFT;
    std::size_t underlineStart = 0, underlineEnd = 0;
    Layout layout;
    SIZE size{};
  };
  struct Cut {
    int maxWidth = 0;
    std::size_t keep = 0;
  };

  static constexpr std::size_t kMaxSizes = 4096;
  static constexpr std::size_t kMaxCutTexts = 1024;
  static constexpr std::size_t kMaxLayoutTexts = 256;
  // Box widths remembered per text: a caption is usually cut for one or two widths at a time.
  static constexpr std::size_t kMaxCutsPerText = 8;

  ByText<SIZE> sizes;
  ByText<std::vector<Cut>> cuts;
  ByText<std::vector<DrawnLayout>> layouts;
};

namespace {

FontTextCache& CacheOf(const FontObject& font) {
  if (!font.text) font.text = std::make_shared<FontTextCache>();
  return *font.text;
}

template <class Map, class T>
void Remember(Map& map, std::size_t limit, std::string_view key, T value) {
  if (map.size() >= limit) map.clear();
  map.emplace(std::string(key), std::move(value));
}

// The size of the text as one line (what GetTextExtentPoint32 answers).
SIZE MeasureLine(const FontObject& font, std::string_view text) {
  FontTextCache& cache = CacheOf(font);
  if (auto it = cache.sizes.find(text); it != cache.sizes.end()) return it->second;
  Layout layout = MakeLayout(font, text, true);
  const SIZE size = LayoutSize(layout.get());
  Remember(cache.sizes, FontTextCache::kMaxSizes, text, size);
  return size;
}

int MeasureWidth(const FontObject& font, std::string_view text) {
  return MeasureLine(font, text).cx;
}

// gdi::EllipsisCut with the font's widths, without measuring every probe of its search. The line
// is shaped once and the cut estimated from where its characters start; then only the estimate
// and its neighbour are measured for real. Widths grow with the prefix, so the longest fitting
// prefix is the one place where a prefix fits and the next one does not: confirming that pair
// gives exactly the search's answer. When the estimate is more than a few characters off
// (right-to-left runs, shaping across the cut), the search itself runs.
std::size_t CutLine(const FontObject& font, std::string_view line, int maxWidth) {
  auto width = [&font](std::string_view s) { return MeasureWidth(font, s); };
  FontTextCache& cache = CacheOf(font);
  Layout layout;  // the line, shaped once: measured here unless it was before
  if (cache.sizes.find(line) == cache.sizes.end()) {
    layout = MakeLayout(font, line, true);
    Remember(cache.sizes, FontTextCache::kMaxSizes, line, LayoutSize(layout.get()));
  }
  if (width(line) <= maxWidth) return line.size();
  if (!layout) layout = MakeLayout(font, line, true);
  std::vector<std::size_t> bounds;  // character starts: candidate cut points
  for (std::size_t i = 0; i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) bounds.push_back(i);
  }
  const auto n = static_cast<std::ptrdiff_t>(bounds.size());
  const int ellipsis = width(gdi::kEllipsis);
  auto estimate = [&](std::ptrdiff_t k) {
    PangoRectangle pos;
    pango_layout_index_to_pos(layout.get(), static_cast<int>(bounds[k]), &pos);
    return PANGO_PIXELS_CEIL(std::min(pos.x, pos.x + pos.width)) + ellipsis;
  };
  auto fits = [&](std::ptrdiff_t k) {
    std::string candidate(line.substr(0, bounds[k]));
    candidate += gdi::kEllipsis;
    return width(candidate) <= maxWidth;
  };
  // The last estimated fit.
  std::ptrdiff_t lo = 0, hi = n;
  while (lo < hi) {
    const std::ptrdiff_t mid = (lo + hi) / 2;
    if (estimate(mid) <= maxWidth) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  constexpr int kMaxSteps = 3;
  std::ptrdiff_t k = lo - 1;
  int steps = 0;
  if (k >= 0 && !fits(k)) {
    do {
      if (++steps > kMaxSteps) return gdi::EllipsisCut(line, maxWidth, width);
      --k;
    } while (k >= 0 && !fits(k));
  } else {
    while (k + 1 < n && fits(k + 1)) {
      if (++steps > kMaxSteps) return gdi::EllipsisCut(line, maxWidth, width);
      ++k;
    }
  }
  return k < 0 ? 0 : bounds[static_cast<std::size_t>(k)];
}

// How many bytes of the line to keep in front of the ellipsis in a box maxWidth wide.
std::size_t EllipsisKeep(const FontObject& font, std::string_view line, int maxWidth) {
  FontTextCache& cache = CacheOf(font);
  auto it = cache.cuts.find(line);
  if (it != cache.cuts.end()) {
    for (const FontTextCache::Cut& c : it->second) {
      if (c.maxWidth == maxWidth) return c.keep;
    }
  }
  const std::size_t keep = CutLine(font, line, maxWidth);
  it = cache.cuts.find(line);  // measuring may have started the tables over
  if (it == cache.cuts.end()) {
    if (cache.cuts.size() >= FontTextCache::kMaxCutTexts) cache.cuts.clear();
    it = cache.cuts.emplace(std::string(line), std::vector<FontTextCache::Cut>{}).first;
  }
  if (it->second.size() >= FontTextCache::kMaxCutsPerText) it->second.clear();
  it->second.push_back({maxWidth, keep});
  return keep;
}

// The mnemonic markers: "&&" is a literal "&", "&x" underlines x (the last such one).
struct PrefixedText {
  std::string text;
  std::size_t underlineStart = 0, underlineEnd = 0;
};

PrefixedText StripPrefixes(std::string_view in) {
  PrefixedText out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '&') {
      out.text += in[i];
      continue;
    }
    if (i + 1 >= in.size()) break;  // a trailing marker shows nothing
    if (in[i + 1] == '&') {
      out.text += '&';
      ++i;
      continue;
    }
    std::size_t len = 1;
    while (i + 1 + len < in.size() &&
           (static_cast<unsigned char>(in[i + 1 + len]) & 0xC0) == 0x80) {
      ++len;
    }
    out.underlineStart = out.text.size();
    out.underlineEnd = out.underlineStart + len;
  }
  return out;
}

// The layout that draws the text: made once per text and way of drawing it, with the font's
// underline, the marked character's underline and the alignment. Owned by the font's cache.
struct DrawnText {
  PangoLayout* layout;
  SIZE size;
};

DrawnText DrawLayout(const FontObject& font, std::string_view text, bool single,
                     PangoAlignment alignment, std::size_t underlineStart = 0,
                     std::size_t underlineEnd = 0) {
  FontTextCache& cache = CacheOf(font);
  auto it = cache.layouts.find(text);
  if (it != cache.layouts.end()) {
    for (const FontTextCache::DrawnLayout& d : it->second) {
      if (d.single == single && d.alignment == alignment && d.underlineStart == underlineStart &&
          d.underlineEnd == underlineEnd) {
        return {d.layout.get(), d.size};
      }
    }
  }
  FontTextCache::DrawnLayout d;
  d.single = single;
  d.alignment = alignment;
  d.underlineStart = underlineStart;
  d.underlineEnd = underlineEnd;
  d.layout = MakeLayout(font, text, single);
  ApplyUnderlines(d.layout.get(), font, text.size(), underlineStart, underlineEnd);
  if (alignment != PANGO_ALIGN_LEFT) pango_layout_set_alignment(d.layout.get(), alignment);
  d.size = LayoutSize(d.layout.get());
  if (it == cache.layouts.end()) {
    if (cache.layouts.size() >= FontTextCache::kMaxLayoutTexts) cache.layouts.clear();
    it = cache.layouts.emplace(std::string(text), std::vector<FontTextCache::DrawnLayout>{}).first;
  }
  it->second.push_back(std::move(d));
  return {it->second.back().layout.get(), it->second.back().size};
}

void SetSourceColor(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

// Paints a layout at (x, y) in the DC's colours, the opaque background behind its extent.
void PaintLayout(const DeviceContext& dc, cairo_surface_t* surface, const DrawnText& text, int x,
                 int y, const RECT* clip) {
  if (clip != nullptr && (clip->Width() <= 0 || clip->Height() <= 0)) return;
  PangoLayout* layout = text.layout;
  const CairoContext context(cairo_create(surface));
  cairo_t* cr = context.get();
  if (clip != nullptr) {
    cairo_rectangle(cr, clip->left, clip->top, clip->Width(), clip->Height());
    cairo_clip(cr);
  }
  if (dc.bkMode == OPAQUE) {
    const SIZE size = text.size;
    SetSourceColor(cr, dc.bkColor);
    cairo_rectangle(cr, x, y, size.cx, size.cy);
    cairo_fill(cr);
  }
  SetSourceColor(cr, dc.textColor);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
}

}  // namespace

FontDesc DescribeFont(const LOGFONT& lf) {
  FontDesc desc(pango_font_description_new());
  const std::string family = ResolveFamily(lf.lfFaceName);
  pango_font_description_set_family(desc.get(), family.c_str());
  const int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::clamp(lf.lfWeight, 100, 1000);
  pango_font_description_set_weight(desc.get(), static_cast<PangoWeight>(weight));
  pango_font_description_set_style(desc.get(),
                                   lf.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  int em = lf.lfHeight < 0 ? -lf.lfHeight : DesktopUiFont().pixels;
  pango_font_description_set_absolute_size(desc.get(), em * PANGO_SCALE);
  if (lf.lfHeight > 0) {
    // A cell height: find the em size whose ascent plus descent is that many pixels.
    PangoFontMetrics* m = pango_context_get_metrics(TextContext(), desc.get(), nullptr);
    const int cell = pango_font_metrics_get_ascent(m) + pango_font_metrics_get_descent(m);
    pango_font_metrics_unref(m);
    // In Pango units: em * (height / cell), the cell measured in Pango units as well.
    const double scaled =
        cell > 0 ? static_cast<double>(em) * PANGO_SCALE * lf.lfHeight * PANGO_SCALE / cell
                 : static_cast<double>(lf.lfHeight) * PANGO_SCALE;
    pango_font_description_set_absolute_size(desc.get(), std::max(1.0, scaled));
  }
  return desc;
}

HFONT StockGuiFont() {
  static HFONT stock = [] {
    LOGFONT lf;
    lf.lfHeight = -DesktopUiFont().pixels;
    lf.lfWeight = FW_NORMAL;
    lf.lfFaceName = DesktopUiFont().family;
    GdiObject o{FontObject{lf, DescribeFont(lf)}};
    o.stock = true;
    return AddObject(std::move(o));
  }();
  return stock;
}

const FontObject* DcFont(const DeviceContext& dc) {
  GdiObject* o = FindHeldObject(dc.font != 0 ? dc.font : StockGuiFont());
  return o != nullptr ? std::get_if<FontObject>(&o->data) : nullptr;
}

}  // namespace detail

using namespace detail;

bool GetObject(HFONT font, LOGFONT* logFont) {
  GdiObject* o = FindObject(font);
  auto* f = o != nullptr ? std::get_if<FontObject>(&o->data) : nullptr;
  if (f == nullptr || logFont == nullptr) return false;
  *logFont = f->logFont;
  return true;
}

int GetDeviceCaps(HDC hdc, int index) {
  if (hdc != 0 && FindDc(hdc) == nullptr) return 0;
  if (index != LOGPIXELSX && index != LOGPIXELSY) return 0;
  return static_cast<int>(std::lround(TextResolution()));
}

HFONT CreateFontIndirect(const LOGFONT& logFont) {
  return AddObject(GdiObject{FontObject{logFont, DescribeFont(logFont)}});
}

bool GetTextExtentPoint32(HDC hdc, std::string_view text, SIZE* size) {
  DeviceContext* dc = FindDc(hdc);
  const FontObject* font = dc != nullptr ? DcFont(*dc) : nullptr;
  if (font == nullptr || size == nullptr) return false;
  *size = MeasureLine(*font, text);
  return true;
}

bool TextOut(HDC hdc, int x, int y, std::string_view text) {
  DeviceContext* dc = FindDc(hdc);
  const FontObject* font = dc != nullptr ? DcFont(*dc) : nullptr;
  if (font == nullptr) return false;
  cairo_surface_t* surface = DcSurface(*dc);
  if (surface == nullptr) return true;
  PaintLayout(*dc, surface, DrawLayout(*font, text, true, PANGO_ALIGN_LEFT), x, y, nullptr);
  return true;
}

int DrawText(HDC hdc, std::string_view text, int count, RECT* rect, unsigned format) {
  DeviceContext* dc = FindDc(hdc);
  const FontObject* font = dc != nullptr ? DcFont(*dc) : nullptr;
  if (font == nullptr || rect == nullptr) return 0;
  if (count >= 0) text = text.substr(0, gdi::Utf8Floor(text, static_cast<std::size_t>(count)));
  const bool single = (format & DT_SINGLELINE) != 0;

  PrefixedText shown;
  if ((format & DT_NOPREFIX) != 0) {
    shown.text = text;
  } else {
    shown = StripPrefixes(text);
  }

  if ((format & DT_END_ELLIPSIS) != 0 && (format & DT_CALCRECT) == 0) {
    // Each line is cut on its own.
    const int boxWidth = rect->Width();
    std::string cut;
    const std::size_t markStart = shown.underlineStart, markEnd = shown.underlineEnd;
    shown.underlineStart = shown.underlineEnd = 0;
    std::size_t lineStart = 0;
    while (lineStart <= shown.text.size()) {
      std::size_t lineEnd = single ? std::string::npos : shown.text.find('\n', lineStart);
      if (lineEnd == std::string::npos) lineEnd = shown.text.size();
      const std::string_view line =
          std::string_view(shown.text).substr(lineStart, lineEnd - lineStart);
      const std::size_t keep = EllipsisKeep(*font, line, boxWidth);
      // The marked character moves with its line, or goes when the cut takes it.
      if (markEnd > lineStart && markStart < lineEnd && markEnd - lineStart <= keep) {
        shown.underlineStart = cut.size() + (markStart - lineStart);
        shown.underlineEnd = shown.underlineStart + (markEnd - markStart);
      }
      cut.append(line.substr(0, keep));
      if (keep < line.size()) cut.append(gdi::kEllipsis);
      if (lineEnd >= shown.text.size()) break;
      cut += '\n';
      lineStart = lineEnd + 1;
    }
    shown.text = std::move(cut);
  }

  PangoAlignment alignment = PANGO_ALIGN_LEFT;
  if ((format & DT_CENTER) != 0) {
    alignment = PANGO_ALIGN_CENTER;
  } else if ((format & DT_RIGHT) != 0) {
    alignment = PANGO_ALIGN_RIGHT;
  }
  const DrawnText drawn =
      DrawLayout(*font, shown.text, single, alignment, shown.underlineStart, shown.underlineEnd);
  const SIZE size = drawn.size;

  if ((format & DT_CALCRECT) != 0) {
    rect->right = rect->left + size.cx;
    rect->bottom = rect->top + size.cy;
    return size.cy;
  }

  int x = rect->left;
  if ((format & DT_CENTER) != 0) {
    x = rect->left + (rect->Width() - size.cx) / 2;
  } else if ((format & DT_RIGHT) != 0) {
    x = rect->right - size.cx;
  }
  int y = rect->top;
  if (single && (format & DT_VCENTER) != 0) {
    y = rect->top + (rect->Height() - size.cy) / 2;
  } else if (single && (format & DT_BOTTOM) != 0) {
    y = rect->bottom - size.cy;
  }

  if (cairo_surface_t* surface = DcSurface(*dc)) {
    PaintLayout(*dc, surface, drawn, x, y, rect);
  }
  const bool placed = single && (format & (DT_VCENTER | DT_BOTTOM)) != 0;
  return placed ? y - rect->top + size.cy : size.cy;
}

}  // namespace platform
