// The image button in a real window under the test desktop: hovering and pressing with the
// real pointer (xdotool), what reaches the screen, and a showcase of every state next to a
// skinned frame (saved when CONTROLS_SHOT names a file, for looking at it).

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "controls/BForm.h"
#include "controls/iButton.h"
#include "platform/gdi/Gdi.h"

namespace {

using namespace wintest;
using controls::BForm;
using controls::iButton;
using controls::PropertyBag;
using controls::StdPicture;
using controls::UserControlArgs;
namespace face = controls::face;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

// A pixel of a picture, 0xRRGGBB.
std::uint32_t PicturePixel(const controls::Picture& pic, int x, int y) {
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, pic->Handle());
  const COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return Rgb(c);
}

// A strip of three 20 x 10 frames, each mask-coloured (magenta) on its left half and blue on
// its right.
controls::Picture MaskedStrip() {
  HDC dc = CreateCompatibleDC(0);
  HBITMAP strip = CreateCompatibleBitmap(dc, 60, 10);
  HGDIOBJ old = SelectObject(dc, strip);
  for (int x = 0; x < 60; x += 10) {
    HBRUSH brush = CreateSolidBrush(x % 20 == 0 ? RGB(255, 0, 255) : RGB(0, 0, 255));
    RECT half{x, 0, x + 10, 10};
    FillRect(dc, &half, brush);
    DeleteObject(brush);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return StdPicture::FromBitmap(strip);
}

class IButtonGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PointerAway();
    host = TopLevel(rec, 200, 150, 400, 220, RGB(255, 255, 255), "ibutton test");
    ASSERT_NE(0u, host);
  }
  void TearDown() override {
    buttons.clear();
    frame.reset();
    if (IsWindow(host)) DestroyWindow(host);
  }

  iButton& Add(int xPx, int yPx, int picture, std::string caption = "") {
    return Add(xPx, yPx, StdPicture::LoadRes(picture), std::move(caption));
  }
  iButton& Add(int xPx, int yPx, controls::Picture picture, std::string caption = "",
               bool autoSize = true) {
    PropertyBag design;
    design.WriteProperty("BackPicture", std::move(picture));
    design.WriteProperty("Caption", std::move(caption));
    design.WriteProperty("AutoSize", autoSize);
    UserControlArgs a;
    a.parent = host;
    a.left = xPx * 15;
    a.top = yPx * 15;
    a.width = 600;
    a.height = 300;
    a.properties = &design;
    buttons.push_back(std::make_unique<iButton>(a));
    iButton& b = *buttons.back();
    b.MouseOver = [this] { events.push_back("MouseOver"); };
    b.MouseOut = [this] { events.push_back("MouseOut"); };
    b.MouseDown = [this](short& k, short&, float&, float&) { events.push_back("MouseDown " + std::to_string(k)); };
    b.MouseUp = [this](short& k, short&, float&, float&) { events.push_back("MouseUp " + std::to_string(k)); };
    b.Click = [this] { events.push_back("Click"); };
    b.MouseMove = [this](short&, short&, float&, float&) { ++moves; };
    return b;
  }

  // The screen point at pixel (x, y) of the control.
  static POINT OnScreen(const controls::UserControl& c, int x, int y) {
    POINT origin;
    EXPECT_TRUE(WaitFor([&] { return (origin = RealOrigin("ibutton test")).x >= 0; }));
    return POINT{origin.x + c.Left() / 15 + x, origin.y + c.Top() / 15 + y};
  }
  std::string Diagnose(const iButton& b) {
    POINT p;
    GetCursorPos(&p);
    RECT hr, br;
    GetWindowRect(host, &hr);
    GetWindowRect(b.hWnd(), &br);
    std::string out = " pointer " + At(p) + " under " + std::to_string(controls::UserControl::WindowUnderPointer()) +
                      " button " + std::to_string(b.hWnd()) + " host " + std::to_string(host) + " host at " +
                      std::to_string(hr.left) + "," + std::to_string(hr.top) + " button at " +
                      std::to_string(br.left) + "," + std::to_string(br.top) + " events:";
    for (auto& e : events) out += " " + e;
    out += " button moves " + std::to_string(moves) + " host moves " + std::to_string(rec.Only({WM_MOUSEMOVE}).size());
    return out;
  }
  static std::string At(POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

  Recorder rec;
  HWND host = 0;
  std::vector<std::unique_ptr<iButton>> buttons;
  std::unique_ptr<BForm> frame;
  std::vector<std::string> events;
  int moves = 0;
};

TEST_F(IButtonGuiTest, RealPointerHoversPressesClicksAndLeaves) {
  iButton& b = Add(40, 60, 109, "是");
  ASSERT_TRUE(ShowAndWait(rec, host));
  ASSERT_EQ(65, b.PixelWidth());
  ASSERT_EQ(25, b.PixelHeight());
  EXPECT_FALSE(b.Timer1Enabled());

  const POINT centre = OnScreen(b, 32, 12);
  Xdotool("mousemove " + At(centre));
  ASSERT_TRUE(WaitFor([&] { return b.VisualState() == face::kHover; })) << "no hover" << Diagnose(b);
  EXPECT_TRUE(b.Timer1Enabled());
  // The hover frame reaches the screen: a corner pixel of frame 1.
  const auto strip = StdPicture::LoadRes(109);
  const POINT corner = OnScreen(b, 3, 20);
  EXPECT_TRUE(WaitForScreen(corner.x, corner.y, 1, 1, [&](const Image& shot) {
    return Near(shot.PixelAt(0, 0), PicturePixel(strip, 65 + 3, 20), 4);
  }));

  Xdotool("mousedown 1");
  ASSERT_TRUE(WaitFor([&] { return b.VisualState() == face::kPressed; }));
  EXPECT_TRUE(WaitForScreen(corner.x, corner.y, 1, 1, [&](const Image& shot) {
    return Near(shot.PixelAt(0, 0), PicturePixel(strip, 130 + 3, 20), 4);
  }));
  Xdotool("mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return !events.empty() && events.back() == "Click"; }));
  EXPECT_EQ(face::kHover, b.VisualState());

  PointerAway();
  ASSERT_TRUE(WaitFor([&] { return !b.Timer1Enabled(); })) << "the poll did not stop";
  EXPECT_EQ(face::kNormal, b.VisualState());
  EXPECT_EQ((std::vector<std::string>{"MouseOver", "MouseDown 1", "MouseUp 1", "Click", "MouseOut"}), events);
}

TEST_F(IButtonGuiTest, RealDragOutAndReleaseOutsideDoesNotClick) {
  iButton& b = Add(40, 60, 101);
  ASSERT_TRUE(ShowAndWait(rec, host));
  Xdotool("mousemove " + At(OnScreen(b, 10, 8)));
  ASSERT_TRUE(WaitFor([&] { return b.VisualState() == face::kHover; }));
  Xdotool("mousedown 1");
  ASSERT_TRUE(WaitFor([&] { return b.VisualState() == face::kPressed; }));
  Xdotool("mousemove " + At(OnScreen(b, 150, 100)));
  ASSERT_TRUE(WaitFor([&] { return b.VisualState() == face::kNormal; })) << "dragging out shows normal";
  Xdotool("mousemove " + At(OnScreen(b, 10, 8)));
  ASSERT_TRUE(WaitFor([&] { return b.VisualState() == face::kPressed; })) << "dragging back shows pressed";
  Xdotool("mousemove " + At(OnScreen(b, 150, 100)));
  ASSERT_TRUE(WaitFor([&] { return b.VisualState() == face::kNormal; }));
  Xdotool("mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return !b.Timer1Enabled(); }));
  EXPECT_EQ((std::vector<std::string>{"MouseOver", "MouseDown 1", "MouseUp 1", "MouseOut"}), events);
}

TEST_F(IButtonGuiTest, KeyboardOnTheFocusedButton) {
  iButton& b = Add(40, 60, 110, "否");
  ASSERT_TRUE(ShowAndWait(rec, host));
  // A click gives it the focus; then the pointer goes away.
  Xdotool("mousemove " + At(OnScreen(b, 30, 12)) + " click 1");
  ASSERT_TRUE(WaitFor([&] { return b.HasFocus() && !events.empty() && events.back() == "Click"; }));
  PointerAway();
  ASSERT_TRUE(WaitFor([&] { return !b.Timer1Enabled(); }));
  events.clear();
  Xdotool("key Return");
  ASSERT_TRUE(WaitFor([&] { return events == std::vector<std::string>{"Click"}; }));
  Xdotool("keydown space");
  ASSERT_TRUE(WaitFor([&] { return b.VisualState() == face::kPressed; }));
  EXPECT_EQ(1u, events.size());
  Xdotool("keyup space");
  ASSERT_TRUE(WaitFor([&] { return events.size() == 2; }));
}

// The focus mark shows where the keys go, to a keyboard user only: not after a click, also not
// when the focus comes back to the clicked button from another window; Tab and Shift+Tab move
// it.
TEST_F(IButtonGuiTest, FocusMarkFollowsTheKeysNotTheClicks) {
  iButton& a = Add(40, 60, 109, "是");
  iButton& b = Add(140, 60, 110, "否");
  ASSERT_TRUE(ShowAndWait(rec, host));
  const Image plainA = ShotOf(a.hWnd()), plainB = ShotOf(b.hWnd());
  Xdotool("mousemove " + At(OnScreen(a, 30, 12)) + " click 1");
  ASSERT_TRUE(WaitFor([&] { return a.HasFocus(); }));
  PointerAway();
  ASSERT_TRUE(WaitFor([&] { return !a.Timer1Enabled(); }));
  // Another window takes the focus and goes; the button has it again.
  Recorder other;
  const HWND away = TopLevel(other, 700, 150, 200, 100, RGB(255, 255, 255), "elsewhere");
  ASSERT_TRUE(ShowAndWait(other, away));
  SetForegroundWindow(away);
  ASSERT_TRUE(WaitFor([&] { return !a.HasFocus(); }));
  DestroyWindow(away);
  SetForegroundWindow(host);
  ASSERT_TRUE(WaitFor([&] { return a.HasFocus(); }));
  Settle(200);
  EXPECT_EQ(0, DifferingPixels(plainA, ShotOf(a.hWnd()))) << "a mark after a click";

  Xdotool("key Tab");
  ASSERT_TRUE(WaitFor([&] { return b.HasFocus(); }));
  EXPECT_TRUE(WaitFor([&] { return DifferingPixels(plainB, ShotOf(b.hWnd())) > 20; }));
  EXPECT_EQ(0, DifferingPixels(plainA, ShotOf(a.hWnd())));
  Xdotool("key shift+Tab");
  ASSERT_TRUE(WaitFor([&] { return a.HasFocus(); }));
  EXPECT_TRUE(WaitFor([&] { return DifferingPixels(plainA, ShotOf(a.hWnd())) > 20; }));
  // A click hides the marks again.
  Xdotool("mousemove " + At(OnScreen(b, 30, 12)) + " click 1");
  ASSERT_TRUE(WaitFor([&] { return b.HasFocus(); }));
  PointerAway();
  EXPECT_TRUE(WaitFor([&] {
    return DifferingPixels(plainA, ShotOf(a.hWnd())) == 0 &&
           DifferingPixels(plainB, ShotOf(b.hWnd())) == 0;
  }));
}

TEST_F(IButtonGuiTest, TransparentBackStyleShowsTheHostThroughTheMaskColour) {
  DestroyWindow(host);
  const COLORREF green = RGB(0, 160, 0);
  host = TopLevel(rec, 200, 150, 400, 220, green, "ibutton test");
  ASSERT_NE(0u, host);
  const auto strip = MaskedStrip();
  iButton& clear = Add(40, 60, strip);
  iButton& stretched = Add(40, 100, strip, "", false);  // 40 x 20, the frame stretched over it
  iButton& opaque = Add(100, 60, strip);
  clear.cBackStyle(0);
  stretched.cBackStyle(0);
  ASSERT_EQ(20, clear.PixelWidth());
  ASSERT_EQ(40, stretched.PixelWidth());
  ASSERT_TRUE(ShowAndWait(rec, host));

  const POINT o = OnScreen(clear, 0, 0);
  const auto at = [&](const Image& shot, const iButton& b, int x, int y) {
    return shot.PixelAt(b.Left() / 15 - 40 + x, b.Top() / 15 - 60 + y);
  };
  const auto shows = [&](const Image& shot) {
    return Near(at(shot, clear, 5, 5), Rgb(green)) && Near(at(shot, clear, 15, 5), 0x0000FF) &&
           Near(at(shot, stretched, 10, 10), Rgb(green)) &&
           Near(at(shot, stretched, 30, 10), 0x0000FF) && Near(at(shot, opaque, 5, 5), 0xFF00FF) &&
           Near(at(shot, opaque, 15, 5), 0x0000FF);
  };
  std::uint32_t seen[3] = {};
  const bool through = WaitForScreen(o.x, o.y, 80, 60, [&](const Image& shot) {
    seen[0] = at(shot, clear, 5, 5);
    seen[1] = at(shot, stretched, 10, 10);
    seen[2] = at(shot, opaque, 5, 5);
    return shows(shot);
  });
  EXPECT_TRUE(through) << std::hex << "mask-coloured pixels (clear, stretched, opaque): " << seen[0]
                       << " " << seen[1] << " " << seen[2];
  // Back to opaque: the mask colour shows again.
  clear.cBackStyle(1);
  EXPECT_TRUE(WaitForScreen(o.x, o.y, 20, 10, [&](const Image& shot) {
    return Near(shot.PixelAt(5, 5), 0xFF00FF) && Near(shot.PixelAt(15, 5), 0x0000FF);
  }));
}

TEST_F(IButtonGuiTest, ShowcaseOfEveryStateWithASkinnedFrame) {
  // A frame along the top, bordered by Printform, with buttons in every state below it.
  PropertyBag design;
  design.WriteProperty("Caption", std::string("Controls 客户端"));
  design.WriteProperty("frmHwnd", static_cast<std::int32_t>(host));
  UserControlArgs fa;
  fa.parent = host;
  fa.width = 400 * 15;
  fa.height = 495;
  fa.properties = &design;
  frame = std::make_unique<BForm>(fa);

  iButton& normal = Add(20, 50, 109, "是");
  iButton& hover = Add(100, 50, 109, "是");
  iButton& pressed = Add(180, 50, 109, "是");
  iButton& disabled = Add(260, 50, 109, "是");
  Add(20, 90, 110, "否");
  iButton& noHover = Add(100, 90, 110, "否");
  iButton& noPressed = Add(180, 90, 110, "否");
  iButton& toggle = Add(20, 140, 102);
  iButton& toggleOn = Add(60, 140, 102);
  iButton& minimise = Add(100, 140, 101);
  iButton& close = Add(140, 140, 103);
  for (iButton* b : {&normal, &hover, &pressed, &disabled}) b->cForeColor(RGB(255, 255, 255));
  hover.cMouseAction(face::kHover, false);
  noHover.cMouseAction(face::kHover, false);
  pressed.Locked(true);
  noPressed.Locked(true);
  disabled.Enabled(false);
  toggle.Style(1);
  toggleOn.Style(1);
  toggleOn.Value(true);
  close.cMouseAction(face::kHover, false);
  minimise.cMouseAction(face::kPressed, false);
  ASSERT_TRUE(ShowAndWait(rec, host));
  frame->Printform(host);
  for (auto& b : buttons) b->Refresh();
  frame->Refresh();

  const POINT o = OnScreen(*frame, 0, 0);
  const RECT r{o.x, o.y, o.x + 400, o.y + 220};
  const auto sprite = frame->Sprite();
  ASSERT_TRUE(sprite);
  // The bar's left end and the left border, as the sprite has them.
  EXPECT_TRUE(WaitForScreen(r.left, r.top, 400, 220, [&](const Image& shot) {
    return Near(shot.PixelAt(0, 20), PicturePixel(sprite, 0, 20), 2) &&
           Near(shot.PixelAt(1, 100), PicturePixel(sprite, 1, 53 + 100 % 20), 2) &&
           Near(shot.PixelAt(399, 100), PicturePixel(sprite, 93, 53 + 100 % 20), 2) &&
           Near(shot.PixelAt(200, 219), PicturePixel(sprite, 20 + 200 % 20, 84), 2);
  }));
  if (const char* path = std::getenv("CONTROLS_SHOT")) {
    Shell("import -window root -crop 400x220+" + std::to_string(r.left) + "+" + std::to_string(r.top) +
          " +repage " + path);
  }
}

}  // namespace
