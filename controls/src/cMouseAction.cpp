#include "controls/cMouseAction.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>

namespace controls::face {

namespace {
// HiMetric units per pixel, as the button's arithmetic has always used it (2540 / 96 is
// 26.458333...; the small difference decides nothing for real strips).
constexpr double kHiMetricPerPixel = 26.45836;
}  // namespace

long RoundHalfEven(double v) { return std::lrint(v); }  // the default rounding mode is to even

std::int32_t CurrentState(bool enabled, bool leftHeld, bool pointerOver) {
  if (!enabled) return kDisabled;
  if (leftHeld) return pointerOver ? kPressed : kNormal;
  return pointerOver ? kHover : kNormal;
}

int HiMetricToFrameExtent(std::int32_t hiMetric, int frames) {
  if (frames <= 0) return 0;
  return static_cast<int>(RoundHalfEven(hiMetric / kHiMetricPerPixel / frames));
}

FrameCut CutFrames(int stripWidth, int stripHeight, std::int32_t style) {
  FrameCut cut;
  const auto hmW = static_cast<std::int32_t>(std::lround(stripWidth * 2540.0 / 96.0));
  const auto hmH = static_cast<std::int32_t>(std::lround(stripHeight * 2540.0 / 96.0));
  cut.height = HiMetricToFrameExtent(hmH, 1);
  cut.width = HiMetricToFrameExtent(hmW, style == 0 ? 3 : 6);
  // Frames beyond a handful mean a Style nobody uses; the count stays bounded.
  cut.count =
      style < 0 ? 0 : static_cast<int>(std::min<std::int64_t>(std::int64_t{style} * 4 + 4, 64));
  return cut;
}

std::optional<int> FrameIndex(bool framesReady, int frameCount, std::int32_t state, bool value,
                              std::int32_t style) {
  if (!framesReady) return std::nullopt;
  const std::int64_t index = std::int64_t{state} + (value ? 1 : 0) * std::int64_t{style} * 3;
  if (index < 0 || index >= frameCount) return std::nullopt;
  return static_cast<int>(index);
}

int IconWidthTwips(std::int32_t iconHiMetricWidth) { return iconHiMetricWidth / 26 * 15; }

int IconLeft(int controlWidth, int textWidth, int iconWidth) {
  return static_cast<int>(RoundHalfEven(controlWidth / 2.0 - textWidth / 2.0 - iconWidth / 2.0));
}

TwipPoint CaptionPosition(int controlWidth, int controlHeight, int textWidth, int textHeight,
                          std::optional<std::int32_t> iconHiMetricWidth, std::int32_t state) {
  double x = controlWidth / 2.0 - textWidth / 2.0;
  if (iconHiMetricWidth) x += IconWidthTwips(*iconHiMetricWidth);
  double y = controlHeight / 2.0 - textHeight / 2.0;
  TwipPoint p{static_cast<int>(RoundHalfEven(x)), static_cast<int>(RoundHalfEven(y))};
  if (state == kPressed) {
    p.x += 15;
    p.y += 15;
  }
  return p;
}

platform::RECT FocusRect(int clientWidth, int clientHeight) {
  return platform::RECT{3, 3, clientWidth - 3, clientHeight - 3};
}

}  // namespace controls::face
