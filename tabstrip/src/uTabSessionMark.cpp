// The session mark of a tab: a small coloured square with the session's number in white, at the
// left of the caption. It carries its own colours, so it reads the same on both tab styles.

#include <algorithm>
#include <string>

#include "tabstrip/uTab.h"

using namespace platform;

namespace {

constexpr int kMarkSize = 14;
constexpr int kMarkGap = 3;

}  // namespace

COLORREF uTab::SessionMarkColor(std::int32_t number) {
  switch (number % 4) {
    case 2:
      return RGB(0, 114, 178);  // blue
    case 3:
      return RGB(0, 128, 64);  // green
    case 0:
      return RGB(196, 86, 0);  // orange
    default:
      return RGB(120, 60, 160);  // purple
  }
}

int uTab::DrawSessionMark(HDC hdc, std::int32_t number, int x, int y, int height) {
  if (number <= 0) return 0;
  const std::string digit = std::to_string(number);
  // The square grows with the caption's font beyond its designed size (a desktop text scale),
  // so that the digit stays whole in it.
  SIZE line{};
  GetTextExtentPoint32(hdc, digit, &line);
  const int size = std::max(kMarkSize, static_cast<int>(line.cy) * 3 / 4);
  const int top = y + (height - size) / 2;
  RECT box{x, top, x + size, top + size};
  const HBRUSH brush = CreateSolidBrush(SessionMarkColor(number));
  FillRect(hdc, &box, brush);
  DeleteObject(brush);
  const COLORREF oldColor = SetTextColor(hdc, RGB(255, 255, 255));
  const int oldMode = SetBkMode(hdc, TRANSPARENT);
  DrawText(hdc, digit, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SetBkMode(hdc, oldMode);
  SetTextColor(hdc, oldColor);
  return size + kMarkGap;
}
