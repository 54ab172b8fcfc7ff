#pragma once

// The seam between window device contexts and the toolkit half of the window layer. Each
// window that is drawn on through GetDC or BeginPaint keeps a backing surface the size of its
// client area; the toolkit's draw handler shows it. Private to platform/.

#include <cairo.h>

#include "platform/window/Window.h"

namespace platform::detail {

// Paints the window's backing surface at the origin of `cr` (client coordinates). Does nothing
// for a window that has never been drawn on. Call it from the widget's draw handler after the
// window has handled WM_PAINT.
void PaintBackingStore(HWND hwnd, cairo_t* cr);

// The window's client area changed size: the backing surface follows it now (the old pixels
// stay at the top left, new parts take the window's background colour). For a window that no
// longer exists the backing surface is dropped.
void InvalidateBacking(HWND hwnd);

// The client area's pixels, resized to the client area on use; nullptr for a window without a
// client area. Window DCs draw on it.
cairo_surface_t* WindowBacking(HWND hwnd);

// The window is being destroyed: its backing surface goes.
void DropBacking(HWND hwnd);

}  // namespace platform::detail
