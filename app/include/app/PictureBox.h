#pragma once

#include <functional>
#include <string>

#include "platform/window/Window.h"

// A picture control: a child window that shows one embedded image ("PICTURE" `pictureId`) on a
// back colour and reports a click (left button pressed and released over it). With a name it is
// a button also for the keyboard and assistive technology: a tab stop with a focus mark, which
// Enter and Space click, a push button of that name with the action "press".
platform::HWND CreatePictureBox(platform::HWND parent, int x, int y, int width, int height,
                                int pictureId, std::uint32_t backColor,
                                std::function<void()> onClick, const std::string& name = {});
