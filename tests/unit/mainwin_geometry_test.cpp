// The main window's geometry without a display: the border hit test at 4, 5 and 6 pixels from
// every edge and corner, the outline's limits while dragging, the restored placement fitted to
// the work area, and the layout arithmetic where it clamps.

#include <gtest/gtest.h>

#include "mainwin/MainLayout.h"
#include "mainwin/cSetStyle.h"

namespace {

using platform::RECT;
using namespace setstyle;

TEST(MainWindowGeometry, HitTestAtFourFiveAndSixPixelsFromEachEdgeAndCorner) {
  const RECT w{100, 100, 1100, 800};
  struct Row {
    int zone;
    int x, y;    // the edge or corner point
    int dx, dy;  // inwards
  };
  const Row rows[] = {
      {kTop, 600, 100, 0, 1},     {kTopRight, 1100, 100, -1, 1},
      {kRight, 1100, 450, -1, 0}, {kBottomRight, 1100, 800, -1, -1},
      {kBottom, 600, 800, 0, -1}, {kBottomLeft, 100, 800, 1, -1},
      {kLeft, 100, 450, 1, 0},    {kTopLeft, 100, 100, 1, 1},
  };
  for (const Row& r : rows) {
    for (int d : {0, 4, 5, 6}) {
      const int expected = d <= kEdge ? r.zone : kNone;
      EXPECT_EQ(expected, HitTest(w, r.x + r.dx * d, r.y + r.dy * d))
          << "zone " << r.zone << " at " << d << " px inside";
      // Outside the window the same distance counts.
      EXPECT_EQ(expected, HitTest(w, r.x - r.dx * d, r.y - r.dy * d))
          << "zone " << r.zone << " at " << d << " px outside";
    }
  }
  // Corners win: 5 px from the left and 5 px from the bottom is the corner, not the left edge.
  EXPECT_EQ(kBottomLeft, HitTest(w, 105, 795));
  // Along an edge, the 5 px next to a corner belong to neither that edge nor the corner.
  EXPECT_EQ(kTopRight, HitTest(w, 1100, 105));
  EXPECT_EQ(kRight, HitTest(w, 1100, 106));
  EXPECT_EQ(kNone, HitTest(w, 600, 450));
}

TEST(MainWindowGeometry, OutlineKeepsRightBottomAndLeftEdgesBeyondTheLimitsButNotTheTop) {
  const RECT start{100, 100, 1100, 800};
  struct Row {
    int zone, x, y;
    RECT expected;
  };
  const Row rows[] = {
      {kRight, 1300, 0, {100, 100, 1300, 800}},
      {kRight, 900, 0, {100, 100, 1100, 800}},  // would be exactly 800 wide: stays
      {kRight, 901, 0, {100, 100, 901, 800}},
      {kBottom, 0, 700, {100, 100, 1100, 800}},  // exactly 600 tall: stays
      {kBottom, 0, 701, {100, 100, 1100, 701}},
      {kLeft, 300, 0, {100, 100, 1100, 800}},
      {kLeft, 299, 0, {299, 100, 1100, 800}},
      {kBottomRight, 500, 1000, {100, 100, 1100, 1000}},
      {kBottomLeft, 50, 650, {50, 100, 1100, 800}},
      {kTop, 0, 950, {100, 950, 1100, 800}},  // the top has no limit and may pass the bottom
      {kTopLeft, 40, 20, {40, 20, 1100, 800}},
      {kTopRight, 1500, 900, {100, 900, 1500, 800}},
  };
  for (const Row& r : rows) {
    RECT o = start;
    UpdateOutline(r.zone, o, r.x, r.y);
    EXPECT_EQ(r.expected, o) << "zone " << r.zone << " to " << r.x << "," << r.y << ": " << o.left
                             << "," << o.top << "," << o.right << "," << o.bottom;
  }
}

TEST(MainWindowGeometry, ARestoredPlacementFitsInsideTheWorkArea) {
  struct Row {
    const char* what;
    RECT placement, work, expected;
  };
  const Row rows[] = {
      {"fits already", {100, 80, 1136, 719}, {0, 0, 1600, 1000}, {100, 80, 1136, 719}},
      {"centred design size on 1024 x 768",
       {-6, 64, 1030, 703},
       {0, 0, 1024, 768},
       {0, 64, 1024, 703}},
      {"taller than a 600 pixel area with a panel on top",
       {0, 0, 1036, 639},
       {0, 40, 1024, 600},
       {0, 40, 1024, 600}},
      {"off to the right and below",
       {900, 700, 1936, 1339},
       {0, 0, 1600, 1000},
       {564, 361, 1600, 1000}},
      {"off to the left and above a side panel",
       {-300, -50, 736, 589},
       {64, 0, 1600, 1000},
       {64, 0, 1100, 639}},
  };
  for (const Row& r : rows) {
    const RECT got = FitInside(r.placement, r.work);
    EXPECT_EQ(r.expected, got) << r.what << ": " << got.left << "," << got.top << "," << got.right
                               << "," << got.bottom;
  }
}

TEST(MainWindowGeometry, LayoutClampsWhatWouldBeNegative) {
  const mainlayout::Layout zero = mainlayout::Compute(0, 0, 0);
  EXPECT_EQ((mainlayout::Box{2300, 45, 0, 480}), zero.WebuTab);
  EXPECT_EQ((mainlayout::Box{60, 480, 0, 0}), zero.Picture1);
  EXPECT_EQ(zero.Picture1, zero.pCnt);
  EXPECT_EQ((mainlayout::Box{-30, -30, 60, 60}), zero.WebBrowser1);
  EXPECT_EQ(1, zero.shapeRight);
  EXPECT_EQ(1, zero.shapeBottom);
  EXPECT_EQ(-730, zero.web_close);  // left edges may be negative: the window clips them
}

}  // namespace
