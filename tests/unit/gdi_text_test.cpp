// Fonts and text on memory surfaces: measuring, placing, cutting with an ellipsis.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "gdi_test_dc.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/WindowDc.h"

namespace {

using namespace platform;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Text tests draw black on white with a transparent background.
class TextDc : public gditest::TestDc {
 public:
  TextDc(int w, int h) : TestDc(w, h) {
    SetBkMode(dc(), TRANSPARENT);
    SetTextColor(dc(), kBlack);
  }
  void Clear() const { Fill({0, 0, 1000, 1000}, kWhite); }
  std::vector<COLORREF> Pixels() const { return All(); }
};

SIZE Extent(HDC dc, std::string_view text) {
  SIZE s;
  EXPECT_TRUE(GetTextExtentPoint32(dc, text, &s));
  return s;
}

TEST(GdiFont, DefaultGuiFontIsADialogSizedUiFont) {
  LOGFONT lf;
  ASSERT_TRUE(GetObject(GetStockObject(DEFAULT_GUI_FONT), &lf));
  EXPECT_GE(-lf.lfHeight, 11);
  EXPECT_LE(-lf.lfHeight, 13);
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
  EXPECT_FALSE(lf.lfFaceName.empty());
}

TEST(GdiFont, TheTabFontsDifferInWeight) {
  LOGFONT lf;
  ASSERT_TRUE(GetObject(GetStockObject(DEFAULT_GUI_FONT), &lf));
  lf.lfWeight = FW_THIN;
  HFONT thin = CreateFontIndirect(lf);
  lf.lfWeight = FW_BOLD;
  HFONT bold = CreateFontIndirect(lf);
  LOGFONT back;
  ASSERT_TRUE(GetObject(bold, &back));
  EXPECT_EQ(back.lfWeight, FW_BOLD);
  EXPECT_EQ(back.lfHeight, lf.lfHeight);

  TextDc t(10, 10);
  SelectObject(t.dc(), thin);
  const SIZE thinSize = Extent(t.dc(), "Welcome page");
  SelectObject(t.dc(), bold);
  const SIZE boldSize = Extent(t.dc(), "Welcome page");
  EXPECT_GT(boldSize.cx, thinSize.cx);
  EXPECT_EQ(boldSize.cy, thinSize.cy);
  SelectObject(t.dc(), GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_TRUE(DeleteObject(thin));
  EXPECT_TRUE(DeleteObject(bold));
}

TEST(GdiFont, CellHeightAndCharacterHeightAreBothPixels) {
  TextDc t(10, 10);
  LOGFONT lf;
  lf.lfHeight = -20;
  HFONT em = CreateFontIndirect(lf);
  lf.lfHeight = 20;
  HFONT cell = CreateFontIndirect(lf);
  SelectObject(t.dc(), cell);
  const int cellHeight = Extent(t.dc(), "Hg").cy;
  SelectObject(t.dc(), em);
  const int emHeight = Extent(t.dc(), "Hg").cy;
  EXPECT_NEAR(cellHeight, 20, 1);
  EXPECT_GT(emHeight, cellHeight) << "an em of 20 has a taller cell than 20";
  SelectObject(t.dc(), GetStockObject(DEFAULT_GUI_FONT));
  DeleteObject(em);
  DeleteObject(cell);
}

TEST(GdiText, CentredCaptionIsCentredInItsBox) {
  TextDc t(140, 25);
  RECT box{10, 0, 130, 25};
  const unsigned flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  ASSERT_GT(DrawText(t.dc(), "Hello", -1, &box, flags), 0);
  const auto ink = t.Ink();
  ASSERT_TRUE(ink);
  EXPECT_NEAR((ink->left + ink->right) / 2.0, (box.left + box.right) / 2.0, 1.0);
  EXPECT_NEAR((ink->top + ink->bottom) / 2.0, (box.top + box.bottom) / 2.0, 1.0);
}

TEST(GdiText, EndEllipsisKeepsALongCaptionInsideItsBox) {
  TextDc t(100, 25);
  const std::string caption = "A very long page title that cannot fit in a tab";
  RECT box{5, 3, 85, 3 + 18};
  ASSERT_GT(DrawText(t.dc(), caption, -1, &box, DT_END_ELLIPSIS), 0);
  const auto ink = t.Ink();
  ASSERT_TRUE(ink);
  EXPECT_GE(ink->left, box.left);
  EXPECT_LE(ink->right, box.right);
  EXPECT_GE(ink->top, box.top);
  EXPECT_LE(ink->bottom, box.bottom);
  EXPECT_GT(ink->right, box.right - 15) << "the box is used";

  // The picture is some prefix of the caption followed by "..." and nothing else.
  const auto drawn = t.Pixels();
  bool matched = false;
  for (std::size_t keep = 1; keep < caption.size() && !matched; ++keep) {
    t.Clear();
    TextOut(t.dc(), box.left, box.top, caption.substr(0, keep) + "...");
    matched = t.Pixels() == drawn;
  }
  EXPECT_TRUE(matched);
}

TEST(GdiText, EllipsisIsOnlyAddedWhenNeeded) {
  TextDc a(100, 20), b(100, 20);
  RECT box{0, 0, 100, 20};
  DrawText(a.dc(), "Short", -1, &box, DT_END_ELLIPSIS);
  TextOut(b.dc(), 0, 0, "Short");
  EXPECT_EQ(a.Pixels(), b.Pixels());
}

TEST(GdiText, MixedCjkAndLatinIsMeasuredAndDrawnInTheBox) {
  TextDc t(160, 25);
  const std::string latin = "Tab ";
  const std::string mixed = "Tab \xE6\xA0\x87\xE7\xAD\xBE\xE9\xA1\xB5";  // "Tab 标签页"
  const SIZE l = Extent(t.dc(), latin);
  const SIZE m = Extent(t.dc(), mixed);
  EXPECT_GE(m.cx - l.cx, 3 * 9) << "three full-width characters";
  RECT box{0, 0, 160, 25};
  DrawText(t.dc(), mixed, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  const auto ink = t.Ink();
  ASSERT_TRUE(ink);
  EXPECT_GE(ink->left, 0);
  EXPECT_LE(ink->right, 160);
  EXPECT_NEAR(ink->right - ink->left, m.cx, 3);
}

TEST(GdiText, CountLimitsTheTextOnACharacterBoundary) {
  TextDc t(10, 10);
  RECT all{0, 0, 0, 0}, part{0, 0, 0, 0}, one{0, 0, 0, 0};
  const std::string text = "\xE4\xB8\xAD\xE6\x96\x87";  // two CJK characters
  DrawText(t.dc(), text, -1, &all, DT_CALCRECT | DT_SINGLELINE);
  DrawText(t.dc(), text, 4, &part, DT_CALCRECT | DT_SINGLELINE);
  DrawText(t.dc(), text, 3, &one, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(part.right, one.right) << "a partial character is left out";
  EXPECT_GT(all.right, one.right);
}

TEST(GdiText, PrefixMarkersAreNotShownUnlessAskedFor) {
  TextDc t(10, 10);
  auto width = [&](std::string_view s, unsigned flags) {
    RECT r{0, 0, 0, 0};
    DrawText(t.dc(), s, -1, &r, DT_CALCRECT | DT_SINGLELINE | flags);
    return r.right;
  };
  EXPECT_EQ(width("&File", 0), width("File", DT_NOPREFIX));
  EXPECT_EQ(width("R&&D", 0), width("R&D", DT_NOPREFIX));
  EXPECT_GT(width("&File", DT_NOPREFIX), width("File", DT_NOPREFIX));
}

TEST(GdiText, OpaqueBackgroundFillsTheTextCell) {
  TextDc t(60, 20);
  SetBkMode(t.dc(), OPAQUE);
  SetBkColor(t.dc(), RGB(0, 200, 0));
  TextOut(t.dc(), 0, 0, "ii");
  EXPECT_EQ(GetPixel(t.dc(), 0, 0), RGB(0, 200, 0));
  t.Clear();
  SetBkMode(t.dc(), TRANSPARENT);
  TextOut(t.dc(), 0, 0, "ii");
  EXPECT_EQ(GetPixel(t.dc(), 0, 0), kWhite);
}

TEST(GdiText, SongFaceBoldDrawsChineseCaptions) {
  LOGFONT lf;
  lf.lfHeight = -12;
  lf.lfWeight = FW_BOLD;
  lf.lfFaceName = "\xE5\xAE\x8B\xE4\xBD\x93";  // 宋体
  HFONT song = CreateFontIndirect(lf);
  ASSERT_NE(song, 0u);
  LOGFONT back;
  ASSERT_TRUE(GetObject(song, &back));
  EXPECT_EQ(back.lfFaceName, lf.lfFaceName);
  TextDc t(120, 20);
  SelectObject(t.dc(), song);
  SetTextColor(t.dc(), RGB(255, 0, 0));
  ASSERT_TRUE(TextOut(t.dc(), 2, 2, "\xE6\xB8\xB8\xE6\x88\x8F Game"));  // "游戏 Game"
  const auto ink = t.Ink();
  ASSERT_TRUE(ink);
  EXPECT_LE(ink->bottom - ink->top, 16);
  SelectObject(t.dc(), GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_TRUE(DeleteObject(song));
}

TEST(GdiText, MeasuringWorksWithoutASurface) {
  HDC screen = GetDC(0);
  SIZE s;
  ASSERT_TRUE(GetTextExtentPoint32(screen, "Tab", &s));
  EXPECT_GT(s.cx, 0);
  RECT r{0, 0, 50, 20};
  EXPECT_GT(DrawText(screen, "Tab", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
  EXPECT_EQ(ReleaseDC(0, screen), 1);
}

// The cut DrawText makes for DT_END_ELLIPSIS is the longest prefix that fits with the ellipsis,
// as the plain search over every character boundary finds it with the font's own widths: for
// Latin, CJK, mixed and shaped captions, in two fonts, at every box width from below the
// ellipsis alone to above the whole caption, and again when the same captions are drawn anew.
TEST(GdiText, EllipsisCutMatchesThePlainSearchForEveryWidth) {
  const std::vector<std::string> captions = {
      "Game Center 12",
      "A very long page title that cannot fit",
      "AVAWAY To Ty Te. Yo.",  // kerning pairs
      "iiiiiiiiiiiiiiiiiiii",
      "WWWWWWWWWW",
      "word word  word   end ",
      "\xE5\xA4\xA9\xE5\x9F\x9F 3 \xE5\x8C\xBA - \xE6\xB8\xB8\xE6\x88\x8F\xE9\xA1\xB5\xE9\x9D\xA2",
      "Talmar2 server 4 \xE6\xBC\x94\xE7\xA4\xBA",
      "\xE6\xB8\xB8\xE6\x88\x8F\xE4\xB8\xAD\xE5\xBF\x83 48",
      "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97",
      "cafe\xCC\x81 na\xC3\xAFve re\xCC\x81sume\xCC\x81",  // combining accents
      "office \xEF\xAC\x81nal affine fluff",          // ligature characters and ligatures
      "x\xE2\x80\x8By\xE2\x80\x8Bz tab\ttab",         // zero-width space, a tab
      "\xF0\x9F\x8E\xAE Games \xF0\x9F\x8F\x86 Top",   // emoji
      "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
      "...",
      "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D abc",
      "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85 12",
      "a",
      "",
  };
  LOGFONT lf;
  ASSERT_TRUE(GetObject(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), &lf));
  lf.lfWeight = FW_BOLD;
  const HFONT bold = CreateFontIndirect(lf);
  ASSERT_NE(bold, 0u);
  for (const HGDIOBJ font : {GetStockObject(DEFAULT_GUI_FONT), static_cast<HGDIOBJ>(bold)}) {
    for (int pass = 0; pass < 2; ++pass) {
      for (const std::string& caption : captions) {
        TextDc probe(1, 1);
        SelectObject(probe.dc(), font);
        auto width = [&](std::string_view s) { return Extent(probe.dc(), s).cx; };
        const int full = width(caption);
        const int from = std::min(width(gdi::kEllipsis), full) - 2;
        for (int w = from; w <= full + 1; ++w) {
          const std::size_t keep = gdi::EllipsisCut(caption, w, width);
          const std::string expected =
              keep == caption.size() ? caption
                                     : caption.substr(0, keep) + std::string(gdi::kEllipsis);
          const int cw = std::max(w, 1) + 4, ch = 20;
          TextDc cut(cw, ch), plain(cw, ch);
          SelectObject(cut.dc(), font);
          SelectObject(plain.dc(), font);
          RECT a{2, 1, 2 + w, ch - 1}, b = a;
          DrawText(cut.dc(), caption, -1, &a, DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE);
          DrawText(plain.dc(), expected, -1, &b, DT_NOPREFIX | DT_SINGLELINE);
          ASSERT_EQ(cut.Pixels(), plain.Pixels())
              << "\"" << caption << "\" in " << w << " px: expected \"" << expected << "\"";
          SelectObject(cut.dc(), GetStockObject(DEFAULT_GUI_FONT));
          SelectObject(plain.dc(), GetStockObject(DEFAULT_GUI_FONT));
        }
        SelectObject(probe.dc(), GetStockObject(DEFAULT_GUI_FONT));
      }
    }
  }
  EXPECT_TRUE(DeleteObject(bold));
}

// Each line is cut on its own, also with the marked character's underline moving with its line.
TEST(GdiText, MultiLineEllipsisCutsEachLineLikeASingleLine) {
  const std::string first = "First line that is long", second = "\xE7\xAC\xAC\xE4\xBA\x8C line";
  for (int w = 20; w <= 140; w += 7) {
    TextDc probe(1, 1);
    auto width = [&](std::string_view s) { return Extent(probe.dc(), s).cx; };
    auto cut = [&](const std::string& line) {
      const std::size_t keep = gdi::EllipsisCut(line, w, width);
      return keep == line.size() ? line : line.substr(0, keep) + std::string(gdi::kEllipsis);
    };
    TextDc a(150, 40), b(150, 40);
    RECT ra{0, 0, w, 40}, rb = ra;
    DrawText(a.dc(), first + "\n" + second, -1, &ra, DT_END_ELLIPSIS | DT_NOPREFIX);
    DrawText(b.dc(), cut(first) + "\n" + cut(second), -1, &rb, DT_NOPREFIX);
    EXPECT_EQ(a.Pixels(), b.Pixels()) << w;
  }
}

}  // namespace
