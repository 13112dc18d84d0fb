// One generic-netlink answer, any bytes, read as an nl80211 station entry and as the
// controller's family answer. A bit rate comes only from a whole NL80211_CMD_NEW_STATION
// message and is a positive multiple of 100 kbit/s; a family id only from a whole
// CTRL_CMD_NEWFAMILY message of the controller; both only from the bytes within the
// message's stated length.

#include "platform/linux/NetlinkMessages.h"

#include "NetlinkInput.h"

#include <linux/genetlink.h>
#include <linux/nl80211.h>

namespace {

template <typename T>
bool Same(const std::optional<T>& a, const std::optional<T>& b) {
    return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::NetlinkInput input(data, size);
    const bool whole = input.Fits(GENL_HDRLEN);
    const std::uint8_t command = size > NLMSG_HDRLEN ? data[NLMSG_HDRLEN] : 0;

    const auto rate = netlink::ParseStationTxBitrate(input.bytes);
    if (!whole || command != NL80211_CMD_NEW_STATION) FUZZ_CHECK(!rate);
    if (rate) FUZZ_CHECK(*rate > 0 && *rate % 100'000 == 0 && *rate <= 0xFFFFFFFFull * 100'000);
    input.CheckStatedLengthOnly(netlink::ParseStationTxBitrate, Same<std::uint64_t>);

    const auto family = netlink::ParseFamilyId(input.bytes);
    if (!whole || command != CTRL_CMD_NEWFAMILY || input.type != GENL_ID_CTRL) {
        FUZZ_CHECK(!family);
    }
    input.CheckStatedLengthOnly(netlink::ParseFamilyId, Same<std::uint16_t>);
    return 0;
}
