#pragma once

#include <functional>

#include "platform/window/Window.h"

// A picture control: a child window that shows one embedded image ("PICTURE" `pictureId`) on a
// back colour and reports a click (left button pressed and released over it).
platform::HWND CreatePictureBox(platform::HWND parent, int x, int y, int width, int height,
                                int pictureId, std::uint32_t backColor,
                                std::function<void()> onClick);
