// Fonts and text: logical fonts resolved to Pango descriptions, measured and drawn with Pango
// layouts.

#include <gtk/gtk.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "GdiImpl.h"

namespace platform {
namespace detail {

namespace {

struct GObjectUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};
template <class T>
using GRef = std::unique_ptr<T, GObjectUnref>;

// One Pango context for measuring and drawing, so that both agree to the pixel: fixed
// resolution, greyscale antialiasing, whole-pixel advances as the desktop's own text has.
PangoContext* TextContext() {
  static GRef<PangoContext> ctx = [] {
    PangoContext* c = pango_font_map_create_context(pango_cairo_font_map_get_default());
    pango_cairo_context_set_resolution(c, 96.0);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(c, options);
    cairo_font_options_destroy(options);
    return GRef<PangoContext>(c);
  }();
  return ctx.get();
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
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

// The desktop's UI font: the toolkit setting when a display is open, else the usual default.
// Its size, taken as a pixel height at 96 dpi, is held to the 11..13 pixels the dialog font
// the layouts were made for has, so that captions fit their designed boxes.
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

using Layout = GRef<PangoLayout>;

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

int MeasureWidth(const FontObject& font, std::string_view text) {
  Layout layout = MakeLayout(font, text, true);
  return LayoutSize(layout.get()).cx;
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

void SetSourceColor(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

// Paints a layout at (x, y) in the DC's colours, the opaque background behind its extent.
void PaintLayout(const DeviceContext& dc, cairo_surface_t* surface, PangoLayout* layout, int x,
                 int y, const RECT* clip) {
  if (clip != nullptr && (clip->Width() <= 0 || clip->Height() <= 0)) return;
  cairo_t* cr = cairo_create(surface);
  if (clip != nullptr) {
    cairo_rectangle(cr, clip->left, clip->top, clip->Width(), clip->Height());
    cairo_clip(cr);
  }
  if (dc.bkMode == OPAQUE) {
    const SIZE size = LayoutSize(layout);
    SetSourceColor(cr, dc.bkColor);
    cairo_rectangle(cr, x, y, size.cx, size.cy);
    cairo_fill(cr);
  }
  SetSourceColor(cr, dc.textColor);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  cairo_destroy(cr);
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

HFONT CreateFontIndirect(const LOGFONT& logFont) {
  return AddObject(GdiObject{FontObject{logFont, DescribeFont(logFont)}});
}

bool GetTextExtentPoint32(HDC hdc, std::string_view text, SIZE* size) {
  DeviceContext* dc = FindDc(hdc);
  const FontObject* font = dc != nullptr ? DcFont(*dc) : nullptr;
  if (font == nullptr || size == nullptr) return false;
  Layout layout = MakeLayout(*font, text, true);
  *size = LayoutSize(layout.get());
  return true;
}

bool TextOut(HDC hdc, int x, int y, std::string_view text) {
  DeviceContext* dc = FindDc(hdc);
  const FontObject* font = dc != nullptr ? DcFont(*dc) : nullptr;
  if (font == nullptr) return false;
  cairo_surface_t* surface = DcSurface(*dc);
  if (surface == nullptr) return true;
  Layout layout = MakeLayout(*font, text, true);
  ApplyUnderlines(layout.get(), *font, text.size());
  PaintLayout(*dc, surface, layout.get(), x, y, nullptr);
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
    auto width = [font](std::string_view s) { return MeasureWidth(*font, s); };
    std::string cut;
    const std::size_t markStart = shown.underlineStart, markEnd = shown.underlineEnd;
    shown.underlineStart = shown.underlineEnd = 0;
    std::size_t lineStart = 0;
    while (lineStart <= shown.text.size()) {
      std::size_t lineEnd = single ? std::string::npos : shown.text.find('\n', lineStart);
      if (lineEnd == std::string::npos) lineEnd = shown.text.size();
      const std::string_view line =
          std::string_view(shown.text).substr(lineStart, lineEnd - lineStart);
      const std::size_t keep = gdi::EllipsisCut(line, boxWidth, width);
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

  Layout layout = MakeLayout(*font, shown.text, single);
  ApplyUnderlines(layout.get(), *font, shown.text.size(), shown.underlineStart, shown.underlineEnd);
  if ((format & DT_CENTER) != 0) {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
  } else if ((format & DT_RIGHT) != 0) {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);
  }
  const SIZE size = LayoutSize(layout.get());

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
    PaintLayout(*dc, surface, layout.get(), x, y, rect);
  }
  const bool placed = single && (format & (DT_VCENTER | DT_BOTTOM)) != 0;
  return placed ? y - rect->top + size.cy : size.cy;
}

}  // namespace platform
