// One rtnetlink link message, any bytes. Only an RTM_NEWLINK message whose stated length fits
// the bytes gives a row, and only from the bytes within that length; the row is one the
// interface table can hold (an address of at most 8 bytes, a name without NUL, counters that
// fit 32 bits when they came in the 32-bit statistics alone, a known type and status).

#include "platform/linux/NetlinkMessages.h"

#include "NetlinkInput.h"

#include <linux/if.h>
#include <linux/rtnetlink.h>

#include <tuple>

namespace {

using Parsed = std::optional<netlink::LinkMessage>;

auto Fields(const netlink::LinkMessage& m) {
    const IfRow& r = m.row;
    return std::tie(r.dwType, r.dwOperStatus, r.dwPhysAddrLen, r.bPhysAddr, r.bDescr, r.dwSpeed,
                    r.dwInOctets, r.dwOutOctets, r.ifIndex, r.name, r.counters64, m.hardwareType,
                    m.kind);
}

bool Same(const Parsed& a, const Parsed& b) {
    return a.has_value() == b.has_value() && (!a || Fields(*a) == Fields(*b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::NetlinkInput input(data, size);
    const Parsed link = netlink::ParseLinkMessage(input.bytes);
    FUZZ_CHECK(link.has_value() == (input.type == RTM_NEWLINK && input.Fits(sizeof(ifinfomsg))));
    input.CheckStatedLengthOnly(netlink::ParseLinkMessage, Same);
    if (!link) return 0;

    const IfRow& row = link->row;
    FUZZ_CHECK(row.dwPhysAddrLen <= row.bPhysAddr.size());
    FUZZ_CHECK(row.name.find('\0') == std::string::npos && row.name.size() < input.statedLength);
    FUZZ_CHECK(link->kind.find('\0') == std::string::npos);
    FUZZ_CHECK(row.counters64 || (row.dwInOctets <= UINT32_MAX && row.dwOutOctets <= UINT32_MAX));
    FUZZ_CHECK(row.dwType == netlink::RowType(link->hardwareType, false) && row.dwType != 71);
    FUZZ_CHECK(row.dwOperStatus == 0 || row.dwOperStatus == netlink::kOperStatusOperational);
    FUZZ_CHECK(row.bDescr.empty() && row.dwSpeed == 0);
    return 0;
}
