// Fonts and text on memory surfaces: measuring, placing, cutting with an ellipsis.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "gdi_test_dc.h"
#include "platform/Gdi.h"

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

}  // namespace
