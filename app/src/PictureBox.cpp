#include "app/PictureBox.h"

#include <memory>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Image.h"
#include "platform/system/Resources.h"
#include "platform/window/WindowDc.h"

using namespace platform;

namespace {

struct PictureState {
  Image image;
  bool pressed = false;
  std::function<void()> onClick;
};

void Paint(HWND hwnd, const PictureState& state) {
  const PaintDc paint(hwnd);
  const HDC dc = paint.get();
  if (dc != 0 && !state.image.IsNull()) {
    const OwnedBitmap bitmap(CreateBitmapFromImage(state.image));
    const OwnedDc src(CreateCompatibleDC(dc));
    const SelectedObject selected(src.get(), bitmap.get());
    AlphaBlend(dc, 0, 0, state.image.Width(), state.image.Height(), src.get(), 0, 0,
               state.image.Width(), state.image.Height(), 255);
  }
}

}  // namespace

HWND CreatePictureBox(HWND parent, int x, int y, int width, int height, int pictureId,
                      std::uint32_t backColor, std::function<void()> onClick) {
  auto state = std::make_shared<PictureState>();
  if (auto data = FindResourceData("PICTURE", pictureId)) state->image = Image::FromPng(*data);
  state->onClick = std::move(onClick);

  CreateWindowArgs args;
  args.style = WS_CHILD | WS_VISIBLE;
  args.parent = parent;
  args.x = x;
  args.y = y;
  args.width = width;
  args.height = height;
  args.backColor = backColor;
  args.proc = [state](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    switch (msg) {
      case WM_PAINT:
        Paint(hwnd, *state);
        return 0;
      case WM_LBUTTONDOWN:
        state->pressed = true;
        SetCapture(hwnd);
        return 0;
      case WM_LBUTTONUP: {
        const bool wasPressed = state->pressed;
        state->pressed = false;
        ReleaseCapture();
        RECT r;
        GetClientRect(hwnd, &r);
        const int px = GET_X_LPARAM(lParam);
        const int py = GET_Y_LPARAM(lParam);
        // The handler may destroy the window (and this procedure with it): keep what it needs.
        if (wasPressed && px >= 0 && py >= 0 && px < r.right && py < r.bottom && state->onClick) {
          const auto keep = state;
          keep->onClick();
        }
        return 0;
      }
      case WM_CAPTURECHANGED:
        state->pressed = false;
        return 0;
      default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
  };
  return CreateWindowEx(args);
}
