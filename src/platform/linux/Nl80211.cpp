#include "platform/linux/Nl80211.h"

#include "platform/linux/NetlinkMessages.h"
#include "platform/linux/NetlinkSocket.h"

#include <libmnl/libmnl.h>
#include <linux/genetlink.h>
#include <linux/netlink.h>
#include <linux/nl80211.h>

#include <array>

namespace nl80211 {

namespace {

nlmsghdr* GenericRequest(std::span<std::uint8_t> buffer, std::uint16_t family, std::uint16_t flags,
                         std::uint8_t command) {
    nlmsghdr* nlh = mnl_nlmsg_put_header(buffer.data());
    nlh->nlmsg_type = family;
    nlh->nlmsg_flags = flags;
    auto* genl = static_cast<genlmsghdr*>(mnl_nlmsg_put_extra_header(nlh, sizeof(genlmsghdr)));
    genl->cmd = command;
    genl->version = 1;
    return nlh;
}

}  // namespace

std::optional<std::uint64_t> TxBitrate(std::uint32_t ifIndex) {
    netlink::Socket socket(NETLINK_GENERIC);
    alignas(nlmsghdr) std::array<std::uint8_t, 256> buffer{};

    nlmsghdr* nlh =
        GenericRequest(buffer, GENL_ID_CTRL, NLM_F_REQUEST | NLM_F_ACK, CTRL_CMD_GETFAMILY);
    mnl_attr_put_strz(nlh, CTRL_ATTR_FAMILY_NAME, NL80211_GENL_NAME);
    std::optional<std::uint16_t> family;
    socket.Exchange(*nlh, [&](std::uint16_t, std::span<const std::uint8_t> message) {
        if (!family) family = netlink::ParseFamilyId(message);
        return true;
    });
    if (!family) return std::nullopt;

    buffer.fill(0);
    nlh = GenericRequest(buffer, *family, NLM_F_REQUEST | NLM_F_DUMP, NL80211_CMD_GET_STATION);
    mnl_attr_put_u32(nlh, NL80211_ATTR_IFINDEX, ifIndex);
    std::optional<std::uint64_t> rate;
    if (!socket.Exchange(*nlh, [&](std::uint16_t, std::span<const std::uint8_t> message) {
            if (!rate) rate = netlink::ParseStationTxBitrate(message);
            return true;
        })) {
        return std::nullopt;
    }
    return rate;
}

}  // namespace nl80211
