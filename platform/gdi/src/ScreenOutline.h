#pragma once

// The screen device context's drawing: dotted outlines inverted on the screen. Private to
// platform/.

#include "platform/system/Types.h"

namespace platform::detail {

// Inverts the dotted outline of `rect` (screen pixels) on the screen; the same outline drawn
// again is taken away. False when there is no screen.
bool ToggleScreenOutline(const RECT& rect);

}  // namespace platform::detail
