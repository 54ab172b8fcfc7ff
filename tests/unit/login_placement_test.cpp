// Where the login screen goes in work areas of several sizes.

#include <gtest/gtest.h>

#include "app/LoginBgFrm.h"

using platform::POINT;
using platform::RECT;

namespace {

struct Row {
  const char* name;
  RECT work;
  POINT expected;
};

TEST(LoginPlacement, CentredWhenItFitsElseThePageAndPicturesStayOnScreen) {
  const Row rows[] = {
      {"fits: centred", {0, 0, 1600, 1000}, {181, 152}},
      {"exactly fits", {0, 0, 1237, 696}, {0, 0}},
      {"1024 x 768: moved left until the close picture is on screen",
       {0, 0, 1024, 768},
       {-162, 36}},
      {"a panel above", {0, 30, 1024, 768}, {-162, 51}},
      {"a panel on the left", {48, 0, 1072, 768}, {-114, 36}},
      {"800 x 600: the span just fits", {0, 0, 800, 600}, {-386, -48}},
      {"640 x 480: too narrow, the page's left edge stays", {0, 0, 640, 480}, {-415, -124}},
      {"640 x 400: too small, the span's top-left corner stays", {0, 0, 640, 400}, {-415, -125}},
  };
  for (const Row& row : rows) {
    const POINT at = LoginScreenOrigin(row.work);
    EXPECT_EQ(at, row.expected) << row.name << ": got " << at.x << "," << at.y;
    // The page (415, 179)-(1147, 604) and the pictures up to (1186, 125) inside the work area
    // whenever that span fits.
    if (row.work.Width() >= 771 && row.work.Height() >= 479) {
      EXPECT_GE(at.x + 415, row.work.left) << row.name;
      EXPECT_LE(at.x + 1186, row.work.right) << row.name;
      EXPECT_GE(at.y + 125, row.work.top) << row.name;
      EXPECT_LE(at.y + 604, row.work.bottom) << row.name;
    }
  }
}

}  // namespace
