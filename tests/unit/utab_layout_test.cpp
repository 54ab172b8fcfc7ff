// The tab strip's geometry as tables: shared tab widths, tab positions, hit testing and where
// each part of a tab is painted, in both styles, with a few tabs and with hundreds.

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "tabstrip/TabLayout.h"

using namespace tablayout;

namespace {

// ---- ComputeTabWidth ----

struct WidthCase {
  const char* name;
  int style, clientWidth, left, right, count, locked;
  int expected;
};

void PrintTo(const WidthCase& c, std::ostream* os) { *os << c.name; }

class uTabWidth : public ::testing::TestWithParam<WidthCase> {};

TEST_P(uTabWidth, Computes) {
  const WidthCase& c = GetParam();
  EXPECT_EQ(c.expected,
            ComputeTabWidth(c.style, c.clientWidth, c.left, c.right, c.count, c.locked));
}

INSTANTIATE_TEST_SUITE_P(
    Table, uTabWidth,
    ::testing::Values(
        // (460 - 14) / 3 = 148.67 -> 149, capped to the full width.
        WidthCase{"Style0ThreeTabsCapped", 0, 500, 40, 0, 3, 0, 108},
        // 460 - 10 x 5 = 410, / 10.
        WidthCase{"Style1TenTabs", 1, 500, 40, 0, 10, 0, 41},
        // One locked tab of four: 460 - 200 - 20 = 240 shared by three.
        WidthCase{"Style1OneLockedOfFour", 1, 500, 40, 0, 4, 1, 80},
        WidthCase{"Style0NoTabs", 0, 500, 40, 0, 0, 0, 108},
        WidthCase{"Style1NoTabs", 1, 500, 40, 0, 0, 0, 200},
        WidthCase{"Style1AllLocked", 1, 300, 40, 0, 2, 2, 200},
        WidthCase{"RightMarginCounts", 1, 500, 40, 100, 4, 0, 85},  // (360 - 20) / 4
        // Halves go to the even number: 105 / 2 = 52.5 -> 52, 107 / 2 = 53.5 -> 54.
        WidthCase{"HalfDownToEven", 0, 159, 40, 0, 2, 0, 52},
        WidthCase{"HalfUpToEven", 0, 161, 40, 0, 2, 0, 54},
        WidthCase{"AnyNonZeroStyleIsStyle1", 7, 500, 40, 0, 10, 0, 41},
        // Hundreds of tabs: no lower bound.
        WidthCase{"Style0ThreeHundredTabs", 0, 500, 40, 0, 300, 0, 1},    // 446 / 300
        WidthCase{"Style0ThousandTabsZero", 0, 500, 40, 0, 1000, 0, 0},   // 0.446
        WidthCase{"Style1ThreeHundredTabsNegative", 1, 500, 40, 0, 300, 0, -3},  // -1040 / 300
        WidthCase{"NarrowerThanMargins", 1, 20, 40, 0, 2, 0, -15},        // (-20 - 10) / 2
        WidthCase{"LockedBeyondRoom", 1, 500, 40, 0, 4, 3, -160}),        // 460 - 600 - 20
    [](const auto& info) { return std::string(info.param.name); });

// ---- LayoutTabs ----

TEST(uTabLayout, Style0TabsFollowEachOtherFrom14) {
  const bool locked[] = {false, false, false};
  EXPECT_EQ((std::vector<TabBox>{{14, 108}, {122, 108}, {230, 108}}), LayoutTabs(0, 108, locked));
}

TEST(uTabLayout, Style1LeavesFivePixelsAfterEachTab) {
  const bool locked[10] = {};
  const std::vector<TabBox> boxes = LayoutTabs(1, 41, locked);
  ASSERT_EQ(10u, boxes.size());
  for (int i = 0; i < 10; ++i) EXPECT_EQ((TabBox{46 * i, 41}), boxes[i]) << i;
}

TEST(uTabLayout, LockedTabsKeepTheFullWidth) {
  const bool locked[] = {false, true, false, false};
  EXPECT_EQ((std::vector<TabBox>{{0, 80}, {85, 200}, {290, 80}, {375, 80}}),
            LayoutTabs(1, 80, locked));
  const bool locked0[] = {true, false};
  EXPECT_EQ((std::vector<TabBox>{{14, 108}, {122, 30}}), LayoutTabs(0, 30, locked0));
}

TEST(uTabLayout, NegativeWidthsWalkBackwards) {
  const bool locked[3] = {};
  EXPECT_EQ((std::vector<TabBox>{{0, -8}, {-3, -8}, {-6, -8}}), LayoutTabs(1, -8, locked));
}

TEST(uTabLayout, ThousandsOfTabs) {
  const std::vector<char> storage(5000, 0);
  const std::span<const bool> locked(reinterpret_cast<const bool*>(storage.data()), storage.size());
  const int w = ComputeTabWidth(1, 800, 10, 0, 5000, 0);
  const std::vector<TabBox> boxes = LayoutTabs(1, w, locked);
  ASSERT_EQ(5000u, boxes.size());
  EXPECT_EQ(std::int64_t{4999} * (w + 5), boxes.back().left);
}

// ---- HitTest ----

struct HitCase {
  const char* name;
  int style;
  double x, y;
  Hit expected;
};

void PrintTo(const HitCase& c, std::ostream* os) { *os << c.name; }

// Style 0, strip 500 wide, margins 40 and 0, the three tabs of the example: Left 14, 122, 230,
// all 108 wide; the third has no close button.
const std::vector<HitTab> kStyle0Tabs = {{14, 108, false}, {122, 108, false}, {230, 108, true}};
// Style 1, strip 500 wide, margins 10 and 50: a first tab narrower than 10, then two of 41.
const std::vector<HitTab> kStyle1Tabs = {{0, 6, false}, {11, 41, false}, {57, 41, false}};

class uTabHitTesting : public ::testing::TestWithParam<HitCase> {};

TEST_P(uTabHitTesting, FindsTheTab) {
  const HitCase& c = GetParam();
  const Hit hit = c.style == 0 ? HitTest(0, c.x, c.y, 500, 40, 0, kStyle0Tabs)
                               : HitTest(1, c.x, c.y, 500, 10, 50, kStyle1Tabs);
  EXPECT_EQ(c.expected.index, hit.index);
  EXPECT_EQ(c.expected.close, hit.close);
}

INSTANTIATE_TEST_SUITE_P(
    Table, uTabHitTesting,
    ::testing::Values(
        HitCase{"LeftOfStrip", 0, -1, 5, {-3}},
        HitCase{"RightOfStrip", 0, 501, 5, {-3}},
        HitCase{"AboveStrip", 0, 100, -1, {-3}},
        HitCase{"Row26IsOutside", 0, 100, 26, {-3}},
        HitCase{"Row25IsInside", 0, 100, 25, {0}},
        HitCase{"HalfRoundsToEvenInside", 0, -0.5, 5, {-2}},  // -0.5 -> 0: the margin
        HitCase{"InLeftMargin", 0, 39, 5, {-2}},
        HitCase{"HalfRoundsToEvenIntoArea", 0, 39.5, 5, {0}},  // 39.5 -> 40
        HitCase{"HalfRoundsToEvenOutOfArea", 0, 38.5, 5, {-2}},  // 38.5 -> 38
        HitCase{"SlantOfFirstTab", 0, 50, 5, {0}},
        HitCase{"InsideFirstTab", 0, 100, 12, {0}},
        HitCase{"BoundaryBelongsToLeftTab", 0, 40 + 122, 12, {0}},
        HitCase{"JustRightOfBoundary", 0, 40 + 123, 12, {1}},
        HitCase{"CloseTopLeft", 0, 40 + 206, 6, {1, true}},
        HitCase{"CloseBottomRight", 0, 40 + 218, 18, {1, true}},
        HitCase{"RightOfClose", 0, 40 + 219, 12, {1}},
        HitCase{"LeftOfClose", 0, 40 + 205, 12, {1}},
        HitCase{"BelowClose", 0, 40 + 210, 19, {1}},
        HitCase{"AboveClose", 0, 40 + 210, 5, {1}},
        HitCase{"CloseOfFirstTab", 0, 40 + 98, 10, {0, true}},
        HitCase{"HiddenButtonNeverHit", 0, 40 + 314, 10, {2}},
        HitCase{"BeyondLastTab", 0, 40 + 339, 10, {-1}},
        HitCase{"RightEdgeOfStrip", 0, 500, 10, {-1}},
        // Style 1: the bound is still row 25 although the strip is 32 high.
        HitCase{"Style1Row26IsOutside", 1, 100, 26, {-3}},
        HitCase{"Style1Row31IsOutside", 1, 100, 31, {-3}},
        HitCase{"Style1NarrowFirstTabTakesTenPixels", 1, 10 + 10, 10, {0}},
        HitCase{"Style1FourteenStillFirst", 1, 10 + 14, 10, {0}},
        HitCase{"Style1SecondTab", 1, 10 + 15, 10, {1}},
        HitCase{"Style1Gap", 1, 10 + 54, 10, {-1}},
        HitCase{"Style1CloseTopLeft", 1, 10 + 32, 7, {1, true}},
        HitCase{"Style1CloseBottomRight", 1, 10 + 44, 19, {1, true}},
        HitCase{"Style1BelowClose", 1, 10 + 40, 20, {1}},
        HitCase{"Style1AboveClose", 1, 10 + 40, 6, {1}},
        HitCase{"Style1RightMargin", 1, 451, 10, {-2}},
        HitCase{"Style1RightMarginEdge", 1, 450, 10, {-1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(uTabHitTest, WithoutTabsTheAreaIsNoTab) {
  EXPECT_EQ(-1, HitTest(0, 45, 5, 500, 40, 0, {}).index);
  EXPECT_EQ(-1, HitTest(1, 200, 5, 500, 10, 0, {}).index);
}

TEST(uTabHitTest, HundredsOfZeroWidthTabs) {
  // Style 0, 1000 tabs of width 0, all at Left 14: only the first 14 pixels find a tab.
  const std::vector<HitTab> tabs(1000, HitTab{14, 0, false});
  EXPECT_EQ(0, HitTest(0, 40 + 14, 5, 500, 40, 0, tabs).index);
  EXPECT_EQ(-1, HitTest(0, 40 + 15, 5, 500, 40, 0, tabs).index);
  EXPECT_EQ(-1, HitTest(0, 499, 5, 500, 40, 0, tabs).index);
}

TEST(uTabHitTest, HundredsOfNegativeWidthTabsMatchNothing) {
  const bool locked[300] = {};
  const int w = ComputeTabWidth(1, 500, 40, 0, 300, 0);
  std::vector<HitTab> tabs;
  for (const TabBox& b : LayoutTabs(1, w, locked)) tabs.push_back({b.left, b.width, false});
  for (int x = 40 + 15; x <= 500; x += 7) EXPECT_EQ(-1, HitTest(1, x, 5, 500, 40, 0, tabs).index);
  EXPECT_EQ(0, HitTest(1, 41, 5, 500, 40, 0, tabs).index);
}

TEST(uTabHitTest, NotANumberIsOutside) {
  EXPECT_EQ(-3, HitTest(0, std::nan(""), 5, 500, 40, 0, kStyle0Tabs).index);
}

// ---- PaintTab ----

TEST(uTabPaint, Style0ExampleTab) {
  // Left 122, Width 108: the piece covers x 108 .. 229 of the tab buffer, the close glyph
  // x 206 .. 217, y 6 .. 17.
  const TabPaint p = PaintTab(0, 122, 108, false, false, false, 0);
  EXPECT_EQ((Box{108, 0, 122, 25}), p.piece);
  EXPECT_EQ(1, p.pieceSrcX);
  EXPECT_EQ((Box{122, 0, 70, 25}), p.caption);
  EXPECT_TRUE(p.glyph);
  EXPECT_EQ((Box{206, 6, 12, 12}), p.glyphBox);
  EXPECT_EQ(379, p.glyphSrcX);
}

TEST(uTabPaint, Style0HiddenButtonWidensTheCaptionBy24) {
  const TabPaint p = PaintTab(0, 122, 108, true, false, false, 0);
  EXPECT_FALSE(p.glyph);
  EXPECT_EQ((Box{122, 0, 94, 25}), p.caption);
}

TEST(uTabPaint, Style0SelectedCaptionIgnoresTheButton) {
  EXPECT_EQ((Box{122, 0, 82, 25}), PaintTab(0, 122, 108, false, true, false, 0).caption);
  EXPECT_EQ((Box{122, 0, 82, 25}), PaintTab(0, 122, 108, true, true, false, 0).caption);
}

TEST(uTabPaint, Style1Boxes) {
  const TabPaint p = PaintTab(1, 46, 41, false, false, false, 0);
  EXPECT_EQ((Box{46, 0, 41, 26}), p.piece);
  EXPECT_EQ((Box{58, 0, 13, 26}), p.caption);
  EXPECT_EQ((Box{67, 7, 12, 12}), p.glyphBox);
  // Without a button the box ends 4 pixels beyond the tab; selection does not change the rule.
  EXPECT_EQ((Box{58, 0, 33, 26}), PaintTab(1, 46, 41, true, false, false, 0).caption);
  EXPECT_EQ((Box{58, 0, 33, 26}), PaintTab(1, 46, 41, true, true, false, 0).caption);
}

struct SourceCase {
  const char* name;
  int style;
  bool selected, hovered;
  int closeState;
  int pieceX, glyphX;
};

void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.name; }

class uTabPaintSources : public ::testing::TestWithParam<SourceCase> {};

TEST_P(uTabPaintSources, PickThePieces) {
  const SourceCase& c = GetParam();
  const TabPaint p = PaintTab(c.style, 0, 108, false, c.selected, c.hovered, c.closeState);
  EXPECT_EQ(c.pieceX, p.pieceSrcX);
  EXPECT_EQ(c.glyphX, p.glyphSrcX);
}

INSTANTIATE_TEST_SUITE_P(
    Table, uTabPaintSources,
    ::testing::Values(SourceCase{"Style0Normal", 0, false, false, 0, 1, 379},
                      SourceCase{"Style0Hovered", 0, false, true, 0, 123, 379},
                      SourceCase{"Style0HoveredOverClose", 0, false, true, 1, 123, 391},
                      SourceCase{"Style0HoveredPressed", 0, false, true, 2, 123, 403},
                      // CloseState belongs to the hovered tab only.
                      SourceCase{"Style0OtherTabIgnoresCloseState", 0, false, false, 2, 1, 379},
                      SourceCase{"Style0Selected", 0, true, false, 0, 245, 367},
                      SourceCase{"Style0SelectedHovered", 0, true, true, 0, 245, 367},
                      SourceCase{"Style0SelectedOverClose", 0, true, true, 1, 245, 391},
                      SourceCase{"Style0SelectedPressed", 0, true, true, 2, 245, 403},
                      SourceCase{"Style1Normal", 1, false, false, 0, 1, 385},
                      SourceCase{"Style1HoveredOverClose", 1, false, true, 1, 125, 397},
                      SourceCase{"Style1HoveredPressed", 1, false, true, 2, 125, 409},
                      SourceCase{"Style1Selected", 1, true, false, 0, 249, 373},
                      SourceCase{"Style1SelectedPressed", 1, true, true, 2, 249, 409}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
