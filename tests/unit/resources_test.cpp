// The embedded resources: present, of the sizes the windows lay themselves out by, and with the
// transparency they are drawn with.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>

#include "common/SharedRoutines.h"
#include "platform/gdi/Image.h"
#include "platform/system/Resources.h"

namespace {

struct Size {
  int id;
  int width;
  int height;
};

platform::Image Bitmap(int id) {
  auto data = platform::FindResourceData("BITMAP", id);
  if (!data) return {};
  return platform::Image::FromPng(*data);
}

TEST(Resources, BitmapsHaveTheirPieceLayoutSizes) {
  for (const Size& s : {Size{101, 72, 18}, Size{102, 150, 18}, Size{103, 129, 18},
                        Size{104, 72, 18}, Size{105, 29, 29}, Size{106, 415, 25},
                        Size{107, 421, 28}, Size{108, 94, 85}}) {
    const platform::Image img = Bitmap(s.id);
    ASSERT_FALSE(img.IsNull()) << s.id;
    EXPECT_EQ(img.Width(), s.width) << s.id;
    EXPECT_EQ(img.Height(), s.height) << s.id;
    // 24-bit bitmaps: every pixel opaque.
    EXPECT_EQ(img.PixelAt(0, 0) >> 24, 0xFFu) << s.id;
  }
}

TEST(Resources, TabSkinsUseExactMagentaAroundTheirShapes) {
  // The hover and pressed close pieces are discs in 12 x 12 squares: their corners lie outside
  // the glyph and must be the transparent colour exactly.
  const platform::Image skin0 = Bitmap(106);
  const platform::Image skin1 = Bitmap(107);
  for (int x : {391, 403}) EXPECT_EQ(skin0.PixelAt(x, 0), 0xFFFF00FFu) << x;
  for (int x : {397, 409}) EXPECT_EQ(skin1.PixelAt(x, 0), 0xFFFF00FFu) << x;
  // Below the close pieces (rows 12 and on) nothing is drawn.
  EXPECT_EQ(skin0.PixelAt(372, 20), 0xFFFF00FFu);
  EXPECT_EQ(skin1.PixelAt(380, 27), 0xFFFF00FFu);
  // No near-magenta fringe: anything that is almost magenta is exactly magenta.
  for (const platform::Image* img : {&skin0, &skin1}) {
    for (int y = 0; y < img->Height(); ++y) {
      for (int x = 0; x < img->Width(); ++x) {
        const std::uint32_t p = img->PixelAt(x, y) & 0xFFFFFF;
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        const bool nearMagenta = r > 235 && g < 20 && b > 235;
        if (nearMagenta) {
          ASSERT_EQ(p, 0xFF00FFu) << x << "," << y;
        }
      }
    }
  }
}

TEST(Resources, PngImagesWithSoftAlpha) {
  const platform::Image background = LoadPngResource(101);
  ASSERT_FALSE(background.IsNull());
  EXPECT_EQ(background.Width(), 1237);
  EXPECT_EQ(background.Height(), 696);
  const platform::Image splash = LoadPngResource(102);
  ASSERT_FALSE(splash.IsNull());
  EXPECT_EQ(splash.Width(), 356);
  EXPECT_EQ(splash.Height(), 122);

  // Transparent, partly transparent and opaque pixels all occur in the background.
  std::set<int> kinds;
  for (int y = 0; y < background.Height(); y += 3) {
    for (int x = 0; x < background.Width(); x += 3) {
      const std::uint32_t a = background.PixelAt(x, y) >> 24;
      kinds.insert(a == 0 ? 0 : a == 255 ? 2 : 1);
    }
  }
  EXPECT_EQ(kinds.size(), 3u);
  EXPECT_EQ(splash.PixelAt(0, 0) >> 24, 0u) << "the splash has transparent corners";
  // Both fade out before every edge: nothing is cut off by the picture's border.
  for (const platform::Image* img : {&background, &splash}) {
    const int w = img->Width(), h = img->Height();
    int worst = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if (std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y)) > 1) continue;
        const int a = static_cast<int>(img->PixelAt(x, y) >> 24);
        worst = std::max(worst, a);
        if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
          EXPECT_EQ(a, 0) << w << ": " << x << "," << y;
        }
      }
    }
    EXPECT_LT(worst, 8) << "alpha next to an edge of the " << w << " x " << h << " picture";
  }
  EXPECT_TRUE(LoadPngResource(999).IsNull());
}

TEST(Resources, IconFileHoldsEverySizeUpTo256) {
  auto ico = platform::FindResourceData("ICON", 101);
  ASSERT_TRUE(ico);
  ASSERT_GE(ico->size(), 6u + 6 * 16);
  const std::uint8_t* d = ico->data();
  EXPECT_EQ(d[0] | d[1] << 8, 0);  // reserved
  EXPECT_EQ(d[2] | d[3] << 8, 1);  // icon
  const int count = d[4] | d[5] << 8;
  std::set<int> sizes;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* e = d + 6 + 16 * i;
    sizes.insert(e[0] == 0 ? 256 : e[0]);
    const std::uint32_t bytes = e[8] | e[9] << 8 | e[10] << 16 | std::uint32_t(e[11]) << 24;
    const std::uint32_t offset = e[12] | e[13] << 8 | e[14] << 16 | std::uint32_t(e[15]) << 24;
    EXPECT_LE(std::uint64_t(offset) + bytes, ico->size());
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 64, 128, 256}));
}

TEST(Resources, MissingOnesAreReportedAsMissing) {
  EXPECT_FALSE(platform::FindResourceData("PNG", 103));
  EXPECT_FALSE(platform::FindResourceData("png", 101)) << "types are matched exactly";
  EXPECT_TRUE(platform::FindResourceData("UPDATE", 101));
}

}  // namespace
