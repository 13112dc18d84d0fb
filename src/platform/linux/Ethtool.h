#pragma once

// What the ethtool interface of the kernel tells about a network device.

#include <cstdint>
#include <optional>
#include <string>

namespace ethtool {

// The link speed in bit/s; nothing when the device reports none or has no ethtool support
// (most virtual devices).
std::optional<std::uint64_t> LinkSpeed(const std::string& interfaceName);

// The driver's name, empty when the device does not say.
std::string DriverName(const std::string& interfaceName);

}  // namespace ethtool
