#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/window/Window.h"

// What the image button shows, as pure arithmetic: the visual state it is in, the frames cut
// from its strip, the frame a state shows, and where the caption, the icon and the focus
// rectangle go. iButton::cMouseAction paints with these; they need no display.

namespace controls::face {

// Visual states (cMouseAction's cAction).
enum : std::int32_t { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

// The state the button is in: disabled, else pressed while the left button is held over it,
// else hovered while the pointer is over it, else normal.
std::int32_t CurrentState(bool enabled, bool leftHeld, bool pointerOver);

// The strip's HiMetric extent, as a picture reports it, divided back into pixels with the
// factor 26.45836 and split into `frames` equal parts, rounded to the nearest integer with
// halves to even.
int HiMetricToFrameExtent(std::int32_t hiMetric, int frames);

struct FrameCut {
  int width = 0;   // pixels
  int height = 0;  // pixels
  int count = 0;   // frames made: Style x 4 + 4
  friend bool operator==(const FrameCut&, const FrameCut&) = default;
};
// The frames of a strip of the given pixel size: 3 per row for Style 0, 6 for any other Style;
// Style x 4 + 4 of them are made (the last ones lie to the right of a Style 0 or 1 strip).
// A Style below 0 makes none.
FrameCut CutFrames(int stripWidth, int stripHeight, std::int32_t style);

// The frame shown in a state: nothing when the frames are not ready, else s + |Value| x Style
// x 3 (a toggle shows frames 3..5 while its value is true). Nothing for an index outside the
// frames made.
std::optional<int> FrameIndex(bool framesReady, int frameCount, std::int32_t state, bool value,
                              std::int32_t style);

// The caption's top-left corner in twips: centred in the control, moved right by the icon's
// width when there is an icon, and one pixel right and down in the pressed state.
struct TwipPoint {
  int x = 0, y = 0;
  friend bool operator==(const TwipPoint&, const TwipPoint&) = default;
};
TwipPoint CaptionPosition(int controlWidth, int controlHeight, int textWidth, int textHeight,
                          std::optional<std::int32_t> iconHiMetricWidth, std::int32_t state);
// The icon's left edge in twips: centred on the caption's would-be centre.
int IconLeft(int controlWidth, int textWidth, int iconWidth);
// An icon's width in twips: its HiMetric width integer-divided by 26, times 15.
int IconWidthTwips(std::int32_t iconHiMetricWidth);

// The focus rectangle, pixels: 3 pixels inside every edge of the client area.
platform::RECT FocusRect(int clientWidth, int clientHeight);

// Rounds to the nearest integer with halves to even (as the form language's integer
// conversions do).
long RoundHalfEven(double v);

}  // namespace controls::face
