#include "mainwin/MainLayout.h"

#include <algorithm>

#include "platform/window/Form.h"

using platform::kTwipsPerPixel;

namespace mainlayout {

Layout Compute(int W, int SW, int SH, int tabHeight, const TextRoom& room) {
  auto nonNegative = [](int v) { return std::max(v, 0); };
  Layout l;
  l.WebBForm = {0, 0, nonNegative(W), 0};
  l.shapeRight = SW / kTwipsPerPixel + 1;
  l.shapeBottom = SH / kTwipsPerPixel + 1;
  l.web_close = W - 730;
  l.web_minmax = W - 1105;
  l.web_min = W - 1465;
  l.web_tool = W - 1825;
  const TextRoom design;
  l.GameSpaceBtnWidth = std::max(room.GameSpaceBtnWidth, design.GameSpaceBtnWidth);
  l.OtherUserBtnWidth = std::max(room.OtherUserBtnWidth, design.OtherUserBtnWidth);
  l.GameSpaceBtn = SW - 3300 - (l.GameSpaceBtnWidth - design.GameSpaceBtnWidth);
  l.OtherUserBtn = l.GameSpaceBtn - 65 - l.OtherUserBtnWidth;
  const int tabLeft = std::max(2300, room.captionRight + 90);
  l.WebuTab = {tabLeft, 45, nonNegative(l.OtherUserBtn + 250 - tabLeft), tabHeight};
  l.Picture1 = {60, tabHeight, nonNegative(SW - 120), nonNegative(SH - tabHeight - 60)};
  l.pCnt = l.Picture1;
  l.WebBrowser1 = {-30, -30, l.Picture1.width + 60, l.Picture1.height + 60};
  return l;
}

}  // namespace mainlayout
