// The skinned frame on a real window: Printform's borders on the host's surface, and dragging
// the window by the title bar with the real pointer.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "controls/BForm.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/WindowDc.h"

namespace {

using namespace wintest;
using controls::BForm;
using controls::PropertyBag;
using controls::UserControlArgs;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

class BFormGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PointerAway();
    host = TopLevel(rec, 300, 200, 300, 200, RGB(255, 255, 255), "bform test");
    ASSERT_NE(0u, host);
  }
  void TearDown() override {
    frame.reset();
    if (IsWindow(host)) DestroyWindow(host);
  }
  void MakeFrame(HWND drag) {
    PropertyBag design;
    design.WriteProperty("Caption", std::string("bform"));
    design.WriteProperty("frmHwnd", static_cast<std::int32_t>(drag));
    UserControlArgs a;
    a.parent = host;
    a.width = 300 * 15;
    a.height = 495;
    a.properties = &design;
    frame = std::make_unique<BForm>(a);
    frame->MouseDown = [this](short& b, short&, float&, float&) { downs.push_back(b); };
  }
  COLORREF SpritePixel(int x, int y) const {
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(dc, frame->Sprite()->Handle());
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
  }

  Recorder rec;
  HWND host = 0;
  std::unique_ptr<BForm> frame;
  std::vector<short> downs;
};

TEST_F(BFormGuiTest, PrintformPaintsFourPixelBordersAndCorners) {
  MakeFrame(host);
  ASSERT_TRUE(ShowAndWait(rec, host));
  frame->Printform(host);  // 4500 x 3000 twips
  HDC dc = GetDC(host);
  auto at = [&](int x, int y) { return GetPixel(dc, x, y); };
  const COLORREF white = RGB(255, 255, 255);
  for (int y = 20; y < 196; ++y) {
    for (int x = 0; x < 4; ++x) {
      ASSERT_EQ(SpritePixel(x, 53 + y % 20), at(x, y)) << "left " << x << "," << y;
      ASSERT_EQ(SpritePixel(90 + x, 53 + y % 20), at(296 + x, y)) << "right " << x << "," << y;
    }
    ASSERT_EQ(white, at(4, y));
    ASSERT_EQ(white, at(295, y));
  }
  for (int y = 196; y < 200; ++y) {
    for (int x = 0; x < 36; ++x) ASSERT_EQ(SpritePixel(x, y - 115), at(x, y)) << "corner " << x;
    for (int x = 36; x < 267; ++x) ASSERT_EQ(SpritePixel(20 + x % 20, y - 115), at(x, y)) << "bottom " << x;
    for (int x = 267; x < 300; ++x) ASSERT_EQ(SpritePixel(x - 206, y - 115), at(x, y)) << "corner " << x;
  }
  EXPECT_EQ(white, at(150, 195));
  EXPECT_EQ(white, at(0, 10));  // left to the title bar
  ReleaseDC(host, dc);
  // And on the screen.
  POINT r;
  ASSERT_TRUE(WaitFor([&] { return (r = RealOrigin("bform test")).x >= 0; }));
  EXPECT_TRUE(WaitForScreen(r.x, r.y, 300, 200, [&](const Image& shot) {
    return Near(shot.PixelAt(0, 100), Rgb(SpritePixel(0, 53)), 2) &&
           Near(shot.PixelAt(150, 199), Rgb(SpritePixel(30, 84)), 2) &&
           Near(shot.PixelAt(150, 100), 0xFFFFFF, 2);
  }));
}

TEST_F(BFormGuiTest, DraggingTheTitleBarMovesTheWindow) {
  MakeFrame(host);
  ASSERT_TRUE(ShowAndWait(rec, host));
  POINT before;
  ASSERT_TRUE(WaitFor([&] { return (before = RealOrigin("bform test")).x >= 0; }));
  Xdotool("mousemove " + std::to_string(before.x + 150) + " " + std::to_string(before.y + 15));
  Settle(100);
  Xdotool("mousedown 1");
  for (int step = 1; step <= 8; ++step) {
    Xdotool("mousemove " + std::to_string(before.x + 150 + step * 10) + " " +
            std::to_string(before.y + 15 + step * 8));
  }
  Xdotool("mouseup 1");
  // The window manager starts moving once the pointer has left its drag threshold, so the
  // window follows all but the first step or so.
  POINT after;
  EXPECT_TRUE(WaitFor([&] {
    after = RealOrigin("bform test");
    return after.x >= before.x + 60 && after.x <= before.x + 80 && after.y >= before.y + 48 &&
           after.y <= before.y + 64;
  })) << "moved to " << after.x << "," << after.y << " from " << before.x << "," << before.y;
  EXPECT_EQ(std::vector<short>{1}, downs);
}

TEST_F(BFormGuiTest, WithFrmHwndZeroTheWindowStays) {
  MakeFrame(0);
  ASSERT_TRUE(ShowAndWait(rec, host));
  POINT before;
  ASSERT_TRUE(WaitFor([&] { return (before = RealOrigin("bform test")).x >= 0; }));
  Xdotool("mousemove " + std::to_string(before.x + 150) + " " + std::to_string(before.y + 15));
  Xdotool("mousedown 1");
  for (int step = 1; step <= 8; ++step) {
    Xdotool("mousemove " + std::to_string(before.x + 150 + step * 10) + " " +
            std::to_string(before.y + 15 + step * 8));
  }
  Xdotool("mouseup 1");
  Settle(400);
  EXPECT_EQ(before, RealOrigin("bform test"));
  EXPECT_EQ(std::vector<short>{1}, downs);
}

}  // namespace
