#pragma once

#include <cstdint>
#include <memory>
#include <span>

// A decoded image with 32-bit premultiplied ARGB pixels (native byte order), as the drawing
// layer uses them. Its pixels never change once decoded, so windows may share them.

namespace platform {

class Image {
 public:
  // Decodes PNG bytes; an empty image (IsNull) when they are not a PNG.
  static Image FromPng(std::span<const std::uint8_t> bytes);

  Image();
  Image(Image&&) noexcept;
  Image& operator=(Image&&) noexcept;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image();

  bool IsNull() const;
  int Width() const;
  int Height() const;
  // Pixel (x, y) as 0xAARRGGBB, not premultiplied; 0 outside the image.
  std::uint32_t PixelAt(int x, int y) const;

  struct Impl;
  Impl* impl() const { return m_impl.get(); }

 private:
  std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
