#pragma once

// Sole owners of cairo regions and surfaces, shared by the window layer and the drawing layer.
// Private to platform/.

#include <cairo.h>

namespace platform::detail {

// A cairo region with one owner.
class Region {
 public:
  Region() = default;
  explicit Region(cairo_region_t* r) : m_region(r) {}
  Region(Region&& other) noexcept : m_region(other.m_region) { other.m_region = nullptr; }
  Region& operator=(Region&& other) noexcept {
    if (this != &other) {
      Reset();
      m_region = other.m_region;
      other.m_region = nullptr;
    }
    return *this;
  }
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;
  ~Region() { Reset(); }

  cairo_region_t* get() const { return m_region; }
  explicit operator bool() const { return m_region != nullptr; }
  void Reset() {
    if (m_region != nullptr) cairo_region_destroy(m_region);
    m_region = nullptr;
  }
  Region Copy() const {
    return Region(m_region != nullptr ? cairo_region_copy(m_region) : nullptr);
  }

 private:
  cairo_region_t* m_region = nullptr;
};

// A cairo surface with one owner.
class Surface {
 public:
  Surface() = default;
  explicit Surface(cairo_surface_t* s) : m_surface(s) {}
  Surface(Surface&& other) noexcept : m_surface(other.m_surface) { other.m_surface = nullptr; }
  Surface& operator=(Surface&& other) noexcept {
    if (this != &other) {
      Reset();
      m_surface = other.m_surface;
      other.m_surface = nullptr;
    }
    return *this;
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface() { Reset(); }

  cairo_surface_t* get() const { return m_surface; }
  explicit operator bool() const { return m_surface != nullptr; }
  void Reset() {
    if (m_surface != nullptr) cairo_surface_destroy(m_surface);
    m_surface = nullptr;
  }

 private:
  cairo_surface_t* m_surface = nullptr;
};

}  // namespace platform::detail
