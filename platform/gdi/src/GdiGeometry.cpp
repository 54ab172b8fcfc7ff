// Pure geometry of the block transfers and of text cutting.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"

namespace platform::gdi {

std::optional<BlitCoords> ClipBlit(const BlitCoords& blit, SIZE srcSize, SIZE dstSize) {
  BlitCoords c = blit;
  // Leading edges: whichever surface starts later decides.
  const int shiftX = std::max({0, -c.dstX, -c.srcX});
  const int shiftY = std::max({0, -c.dstY, -c.srcY});
  c.dstX += shiftX;
  c.srcX += shiftX;
  c.width -= shiftX;
  c.dstY += shiftY;
  c.srcY += shiftY;
  c.height -= shiftY;
  // Trailing edges.
  c.width = std::min({c.width, dstSize.cx - c.dstX, srcSize.cx - c.srcX});
  c.height = std::min({c.height, dstSize.cy - c.dstY, srcSize.cy - c.srcY});
  if (c.width <= 0 || c.height <= 0) return std::nullopt;
  return c;
}

namespace {

// One axis of a signed extent: the covered pixels [first, last).
void NormaliseAxis(int pos, int extent, int& first, int& last) {
  if (extent > 0) {
    first = pos;
    last = pos + extent;
  } else {
    first = pos + extent + 1;
    last = pos + 1;
  }
}

}  // namespace

std::optional<StretchCoords> NormaliseStretch(int x, int y, int width, int height, int srcX,
                                              int srcY, int srcWidth, int srcHeight) {
  if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return std::nullopt;
  StretchCoords s;
  NormaliseAxis(x, width, s.dst.left, s.dst.right);
  NormaliseAxis(y, height, s.dst.top, s.dst.bottom);
  NormaliseAxis(srcX, srcWidth, s.src.left, s.src.right);
  NormaliseAxis(srcY, srcHeight, s.src.top, s.src.bottom);
  s.mirrorX = (width < 0) != (srcWidth < 0);
  s.mirrorY = (height < 0) != (srcHeight < 0);
  return s;
}

int StretchSourceIndex(int i, int dstExtent, int srcExtent, bool mirror) {
  if (dstExtent <= 0 || srcExtent <= 0) return 0;
  // floor((i + 0.5) * src / dst) in integers.
  const std::int64_t num = (2 * static_cast<std::int64_t>(i) + 1) * srcExtent;
  int idx = static_cast<int>(num / (2 * static_cast<std::int64_t>(dstExtent)));
  idx = std::clamp(idx, 0, srcExtent - 1);
  return mirror ? srcExtent - 1 - idx : idx;
}

Span VisibleStretchSpan(int dstExtent, int srcOrigin, int srcExtent, bool mirror, int srcLimit) {
  Span span;
  bool found = false;
  for (int i = 0; i < dstExtent; ++i) {
    const int s = srcOrigin + StretchSourceIndex(i, dstExtent, srcExtent, mirror);
    if (s < 0 || s >= srcLimit) continue;
    if (!found) span.first = i;
    found = true;
    span.last = i + 1;
  }
  return span;
}

std::size_t Utf8Floor(std::string_view text, std::size_t n) {
  if (n >= text.size()) return text.size();
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

std::size_t EllipsisCut(std::string_view text, int maxWidth,
                        const std::function<int(std::string_view)>& width) {
  if (width(text) <= maxWidth) return text.size();
  std::vector<std::size_t> bounds;  // character starts: candidate cut points
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) bounds.push_back(i);
  }
  auto fits = [&](std::size_t cut) {
    std::string candidate(text.substr(0, cut));
    candidate += kEllipsis;
    return width(candidate) <= maxWidth;
  };
  // Longest fitting prefix; widths grow with the prefix.
  std::size_t lo = 0, hi = bounds.size();  // bounds[lo - 1] fits, bounds[hi] does not
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (fits(bounds[mid])) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo == 0 ? 0 : bounds[lo - 1];
}

}  // namespace platform::gdi
