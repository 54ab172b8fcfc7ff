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
std::optional<std::span<const std::uint8_t>> FindResourceData(std::string_view type, int id);

}  // namespace platform
