#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system/Owner.h"
#include "platform/system/Types.h"

// The drawing layer the owner-drawn controls paint with: device contexts over 32-bit pixel
// surfaces, bitmaps, solid brushes, fonts and text, and the block transfers between them, with
// the argument conventions and results of the desktop API the controls were designed against.
//
// Handles are 32-bit ids in one registry (0 = none, never reused). A memory DC starts with a
// 1 x 1 placeholder bitmap selected; drawing on a DC that has no real surface (that placeholder,
// the screen DC) does nothing and still succeeds, except DrawFocusRect on the screen DC. Every call
// returns 0/false/CLR_INVALID on a bad handle or argument instead of failing loudly. All calls
// belong to the GUI thread.

namespace platform {

using HGDIOBJ = std::uint32_t;
using HDC = std::uint32_t;
using HBITMAP = std::uint32_t;
using HFONT = std::uint32_t;
using HBRUSH = std::uint32_t;
using COLORREF = std::uint32_t;  // 0x00BBGGRR

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int GetGValue(COLORREF c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int GetBValue(COLORREF c) {
  return static_cast<int>((c >> 16) & 0xFF);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

struct SIZE {
  int cx = 0, cy = 0;
  friend bool operator==(const SIZE&, const SIZE&) = default;
};

// ---- Device contexts -------------------------------------------------------------------------
// A memory DC; `compatible` may be 0 or any DC (every surface here has the same 32-bit format).
HDC CreateCompatibleDC(HDC compatible);
// Deselects everything the DC holds (so its bitmap can then be deleted) and frees the DC. Not
// for window DCs, which go back with ReleaseDC/EndPaint
// (platform/window/WindowDc.h).
bool DeleteDC(HDC hdc);

// ---- Objects -----------------------------------------------------------------------------------
enum : int { OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_FONT = 6, OBJ_BITMAP = 7, OBJ_MEMDC = 10 };
enum : int { DEFAULT_GUI_FONT = 17 };

// A bitmap selectable into one DC at a time, with black pixels. Width or height 0 gives the
// shared 1 x 1 placeholder; negative sizes, sizes beyond 32767 or more than 64 Mi pixels give 0.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// A bitmap resource (type "BITMAP"); 0 when there is none or it cannot be decoded.
HBITMAP LoadBitmapResource(int id);
// A bitmap holding a copy of decoded image pixels; it keeps their alpha when the image has
// any transparency (for AlphaBlend), otherwise it is an opaque bitmap like a resource's.
class Image;
HBITMAP CreateBitmapFromImage(const Image& image);
bool GetBitmapSize(HBITMAP bitmap, SIZE* size);

HBRUSH CreateSolidBrush(COLORREF color);
HGDIOBJ GetStockObject(int index);

// ---- Device capabilities -----------------------------------------------------------------------
enum : int { LOGPIXELSX = 88, LOGPIXELSY = 90 };

// LOGPIXELSX/LOGPIXELSY: the desktop's text resolution in dots per inch, the same for every DC
// (96 with no display or no text scale; 144 at a text scale of 1.5 set with Xft.dpi or
// GDK_DPI_SCALE). It is the toolkit's own font resolution, so skinned text grows with the
// desktop's text as the toolkit's does; the window scale does not enter it. Read once, at the
// first call. 0 for another index or an unknown DC (hdc 0 asks for the screen).
int GetDeviceCaps(HDC hdc, int index);

// Selects a bitmap, font or brush into the DC and returns the one it replaces; 0 on failure (a
// bitmap already selected into another DC, a bitmap into a window DC, a deleted object).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
// The bitmap, font or brush currently selected (OBJ_BITMAP, OBJ_FONT, OBJ_BRUSH).
HGDIOBJ GetCurrentObject(HDC hdc, int type);
int GetObjectType(HGDIOBJ object);
// Deleting a bitmap that is selected into a DC fails (false) and leaves it usable. A font or
// brush that is still selected is deleted when the last DC lets it go (its handle is dead at
// once). Stock objects are never deleted; deleting one reports success.
bool DeleteObject(HGDIOBJ object);

// ---- Fonts ---------------------------------------------------------------------------------
enum : int { FW_DONTCARE = 0, FW_THIN = 100, FW_NORMAL = 400, FW_BOLD = 700 };

struct LOGFONT {
  // < 0: character height (em) in pixels; > 0: cell height (ascent + descent) in pixels;
  // 0: the default size.
  int lfHeight = 0;
  int lfWeight = FW_NORMAL;  // 100 .. 900, 0 = normal
  bool lfItalic = false;
  bool lfUnderline = false;
  std::string lfFaceName;  // UTF-8; "" = the desktop's UI font
};

bool GetObject(HFONT font, LOGFONT* logFont);
// The face name is resolved against the installed fonts: "" is the desktop's UI font; the Song
// faces ("宋体", "SimSun", ...) are a CJK serif when one is installed, else the UI font; other
// names go to the font matcher as they are. Characters the chosen font lacks come from
// fallback fonts.
HFONT CreateFontIndirect(const LOGFONT& logFont);

// ---- Attributes ------------------------------------------------------------------------------
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4 };

int SetBkMode(HDC hdc, int mode);  // the previous mode, 0 on failure
int GetBkMode(HDC hdc);
COLORREF SetTextColor(HDC hdc, COLORREF color);  // the previous colour
COLORREF SetBkColor(HDC hdc, COLORREF color);
// HALFTONE smooths (averages when shrinking, interpolates when growing); the other modes take
// the nearest source pixel.
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);

// ---- Block transfers ---------------------------------------------------------------------------
enum : DWORD { SRCCOPY = 0x00CC0020 };

// Copies pixels; the parts of the rectangle outside the source or the destination surface are
// left out. Only SRCCOPY is supported (other operations fail). The source may be the
// destination itself (overlapping copies work).
bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// Scales the source rectangle onto the destination rectangle with the DC's stretch mode. A
// negative extent e at position p covers p + e + 1 .. p; when the signs of a destination and a
// source extent differ the picture is mirrored along that axis. Destination pixels whose
// sample falls outside the source surface stay as they were.
bool StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop);
// Copies (scaling by nearest pixel) every source pixel whose colour is not exactly `key`;
// destination pixels under key-coloured source pixels stay as they were. Negative extents fail.
bool TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                    int srcWidth, int srcHeight, COLORREF key);
// Composes the source over the destination with its per-pixel alpha (a bitmap from an image
// with transparency; opaque sources simply copy), scaled smoothly, times `constantAlpha`.
bool AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, std::uint8_t constantAlpha = 255);

// ---- Filling, pixels, focus
// ----------------------------------------------------------------------
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);  // nonzero on success
COLORREF GetPixel(HDC hdc, int x, int y);               // CLR_INVALID outside the surface
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
// The focus outline: a one-pixel dotted rectangle just inside `rect`, drawn by inverting every
// other pixel, so drawing it a second time removes it. On the screen DC (GetDC(0)) the outline
// is inverted on the screen itself, over every window, until it is drawn again.
bool DrawFocusRect(HDC hdc, const RECT* rect);

// Selects an object into a DC for the length of a scope and selects the previous one back at
// its end. Failed() when the selection did not happen (nothing is put back then).
class SelectedObject {
 public:
  SelectedObject(HDC hdc, HGDIOBJ object) : m_dc(hdc), m_previous(SelectObject(hdc, object)) {}
  ~SelectedObject() {
    if (m_previous != 0) SelectObject(m_dc, m_previous);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  bool Failed() const { return m_previous == 0; }

 private:
  HDC m_dc;
  HGDIOBJ m_previous;
};

// Sole owners of the handles above, for code that holds one past a single call: each frees its
// handle once, when it goes. Declare the owner of a bitmap or font before the DC it is selected
// into and the SelectedObject after both, so that they end in the order the DC needs.
using OwnedDc = Owner<HDC, DeleteDC>;  // a memory DC (CreateCompatibleDC)
using OwnedBitmap = Owner<HBITMAP, DeleteObject>;
using OwnedFont = Owner<HFONT, DeleteObject>;
using OwnedBrush = Owner<HBRUSH, DeleteObject>;

// ---- Text (UTF-8) ------------------------------------------------------------------------------
enum : unsigned {
  DT_LEFT = 0x0000,
  DT_CENTER = 0x0001,
  DT_RIGHT = 0x0002,
  DT_VCENTER = 0x0004,
  DT_BOTTOM = 0x0008,
  DT_SINGLELINE = 0x0020,
  DT_CALCRECT = 0x0400,
  DT_NOPREFIX = 0x0800,
  DT_END_ELLIPSIS = 0x8000,
};

// Size of the text in the DC's font: advance width and line height, in pixels. Works on any
// DC, with or without a surface.
bool GetTextExtentPoint32(HDC hdc, std::string_view text, SIZE* size);
// Draws the text with its cell's top-left corner at (x, y); no clipping.
bool TextOut(HDC hdc, int x, int y, std::string_view text);
// Formats the first `count` bytes of the text (-1: all of it) in the rectangle, clipped to it.
// Lines break only at line feeds, unless DT_SINGLELINE, which also allows DT_VCENTER and
// DT_BOTTOM. Without DT_NOPREFIX "&x" underlines x and "&&" shows "&". DT_END_ELLIPSIS cuts
// the end of a too-wide line so that it ends in "...". DT_CALCRECT only sets the rectangle's
// right and bottom to the text's extent. Returns the text's height (0 on failure).
int DrawText(HDC hdc, std::string_view text, int count, RECT* rect, unsigned format);

// ---- Geometry (pure; the transfers above are built on these) -----------------------------------
namespace gdi {

// A same-size copy: destination origin, source origin, extent.
struct BlitCoords {
  int dstX = 0, dstY = 0, srcX = 0, srcY = 0, width = 0, height = 0;
  friend bool operator==(const BlitCoords&, const BlitCoords&) = default;
};
// The part of the copy that lies inside both surfaces; nothing when no pixel is left.
std::optional<BlitCoords> ClipBlit(const BlitCoords& blit, SIZE srcSize, SIZE dstSize);

// A stretch with positive extents: which rectangles (right/bottom exclusive) and which axes
// are mirrored.
struct StretchCoords {
  RECT dst;
  RECT src;
  bool mirrorX = false;
  bool mirrorY = false;
  friend bool operator==(const StretchCoords&, const StretchCoords&) = default;
};
// Normalises signed extents (see StretchBlt); nothing when an extent is 0.
std::optional<StretchCoords> NormaliseStretch(int x, int y, int width, int height, int srcX,
                                              int srcY, int srcWidth, int srcHeight);
// The source pixel (0 .. srcExtent - 1) sampled for destination pixel i (0 .. dstExtent - 1)
// when taking the nearest pixel: the one under the destination pixel's centre.
int StretchSourceIndex(int i, int dstExtent, int srcExtent, bool mirror);
// The destination pixels [first, last) of one axis whose sample lies inside 0 .. srcLimit - 1
// of the source surface, for a stretch from srcOrigin with srcExtent; first == last when none.
struct Span {
  int first = 0, last = 0;
  friend bool operator==(const Span&, const Span&) = default;
};
Span VisibleStretchSpan(int dstExtent, int srcOrigin, int srcExtent, bool mirror, int srcLimit);

// The length of the longest prefix of `text` that ends on a UTF-8 character boundary and is
// not longer than n bytes.
std::size_t Utf8Floor(std::string_view text, std::size_t n);
// How many bytes of `text` to keep in front of the ellipsis so that `width(kept + ellipsis)`
// fits in maxWidth; the whole text when it fits as it is. Always a character boundary; 0 when
// even the ellipsis alone is too wide.
inline constexpr std::string_view kEllipsis = "...";
std::size_t EllipsisCut(std::string_view text, int maxWidth,
                        const std::function<int(std::string_view)>& width);

}  // namespace gdi

}  // namespace platform
