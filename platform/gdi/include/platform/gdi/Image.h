#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

// A decoded image with 32-bit premultiplied ARGB pixels (native byte order), as the drawing
// layer uses them. Its pixels never change once decoded, so windows may share them.

namespace platform {

class Image {
 public:
  // Decodes PNG bytes; an empty image (IsNull) when they are not a PNG.
  static Image FromPng(std::span<const std::uint8_t> bytes);
  // PNG bytes of a picture drawn at `scale` device pixels per logical pixel: Width and Height
  // are its logical size, and drawing it on a surface of that scale keeps every pixel.
  static Image FromPng(std::span<const std::uint8_t> bytes, int scale);

  Image();
  Image(Image&&) noexcept;
  Image& operator=(Image&&) noexcept;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image();

  bool IsNull() const;
  int Width() const;
  int Height() const;
  // Device pixels per logical pixel (1 unless drawn for a higher scale).
  int Scale() const;
  // Logical pixel (x, y) (its top-left device pixel) as 0xAARRGGBB, not premultiplied; 0
  // outside the image.
  std::uint32_t PixelAt(int x, int y) const;

  struct Impl;
  Impl* impl() const { return m_impl.get(); }

 private:
  std::unique_ptr<Impl> m_impl;
};

// A PNG resource of the executable's bundle (type and id as FindResourceData takes them). On a
// desktop at a window scale of 2 or more the picture drawn for scale 2 ("<id>@2x") when the
// bundle has one; otherwise the picture as drawn. An empty image when there is none.
Image LoadImageResource(std::string_view type, int id);

}  // namespace platform
