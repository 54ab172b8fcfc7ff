// The tab strip's drawing, checked pixel by pixel on memory DCs: the skin routines on their own,
// then the strip's frame buffer against the skin bitmaps (pieces at their x, the selected tab
// over its neighbours, the close glyph states, captions inside their boxes, many tabs).
// The strip is a window, so these need the toolkit (they run on the test desktop); its window
// is never shown.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gdi_test_dc.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"
#include "platform/window/WindowDc.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/ITabForm.h"
#include "tabstrip/TabErrors.h"
#include "tabstrip/uTab.h"

using namespace platform;
using gditest::TestDc;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

bool Close(COLORREF a, COLORREF b, int tolerance = 2) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
         std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// ---- The skin routines on memory DCs --------------------------------------------------------

// A 40 x 4 source: 14 red columns, 12 green, 14 blue; column 0 magenta in row 0.
class uTabSkinRect : public ::testing::Test {
 protected:
  uTabSkinRect() : src(40, 4), dst(200, 4, kWhite) {
    src.Fill({0, 0, 14, 4}, kRed);
    src.Fill({14, 0, 26, 4}, kGreen);
    src.Fill({26, 0, 40, 4}, kBlue);
    SetPixel(src.dc(), 0, 0, kMagenta);
  }
  TestDc src;
  TestDc dst;
};

TEST_F(uTabSkinRect, EndsCopiedMiddleStretched) {
  EXPECT_NE(0, mdlTabAPI::DrawSkinRect(dst.dc(), 10, 0, 100, 4, src.dc(), 0, 0, 40, 4, 14, 0, 14,
                                       0));
  EXPECT_EQ(kWhite, GetPixel(dst.dc(), 9, 2));
  for (int x = 10; x < 24; ++x) EXPECT_EQ(kRed, GetPixel(dst.dc(), x, 2)) << x;
  for (int x = 25; x < 95; ++x) EXPECT_TRUE(Close(kGreen, GetPixel(dst.dc(), x, 2))) << x;
  for (int x = 96; x < 110; ++x) EXPECT_EQ(kBlue, GetPixel(dst.dc(), x, 2)) << x;
  EXPECT_EQ(kWhite, GetPixel(dst.dc(), 110, 2));
  // Without a colour the magenta pixel is copied like any other.
  EXPECT_EQ(kMagenta, GetPixel(dst.dc(), 10, 0));
}

TEST_F(uTabSkinRect, TransparentColourIsLeftOut) {
  mdlTabAPI::DrawSkinRect(dst.dc(), 10, 0, 100, 4, src.dc(), 0, 0, 40, 4, 14, 0, 14, 0, kMagenta);
  EXPECT_EQ(kWhite, GetPixel(dst.dc(), 10, 0));
  EXPECT_EQ(kRed, GetPixel(dst.dc(), 10, 1));
}

TEST_F(uTabSkinRect, NoBordersStretchTheWhole) {
  mdlTabAPI::DrawSkinRect(dst.dc(), 0, 0, 80, 4, src.dc(), 0, 0, 40, 4, 0, 0, 0, 0);
  EXPECT_TRUE(Close(kRed, GetPixel(dst.dc(), 2, 2)));
  EXPECT_TRUE(Close(kBlue, GetPixel(dst.dc(), 78, 2)));
  EXPECT_EQ(kWhite, GetPixel(dst.dc(), 80, 2));
}

TEST_F(uTabSkinRect, EmptyOrInvertedSizesDrawNothing) {
  const std::vector<COLORREF> before = dst.Row(2);
  EXPECT_EQ(0, mdlTabAPI::DrawSkinRect(dst.dc(), 10, 0, 0, 4, src.dc(), 0, 0, 40, 4, 14, 0, 14, 0));
  EXPECT_EQ(0, mdlTabAPI::DrawSkinRect(dst.dc(), 10, 0, 50, 4, src.dc(), 0, 0, 0, 4, 14, 0, 14, 0));
  EXPECT_EQ(0,
            mdlTabAPI::DrawSkinRect(dst.dc(), 10, 0, -30, 4, src.dc(), 0, 0, 40, 4, 14, 0, 14, 0));
  EXPECT_EQ(before, dst.Row(2));
}

TEST_F(uTabSkinRect, NarrowerThanItsEndsStaysInside) {
  mdlTabAPI::DrawSkinRect(dst.dc(), 50, 0, 20, 4, src.dc(), 0, 0, 40, 4, 14, 0, 14, 0, kMagenta);
  for (int x = 0; x < 200; ++x) {
    if (x < 50 || x >= 70) EXPECT_EQ(kWhite, GetPixel(dst.dc(), x, 2)) << x;
  }
  EXPECT_EQ(kRed, GetPixel(dst.dc(), 50, 2));
  EXPECT_EQ(kBlue, GetPixel(dst.dc(), 69, 2));
}

TEST(uTabTransBlt, LeavesOutTheColour) {
  TestDc src(4, 1, kRed);
  SetPixel(src.dc(), 1, 0, kMagenta);
  TestDc dst(6, 1, kWhite);
  EXPECT_NE(0, mdlTabAPI::TransBlt(dst.dc(), 1, 0, 4, 1, src.dc(), 0, 0, kMagenta));
  EXPECT_EQ((std::vector<COLORREF>{kWhite, kRed, kWhite, kRed, kRed, kWhite}), dst.Row(0));
}

TEST(uTabMemDC, FailureNamesTheCall) {
  try {
    mdlTabAPI::CreateMemDC(-1, 25);
    FAIL() << "no error";
  } catch (const TabError& e) {
    EXPECT_EQ(0, e.Number());
    EXPECT_EQ("CreateCompatibleBitmap调用失败", e.Description());
  }
}

TEST(uTabMemDC, FreeDeletesTheBitmap) {
  const HDC dc = mdlTabAPI::CreateMemDC(10, 10);
  const HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
  ASSERT_EQ(OBJ_BITMAP, GetObjectType(bitmap));
  EXPECT_EQ(1, mdlTabAPI::FreeMemDC(dc));
  EXPECT_EQ(0, GetObjectType(bitmap));
}

// ---- The strip's frame buffer ---------------------------------------------------------------

// A page with a hidden window of its own.
class Page : public ITabForm {
 public:
  Page() {
    CreateWindowArgs a;
    a.style = WS_CAPTION | WS_THICKFRAME;
    a.width = 100;
    a.height = 100;
    m_hwnd = CreateWindowEx(a);
  }
  ~Page() override { Unload(); }
  HWND hWnd() override { return m_hwnd; }
  void Initialize(IuTab*, std::weak_ptr<CTabItem>) override {}
  void RefreshPage() override {}
  void Unload() override {
    if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
  }

 private:
  HWND m_hwnd = 0;
};

class uTabDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    int argc = 1;
    char name[] = "unit_tests";
    char* args[] = {name, nullptr};
    char** argv = args;
    ASSERT_TRUE(InitToolkit(argc, argv)) << "needs a display (tools/with-desktop.sh)";
    CreateWindowArgs a;
    a.style = WS_POPUP;
    a.width = 500;
    a.height = 100;
    m_form = CreateWindowEx(a);
    ASSERT_NE(0u, m_form);
    m_skin[0] = std::make_unique<TestDc>(415, 25);
    m_skin[1] = std::make_unique<TestDc>(421, 28);
    for (int s = 0; s < 2; ++s) {
      const HBITMAP bitmap = LoadBitmapResource(s == 0 ? 106 : 107);
      ASSERT_NE(0u, bitmap);
      const HDC dc = CreateCompatibleDC(0);
      const HGDIOBJ old = SelectObject(dc, bitmap);
      BitBlt(m_skin[s]->dc(), 0, 0, 421, 28, dc, 0, 0, SRCCOPY);
      SelectObject(dc, old);
      DeleteDC(dc);
      DeleteObject(bitmap);
    }
  }
  void TearDown() override {
    strip.reset();
    if (IsWindow(m_form)) DestroyWindow(m_form);
  }

  void MakeStrip(int style, int left = 40, int right = 0) {
    controls::PropertyBag bag;
    bag.WriteProperty("TabStyle", style);
    bag.WriteProperty("TabLeftSize", left);
    bag.WriteProperty("TabRightSize", right);
    uTabCreateArgs args;
    args.parent = m_form;
    args.width = 500;
    args.properties = &bag;
    strip = std::make_unique<uTab>(args);
    m_style = style;
  }
  void AddTabs(int n, const std::string& caption = "") {
    for (int i = 0; i < n; ++i) strip->TabItems().Add(caption, std::make_shared<Page>());
  }
  COLORREF Frame(int x, int y) const { return GetPixel(strip->FrameBuffer(), x, y); }
  COLORREF Skin(int x, int y) const { return GetPixel(m_skin[m_style == 0 ? 0 : 1]->dc(), x, y); }
  void Move(int x, int y) { SendMessage(strip->hWnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }

  // Every non-magenta pixel of the skin rectangle (sx, sy, w, h) shows at (x, y) of the frame.
  ::testing::AssertionResult ShowsSkin(int x, int y, int sx, int w, int h, int sy = 0) const {
    int checked = 0;
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        const COLORREF s = Skin(sx + i, sy + j);
        if (s == kMagenta) continue;
        ++checked;
        if (!Close(s, Frame(x + i, y + j))) {
          return ::testing::AssertionFailure()
                 << "frame (" << x + i << ", " << y + j << ") = " << std::hex << Frame(x + i, y + j)
                  << ", skin (" << std::dec << sx + i << ", " << sy + j << ") = " << std::hex << s;
        }
      }
    }
    if (checked == 0) return ::testing::AssertionFailure() << "nothing to compare";
    return ::testing::AssertionSuccess();
  }

  std::vector<COLORREF> Picture() const {
    std::vector<COLORREF> out;
    const int h = m_style == 0 ? 25 : 32;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < 500; ++x) out.push_back(Frame(x, y));
    return out;
  }

  std::unique_ptr<uTab> strip;

 private:
  HWND m_form = 0;
  int m_style = 0;
  std::unique_ptr<TestDc> m_skin[2];
};

TEST_F(uTabDraw, NothingIsLaidOutOrDrawnBeforeUnlocking) {
  MakeStrip(0);
  AddTabs(3);
  EXPECT_EQ(0, strip->TabItems().Item(Variant(2))->Left());
  EXPECT_EQ(0, strip->TabItems().Item(Variant(2))->Width());
  EXPECT_EQ(RGB(0, 0, 0), Frame(5, 5));
  strip->LockReDraw(false);
  EXPECT_EQ(230, strip->TabItems().Item(Variant(2))->Left());
  EXPECT_EQ(108, strip->TabItems().Item(Variant(2))->Width());
  EXPECT_EQ(Skin(0, 5), Frame(5, 5));
}

TEST_F(uTabDraw, Style0BackgroundIsTheSkinColumn) {
  MakeStrip(0);
  strip->LockReDraw(false);
  for (int y = 0; y < 25; ++y) {
    EXPECT_EQ(Skin(0, y), Frame(0, y)) << y;
    EXPECT_EQ(Skin(0, y), Frame(499, y)) << y;
  }
}

TEST_F(uTabDraw, Style1BackgroundStretches28RowsTo32) {
  MakeStrip(1, 10);
  strip->LockReDraw(false);
  EXPECT_EQ(Skin(0, 0), Frame(3, 0));
  EXPECT_EQ(Skin(0, 27), Frame(3, 31));
  EXPECT_EQ(Skin(0, 27), Frame(490, 31));
}

TEST_F(uTabDraw, Style0TabPiecesAtTheirPlaces) {
  MakeStrip(0);
  AddTabs(3);
  strip->LockReDraw(false);
  // Tab 2 (Left 230): its piece starts 14 pixels left of it. Its left end lies under tab 1, and
  // its glyph is drawn over it; the rest is the skin's normal piece.
  EXPECT_TRUE(ShowsSkin(40 + 216 + 14, 0, 1 + 14, 84, 25));
  EXPECT_TRUE(ShowsSkin(40 + 216 + 110, 0, 1 + 110, 12, 25));
  // Its close glyph, normal.
  EXPECT_TRUE(ShowsSkin(40 + 206 + 108, 6, 379, 12, 12));
  // Tab 0 is selected (the first tab added): the selected piece and the selected glyph.
  EXPECT_TRUE(ShowsSkin(40 + 0, 0, 245, 84, 25));
  EXPECT_TRUE(ShowsSkin(40 + 98, 6, 367, 12, 12));
}

TEST_F(uTabDraw, Style1TabPiecesAtTheirPlaces) {
  MakeStrip(1, 10);
  AddTabs(2);
  strip->LockReDraw(false);
  // Two tabs of 200 at Left 0 and 205; the bottom 6 rows show the background.
  EXPECT_TRUE(ShowsSkin(10 + 205, 0, 1, 14, 26));
  EXPECT_TRUE(ShowsSkin(10 + 205 + 192, 0, 1 + 116, 8, 26));
  EXPECT_TRUE(ShowsSkin(10 + 205 + 180, 7, 385, 12, 12));
  EXPECT_TRUE(ShowsSkin(10, 0, 249, 14, 26));
  for (int x = 10; x < 420; x += 13) EXPECT_EQ(Frame(3, 28), Frame(x, 28)) << x;
  // Between the tabs: background.
  EXPECT_EQ(Frame(3, 12), Frame(10 + 202, 12));
}

TEST_F(uTabDraw, SelectedTabIsDrawnOverItsNeighbours) {
  MakeStrip(0);
  AddTabs(3);
  strip->LockReDraw(false);
  // Tabs 0 and 1 overlap at x 108 .. 121 of the tab area: tab 1's slanted left end over tab 0's
  // right end. The selected one of the two is on top.
  strip->Selected(1);
  EXPECT_TRUE(ShowsSkin(40 + 108, 0, 245, 14, 25));
  const std::vector<COLORREF> one = Picture();
  strip->Selected(0);
  EXPECT_TRUE(ShowsSkin(40 + 108, 0, 245 + 108, 14, 25));
  EXPECT_NE(one, Picture());
  // With tab 2 selected, tab 1's left end lies under tab 0 (right to left), and tab 2 is over
  // tab 1.
  strip->Selected(2);
  EXPECT_TRUE(ShowsSkin(40 + 108, 0, 1 + 108, 14, 25));
  EXPECT_TRUE(ShowsSkin(40 + 216, 0, 245, 14, 25));
}

TEST_F(uTabDraw, CloseGlyphFollowsTheMouse) {
  MakeStrip(0);
  AddTabs(3);
  strip->LockReDraw(false);
  // Over tab 1's close button: the red disc.
  Move(40 + 210, 10);
  ASSERT_EQ(1, strip->HoverIndex());
  ASSERT_EQ(1, strip->CloseState());
  EXPECT_TRUE(ShowsSkin(40 + 206, 6, 391, 12, 12));
  EXPECT_TRUE(ShowsSkin(40 + 108 + 30, 0, 123 + 30, 40, 25));  // the lighter piece
  // Pressed: the dark disc.
  SendMessage(strip->hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40 + 210, 10));
  ASSERT_EQ(2, strip->CloseState());
  EXPECT_TRUE(ShowsSkin(40 + 206, 6, 403, 12, 12));
  // Off the button, still on the tab: normal glyph on the lighter piece.
  SendMessage(strip->hWnd(), WM_LBUTTONUP, 0, MAKELPARAM(40 + 150, 10));
  Move(40 + 150, 10);
  ASSERT_EQ(0, strip->CloseState());
  EXPECT_TRUE(ShowsSkin(40 + 206, 6, 379, 12, 12));
  // The selected tab keeps its piece under the mouse; only its glyph reacts.
  Move(40 + 100, 10);
  ASSERT_EQ(0, strip->HoverIndex());
  EXPECT_TRUE(ShowsSkin(40 + 98, 6, 391, 12, 12));
  EXPECT_TRUE(ShowsSkin(40 + 20, 0, 245 + 20, 40, 25));
  // Leaving the strip.
  SendMessage(strip->hWnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(-1, strip->HoverIndex());
  EXPECT_TRUE(ShowsSkin(40 + 98, 6, 367, 12, 12));
}

TEST_F(uTabDraw, HiddenButtonDrawsNoGlyph) {
  MakeStrip(0);
  AddTabs(3);
  strip->TabItems().Item(Variant(1))->HideButton(true);
  strip->LockReDraw(false);
  EXPECT_TRUE(ShowsSkin(40 + 206, 6, 1 + 98, 12, 12, 6));  // the plain piece where the glyph was
}

// Draws the tab with one caption and then without; every pixel that differs lies in the box.
struct CaptionCase {
  const char* name;
  int style;
  bool selected;
  bool hideButton;
  const char* caption;
};

void PrintTo(const CaptionCase& c, std::ostream* os) { *os << c.name; }

class uTabCaptionBoxes : public uTabDraw, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(uTabCaptionBoxes, StayInside) {
  const CaptionCase& c = GetParam();
  MakeStrip(c.style, 40);
  AddTabs(3);
  strip->TabItems().Item(Variant(1))->HideButton(c.hideButton);
  strip->LockReDraw(false);
  strip->Selected(c.selected ? 1 : 0);
  const std::vector<COLORREF> empty = Picture();
  strip->TabItems().Item(Variant(1))->Caption(c.caption);
  const std::vector<COLORREF> drawn = Picture();
  auto item = strip->TabItems().Item(Variant(1));
  const tablayout::TabPaint p = tablayout::PaintTab(c.style, item->Left(), item->Width(),
                                                    c.hideButton, c.selected, false, 0);
  const int left = 40 + p.caption.x;
  const int right = left + p.caption.w;
  int minX = 500, maxX = -1, changed = 0;
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    if (drawn[i] == empty[i]) continue;
    const int x = static_cast<int>(i % 500);
    const int y = static_cast<int>(i / 500);
    ++changed;
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    EXPECT_TRUE(x >= left && x < right && y >= 0 && y < p.caption.h)
        << "pixel (" << x << ", " << y << ") outside the box x " << left << " .. " << right - 1;
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(changed, 0);
  if (std::string(c.caption).size() <= 3) {
    // A caption that fits is centred.
    EXPECT_LE(std::abs((minX + maxX + 1) - (left + right)), 3) << minX << " .. " << maxX;
  } else {
    // One that does not starts at the box's left edge.
    EXPECT_LE(minX - left, 3);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, uTabCaptionBoxes,
    ::testing::Values(
        CaptionCase{"Style0Short", 0, false, false, "Ab"},
        CaptionCase{"Style0ShortSelected", 0, true, false, "Ab"},
        CaptionCase{"Style0Long", 0, false, false, "A caption far too long for any tab here"},
        CaptionCase{"Style0LongNoButton", 0, false, true, "A caption far too long for any tab"},
        CaptionCase{"Style0LongSelected", 0, true, false, "A caption far too long for any tab"},
        CaptionCase{"Style0MixedCjkLatin", 0, false, false, "游戏中心 Game Center 很长很长的标题"},
        CaptionCase{"Style1Short", 1, false, false, "Ab"},
        CaptionCase{"Style1MixedCjkLatin", 1, true, false, "天空之城 Talmar2 冒险 online 游戏世界"},
        CaptionCase{"Style1LongNoButton", 1, false, true,
                    "A caption far too long for any tab on this strip at all, really"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(uTabDraw, EmptyCaptionDrawsNothing) {
  MakeStrip(0);
  AddTabs(3);
  strip->LockReDraw(false);
  const std::vector<COLORREF> before = Picture();
  strip->TabItems().Item(Variant(1))->Caption("");
  EXPECT_EQ(before, Picture());
}

TEST_F(uTabDraw, HundredsOfTabsInBothStyles) {
  for (int style : {0, 1}) {
    MakeStrip(style, 40);
    AddTabs(400, "游戏 Tab");
    strip->TabItems().Item(Variant(7))->LockSize(true);
    strip->LockReDraw(false);
    strip->Selected(200);
    Move(300, 10);
    Move(45, 10);
    SendMessage(strip->hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(45, 10));
    SendMessage(strip->hWnd(), WM_LBUTTONUP, 0, MAKELPARAM(45, 10));
    EXPECT_LE(strip->TabWidth(), 1) << style;
    EXPECT_EQ(400, strip->TabItems().Count());
    // The strip still shows its background at the right edge and has not lost its buffer.
    EXPECT_NE(0u, strip->FrameBuffer());
    strip.reset();
  }
}

TEST_F(uTabDraw, HostPaintsTheBackground) {
  MakeStrip(0);
  int cx = 0, cy = 0;
  strip->OnDrawBackground = [&](HDC hdc, std::int32_t w, std::int32_t h, bool& skip) {
    cx = w;
    cy = h;
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    RECT r{0, 0, w, h};
    FillRect(hdc, &r, b);
    DeleteObject(b);
    skip = true;
  };
  strip->LockReDraw(false);
  EXPECT_EQ(500, cx);
  EXPECT_EQ(25, cy);
  EXPECT_EQ(RGB(1, 2, 3), Frame(5, 5));
}

TEST_F(uTabDraw, TheWindowReceivesTheFrame) {
  MakeStrip(0);
  AddTabs(2, "Ab");
  strip->LockReDraw(false);
  const HDC dc = GetDC(strip->hWnd());
  for (int x = 0; x < 500; x += 37) EXPECT_EQ(Frame(x, 12), GetPixel(dc, x, 12)) << x;
  ReleaseDC(strip->hWnd(), dc);
}

}  // namespace
