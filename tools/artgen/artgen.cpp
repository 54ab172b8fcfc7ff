// artgen: draws every embedded image of the client with cairo and Pango.
//
//   artgen <outdir>
//
// writes the login background, the splash, the multi-size icon file, the title-bar button
// strips, the logo, the two tab-strip skins, the frame sprite, the updater's close-button strip
// the dialog buttons' strips and the portal buttons' strips into <outdir>. The output is the same,
// byte for byte, on every run: no clocks, no random numbers (the sparkles use a fixed-seed
// generator), and text is rendered with fixed font options.
//
// The skin bitmaps are 24-bit images without alpha. Where a piece is meant to be transparent
// it carries pure magenta (#FF00FF), the colour key the drawing code leaves out. Shapes in those
// pieces are rendered with antialiasing onto a transparent scratch surface first and then
// resolved pixel by pixel: untouched pixels become magenta, partly covered ones are either
// blended onto the colour the piece will sit on, or snapped to the shape when the piece can
// land on varying backgrounds. So no pixel near magenta can appear at a shape's edge.

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Colours and small helpers

struct Rgb {
  double r, g, b;
};

constexpr Rgb Hex(std::uint32_t v) {
  return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

void SetRgb(cairo_t* cr, Rgb c, double a = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

void AddStop(cairo_pattern_t* p, double off, Rgb c, double a = 1.0) {
  cairo_pattern_add_color_stop_rgba(p, off, c.r, c.g, c.b, a);
}

std::uint32_t Pack(Rgb c) {
  auto q = [](double v) { return static_cast<std::uint32_t>(std::lround(Clamp01(v) * 255.0)); };
  return (q(c.r) << 16) | (q(c.g) << 8) | q(c.b);
}

constexpr std::uint32_t kMagenta = 0xFF00FF;

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

// A deterministic generator for decorative scatter (sparkles, motes).
struct Lcg {
  std::uint32_t s;
  double Next() {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / 16777216.0;
  }
};

// ---------------------------------------------------------------------------------------------
// Surfaces

// Device pixels per logical pixel of the pictures being drawn: 1, then 2 for the pictures the
// client shows on screens at a window scale of 2. The drawing code speaks logical pixels; a
// canvas holds g_scale device pixels for each, and Width, Height, Row, Put and Get count device
// pixels.
int g_scale = 1;

struct Canvas {
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  Canvas(cairo_format_t fmt, int w, int h) {
    surface = cairo_image_surface_create(fmt, w * g_scale, h * g_scale);
    cairo_surface_set_device_scale(surface, g_scale, g_scale);
    cr = cairo_create(surface);
  }
  ~Canvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  int Width() const { return cairo_image_surface_get_width(surface); }
  int Height() const { return cairo_image_surface_get_height(surface); }
  std::uint32_t* Row(int y) {
    cairo_surface_flush(surface);
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                            y * cairo_image_surface_get_stride(surface));
  }
  void Put(int x, int y, std::uint32_t rgb) {
    Row(y)[x] = rgb;
    cairo_surface_mark_dirty(surface);
  }
  std::uint32_t Get(int x, int y) { return Row(y)[x] & 0xFFFFFF; }
};

// Fades a premultiplied ARGB surface out toward its edges: a pixel `ramp` or more logical pixels
// inside keeps its value, nearer ones are scaled down smoothly, and the outermost ring becomes
// fully transparent. Art that ends at the picture's border would otherwise show a straight cut
// there (a faint line where a compositor blends it, a hard one where the window is cut to a shape).
void FadeEdges(Canvas& c, double ramp) {
  ramp *= g_scale;
  const int w = c.Width(), h = c.Height();
  for (int y = 0; y < h; ++y) {
    std::uint32_t* row = c.Row(y);
    for (int x = 0; x < w; ++x) {
      const int d = std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y));
      if (d >= ramp) continue;
      const double t = d / ramp;
      const double f = t * t * (3 - 2 * t);
      const std::uint32_t p = row[x];
      std::uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        out |= static_cast<std::uint32_t>(std::lround(((p >> shift) & 0xFF) * f)) << shift;
      }
      row[x] = out;
    }
  }
  cairo_surface_mark_dirty(c.surface);
}

Rgb FromPacked(std::uint32_t v) { return Hex(v & 0xFFFFFF); }

// A colour rounded to 8 bits per channel the way Pack rounds it, so that cairo fills it with
// exactly the bytes written elsewhere with Pack (the buttons repeat the sprite's rows).
Rgb Quantised(Rgb c) { return FromPacked(Pack(c)); }

bool g_ok = true;

void WritePng(cairo_surface_t* s, const std::filesystem::path& p) {
  cairo_surface_flush(s);
  if (cairo_surface_write_to_png(s, p.c_str()) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "artgen: cannot write %s\n", p.c_str());
    g_ok = false;
  }
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int len) {
  auto* v = static_cast<std::vector<unsigned char>*>(closure);
  v->insert(v->end(), data, data + len);
  return CAIRO_STATUS_SUCCESS;
}

// Box blur of all four channels of a premultiplied ARGB surface, three passes, integer only.
void Blur(cairo_surface_t* s, int radius) {
  radius *= g_scale;  // logical pixels
  cairo_surface_flush(s);
  int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  int stride = cairo_image_surface_get_stride(s) / 4;
  auto* px = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s));
  std::vector<std::uint32_t> tmp(std::max(w, h));
  auto pass = [&](int count, int len, auto at) {
    for (int line = 0; line < count; ++line) {
      for (int i = 0; i < len; ++i) tmp[i] = *at(line, i);
      int n = 2 * radius + 1;
      for (int i = 0; i < len; ++i) {
        std::uint32_t sum[4] = {0, 0, 0, 0};
        for (int k = -radius; k <= radius; ++k) {
          int j = std::clamp(i + k, 0, len - 1);
          std::uint32_t v = (i + k < 0 || i + k >= len) ? 0 : tmp[j];
          for (int c = 0; c < 4; ++c) sum[c] += (v >> (c * 8)) & 0xFF;
        }
        std::uint32_t out = 0;
        for (int c = 0; c < 4; ++c) out |= ((sum[c] + n / 2) / n) << (c * 8);
        *at(line, i) = out;
      }
    }
  };
  for (int p = 0; p < 3; ++p) {
    pass(h, w, [&](int y, int x) { return &px[y * stride + x]; });
    pass(w, h, [&](int x, int y) { return &px[y * stride + x]; });
  }
  cairo_surface_mark_dirty(s);
}

// ---------------------------------------------------------------------------------------------
// Text

void ApplyFontOptions(PangoLayout* layout) {
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout), fo);
  pango_layout_context_changed(layout);
  cairo_font_options_destroy(fo);
}

// A text layout in "WenQuanYi Micro Hei" (falling back to the default sans face) of the given
// pixel size. The caller unrefs it.
PangoLayout* MakeText(cairo_t* cr, const char* utf8, double px, bool bold) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  ApplyFontOptions(layout);
  PangoFontDescription* fd = pango_font_description_from_string("WenQuanYi Micro Hei, Sans");
  pango_font_description_set_absolute_size(fd, px * PANGO_SCALE);
  pango_font_description_set_weight(fd, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout, fd);
  pango_font_description_free(fd);
  pango_layout_set_text(layout, utf8, -1);
  return layout;
}

void TextSize(PangoLayout* layout, double* w, double* h) {
  PangoRectangle ink, logical;
  pango_layout_get_extents(layout, &ink, &logical);
  *w = logical.width / double(PANGO_SCALE);
  *h = logical.height / double(PANGO_SCALE);
}

// Draws text at (x, y) (top left of its logical box) with a soft drop shadow and a fill.
void DrawText(cairo_t* cr, PangoLayout* layout, double x, double y, Rgb fill, Rgb shadow,
              double shadowAlpha) {
  if (shadowAlpha > 0) {
    for (int i = 0; i < 2; ++i) {
      cairo_move_to(cr, x + 1 + i * 0.5, y + 1 + i * 0.5);
      SetRgb(cr, shadow, shadowAlpha * (i ? 0.5 : 1.0));
      pango_cairo_show_layout(cr, layout);
    }
  }
  cairo_move_to(cr, x, y);
  SetRgb(cr, fill);
  pango_cairo_show_layout(cr, layout);
}

// ---------------------------------------------------------------------------------------------
// The shared palette

// Title bar: a dark outline row, two sheen rows, then the same linear gradient the tab strip's
// style-1 background uses, so the strip (placed 3 rows down) continues the bar seamlessly.
const Rgb kTitleTop = Hex(0x648FE6);
const Rgb kTitleBottom = Hex(0x244FA6);
const Rgb kOutline = Hex(0x173C8A);

Rgb TitleRow(int y) {
  if (y <= 0) return kOutline;
  if (y == 1) return Hex(0x97B6F3);
  if (y == 2) return Hex(0x7DA1EC);
  return Mix(kTitleTop, kTitleBottom, Clamp01((y - 3) / 31.0));
}

// The window's side and bottom borders, outside in.
const Rgb kBorder[4] = {kOutline, Hex(0x2A56AE), Hex(0x2F5CB5), Hex(0x4A73C4)};

// Style-0 strip background (25 rows) and style-1 strip background (28 rows, shown stretched
// to 32).
Rgb Strip0Row(double y) { return Mix(Hex(0x3DA2E8), Hex(0x0F6AAC), Clamp01(y / 24.0)); }
Rgb Strip1Row(double y) { return Mix(kTitleTop, kTitleBottom, Clamp01(y / 27.0)); }
// The colour a style-1 tab's pixel row actually lands on once the 28 rows are stretched to 32.
Rgb Strip1Shown(double y) { return Mix(kTitleTop, kTitleBottom, Clamp01(y / 31.0)); }

// ---------------------------------------------------------------------------------------------
// Magenta-keyed pieces

// How partly covered pixels of a shape are resolved.
enum class EdgeMode {
  Snap,   // coverage of at least one half keeps the shape's own colour, less becomes magenta
  Blend,  // blended onto the colour `under` gives for that pixel
};

// Draws a piece of w x h pixels with `draw` on a transparent scratch surface and stores it into
// the 24-bit `dst` at (dx, dy). Untouched pixels become magenta.
void ResolvePiece(Canvas& dst, int dx, int dy, int w, int h, EdgeMode mode,
                  const std::function<void(cairo_t*)>& draw,
                  const std::function<Rgb(int x, int y)>& under = nullptr) {
  Canvas tmp(CAIRO_FORMAT_ARGB32, w, h);
  draw(tmp.cr);
  for (int y = 0; y < h; ++y) {
    std::uint32_t* src = tmp.Row(y);
    std::uint32_t* out = dst.Row(dy + y) + dx;
    for (int x = 0; x < w; ++x) {
      std::uint32_t p = src[x];
      unsigned a = p >> 24;
      double pr = ((p >> 16) & 0xFF) / 255.0, pg = ((p >> 8) & 0xFF) / 255.0,
             pb = (p & 0xFF) / 255.0, fa = a / 255.0;
      std::uint32_t v = kMagenta;
      if (a == 0) {
        v = kMagenta;
      } else if (mode == EdgeMode::Snap) {
        if (a >= 128) v = Pack({pr / fa, pg / fa, pb / fa});
      } else {
        Rgb u = under(x, y);
        v = Pack({pr + u.r * (1 - fa), pg + u.g * (1 - fa), pb + u.b * (1 - fa)});
      }
      if (v != kMagenta) {
        // A drawn pixel must never be mistaken for the key, nor look like it.
        int r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
        if (r > 200 && b > 200 && g < 60) v = (v & 0xFF00FF) | (60u << 8);
      }
      out[x] = v;
    }
  }
  cairo_surface_mark_dirty(dst.surface);
}

void FillMagenta(Canvas& c) {
  cairo_set_source_rgb(c.cr, 1, 0, 1);
  cairo_paint(c.cr);
}

// ---------------------------------------------------------------------------------------------
// Tab strip skins

// A style-0 tab: a trapezoid with 14-pixel slanted sides, the top corners rounded inside the
// ends so that the stretched middle stays uniform column by column.
void TrapezoidPath(cairo_t* cr, double w, double h, double top) {
  double bl = 0.5, br = w - 0.5;
  cairo_move_to(cr, bl, h);
  cairo_line_to(cr, 10.6, top + 2.2);
  cairo_curve_to(cr, 11.4, top + 0.4, 12.2, top, 14, top);
  cairo_line_to(cr, w - 14, top);
  cairo_curve_to(cr, w - 12.2, top, w - 11.4, top + 0.4, w - 10.6, top + 2.2);
  cairo_line_to(cr, br, h);
}

struct TabLook {
  Rgb fillTop, fillBottom, outline;
  bool openBottom;
};

void DrawStyle0Tab(cairo_t* cr, const TabLook& look) {
  const double w = 122, h = 25, top = 2.5;
  TrapezoidPath(cr, w, h, top);
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, top, 0, h);
  AddStop(g, 0, look.fillTop);
  AddStop(g, 1, look.fillBottom);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  // inner sheen below the top edge
  cairo_move_to(cr, 14, top + 1.5);
  cairo_line_to(cr, w - 14, top + 1.5);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  // outline
  TrapezoidPath(cr, w, h, top);
  if (!look.openBottom) {
    cairo_move_to(cr, 0, h - 0.5);
    cairo_line_to(cr, w, h - 0.5);
  }
  SetRgb(cr, look.outline);
  cairo_set_line_width(cr, 1.3);
  cairo_stroke(cr);
}

// A style-1 tab: a pill 26 pixels high.
void DrawStyle1Tab(cairo_t* cr, const TabLook& look) {
  const double w = 124, h = 26;
  RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 12.5);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, h);
  AddStop(g, 0, look.fillTop);
  AddStop(g, 1, look.fillBottom);
  cairo_set_source(cr, g);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(g);
  SetRgb(cr, look.outline);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  // sheen along the upper half
  RoundRect(cr, 2, 1.6, w - 4, 11, 5.5);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
  cairo_fill(cr);
}

enum class CloseKind { Selected, Normal, Hover, Pressed };

// The 12 x 12 close glyphs of the tabs.
void DrawCloseGlyph(cairo_t* cr, CloseKind kind) {
  auto cross = [&](double inset, double width, Rgb c) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, inset, inset);
    cairo_line_to(cr, 12 - inset, 12 - inset);
    cairo_move_to(cr, 12 - inset, inset);
    cairo_line_to(cr, inset, 12 - inset);
    SetRgb(cr, c);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
  };
  switch (kind) {
    case CloseKind::Selected: cross(3.2, 1.2, Hex(0x7489A6)); break;
    case CloseKind::Normal: cross(3.2, 1.5, Hex(0x474F5A)); break;
    case CloseKind::Hover:
      cairo_arc(cr, 6, 6, 5.9, 0, 2 * M_PI);
      SetRgb(cr, Hex(0xE0433A));
      cairo_fill(cr);
      cross(3.5, 1.6, Hex(0xFFFFFF));
      break;
    case CloseKind::Pressed:
      cairo_arc(cr, 6, 6, 5.9, 0, 2 * M_PI);
      SetRgb(cr, Hex(0x5A2A18));
      cairo_fill(cr);
      cross(3.5, 1.6, Hex(0xF2DCCB));
      break;
  }
}

struct SkinLayout {
  int width, height;   // the bitmap
  int tabW, tabH;      // one tab piece
  int tabX[3];         // normal, under the mouse, selected
  int closeX[4];       // selected tab's, normal, mouse over, pressed
  int glyphX, glyphY;  // where a close glyph lands inside a tab piece
};

// Resource 106: style 0, 415 x 25.
constexpr SkinLayout kSkin0 = {415, 25, 122, 25, {1, 123, 245}, {367, 379, 391, 403}, 98, 6};
// Resource 107: style 1, 421 x 28.
constexpr SkinLayout kSkin1 = {421, 28, 124, 26, {1, 125, 249}, {373, 385, 397, 409}, 104, 7};

void DrawSkin(const SkinLayout& L, int style, const std::filesystem::path& out) {
  Canvas c(CAIRO_FORMAT_RGB24, L.width, L.height);
  FillMagenta(c);
  // background column
  for (int y = 0; y < L.height; ++y) c.Put(0, y, Pack(style == 0 ? Strip0Row(y) : Strip1Row(y)));

  TabLook looks[3];
  if (style == 0) {
    looks[0] = {Hex(0xB4E0FB), Hex(0x6DB9EE), Hex(0x0E3F74), false};  // sky blue
    looks[1] = {Hex(0xE0F3FE), Hex(0xA3D6F8), Hex(0x0E3F74), false};  // lighter
    looks[2] = {Hex(0xFFFFFF), Hex(0xF1F8FE), Hex(0x0E3F74), true};   // near white, open
  } else {
    looks[0] = {Hex(0xD9E6FC), Hex(0xA9C2F0), Hex(0x2A4F9E), false};  // pale blue
    looks[1] = {Hex(0xF1F6FF), Hex(0xCADBF9), Hex(0x2A4F9E), false};  // lighter
    looks[2] = {Hex(0xFFFFFF), Hex(0xF2F6FE), Hex(0x22468F), false};  // white
  }
  for (int i = 0; i < 3; ++i) {
    const TabLook look = looks[i];
    if (style == 0) {
      // Style-0 tabs overlap their neighbours, so their silhouette is snapped.
      ResolvePiece(c, L.tabX[i], 0, L.tabW, L.tabH, EdgeMode::Snap,
                   [&](cairo_t* cr) { DrawStyle0Tab(cr, look); });
    } else {
      // Style-1 tabs stand apart on the strip's background: their rims blend into it.
      ResolvePiece(c, L.tabX[i], 0, L.tabW, L.tabH, EdgeMode::Blend,
                   [&](cairo_t* cr) { DrawStyle1Tab(cr, look); },
                   [](int, int y) { return Strip1Shown(y); });
    }
  }
  // Close glyphs: their rims blend into the tab they are drawn on.
  const CloseKind kinds[4] = {CloseKind::Selected, CloseKind::Normal, CloseKind::Hover,
                              CloseKind::Pressed};
  const int onTab[4] = {2, 0, 1, 1};
  for (int k = 0; k < 4; ++k) {
    int tabX = L.tabX[onTab[k]];
    ResolvePiece(
        c, L.closeX[k], 0, 12, 12, EdgeMode::Blend,
        [&](cairo_t* cr) { DrawCloseGlyph(cr, kinds[k]); },
        [&](int x, int y) { return FromPacked(c.Get(tabX + L.glyphX + x, L.glyphY + y)); });
  }
  WritePng(c.surface, out);
}

// ---------------------------------------------------------------------------------------------
// Frame sprite (resource 108, 94 x 85)
//
// Rows 0..36 are the title bar (the bar shows 33 of them); x 0..36 is its left end, x 14..40
// plain bar (middle and cover pieces), x 27..93 its right end. The side borders are taken from
// rows 53..85 at x 0..3 and x 90..93, the bottom border from rows 81..84. The window body in
// between is white.

void DrawFrameSprite(const std::filesystem::path& out) {
  const int W = 94, H = 85;
  Canvas c(CAIRO_FORMAT_RGB24, W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) c.Put(x, y, 0xFFFFFF);
  // title bar
  for (int y = 0; y <= 36; ++y)
    for (int x = 0; x < W; ++x) c.Put(x, y, Pack(TitleRow(y)));
  // title bar's outer columns
  for (int y = 1; y <= 36; ++y) {
    c.Put(0, y, Pack(kOutline));
    c.Put(W - 1, y, Pack(kOutline));
    c.Put(1, y, Pack(Mix(TitleRow(y), Hex(0xFFFFFF), 0.18)));
    c.Put(W - 2, y, Pack(Mix(TitleRow(y), kOutline, 0.25)));
  }
  // side borders
  for (int y = 37; y < H; ++y)
    for (int i = 0; i < 4; ++i) {
      c.Put(i, y, Pack(kBorder[i]));
      c.Put(W - 1 - i, y, Pack(kBorder[i]));
    }
  // bottom border, mitred into the side borders at the corners
  for (int i = 0; i < 4; ++i) {
    int y = H - 1 - i;
    for (int x = i; x < W - i; ++x) c.Put(x, y, Pack(kBorder[i]));
  }
  WritePng(c.surface, out);
}

// ---------------------------------------------------------------------------------------------
// Title-bar buttons

enum class BtnState { Normal, Hover, Pressed };
enum class Glyph { Menu, Minimise, Maximise, Restore, Close };

struct ButtonTheme {
  Rgb hoverFill;
  double hoverAlpha;
  Rgb pressFill;
  double pressAlpha;
};

const ButtonTheme kPlainTheme = {Hex(0xFFFFFF), 0.28, Hex(0x0A1E5A), 0.38};
const ButtonTheme kCloseTheme = {Hex(0xE5463B), 1.0, Hex(0x9B2219), 1.0};

// A frame hangs from window row 1: its background repeats the title bar's rows 1..18.
void ButtonBackground(cairo_t* cr, int w, int h) {
  for (int y = 0; y < h; ++y) {
    SetRgb(cr, Quantised(TitleRow(y + 1)));
    cairo_rectangle(cr, 0, y, w, 1);
    cairo_fill(cr);
  }
}

// The button's face: a box with square top and rounded bottom corners.
void FacePath(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x + w, y);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_close_path(cr);
}

void GlyphPath(cairo_t* cr, Glyph g, double cx, double cy) {
  switch (g) {
    case Glyph::Menu:
      for (int i = 0; i < 3; ++i) cairo_rectangle(cr, cx - 6, cy - 5 + i * 4, 12, 2);
      break;
    case Glyph::Minimise:
      cairo_rectangle(cr, cx - 5, cy + 2, 10, 2);
      break;
    case Glyph::Maximise:
      cairo_rectangle(cr, cx - 5, cy - 5, 11, 10);
      cairo_rectangle(cr, cx - 4, cy - 3, 9, 7);
      break;
    case Glyph::Restore:
      // back window (its lower left hidden behind the front one)
      cairo_move_to(cr, cx - 2, cy - 3);
      cairo_line_to(cr, cx - 2, cy - 6);
      cairo_line_to(cr, cx + 7, cy - 6);
      cairo_line_to(cr, cx + 7, cy + 2);
      cairo_line_to(cr, cx + 4, cy + 2);
      cairo_line_to(cr, cx + 4, cy + 1);
      cairo_line_to(cr, cx + 6, cy + 1);
      cairo_line_to(cr, cx + 6, cy - 4);
      cairo_line_to(cr, cx - 1, cy - 4);
      cairo_line_to(cr, cx - 1, cy - 3);
      cairo_close_path(cr);
      // front window
      cairo_rectangle(cr, cx - 6, cy - 3, 10, 9);
      cairo_rectangle(cr, cx - 5, cy - 1, 8, 6);
      break;
    case Glyph::Close: {
      const double d = 4.2;
      cairo_move_to(cr, cx - d, cy - d);
      cairo_line_to(cr, cx + d, cy + d);
      cairo_move_to(cr, cx + d, cy - d);
      cairo_line_to(cr, cx - d, cy + d);
      break;
    }
  }
}

void DrawGlyph(cairo_t* cr, Glyph g, double cx, double cy, Rgb colour, double alpha) {
  cairo_save(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  GlyphPath(cr, g, cx, cy);
  SetRgb(cr, colour, alpha);
  if (g == Glyph::Close) {
    cairo_set_line_width(cr, 2.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
  } else {
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

void DrawButtonFrame(cairo_t* cr, double x0, int w, int h, Glyph glyph, BtnState st,
                     const ButtonTheme& theme) {
  cairo_save(cr);
  cairo_rectangle(cr, x0, 0, w, h);
  cairo_clip(cr);
  cairo_translate(cr, x0, 0);
  ButtonBackground(cr, w, h);
  if (st != BtnState::Normal) {
    FacePath(cr, 0.5, 0, w - 1, h - 0.5, 3);
    if (st == BtnState::Hover) {
      SetRgb(cr, theme.hoverFill, theme.hoverAlpha);
    } else {
      SetRgb(cr, theme.pressFill, theme.pressAlpha);
    }
    cairo_fill_preserve(cr);
    // inner highlight / shade line
    cairo_set_line_width(cr, 1);
    if (st == BtnState::Hover)
      cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    else
      cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_stroke(cr);
  }
  double cx = glyph == Glyph::Close ? w / 2.0 : std::floor(w / 2.0), cy = 9;
  if (st == BtnState::Pressed) cy += 1;
  // shadow, then the glyph
  Rgb shade = Hex(0x0B2260);
  DrawGlyph(cr, glyph, cx, cy + 1, shade, st == BtnState::Pressed ? 0.25 : 0.45);
  Rgb ink = st == BtnState::Pressed ? Hex(0xDCE6FA) : Hex(0xFFFFFF);
  DrawGlyph(cr, glyph, cx, cy, ink, 1.0);
  cairo_restore(cr);
}

// A strip of frames, each `frameW` wide; `glyphs[i]`/`states[i]` per frame.
void DrawButtonStrip(int frameW, const std::vector<std::pair<Glyph, BtnState>>& frames,
                     const ButtonTheme& theme, const std::filesystem::path& out) {
  const int h = 18;
  Canvas c(CAIRO_FORMAT_RGB24, frameW * static_cast<int>(frames.size()), h);
  for (size_t i = 0; i < frames.size(); ++i)
    DrawButtonFrame(c.cr, double(i * frameW), frameW, h, frames[i].first, frames[i].second, theme);
  WritePng(c.surface, out);
}

// The updater's close strip: the same frame, with a ringed cross.
void DrawUpdaterClose(const std::filesystem::path& out) {
  const int w = 43, h = 18;
  Canvas c(CAIRO_FORMAT_RGB24, w * 3, h);
  const ButtonTheme theme = {Hex(0xEE5A36), 1.0, Hex(0x9C2A14), 1.0};
  const BtnState states[3] = {BtnState::Normal, BtnState::Hover, BtnState::Pressed};
  for (int i = 0; i < 3; ++i) {
    cairo_t* cr = c.cr;
    cairo_save(cr);
    cairo_rectangle(cr, i * w, 0, w, h);
    cairo_clip(cr);
    cairo_translate(cr, i * w, 0);
    ButtonBackground(cr, w, h);
    BtnState st = states[i];
    if (st != BtnState::Normal) {
      FacePath(cr, 0.5, 0, w - 1, h - 0.5, 4);
      SetRgb(cr, st == BtnState::Hover ? theme.hoverFill : theme.pressFill);
      cairo_fill(cr);
    }
    double cx = 21.5, cy = st == BtnState::Pressed ? 10 : 9;
    cairo_arc(cr, cx, cy, 6.5, 0, 2 * M_PI);
    cairo_set_line_width(cr, 1.2);
    SetRgb(cr, Hex(0xFFFFFF), st == BtnState::Normal ? 0.75 : 0.9);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    const double d = 2.8;
    cairo_move_to(cr, cx - d, cy - d);
    cairo_line_to(cr, cx + d, cy + d);
    cairo_move_to(cr, cx + d, cy - d);
    cairo_line_to(cr, cx - d, cy + d);
    cairo_set_line_width(cr, 1.7);
    SetRgb(cr, st == BtnState::Pressed ? Hex(0xF3D9CF) : Hex(0xFFFFFF));
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  WritePng(c.surface, out);
}

// ---------------------------------------------------------------------------------------------
// Portal buttons (bitmaps 111 and 112): the main window's other-login and portal-page buttons
// beside the tab strip, three frames each (normal, hover, pressed), 22 rows hanging from the
// window's top row. The caption is the button's own text, printed in white over the frame.

void DrawPortalButtonStrip(int w, const std::filesystem::path& out) {
  const int h = 22;
  Canvas c(CAIRO_FORMAT_RGB24, w * 3, h);
  cairo_t* cr = c.cr;
  const double fill[3] = {0.10, 0.26, 0.0};
  for (int i = 0; i < 3; ++i) {
    const BtnState st = static_cast<BtnState>(i);
    cairo_save(cr);
    cairo_rectangle(cr, i * w, 0, w, h);
    cairo_clip(cr);
    cairo_translate(cr, i * w, 0);
    for (int y = 0; y < h; ++y) {
      SetRgb(cr, Quantised(TitleRow(y)));
      cairo_rectangle(cr, 0, y, w, 1);
      cairo_fill(cr);
    }
    FacePath(cr, 1.5, 1, w - 3, h - 2.5, 4);
    if (st == BtnState::Pressed)
      SetRgb(cr, Hex(0x0A1E5A), 0.38);
    else
      SetRgb(cr, Hex(0xFFFFFF), fill[i]);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    if (st == BtnState::Pressed)
      cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    else
      cairo_set_source_rgba(cr, 1, 1, 1, st == BtnState::Hover ? 0.55 : 0.35);
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  WritePng(c.surface, out);
}

// ---------------------------------------------------------------------------------------------
// Dialog buttons (bitmaps 109 and 110): the exit confirmation's answer buttons, three 65 x 25
// frames each (normal, hover, pressed), laid out for a white dialog. The caption is the
// button's own text, printed over the frame, so the pictures carry none. 109 is the accepting
// button, in the title bar's blue (a white caption reads on it); 110 the declining one, a pale
// face with a blue rim (a dark caption reads on it).

struct DialogButtonTheme {
  Rgb top, bottom;        // face gradient in the normal frame
  Rgb rim;                // outline
  Rgb hoverTint;          // what the hover frame's face leans towards
  double hoverLift;       // and how far
  double pressDepth;      // how far the pressed frame darkens towards the rim
};

const DialogButtonTheme kAcceptTheme = {Hex(0x5C8BE4), Hex(0x2953AC), kOutline, Hex(0xFFFFFF),
                                        0.18, 0.30};
const DialogButtonTheme kDeclineTheme = {Hex(0xFBFCFE), Hex(0xDCE5F5), Hex(0x7D98CF),
                                         Hex(0xC4D8FF), 0.45, 0.12};

void DrawDialogButtonStrip(const DialogButtonTheme& t, const std::filesystem::path& out) {
  const int w = 65, h = 25;
  Canvas c(CAIRO_FORMAT_RGB24, w * 3, h);
  cairo_t* cr = c.cr;
  cairo_set_source_rgb(cr, 1, 1, 1);  // the dialog's back colour around the rounded corners
  cairo_paint(cr);
  for (int i = 0; i < 3; ++i) {
    const BtnState st = static_cast<BtnState>(i);
    Rgb top = t.top, bottom = t.bottom;
    if (st == BtnState::Hover) {
      top = Mix(top, t.hoverTint, t.hoverLift);
      bottom = Mix(bottom, t.hoverTint, t.hoverLift);
    } else if (st == BtnState::Pressed) {
      // pressed: the gradient turns over and darkens, as if the face were pushed in
      std::swap(top, bottom);
      top = Mix(top, t.rim, t.pressDepth);
      bottom = Mix(bottom, t.rim, t.pressDepth);
    }
    cairo_save(cr);
    cairo_translate(cr, i * w, 0);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 1, 0, h - 1);
    AddStop(g, 0, top);
    AddStop(g, 1, bottom);
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 4);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, 1);
    SetRgb(cr, st == BtnState::Hover ? Mix(t.rim, Hex(0xFFFFFF), 0.15) : t.rim);
    cairo_stroke(cr);
    // a highlight line inside the top edge (a shade line when pressed)
    cairo_move_to(cr, 4, 1.5);
    cairo_line_to(cr, w - 4, 1.5);
    if (st == BtnState::Pressed)
      cairo_set_source_rgba(cr, 0, 0, 0, 0.18);
    else
      cairo_set_source_rgba(cr, 1, 1, 1, 0.45);
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  WritePng(c.surface, out);
}

// ---------------------------------------------------------------------------------------------
// The game's emblem: a gold-rimmed heater shield with a white "Z" struck through by a blade.

void ShieldPath(cairo_t* cr, double x, double y, double s) {
  // in a unit box: top edge slightly arched, sides straight to mid height, then to the point
  auto P = [&](double u, double v) { return std::pair<double, double>{x + u * s, y + v * s}; };
  auto [ax, ay] = P(0.08, 0.12);
  cairo_move_to(cr, ax, ay);
  auto [b1x, b1y] = P(0.30, 0.02);
  auto [b2x, b2y] = P(0.70, 0.02);
  auto [bx, by] = P(0.92, 0.12);
  cairo_curve_to(cr, b1x, b1y, b2x, b2y, bx, by);
  auto [c1x, c1y] = P(0.93, 0.52);
  auto [c2x, c2y] = P(0.80, 0.78);
  auto [cx, cy] = P(0.50, 0.97);
  cairo_curve_to(cr, c1x, c1y, c2x, c2y, cx, cy);
  auto [d1x, d1y] = P(0.20, 0.78);
  auto [d2x, d2y] = P(0.07, 0.52);
  cairo_curve_to(cr, d1x, d1y, d2x, d2y, ax, ay);
  cairo_close_path(cr);
}

void DrawEmblem(cairo_t* cr, double x, double y, double s) {
  cairo_save(cr);
  // gold rim
  ShieldPath(cr, x, y, s);
  cairo_pattern_t* gold = cairo_pattern_create_linear(x, y, x + s, y + s);
  AddStop(gold, 0, Hex(0xFFE9A3));
  AddStop(gold, 0.45, Hex(0xE8B84A));
  AddStop(gold, 1, Hex(0x9A6A1C));
  cairo_set_source(cr, gold);
  cairo_fill(cr);
  cairo_pattern_destroy(gold);
  // blue field
  double inset = std::max(1.0, s * 0.075);
  double fs = s - 2 * inset;
  ShieldPath(cr, x + inset, y + inset * 1.05, fs);
  cairo_pattern_t* field = cairo_pattern_create_linear(x, y, x, y + s);
  AddStop(field, 0, Hex(0x4F8DF0));
  AddStop(field, 1, Hex(0x132F7A));
  cairo_set_source(cr, field);
  cairo_fill(cr);
  cairo_pattern_destroy(field);
  // upper sheen on the field
  if (s >= 24) {
    cairo_save(cr);
    ShieldPath(cr, x + inset, y + inset * 1.05, fs);
    cairo_clip(cr);
    cairo_arc(cr, x + s * 0.5, y - s * 0.55, s * 0.95, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  // blade behind the letter (bigger sizes only)
  if (s >= 28) {
    cairo_move_to(cr, x + s * 0.50, y + s * 0.10);
    cairo_line_to(cr, x + s * 0.545, y + s * 0.20);
    cairo_line_to(cr, x + s * 0.535, y + s * 0.80);
    cairo_line_to(cr, x + s * 0.465, y + s * 0.80);
    cairo_line_to(cr, x + s * 0.455, y + s * 0.20);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.80, 0.90, 1.0, 0.85);
    cairo_fill(cr);
    // guard
    cairo_rectangle(cr, x + s * 0.36, y + s * 0.73, s * 0.28, s * 0.045);
    SetRgb(cr, Hex(0xF2CB62));
    cairo_fill(cr);
  }
  // the "Z"
  double zl = x + s * 0.29, zr = x + s * 0.71, zt = y + s * 0.27, zb = y + s * 0.66;
  double t = s * (s < 20 ? 0.14 : 0.11);
  cairo_move_to(cr, zl, zt);
  cairo_line_to(cr, zr, zt);
  cairo_line_to(cr, zr, zt + t);
  cairo_line_to(cr, zl + t * 1.35, zb - t);
  cairo_line_to(cr, zr, zb - t);
  cairo_line_to(cr, zr, zb);
  cairo_line_to(cr, zl, zb);
  cairo_line_to(cr, zl, zb - t);
  cairo_line_to(cr, zr - t * 1.35, zt + t);
  cairo_line_to(cr, zl, zt + t);
  cairo_close_path(cr);
  if (s >= 24) {
    cairo_save(cr);
    cairo_translate(cr, 0, s * 0.025);
    cairo_set_source_rgba(cr, 0.03, 0.08, 0.25, 0.55);
    cairo_fill_preserve(cr);
    cairo_restore(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, zl, zt);
    cairo_line_to(cr, zr, zt);
    cairo_line_to(cr, zr, zt + t);
    cairo_line_to(cr, zl + t * 1.35, zb - t);
    cairo_line_to(cr, zr, zb - t);
    cairo_line_to(cr, zr, zb);
    cairo_line_to(cr, zl, zb);
    cairo_line_to(cr, zl, zb - t);
    cairo_line_to(cr, zr - t * 1.35, zt + t);
    cairo_line_to(cr, zl, zt + t);
    cairo_close_path(cr);
  }
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_fill(cr);
  // a spark at the upper right
  if (s >= 40) {
    double sx = x + s * 0.74, sy = y + s * 0.20, r = s * 0.07;
    cairo_move_to(cr, sx, sy - r);
    cairo_curve_to(cr, sx, sy, sx, sy, sx + r, sy);
    cairo_curve_to(cr, sx, sy, sx, sy, sx, sy + r);
    cairo_curve_to(cr, sx, sy, sx, sy, sx - r, sy);
    cairo_curve_to(cr, sx, sy, sx, sy, sx, sy - r);
    cairo_set_source_rgba(cr, 1, 1, 0.9, 0.9);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

// Resource 105: the 29 x 29 logo, on the title bar's own rows (it sits 2 rows down).
void DrawLogo(const std::filesystem::path& out) {
  Canvas c(CAIRO_FORMAT_RGB24, 29, 29);
  for (int y = 0; y < 29; ++y) {
    SetRgb(c.cr, Quantised(TitleRow(y + 2)));
    cairo_rectangle(c.cr, 0, y, 29, 1);
    cairo_fill(c.cr);
  }
  // a dark keyline so the gold rim reads on the blue bar; it stays clear of the picture's
  // edges, which must meet the bar without a seam
  ShieldPath(c.cr, 1.5, 1.5, 26);
  cairo_set_source_rgba(c.cr, 0.02, 0.08, 0.3, 0.55);
  cairo_set_line_width(c.cr, 1.6);
  cairo_stroke(c.cr);
  DrawEmblem(c.cr, 1.5, 1.5, 26);
  WritePng(c.surface, out);
}

// ---------------------------------------------------------------------------------------------
// Icon file: the images up to 128 pixels as 32-bit DIBs, the 256 pixel image as PNG. The window
// offers every size to the window manager, so that a task switcher of a screen at 2x scale
// finds one it need not enlarge; the desktop's icon theme gets the same sizes as single files.

constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};
constexpr int kIconCount = static_cast<int>(std::size(kIconSizes));

std::vector<unsigned char> IconImage(int size, bool png) {
  Canvas c(CAIRO_FORMAT_ARGB32, size, size);
  double pad = size <= 16 ? 0 : size * 0.03;
  DrawEmblem(c.cr, pad, pad, size - 2 * pad);
  cairo_surface_flush(c.surface);
  std::vector<unsigned char> bytes;
  if (png) {
    cairo_surface_write_to_png_stream(c.surface, AppendBytes, &bytes);
    return bytes;
  }
  auto put16 = [&](unsigned v) {
    bytes.push_back(v & 0xFF);
    bytes.push_back((v >> 8) & 0xFF);
  };
  auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  int maskStride = ((size + 31) / 32) * 4;
  put32(40);             // biSize
  put32(size);           // biWidth
  put32(size * 2);       // biHeight: colour and mask
  put16(1);              // biPlanes
  put16(32);             // biBitCount
  put32(0);              // BI_RGB
  put32(size * size * 4 + maskStride * size);
  put32(0);
  put32(0);
  put32(0);
  put32(0);
  for (int y = size - 1; y >= 0; --y) {  // bottom-up, straight (not premultiplied) BGRA
    std::uint32_t* row = c.Row(y);
    for (int x = 0; x < size; ++x) {
      std::uint32_t p = row[x];
      unsigned a = p >> 24;
      unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (a) {
        r = std::min(255u, (r * 255 + a / 2) / a);
        g = std::min(255u, (g * 255 + a / 2) / a);
        b = std::min(255u, (b * 255 + a / 2) / a);
      }
      bytes.push_back(b);
      bytes.push_back(g);
      bytes.push_back(r);
      bytes.push_back(a);
    }
  }
  for (int y = size - 1; y >= 0; --y) {  // AND mask: set where fully transparent
    std::uint32_t* row = c.Row(y);
    std::vector<unsigned char> m(maskStride, 0);
    for (int x = 0; x < size; ++x)
      if ((row[x] >> 24) == 0) m[x / 8] |= 0x80 >> (x % 8);
    bytes.insert(bytes.end(), m.begin(), m.end());
  }
  return bytes;
}

void WriteIcon(const std::filesystem::path& out) {
  std::vector<std::vector<unsigned char>> images;
  for (int s : kIconSizes) images.push_back(IconImage(s, s == 256));
  std::vector<unsigned char> file;
  auto put16 = [&](unsigned v) {
    file.push_back(v & 0xFF);
    file.push_back((v >> 8) & 0xFF);
  };
  auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  put16(0);  // reserved
  put16(1);  // icon
  put16(kIconCount);
  // The directory lists the sizes in ascending order; the images follow with the PNG one
  // first, a layout that every icon reader takes, gdk-pixbuf's included (it misreads a DIB
  // entry whose data precedes a PNG entry's).
  std::vector<int> order = {kIconCount - 1};
  for (int i = 0; i < kIconCount - 1; ++i) order.push_back(i);
  std::uint32_t offsets[kIconCount];
  std::uint32_t offset = 6 + 16 * kIconCount;
  for (int k : order) {
    offsets[k] = offset;
    offset += static_cast<std::uint32_t>(images[k].size());
  }
  for (int i = 0; i < kIconCount; ++i) {
    const int size = kIconSizes[i];
    file.push_back(size >= 256 ? 0 : size);
    file.push_back(size >= 256 ? 0 : size);
    file.push_back(0);  // no palette
    file.push_back(0);
    put16(1);   // planes
    put16(32);  // bits per pixel
    put32(static_cast<std::uint32_t>(images[i].size()));
    put32(offsets[i]);
  }
  for (int k : order) file.insert(file.end(), images[k].begin(), images[k].end());
  std::ofstream f(out, std::ios::binary);
  f.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!f) {
    std::fprintf(stderr, "artgen: cannot write %s\n", out.c_str());
    g_ok = false;
  }
}

// ---------------------------------------------------------------------------------------------
// Splash (PNG 102, 356 x 122, with alpha)

void DrawSplash(const std::filesystem::path& out) {
  const int W = 356, H = 122;
  Canvas c(CAIRO_FORMAT_ARGB32, W, H);
  cairo_t* cr = c.cr;
  const double bx = 7, by = 6, bw = W - 14, bh = H - 14, r = 14;
  // soft shadow
  {
    Canvas sh(CAIRO_FORMAT_ARGB32, W, H);
    RoundRect(sh.cr, bx, by + 2, bw, bh, r);
    cairo_set_source_rgba(sh.cr, 0.02, 0.06, 0.2, 0.75);
    cairo_fill(sh.cr);
    Blur(sh.surface, 2);
    cairo_set_source_surface(cr, sh.surface, 0, 0);
    cairo_paint(cr);
  }
  // body
  RoundRect(cr, bx, by, bw, bh, r);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, by, 0, by + bh);
  AddStop(g, 0, Hex(0x6892E8));
  AddStop(g, 0.5, Hex(0x3A66C4));
  AddStop(g, 1, Hex(0x1D3C8C));
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  // light rays behind the emblem
  cairo_save(cr);
  RoundRect(cr, bx, by, bw, bh, r);
  cairo_clip(cr);
  cairo_pattern_t* glow = cairo_pattern_create_radial(58, 60, 4, 58, 60, 90);
  AddStop(glow, 0, Hex(0xCFE2FF), 0.55);
  AddStop(glow, 1, Hex(0xCFE2FF), 0.0);
  cairo_set_source(cr, glow);
  cairo_paint(cr);
  cairo_pattern_destroy(glow);
  // gloss on the upper half
  RoundRect(cr, bx + 2, by + 2, bw - 4, bh * 0.45, r - 2);
  cairo_pattern_t* gl = cairo_pattern_create_linear(0, by, 0, by + bh * 0.45);
  AddStop(gl, 0, Hex(0xFFFFFF), 0.30);
  AddStop(gl, 1, Hex(0xFFFFFF), 0.04);
  cairo_set_source(cr, gl);
  cairo_fill(cr);
  cairo_pattern_destroy(gl);
  // sparkles
  Lcg rng{20240601};
  for (int i = 0; i < 26; ++i) {
    double x = bx + 100 + rng.Next() * (bw - 110), y = by + 6 + rng.Next() * (bh - 12);
    double rr = 0.6 + rng.Next() * 1.3;
    cairo_arc(cr, x, y, rr, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.15 + rng.Next() * 0.35);
    cairo_fill(cr);
  }
  cairo_restore(cr);
  // gold rim
  RoundRect(cr, bx + 0.5, by + 0.5, bw - 1, bh - 1, r);
  cairo_pattern_t* rim = cairo_pattern_create_linear(0, by, 0, by + bh);
  AddStop(rim, 0, Hex(0xFFE7A0));
  AddStop(rim, 1, Hex(0xB07E28));
  cairo_set_source(cr, rim);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
  cairo_pattern_destroy(rim);
  RoundRect(cr, bx + 2.5, by + 2.5, bw - 5, bh - 5, r - 2);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);

  DrawEmblem(cr, 24, 27, 68);

  PangoLayout* title = MakeText(cr, "ZorvikTalmar2", 27, true);
  DrawText(cr, title, 108, 26, Hex(0xFFFFFF), Hex(0x0A1B4D), 0.8);
  g_object_unref(title);
  PangoLayout* sub = MakeText(cr, "正在加载...", 14, false);
  DrawText(cr, sub, 110, 70, Hex(0xE3EDFF), Hex(0x0A1B4D), 0.6);
  g_object_unref(sub);
  // a thin ornamental line under the title
  cairo_pattern_t* ln = cairo_pattern_create_linear(108, 0, 330, 0);
  AddStop(ln, 0, Hex(0xFFE39A), 0.9);
  AddStop(ln, 1, Hex(0xFFE39A), 0.0);
  cairo_set_source(cr, ln);
  cairo_rectangle(cr, 108, 63, 222, 1.2);
  cairo_fill(cr);
  cairo_pattern_destroy(ln);
  // three dots after the loading text's line
  for (int i = 0; i < 3; ++i) {
    cairo_arc(cr, 112 + i * 10, 100, 2.6, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 0.92, 0.65, 1.0 - i * 0.3);
    cairo_fill(cr);
  }
  FadeEdges(c, 6);
  WritePng(c.surface, out);
}

// ---------------------------------------------------------------------------------------------
// Login background (PNG 101, 1237 x 696, with alpha)
//
// The login window lies over it with its browser clipped to (415, 179) .. (1147, 604) and its
// minimise and close pictures at (1120, 130) 28 x 28 and (1152, 125) 34 x 34. The frame's
// panel runs from (382, 100) to (1210, 640): a title band above the browser, the browser's
// well, and a narrow notice band below it. A swordsman stands on the left, in front of the
// frame's left edge, lit by a soft aura that fades out to nothing.

constexpr double kPanelX = 382, kPanelY = 100, kPanelW = 828, kPanelH = 540, kPanelR = 20;
constexpr double kWellX = 415, kWellY = 179, kWellW = 732, kWellH = 425;

void PanelPath(cairo_t* cr) { RoundRect(cr, kPanelX, kPanelY, kPanelW, kPanelH, kPanelR); }

void GoldPattern(cairo_t* cr, double y0, double y1) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  AddStop(p, 0, Hex(0xFFEDB0));
  AddStop(p, 0.35, Hex(0xE6B850));
  AddStop(p, 0.7, Hex(0xB07C22));
  AddStop(p, 1, Hex(0xF0CF7A));
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

// A small gold filigree ornament: a diamond with two curls, pointing along +x.
void Ornament(cairo_t* cr, double x, double y, double s, double angle) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, angle);
  cairo_scale(cr, s, s);
  cairo_move_to(cr, 0, -6);
  cairo_line_to(cr, 7, 0);
  cairo_line_to(cr, 0, 6);
  cairo_line_to(cr, -7, 0);
  cairo_close_path(cr);
  GoldPattern(cr, -6, 6);
  cairo_fill(cr);
  cairo_set_line_width(cr, 1.6);
  for (int sgn = -1; sgn <= 1; sgn += 2) {
    cairo_move_to(cr, 7, 0);
    cairo_curve_to(cr, 16, 0, 20, sgn * 10, 28, sgn * 8);
    cairo_curve_to(cr, 34, sgn * 6, 33, sgn * 1, 29, sgn * 1.5);
    cairo_move_to(cr, -7, 0);
    cairo_curve_to(cr, -16, 0, -20, sgn * 10, -28, sgn * 8);
    cairo_curve_to(cr, -34, sgn * 6, -33, sgn * 1, -29, sgn * 1.5);
  }
  GoldPattern(cr, -10, 10);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void DrawPanel(cairo_t* cr) {
  // soft shadow / glow around the panel
  {
    Canvas sh(CAIRO_FORMAT_ARGB32, 1237, 696);
    RoundRect(sh.cr, kPanelX - 6, kPanelY - 4, kPanelW + 12, kPanelH + 14, kPanelR + 6);
    cairo_set_source_rgba(sh.cr, 0.01, 0.04, 0.16, 0.85);
    cairo_fill(sh.cr);
    Blur(sh.surface, 7);
    cairo_set_source_surface(cr, sh.surface, 0, 0);
    cairo_paint(cr);
  }
  // body
  PanelPath(cr);
  cairo_pattern_t* body = cairo_pattern_create_linear(0, kPanelY, 0, kPanelY + kPanelH);
  AddStop(body, 0, Hex(0x2A4C9E));
  AddStop(body, 0.16, Hex(0x1B3478));
  AddStop(body, 1, Hex(0x0D1B45));
  cairo_set_source(cr, body);
  cairo_fill(cr);
  cairo_pattern_destroy(body);
  cairo_save(cr);
  PanelPath(cr);
  cairo_clip(cr);
  // faint diagonal weave on the body
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.035);
  for (double d = -700; d < 1300; d += 9) {
    cairo_move_to(cr, kPanelX + d, kPanelY);
    cairo_line_to(cr, kPanelX + d + kPanelH, kPanelY + kPanelH);
  }
  cairo_stroke(cr);
  // title band glow
  cairo_pattern_t* band = cairo_pattern_create_linear(0, kPanelY, 0, kWellY - 6);
  AddStop(band, 0, Hex(0x8FB4FF), 0.35);
  AddStop(band, 1, Hex(0x8FB4FF), 0.0);
  cairo_set_source(cr, band);
  cairo_rectangle(cr, kPanelX, kPanelY, kPanelW, kWellY - kPanelY);
  cairo_fill(cr);
  cairo_pattern_destroy(band);
  cairo_restore(cr);
  // outer gold rim, dark groove, inner thin gold line
  PanelPath(cr);
  GoldPattern(cr, kPanelY, kPanelY + kPanelH);
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  RoundRect(cr, kPanelX + 3, kPanelY + 3, kPanelW - 6, kPanelH - 6, kPanelR - 3);
  cairo_set_source_rgba(cr, 0.05, 0.03, 0.0, 0.6);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  RoundRect(cr, kPanelX + 8.5, kPanelY + 8.5, kPanelW - 17, kPanelH - 17, kPanelR - 7);
  GoldPattern(cr, kPanelY, kPanelY + kPanelH);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  // corner ornaments
  Ornament(cr, kPanelX + 30, kPanelY + 6, 0.9, 0);
  Ornament(cr, kPanelX + kPanelW - 30, kPanelY + kPanelH - 6, 0.9, 0);
  Ornament(cr, kPanelX + 6, kPanelY + kPanelH - 40, 0.9, M_PI / 2);
  // crest on the top rim, centred over the well
  double cx = kWellX + kWellW / 2;
  Ornament(cr, cx - 48, kPanelY + 0.5, 1.0, 0);
  Ornament(cr, cx + 48, kPanelY + 0.5, 1.0, 0);
  DrawEmblem(cr, cx - 21, kPanelY - 22, 42);

  // the game's name in the title band
  PangoLayout* title = MakeText(cr, "ZorvikTalmar2", 30, true);
  double tw, th;
  TextSize(title, &tw, &th);
  double tx = kWellX + 34, ty = 124;
  cairo_move_to(cr, tx + 2, ty + 2);
  cairo_set_source_rgba(cr, 0, 0, 0.08, 0.7);
  pango_cairo_show_layout(cr, title);
  cairo_move_to(cr, tx, ty);
  pango_cairo_layout_path(cr, title);
  GoldPattern(cr, ty + 6, ty + th - 4);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, 0.35, 0.2, 0.0, 0.8);
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
  g_object_unref(title);
  PangoLayout* sub = MakeText(cr, "账号登录", 16, false);
  DrawText(cr, sub, tx + tw + 18, ty + th - 26, Hex(0xDCE7FF), Hex(0x000814), 0.8);
  g_object_unref(sub);
  // a divider under the band
  cairo_pattern_t* div = cairo_pattern_create_linear(kWellX, 0, kWellX + kWellW, 0);
  AddStop(div, 0, Hex(0xE8BE5A), 0.0);
  AddStop(div, 0.15, Hex(0xE8BE5A), 0.9);
  AddStop(div, 0.85, Hex(0xE8BE5A), 0.9);
  AddStop(div, 1, Hex(0xE8BE5A), 0.0);
  cairo_set_source(cr, div);
  cairo_rectangle(cr, kWellX, 168, kWellW, 1.4);
  cairo_fill(cr);
  cairo_pattern_destroy(div);

  // the browser's well: a bevelled gold frame, opaque inside
  RoundRect(cr, kWellX - 5, kWellY - 5, kWellW + 10, kWellH + 10, 4);
  cairo_set_source_rgb(cr, 0.03, 0.06, 0.16);
  cairo_fill(cr);
  cairo_rectangle(cr, kWellX - 2.5, kWellY - 2.5, kWellW + 5, kWellH + 5);
  GoldPattern(cr, kWellY, kWellY + kWellH);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_rectangle(cr, kWellX, kWellY, kWellW, kWellH);
  cairo_pattern_t* page = cairo_pattern_create_linear(0, kWellY, 0, kWellY + kWellH);
  AddStop(page, 0, Hex(0xF7F9FE));
  AddStop(page, 1, Hex(0xE4ECF9));
  cairo_set_source(cr, page);
  cairo_fill(cr);
  cairo_pattern_destroy(page);

  // the notice band below the well
  PangoLayout* note = MakeText(cr,
                               "抵制不良游戏，拒绝盗版游戏。注意自我保护，谨防受骗上当。适度游戏益"
                               "脑，沉迷游戏伤身。合理安排时间，享受健康生活。",
                               11.5, false);
  double nw, nh;
  TextSize(note, &nw, &nh);
  DrawText(cr, note, kWellX + (kWellW - nw) / 2, 613, Hex(0xB9C8EA), Hex(0x000000), 0.5);
  g_object_unref(note);
}

// The swordsman, in image coordinates. Drawn in layers back to front.
void FillGradient(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb a, Rgb b,
                  bool preserve = false) {
  cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
  AddStop(p, 0, a);
  AddStop(p, 1, b);
  cairo_set_source(cr, p);
  if (preserve)
    cairo_fill_preserve(cr);
  else
    cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void Rim(cairo_t* cr, Rgb c, double a, double w) {
  SetRgb(cr, c, a);
  cairo_set_line_width(cr, w);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void DrawFigure(cairo_t* cr) {
  const Rgb gold = Hex(0xE8C060), goldDark = Hex(0x8A5E18);
  const Rgb steelHi = Hex(0xD9E3F2), steelLo = Hex(0x4E5D7C);
  const Rgb cloth = Hex(0x22306A), clothLo = Hex(0x0E1538);
  const Rgb skin = Hex(0xF3D6BC), skinLo = Hex(0xD29F80);
  const Rgb hair = Hex(0x1B1F3E), hairHi = Hex(0x4A5A9A);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

  // cape, flowing back to the left
  cairo_move_to(cr, 182, 196);
  cairo_curve_to(cr, 140, 230, 92, 300, 70, 380);
  cairo_curve_to(cr, 50, 450, 36, 520, 22, 600);
  cairo_curve_to(cr, 48, 590, 64, 612, 84, 640);
  cairo_curve_to(cr, 104, 622, 126, 630, 146, 652);
  cairo_curve_to(cr, 160, 630, 180, 628, 200, 640);
  cairo_line_to(cr, 240, 420);
  cairo_line_to(cr, 276, 200);
  cairo_close_path(cr);
  FillGradient(cr, 60, 200, 200, 650, Hex(0xA81E34), Hex(0x3A0712), true);
  Rim(cr, Hex(0xFF8A7A), 0.55, 1.5);
  // cape folds
  cairo_set_source_rgba(cr, 0, 0, 0, 0.22);
  cairo_set_line_width(cr, 5);
  cairo_move_to(cr, 150, 250);
  cairo_curve_to(cr, 110, 350, 90, 480, 84, 630);
  cairo_move_to(cr, 175, 280);
  cairo_curve_to(cr, 150, 400, 140, 520, 146, 640);
  cairo_stroke(cr);

  // long hair behind the shoulders
  cairo_move_to(cr, 200, 100);
  cairo_curve_to(cr, 168, 130, 160, 190, 150, 250);
  cairo_curve_to(cr, 142, 290, 126, 312, 104, 330);
  cairo_curve_to(cr, 138, 326, 160, 300, 170, 276);
  cairo_curve_to(cr, 172, 300, 168, 318, 156, 340);
  cairo_curve_to(cr, 186, 320, 196, 280, 200, 240);
  cairo_line_to(cr, 232, 160);
  cairo_close_path(cr);
  FillGradient(cr, 130, 100, 200, 340, hair, Hex(0x0B0D22), true);
  Rim(cr, hairHi, 0.6, 1.2);

  // legs: dark cloth, greaves, boots
  auto leg = [&](double hipX, double kneeX, double ankleX, double outward) {
    cairo_move_to(cr, hipX - 22, 420);
    cairo_curve_to(cr, hipX - 24, 470, kneeX - 22, 500, kneeX - 18, 530);
    cairo_curve_to(cr, kneeX - 16, 560, ankleX - 16, 590, ankleX - 15, 610);
    cairo_line_to(cr, ankleX + 15, 610);
    cairo_curve_to(cr, ankleX + 14, 580, kneeX + 18, 560, kneeX + 19, 528);
    cairo_curve_to(cr, kneeX + 20, 496, hipX + 22, 470, hipX + 22, 420);
    cairo_close_path(cr);
    FillGradient(cr, hipX - 20, 0, hipX + 20, 0, cloth, clothLo);
    // greave
    cairo_move_to(cr, kneeX - 17, 522);
    cairo_curve_to(cr, kneeX - 8, 510, kneeX + 8, 510, kneeX + 18, 522);
    cairo_line_to(cr, ankleX + 15, 600);
    cairo_line_to(cr, ankleX - 15, 600);
    cairo_close_path(cr);
    FillGradient(cr, kneeX - 16, 0, kneeX + 16, 0, steelHi, steelLo, true);
    Rim(cr, goldDark, 0.9, 1.2);
    // knee cop
    cairo_arc(cr, kneeX, 528, 12, 0, 2 * M_PI);
    FillGradient(cr, kneeX - 12, 516, kneeX + 12, 540, Hex(0xFFF0C0), goldDark, true);
    Rim(cr, goldDark, 1, 1);
    // boot
    cairo_move_to(cr, ankleX - 16, 598);
    cairo_line_to(cr, ankleX + 16, 598);
    cairo_curve_to(cr, ankleX + 18, 630, ankleX + 20 + outward, 650, ankleX + 28 + outward, 664);
    cairo_curve_to(cr, ankleX + 30 + outward, 672, ankleX + 20 + outward, 676, ankleX + 6, 676);
    cairo_line_to(cr, ankleX - 18, 676);
    cairo_curve_to(cr, ankleX - 20, 650, ankleX - 18, 620, ankleX - 16, 598);
    cairo_close_path(cr);
    FillGradient(cr, ankleX - 18, 600, ankleX + 24, 676, Hex(0x6A4226), Hex(0x24140A), true);
    Rim(cr, Hex(0xC9985A), 0.8, 1.2);
    cairo_rectangle(cr, ankleX - 17, 598, 34, 7);
    FillGradient(cr, 0, 598, 0, 605, gold, goldDark);
  };
  leg(196, 186, 176, 0);
  leg(252, 262, 272, 8);

  // tassets: a skirt of plates over the hips
  cairo_move_to(cr, 184, 340);
  cairo_curve_to(cr, 176, 380, 166, 420, 158, 452);
  cairo_curve_to(cr, 200, 466, 250, 466, 292, 452);
  cairo_curve_to(cr, 284, 420, 276, 380, 270, 340);
  cairo_close_path(cr);
  FillGradient(cr, 160, 0, 292, 0, Hex(0x2E3F86), Hex(0x111A46), true);
  Rim(cr, gold, 0.9, 1.6);
  for (int i = 0; i < 3; ++i) {
    double x = 190 + i * 36;
    cairo_move_to(cr, x, 352);
    cairo_curve_to(cr, x - 4, 400, x - 8, 430, x - 12, 460);
    cairo_line_to(cr, x + 18, 462);
    cairo_curve_to(cr, x + 18, 430, x + 20, 400, x + 22, 352);
    cairo_close_path(cr);
    FillGradient(cr, x - 10, 0, x + 22, 0, steelHi, steelLo, true);
    Rim(cr, goldDark, 1, 1.2);
  }

  // torso: breastplate
  cairo_move_to(cr, 176, 200);
  cairo_curve_to(cr, 200, 190, 260, 190, 284, 200);
  cairo_curve_to(cr, 290, 250, 282, 300, 268, 342);
  cairo_line_to(cr, 186, 342);
  cairo_curve_to(cr, 172, 300, 168, 250, 176, 200);
  cairo_close_path(cr);
  FillGradient(cr, 176, 200, 290, 330, steelHi, steelLo, true);
  Rim(cr, gold, 1, 2);
  // chest ridge and plate lines
  cairo_move_to(cr, 230, 204);
  cairo_curve_to(cr, 226, 250, 228, 300, 228, 336);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_move_to(cr, 184, 262);
  cairo_curve_to(cr, 210, 276, 250, 276, 280, 262);
  cairo_move_to(cr, 188, 300);
  cairo_curve_to(cr, 212, 310, 248, 310, 276, 300);
  Rim(cr, goldDark, 0.8, 1.4);
  // a gem in the centre of the chest
  cairo_move_to(cr, 228, 226);
  cairo_line_to(cr, 238, 238);
  cairo_line_to(cr, 228, 252);
  cairo_line_to(cr, 218, 238);
  cairo_close_path(cr);
  FillGradient(cr, 218, 226, 238, 252, Hex(0x9FE4FF), Hex(0x1F5FC8), true);
  Rim(cr, gold, 1, 1.5);

  // belt
  cairo_move_to(cr, 184, 334);
  cairo_curve_to(cr, 210, 342, 246, 342, 272, 334);
  cairo_line_to(cr, 274, 352);
  cairo_curve_to(cr, 246, 360, 210, 360, 182, 352);
  cairo_close_path(cr);
  FillGradient(cr, 0, 334, 0, 360, Hex(0x5A341C), Hex(0x2A160A));
  cairo_rectangle(cr, 218, 334, 20, 22);
  FillGradient(cr, 218, 334, 238, 356, Hex(0xFFF0B8), goldDark, true);
  Rim(cr, Hex(0x5A3A0A), 1, 1);

  // far arm (viewer's left), hand resting at the hip
  cairo_move_to(cr, 168, 214);
  cairo_curve_to(cr, 146, 240, 134, 270, 138, 300);
  cairo_curve_to(cr, 142, 322, 156, 336, 170, 346);
  cairo_line_to(cr, 184, 330);
  cairo_curve_to(cr, 170, 318, 162, 300, 164, 282);
  cairo_curve_to(cr, 168, 262, 178, 246, 190, 232);
  cairo_close_path(cr);
  FillGradient(cr, 136, 0, 190, 0, cloth, clothLo, true);
  Rim(cr, hairHi, 0.5, 1);
  // vambrace
  cairo_move_to(cr, 136, 290);
  cairo_line_to(cr, 160, 282);
  cairo_line_to(cr, 176, 322);
  cairo_line_to(cr, 160, 338);
  cairo_close_path(cr);
  FillGradient(cr, 136, 280, 176, 338, steelHi, steelLo, true);
  Rim(cr, gold, 1, 1.3);
  cairo_arc(cr, 178, 342, 9, 0, 2 * M_PI);
  FillGradient(cr, 170, 334, 186, 350, skin, skinLo);

  // neck
  cairo_move_to(cr, 216, 160);
  cairo_line_to(cr, 242, 160);
  cairo_line_to(cr, 246, 200);
  cairo_line_to(cr, 212, 200);
  cairo_close_path(cr);
  FillGradient(cr, 212, 0, 246, 0, skinLo, skin);
  // collar
  cairo_move_to(cr, 200, 192);
  cairo_curve_to(cr, 214, 206, 246, 206, 262, 192);
  cairo_line_to(cr, 258, 184);
  cairo_curve_to(cr, 244, 196, 216, 196, 204, 184);
  cairo_close_path(cr);
  FillGradient(cr, 0, 184, 0, 206, gold, goldDark);

  // pauldrons
  auto pauldron = [&](double x, double y, double rx, double ry, double tilt) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, tilt);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, M_PI * 0.95, M_PI * 2.05);
    cairo_curve_to(cr, 0.8, 0.7, -0.8, 0.7, -1, 0.1);
    cairo_close_path(cr);
    cairo_restore(cr);
    FillGradient(cr, x - rx, y - ry, x + rx, y + ry, steelHi, steelLo, true);
    Rim(cr, gold, 1, 2.4);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, tilt);
    cairo_scale(cr, rx * 0.7, ry * 0.55);
    cairo_arc(cr, 0, 0, 1, M_PI * 1.05, M_PI * 1.95);
    cairo_restore(cr);
    Rim(cr, Hex(0xFFFFFF), 0.5, 1.5);
  };
  pauldron(170, 206, 34, 28, -0.35);

  // head: face, ear, features
  cairo_save(cr);
  cairo_translate(cr, 232, 133);
  cairo_scale(cr, 1.08, 1.08);
  cairo_move_to(cr, -24, -14);
  cairo_curve_to(cr, -26, 10, -20, 28, -4, 40);
  cairo_curve_to(cr, 4, 44, 12, 42, 18, 34);
  cairo_curve_to(cr, 26, 22, 28, 4, 26, -14);
  cairo_curve_to(cr, 20, -40, -18, -42, -24, -14);
  cairo_close_path(cr);
  FillGradient(cr, -24, -30, 26, 40, skin, skinLo, true);
  Rim(cr, Hex(0x8A5A40), 0.6, 1);
  // eyes and brows, looking toward the frame
  for (int i = 0; i < 2; ++i) {
    double ex = i ? 14 : -6;
    cairo_move_to(cr, ex - 6, 1);
    cairo_curve_to(cr, ex - 2, -2, ex + 2, -2, ex + 6, 1);
    cairo_set_source_rgb(cr, 0.12, 0.1, 0.18);
    cairo_set_line_width(cr, 2.4);
    cairo_stroke(cr);
    cairo_arc(cr, ex + 2, 1.5, 1.6, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.25, 0.45, 0.85);
    cairo_fill(cr);
    cairo_move_to(cr, ex - 7, -8);
    cairo_curve_to(cr, ex - 2, -11, ex + 3, -11, ex + 7, -9);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.2);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
  }
  cairo_move_to(cr, 6, 6);
  cairo_curve_to(cr, 8, 14, 8, 16, 5, 18);
  cairo_set_source_rgba(cr, 0.55, 0.32, 0.22, 0.7);
  cairo_set_line_width(cr, 1.3);
  cairo_stroke(cr);
  cairo_move_to(cr, -1, 27);
  cairo_curve_to(cr, 3, 29, 7, 29, 11, 26);
  cairo_set_source_rgba(cr, 0.6, 0.25, 0.2, 0.9);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
  // fringe and crown of the hair
  cairo_move_to(cr, -30, -4);
  cairo_curve_to(cr, -34, -36, -8, -54, 14, -48);
  cairo_curve_to(cr, 34, -42, 40, -20, 32, 4);
  cairo_curve_to(cr, 26, -8, 22, -14, 18, -18);
  cairo_curve_to(cr, 16, -6, 10, -4, 6, -2);
  cairo_curve_to(cr, 8, -10, 6, -16, 2, -20);
  cairo_curve_to(cr, -4, -8, -12, -4, -20, -2);
  cairo_curve_to(cr, -18, -8, -18, -12, -16, -16);
  cairo_curve_to(cr, -22, -10, -26, -4, -30, -4);
  cairo_close_path(cr);
  FillGradient(cr, -30, -50, 30, 0, hairHi, hair, true);
  Rim(cr, Hex(0x8FA6E8), 0.5, 1);
  // headband with a jewel
  cairo_move_to(cr, -28, -16);
  cairo_curve_to(cr, -10, -26, 14, -26, 30, -18);
  cairo_set_line_width(cr, 3.4);
  SetRgb(cr, gold);
  cairo_stroke(cr);
  cairo_arc(cr, 2, -23, 3.4, 0, 2 * M_PI);
  SetRgb(cr, Hex(0x5FD0FF));
  cairo_fill(cr);
  cairo_restore(cr);

  // near arm (viewer's right): shoulder to the raised sword hand
  cairo_move_to(cr, 276, 206);
  cairo_curve_to(cr, 300, 226, 316, 250, 322, 276);
  cairo_curve_to(cr, 326, 292, 322, 304, 314, 312);
  cairo_line_to(cr, 296, 300);
  cairo_curve_to(cr, 302, 290, 302, 280, 296, 266);
  cairo_curve_to(cr, 288, 250, 276, 238, 264, 228);
  cairo_close_path(cr);
  FillGradient(cr, 264, 0, 326, 0, cloth, clothLo, true);
  Rim(cr, hairHi, 0.5, 1);
  cairo_move_to(cr, 296, 258);
  cairo_line_to(cr, 320, 264);
  cairo_line_to(cr, 320, 300);
  cairo_line_to(cr, 300, 304);
  cairo_close_path(cr);
  FillGradient(cr, 296, 258, 322, 304, steelHi, steelLo, true);
  Rim(cr, gold, 1, 1.3);
  pauldron(286, 204, 32, 26, 0.35);

  // the sword: glowing blade raised across the frame's corner
  const double hx = 312, hy = 300;              // grip centre
  const double dx = 0.452, dy = -0.892;         // blade direction (unit)
  const double nx = -dy, ny = dx;               // its normal
  const double len = 268, half = 7;
  // glow
  {
    Canvas gl(CAIRO_FORMAT_ARGB32, 1237, 696);
    cairo_move_to(gl.cr, hx + dx * 20, hy + dy * 20);
    cairo_line_to(gl.cr, hx + dx * len, hy + dy * len);
    cairo_set_line_width(gl.cr, 18);
    cairo_set_line_cap(gl.cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_source_rgba(gl.cr, 0.55, 0.85, 1.0, 0.55);
    cairo_stroke(gl.cr);
    Blur(gl.surface, 5);
    cairo_set_source_surface(cr, gl.surface, 0, 0);
    cairo_paint(cr);
  }
  cairo_move_to(cr, hx + dx * 22 + nx * half, hy + dy * 22 + ny * half);
  cairo_line_to(cr, hx + dx * (len - 24) + nx * half * 0.8, hy + dy * (len - 24) + ny * half * 0.8);
  cairo_line_to(cr, hx + dx * len, hy + dy * len);
  cairo_line_to(cr, hx + dx * (len - 24) - nx * half * 0.8, hy + dy * (len - 24) - ny * half * 0.8);
  cairo_line_to(cr, hx + dx * 22 - nx * half, hy + dy * 22 - ny * half);
  cairo_close_path(cr);
  FillGradient(cr, hx + nx * half, hy + ny * half, hx - nx * half, hy - ny * half, Hex(0xFFFFFF),
               Hex(0x8CB8E8), true);
  Rim(cr, Hex(0x3A5A8A), 0.8, 1);
  cairo_move_to(cr, hx + dx * 26, hy + dy * 26);
  cairo_line_to(cr, hx + dx * (len - 20), hy + dy * (len - 20));
  cairo_set_source_rgba(cr, 0.3, 0.5, 0.8, 0.6);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  // cross guard
  cairo_move_to(cr, hx + dx * 18 + nx * 26, hy + dy * 18 + ny * 26);
  cairo_line_to(cr, hx + dx * 18 - nx * 26, hy + dy * 18 - ny * 26);
  cairo_set_line_width(cr, 8);
  GoldPattern(cr, hy - 30, hy);
  cairo_stroke(cr);
  // hand over the grip
  cairo_arc(cr, hx, hy, 11, 0, 2 * M_PI);
  FillGradient(cr, hx - 11, hy - 11, hx + 11, hy + 11, skin, skinLo, true);
  Rim(cr, Hex(0x8A5A40), 0.6, 1);
  // pommel
  cairo_arc(cr, hx - dx * 18, hy - dy * 18, 5.5, 0, 2 * M_PI);
  GoldPattern(cr, hy + 10, hy + 22);
  cairo_fill(cr);
}

void DrawLoginBackground(const std::filesystem::path& out) {
  const int W = 1237, H = 696;
  Canvas c(CAIRO_FORMAT_ARGB32, W, H);
  cairo_t* cr = c.cr;

  // The light around the swordsman (aura, rune circle, motes) on a layer of its own, faded out
  // before the picture's edges: the aura's circle reaches past the left and bottom ones.
  Canvas light(CAIRO_FORMAT_ARGB32, W, H);
  cr = light.cr;
  // aura behind the swordsman: fades out to nothing toward every edge
  cairo_pattern_t* aura = cairo_pattern_create_radial(225, 330, 10, 225, 360, 330);
  AddStop(aura, 0, Hex(0xCFE0FF), 0.75);
  AddStop(aura, 0.45, Hex(0x6C8FE8), 0.45);
  AddStop(aura, 1, Hex(0x2A3F9A), 0.0);
  cairo_set_source(cr, aura);
  cairo_paint(cr);
  cairo_pattern_destroy(aura);
  // a rune circle at his feet
  cairo_save(cr);
  cairo_translate(cr, 224, 664);
  cairo_scale(cr, 1, 0.22);
  for (int i = 0; i < 3; ++i) {
    cairo_arc(cr, 0, 0, 150 - i * 28, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0.7, 0.85, 1.0, 0.35 - i * 0.08);
    cairo_set_line_width(cr, 3 - i * 0.6);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  // drifting motes
  Lcg rng{7};
  for (int i = 0; i < 70; ++i) {
    double a = rng.Next() * 2 * M_PI, d = 60 + rng.Next() * 250;
    double x = 225 + std::cos(a) * d, y = 360 + std::sin(a) * d * 1.05;
    double r = 0.8 + rng.Next() * 2.2;
    double alpha = (0.25 + rng.Next() * 0.6) * Clamp01(1.2 - d / 320);
    cairo_arc(cr, x, y, r, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 0.95, 0.75, alpha);
    cairo_fill(cr);
  }
  FadeEdges(light, 64);
  cr = c.cr;
  cairo_set_source_surface(cr, light.surface, 0, 0);
  cairo_paint(cr);

  DrawPanel(cr);

  // the swordsman, his feet fading into the rune light
  {
    Canvas fig(CAIRO_FORMAT_ARGB32, W, H);
    DrawFigure(fig.cr);
    // Solid down to y 640, so the opaque look without a compositor keeps most of the boots.
    cairo_pattern_t* fade = cairo_pattern_create_linear(0, 640, 0, 692);
    cairo_pattern_add_color_stop_rgba(fade, 0, 0, 0, 0, 1);
    cairo_pattern_add_color_stop_rgba(fade, 1, 0, 0, 0, 0.0);
    cairo_set_source_surface(cr, fig.surface, 0, 0);
    cairo_mask(cr, fade);
    cairo_pattern_destroy(fade);
  }
  // Whatever else comes near the border ends before it.
  FadeEdges(c, 8);
  WritePng(c.surface, out);
}

// The login window's small controls, another account (28 x 28, shown beside a main window),
// minimise (28 x 28) and close (34 x 34): round buttons drawn over the part of the background
// they cover, so their antialiased rims blend with it; every pixel outside the disc is the login
// window's key colour 0xFEFEFE (see-through).
enum class LoginGlyph { Account, Minimise, Close };

void DrawLoginPicture(const std::filesystem::path& background, int x, int y, int size,
                      LoginGlyph glyph, const std::filesystem::path& out) {
  const bool close = glyph == LoginGlyph::Close;
  cairo_surface_t* bg = cairo_image_surface_create_from_png(background.c_str());
  cairo_surface_set_device_scale(bg, g_scale, g_scale);
  Canvas c(CAIRO_FORMAT_RGB24, size, size);
  cairo_t* cr = c.cr;
  cairo_set_source_surface(cr, bg, -x, -y);
  cairo_paint(cr);
  cairo_surface_destroy(bg);

  const double r = size / 2.0 - 1.0, cx = size / 2.0, cy = size / 2.0;
  cairo_pattern_t* rim = cairo_pattern_create_linear(0, 0, 0, size);
  AddStop(rim, 0, Hex(0xF6DE8D));
  AddStop(rim, 1, Hex(0xA77A22));
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_set_source(cr, rim);
  cairo_fill(cr);
  cairo_pattern_destroy(rim);
  cairo_pattern_t* face = cairo_pattern_create_radial(cx, cy - r * 0.4, 1, cx, cy, r);
  AddStop(face, 0, close ? Hex(0xE8685A) : Hex(0x5B86E0));
  AddStop(face, 1, close ? Hex(0x9B2219) : Hex(0x1D3E8C));
  cairo_arc(cr, cx, cy, r - 2, 0, 2 * M_PI);
  cairo_set_source(cr, face);
  cairo_fill(cr);
  cairo_pattern_destroy(face);

  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, size / 9.0);
  SetRgb(cr, Hex(0xFFFFFF));
  const double g = r * 0.42;
  if (close) {
    cairo_move_to(cr, cx - g, cy - g);
    cairo_line_to(cr, cx + g, cy + g);
    cairo_move_to(cr, cx + g, cy - g);
    cairo_line_to(cr, cx - g, cy + g);
    cairo_stroke(cr);
  } else if (glyph == LoginGlyph::Minimise) {
    cairo_move_to(cr, cx - g, cy + g * 0.35);
    cairo_line_to(cr, cx + g, cy + g * 0.35);
    cairo_stroke(cr);
  } else {
    // A figure (head and shoulders) left of centre, and a small plus at its right.
    const double fx = cx - r * 0.16;
    cairo_arc(cr, fx, cy - r * 0.26, r * 0.24, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_arc(cr, fx, cy + r * 0.52, r * 0.44, M_PI, 2 * M_PI);
    cairo_close_path(cr);
    cairo_fill(cr);
    const double px = cx + r * 0.44, py = cy - r * 0.06, p = r * 0.2;
    cairo_set_line_width(cr, size / 14.0);
    cairo_move_to(cr, px - p, py);
    cairo_line_to(cr, px + p, py);
    cairo_move_to(cr, px, py - p);
    cairo_line_to(cr, px, py + p);
    cairo_stroke(cr);
  }

  // Outside the disc: the key colour, exactly.
  for (int py = 0; py < size * g_scale; ++py) {
    for (int px = 0; px < size * g_scale; ++px) {
      const double dx = (px + 0.5) / g_scale - cx, dy = (py + 0.5) / g_scale - cy;
      if (dx * dx + dy * dy > (r + 0.25) * (r + 0.25)) c.Put(px, py, 0xFEFEFE);
    }
  }
  WritePng(c.surface, out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: artgen <outdir>\n");
    return 2;
  }
  std::filesystem::path dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  DrawLoginBackground(dir / "png101.png");
  // The login window's small pictures, at their places over the background.
  DrawLoginPicture(dir / "png101.png", 1088, 130, 28, LoginGlyph::Account,
                   dir / "login-account.png");
  DrawLoginPicture(dir / "png101.png", 1120, 130, 28, LoginGlyph::Minimise,
                   dir / "login-minimize.png");
  DrawLoginPicture(dir / "png101.png", 1152, 125, 34, LoginGlyph::Close, dir / "login-close.png");
  DrawSplash(dir / "png102.png");
  // The same pictures drawn for screens at a window scale of 2 (the client picks them there).
  g_scale = 2;
  DrawLoginBackground(dir / "png101@2x.png");
  DrawLoginPicture(dir / "png101@2x.png", 1088, 130, 28, LoginGlyph::Account,
                   dir / "login-account@2x.png");
  DrawLoginPicture(dir / "png101@2x.png", 1120, 130, 28, LoginGlyph::Minimise,
                   dir / "login-minimize@2x.png");
  DrawLoginPicture(dir / "png101@2x.png", 1152, 125, 34, LoginGlyph::Close,
                   dir / "login-close@2x.png");
  DrawSplash(dir / "png102@2x.png");
  g_scale = 1;
  WriteIcon(dir / "icon101.ico");
  // The same icon as single pictures, for the desktop's icon theme of an installed client.
  for (int size : kIconSizes) {
    const std::vector<unsigned char> png = IconImage(size, true);
    std::ofstream f(dir / ("icon-" + std::to_string(size) + ".png"), std::ios::binary);
    f.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!f) {
      std::fprintf(stderr, "artgen: cannot write the %d px icon\n", size);
      g_ok = false;
    }
  }

  using G = Glyph;
  using S = BtnState;
  // 101: minimise; 104: program menu; three 24 x 18 frames (normal, hover, pressed).
  DrawButtonStrip(24,
                  {{G::Minimise, S::Normal}, {G::Minimise, S::Hover}, {G::Minimise, S::Pressed}},
                  kPlainTheme, dir / "bitmap101.png");
  // 102: two-state maximise/restore, six 25 x 18 frames; the first three show "maximise"
  // (not maximised), the last three "restore" (maximised).
  DrawButtonStrip(25,
                  {{G::Maximise, S::Normal}, {G::Maximise, S::Hover}, {G::Maximise, S::Pressed},
                   {G::Restore, S::Normal}, {G::Restore, S::Hover}, {G::Restore, S::Pressed}},
                  kPlainTheme, dir / "bitmap102.png");
  // 103: close, three 43 x 18 frames.
  DrawButtonStrip(43, {{G::Close, S::Normal}, {G::Close, S::Hover}, {G::Close, S::Pressed}},
                  kCloseTheme, dir / "bitmap103.png");
  DrawButtonStrip(24, {{G::Menu, S::Normal}, {G::Menu, S::Hover}, {G::Menu, S::Pressed}},
                  kPlainTheme, dir / "bitmap104.png");
  DrawLogo(dir / "bitmap105.png");
  DrawSkin(kSkin0, 0, dir / "bitmap106.png");
  DrawSkin(kSkin1, 1, dir / "bitmap107.png");
  DrawFrameSprite(dir / "bitmap108.png");
  DrawUpdaterClose(dir / "updater-bitmap103.png");
  DrawDialogButtonStrip(kAcceptTheme, dir / "bitmap109.png");
  DrawDialogButtonStrip(kDeclineTheme, dir / "bitmap110.png");
  DrawPortalButtonStrip(99, dir / "bitmap111.png");
  DrawPortalButtonStrip(81, dir / "bitmap112.png");
  return g_ok ? 0 : 1;
}
