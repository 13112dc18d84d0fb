#pragma once

// What the ethtool interface of the kernel tells about a network device.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ethtool {

// Runs one ethtool command on the device: `command` points at the request of `size` bytes,
// which the answer overwrites; false when the kernel refuses it. The functions below ask the
// device's driver unless they are handed another answerer (recorded or made-up answers).
using Kernel =
    std::function<bool(const std::string& interfaceName, void* command, std::size_t size)>;

// The link speed in bit/s; nothing when the device reports none or has no ethtool support
// (most virtual devices).
std::optional<std::uint64_t> LinkSpeed(const std::string& interfaceName);
std::optional<std::uint64_t> LinkSpeed(const std::string& interfaceName, const Kernel& kernel);

// The driver's name, empty when the device does not say.
std::string DriverName(const std::string& interfaceName);
std::string DriverName(const std::string& interfaceName, const Kernel& kernel);

}  // namespace ethtool
