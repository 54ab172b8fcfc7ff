#pragma once

// The arithmetic of the main window's layout, run on every size change: where each control
// goes for a window W twips wide with a client area of SW x SH twips and a tab strip of the
// given height. Widths and heights that would come out negative are 0.
namespace mainlayout {

struct Box {
  int left = 0, top = 0, width = 0, height = 0;  // twips
  friend bool operator==(const Box&, const Box&) = default;
};

// What the title band's texts need, twips: at a text scale the caption may end after the
// designed start of the tab strip and the portal buttons grow to hold their captions. The
// defaults are the design.
struct TextRoom {
  int captionRight = 0;  // the title caption's right end
  int OtherUserBtnWidth = 1485;
  int GameSpaceBtnWidth = 1215;
};

struct Layout {
  Box WebBForm;                         // its height is the frame's own
  int shapeRight = 0, shapeBottom = 0;  // pixels: the rounded shape's lower-right corner
  int web_close = 0, web_minmax = 0, web_min = 0, web_tool = 0;  // left edges
  Box WebuTab;
  int GameSpaceBtn = 0, OtherUserBtn = 0;  // left edges
  int GameSpaceBtnWidth = 0, OtherUserBtnWidth = 0;
  Box Picture1;
  Box pCnt;
  Box WebBrowser1;  // inside Picture1: 30 twips over every edge
  friend bool operator==(const Layout&, const Layout&) = default;
};

// The designed client size and the strip's height, twips.
inline constexpr int kDesignWidth = 15540;
inline constexpr int kDesignHeight = 9585;
inline constexpr int kTabHeight = 480;

// The tab strip starts after the caption (and a gap) and ends 250 twips under OtherUserBtn; the
// portal buttons grow to the left, keeping GameSpaceBtn's right end and the gap between them.
Layout Compute(int W, int SW, int SH, int tabHeight = kTabHeight, const TextRoom& room = {});

}  // namespace mainlayout
