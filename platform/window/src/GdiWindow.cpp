// Window and screen device contexts over per-window backing surfaces.

#include "GdiWindow.h"

#include <cstring>
#include <map>

#include "platform/gdi/detail/GdiImpl.h"
#include "platform/window/WindowDc.h"
#include "platform/window/detail/WindowImpl.h"

namespace platform {
namespace detail {

namespace {

std::map<HWND, Surface>& Backings() {
  static auto* const backings = new std::map<HWND, Surface>;  // lives as long as the process
  return *backings;
}

// Windows now painting (BeginPaint .. EndPaint), with their nesting count.
std::map<HWND, int>& Painting() {
  static auto* const painting = new std::map<HWND, int>;
  return *painting;
}

void PruneDeadWindows() {
  auto& backings = Backings();
  for (auto it = backings.begin(); it != backings.end();) {
    it = IsWindow(it->first) ? std::next(it) : backings.erase(it);
  }
}

}  // namespace

cairo_surface_t* WindowBacking(HWND hwnd) {
  auto& backings = Backings();
  RECT client;
  if (!IsWindow(hwnd)) {
    backings.erase(hwnd);
    return nullptr;
  }
  auto it = backings.find(hwnd);
  if (!GetClientRect(hwnd, &client) || client.Width() <= 0 || client.Height() <= 0) {
    return it != backings.end() ? it->second.get() : nullptr;
  }
  // At the desktop's scale, as the bitmaps drawn for it: the window shows every device pixel.
  const int scale = DeviceScale();
  if (it != backings.end() &&
      SurfaceLogicalSize(it->second.get()) == SIZE{client.Width(), client.Height()} &&
      SurfaceScale(it->second.get()) == scale) {
    return it->second.get();
  }
  Surface next = NewSurface(client.Width(), client.Height(), CAIRO_FORMAT_RGB24, scale);
  if (!next) return it != backings.end() ? it->second.get() : nullptr;
  const CairoContext context(cairo_create(next.get()));
  cairo_t* cr = context.get();
  const WindowRecord* rec = Find(hwnd);
  const COLORREF back = rec != nullptr ? rec->backColor : RGB(255, 255, 255);
  cairo_set_source_rgb(cr, GetRValue(back) / 255.0, GetGValue(back) / 255.0,
                       GetBValue(back) / 255.0);
  cairo_paint(cr);
  if (it != backings.end()) {
    cairo_set_source_surface(cr, it->second.get(), 0, 0);
    cairo_paint(cr);
  }
  cairo_surface_t* result = next.get();
  backings[hwnd] = std::move(next);
  return result;
}

void PaintBackingStore(HWND hwnd, cairo_t* cr) {
  auto it = Backings().find(hwnd);
  if (it == Backings().end() || cr == nullptr) return;
  cairo_save(cr);
  cairo_set_source_surface(cr, it->second.get(), 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
}

void InvalidateBacking(HWND hwnd) {
  if (Backings().count(hwnd) == 0) return;  // created on the first drawing
  WindowBacking(hwnd);
}

void DropBacking(HWND hwnd) {
  Backings().erase(hwnd);
  Painting().erase(hwnd);
}

}  // namespace detail

using namespace detail;

HDC GetDC(HWND hwnd) {
  if (hwnd == 0) {
    DeviceContext dc;
    dc.kind = DcKind::Screen;
    return AddDc(dc);
  }
  if (!IsWindow(hwnd)) return 0;
  PruneDeadWindows();
  DeviceContext dc;
  dc.kind = DcKind::Window;
  dc.hwnd = hwnd;
  dc.backing = &WindowBacking;
  return AddDc(dc);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  DeviceContext* dc = FindDc(hdc);
  if (dc == nullptr || dc->kind == DcKind::Memory || dc->hwnd != hwnd) return 0;
  RemoveDc(hdc);
  // Drawn outside WM_PAINT: ask for a frame. During a paint the frame is coming anyway.
  if (hwnd != 0 && Painting().count(hwnd) == 0 && Backings().count(hwnd) != 0) {
    InvalidateRect(hwnd, nullptr, false);
  }
  return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (ps == nullptr || !IsWindow(hwnd)) return 0;
  DeviceContext dc;
  dc.kind = DcKind::Window;
  dc.hwnd = hwnd;
  dc.backing = &WindowBacking;
  ps->hdc = AddDc(dc);
  ps->fErase = false;
  ps->rcPaint = {};
  if (!GetClientRect(hwnd, &ps->rcPaint)) {
    if (cairo_surface_t* s = WindowBacking(hwnd)) {
      const SIZE size = SurfaceLogicalSize(s);
      ps->rcPaint = {0, 0, size.cx, size.cy};
    }
  }
  ++Painting()[hwnd];
  return ps->hdc;
}

bool EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (ps == nullptr) return false;
  DeviceContext* dc = FindDc(ps->hdc);
  if (dc == nullptr || dc->kind != DcKind::Window || dc->hwnd != hwnd) return false;
  RemoveDc(ps->hdc);
  auto it = Painting().find(hwnd);
  if (it != Painting().end() && --it->second <= 0) Painting().erase(it);
  return true;
}

}  // namespace platform
