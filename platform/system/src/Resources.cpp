#include "platform/system/Resources.h"

#include <gio/gio.h>

#include <map>
#include <string>

namespace platform {

std::optional<std::span<const std::uint8_t>> FindResourceData(std::string_view type, int id,
                                                              std::string_view variant) {
  // Each looked-up resource is kept for the life of the process, so the spans handed out stay
  // valid whether or not the bundle stores it compressed.
  static std::map<std::string, GBytes*> cache;
  const std::string path =
      "/res/" + std::string(type) + "/" + std::to_string(id) + std::string(variant);
  auto it = cache.find(path);
  if (it == cache.end()) {
    GBytes* bytes = g_resources_lookup_data(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (bytes == nullptr) return std::nullopt;
    it = cache.emplace(path, bytes).first;
  }
  gsize size = 0;
  const auto* data = static_cast<const std::uint8_t*>(g_bytes_get_data(it->second, &size));
  return std::span<const std::uint8_t>(data, size);
}

}  // namespace platform
