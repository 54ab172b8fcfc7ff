#pragma once

#include "platform/gdi/Image.h"
#include "platform/window/Window.h"

// A window drawn as one image with per-pixel transparency: it takes the image's size and shows
// exactly the image; fully transparent pixels take no input.
struct PngLayer {
  platform::HWND m_hWnd = 0;
  platform::Image m_Image;
};

// Makes `hwnd` a layered window showing the embedded image "PNG" `resId`. A missing image
// leaves an empty window.
void OpenPngLayer(platform::HWND hwnd, int resId, PngLayer& layer);
// Releases the layer's image; the window keeps what it shows until it goes.
void ClosePngLayer(PngLayer& layer);
