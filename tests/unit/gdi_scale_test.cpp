// Drawing on a desktop at a window scale of 2: device contexts keep speaking logical pixels
// while their bitmaps hold twice as many pixels each way, pictures drawn for 2x are picked, and
// skins drawn only for 1x keep their see-through key exact when they are made larger. Each case
// opens the display at GDK_SCALE=2 (cases run in processes of their own).

#include <gdk/gdk.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "gdi_test_dc.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Image.h"

namespace {

using namespace platform;
using MemDc = gditest::TestDc;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

class GdiScale2 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
    ::setenv("GDK_SCALE", "2", 1);
    gdk_set_allowed_backends("x11");
    GdkDisplay* display = gdk_display_open(std::getenv("DISPLAY"));
    ASSERT_NE(display, nullptr);
    gdk_display_manager_set_default_display(gdk_display_manager_get(), display);
  }
};

TEST_F(GdiScale2, DrawingStaysInLogicalPixels) {
  MemDc dc(6, 4, kWhite);
  SIZE size;
  ASSERT_TRUE(GetBitmapSize(GetCurrentObject(dc.dc(), OBJ_BITMAP), &size));
  EXPECT_EQ(size, (SIZE{6, 4}));
  dc.Fill({1, 1, 3, 3}, kRed);
  SetPixel(dc.dc(), 5, 0, kBlue);
  MemDc copy(6, 4, kWhite);
  ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, 6, 4, dc.dc(), 0, 0, SRCCOPY));
  for (const MemDc* d : {&dc, &copy}) {
    EXPECT_EQ(d->Row(0), (std::vector<COLORREF>{kWhite, kWhite, kWhite, kWhite, kWhite, kBlue}));
    EXPECT_EQ(d->Row(1), (std::vector<COLORREF>{kWhite, kRed, kRed, kWhite, kWhite, kWhite}));
    EXPECT_EQ(d->Row(3), (std::vector<COLORREF>(6, kWhite)));
  }
  // Text is drawn at the bitmap's full resolution, in the same logical place as at 1x.
  MemDc text(80, 20, kWhite);
  SetBkMode(text.dc(), TRANSPARENT);
  RECT r{0, 0, 80, 20};
  DrawText(text.dc(), "Talmar", -1, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  const auto ink = text.Ink();
  ASSERT_TRUE(ink.has_value());
  EXPECT_LT(ink->left, 3);
  EXPECT_GT(ink->right, 30);
  EXPECT_LT(ink->right, 70);
}

TEST_F(GdiScale2, PicturesDrawnFor2xArePicked) {
  const Image background = LoadImageResource("PNG", 101);
  ASSERT_FALSE(background.IsNull());
  EXPECT_EQ(background.Scale(), 2);
  EXPECT_EQ(background.Width(), 1237);
  EXPECT_EQ(background.Height(), 696);
  // Pictures with no 2x drawing come as drawn.
  EXPECT_EQ(LoadImageResource("BITMAP", 106).Scale(), 1);
}

TEST_F(GdiScale2, OneXSkinsKeepTheirKeyExactWhenMadeLarger) {
  const HBITMAP skin = LoadBitmapResource(106);
  ASSERT_NE(skin, 0u);
  SIZE size;
  ASSERT_TRUE(GetBitmapSize(skin, &size));
  const HDC skinDc = CreateCompatibleDC(0);
  const HGDIOBJ old = SelectObject(skinDc, skin);
  // Through a smoothing stretch into a work bitmap and out with the key, as the tab strip
  // draws: no pixel may carry a tint of the key.
  MemDc work(size.cx, size.cy);
  SetStretchBltMode(work.dc(), HALFTONE);
  ASSERT_TRUE(
      StretchBlt(work.dc(), 0, 0, size.cx, size.cy, skinDc, 0, 0, size.cx, size.cy, SRCCOPY));
  MemDc out(size.cx, size.cy, kWhite);
  ASSERT_TRUE(TransparentBlt(out.dc(), 0, 0, size.cx, size.cy, work.dc(), 0, 0, size.cx, size.cy,
                             kMagenta));
  int tinted = 0;
  for (COLORREF c : out.All()) {
    if (GetRValue(c) > 2 * GetGValue(c) + 40 && GetBValue(c) > 2 * GetGValue(c) + 40) ++tinted;
  }
  EXPECT_EQ(tinted, 0);
  SelectObject(skinDc, old);
  DeleteDC(skinDc);
  DeleteObject(skin);
}

}  // namespace
