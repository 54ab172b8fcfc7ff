// The image button without a display: frame arithmetic as tables, the face it paints (read
// from its persistent image), and its events as recorded sequences. The control runs on a
// message-only window; where the pointer is comes from a probe the tests set.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/iButton.h"
#include "platform/gdi/Gdi.h"

namespace {

using namespace platform;
using controls::iButton;
using controls::Picture;
using controls::PropertyBag;
using controls::StdPicture;
using controls::UserControlArgs;
namespace face = controls::face;

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0), kCyan = RGB(0, 255, 255), kGrey = RGB(128, 128, 128);

// A strip of `w` x `h` whose columns are painted with `colours` in equal bands from the left.
Picture Strip(int w, int h, const std::vector<COLORREF>& colours) {
  HDC dc = CreateCompatibleDC(0);
  HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ old = SelectObject(dc, bmp);
  const int n = static_cast<int>(colours.size());
  for (int i = 0; i < n; ++i) {
    RECT r{w * i / n, 0, w * (i + 1) / n, h};
    HBRUSH b = CreateSolidBrush(colours[static_cast<std::size_t>(i)]);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return StdPicture::FromBitmap(bmp);
}

// ---- Frame arithmetic ------------------------------------------------------------------------

struct CutCase {
  const char* name;
  int w, h, style;
  face::FrameCut expected;
};

class FrameCutTable : public ::testing::TestWithParam<CutCase> {};

TEST_P(FrameCutTable, CutsTheStripIntoFrames) {
  const CutCase& c = GetParam();
  EXPECT_EQ(c.expected, face::CutFrames(c.w, c.h, c.style));
}

INSTANTIATE_TEST_SUITE_P(
    IButtonFrames, FrameCutTable,
    ::testing::Values(CutCase{"PushStrip72x18", 72, 18, 0, {24, 18, 4}},
                      CutCase{"ToggleStrip150x18", 150, 18, 1, {25, 18, 8}},
                      CutCase{"NarrowStrip13x22", 13, 22, 0, {4, 22, 4}},
                      CutCase{"CloseStrip129x18", 129, 18, 0, {43, 18, 4}},
                      CutCase{"DialogStrip195x25", 195, 25, 0, {65, 25, 4}},
                      CutCase{"OnePixelStrip", 1, 1, 0, {0, 1, 4}},
                      CutCase{"EmptyStrip", 0, 0, 0, {0, 0, 4}},
                      CutCase{"StyleTwoSplitsInSix", 150, 18, 2, {25, 18, 12}},
                      CutCase{"NegativeStyleMakesNoFrames", 72, 18, -1, {12, 18, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IButtonFrames, HalvesRoundToEven) {
  EXPECT_EQ(2, face::RoundHalfEven(2.5));
  EXPECT_EQ(4, face::RoundHalfEven(3.5));
  EXPECT_EQ(-2, face::RoundHalfEven(-2.5));
  EXPECT_EQ(3, face::RoundHalfEven(2.51));
}

struct IndexCase {
  bool ready;
  int count, state;
  bool value;
  int style;
  std::optional<int> expected;
};

TEST(IButtonFrames, FrameForAState) {
  const IndexCase cases[] = {
      {false, 4, 0, false, 0, std::nullopt},  // frames not cut
      {true, 4, 0, false, 0, 0},   {true, 4, 1, false, 0, 1}, {true, 4, 2, false, 0, 2},
      {true, 4, 3, false, 0, 3},   // disabled: the frame right of the strip
      {true, 4, 1, true, 0, 1},    // a push button ignores Value
      {true, 8, 0, true, 1, 3},    {true, 8, 2, true, 1, 5}, {true, 8, 3, true, 1, 6},
      {true, 8, 2, false, 1, 2},   {true, 0, 0, false, -1, std::nullopt},
  };
  for (const IndexCase& c : cases) {
    EXPECT_EQ(c.expected, face::FrameIndex(c.ready, c.count, c.state, c.value, c.style))
        << "state " << c.state << " value " << c.value << " style " << c.style;
  }
}

TEST(IButtonFrames, StateFromEnabledButtonAndPointer) {
  EXPECT_EQ(face::kDisabled, face::CurrentState(false, true, true));
  EXPECT_EQ(face::kPressed, face::CurrentState(true, true, true));
  EXPECT_EQ(face::kNormal, face::CurrentState(true, true, false));
  EXPECT_EQ(face::kHover, face::CurrentState(true, false, true));
  EXPECT_EQ(face::kNormal, face::CurrentState(true, false, false));
}

TEST(IButtonFrames, CaptionCentredMovedByIconAndByOnePixelWhenPressed) {
  EXPECT_EQ((face::TwipPoint{300, 150}), face::CaptionPosition(900, 450, 300, 150, std::nullopt, 0));
  EXPECT_EQ((face::TwipPoint{315, 165}), face::CaptionPosition(900, 450, 300, 150, std::nullopt, 2));
  // A 16-pixel icon is 423 HiMetric: 423 \ 26 = 16, times 15.
  EXPECT_EQ(240, face::IconWidthTwips(423));
  EXPECT_EQ((face::TwipPoint{540, 150}), face::CaptionPosition(900, 450, 300, 150, 423, 1));
}

// ---- The control -----------------------------------------------------------------------------

HWND g_underPointer = 0;

class IButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls::UserControl::SetPointerProbe([] { return g_underPointer; });
  }
  void TearDown() override { controls::UserControl::SetPointerProbe({}); }

  std::unique_ptr<iButton> Make(int wTwips, int hTwips, const PropertyBag* bag = nullptr) {
    UserControlArgs a;
    a.headless = true;
    a.width = wTwips;
    a.height = hTwips;
    a.properties = bag;
    auto b = std::make_unique<iButton>(a);
    Record(*b);
    return b;
  }

  void Record(iButton& b) {
    b.Click = [this] { events.push_back("Click"); };
    b.DBClick = [this] { events.push_back("DBClick"); };
    b.MouseOver = [this] { events.push_back("MouseOver"); };
    b.MouseOut = [this] { events.push_back("MouseOut"); };
    b.MouseDown = [this](short& btn, short&, float&, float&) { events.push_back("MouseDown " + std::to_string(btn)); };
    b.MouseUp = [this](short& btn, short&, float&, float&) { events.push_back("MouseUp " + std::to_string(btn)); };
    b.MouseMove = [this](short&, short&, float&, float&) { events.push_back("MouseMove"); };
    b.KeyDown = [this](short& k, short&) { events.push_back("KeyDown " + std::to_string(k)); };
    b.KeyUP = [this](short& k, short&) { events.push_back("KeyUP " + std::to_string(k)); };
    b.KeyPress = [this](short& k) { events.push_back("KeyPress " + std::to_string(k)); };
  }

  // Input as the window layer delivers it; `over` says where the pointer is meanwhile.
  void Move(iButton& b, int x, int y, bool over, WPARAM keys = 0) {
    g_underPointer = over ? b.hWnd() : 0;
    SendMessage(b.hWnd(), WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
  }
  void Down(iButton& b, int x, int y) { SendMessage(b.hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
  void Up(iButton& b, int x, int y, bool over) {
    g_underPointer = over ? b.hWnd() : 0;
    SendMessage(b.hWnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void Tick(iButton& b, bool over) {
    g_underPointer = over ? b.hWnd() : 0;
    SendMessage(b.hWnd(), WM_TIMER, iButton::kTimer1, 0);
  }
  static COLORREF At(const iButton& b, int x, int y) { return GetPixel(b.hDC(), x, y); }

  std::vector<std::string> events;
};

using Events = std::vector<std::string>;

TEST_F(IButtonTest, AutoSizeMakesTheControlOneFrame) {
  auto b = Make(1500, 600);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  EXPECT_EQ(360, b->Width());
  EXPECT_EQ(270, b->Height());
  EXPECT_EQ(24, b->PixelWidth());
  EXPECT_EQ(4, b->FrameCount());
  // A later resize by the host snaps back to one frame.
  b->Move(0, 0, 3000, 3000);
  EXPECT_EQ(360, b->Width());
  EXPECT_EQ(270, b->Height());
}

TEST_F(IButtonTest, NarrowStripSkinsAWideButton) {
  auto b = Make(1500, 450);
  b->AutoSize(false);
  // 13 columns: frames of 4 pixels, red 0..3, green 4..7, blue 8..11, one spare column.
  b->BackPicture(Strip(13, 22, {kRed, kRed, kRed, kRed, kGreen, kGreen, kGreen, kGreen, kBlue, kBlue,
                                kBlue, kBlue, kYellow}));
  EXPECT_EQ(4, b->FrameWidth());
  EXPECT_EQ(1500, b->Width());
  for (int x : {0, 50, 99}) EXPECT_EQ(kRed, At(*b, x, 15)) << x;
  b->cMouseAction(face::kHover, false);
  for (int x : {0, 50, 99}) EXPECT_EQ(kGreen, At(*b, x, 15)) << x;
  b->cMouseAction(face::kPressed, false);
  for (int x : {0, 50, 99}) EXPECT_EQ(kBlue, At(*b, x, 29)) << x;
}

TEST_F(IButtonTest, ValueSelectsTheSecondRowOfAToggleOnly) {
  auto b = Make(375, 270);
  b->BackPicture(Strip(150, 18, {kRed, kGreen, kBlue, kYellow, kCyan, kGrey}));
  b->Value(true);
  EXPECT_FALSE(b->Value());  // Style 0
  EXPECT_EQ(kRed, At(*b, 10, 9));
  b->Style(1);
  EXPECT_EQ(25, b->FrameWidth());
  b->Value(true);
  EXPECT_TRUE(b->Value());
  EXPECT_EQ(kYellow, At(*b, 10, 9));
  b->cMouseAction(face::kPressed, false);
  EXPECT_EQ(kGrey, At(*b, 10, 9));
}

TEST_F(IButtonTest, DisabledPushButtonShowsTheNormalFrameWashedOut) {
  auto b = Make(360, 270);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  b->Enabled(false);
  EXPECT_EQ(face::kDisabled, b->VisualState());
  // Frame 3 lies right of the strip: red under translucent grey.
  const COLORREF c = At(*b, 10, 9);
  EXPECT_GT(GetRValue(c), 200);
  EXPECT_GT(GetGValue(c), 100);
  EXPECT_EQ(GetGValue(c), GetBValue(c));
  // Disabled input raises nothing.
  Move(*b, 5, 5, true);
  Down(*b, 5, 5);
  EXPECT_EQ(Events{}, events);
}

TEST_F(IButtonTest, LockedShowsPressedFrameButMovesTheCaptionOnlyInStatePressed) {
  auto b = Make(1500, 450);
  b->AutoSize(false);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  b->cForeColor(RGB(255, 255, 255));
  b->Caption("Go");
  b->Locked(true);
  EXPECT_EQ(kBlue, At(*b, 1, 1));
  auto inkLeft = [&] {
    for (int x = 0; x < b->PixelWidth(); ++x)
      for (int y = 0; y < b->PixelHeight(); ++y)
        if (At(*b, x, y) != kBlue) return x;
    return -1;
  };
  const int normal = inkLeft();
  ASSERT_GT(normal, 0);
  b->cMouseAction(face::kPressed, false);
  EXPECT_EQ(normal + 1, inkLeft());
}

TEST_F(IButtonTest, EmptyCaptionPrintsNothing) {
  auto b = Make(360, 270);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  for (int x = 0; x < 24; ++x)
    for (int y = 0; y < 18; ++y) ASSERT_EQ(kRed, At(*b, x, y)) << x << "," << y;
}

TEST_F(IButtonTest, HoverPressDragOutAndBackReleaseOutsideGivesNoClick) {
  auto b = Make(360, 270);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  std::vector<int> states;
  auto note = [&] { states.push_back(b->VisualState()); };
  Move(*b, 5, 5, true), note();
  EXPECT_TRUE(b->Timer1Enabled());
  Down(*b, 5, 5), note();
  Move(*b, -20, 5, false, MK_LBUTTON);
  Tick(*b, false), note();
  Move(*b, 5, 5, true, MK_LBUTTON);
  Tick(*b, true), note();
  Move(*b, -20, 5, false, MK_LBUTTON);
  Tick(*b, false), note();
  Up(*b, -20, 5, false), note();
  EXPECT_TRUE(b->Timer1Enabled());  // polls until the pointer is found away
  Tick(*b, false), note();
  EXPECT_EQ((Events{"MouseMove", "MouseOver", "MouseDown 1", "MouseMove", "MouseMove", "MouseMove",
                    "MouseUp 1", "MouseOut"}),
            events);
  EXPECT_EQ((std::vector<int>{1, 2, 0, 2, 0, 0, 0}), states);
  EXPECT_FALSE(b->Timer1Enabled());
  EXPECT_FALSE(b->Hovering());
  EXPECT_FALSE(b->Value());
}

TEST_F(IButtonTest, ClickOnAToggleFlipsValueAndShowsHover) {
  auto b = Make(375, 270);
  b->Style(1);
  b->BackPicture(Strip(150, 18, {kRed, kGreen, kBlue, kYellow, kCyan, kGrey}));
  Move(*b, 5, 5, true);
  Down(*b, 5, 5);
  Up(*b, 5, 5, true);
  EXPECT_EQ((Events{"MouseMove", "MouseOver", "MouseDown 1", "MouseUp 1", "Click"}), events);
  EXPECT_TRUE(b->Value());
  EXPECT_EQ(face::kHover, b->VisualState());
  EXPECT_EQ(kCyan, At(*b, 3, 3));  // hover with Value true
}

TEST_F(IButtonTest, DoubleClickRaisesDBClickInPlaceOfTheSecondPress) {
  auto b = Make(360, 270);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  Move(*b, 5, 5, true);
  Down(*b, 5, 5);
  Up(*b, 5, 5, true);
  SendMessage(b->hWnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(face::kPressed, b->VisualState());
  Up(*b, 5, 5, true);
  EXPECT_EQ((Events{"MouseMove", "MouseOver", "MouseDown 1", "MouseUp 1", "Click", "DBClick", "MouseUp 1"}),
            events);
}

TEST_F(IButtonTest, HostTurningTheButtonIntoRightButtonStopsThePress) {
  auto b = Make(360, 270);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  b->MouseDown = [&](short& btn, short&, float&, float&) {
    events.push_back("MouseDown");
    btn = controls::kRightButton;
  };
  Move(*b, 5, 5, true);
  Down(*b, 5, 5);
  EXPECT_EQ(face::kHover, b->VisualState());
  Up(*b, 5, 5, true);
  EXPECT_EQ((Events{"MouseMove", "MouseOver", "MouseDown", "MouseUp 1"}), events);  // no Click
}

TEST_F(IButtonTest, EnterClicksOnKeyDownSpaceOnKeyUp) {
  auto b = Make(360, 270);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  SendMessage(b->hWnd(), WM_KEYDOWN, VK_RETURN, 0);
  SendMessage(b->hWnd(), WM_CHAR, '\r', 0);
  SendMessage(b->hWnd(), WM_KEYUP, VK_RETURN, 0);
  EXPECT_EQ((Events{"KeyDown 13", "Click", "KeyPress 13", "KeyUP 13"}), events);
  events.clear();
  SendMessage(b->hWnd(), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(face::kPressed, b->VisualState());
  SendMessage(b->hWnd(), WM_CHAR, ' ', 0);
  SendMessage(b->hWnd(), WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(face::kNormal, b->VisualState());
  EXPECT_EQ((Events{"KeyDown 32", "KeyPress 32", "KeyUP 32", "Click"}), events);
}

TEST_F(IButtonTest, KeyDownHandlerZeroingKeyCodePreventsTheReaction) {
  auto b = Make(375, 270);
  b->Style(1);
  b->BackPicture(Strip(150, 18, {kRed, kGreen, kBlue, kYellow, kCyan, kGrey}));
  b->KeyDown = [&](short& k, short&) {
    events.push_back("KeyDown");
    k = 0;
  };
  b->KeyUP = [&](short& k, short&) {
    events.push_back("KeyUP");
    k = 0;
  };
  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
    SendMessage(b->hWnd(), WM_KEYDOWN, key, 0);
    EXPECT_EQ(face::kNormal, b->VisualState());
    SendMessage(b->hWnd(), WM_KEYUP, key, 0);
  }
  EXPECT_EQ((Events{"KeyDown", "KeyUP", "KeyDown", "KeyUP"}), events);
  EXPECT_FALSE(b->Value());
}

TEST_F(IButtonTest, FocusDrawsTheRectangleAndTheNextRepaintRemovesIt) {
  auto b = Make(600, 300);
  b->AutoSize(false);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  ASSERT_EQ(kRed, At(*b, 3, 3));
  SendMessage(b->hWnd(), WM_SETFOCUS, 0, 0);
  EXPECT_NE(kRed, At(*b, 3, 3));   // the dotted line starts at (3, 3)
  EXPECT_EQ(kRed, At(*b, 2, 2));
  EXPECT_NE(kRed, At(*b, 3, 15));  // left edge, every other pixel down to 16
  SendMessage(b->hWnd(), WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(kRed, At(*b, 3, 3));
}

TEST_F(IButtonTest, TimerRunsOnlyWhileHoveredOrPressed) {
  auto b = Make(360, 270);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  EXPECT_FALSE(b->Timer1Enabled());
  Move(*b, 5, 5, true);
  EXPECT_TRUE(b->Timer1Enabled());
  Tick(*b, true);
  EXPECT_TRUE(b->Timer1Enabled());
  Tick(*b, false);
  EXPECT_FALSE(b->Timer1Enabled());
  EXPECT_EQ((Events{"MouseMove", "MouseOver", "MouseOut"}), events);
  // A stray tick after MouseOut changes nothing.
  Tick(*b, false);
  EXPECT_EQ(3u, events.size());
}

TEST_F(IButtonTest, PropertiesAreReadAndWrittenInTheirOrders) {
  PropertyBag design;
  design.WriteProperty("Caption", std::string("是"));
  design.ClearAccesses();
  auto b = Make(975, 375, &design);
  using A = PropertyBag::Access;
  EXPECT_EQ((std::vector<A>{{false, "BackPicture"}, {false, "Icon"}, {false, "Enabled"},
                            {false, "cBackStyle"}, {false, "Caption"}, {false, "Style"},
                            {false, "AutoSize"}, {false, "cForeColor"}, {false, "cFont"},
                            {false, "cDrawMode"}}),
            design.Accesses());
  EXPECT_EQ("是", b->Caption());
  PropertyBag saved;
  b->WriteProperties(saved);
  EXPECT_EQ((std::vector<A>{{true, "BackPicture"}, {true, "Icon"}, {true, "Enabled"}, {true, "Style"},
                            {true, "cBackStyle"}, {true, "Caption"}, {true, "AutoSize"}, {true, "cFont"},
                            {true, "cDrawMode"}, {true, "cForeColor"}}),
            saved.Accesses());
  // Defaults are left out; the surface's font, mode and colour are always stored.
  EXPECT_EQ((std::vector<std::string>{"Caption", "cFont", "cDrawMode", "cForeColor"}), saved.Keys());
}

TEST_F(IButtonTest, SettersTellTheHostWhichPropertyChanged) {
  auto b = Make(360, 270);
  std::vector<std::string> changed;
  b->PropertyChangedHandler = [&](std::string_view n) { changed.emplace_back(n); };
  b->Caption("x");
  b->Style(1);
  b->BackPicture(Strip(150, 18, {kRed, kGreen, kBlue, kYellow, kCyan, kGrey}));
  b->Icon(nullptr);
  b->Enabled(true);
  b->cBackStyle(0);
  b->AutoSize(true);
  b->cForeColor(RGB(1, 2, 3));
  b->cDrawMode(13);
  b->cFont(controls::StdFont{"", 10});
  b->Locked(true);  // not persisted
  b->Value(true);   // not persisted
  EXPECT_EQ((std::vector<std::string>{"Caption", "Style", "BackPicture", "Icon", "Enabled", "cBackStyle",
                                      "AutoSize", "cForeColor", "cDrawMode", "cFont"}),
            changed);
}

TEST_F(IButtonTest, BadPicturesAndSizesAreHarmless) {
  auto b = Make(360, 270);
  b->Caption("A");
  b->BackPicture(nullptr);  // no picture: only the caption
  EXPECT_FALSE(b->FramesReady());
  b->BackPicture(Strip(1, 1, {kRed}));  // frames of 0 x 1: nothing to draw, size kept
  EXPECT_EQ(360, b->Width());
  for (int style : {2, -1, 1000000}) {
    b->Style(style);
    b->cMouseAction(face::kDisabled, true);
  }
  b->Style(0);
  b->AutoSize(false);
  b->Move(0, 0, 0, 0);
  SendMessage(b->hWnd(), WM_SETFOCUS, 0, 0);
  Move(*b, 0, 0, true);
  Down(*b, 0, 0);
  Up(*b, 0, 0, true);
  EXPECT_EQ(0, b->PixelWidth());
}

TEST_F(IButtonTest, TransparentBackStyleTakesTheFrameAsMask) {
  auto b = Make(360, 270);
  b->cBackStyle(controls::kBackTransparent);
  b->BackPicture(Strip(72, 18, {kRed, kGreen, kBlue}));
  EXPECT_EQ(kRed, At(*b, 5, 5));
  b->AutoSize(false);
  b->Move(0, 0, 600, 300);
  EXPECT_EQ(kRed, At(*b, 30, 15));
  EXPECT_EQ(controls::kBackTransparent, b->cBackStyle());
}

}  // namespace
