#pragma once

// What the kernel's wireless interface (nl80211, over generic netlink) tells about a link.

#include <cstdint>
#include <optional>

namespace nl80211 {

// The transmit bit rate, in bit/s, towards the station the interface is associated with;
// nothing when there is no such station or the kernel has no wireless support.
std::optional<std::uint64_t> TxBitrate(std::uint32_t ifIndex);

}  // namespace nl80211
