#include "app/PngLayer.h"

#include "common/SharedRoutines.h"

using namespace platform;

void OpenPngLayer(HWND hwnd, int resId, PngLayer& layer) {
  SetWindowLongPtr(hwnd, GWL_EXSTYLE, GetWindowLongPtr(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
  layer.m_hWnd = hwnd;
  layer.m_Image = LoadPngResource(resId);
  if (layer.m_Image.IsNull()) return;
  UpdateLayeredWindow(hwnd, layer.m_Image);
}

void ClosePngLayer(PngLayer& layer) {
  layer.m_Image = Image();
  layer.m_hWnd = 0;
}
