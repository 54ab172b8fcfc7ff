#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "tabstrip/Variant.h"

// The tab strip's geometry as pure functions on numbers: tab widths, tab positions, hit
// testing and where each piece of a tab is painted. The strip (uTab) feeds them its state; the
// tests feed them tables.
//
// Coordinates are pixels. A tab's Left and Width are measured from the start of the tab area
// (x = TabLeftSize on the strip); the painting rectangles are in the tab buffer, which is the
// tab area itself.

namespace tablayout {

// What sets the two styles apart. Every non-zero TabStyle is style 1.
struct StyleMetrics {
  int stripHeight;   // the strip's own height
  int fullWidth;     // a locked tab's width, and the largest shared width
  int firstLeft;     // Left of the first tab
  int gap;           // space after each tab (style 0 overlaps its neighbours instead)
  int closeInset;    // the close button starts this far left of the tab's right edge
  int closeTop;      // the close button's top
  int pieceHeight;   // height of a tab piece in the skin
  int pieceWidth;    // width of a tab piece in the skin
  int pieceX[3];     // skin x of the normal, hovered and selected tab pieces
  int glyphX[4];     // skin x of the selected tab's, normal, mouse-over and pressed close glyphs
};

inline constexpr StyleMetrics kStyle0{25, 108, 14, 0, 24, 6, 25, 122, {1, 123, 245},
                                      {367, 379, 391, 403}};
inline constexpr StyleMetrics kStyle1{32, 200, 0, 5, 20, 7, 26, 124, {1, 125, 249},
                                      {373, 385, 397, 409}};

constexpr const StyleMetrics& Metrics(std::int32_t tabStyle) {
  return tabStyle == 0 ? kStyle0 : kStyle1;
}

// The two 14-pixel ends of a tab piece that are never stretched; also how far a style-0 tab's
// slanted left end reaches over its left neighbour.
inline constexpr int kTabEdge = 14;
// The close glyph is a 12 x 12 square.
inline constexpr int kGlyphSize = 12;
// Hit testing treats everything below this row as outside the strip, in both styles.
inline constexpr int kHitBottom = 25;

// The width every unlocked tab gets. clientWidth is the strip's client width, count the number
// of tabs and locked how many of them keep the full width. There is no lower bound: with many
// tabs the result is small, zero or negative.
inline std::int32_t ComputeTabWidth(std::int32_t tabStyle, std::int32_t clientWidth,
                                    std::int32_t leftSize, std::int32_t rightSize,
                                    std::int32_t count, std::int32_t locked) {
  const StyleMetrics& m = Metrics(tabStyle);
  // 64-bit so that absurd margins or counts cannot overflow on the way.
  const std::int64_t area = std::int64_t{clientWidth} - leftSize - rightSize;
  const std::int64_t held = tabStyle == 0 ? kTabEdge : std::int64_t{m.gap} * count;
  const std::int64_t rest = area - std::int64_t{locked} * m.fullWidth - held;
  double width = m.fullWidth;
  if (locked < count) width = RoundHalfEven(static_cast<double>(rest) / (count - locked));
  if (width > m.fullWidth) width = m.fullWidth;
  return static_cast<std::int32_t>(width);
}

// One tab's place, as LayoutTabs writes it.
struct TabBox {
  std::int32_t left = 0;
  std::int32_t width = 0;
  friend bool operator==(const TabBox&, const TabBox&) = default;
};

// Walks the tabs left to right: locked tabs get the full width, the others tabWidth.
inline std::vector<TabBox> LayoutTabs(std::int32_t tabStyle, std::int32_t tabWidth,
                                      std::span<const bool> locked) {
  const StyleMetrics& m = Metrics(tabStyle);
  std::vector<TabBox> boxes;
  boxes.reserve(locked.size());
  std::int64_t x = m.firstLeft;
  for (const bool lock : locked) {
    const std::int32_t width = lock ? m.fullWidth : tabWidth;
    boxes.push_back({static_cast<std::int32_t>(x), width});
    x += width + m.gap;
  }
  return boxes;
}

// What hit testing needs to know of a tab.
struct HitTab {
  std::int32_t left = 0;
  std::int32_t width = 0;
  bool hideButton = false;
  bool soundMark = false;  // the tab shows the speaker mark (its page has sound, or is muted)
};

// Hit codes besides tab indexes.
inline constexpr std::int32_t kHitNoTab = -1;    // tab area, but no tab there (or no tabs)
inline constexpr std::int32_t kHitMargin = -2;   // left or right margin
inline constexpr std::int32_t kHitOutside = -3;  // outside the strip's rows or columns

struct Hit {
  std::int32_t index = kHitNoTab;
  bool close = false;  // on the tab's close button
  bool sound = false;  // on the tab's speaker mark
  friend bool operator==(const Hit&, const Hit&) = default;
};

// A rectangle as the drawing routines take it: origin and extent.
struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  friend bool operator==(const Box&, const Box&) = default;
};

// The speaker mark of a tab that shows one: a glyph-sized square just left of the close glyph,
// or in the glyph's place on a tab without a close button. Its box is in the tab buffer.
inline Box SoundMarkBox(std::int32_t tabStyle, std::int32_t left, std::int32_t width,
                        bool hideButton) {
  const StyleMetrics& m = Metrics(tabStyle);
  const int glyphX = left + width - m.closeInset;
  return {hideButton ? glyphX : glyphX - kGlyphSize - 3, m.closeTop, kGlyphSize, kGlyphSize};
}

// A caption box shortened so that it ends before the speaker mark.
inline Box CaptionBesideMark(Box caption, const Box& mark) {
  caption.w = std::min(caption.w, mark.x - 2 - caption.x);
  return caption;
}

// Whether (u, y) lies on the close button of a tab, u measured from the tab area's start.
inline bool InCloseButton(std::int32_t tabStyle, const HitTab& tab, std::int64_t u,
                          std::int64_t y) {
  const StyleMetrics& m = Metrics(tabStyle);
  const std::int64_t right = std::int64_t{tab.left} + tab.width;
  return u >= right - m.closeInset && u <= right - m.closeInset + kGlyphSize &&
         y >= m.closeTop && y <= m.closeTop + kGlyphSize;
}

// The tab (or hit code) under the point (X, Y) of the strip's client area; X and Y are brought
// to whole numbers first, halves to even.
inline Hit HitTest(std::int32_t tabStyle, double X, double Y, std::int32_t clientWidth,
                   std::int32_t leftSize, std::int32_t rightSize, std::span<const HitTab> tabs) {
  const double fx = RoundHalfEven(X);
  const double fy = RoundHalfEven(Y);
  if (!(fx >= 0 && fx <= clientWidth && fy >= 0 && fy <= kHitBottom)) return {kHitOutside};
  const auto x = static_cast<std::int64_t>(fx);
  const auto y = static_cast<std::int64_t>(fy);
  if (x > std::int64_t{clientWidth} - rightSize || x < leftSize) return {kHitMargin};
  if (tabs.empty()) return {kHitNoTab};
  const std::int64_t u = x - leftSize;
  // The first tab's slanted left end in style 0; simply inside the first tab in style 1.
  if (u <= kTabEdge) return {0};
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    const HitTab& t = tabs[i];
    if (u >= t.left && u <= std::int64_t{t.left} + t.width) {
      const bool close = !t.hideButton && InCloseButton(tabStyle, t, u, y);
      bool sound = false;
      if (!close && t.soundMark) {
        const Box mark = SoundMarkBox(tabStyle, t.left, t.width, t.hideButton);
        sound = u >= mark.x && u <= mark.x + mark.w && y >= mark.y && y <= mark.y + mark.h;
      }
      return {static_cast<std::int32_t>(i), close, sound};
    }
  }
  return {kHitNoTab};
}

// Where one tab's parts are painted in the tab buffer, and from where in the skin.
struct TabPaint {
  Box piece;          // destination of the tab piece
  int pieceSrcX = 0;  // its source x in the skin (y 0, pieceWidth x pieceHeight)
  Box caption;        // the caption's box
  bool glyph = false; // whether a close glyph is drawn
  Box glyphBox;       // its destination
  int glyphSrcX = 0;  // its source x in the skin (y 0, 12 x 12)
  friend bool operator==(const TabPaint&, const TabPaint&) = default;
};

// The painting of one tab: `selected` for the selected tab (drawn last), `hovered` for the tab
// at HoverIndex, closeState the strip's CloseState (0 normal, 1 over, 2 pressed).
inline TabPaint PaintTab(std::int32_t tabStyle, std::int32_t left, std::int32_t width,
                         bool hideButton, bool selected, bool hovered, std::int32_t closeState) {
  const StyleMetrics& m = Metrics(tabStyle);
  TabPaint p;
  // The selected tab keeps its own piece under the mouse; only its glyph reacts.
  p.pieceSrcX = m.pieceX[selected ? 2 : (hovered ? 1 : 0)];
  int glyphSrc = m.glyphX[selected ? 0 : 1];
  if (hovered && closeState == 1) glyphSrc = m.glyphX[2];
  if (hovered && closeState == 2) glyphSrc = m.glyphX[3];
  p.glyph = !hideButton;
  p.glyphSrcX = glyphSrc;
  p.glyphBox = {left + width - m.closeInset, m.closeTop, kGlyphSize, kGlyphSize};
  if (tabStyle == 0) {
    p.piece = {left - kTabEdge, 0, width + kTabEdge, m.pieceHeight};
    const int inset = selected ? 26 : (hideButton ? 14 : 38);
    p.caption = {left, 0, width - inset, m.pieceHeight};
  } else {
    p.piece = {left, 0, width, m.pieceHeight};
    p.caption = {left + 12, 0, width - (hideButton ? 8 : 28), m.pieceHeight};
  }
  return p;
}

}  // namespace tablayout
