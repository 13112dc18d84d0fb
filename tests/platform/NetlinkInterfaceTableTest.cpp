// The interface table against the real kernel: devices are made with iproute2 in a private
// network namespace, so the machine's own network is never touched.

#include "platform/SystemInterfaceTable.h"
#include "platform/linux/NetlinkInterfaceTable.h"

#include "PrivateNetns.h"
#include "TunDevice.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"  // flexible array members of the kernel's structs
#include <linux/ethtool.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace {

// The lines of `command`'s output, without their ends and the spaces around them.
std::vector<std::string> OutputLines(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return lines;
    for (char line[512]; std::fgets(line, sizeof line, pipe) != nullptr;) {
        std::string text = line;
        text.erase(0, text.find_first_not_of(' '));
        text.erase(text.find_last_not_of(" \n") + 1);
        lines.push_back(text);
    }
    pclose(pipe);
    return lines;
}

std::string Output(const std::string& command) {
    const std::vector<std::string> lines = OutputLines(command);
    return lines.empty() ? std::string() : lines[0];
}

std::string AddressText(const IfRow& row) {
    std::string text;
    char part[4];
    for (std::uint32_t i = 0; i < row.dwPhysAddrLen; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02x" : ":%02x", row.bPhysAddr[i]);
        text += part;
    }
    return text;
}

// Sets the speed a device reports (Mbit/s), as `ethtool -s` does.
bool SetLinkSpeed(const std::string& name, std::uint32_t mbps) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ethtool_cmd settings{};
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name.c_str());
    request.ifr_data = reinterpret_cast<char*>(&settings);
    settings.cmd = ETHTOOL_GSET;
    bool done = ioctl(fd, SIOCETHTOOL, &request) == 0;
    settings.cmd = ETHTOOL_SSET;
    ethtool_cmd_speed_set(&settings, mbps);
    done = done && ioctl(fd, SIOCETHTOOL, &request) == 0;
    close(fd);
    return done;
}

class NetlinkInterfaceTableTest : public testing::Test {
  protected:
    void SetUp() override {
        netns_ = std::make_unique<PrivateNetns>();
        if (!netns_->ok()) GTEST_SKIP() << "no private network namespace: " << netns_->error();
    }
    void TearDown() override { netns_.reset(); }

    std::vector<IfRow> ReadOk(InterfaceTable& table) {
        auto rows = table.Read();
        EXPECT_TRUE(rows.has_value());
        return rows.value_or(std::vector<IfRow>{});
    }

    std::unique_ptr<PrivateNetns> netns_;
};

}  // namespace

TEST_F(NetlinkInterfaceTableTest, VethPairsComeAndGoInKernelOrder) {
    NetlinkInterfaceTable table;
    std::vector<IfRow> rows = ReadOk(table);
    ASSERT_EQ(rows.size(), 1u);  // a new namespace has only its loopback device
    EXPECT_EQ(rows[0].name, "lo");
    EXPECT_EQ(rows[0].dwType, 24u);
    EXPECT_EQ(rows[0].dwPhysAddrLen, 6u);  // all zero

    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-a type veth peer name tvt-b"));
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-c type veth peer name tvt-d"));
    rows = ReadOk(table);
    ASSERT_EQ(rows.size(), 5u);
    // The kernel's order, which is the order `ip link` shows.
    std::vector<std::string> names;
    for (const IfRow& row : rows)
        names.push_back(row.name);
    EXPECT_EQ(names, OutputLines("ip -o link show | cut -d: -f2 | cut -d@ -f1"));

    for (const char* name : {"tvt-a", "tvt-b", "tvt-c", "tvt-d"}) {
        const IfRow* row = FindRow(rows, name);
        ASSERT_NE(row, nullptr) << name;
        EXPECT_EQ(row->dwType, 6u) << name;
        EXPECT_EQ(row->dwPhysAddrLen, 6u) << name;
        EXPECT_EQ(AddressText(*row), Output(std::string("ip -o link show ") + name +
                                            " | sed 's/.*link.ether //' | cut -d' ' -f1"))
            << name;
        EXPECT_EQ(std::to_string(row->ifIndex),
                  Output(std::string("ip -o link show ") + name + " | cut -d: -f1"));
        EXPECT_EQ(row->dwOperStatus, 0u) << name;  // made down
    }

    ASSERT_TRUE(PrivateNetns::Ip("link del tvt-a"));
    rows = ReadOk(table);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(FindRow(rows, "tvt-a"), nullptr);
    EXPECT_EQ(FindRow(rows, "tvt-b"), nullptr);  // a veth takes its peer along
    EXPECT_NE(FindRow(rows, "tvt-c"), nullptr);

    // A renamed device is read and described under its new name.
    IfRow peer = *FindRow(rows, "tvt-d");
    table.Describe(peer);
    EXPECT_EQ(peer.bDescr, "tvt-d (veth)");
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-d name tvt-renamed"));
    rows = ReadOk(table);
    EXPECT_EQ(FindRow(rows, "tvt-d"), nullptr);
    ASSERT_NE(FindRow(rows, "tvt-renamed"), nullptr);
    IfRow renamed = *FindRow(rows, "tvt-renamed");
    EXPECT_EQ(renamed.ifIndex, peer.ifIndex);
    table.Describe(renamed);
    EXPECT_EQ(renamed.bDescr, "tvt-renamed (veth)");

    // A name used again by a new device of another kind is described afresh.
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-c down"));
    ASSERT_TRUE(PrivateNetns::Ip("link del tvt-c"));
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-c type bridge"));
    rows = ReadOk(table);
    const IfRow* bridge = FindRow(rows, "tvt-c");
    ASSERT_NE(bridge, nullptr);
    IfRow described = *bridge;
    table.Describe(described);
    EXPECT_EQ(described.bDescr, "tvt-c (bridge)");
}

TEST_F(NetlinkInterfaceTableTest, OperationalStateAndSpeed) {
    ASSERT_TRUE(PrivateNetns::Ip("link set lo up"));
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-up type veth peer name tvt-peer"));
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-up up"));
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-peer up"));
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-half type veth peer name tvt-other"));
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-half up"));  // its peer stays down: no carrier
    ASSERT_TRUE(PrivateNetns::Ip("tuntap add tvt-tap mode tap"));
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-tap up"));  // nobody holds it open: no carrier
    ASSERT_TRUE(PrivateNetns::Ip("tuntap add tvt-tun mode tun"));
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-tun up"));

    NetlinkInterfaceTable table;
    std::vector<IfRow> rows = ReadOk(table);
    struct Expected {
        const char* name;
        std::uint32_t type;
        bool operational;
    };
    const Expected expected[] = {
        {"lo", 24, true},  // state unknown, running and lower up
        {"tvt-up", 6, true},     {"tvt-peer", 6, true}, {"tvt-half", 6, false},
        {"tvt-other", 6, false}, {"tvt-tap", 6, false}, {"tvt-tun", 23, false},
    };
    for (const Expected& e : expected) {
        const IfRow* found = FindRow(rows, e.name);
        ASSERT_NE(found, nullptr) << e.name;
        IfRow row = *found;
        EXPECT_EQ(row.dwType, e.type) << e.name;
        EXPECT_EQ(row.dwOperStatus != 0, e.operational) << e.name;
        row.dwSpeed = 123;
        table.MeasureSpeed(row);
        if (!e.operational) {
            EXPECT_EQ(row.dwSpeed, 0u) << e.name;
        }
    }
    // veth says 10 Gbit/s; loopback says nothing, and gets no figure although operational.
    IfRow veth = *FindRow(rows, "tvt-up");
    table.MeasureSpeed(veth);
    EXPECT_EQ(veth.dwSpeed, 10'000'000'000u);
    IfRow loopback = *FindRow(rows, "lo");
    table.MeasureSpeed(loopback);
    EXPECT_EQ(loopback.dwSpeed, 0u);

    // Held open, the tap device gets carrier. Its driver reports whatever speed it was given.
    TunDevice tap("tvt-tap", TunDevice::Mode::Tap);
    ASSERT_TRUE(tap.ok());
    ASSERT_TRUE(SetLinkSpeed("tvt-tap", 100));
    std::optional<IfRow> operational = WaitForOperState(table, "tvt-tap");
    ASSERT_TRUE(operational);
    IfRow tapRow = *operational;
    table.MeasureSpeed(tapRow);
    EXPECT_EQ(tapRow.dwSpeed, 100'000'000u);
    ASSERT_TRUE(SetLinkSpeed("tvt-tap", 2500));  // measured afresh each time
    table.MeasureSpeed(tapRow);
    EXPECT_EQ(tapRow.dwSpeed, 2'500'000'000u);

    // Down again: not operational, speed 0.
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-peer down"));
    std::optional<IfRow> down = WaitForOperState(table, "tvt-up", false);
    ASSERT_TRUE(down);
    table.MeasureSpeed(*down);
    EXPECT_EQ(down->dwSpeed, 0u);
}

TEST_F(NetlinkInterfaceTableTest, WirelessDevicesAreToldBySysfs) {
    if (!netns_->ownSysfs()) GTEST_SKIP() << "no private sysfs to show a wireless device in";
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-w0 type veth peer name tvt-w1"));
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-e0 type veth peer name tvt-e1"));
    for (const char* name : {"tvt-w0", "tvt-w1", "tvt-e0", "tvt-e1"}) {
        ASSERT_TRUE(PrivateNetns::Ip(std::string("link set ") + name + " up"));
    }
    // There is no wireless hardware here: the sysfs folders of two devices are made to look
    // like those of wireless ones, one by its DEVTYPE, the other by its link to a PHY.
    const std::string w0 = "/sys/class/net/tvt-w0", w1 = "/sys/class/net/tvt-w1";
    ASSERT_EQ(mount("tmpfs", w0.c_str(), "tmpfs", 0, nullptr), 0) << std::strerror(errno);
    ASSERT_EQ(mount("tmpfs", w1.c_str(), "tmpfs", 0, nullptr), 0) << std::strerror(errno);
    FILE* uevent = std::fopen((w0 + "/uevent").c_str(), "w");
    ASSERT_NE(uevent, nullptr);
    std::fputs("DEVTYPE=wlan\nINTERFACE=tvt-w0\n", uevent);
    std::fclose(uevent);
    ASSERT_EQ(mkdir((w1 + "/phy80211").c_str(), 0755), 0);

    NetlinkInterfaceTable table;
    for (const auto& [name, type] : {std::pair{"tvt-w0", 71u}, {"tvt-w1", 71u}, {"tvt-e0", 6u}}) {
        const std::optional<IfRow> row = WaitForOperState(table, name);
        ASSERT_TRUE(row) << name;
        EXPECT_EQ(row->dwType, type) << name;
    }
    IfRow wireless = WaitForOperState(table, "tvt-w0").value_or(IfRow{});

    // No station to ask (the kernel may not even know wireless): operational, no speed.
    table.MeasureSpeed(wireless);
    EXPECT_EQ(wireless.dwSpeed, 0u);
    EXPECT_NE(wireless.dwOperStatus, 0u);
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-w0 down"));
    wireless = WaitForOperState(table, "tvt-w0", false).value_or(IfRow{});
    EXPECT_EQ(wireless.dwType, 71u);
    table.MeasureSpeed(wireless);
    EXPECT_EQ(wireless.dwSpeed, 0u);
}

TEST_F(NetlinkInterfaceTableTest, CountersFollowTheKernel) {
    ASSERT_TRUE(PrivateNetns::Ip("tuntap add tvt-tap mode tap"));
    TunDevice tap("tvt-tap", TunDevice::Mode::Tap);
    ASSERT_TRUE(tap.Up());

    NetlinkInterfaceTable table;
    const IfRow before = *FindRow(ReadOk(table), "tvt-tap");
    constexpr int kFrames = 25;
    constexpr std::size_t kFrameSize = 1000;
    ASSERT_TRUE(tap.Receive(kFrames, kFrameSize));
    const IfRow after = *FindRow(ReadOk(table), "tvt-tap");

    EXPECT_EQ(after.dwInOctets - before.dwInOctets, kFrames * kFrameSize);
    EXPECT_TRUE(after.counters64);
    EXPECT_EQ(
        std::to_string(after.dwInOctets),
        Output("ip -s -o link show tvt-tap | sed 's/.*RX: *[a-z ]*\\\\ *//' | cut -d' ' -f1"));
}

TEST_F(NetlinkInterfaceTableTest, DescriptionsAreStableAndBounded) {
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-v0 type veth peer name tvt-v1"));
    ASSERT_TRUE(PrivateNetns::Ip("tuntap add tvt-tap mode tap"));
    ASSERT_TRUE(PrivateNetns::Ip("tuntap add tvt-tun mode tun"));
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-br type bridge"));

    auto describeAll = [&](InterfaceTable& table) {
        std::map<std::string, std::string> descriptions;
        for (IfRow row : ReadOk(table)) {
            table.Describe(row);
            descriptions[row.name] = row.bDescr;
        }
        return descriptions;
    };
    NetlinkInterfaceTable first;
    const auto once = describeAll(first);
    EXPECT_EQ(once, describeAll(first));
    std::unique_ptr<InterfaceTable> second = MakeSystemInterfaceTable();
    EXPECT_EQ(once, describeAll(*second));

    EXPECT_EQ(once.at("lo"), "lo");
    EXPECT_EQ(once.at("tvt-v0"), "tvt-v0 (veth)");
    EXPECT_EQ(once.at("tvt-tap"), "tvt-tap (tun)");
    EXPECT_EQ(once.at("tvt-tun"), "tvt-tun (tun)");
    EXPECT_EQ(once.at("tvt-br"), "tvt-br (bridge)");

    // A row the table has not read itself is described the same.
    NetlinkInterfaceTable fresh;
    IfRow row;
    row.name = "tvt-v1";
    row.ifIndex =
        static_cast<std::uint32_t>(std::stoul(Output("cat /sys/class/net/tvt-v1/ifindex")));
    if (netns_->ownSysfs()) {
        fresh.Describe(row);
        EXPECT_EQ(row.bDescr, once.at("tvt-v1"));
    }
    // A row whose device is gone still gets a text.
    IfRow gone;
    gone.name = "tvt-gone";
    gone.ifIndex = 9999;
    fresh.Describe(gone);
    EXPECT_EQ(gone.bDescr, "tvt-gone");
}

TEST_F(NetlinkInterfaceTableTest, OneLinkIsReadByItsIndexAsTheDumpShowsIt) {
    ASSERT_TRUE(PrivateNetns::Ip("link add tvt-a index 40 type veth peer name tvt-b index 41"));
    ASSERT_TRUE(PrivateNetns::Ip("link set tvt-a up"));
    NetlinkInterfaceTable table;
    const std::vector<IfRow> rows = ReadOk(table);
    for (const IfRow& row : rows) {
        const std::optional<IfRow> alone = table.ReadLink(row.ifIndex);
        ASSERT_TRUE(alone.has_value()) << row.name;
        EXPECT_EQ(alone->name, row.name);
        EXPECT_EQ(alone->dwType, row.dwType) << row.name;
        EXPECT_EQ(alone->dwOperStatus, row.dwOperStatus) << row.name;
        EXPECT_EQ(alone->bPhysAddr, row.bPhysAddr) << row.name;
        EXPECT_GE(alone->dwInOctets, row.dwInOctets) << row.name;
    }
    // Gone: nothing, and the table reads on as before.
    ASSERT_TRUE(PrivateNetns::Ip("link del tvt-a"));
    EXPECT_FALSE(table.ReadLink(40).has_value());
    EXPECT_FALSE(table.ReadLink(0).has_value());
    EXPECT_EQ(ReadOk(table).size(), 1u);
    EXPECT_TRUE(table.ReadLink(1).has_value());
}

TEST_F(NetlinkInterfaceTableTest, ReadsAgainAfterItsSocketBroke) {
    auto sockets = [] {
        std::set<std::string> found;
        DIR* dir = opendir("/proc/self/fd");
        while (dirent* entry = readdir(dir)) {
            char target[64] = {};
            const std::string path = std::string("/proc/self/fd/") + entry->d_name;
            if (readlink(path.c_str(), target, sizeof target - 1) > 0 &&
                std::strncmp(target, "socket:", 7) == 0) {
                found.insert(entry->d_name);
            }
        }
        closedir(dir);
        return found;
    };
    const std::set<std::string> before = sockets();
    NetlinkInterfaceTable table;
    ASSERT_TRUE(table.Read().has_value());
    std::vector<std::string> opened;
    for (const std::string& fd : sockets()) {
        if (!before.count(fd)) opened.push_back(fd);
    }
    ASSERT_EQ(opened.size(), 1u) << "the table keeps one socket between reads";

    // Put something that is not a socket where the table's socket was.
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(dup2(nothing, std::stoi(opened[0])), 0);
    close(nothing);
    const auto rows = table.Read();
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(rows->size(), 1u);
    ASSERT_TRUE(table.Read().has_value());
}

TEST(NetlinkInterfaceTableOnThisMachine, ReadsAndDescribesEveryRow) {
    std::unique_ptr<InterfaceTable> table = MakeSystemInterfaceTable();
    const auto rows = table->Read();
    ASSERT_TRUE(rows.has_value());
    ASSERT_FALSE(rows->empty());
    std::set<std::uint32_t> indexes;
    for (IfRow row : *rows) {
        EXPECT_FALSE(row.name.empty());
        EXPECT_TRUE(indexes.insert(row.ifIndex).second) << "index twice: " << row.ifIndex;
        EXPECT_LE(row.dwPhysAddrLen, 8u);
        table->Describe(row);
        EXPECT_FALSE(row.bDescr.empty());
        EXPECT_LE(row.bDescr.size(), 255u);
        EXPECT_EQ(row.bDescr.rfind(row.name, 0), 0u) << row.bDescr;
        table->MeasureSpeed(row);
        if (row.dwOperStatus == 0) {
            EXPECT_EQ(row.dwSpeed, 0u) << row.name;
        }
    }
    EXPECT_NE(FindRow(*rows, "lo"), nullptr);
}
