#pragma once

#include "platform/webhost/WebBrowser.h"
#include "platform/window/Window.h"

namespace platform {

// Places the browser's view in a child window of `parent` at (x, y) of its client area, w x h
// pixels, visible. The window can be moved, sized and shown like any other. Let the browser go
// before its window: that stops its events and takes the view out of the window. Destroying
// the window first destroys the view with it; the browser is then good for nothing but being
// let go.
// Returns 0 when `parent` has no client area to hold it.
HWND HostWebBrowser(WebBrowser& browser, HWND parent, int x, int y, int width, int height);

}  // namespace platform
