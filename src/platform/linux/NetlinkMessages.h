#pragma once

// Reading of single netlink messages, apart from any socket, so that the mapping from what
// the kernel says to interface rows can be checked with recorded or hand-made messages.

#include "platform/InterfaceTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace netlink {

// What one RTM_NEWLINK message says about an interface.
struct LinkMessage {
    // Everything but bDescr and dwSpeed; dwType as for a wired device (see RowType).
    IfRow row;
    std::uint16_t hardwareType = 0;  // ARPHRD_*
    std::string kind;                // IFLA_INFO_KIND ("veth", "tun", ...), empty for hardware
};

// The value of dwOperStatus for an operational link (the one Windows uses).
inline constexpr std::uint32_t kOperStatusOperational = 5;

// Row type for a hardware type; `wireless` tells an Ethernet-framed device that is a
// wireless one.
std::uint32_t RowType(std::uint16_t hardwareType, bool wireless);

// True when a link with this IFLA_OPERSTATE and these ifi_flags carries traffic.
bool IsOperational(std::uint8_t operState, std::uint32_t flags);

// One RTM_NEWLINK message (header included) as a row; nothing when the bytes are not a
// well-formed RTM_NEWLINK message.
std::optional<LinkMessage> ParseLinkMessage(std::span<const std::uint8_t> message);

// The family id in a generic-netlink controller answer (CTRL_CMD_NEWFAMILY).
std::optional<std::uint16_t> ParseFamilyId(std::span<const std::uint8_t> message);

// The transmit bit rate, in bit/s, of the station in an NL80211_CMD_NEW_STATION message.
std::optional<std::uint64_t> ParseStationTxBitrate(std::span<const std::uint8_t> message);

// An ethtool speed in Mbit/s as bit/s; nothing for the values that mean "unknown".
std::optional<std::uint64_t> EthtoolSpeedToBits(std::uint32_t mbps);

}  // namespace netlink
