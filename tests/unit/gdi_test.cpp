// Device contexts, bitmaps and block transfers on memory surfaces (no display needed).

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "gdi_test_dc.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Image.h"
#include "platform/system/Resources.h"
#include "platform/window/WindowDc.h"

namespace {

using namespace platform;

using MemDc = gditest::TestDc;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

TEST(GdiBlt, BitBltCopiesExactPixelsAndNothingElse) {
  MemDc src(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) SetPixel(src.dc(), x, y, RGB(x * 40, y * 40, 7));
  MemDc dst(5, 5, kBlue);
  ASSERT_TRUE(BitBlt(dst.dc(), 2, 1, 2, 3, src.dc(), 1, 0, SRCCOPY));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const bool inside = x >= 2 && x < 4 && y >= 1 && y < 4;
      const COLORREF want = inside ? RGB((x - 1) * 40, (y - 1) * 40, 7) : kBlue;
      EXPECT_EQ(GetPixel(dst.dc(), x, y), want) << x << "," << y;
    }
  }
}

TEST(GdiBlt, OverlappingCopyOnOneSurface) {
  MemDc dc(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) SetPixel(dc.dc(), x, y, RGB(x, y, 0));
  // Down and right by one: the copy must read every pixel before overwriting it.
  ASSERT_TRUE(BitBlt(dc.dc(), 1, 1, 3, 2, dc.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(dc.Row(1),
            (std::vector<COLORREF>{RGB(0, 1, 0), RGB(0, 0, 0), RGB(1, 0, 0), RGB(2, 0, 0)}));
  EXPECT_EQ(dc.Row(2),
            (std::vector<COLORREF>{RGB(0, 2, 0), RGB(0, 1, 0), RGB(1, 1, 0), RGB(2, 1, 0)}));
}

std::set<COLORREF> DistinctColours(const std::vector<COLORREF>& px) {
  return {px.begin(), px.end()};
}

TEST(GdiBlt, NearestStretchKeepsColoursHalftoneBlends) {
  MemDc src(2, 1);
  SetPixel(src.dc(), 0, 0, kBlack);
  SetPixel(src.dc(), 1, 0, kWhite);

  MemDc nearest(8, 1, kRed);
  SetStretchBltMode(nearest.dc(), COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(nearest.dc(), 0, 0, 8, 1, src.dc(), 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(nearest.Row(0), (std::vector<COLORREF>{kBlack, kBlack, kBlack, kBlack, kWhite, kWhite,
                                                   kWhite, kWhite}));

  MemDc smooth(8, 1, kRed);
  EXPECT_EQ(SetStretchBltMode(smooth.dc(), HALFTONE), BLACKONWHITE);
  ASSERT_TRUE(StretchBlt(smooth.dc(), 0, 0, 8, 1, src.dc(), 0, 0, 2, 1, SRCCOPY));
  const auto row = smooth.Row(0);
  EXPECT_EQ(row.front(), kBlack) << "edges are extended, not faded";
  EXPECT_EQ(row.back(), kWhite);
  int greys = 0;
  for (COLORREF c : row) {
    EXPECT_EQ(GetRValue(c), GetGValue(c));
    if (GetRValue(c) > 0 && GetRValue(c) < 255) ++greys;
  }
  EXPECT_GE(greys, 2);
}

TEST(GdiBlt, SmoothStretchOfAPieceDoesNotBleedItsNeighbours) {
  // A one-pixel gradient column next to a key-coloured piece, as in the tab skin: widening
  // the column must not pull in any magenta.
  MemDc skin(3, 4, kMagenta);
  for (int y = 0; y < 4; ++y) SetPixel(skin.dc(), 0, y, RGB(10 * y, 100, 200));
  MemDc strip(50, 4, kBlack);
  SetStretchBltMode(strip.dc(), HALFTONE);
  ASSERT_TRUE(StretchBlt(strip.dc(), 0, 0, 50, 4, skin.dc(), 0, 0, 1, 4, SRCCOPY));
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(DistinctColours(strip.Row(y)), std::set<COLORREF>{RGB(10 * y, 100, 200)}) << y;
  }
}

TEST(GdiBlt, NegativeExtentsMirror) {
  MemDc src(3, 2);
  const COLORREF cols[3] = {kRed, kGreen, kBlue};
  for (int x = 0; x < 3; ++x) {
    SetPixel(src.dc(), x, 0, cols[x]);
    SetPixel(src.dc(), x, 1, kBlack);
  }
  for (int mode : {COLORONCOLOR, HALFTONE}) {
    MemDc dst(5, 2, kWhite);
    SetStretchBltMode(dst.dc(), mode);
    // Width -3 from x = 3 covers 1..3, right to left.
    ASSERT_TRUE(StretchBlt(dst.dc(), 3, 0, -3, 2, src.dc(), 0, 0, 3, 2, SRCCOPY));
    EXPECT_EQ(dst.Row(0), (std::vector<COLORREF>{kWhite, kBlue, kGreen, kRed, kWhite})) << mode;
    // Upside down as well: source height negative.
    ASSERT_TRUE(StretchBlt(dst.dc(), 1, 0, 3, 2, src.dc(), 0, 1, 3, -2, SRCCOPY));
    EXPECT_EQ(dst.Row(0), (std::vector<COLORREF>{kWhite, kBlack, kBlack, kBlack, kWhite}));
    EXPECT_EQ(dst.Row(1), (std::vector<COLORREF>{kWhite, kRed, kGreen, kBlue, kWhite}));
  }
}

TEST(GdiBlt, StretchLeavesPixelsSampledOffTheSourceAlone) {
  MemDc src(2, 1, kRed);
  MemDc dst(4, 1, kBlue);
  SetStretchBltMode(dst.dc(), COLORONCOLOR);
  // Source columns 1 and 2; only column 1 exists.
  ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 1, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(dst.Row(0), (std::vector<COLORREF>{kRed, kRed, kBlue, kBlue}));
}

TEST(GdiBlt, TransparentBltSkipsExactlyTheKey) {
  MemDc src(3, 1);
  SetPixel(src.dc(), 0, 0, kMagenta);
  SetPixel(src.dc(), 1, 0, RGB(0xFE, 0x00, 0xFF));  // near the key: copied
  SetPixel(src.dc(), 2, 0, kGreen);
  MemDc dst(3, 1, kBlue);
  ASSERT_TRUE(TransparentBlt(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, 3, 1, kMagenta));
  EXPECT_EQ(dst.Row(0), (std::vector<COLORREF>{kBlue, RGB(0xFE, 0x00, 0xFF), kGreen}));
}

TEST(GdiBlt, TransparentBltStretchesAndRefusesNegativeSizes) {
  MemDc src(2, 1);
  SetPixel(src.dc(), 0, 0, kMagenta);
  SetPixel(src.dc(), 1, 0, kRed);
  MemDc dst(4, 1, kBlue);
  ASSERT_TRUE(TransparentBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, 2, 1, kMagenta));
  EXPECT_EQ(dst.Row(0), (std::vector<COLORREF>{kBlue, kBlue, kRed, kRed}));
  EXPECT_FALSE(TransparentBlt(dst.dc(), 3, 0, -4, 1, src.dc(), 0, 0, 2, 1, kMagenta));
}

TEST(GdiBlt, AlphaBlendComposesAnImageWithTransparency) {
  auto png = FindResourceData("PNG", 102);  // the splash: transparent corners
  ASSERT_TRUE(png);
  const Image image = Image::FromPng(*png);
  HBITMAP bmp = CreateBitmapFromImage(image);
  ASSERT_NE(bmp, 0u);
  HDC src = CreateCompatibleDC(0);
  SelectObject(src, bmp);
  MemDc dst(image.Width(), image.Height(), kRed);
  ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, image.Width(), image.Height(), src, 0, 0, image.Width(),
                         image.Height()));
  EXPECT_EQ(GetPixel(dst.dc(), 0, 0), kRed);
  int opaque = 0;
  for (int y = 0; y < image.Height() && opaque < 20; y += 7) {
    for (int x = 0; x < image.Width() && opaque < 20; x += 7) {
      const std::uint32_t p = image.PixelAt(x, y);
      if ((p >> 24) != 0xFF) continue;
      ++opaque;
      EXPECT_EQ(GetPixel(dst.dc(), x, y), RGB(p >> 16, p >> 8, p)) << x << "," << y;
    }
  }
  EXPECT_GT(opaque, 0);
  DeleteDC(src);
  DeleteObject(bmp);
}

TEST(GdiFocus, DrawingTwiceRestoresThePixels) {
  MemDc dc(12, 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) SetPixel(dc.dc(), x, y, RGB(x * 20, y * 25, 90));
  const auto before = dc.All();
  const RECT r{3, 3, 12 - 3, 9 - 3};
  ASSERT_TRUE(DrawFocusRect(dc.dc(), &r));
  const auto once = dc.All();
  int changed = 0;
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 12; ++x) {
      const bool onOutline =
          (x == 3 || x == 8 || y == 3 || y == 5) && x >= 3 && x <= 8 && y >= 3 && y <= 5;
      const std::size_t i = static_cast<std::size_t>(y) * 12 + x;
      if (once[i] != before[i]) {
        ++changed;
        EXPECT_TRUE(onOutline) << x << "," << y;
        EXPECT_EQ(once[i], before[i] ^ 0xFFFFFFu) << "inverted";
      }
    }
  }
  EXPECT_GE(changed, 6) << "a dotted outline, every other pixel";
  ASSERT_TRUE(DrawFocusRect(dc.dc(), &r));
  EXPECT_EQ(dc.All(), before);
}

TEST(GdiFill, FillRectClipsToTheSurface) {
  MemDc dc(3, 2, kWhite);
  HBRUSH b = CreateSolidBrush(kGreen);
  const RECT r{-5, 1, 2, 40};
  EXPECT_NE(FillRect(dc.dc(), &r, b), 0);
  EXPECT_EQ(dc.Row(0), (std::vector<COLORREF>{kWhite, kWhite, kWhite}));
  EXPECT_EQ(dc.Row(1), (std::vector<COLORREF>{kGreen, kGreen, kWhite}));
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_EQ(FillRect(dc.dc(), &r, b), 0) << "deleted brush";
}

TEST(GdiObjects, FreshMemoryDcDrawsNothing) {
  HDC dc = CreateCompatibleDC(0);
  ASSERT_NE(dc, 0u);
  MemDc src(2, 2, kRed);
  EXPECT_TRUE(BitBlt(dc, 0, 0, 2, 2, src.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  SIZE size;
  ASSERT_TRUE(GetBitmapSize(GetCurrentObject(dc, OBJ_BITMAP), &size));
  EXPECT_EQ(size, (SIZE{1, 1}));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
}

TEST(GdiObjects, BitmapSizesBeyondTheBudgetFail) {
  EXPECT_EQ(CreateCompatibleBitmap(0, 100000, 100000), 0u);
  EXPECT_EQ(CreateCompatibleBitmap(0, 32767, 32767), 0u);
  EXPECT_EQ(CreateCompatibleBitmap(0, -1, 10), 0u);
  // Zero gives the shared 1 x 1 bitmap, which stays valid when deleted.
  HBITMAP empty = CreateCompatibleBitmap(0, 0, 25);
  ASSERT_NE(empty, 0u);
  EXPECT_TRUE(DeleteObject(empty));
  SIZE size;
  EXPECT_TRUE(GetBitmapSize(empty, &size));
  HBITMAP fine = CreateCompatibleBitmap(0, 2000, 32);
  ASSERT_NE(fine, 0u);
  EXPECT_TRUE(GetBitmapSize(fine, &size));
  EXPECT_EQ(size, (SIZE{2000, 32}));
  EXPECT_TRUE(DeleteObject(fine));
}

TEST(GdiObjects, SelectedBitmapCannotBeDeletedOrSharedUntilItsDcGoes) {
  HDC screen = GetDC(0);
  ASSERT_NE(screen, 0u);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 10, 10);
  HDC a = CreateCompatibleDC(screen);
  HDC b = CreateCompatibleDC(screen);
  EXPECT_EQ(ReleaseDC(0, screen), 1);
  HGDIOBJ placeholder = SelectObject(a, bmp);
  EXPECT_NE(placeholder, 0u);
  EXPECT_EQ(SelectObject(b, bmp), 0u) << "one DC at a time";
  EXPECT_FALSE(DeleteObject(bmp));
  EXPECT_EQ(GetObjectType(bmp), OBJ_BITMAP);
  // The release sequence of a buffer: current bitmap, delete the DC, then the bitmap.
  EXPECT_EQ(GetCurrentObject(a, OBJ_BITMAP), bmp);
  EXPECT_TRUE(DeleteDC(a));
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_EQ(GetObjectType(bmp), 0);
  EXPECT_EQ(SelectObject(b, bmp), 0u);
  EXPECT_TRUE(DeleteDC(b));
}

TEST(GdiObjects, SelectedFontIsDeletedWhenItsLastDcLetsGo) {
  LOGFONT lf;
  ASSERT_TRUE(GetObject(GetStockObject(DEFAULT_GUI_FONT), &lf));
  lf.lfWeight = FW_BOLD;
  HFONT bold = CreateFontIndirect(lf);
  HDC a = CreateCompatibleDC(0);
  HDC b = CreateCompatibleDC(0);
  HFONT stock = SelectObject(a, bold);
  EXPECT_EQ(stock, GetStockObject(DEFAULT_GUI_FONT));
  SelectObject(b, bold);
  EXPECT_TRUE(DeleteObject(bold));
  EXPECT_EQ(GetObjectType(bold), 0) << "the handle is dead at once";
  HDC c = CreateCompatibleDC(0);
  EXPECT_EQ(SelectObject(c, bold), 0u);
  // Still in use where it was selected.
  SIZE size;
  EXPECT_TRUE(GetTextExtentPoint32(a, "Tab", &size));
  EXPECT_GT(size.cx, 0);
  EXPECT_EQ(GetCurrentObject(a, OBJ_FONT), bold);
  EXPECT_TRUE(DeleteDC(a));
  EXPECT_TRUE(DeleteDC(b));
  EXPECT_TRUE(DeleteDC(c));
  EXPECT_TRUE(DeleteObject(GetStockObject(DEFAULT_GUI_FONT))) << "stock objects stay";
  EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_GUI_FONT)), OBJ_FONT);
}

TEST(GdiObjects, BadHandlesFailQuietly) {
  EXPECT_EQ(CreateCompatibleDC(12345678), 0u);
  EXPECT_EQ(SelectObject(12345678, GetStockObject(DEFAULT_GUI_FONT)), 0u);
  EXPECT_FALSE(BitBlt(0, 0, 0, 1, 1, 0, 0, 0, SRCCOPY));
  EXPECT_EQ(SetTextColor(0, kRed), CLR_INVALID);
  EXPECT_EQ(SetBkMode(0, TRANSPARENT), 0);
  EXPECT_EQ(GetDC(87654321), 0u) << "not a window";
  HDC memory = CreateCompatibleDC(0);
  EXPECT_EQ(ReleaseDC(0, memory), 0) << "memory DCs are deleted, not released";
  EXPECT_TRUE(DeleteDC(memory));
}

TEST(GdiWindowDc, WindowDcsComeAndGoInPairs) {
  CreateWindowArgs args;
  args.messageOnly = true;
  const HWND hwnd = CreateWindowEx(args);
  ASSERT_NE(hwnd, 0u);
  const HDC dc = GetDC(hwnd);
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(GetObjectType(dc), OBJ_DC);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 4, 4);
  EXPECT_EQ(SelectObject(dc, bmp), 0u) << "a window DC draws on its window only";
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(ReleaseDC(hwnd + 1, dc), 0) << "released by its own window";
  EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
  EXPECT_EQ(ReleaseDC(hwnd, dc), 0);

  PAINTSTRUCT ps;
  ASSERT_NE(BeginPaint(hwnd, &ps), 0u);
  EXPECT_EQ(GetObjectType(ps.hdc), OBJ_DC);
  EXPECT_TRUE(EndPaint(hwnd, &ps));
  EXPECT_FALSE(EndPaint(hwnd, &ps));
  EXPECT_TRUE(DeleteObject(bmp));
  DestroyWindow(hwnd);
  EXPECT_EQ(GetDC(hwnd), 0u);
}

TEST(GdiObjects, LoadedSkinKeepsItsKeyColour) {
  HBITMAP skin = LoadBitmapResource(106);
  ASSERT_NE(skin, 0u);
  SIZE size;
  ASSERT_TRUE(GetBitmapSize(skin, &size));
  EXPECT_EQ(size, (SIZE{415, 25}));
  HDC dc = CreateCompatibleDC(0);
  SelectObject(dc, skin);
  EXPECT_EQ(GetPixel(dc, 367, 20), kMagenta);
  // Keyed out when drawn with it: a close glyph over a blue background leaves its corner blue.
  MemDc dst(12, 12, kBlue);
  ASSERT_TRUE(TransparentBlt(dst.dc(), 0, 0, 12, 12, dc, 391, 0, 12, 12, kMagenta));
  EXPECT_EQ(GetPixel(dst.dc(), 0, 0), kBlue);
  EXPECT_NE(GetPixel(dst.dc(), 6, 6), kBlue);
  DeleteDC(dc);
  EXPECT_TRUE(DeleteObject(skin));
  EXPECT_EQ(LoadBitmapResource(999), 0u);
}

}  // namespace
