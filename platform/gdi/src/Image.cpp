#include "platform/gdi/Image.h"

#include <cairo.h>

#include <cstring>

#include "platform/gdi/detail/GdiImpl.h"
#include "platform/system/Resources.h"

namespace platform {

struct Image::Impl {
  cairo_surface_t* surface = nullptr;
  ~Impl() {
    if (surface != nullptr) cairo_surface_destroy(surface);
  }
};

namespace {

struct Reader {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
};

cairo_status_t ReadChunk(void* closure, unsigned char* data, unsigned int length) {
  auto* r = static_cast<Reader*>(closure);
  if (r->bytes.size() - r->pos < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, r->bytes.data() + r->pos, length);
  r->pos += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

Image::Image() = default;
Image::Image(Image&&) noexcept = default;
Image& Image::operator=(Image&&) noexcept = default;
Image::~Image() = default;

Image Image::FromPng(std::span<const std::uint8_t> bytes) {
  Image image;
  Reader reader{bytes};
  cairo_surface_t* s = cairo_image_surface_create_from_png_stream(ReadChunk, &reader);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return image;
  }
  image.m_impl = std::make_unique<Impl>();
  image.m_impl->surface = s;
  return image;
}

Image Image::FromPng(std::span<const std::uint8_t> bytes, int scale) {
  Image image = FromPng(bytes);
  if (image.m_impl && scale > 1) {
    cairo_surface_set_device_scale(image.m_impl->surface, scale, scale);
  }
  return image;
}

Image LoadImageResource(std::string_view type, int id) {
  if (detail::DeviceScale() >= 2) {
    if (auto bytes = FindResourceData(type, id, "@2x")) {
      Image image = Image::FromPng(*bytes, 2);
      if (!image.IsNull()) return image;
    }
  }
  auto bytes = FindResourceData(type, id);
  return bytes ? Image::FromPng(*bytes) : Image();
}

bool Image::IsNull() const {
  return !m_impl;
}
int Image::Width() const {
  return m_impl ? detail::SurfaceLogicalSize(m_impl->surface).cx : 0;
}
int Image::Height() const {
  return m_impl ? detail::SurfaceLogicalSize(m_impl->surface).cy : 0;
}
int Image::Scale() const {
  return m_impl ? detail::SurfaceScale(m_impl->surface) : 1;
}

std::uint32_t Image::PixelAt(int x, int y) const {
  if (!m_impl || x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  cairo_surface_flush(m_impl->surface);
  const unsigned char* data = cairo_image_surface_get_data(m_impl->surface);
  const int stride = cairo_image_surface_get_stride(m_impl->surface);
  const int k = Scale();
  std::uint32_t px = 0;
  const std::ptrdiff_t offset =
      (static_cast<std::ptrdiff_t>(y) * k * stride) + (static_cast<std::ptrdiff_t>(x) * k * 4);
  std::memcpy(&px, data + offset, 4);
  if (cairo_image_surface_get_format(m_impl->surface) == CAIRO_FORMAT_RGB24) {
    return px | 0xFF000000u;
  }
  const std::uint32_t a = px >> 24;
  if (a == 0) return 0;
  auto un = [a](std::uint32_t c) { return (c * 255 + a / 2) / a; };
  return (a << 24) | (un((px >> 16) & 0xFF) << 16) | (un((px >> 8) & 0xFF) << 8) | un(px & 0xFF);
}

}  // namespace platform

namespace platform {

// For the window layer (declared in WindowGtk.h): the pixels, owned by the image.
cairo_surface_t* ImageSurface(const Image& image) {
  return image.impl() != nullptr ? image.impl()->surface : nullptr;
}

}  // namespace platform
