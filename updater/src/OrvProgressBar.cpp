#include "OrvProgressBar.h"

#include "platform/gdi/Gdi.h"
#include "platform/window/Accessible.h"

using namespace platform;

namespace {
constexpr COLORREF kTrack = RGB(0xE8, 0xEE, 0xF7);
constexpr COLORREF kBorder = RGB(0x9F, 0xB3, 0xD8);
constexpr COLORREF kFill = RGB(0x2F, 0x6F, 0xD0);

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left || bottom <= top) return;
  const RECT r{left, top, right, bottom};
  FillRect(dc, &r, OwnedBrush(CreateSolidBrush(color)).get());
}
}  // namespace

OrvProgressBar::OrvProgressBar(const controls::UserControlArgs& args) {
  CreateControl(args);
  Describe();
}

OrvProgressBar::~OrvProgressBar() {
  DestroyControl();
}

// A screen reader hears the bar as a percentage: whole percents, so that a download does not
// send a notice for every chunk.
void OrvProgressBar::Describe() {
  AccessibleInfo info;
  info.role = AccessibleRole::ProgressBar;
  info.focusable = false;
  info.maximum = 100;
  info.value = FilledWidth(100, m_Min, m_Max, m_Value);
  SetAccessible(hWnd(), info);
}

void OrvProgressBar::Min(std::int64_t value) {
  m_Min = value;
  Describe();
  Redraw();
}

void OrvProgressBar::Max(std::int64_t value) {
  m_Max = value;
  Describe();
  Redraw();
}

void OrvProgressBar::Value(std::int64_t value) {
  m_Value = value;
  Describe();
  // Most chunks move the bar by less than a pixel: only a visible change is drawn.
  const int inner = PixelWidth() - 2;
  if (FilledWidth(inner, m_Min, m_Max, m_Value) != m_drawnFill) Redraw();
}

int OrvProgressBar::FilledWidth(int width, std::int64_t min, std::int64_t max, std::int64_t value) {
  if (width <= 0 || max <= min || value <= min) return 0;
  if (value >= max) return width;
  // In long double: (value - min) * width overflows 64 bits for the largest counts.
  const long double share = static_cast<long double>(value - min) / (max - min);
  return static_cast<int>(share * width);
}

void OrvProgressBar::Redraw() {
  const int w = PixelWidth();
  const int h = PixelHeight();
  if (w <= 0 || h <= 0) return;
  HDC dc = hDC();
  Fill(dc, 0, 0, w, h, kBorder);
  Fill(dc, 1, 1, w - 1, h - 1, kTrack);
  m_drawnFill = FilledWidth(w - 2, m_Min, m_Max, m_Value);
  Fill(dc, 1, 1, 1 + m_drawnFill, h - 1, kFill);
  Refresh();
}
