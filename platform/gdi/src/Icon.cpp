#include "platform/gdi/Icon.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/detail/IconImpl.h"

namespace platform {

namespace {

// Every size an icon file holds, as stored (desktops pick the size they show from all of them,
// so a dock's large icon stays sharp). Shared by the icons loaded from one file.
struct IconSizes {
  std::vector<GdkPixbuf*> pixbufs;
  ~IconSizes() {
    for (GdkPixbuf* p : pixbufs) g_object_unref(p);
  }
};

// An icon: its image at the size asked for, and the sizes of its file.
struct IconEntry {
  GdkPixbuf* pixbuf = nullptr;
  std::shared_ptr<IconSizes> sizes;
};

// The sizes of the files whose icons are alive, by path and contents.
std::map<std::pair<std::string, std::vector<std::uint8_t>>, std::weak_ptr<IconSizes>>&
SizesByFile() {
  static auto* const files =
      new std::map<std::pair<std::string, std::vector<std::uint8_t>>, std::weak_ptr<IconSizes>>;
  return *files;
}

// The handle tables of the drawing and window layers live as long as the process and are never
// destroyed: an owner destroyed at exit (a form still loaded when a process returns from main)
// still releases its handle into them, whatever the order of static destruction.
std::map<HICON, IconEntry>& Icons() {
  static auto* const icons = new std::map<HICON, IconEntry>;
  return *icons;
}
HICON g_nextIcon = 0x20010;

std::uint16_t U16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

GdkPixbuf* Decode(const std::vector<std::uint8_t>& bytes, const char* type) {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, nullptr);
  if (loader == nullptr) return nullptr;
  GdkPixbuf* pixbuf = nullptr;
  if (gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf != nullptr) g_object_ref(pixbuf);
  } else {
    gdk_pixbuf_loader_close(loader, nullptr);
  }
  g_object_unref(loader);
  return pixbuf;
}

// One entry of an icon file as an image: PNG entries directly, bitmap entries as a one-entry
// icon file of their own (the icon loader then has no other size to prefer).
GdkPixbuf* DecodeEntry(const std::vector<std::uint8_t>& file, const std::uint8_t* entry) {
  const std::uint32_t bytes = U32(entry + 8);
  const std::uint32_t offset = U32(entry + 12);
  if (offset > file.size() || bytes > file.size() - offset || bytes < 8) return nullptr;
  const std::uint8_t* data = file.data() + offset;
  if (std::memcmp(data, "\x89PNG", 4) == 0) {
    return Decode(std::vector<std::uint8_t>(data, data + bytes), "png");
  }
  std::vector<std::uint8_t> single(6 + 16);
  single[2] = 1;
  single[4] = 1;
  std::memcpy(single.data() + 6, entry, 12);
  const std::uint32_t at = 6 + 16;
  for (int i = 0; i < 4; ++i) single[6 + 12 + i] = static_cast<std::uint8_t>(at >> (8 * i));
  single.insert(single.end(), data, data + bytes);
  return Decode(single, "ico");
}

}  // namespace

GdkPixbuf* IconPixbuf(HICON icon) {
  auto it = Icons().find(icon);
  return it == Icons().end() ? nullptr : it->second.pixbuf;
}

std::vector<GdkPixbuf*> IconFileSizes(HICON icon) {
  auto it = Icons().find(icon);
  return it == Icons().end() || !it->second.sizes ? std::vector<GdkPixbuf*>()
                                                  : it->second.sizes->pixbufs;
}

HICON LoadIconFromFile(const std::string& path, int size) {
  if (size <= 0 || size > 1024) return 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
  if (file.size() < 6 || U16(file.data()) != 0 || U16(file.data() + 2) != 1) return 0;
  const int count = U16(file.data() + 4);
  if (count == 0 || file.size() < 6 + 16u * count) return 0;

  const std::uint8_t* exact = nullptr;
  const std::uint8_t* largest = nullptr;
  int largestSize = 0;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* e = file.data() + 6 + 16 * i;
    const int w = e[0] == 0 ? 256 : e[0];
    if (w == size && exact == nullptr) exact = e;
    if (w > largestSize) {
      largestSize = w;
      largest = e;
    }
  }
  GdkPixbuf* pixbuf = DecodeEntry(file, exact != nullptr ? exact : largest);
  if (pixbuf == nullptr) return 0;
  if (gdk_pixbuf_get_width(pixbuf) != size || gdk_pixbuf_get_height(pixbuf) != size) {
    GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf, size, size, GDK_INTERP_BILINEAR);
    g_object_unref(pixbuf);
    if (scaled == nullptr) return 0;
    pixbuf = scaled;
  }
  IconEntry entry{pixbuf, nullptr};
  auto& known = SizesByFile()[{path, file}];
  entry.sizes = known.lock();
  if (!entry.sizes) {
    entry.sizes = std::make_shared<IconSizes>();
    std::vector<int> seen;
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* e = file.data() + 6 + 16 * i;
      const int w = e[0] == 0 ? 256 : e[0];
      if (std::find(seen.begin(), seen.end(), w) != seen.end()) continue;
      if (GdkPixbuf* one = DecodeEntry(file, e)) {
        entry.sizes->pixbufs.push_back(one);
        seen.push_back(w);
      }
    }
    known = entry.sizes;
  }
  const HICON h = g_nextIcon++;
  Icons().emplace(h, std::move(entry));
  return h;
}

bool DestroyIcon(HICON icon) {
  auto it = Icons().find(icon);
  if (it == Icons().end()) return false;
  g_object_unref(it->second.pixbuf);
  Icons().erase(it);
  // Forget the files none of whose icons is left.
  for (auto f = SizesByFile().begin(); f != SizesByFile().end();) {
    f = f->second.expired() ? SizesByFile().erase(f) : std::next(f);
  }
  return true;
}

int IconSize(HICON icon) {
  GdkPixbuf* p = IconPixbuf(icon);
  return p != nullptr ? gdk_pixbuf_get_width(p) : 0;
}

std::uint32_t IconPixel(HICON icon, int x, int y) {
  GdkPixbuf* p = IconPixbuf(icon);
  if (p == nullptr || x < 0 || y < 0 || x >= gdk_pixbuf_get_width(p) ||
      y >= gdk_pixbuf_get_height(p)) {
    return 0;
  }
  const int n = gdk_pixbuf_get_n_channels(p);
  const guchar* px = gdk_pixbuf_get_pixels(p) + y * gdk_pixbuf_get_rowstride(p) + x * n;
  const std::uint32_t a = n == 4 ? px[3] : 0xFF;
  return a << 24 | px[0] << 16 | px[1] << 8 | px[2];
}

}  // namespace platform
