#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The executable's embedded resources, addressed by type ("PNG", "ICON", "UPDATE", "BITMAP")
// and numeric id. Each executable links one bundle of its own.

namespace platform {

// The bytes of a resource; they live as long as the process. Nothing when there is no such
// resource.
// `variant` names another drawing of the same resource: "@2x" is the picture drawn at twice the
// size for screens at a window scale of 2.
std::optional<std::span<const std::uint8_t>> FindResourceData(std::string_view type, int id,
                                                              std::string_view variant = {});

}  // namespace platform
