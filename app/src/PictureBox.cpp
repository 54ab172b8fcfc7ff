#include "app/PictureBox.h"

#include <memory>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Image.h"
#include "platform/window/Accessible.h"
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
  // The focus mark, for a keyboard user.
  if (dc != 0 && GetFocus() == hwnd && FocusCuesShown(hwnd)) {
    RECT r;
    GetClientRect(hwnd, &r);
    DrawFocusRect(dc, &r);
  }
}

// The click's handler may destroy the window (and this procedure with it): keep what it needs.
void Click(const std::shared_ptr<PictureState>& state) {
  if (!state->onClick) return;
  const auto keep = state;
  keep->onClick();
}

}  // namespace

HWND CreatePictureBox(HWND parent, int x, int y, int width, int height, int pictureId,
                      std::uint32_t backColor, std::function<void()> onClick,
                      const std::string& name) {
  auto state = std::make_shared<PictureState>();
  state->image = LoadImageResource("PICTURE", pictureId);
  state->onClick = std::move(onClick);

  CreateWindowArgs args;
  args.style = WS_CHILD | WS_VISIBLE | (name.empty() ? DWORD{0} : DWORD{WS_TABSTOP});
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
        if (wasPressed && px >= 0 && py >= 0 && px < r.right && py < r.bottom) Click(state);
        return 0;
      }
      case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_SPACE) Click(state);
        return 0;
      case WM_ACCESSIBLEACTION:
        if (wParam == 0 && lParam == 0) Click(state);
        return 0;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
      case WM_UPDATEUISTATE:
        InvalidateRect(hwnd, nullptr, false);
        return 0;
      case WM_CAPTURECHANGED:
        state->pressed = false;
        return 0;
      default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
  };
  const HWND box = CreateWindowEx(args);
  if (!name.empty()) {
    AccessibleInfo info;
    info.role = AccessibleRole::PushButton;
    info.name = name;
    info.actions = {"press"};
    SetAccessible(box, info);
  }
  return box;
}
