// Mapping of single netlink messages, made here byte by byte as the kernel writes them, to
// interface rows and speeds.

#include "platform/linux/NetlinkMessages.h"

#include <gtest/gtest.h>

// <net/if.h> first: the kernel's headers then leave out what it already defines.
#include <net/if.h>

#include <libmnl/libmnl.h>
#include <linux/genetlink.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/nl80211.h>
#include <linux/rtnetlink.h>

#include <cstring>
#include <vector>

using netlink::ParseLinkMessage;

namespace {

// A netlink message under construction, in an aligned buffer.
class Message {
  public:
    Message(std::uint16_t type, std::size_t extraHeader) : buffer_(4096 / 4) {
        nlh_ = mnl_nlmsg_put_header(buffer_.data());
        nlh_->nlmsg_type = type;
        extra_ = mnl_nlmsg_put_extra_header(nlh_, extraHeader);
    }

    nlmsghdr* nlh() { return nlh_; }
    std::span<const std::uint8_t> bytes() const {
        return {reinterpret_cast<const std::uint8_t*>(buffer_.data()), nlh_->nlmsg_len};
    }

  protected:
    std::vector<std::uint32_t> buffer_;
    nlmsghdr* nlh_;
    void* extra_;
};

class Link : public Message {
  public:
    Link() : Message(RTM_NEWLINK, sizeof(ifinfomsg)) {
        info()->ifi_type = ARPHRD_ETHER;
        info()->ifi_index = 7;
    }
    ifinfomsg* info() { return static_cast<ifinfomsg*>(extra_); }

    Link& Type(std::uint16_t type) { return info()->ifi_type = type, *this; }
    Link& Flags(std::uint32_t flags) { return info()->ifi_flags = flags, *this; }
    Link& Name(const char* name) { return mnl_attr_put_strz(nlh_, IFLA_IFNAME, name), *this; }
    Link& OperState(std::uint8_t state) {
        return mnl_attr_put_u8(nlh_, IFLA_OPERSTATE, state), *this;
    }
    Link& Address(const std::vector<std::uint8_t>& address) {
        mnl_attr_put(nlh_, IFLA_ADDRESS, address.size(), address.data());
        return *this;
    }
    Link& Stats64(std::uint64_t rx, std::uint64_t tx) {
        rtnl_link_stats64 stats{};
        stats.rx_bytes = rx;
        stats.tx_bytes = tx;
        stats.rx_packets = 111;  // neighbours of the byte counters must not be taken for them
        stats.tx_packets = 222;
        mnl_attr_put(nlh_, IFLA_STATS64, sizeof stats, &stats);
        return *this;
    }
    Link& Stats32(std::uint32_t rx, std::uint32_t tx) {
        rtnl_link_stats stats{};
        stats.rx_bytes = rx;
        stats.tx_bytes = tx;
        stats.rx_packets = 333;
        mnl_attr_put(nlh_, IFLA_STATS, sizeof stats, &stats);
        return *this;
    }
    Link& Kind(const char* kind) {
        nlattr* nest = mnl_attr_nest_start(nlh_, IFLA_LINKINFO);
        mnl_attr_put_strz(nlh_, IFLA_INFO_KIND, kind);
        mnl_attr_nest_end(nlh_, nest);
        return *this;
    }
    netlink::LinkMessage Parse() const {
        auto link = ParseLinkMessage(bytes());
        EXPECT_TRUE(link.has_value());
        return link.value_or(netlink::LinkMessage{});
    }
};

class Station : public Message {
  public:
    explicit Station(std::uint8_t command = NL80211_CMD_NEW_STATION)
        : Message(0x1c, sizeof(genlmsghdr)) {
        static_cast<genlmsghdr*>(extra_)->cmd = command;
        mnl_attr_put_u32(nlh_, NL80211_ATTR_IFINDEX, 3);
    }
    // A station entry with the given rate attributes (0 = left out) in its TX bitrate.
    Station& TxRate(std::uint32_t bitrate32, std::uint16_t bitrate16) {
        nlattr* info = mnl_attr_nest_start(nlh_, NL80211_ATTR_STA_INFO);
        mnl_attr_put_u32(nlh_, NL80211_STA_INFO_INACTIVE_TIME, 40);
        nlattr* rx = mnl_attr_nest_start(nlh_, NL80211_STA_INFO_RX_BITRATE);
        mnl_attr_put_u32(nlh_, NL80211_RATE_INFO_BITRATE32, 9999);  // the other direction
        mnl_attr_nest_end(nlh_, rx);
        nlattr* tx = mnl_attr_nest_start(nlh_, NL80211_STA_INFO_TX_BITRATE);
        if (bitrate16 != 0) mnl_attr_put_u16(nlh_, NL80211_RATE_INFO_BITRATE, bitrate16);
        if (bitrate32 != 0) mnl_attr_put_u32(nlh_, NL80211_RATE_INFO_BITRATE32, bitrate32);
        mnl_attr_put_u8(nlh_, NL80211_RATE_INFO_MCS, 7);
        mnl_attr_nest_end(nlh_, tx);
        mnl_attr_nest_end(nlh_, info);
        return *this;
    }
};

}  // namespace

TEST(NetlinkMessages, RowTypeFollowsHardwareTypeAndWirelessDevice) {
    EXPECT_EQ(Link().Type(ARPHRD_ETHER).Parse().row.dwType, 6u);
    EXPECT_EQ(netlink::RowType(ARPHRD_ETHER, true), 71u);
    EXPECT_EQ(Link().Type(ARPHRD_PPP).Parse().row.dwType, 23u);
    EXPECT_EQ(Link().Type(ARPHRD_NONE).Parse().row.dwType, 23u);
    EXPECT_EQ(Link().Type(ARPHRD_LOOPBACK).Parse().row.dwType, 24u);
    // Only an Ethernet-framed device can be the wireless kind; monitor interfaces and other
    // link types are "other".
    EXPECT_EQ(netlink::RowType(ARPHRD_LOOPBACK, true), 24u);
    for (std::uint16_t other : {ARPHRD_IEEE80211_RADIOTAP, ARPHRD_IEEE80211, ARPHRD_INFINIBAND,
                                ARPHRD_SIT, ARPHRD_IPGRE, ARPHRD_CAN, ARPHRD_VOID}) {
        EXPECT_EQ(Link().Type(other).Parse().row.dwType, 1u) << other;
        EXPECT_EQ(netlink::RowType(other, true), 1u) << other;
    }
}

TEST(NetlinkMessages, OperationalWhenUpOrUnknownWithCarrier) {
    const std::uint32_t up = IFF_UP, running = IFF_RUNNING, lowerUp = IFF_LOWER_UP;
    const std::uint32_t carrying = up | running | lowerUp;
    struct Case {
        std::uint8_t state;
        std::uint32_t flags;
        bool operational;
    };
    const Case cases[] = {
        {IF_OPER_UP, carrying, true},           {IF_OPER_UP, up, true},  // the state decides
        {IF_OPER_UNKNOWN, carrying, true},      {IF_OPER_UNKNOWN, up | running, false},
        {IF_OPER_UNKNOWN, up | lowerUp, false}, {IF_OPER_UNKNOWN, up, false},
        {IF_OPER_DOWN, carrying, false},        {IF_OPER_LOWERLAYERDOWN, carrying, false},
        {IF_OPER_DORMANT, carrying, false},     {IF_OPER_NOTPRESENT, carrying, false},
        {IF_OPER_TESTING, carrying, false},
    };
    for (const Case& c : cases) {
        const IfRow row = Link().Flags(c.flags).OperState(c.state).Parse().row;
        EXPECT_EQ(row.dwOperStatus != 0, c.operational)
            << "state " << int{c.state} << " flags " << c.flags;
    }
    // No state attribute at all: as unknown.
    EXPECT_NE(Link().Flags(carrying).Parse().row.dwOperStatus, 0u);
    EXPECT_EQ(Link().Flags(up).Parse().row.dwOperStatus, 0u);
}

TEST(NetlinkMessages, AddressKeepsUpToEightBytes) {
    EXPECT_EQ(Link().Parse().row.dwPhysAddrLen, 0u);
    EXPECT_EQ(Link().Address({}).Parse().row.dwPhysAddrLen, 0u);

    IfRow row = Link().Address({0x00, 0x0C, 0x29, 0xAB, 0x01, 0xFF}).Parse().row;
    ASSERT_EQ(row.dwPhysAddrLen, 6u);
    EXPECT_EQ(row.bPhysAddr, (std::array<std::uint8_t, 8>{0x00, 0x0C, 0x29, 0xAB, 0x01, 0xFF}));

    row = Link().Address({1, 2, 3, 4, 5, 6, 7, 8}).Parse().row;
    EXPECT_EQ(row.dwPhysAddrLen, 8u);
    EXPECT_EQ(row.bPhysAddr, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));

    // An InfiniBand address has 20 bytes: its first eight are kept.
    std::vector<std::uint8_t> longAddress(20);
    for (std::size_t i = 0; i < longAddress.size(); ++i)
        longAddress[i] = std::uint8_t(0xA0 + i);
    row = Link().Type(ARPHRD_INFINIBAND).Address(longAddress).Parse().row;
    EXPECT_EQ(row.dwPhysAddrLen, 8u);
    EXPECT_EQ(row.bPhysAddr,
              (std::array<std::uint8_t, 8>{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}));
}

TEST(NetlinkMessages, CountersTakeSixtyFourBits) {
    IfRow row =
        Link().Stats32(11, 22).Stats64(0x1'2345'6789ull, 0xFFFF'FFFF'0000'0001ull).Parse().row;
    EXPECT_EQ(row.dwInOctets, 0x1'2345'6789ull);
    EXPECT_EQ(row.dwOutOctets, 0xFFFF'FFFF'0000'0001ull);
    EXPECT_TRUE(row.counters64);

    // The 64-bit counters win whatever the order of the attributes.
    row = Link().Stats64(5'000'000'000ull, 7).Stats32(1, 2).Parse().row;
    EXPECT_EQ(row.dwInOctets, 5'000'000'000ull);
    EXPECT_EQ(row.dwOutOctets, 7u);

    // Only the 32-bit counters: taken as they are, and known to wrap at 2^32.
    row = Link().Stats32(0xFFFF'FFF0u, 42).Parse().row;
    EXPECT_EQ(row.dwInOctets, 0xFFFF'FFF0u);
    EXPECT_EQ(row.dwOutOctets, 42u);
    EXPECT_FALSE(row.counters64);
}

TEST(NetlinkMessages, NameIndexAndKind) {
    Link link;
    link.info()->ifi_index = 4242;
    const netlink::LinkMessage parsed = link.Name("veth-a").Kind("veth").Parse();
    EXPECT_EQ(parsed.row.name, "veth-a");
    EXPECT_EQ(parsed.row.ifIndex, 4242u);
    EXPECT_EQ(parsed.kind, "veth");
    EXPECT_EQ(parsed.hardwareType, ARPHRD_ETHER);
    EXPECT_TRUE(parsed.row.bDescr.empty());
    EXPECT_EQ(parsed.row.dwSpeed, 0u);
    EXPECT_EQ(Link().Name("eth0").Parse().kind, "");
}

TEST(NetlinkMessages, BrokenMessagesAreRejectedOrReadSafely) {
    Link link;
    link.Name("eth0").OperState(IF_OPER_UP);
    const auto bytes = link.bytes();

    EXPECT_FALSE(ParseLinkMessage(bytes.first(8)));                 // shorter than a header
    EXPECT_FALSE(ParseLinkMessage(bytes.first(bytes.size() - 4)));  // shorter than it says
    EXPECT_FALSE(ParseLinkMessage(bytes.first(NLMSG_HDRLEN)));

    Link deleted;
    deleted.nlh()->nlmsg_type = RTM_DELLINK;
    EXPECT_FALSE(ParseLinkMessage(deleted.bytes()));

    // Not aligned in memory: read all the same.
    std::vector<std::uint8_t> shifted(bytes.size() + 1);
    std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
    const auto moved = ParseLinkMessage(std::span(shifted).subspan(1));
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->row.name, "eth0");

    // An attribute that claims more bytes than the message has ends the reading there.
    Link lying;
    lying.Name("good").OperState(IF_OPER_UP);
    nlattr* bad = static_cast<nlattr*>(mnl_nlmsg_get_payload_tail(lying.nlh()));
    lying.Name("evil0");
    bad->nla_len = 4000;
    const auto parsed = ParseLinkMessage(lying.bytes());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->row.name, "good");
    EXPECT_NE(parsed->row.dwOperStatus, 0u);

    // A name without its closing NUL stays within the attribute.
    Link unterminated;
    mnl_attr_put(unterminated.nlh(), IFLA_IFNAME, 3, "abc");
    mnl_attr_put_u8(unterminated.nlh(), IFLA_OPERSTATE, IF_OPER_UP);
    EXPECT_EQ(unterminated.Parse().row.name, "abc");
}

// The attribute area ends with the length the message states, also when that length is not a
// multiple of 4: the bytes that follow (padding, or the next message) are never read.
TEST(NetlinkMessages, AttributesEndWithTheStatedLength) {
    Link link;
    link.Name("eth0");
    mnl_attr_put(link.nlh(), IFLA_IFNAME, 4, "abcd");  // ends on a 4-byte boundary
    link.nlh()->nlmsg_len -= 3;                        // "bcd" now lies past the message
    auto parsed = ParseLinkMessage(link.bytes());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->row.name, "eth0");

    // A last attribute that fits the stated length is read, padding or not.
    Link unpadded;
    unpadded.Flags(IFF_UP).OperState(IF_OPER_UP);
    unpadded.nlh()->nlmsg_len -= 3;
    parsed = ParseLinkMessage(unpadded.bytes());
    ASSERT_TRUE(parsed);
    EXPECT_NE(parsed->row.dwOperStatus, 0u);

    Station station;
    station.TxRate(8667, 0);
    station.nlh()->nlmsg_len -= 3;
    EXPECT_FALSE(netlink::ParseStationTxBitrate(station.bytes()));
}

TEST(NetlinkMessages, StationTxBitrate) {
    // 100 kbit/s units; the 32-bit attribute is preferred to the 16-bit one.
    EXPECT_EQ(netlink::ParseStationTxBitrate(Station().TxRate(8667, 0).bytes()), 866'700'000u);
    EXPECT_EQ(netlink::ParseStationTxBitrate(Station().TxRate(24019, 2401).bytes()),
              2'401'900'000u);
    EXPECT_EQ(netlink::ParseStationTxBitrate(Station().TxRate(0, 540).bytes()), 54'000'000u);
    EXPECT_EQ(netlink::ParseStationTxBitrate(Station().TxRate(60000, 0).bytes()), 6'000'000'000u);

    EXPECT_FALSE(netlink::ParseStationTxBitrate(Station().TxRate(0, 0).bytes()));
    EXPECT_FALSE(netlink::ParseStationTxBitrate(Station().bytes()));  // no station info
    EXPECT_FALSE(
        netlink::ParseStationTxBitrate(Station(NL80211_CMD_NEW_INTERFACE).TxRate(8667, 0).bytes()));
    Station station;
    const auto whole = station.TxRate(8667, 0).bytes();
    EXPECT_FALSE(netlink::ParseStationTxBitrate(whole.first(whole.size() - 8)));
}

TEST(NetlinkMessages, GenericFamilyId) {
    Message answer(GENL_ID_CTRL, sizeof(genlmsghdr));
    auto* genl = static_cast<genlmsghdr*>(mnl_nlmsg_get_payload(answer.nlh()));
    genl->cmd = CTRL_CMD_NEWFAMILY;
    mnl_attr_put_strz(answer.nlh(), CTRL_ATTR_FAMILY_NAME, "nl80211");
    mnl_attr_put_u16(answer.nlh(), CTRL_ATTR_FAMILY_ID, 0x22);
    EXPECT_EQ(netlink::ParseFamilyId(answer.bytes()), 0x22);

    genl->cmd = CTRL_CMD_DELFAMILY;
    EXPECT_FALSE(netlink::ParseFamilyId(answer.bytes()));
}

TEST(NetlinkMessages, SpeedsInBits) {
    EXPECT_EQ(netlink::EthtoolSpeedToBits(10), 10'000'000u);
    EXPECT_EQ(netlink::EthtoolSpeedToBits(1000), 1'000'000'000u);
    EXPECT_EQ(netlink::EthtoolSpeedToBits(100000), 100'000'000'000u);
    for (std::uint32_t unknown : {0u, 0xFFFFu, 0xFFFFFFFFu}) {
        EXPECT_FALSE(netlink::EthtoolSpeedToBits(unknown)) << unknown;
    }
}
