#include "platform/linux/NetlinkMessages.h"

// <net/if.h> first: the kernel's headers then leave out what it already defines.
#include <net/if.h>

#include <libmnl/libmnl.h>
#include <linux/genetlink.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/nl80211.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace netlink {

namespace {

// The bytes as a netlink message whose stated length fits them, or nullptr. Bytes that are
// not aligned for the header are copied into `aligned` first.
const nlmsghdr* AsMessage(std::span<const std::uint8_t> bytes, std::vector<std::uint32_t>& aligned,
                          std::size_t minPayload) {
    // A netlink message states its length in 32 bits.
    if (bytes.size() < sizeof(nlmsghdr) || bytes.size() > UINT32_MAX) return nullptr;
    const void* data = bytes.data();
    if (reinterpret_cast<std::uintptr_t>(data) % alignof(nlmsghdr) != 0) {
        aligned.resize((bytes.size() + 3) / 4);
        std::memcpy(aligned.data(), bytes.data(), bytes.size());
        data = aligned.data();
    }
    const auto* nlh = static_cast<const nlmsghdr*>(data);
    if (nlh->nlmsg_len > bytes.size() || nlh->nlmsg_len < NLMSG_LENGTH(minPayload)) return nullptr;
    return nlh;
}

// Hands every attribute after the message's fixed header of `offset` bytes to `callback`.
// The area ends with the length the message states: libmnl's own walk runs to the next 4-byte
// boundary, which lies past the message when its length is not a multiple of 4.
void ParseAttributes(const nlmsghdr* nlh, std::size_t offset, mnl_attr_cb_t callback, void* data) {
    const std::size_t start = MNL_NLMSG_HDRLEN + MNL_ALIGN(offset);
    if (nlh->nlmsg_len <= start) return;
    mnl_attr_parse_payload(reinterpret_cast<const char*>(nlh) + start, nlh->nlmsg_len - start,
                           callback, data);
}

template <typename T>
T Read(const nlattr* attr, std::size_t offset = 0) {
    T value;
    std::memcpy(&value, static_cast<const char*>(mnl_attr_get_payload(attr)) + offset,
                sizeof value);
    return value;
}

std::string ReadString(const nlattr* attr) {
    const auto* text = static_cast<const char*>(mnl_attr_get_payload(attr));
    return std::string(text, strnlen(text, mnl_attr_get_payload_len(attr)));
}

struct LinkAttributes {
    LinkMessage* link;
    std::uint8_t operState = IF_OPER_UNKNOWN;
    bool haveStats64 = false;
};

int OnLinkInfo(const nlattr* attr, void* data) {
    if (mnl_attr_get_type(attr) == IFLA_INFO_KIND) {
        static_cast<LinkAttributes*>(data)->link->kind = ReadString(attr);
    }
    return MNL_CB_OK;
}

int OnLinkAttribute(const nlattr* attr, void* data) {
    auto& state = *static_cast<LinkAttributes*>(data);
    IfRow& row = state.link->row;
    const std::size_t length = mnl_attr_get_payload_len(attr);
    switch (mnl_attr_get_type(attr)) {
        case IFLA_ADDRESS: {
            const std::size_t used = std::min(length, row.bPhysAddr.size());
            std::memcpy(row.bPhysAddr.data(), mnl_attr_get_payload(attr), used);
            row.dwPhysAddrLen = static_cast<std::uint32_t>(used);
            break;
        }
        case IFLA_IFNAME:
            row.name = ReadString(attr);
            break;
        case IFLA_OPERSTATE:
            if (length >= 1) state.operState = Read<std::uint8_t>(attr);
            break;
        case IFLA_STATS64:
            if (length >= offsetof(rtnl_link_stats64, tx_bytes) + sizeof(std::uint64_t)) {
                row.dwInOctets = Read<std::uint64_t>(attr, offsetof(rtnl_link_stats64, rx_bytes));
                row.dwOutOctets = Read<std::uint64_t>(attr, offsetof(rtnl_link_stats64, tx_bytes));
                state.haveStats64 = true;
            }
            break;
        case IFLA_STATS:
            if (!state.haveStats64 &&
                length >= offsetof(rtnl_link_stats, tx_bytes) + sizeof(std::uint32_t)) {
                row.dwInOctets = Read<std::uint32_t>(attr, offsetof(rtnl_link_stats, rx_bytes));
                row.dwOutOctets = Read<std::uint32_t>(attr, offsetof(rtnl_link_stats, tx_bytes));
            }
            break;
        case IFLA_LINKINFO:
            mnl_attr_parse_nested(attr, OnLinkInfo, data);
            break;
        default:
            break;
    }
    return MNL_CB_OK;
}

struct StationAttributes {
    std::uint32_t bitrate32 = 0;
    std::uint16_t bitrate16 = 0;
};

int OnRateInfo(const nlattr* attr, void* data) {
    auto& rate = *static_cast<StationAttributes*>(data);
    const std::size_t length = mnl_attr_get_payload_len(attr);
    switch (mnl_attr_get_type(attr)) {
        case NL80211_RATE_INFO_BITRATE32:
            if (length >= sizeof(std::uint32_t)) rate.bitrate32 = Read<std::uint32_t>(attr);
            break;
        case NL80211_RATE_INFO_BITRATE:
            if (length >= sizeof(std::uint16_t)) rate.bitrate16 = Read<std::uint16_t>(attr);
            break;
        default:
            break;
    }
    return MNL_CB_OK;
}

int OnStationInfo(const nlattr* attr, void* data) {
    if (mnl_attr_get_type(attr) == NL80211_STA_INFO_TX_BITRATE) {
        mnl_attr_parse_nested(attr, OnRateInfo, data);
    }
    return MNL_CB_OK;
}

int OnStationAttribute(const nlattr* attr, void* data) {
    if (mnl_attr_get_type(attr) == NL80211_ATTR_STA_INFO) {
        mnl_attr_parse_nested(attr, OnStationInfo, data);
    }
    return MNL_CB_OK;
}

int OnFamilyAttribute(const nlattr* attr, void* data) {
    if (mnl_attr_get_type(attr) == CTRL_ATTR_FAMILY_ID &&
        mnl_attr_get_payload_len(attr) >= sizeof(std::uint16_t)) {
        *static_cast<std::optional<std::uint16_t>*>(data) = Read<std::uint16_t>(attr);
    }
    return MNL_CB_OK;
}

}  // namespace

std::uint32_t RowType(std::uint16_t hardwareType, bool wireless) {
    switch (hardwareType) {
        case ARPHRD_ETHER:
            return wireless ? kIfTypeWireless : kIfTypeEthernet;
        case ARPHRD_PPP:
        case ARPHRD_NONE:  // tun devices and WireGuard: point-to-point IP tunnels
            return kIfTypePpp;
        case ARPHRD_LOOPBACK:
            return kIfTypeLoopback;
        default:
            return kIfTypeOther;
    }
}

bool IsOperational(std::uint8_t operState, std::uint32_t flags) {
    if (operState == IF_OPER_UP) return true;
    // Drivers that do not track the operational state (loopback, dummy, some tunnels) leave
    // it unknown; then the running and lower-layer-up flags tell.
    constexpr std::uint32_t kCarrying =
        static_cast<std::uint32_t>(IFF_RUNNING) | static_cast<std::uint32_t>(IFF_LOWER_UP);
    return operState == IF_OPER_UNKNOWN && (flags & kCarrying) == kCarrying;
}

std::optional<LinkMessage> ParseLinkMessage(std::span<const std::uint8_t> message) {
    std::vector<std::uint32_t> aligned;
    const nlmsghdr* nlh = AsMessage(message, aligned, sizeof(ifinfomsg));
    if (nlh == nullptr || nlh->nlmsg_type != RTM_NEWLINK) return std::nullopt;
    const auto* info = static_cast<const ifinfomsg*>(mnl_nlmsg_get_payload(nlh));

    LinkMessage link;
    link.hardwareType = info->ifi_type;
    link.row.ifIndex = static_cast<std::uint32_t>(info->ifi_index);
    LinkAttributes state{&link};
    ParseAttributes(nlh, sizeof(ifinfomsg), OnLinkAttribute, &state);

    link.row.dwType = RowType(link.hardwareType, false);
    link.row.dwOperStatus =
        IsOperational(state.operState, info->ifi_flags) ? kOperStatusOperational : 0;
    // Counters that came in the 32-bit statistics alone wrap at 2^32.
    if (!state.haveStats64) link.row.counters64 = false;
    return link;
}

std::optional<std::uint16_t> ParseFamilyId(std::span<const std::uint8_t> message) {
    std::vector<std::uint32_t> aligned;
    const nlmsghdr* nlh = AsMessage(message, aligned, GENL_HDRLEN);
    if (nlh == nullptr || nlh->nlmsg_type != GENL_ID_CTRL) return std::nullopt;
    const auto* genl = static_cast<const genlmsghdr*>(mnl_nlmsg_get_payload(nlh));
    if (genl->cmd != CTRL_CMD_NEWFAMILY) return std::nullopt;
    std::optional<std::uint16_t> id;
    ParseAttributes(nlh, GENL_HDRLEN, OnFamilyAttribute, &id);
    return id;
}

std::optional<std::uint64_t> ParseStationTxBitrate(std::span<const std::uint8_t> message) {
    std::vector<std::uint32_t> aligned;
    const nlmsghdr* nlh = AsMessage(message, aligned, GENL_HDRLEN);
    if (nlh == nullptr) return std::nullopt;
    const auto* genl = static_cast<const genlmsghdr*>(mnl_nlmsg_get_payload(nlh));
    if (genl->cmd != NL80211_CMD_NEW_STATION) return std::nullopt;
    StationAttributes rate;
    ParseAttributes(nlh, GENL_HDRLEN, OnStationAttribute, &rate);
    // Both are in units of 100 kbit/s; the 32-bit one exists because rates outgrew 16 bits.
    const std::uint64_t units = rate.bitrate32 != 0 ? rate.bitrate32 : rate.bitrate16;
    if (units == 0) return std::nullopt;
    return units * 100'000;
}

std::optional<std::uint64_t> EthtoolSpeedToBits(std::uint32_t mbps) {
    // 0 and SPEED_UNKNOWN (-1) mean no speed; older drivers put 0xFFFF in the 16-bit field.
    if (mbps == 0 || mbps == 0xFFFFFFFFu || mbps == 0xFFFFu) return std::nullopt;
    return std::uint64_t{mbps} * 1'000'000;
}

}  // namespace netlink
