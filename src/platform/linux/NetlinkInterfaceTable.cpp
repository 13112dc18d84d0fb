#include "platform/linux/NetlinkInterfaceTable.h"

#include "platform/linux/Ethtool.h"
#include "platform/linux/NetlinkMessages.h"
#include "platform/linux/Nl80211.h"
#include "util/CodePage.h"

#include <libmnl/libmnl.h>
#include <linux/if_arp.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/utsname.h>

#include <QString>

#include <array>
#include <cstdint>
#include <string_view>

namespace {

// A dump can be cut short by devices coming and going while the kernel writes it; it is
// then asked for again. A socket that broke is replaced on the next try.
constexpr int kReadAttempts = 3;

// bDescr holds at most this many bytes (the Windows row's 256 with the closing NUL).
constexpr std::size_t kMaxDescription = 255;

// The kernel keeps its own byte counters in a machine word: 64 bits wide on a 64-bit kernel,
// 32 bits on a 32-bit one, where they wrap at 2^32 even in the 64-bit statistics it sends.
// (Drivers there that keep 64-bit counters of their own and reset them in place would then
// be taken for a wrap, which is far rarer than a 32-bit counter wrapping.)
bool KernelCountsIn64Bits() {
    static const bool wide = [] {
        utsname system{};
        if (uname(&system) != 0) return true;
        const std::string_view machine = system.machine;
        return machine.find("64") != std::string_view::npos || machine == "alpha" ||
               machine == "s390x";
    }();
    return wide;
}

nlmsghdr* LinkRequest(std::span<std::uint8_t> buffer, std::uint16_t flags, std::uint32_t ifIndex) {
    nlmsghdr* nlh = mnl_nlmsg_put_header(buffer.data());
    nlh->nlmsg_type = RTM_GETLINK;
    nlh->nlmsg_flags = flags;
    auto* info = static_cast<ifinfomsg*>(mnl_nlmsg_put_extra_header(nlh, sizeof(ifinfomsg)));
    info->ifi_family = AF_UNSPEC;
    info->ifi_index = static_cast<int>(ifIndex);
    return nlh;
}

}  // namespace

NetlinkInterfaceTable::NetlinkInterfaceTable() : route_(NETLINK_ROUTE) {}

std::optional<std::vector<IfRow>> NetlinkInterfaceTable::Read() {
    std::vector<IfRow> rows;
    rows.reserve(lastRowCount_ + 8);
    bool done = false;
    for (int attempt = 0; attempt < kReadAttempts && !done; ++attempt) {
        done = Dump(rows);
    }
    if (!done) return std::nullopt;
    // Forget devices that are gone, so that neither memory nor an old name outlives them.
    if (devices_.size() > remembered_) {
        std::erase_if(devices_,
                      [&](const auto& entry) { return entry.second.lastSeen != readCount_; });
    }
    lastRowCount_ = rows.size();
    return rows;
}

std::optional<IfRow> NetlinkInterfaceTable::ReadLink(std::uint32_t ifIndex) {
    std::optional<netlink::LinkMessage> link = AskLink(ifIndex);
    if (!link) return std::nullopt;
    return AsRow(std::move(*link));
}

bool NetlinkInterfaceTable::Dump(std::vector<IfRow>& rows) {
    rows.clear();
    ++readCount_;
    remembered_ = 0;
    alignas(nlmsghdr) std::array<std::uint8_t, 64> request{};
    nlmsghdr* nlh = LinkRequest(request, NLM_F_REQUEST | NLM_F_DUMP, 0);
    return route_.Exchange(*nlh, [&](std::uint16_t type, std::span<const std::uint8_t> message) {
        if (type != RTM_NEWLINK) return true;
        std::optional<netlink::LinkMessage> link = netlink::ParseLinkMessage(message);
        if (!link) return false;
        rows.push_back(AsRow(std::move(*link)));
        return true;
    });
}

IfRow NetlinkInterfaceTable::AsRow(netlink::LinkMessage&& link) {
    if (Remember(link).wireless) link.row.dwType = kIfTypeWireless;
    if (!KernelCountsIn64Bits()) link.row.counters64 = false;
    return std::move(link.row);
}

std::optional<netlink::LinkMessage> NetlinkInterfaceTable::AskLink(std::uint32_t ifIndex) {
    // Index 0 would ask for a link by name, and there is none.
    if (ifIndex == 0 || ifIndex > static_cast<std::uint32_t>(INT32_MAX)) return std::nullopt;
    alignas(nlmsghdr) std::array<std::uint8_t, 64> request{};
    nlmsghdr* nlh = LinkRequest(request, NLM_F_REQUEST | NLM_F_ACK, ifIndex);
    std::optional<netlink::LinkMessage> link;
    // A link that is gone is an error answer, which fails the exchange.
    const bool answered =
        route_.Exchange(*nlh, [&](std::uint16_t type, std::span<const std::uint8_t> message) {
            if (type == RTM_NEWLINK && !link) link = netlink::ParseLinkMessage(message);
            return true;
        });
    if (!answered || !link || link->row.ifIndex != ifIndex) return std::nullopt;
    return link;
}

NetlinkInterfaceTable::Device& NetlinkInterfaceTable::Remember(const netlink::LinkMessage& link) {
    const auto [entry, added] = devices_.try_emplace(link.row.ifIndex);
    Device& device = entry->second;
    if (added || device.name != link.row.name) {
        device = Device{};
        device.name = link.row.name;
        device.wireless = link.hardwareType == ARPHRD_ETHER && device::IsWireless(device.name);
    }
    device.kind = link.kind;
    if (device.lastSeen != readCount_) ++remembered_;
    device.lastSeen = readCount_;
    return device;
}

NetlinkInterfaceTable::Device* NetlinkInterfaceTable::Find(const IfRow& row) {
    const auto known = devices_.find(row.ifIndex);
    if (known != devices_.end() && known->second.name == row.name) return &known->second;
    std::optional<netlink::LinkMessage> link = AskLink(row.ifIndex);
    if (!link || link->row.name != row.name) return nullptr;
    return &Remember(*link);
}

void NetlinkInterfaceTable::Describe(IfRow& row) {
    if (row.name.empty()) {  // the kernel always names its devices; never leave it blank
        row.bDescr = "interface " + std::to_string(row.ifIndex);
        return;
    }
    const std::string& name = row.name;
    Device* device = Find(row);
    if (device != nullptr && !device->description.empty()) {
        row.bDescr = device->description;
        return;
    }

    // The most telling of what is known, from the same sources in the same order every
    // time, because the remembered adapter is found again by this text.
    std::string detail = hardware_.Model(name);
    if (detail.empty()) detail = device::HardwareDriver(name);
    if (detail.empty() && device != nullptr) detail = device->kind;
    if (detail.empty()) detail = ethtool::DriverName(name);
    const std::string text = detail.empty() ? name : name + " (" + detail + ")";

    std::string description =
        codepage::ToAnsi(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (description.size() > kMaxDescription) description.resize(kMaxDescription);
    if (device != nullptr) device->description = description;
    row.bDescr = std::move(description);
}

void NetlinkInterfaceTable::MeasureSpeed(IfRow& row) {
    if (row.dwOperStatus == 0) {
        row.dwSpeed = 0;
        return;
    }
    const std::optional<std::uint64_t> bits = row.dwType == kIfTypeWireless
                                                  ? nl80211::TxBitrate(row.ifIndex)
                                                  : ethtool::LinkSpeed(row.name);
    // An operational link that reports no speed stays online (dwOperStatus says so) and
    // gets no figure of ours.
    row.dwSpeed = bits.value_or(0);
}
