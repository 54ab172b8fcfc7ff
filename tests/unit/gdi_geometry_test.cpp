// Geometry of the block transfers and of text cutting, without any surface.

#include <gtest/gtest.h>

#include <string>

#include "platform/gdi/Gdi.h"

namespace {

using platform::RECT;
using platform::SIZE;
using namespace platform::gdi;

struct ClipCase {
  const char* name;
  BlitCoords in;
  SIZE src, dst;
  std::optional<BlitCoords> want;
};

class ClipBlitTable : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipBlitTable, KeepsOnlyPixelsOnBothSurfaces) {
  const ClipCase& c = GetParam();
  EXPECT_EQ(ClipBlit(c.in, c.src, c.dst), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Gdi, ClipBlitTable,
    ::testing::Values(
        ClipCase{"Inside", {5, 6, 1, 2, 10, 8}, {20, 20}, {30, 30}, BlitCoords{5, 6, 1, 2, 10, 8}},
        ClipCase{"DestinationLeftOfSurface",
                 {-3, 0, 0, 0, 10, 5},
                 {20, 20},
                 {30, 30},
                 BlitCoords{0, 0, 3, 0, 7, 5}},
        ClipCase{"SourceAboveSurface",
                 {0, 4, 0, -2, 5, 5},
                 {20, 20},
                 {30, 30},
                 BlitCoords{0, 6, 0, 0, 5, 3}},
        ClipCase{"PastDestinationRight",
                 {25, 0, 0, 0, 10, 5},
                 {20, 20},
                 {30, 30},
                 BlitCoords{25, 0, 0, 0, 5, 5}},
        // A frame cut to the right of its strip: only the strip's pixels arrive.
        ClipCase{"PastSourceRight",
                 {0, 0, 72, 0, 24, 18},
                 {72 + 10, 18},
                 {24, 18},
                 BlitCoords{0, 0, 72, 0, 10, 18}},
        ClipCase{"BothSidesAtOnce",
                 {-2, -2, -1, -3, 40, 40},
                 {10, 10},
                 {12, 12},
                 BlitCoords{0, 1, 1, 0, 9, 10}},
        ClipCase{"EntirelyOutsideSource", {0, 0, 20, 0, 5, 5}, {20, 20}, {30, 30}, std::nullopt},
        ClipCase{
            "EntirelyOutsideDestination", {-10, 0, 0, 0, 5, 5}, {20, 20}, {30, 30}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct NormCase {
  const char* name;
  int x, y, w, h, sx, sy, sw, sh;
  std::optional<StretchCoords> want;
};

class NormaliseStretchTable : public ::testing::TestWithParam<NormCase> {};

TEST_P(NormaliseStretchTable, CoversAndMirrors) {
  const NormCase& c = GetParam();
  EXPECT_EQ(NormaliseStretch(c.x, c.y, c.w, c.h, c.sx, c.sy, c.sw, c.sh), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Gdi, NormaliseStretchTable,
    ::testing::Values(NormCase{"Positive", 1, 2, 10, 20, 3, 4, 5, 6,
                               StretchCoords{{1, 2, 11, 22}, {3, 4, 8, 10}, false, false}},
                      // A negative extent reaches back from its origin, including it.
                      NormCase{"NegativeDestinationWidthMirrors", 10, 0, -4, 5, 0, 0, 4, 5,
                               StretchCoords{{7, 0, 11, 5}, {0, 0, 4, 5}, true, false}},
                      NormCase{"NegativeSourceHeightMirrors", 0, 0, 4, 5, 0, 9, 4, -5,
                               StretchCoords{{0, 0, 4, 5}, {0, 5, 4, 10}, false, true}},
                      NormCase{"BothNegativeDoesNotMirror", 10, 0, -4, 5, 9, 0, -4, 5,
                               StretchCoords{{7, 0, 11, 5}, {6, 0, 10, 5}, false, false}},
                      // The middle of a tab narrower than its two ends.
                      NormCase{"NegativeMiddleOfNarrowTab", 14, 0, -8, 25, 15, 0, 94, 25,
                               StretchCoords{{7, 0, 15, 25}, {15, 0, 109, 25}, true, false}},
                      NormCase{"ZeroWidth", 0, 0, 0, 5, 0, 0, 4, 5, std::nullopt},
                      NormCase{"ZeroSourceHeight", 0, 0, 4, 5, 0, 0, 4, 0, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct IndexCase {
  const char* name;
  int dst, src;
  bool mirror;
  std::vector<int> want;  // source index of every destination pixel
};

class StretchIndexTable : public ::testing::TestWithParam<IndexCase> {};

TEST_P(StretchIndexTable, SamplesUnderPixelCentres) {
  const IndexCase& c = GetParam();
  std::vector<int> got;
  for (int i = 0; i < c.dst; ++i) got.push_back(StretchSourceIndex(i, c.dst, c.src, c.mirror));
  EXPECT_EQ(got, c.want);
}

INSTANTIATE_TEST_SUITE_P(Gdi, StretchIndexTable,
                         ::testing::Values(IndexCase{"Identity", 3, 3, false, {0, 1, 2}},
                                           IndexCase{"Double", 6, 3, false, {0, 0, 1, 1, 2, 2}},
                                           IndexCase{"Half", 2, 4, false, {1, 3}},
                                           IndexCase{"OneColumnToMany", 4, 1, false, {0, 0, 0, 0}},
                                           IndexCase{"MirrorIdentity", 3, 3, true, {2, 1, 0}},
                                           IndexCase{"MirrorDouble", 4, 2, true, {1, 1, 0, 0}},
                                           // 28 rows onto 32: every row is used, none skipped.
                                           IndexCase{"TwentyEightToThirtyTwo",
                                                     32,
                                                     28,
                                                     false,
                                                     {0,  1,  2,  3,  3,  4,  5,  6,  7,  8,  9,
                                                      10, 10, 11, 12, 13, 14, 15, 16, 17, 17, 18,
                                                      19, 20, 21, 22, 23, 24, 24, 25, 26, 27}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SpanCase {
  const char* name;
  int dst, srcOrigin, srcExtent;
  bool mirror;
  int limit;
  Span want;
};

class VisibleSpanTable : public ::testing::TestWithParam<SpanCase> {};

TEST_P(VisibleSpanTable, OnlyPixelsSampledFromTheSurface) {
  const SpanCase& c = GetParam();
  EXPECT_EQ(VisibleStretchSpan(c.dst, c.srcOrigin, c.srcExtent, c.mirror, c.limit), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Gdi, VisibleSpanTable,
    ::testing::Values(SpanCase{"Inside", 10, 0, 5, false, 5, {0, 10}},
                      SpanCase{"SourceRunsPastRight", 10, 2, 5, false, 5, {0, 6}},
                      SpanCase{"SourceStartsLeftOfSurface", 10, -1, 5, false, 5, {2, 10}},
                      SpanCase{"MirroredRunsPastRight", 10, 2, 5, true, 5, {4, 10}},
                      SpanCase{"NothingOnSurface", 4, 7, 2, false, 5, {0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GdiText, Utf8FloorStopsAtCharacterStarts) {
  const std::string s =
      "ab\xE4\xB8\xAD"
      "c";  // "ab中c"
  EXPECT_EQ(Utf8Floor(s, 2), 2u);
  EXPECT_EQ(Utf8Floor(s, 3), 2u);
  EXPECT_EQ(Utf8Floor(s, 4), 2u);
  EXPECT_EQ(Utf8Floor(s, 5), 5u);
  EXPECT_EQ(Utf8Floor(s, 99), s.size());
}

// Widths for the cutting tests: one pixel per byte, so a CJK character is three pixels wide.
int BytesWide(std::string_view s) {
  return static_cast<int>(s.size());
}

struct CutCase {
  const char* name;
  std::string text;
  int maxWidth;
  std::size_t want;
};

class EllipsisCutTable : public ::testing::TestWithParam<CutCase> {};

TEST_P(EllipsisCutTable, KeepsTheLongestFittingPrefix) {
  const CutCase& c = GetParam();
  const std::size_t keep = EllipsisCut(c.text, c.maxWidth, BytesWide);
  EXPECT_EQ(keep, c.want);
  EXPECT_EQ(Utf8Floor(c.text, keep), keep) << "cut inside a character";
}

INSTANTIATE_TEST_SUITE_P(
    Gdi, EllipsisCutTable,
    ::testing::Values(CutCase{"FitsUncut", "abcdef", 6, 6}, CutCase{"CutLatin", "abcdefgh", 7, 4},
                      // "中文字": 9 bytes; 8 pixels leave 5 for text: one whole character.
                      CutCase{"CutCjkOnBoundary", "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97", 8, 3},
                      CutCase{"CutCjkBeforePartialCharacter", "a\xE4\xB8\xAD\xE6\x96\x87", 6, 1},
                      CutCase{"OnlyTheEllipsisFits", "abcdef", 3, 0},
                      CutCase{"NotEvenTheEllipsis", "abcdef", 2, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
