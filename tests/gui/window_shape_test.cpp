// What the screen shows and where the pointer lands for shaped and layered windows: rounded
// regions, a child hanging over its parent's edge, per-pixel alpha images with and without a
// compositor, and colour-keyed windows. Pixels are read back from the X server.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include "WindowTestSupport.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/WindowDc.h"

using namespace platform;
using namespace wintest;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

constexpr std::uint32_t kRed = 0x000000FF;    // 0x00BBGGRR
constexpr std::uint32_t kBlue = 0x00FF0000;
constexpr std::uint32_t kGreen = 0x0000FF00;

class WindowShapeTest : public ::testing::Test {
 protected:
  void SetUp() override { PointerAway(); }
  void TearDown() override {
    SaveScreen();
    for (HWND h : m_windows) {
      if (IsWindow(h)) DestroyWindow(h);
    }
    DoEvents();
    StopCompositor();
  }
  HWND Keep(HWND h) {
    m_windows.push_back(h);
    return h;
  }

  // A red window behind the window under test, to see and click through to. The windows under
  // test stay on top (openbox raises a window that is clicked).
  HWND Backdrop() {
    const HWND h = Keep(TopLevel(below, 100, 100, 300, 300, kRed, "backdrop"));
    EXPECT_TRUE(ShowAndWait(below, h));
    return h;
  }

  void StopCompositor() {
    if (m_compositor <= 0) return;
    // Gone before the next test starts its own (a second one would not get the screen).
    ::kill(m_compositor, SIGTERM);
    WaitFor([&] { return ::kill(m_compositor, 0) != 0; }, 3000);
    m_compositor = 0;
  }

  void StartCompositor() {
    const std::string pid = Output("xcompmgr >/dev/null 2>&1 & echo $!");
    m_compositor = std::atoi(pid.c_str());
    ASSERT_GT(m_compositor, 0);
  }

  // A 100 x 100 PNG: opaque green with fully transparent 20 x 20 corners, a half-transparent
  // green band at x 0..9, y 40..59 and a 95 % one at x 90..99, y 40..59.
  static Image CornerImage() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/corners.png";
    const std::string cmd =
        "convert -size 100x100 xc:none -fill '#00ff00' -draw 'rectangle 20,0 79,99' "
        "-draw 'rectangle 0,20 99,79' -fill none -draw 'rectangle 0,40 9,59' "
        "-region 10x20+0+40 -alpha set -channel A -evaluate set 50% +channel "
        "+region -region 10x20+90+40 -alpha set -channel A -evaluate set 95% +channel "
        "+region png32:" +
        path;
    if (Shell(cmd) != 0) return Image();
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Image::FromPng(bytes);
  }

  // Clicks at a screen point and returns the window that got the button-down message.
  HWND ClickedWindow(int x, int y) {
    above.Clear();
    below.Clear();
    Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    HWND got = 0;
    WaitFor([&] {
      for (Recorder* r : {&above, &below}) {
        for (const Msg& m : r->all) {
          if (m.msg == WM_LBUTTONDOWN) got = m.hwnd;
        }
      }
      return got != 0;
    });
    return got;
  }

  // With WINDOW_TEST_SHOTS set, keeps a picture of the screen for a person to look at.
  void SaveScreen() {
    const char* dir = std::getenv("WINDOW_TEST_SHOTS");
    if (dir == nullptr) return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    Shell(std::string("import -window root ") + dir + "/" + info->name() + ".png");
  }

  Recorder above;
  Recorder below;

 private:
  std::vector<HWND> m_windows;
  int m_compositor = 0;
};

TEST_F(WindowShapeTest, RoundRectRegionCutsTheCornersForDrawingAndInput) {
  const HWND back = Backdrop();
  const HWND h = Keep(TopLevel(above, 150, 150, 100, 100, kBlue, "rounded", WS_EX_TOPMOST));
  ASSERT_TRUE(SetWindowRgn(h, CreateRoundRectRgn(0, 0, 100, 100, 40, 40), true));
  ASSERT_TRUE(ShowAndWait(above, h));
  EXPECT_TRUE(WaitForScreen(150, 150, 100, 100, [](const Image& s) {
    return Near(s.PixelAt(1, 1), Rgb(kRed)) && Near(s.PixelAt(98, 98), Rgb(kRed)) &&
           Near(s.PixelAt(50, 50), Rgb(kBlue)) && Near(s.PixelAt(0, 50), Rgb(kBlue)) &&
           Near(s.PixelAt(99, 50), Rgb(kBlue)) && Near(s.PixelAt(50, 99), Rgb(kBlue)) &&
           Near(s.PixelAt(8, 8), Rgb(kBlue));
  }));
  EXPECT_EQ(ClickedWindow(151, 151), back);
  EXPECT_EQ(ClickedWindow(200, 200), h);
  EXPECT_EQ(WindowFromPoint(POINT{151, 151}), back);
}

// The resize outline on the screen DC: inverted over whatever is there, without and with a
// compositor, and gone without a trace when drawn a second time.
// At a window scale (GDK_SCALE, run so by WindowShapeScale2) each logical pixel of the outline
// is a square of screen pixels; the shot is taken and read in logical pixels.
TEST_F(WindowShapeTest, ScreenOutlineInvertsAndASecondDrawingErasesIt) {
  const char* scaleVariable = std::getenv("GDK_SCALE");
  const int k = scaleVariable != nullptr ? std::max(1, std::atoi(scaleVariable)) : 1;
  auto WaitForScreen = [k](int x, int y, int w, int h,
                           const std::function<bool(const Image&)>& check) {
    return wintest::WaitForScreen(x * k, y * k, w * k, h * k, check);
  };
  Backdrop();
  for (bool composited : {false, true}) {
    SCOPED_TRACE(composited ? "compositor" : "no compositor");
    if (composited) StartCompositor();
    const RECT r{150, 150, 250, 220};
    auto dotted = [&](const Image& shot, std::uint32_t dot, std::uint32_t gap) {
      // Every screen pixel of the logical pixel (x, y).
      auto is = [&](int x, int y, std::uint32_t rgb) {
        for (int i = 0; i < k * k; ++i) {
          if (!Near(shot.PixelAt(x * k + i % k, y * k + i / k), rgb)) return false;
        }
        return true;
      };
      // Shot from (140, 140): the top edge at y 10, dots where x + y is even on the screen.
      for (int x = 10; x < 110; ++x) {
        const bool isDot = ((140 + x + 150) & 1) == 0;
        if (!is(x, 10, isDot ? dot : gap)) return false;
      }
      return is(10, 40, ((150 + 180) & 1) == 0 ? dot : gap) && is(50, 40, Rgb(kRed)) &&
             is(5, 5, Rgb(kRed)) && is(109, 79, ((140 + 109 + 140 + 79) & 1) == 0 ? dot : gap);
    };
    ASSERT_TRUE(WaitForScreen(140, 140, 120, 90,
                              [&](const Image& s) { return dotted(s, Rgb(kRed), Rgb(kRed)); }));
    const HDC screen = GetDC(0);
    ASSERT_NE(screen, 0u);
    EXPECT_TRUE(DrawFocusRect(screen, &r));
    ReleaseDC(0, screen);
    EXPECT_TRUE(WaitForScreen(140, 140, 120, 90, [&](const Image& s) {
      return dotted(s, 0x00FFFF, Rgb(kRed));
    })) << "the outline is not on the screen";
    const HDC again = GetDC(0);
    EXPECT_TRUE(DrawFocusRect(again, &r));
    ReleaseDC(0, again);
    EXPECT_TRUE(WaitForScreen(140, 140, 120, 90, [&](const Image& s) {
      return dotted(s, Rgb(kRed), Rgb(kRed));
    })) << "the outline was not erased";
  }
}

// The outline at a window scale of 2, in a process of its own (the scale is read when the
// toolkit starts): it covers its whole rectangle in screen pixels, not a quarter of it.
TEST(WindowShapeScale2, ScreenOutlineCoversItsRectangleInScreenPixels) {
  const int status =
      Shell("GDK_SCALE=2 /proc/" + std::to_string(::getpid()) +
            "/exe --gtest_filter=WindowShapeTest.ScreenOutlineInvertsAndASecondDrawingErasesIt"
            " >/dev/null 2>&1");
  EXPECT_EQ(0, status);
}

TEST_F(WindowShapeTest, RegionsAreHandlesTheWindowTakesOver) {
  const HRGN r = CreateRectRgn(0, 0, 10, 10);
  ASSERT_NE(r, 0u);
  const HWND h = Keep(TopLevel(above, 150, 150, 100, 100, kBlue));
  ASSERT_TRUE(SetWindowRgn(h, r, false));
  EXPECT_FALSE(DeleteRgn(r));  // the window owns it now
  EXPECT_TRUE(SetWindowRgn(h, 0, false));
  const HRGN other = CreateRoundRectRgn(0, 0, 50, 50, 10, 10);
  EXPECT_TRUE(DeleteRgn(other));
  EXPECT_FALSE(DeleteRgn(other));
}

TEST_F(WindowShapeTest, ChildAtANegativePositionIsClippedByItsParent) {
  const HWND h = Keep(TopLevel(above, 300, 300, 100, 100, kRed));
  const HWND child = Child(above, h, -10, -10, 40, 40, kBlue);
  ASSERT_TRUE(ShowAndWait(above, h));
  ASSERT_TRUE(WaitFor([&] { return above.Saw(child, WM_PAINT); }));
  EXPECT_TRUE(WaitForScreen(290, 290, 120, 120, [](const Image& s) {
    return Near(s.PixelAt(10, 10), Rgb(kBlue)) && Near(s.PixelAt(39, 39), Rgb(kBlue)) &&
           Near(s.PixelAt(40, 40), Rgb(kRed)) && !Near(s.PixelAt(5, 5), Rgb(kBlue)) &&
           !Near(s.PixelAt(5, 20), Rgb(kBlue));
  }));
}

// Without a compositor nothing blends: the window shows the image's solid pixels (alpha from
// 90 %) in their full colour and nothing else, and takes the pointer only there.
bool SolidLook(const Image& s) {
  return Near(s.PixelAt(2, 2), Rgb(kRed)) && Near(s.PixelAt(97, 2), Rgb(kRed)) &&
         Near(s.PixelAt(50, 50), Rgb(kGreen)) && Near(s.PixelAt(5, 50), Rgb(kRed)) &&
         Near(s.PixelAt(95, 50), Rgb(kGreen));
}
// With one, every pixel blends with what is behind it.
bool BlendedLook(const Image& s) {
  const std::uint32_t band = s.PixelAt(5, 50);
  const int red = (band >> 16) & 0xFF, green = (band >> 8) & 0xFF;
  return Near(s.PixelAt(2, 2), Rgb(kRed)) && Near(s.PixelAt(50, 50), Rgb(kGreen)) && red > 80 &&
         green > 80;  // half and half
}

TEST_F(WindowShapeTest, LayeredImageWithoutCompositorShowsItsSolidPartsInFullColour) {
  const HWND back = Backdrop();
  const HWND h = Keep(TopLevel(above, 150, 150, 10, 10, 0, "layered image", WS_EX_LAYERED | WS_EX_TOPMOST));
  const Image image = CornerImage();
  ASSERT_FALSE(image.IsNull());
  ASSERT_TRUE(UpdateLayeredWindow(h, image));
  RECT r;
  ASSERT_TRUE(GetWindowRect(h, &r));
  EXPECT_EQ(r, (RECT{150, 150, 250, 250}));  // the window takes the image's size
  ShowWindow(h, SW_SHOW);
  EXPECT_TRUE(WaitForScreen(150, 150, 100, 100, SolidLook));
  EXPECT_FALSE(above.Saw(h, WM_PAINT));  // the image is the whole painting
  EXPECT_EQ(ClickedWindow(152, 152), back);
  EXPECT_EQ(ClickedWindow(200, 200), h);
  EXPECT_EQ(ClickedWindow(155, 200), back);  // the half-transparent band is not shown
  EXPECT_EQ(ClickedWindow(245, 200), h);
}

TEST_F(WindowShapeTest, LayeredImageChangesItsLookWhenACompositorStartsAndStops) {
  const HWND back = Backdrop();
  const HWND h = Keep(TopLevel(above, 150, 150, 10, 10, 0, "layered image", WS_EX_LAYERED | WS_EX_TOPMOST));
  ASSERT_TRUE(UpdateLayeredWindow(h, CornerImage()));
  ShowWindow(h, SW_SHOW);
  ASSERT_TRUE(WaitForScreen(150, 150, 100, 100, SolidLook));
  StartCompositor();
  EXPECT_TRUE(WaitForScreen(150, 150, 100, 100, BlendedLook, 8000));
  EXPECT_EQ(ClickedWindow(152, 152), back);
  EXPECT_EQ(ClickedWindow(155, 200), h);  // the band is shown, so it takes the pointer
  StopCompositor();
  EXPECT_TRUE(WaitForScreen(150, 150, 100, 100, SolidLook, 8000));
  EXPECT_EQ(ClickedWindow(155, 200), back);
}

TEST_F(WindowShapeTest, ColorKeyMakesTheBackgroundSeeThroughAndControlsStay) {
  const HWND back = Backdrop();
  const HWND h = Keep(TopLevel(above, 150, 150, 100, 100, 0x00FEFEFE, "keyed", WS_EX_LAYERED | WS_EX_TOPMOST));
  const HWND control = Child(above, h, 10, 10, 30, 30, kBlue);
  // A child keyed on its own, all in its key: the control's painting under it stays, shown.
  const HWND keyed = Child(above, control, 12, 12, 10, 10, 0x00FF00FF);
  ASSERT_TRUE(SetChildColorKey(keyed, 0x00FF00FF, true));
  ASSERT_TRUE(SetLayeredWindowAttributes(h, 0x00FEFEFE, 0, LWA_COLORKEY));
  ASSERT_TRUE(ShowAndWait(above, h));
  EXPECT_TRUE(WaitForScreen(150, 150, 100, 100, [](const Image& s) {
    return Near(s.PixelAt(60, 60), Rgb(kRed)) && Near(s.PixelAt(20, 20), Rgb(kBlue)) &&
           Near(s.PixelAt(5, 5), Rgb(kRed)) && Near(s.PixelAt(27, 27), Rgb(kBlue));
  }));
  EXPECT_EQ(ClickedWindow(210, 210), back);
  EXPECT_EQ(ClickedWindow(170, 170), control);
}

TEST_F(WindowShapeTest, ColorKeyUnderACompositorToo) {
  StartCompositor();
  const HWND back = Backdrop();
  const HWND h = Keep(TopLevel(above, 150, 150, 100, 100, 0x00FEFEFE, "keyed", WS_EX_LAYERED | WS_EX_TOPMOST));
  const HWND control = Child(above, h, 10, 10, 30, 30, kBlue);
  ASSERT_TRUE(SetLayeredWindowAttributes(h, 0x00FEFEFE, 0, LWA_COLORKEY));
  ASSERT_TRUE(ShowAndWait(above, h));
  EXPECT_TRUE(WaitForScreen(150, 150, 100, 100, [](const Image& s) {
    return Near(s.PixelAt(60, 60), Rgb(kRed)) && Near(s.PixelAt(20, 20), Rgb(kBlue));
  }, 8000));
  EXPECT_EQ(ClickedWindow(210, 210), back);
  EXPECT_EQ(ClickedWindow(170, 170), control);
}

}  // namespace
