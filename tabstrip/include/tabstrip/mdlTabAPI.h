#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/window/Window.h"

// The device-context routines the strip draws with. Failures to make a buffer raise TabError
// number 0 whose description names the call that failed.
namespace mdlTabAPI {

using platform::COLORREF;
using platform::HBITMAP;
using platform::HDC;

// A memory DC holding a screen-compatible bitmap of that size.
HDC CreateMemDC(int width, int height);
// A memory DC with the given bitmap selected.
HDC CreateBitmapDC(HBITMAP bitmap);
// Deletes the DC and then the bitmap it held. Always 1.
int FreeMemDC(HDC hdc);
// DrawSkinRect's picture before its final copy: a new memory DC of width x height holding the
// source rectangle, the borders at their own size and the rest stretched (HALFTONE). 0 when a
// size is 0 or the picture would be empty. Free it with FreeMemDC.
HDC StretchSkinRect(HDC src, int srcX, int srcY, int srcWidth, int srcHeight, int width, int height,
                    int left, int top, int right, int bottom);
// Draws the source rectangle into the destination rectangle, the borders copied at their own
// size and the rest stretched (HALFTONE). With a colour, pixels of that colour are left out of
// the final copy. The final copy's result, or 0 when a size is 0 or the destination is empty.
int DrawSkinRect(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                 int srcWidth, int srcHeight, int left, int top, int right, int bottom,
                 std::optional<COLORREF> transparent = std::nullopt);
// A same-size copy that leaves out pixels of `color`.
int TransBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
             COLORREF color);
// DrawText of the text's first `count` bytes (-1: all) in the box (x, y, width, height).
int DrawTextBox(HDC hdc, const std::string& text, int count, int x, int y, int width, int height,
                unsigned format);
// Clears and sets bits of a window long; when the value changed and swpFlags is not 0, tells
// the window with SetWindowPos (no move, size, z-order or activation besides swpFlags).
void ChangeWindowLong(platform::HWND hwnd, int index, std::uint32_t clear, std::uint32_t set,
                      platform::UINT swpFlags);

}  // namespace mdlTabAPI
