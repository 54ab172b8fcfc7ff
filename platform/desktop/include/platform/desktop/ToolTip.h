#pragma once

#include <string>

#include "platform/window/Window.h"

namespace platform {

// The tooltip shown while the pointer rests on the window; empty text shows none. A tooltip
// already on the screen follows the new text at once.
bool SetToolTipText(HWND hwnd, const std::string& text);

}  // namespace platform
