#pragma once

// A memory DC with a bitmap of its own, for the drawing tests.

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/gdi/Gdi.h"

namespace gditest {

using namespace platform;

class TestDc {
 public:
  TestDc(int w, int h, COLORREF fill = RGB(255, 255, 255)) : m_w(w), m_h(h) {
    m_dc = CreateCompatibleDC(0);
    m_bmp = CreateCompatibleBitmap(m_dc, w, h);
    m_old = SelectObject(m_dc, m_bmp);
    Fill({0, 0, w, h}, fill);
  }
  TestDc(const TestDc&) = delete;
  TestDc& operator=(const TestDc&) = delete;
  ~TestDc() {
    SelectObject(m_dc, m_old);
    DeleteObject(m_bmp);
    DeleteDC(m_dc);
  }

  HDC dc() const { return m_dc; }
  void Fill(RECT r, COLORREF c) const {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(m_dc, &r, b);
    DeleteObject(b);
  }
  std::vector<COLORREF> Row(int y) const {
    std::vector<COLORREF> out;
    for (int x = 0; x < m_w; ++x) out.push_back(GetPixel(m_dc, x, y));
    return out;
  }
  std::vector<COLORREF> All() const {
    std::vector<COLORREF> out;
    for (int y = 0; y < m_h; ++y) {
      const auto r = Row(y);
      out.insert(out.end(), r.begin(), r.end());
    }
    return out;
  }
  // The bounding box of every pixel that differs from `background`.
  std::optional<RECT> Ink(COLORREF background = RGB(255, 255, 255)) const {
    RECT box{m_w, m_h, -1, -1};
    for (int y = 0; y < m_h; ++y) {
      for (int x = 0; x < m_w; ++x) {
        if (GetPixel(m_dc, x, y) == background) continue;
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
    }
    if (box.right < 0) return std::nullopt;
    return box;
  }

 private:
  int m_w, m_h;
  HDC m_dc = 0;
  HBITMAP m_bmp = 0;
  HGDIOBJ m_old = 0;
};

}  // namespace gditest
