#pragma once

#include <cstdint>

#include "platform/window/Window.h"

// The mark of an account on its login screen: "账号" and the account's number in white on the
// colour its tabs' mark carries, so that the player knows which account signs in. Placed with
// its left edge at x and centred on the line at centreY; its size follows the text.
platform::HWND CreateAccountMark(platform::HWND parent, int x, int centreY, std::int32_t number);
