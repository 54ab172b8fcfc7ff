#include "app/AccountMark.h"

#include <memory>
#include <string>

#include "platform/desktop/ToolTip.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/WindowDc.h"
#include "tabstrip/uTab.h"

using namespace platform;

namespace {

struct MarkState {
  std::string text;
  std::uint32_t color = 0;
  OwnedFont font;
};

// The caption's size of the login art's title ("账号登录" beside the game's name), in bold.
OwnedFont MarkFont() {
  LOGFONT font;
  GetObject(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), &font);
  font.lfWeight = FW_BOLD;
  return OwnedFont(CreateFontIndirect(font));
}

void Paint(HWND hwnd, const MarkState& state) {
  const PaintDc paint(hwnd);
  const HDC dc = paint.get();
  if (dc == 0) return;
  RECT box;
  GetClientRect(hwnd, &box);
  // Opaque all over: the login window lets its colour key through, and text edges blended
  // with that key would show as a pale fringe on the dark frame.
  // A light edge sets the mark off the frame, whatever the account's colour.
  const HBRUSH edge = CreateSolidBrush(RGB(236, 214, 150));
  FillRect(dc, &box, edge);
  DeleteObject(edge);
  RECT inner{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
  const HBRUSH brush = CreateSolidBrush(state.color);
  FillRect(dc, &inner, brush);
  DeleteObject(brush);
  const SelectedObject font(dc, state.font.get());
  const COLORREF oldColor = SetTextColor(dc, RGB(255, 255, 255));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawText(dc, state.text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColor);
}

}  // namespace

HWND CreateAccountMark(HWND parent, int x, int centreY, std::int32_t number) {
  auto state = std::make_shared<MarkState>();
  state->text = "账号" + std::to_string(number);
  state->color = uTab::SessionMarkColor(number);
  state->font = MarkFont();
  SIZE line{};
  {
    const OwnedDc probe(CreateCompatibleDC(0));
    const SelectedObject selected(probe.get(), state->font.get());
    GetTextExtentPoint32(probe.get(), state->text, &line);
  }
  CreateWindowArgs args;
  args.style = WS_CHILD | WS_VISIBLE;
  args.parent = parent;
  args.width = static_cast<int>(line.cx) + 12;
  args.height = static_cast<int>(line.cy) + 6;
  args.x = x;
  args.y = centreY - args.height / 2;
  args.backColor = state->color;
  args.proc = [state](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (msg == WM_PAINT) {
      Paint(hwnd, *state);
      return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
  };
  const HWND mark = CreateWindowEx(args);
  SetToolTipText(mark, "正在登录" + state->text);
  return mark;
}
