// The monitor's totals against the kernel's own counters: a veth pair in a private network
// namespace carries a known number of raw frames while the real interface table is sampled;
// tunnels, which have no hardware address, are told apart from each other and from loopback.
// Then today's scale: a tunnel that only sends, a counter past 2^32 and six hundred
// interfaces, checked by what the fields, labels and log show.

#include "PrivateNetns.h"
#include "TunDevice.h"
#include "platform/SystemInterfaceTable.h"
#include "traffic/TrafficMonitor.h"
#include "util/TextFile.h"

#include "TrafficFakes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace {

// The watched end "vw" and its peer "vp"; the monitor knows vw by its address text.
constexpr std::array<std::uint8_t, 6> kWatched = {0x02, 0x5A, 0x00, 0x00, 0x00, 0x02};
constexpr std::array<std::uint8_t, 6> kPeer = {0x02, 0x5A, 0x00, 0x00, 0x00, 0x01};
constexpr const char* kWatchedText = "02-5A-00-00-00-02";

struct Counters {
    std::uint64_t rx = 0;
    std::uint64_t tx = 0;
};

struct Totals {
    std::uint64_t read = 0;
    std::uint64_t write = 0;
};

// The kernel's byte counters of a device as iproute2 reports them.
std::optional<Counters> KernelCounters(const std::string& device) {
    FILE* ip = popen(("ip -j -s link show dev " + device + " 2>/dev/null").c_str(), "r");
    if (ip == nullptr) return std::nullopt;
    QByteArray json;
    std::array<char, 4096> buffer{};
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), ip)) {
        json.append(buffer.data(), static_cast<qsizetype>(n));
    }
    if (pclose(ip) != 0) return std::nullopt;
    const QJsonObject stats =
        QJsonDocument::fromJson(json).array().at(0).toObject().value("stats64").toObject();
    if (stats.isEmpty()) return std::nullopt;
    return Counters{static_cast<std::uint64_t>(stats["rx"].toObject()["bytes"].toInteger()),
                    static_cast<std::uint64_t>(stats["tx"].toObject()["bytes"].toInteger())};
}

std::string Mac(const std::array<std::uint8_t, 6>& a) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", a[0], a[1], a[2], a[3], a[4],
                  a[5]);
    return text;
}

// The pair, both ends up, the watched end with the given kernel index (the peer one more).
bool MakePair(int index) {
    return PrivateNetns::IpBatch({
        "link add name vw index " + std::to_string(index) + " address " + Mac(kWatched) +
            " type veth peer name vp index " + std::to_string(index + 1) + " address " + Mac(kPeer),
        "link set vw up",
        "link set vp up",
    });
}

// Sends `count` frames of exactly `size` bytes out of `device` to `to`.
bool SendFrames(const char* device, const std::array<std::uint8_t, 6>& from,
                const std::array<std::uint8_t, 6>& to, int count, std::size_t size) {
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_ifindex = static_cast<int>(if_nametoindex(device));
    address.sll_halen = ETH_ALEN;
    std::copy(to.begin(), to.end(), address.sll_addr);
    std::vector<std::uint8_t> frame(size, 0x5A);
    std::copy(to.begin(), to.end(), frame.begin());
    std::copy(from.begin(), from.end(), frame.begin() + 6);
    frame[12] = 0x88;  // local experimental EtherType: nobody on the other end answers
    frame[13] = 0xB5;
    bool ok = address.sll_ifindex != 0;
    for (int i = 0; ok && i < count; ++i) {
        ok = sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&address),
                    sizeof address) == static_cast<ssize_t>(frame.size());
    }
    close(fd);
    return ok;
}

// Waits until the kernel has counted at least the given bytes on the device.
std::optional<Counters> WaitForCounters(const std::string& device, const Counters& atLeast) {
    std::optional<Counters> now;
    (void)QTest::qWaitFor(
        [&] {
            now = KernelCounters(device);
            return now && now->rx >= atLeast.rx && now->tx >= atLeast.tx;
        },
        2000);
    return now;
}

// Sends datagrams of 300 bytes to the address (loopback counts them as received and sent).
bool Datagrams(int count, in_addr_t address = htonl(INADDR_LOOPBACK)) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = address;
    const char payload[300] = {};
    bool ok = true;
    for (int i = 0; ok && i < count; ++i) {
        ok = sendto(fd, payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
             static_cast<ssize_t>(sizeof payload);
    }
    close(fd);
    return ok;
}

class KernelTotals : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!netns.ok()) GTEST_SKIP() << "no private network namespace: " << netns.error();
        // No addresses, no IPv6: the pair carries only the test's frames.
        std::ofstream("/proc/sys/net/ipv6/conf/default/disable_ipv6") << "1";
        std::ofstream("/proc/sys/net/ipv6/conf/all/disable_ipv6") << "1";
        if (!MakePair(50)) GTEST_SKIP() << "cannot make a veth pair (ip link add ... veth)";
        table = MakeSystemInterfaceTable();
        ASSERT_TRUE(WaitForOperState(*table, "vw"));
    }

    // Picks the item of `device` in the list as a user would.
    void Watch(const std::string& device, const Clock& clk) {
        monitor = std::make_unique<TrafficMonitor>(
            *table, settings, clk, dir.filePath("inet.stat").toStdString(), &QLocale::c);
        monitor->StartUp();
        items = monitor->FillAdapterList();
        const auto item = std::find_if(items.begin(), items.end(), [&](const QString& i) {
            return i.startsWith(QString::fromStdString(device + " "));
        });
        ASSERT_NE(item, items.end()) << device;
        ASSERT_TRUE(monitor->ChooseAdapter(*item).restartTimers);
    }

    // One second on the fake clock: a sampling tick, then a diagram tick.
    std::pair<TrafficFields, DiagramTickResult> Second() {
        clock.Advance(1000);
        TrafficFields fields = monitor->RefreshTick();
        return {fields, monitor->DrawTick(true, 0xFFD4D0C8u)};
    }

    // One sampling tick; the totals after it.
    Totals Tick() {
        const TrafficFields fields = monitor->RefreshTick();
        EXPECT_FALSE(fields.error) << fields.error->toStdString();
        return {monitor->State().TotalRead, monitor->State().TotalWrite};
    }

    // Sends `in` frames to the watched end and `out` frames from it, `size` bytes each, and
    // returns the kernel's counters once it has counted them.
    Counters Transfer(const Counters& before, int in, int out, std::size_t size) {
        EXPECT_TRUE(SendFrames("vp", kPeer, kWatched, in, size));
        EXPECT_TRUE(SendFrames("vw", kWatched, kPeer, out, size));
        const auto after = WaitForCounters(
            "vw", {before.rx + std::uint64_t(in) * size, before.tx + std::uint64_t(out) * size});
        EXPECT_TRUE(after);
        return after.value_or(Counters{});
    }

    PrivateNetns netns;
    std::unique_ptr<InterfaceTable> table;
    QTemporaryDir dir;
    FakeSettings settings;
    FakeClock clock;
    std::unique_ptr<TrafficMonitor> monitor;
    QStringList items;
};

}  // namespace

TEST_F(KernelTotals, TotalsEqualTheKernelsCountersAcrossReCreation) {
    Watch("vw", clock);
    ASSERT_EQ(monitor->SelectedAdapter(), kWatchedText);

    // The first online tick takes the whole counters.
    const Counters k0 = KernelCounters("vw").value();
    const Totals t0 = Tick();
    ASSERT_NE(monitor->State().LinkSpeed, 0u);
    EXPECT_EQ(t0.read, k0.rx);
    EXPECT_EQ(t0.write, k0.tx);

    const Counters k1 = Transfer(k0, 50, 20, 100);
    const Totals t1 = Tick();
    EXPECT_EQ(k1.rx - k0.rx, 5000u);
    EXPECT_EQ(k1.tx - k0.tx, 2000u);
    EXPECT_EQ(t1.read - t0.read, k1.rx - k0.rx);
    EXPECT_EQ(t1.write - t0.write, k1.tx - k0.tx);

    // Unplugged: offline, readings kept.
    ASSERT_TRUE(PrivateNetns::Ip("link del vw"));
    EXPECT_EQ(Tick().read, t1.read);
    EXPECT_EQ(monitor->State().LinkSpeed, 0u);
    EXPECT_EQ(monitor->State().CurRead, k1.rx);

    // Back as another interface (new index) with the same address: its counters start at 0.
    ASSERT_TRUE(MakePair(60));
    ASSERT_TRUE(WaitForOperState(*table, "vw"));
    const Counters k2 = Transfer(KernelCounters("vw").value(), 30, 10, 100);
    const Totals t2 = Tick();
    EXPECT_EQ(k2.rx, 3000u);
    EXPECT_EQ(k2.tx, 1000u);
    EXPECT_EQ(t2.read - t1.read, k2.rx);
    EXPECT_EQ(t2.write - t1.write, k2.tx);

    // Re-created within one tick with the same index: the received counter went down, the
    // sent one climbed past its old value. Both count only what the new counters show.
    ASSERT_TRUE(PrivateNetns::Ip("link del vw"));
    ASSERT_TRUE(MakePair(60));
    ASSERT_TRUE(WaitForOperState(*table, "vw"));
    const Counters k3 = Transfer(KernelCounters("vw").value(), 10, 20, 100);
    const Totals t3 = Tick();
    EXPECT_EQ(k3.rx, 1000u);
    EXPECT_EQ(k3.tx, 2000u);
    EXPECT_EQ(t3.read - t2.read, k3.rx);
    EXPECT_EQ(t3.write - t2.write, k3.tx);
    EXPECT_EQ(monitor->State().CounterRestarts, 2u);
}

TEST_F(KernelTotals, EachTunnelShowsItsOwnTrafficAndIsFoundAgainAtTheNextStart) {
    ASSERT_TRUE(PrivateNetns::Ip("link set lo up"));
    TunDevice first("tvt0", TunDevice::Mode::Tun);
    TunDevice second("tvt1", TunDevice::Mode::Tun);
    if (!first.Up() || !second.Up()) GTEST_SKIP() << "cannot make tun devices";
    ASSERT_TRUE(WaitForOperState(*table, "tvt0"));
    ASSERT_TRUE(WaitForOperState(*table, "tvt1"));

    // Picks the tunnel's item as the user would, or as a start restores it; then traffic on
    // every device, of which only the tunnel's own may be counted.
    const auto watch = [&](TunDevice& tunnel, bool restore) {
        SCOPED_TRACE(tunnel.name());
        monitor = std::make_unique<TrafficMonitor>(*table, settings, clock,
                                                   dir.filePath("inet.stat").toStdString());
        monitor->StartUp();
        const QStringList items = monitor->FillAdapterList();
        const auto item = std::find_if(items.begin(), items.end(), [&](const QString& i) {
            return i.startsWith(QString::fromStdString(tunnel.name() + " "));
        });
        ASSERT_NE(item, items.end()) << items.join(", ").toStdString();
        const QString shown = restore ? monitor->RememberedItem(items).value_or("") : *item;
        ASSERT_EQ(shown, *item);
        ASSERT_FALSE(monitor->ChooseAdapter(shown).askForAdapter);

        const Counters before = KernelCounters(tunnel.name()).value();
        const Totals t0 = Tick();
        EXPECT_EQ(t0.read, before.rx);
        ASSERT_TRUE(first.Receive(7, 100));
        ASSERT_TRUE(second.Receive(3, 1000));
        ASSERT_TRUE(Datagrams(20));
        const std::uint64_t own = &tunnel == &first ? 700 : 3000;
        const auto after = WaitForCounters(tunnel.name(), {before.rx + own, 0});
        ASSERT_TRUE(after);
        EXPECT_EQ(after->rx - before.rx, own);
        EXPECT_EQ(Tick().read - t0.read, own);
    };
    watch(first, false);
    watch(second, false);
    // The next start with the last choice remembered: the same tunnel again.
    table = MakeSystemInterfaceTable();
    watch(second, true);
}

TEST_F(KernelTotals, ATunnelThatOnlySendsAndACounterPast4GiB) {
    const auto digits = [](std::uint64_t n) { return QString::number(n); };
    const auto rate = [](std::uint64_t n) { return std::to_string(n) + " B/s"; };

    // A tunnel that only sends: its send rate shows and is drawn, its receive rate is 0.
    std::pair<TrafficFields, DiagramTickResult> seen;
    TunDevice tunnel("tvt0", TunDevice::Mode::Tun);
    ASSERT_TRUE(tunnel.Up());
    ASSERT_TRUE(PrivateNetns::Ip("addr add 10.77.0.1/24 dev tvt0"));
    ASSERT_TRUE(WaitForOperState(*table, "tvt0"));
    Watch("tvt0", clock);
    Second();
    const Counters t0 = KernelCounters("tvt0").value();
    ASSERT_TRUE(Datagrams(40, inet_addr("10.77.0.2")));
    tunnel.Drain();
    const Counters t1 = KernelCounters("tvt0").value();
    ASSERT_GT(t1.tx, t0.tx);
    ASSERT_EQ(t1.rx, 0u);
    seen = Second();
    EXPECT_EQ(seen.second.newestWriteRate, rate(t1.tx - t0.tx));
    EXPECT_EQ(seen.second.newestReadRate, "0 B/s");
    EXPECT_EQ(monitor->Diagram().WriteHistory()[1], t1.tx - t0.tx);
    EXPECT_EQ(seen.first.curWrite, digits(t1.tx));

    // The received counter past 2^32, in the fields and in the log.
    ASSERT_TRUE(tunnel.Receive(66'200, 65'000));
    const Counters t2 = KernelCounters("tvt0").value();
    ASSERT_GT(t2.rx, 4294967296u);
    seen = Second();
    EXPECT_EQ(seen.first.curRead, digits(t2.rx));
    EXPECT_EQ(seen.first.totalRead, digits(t2.rx));
    EXPECT_EQ(seen.second.newestReadRate, rate(t2.rx));
    monitor->StatusLogTick();
    const QString log = QString::fromLatin1(
        textfile::ReadAll(dir.filePath("inet.stat").toStdString()).value_or(""));
    EXPECT_TRUE(log.contains(" [r:" + digits(t2.rx) + " w:" + digits(t1.tx) + "]\r\n"))
        << log.toStdString();
}

TEST_F(KernelTotals, SixHundredInterfacesAreListedAndTheChosenOneCounts) {
    std::vector<std::string> commands;
    for (int i = 0; i < 299; ++i) {
        const std::string name = "m" + std::to_string(i);
        commands.push_back("link add " + name + "a type veth peer name " + name + "b");
        commands.push_back("link set " + name + "a up");
        commands.push_back("link set " + name + "b up");
    }
    ASSERT_TRUE(PrivateNetns::IpBatch(commands));
    ASSERT_TRUE(WaitForOperState(*table, "m298b"));
    Watch("vw", clock);
    // Every device but loopback is an operational Ethernet one.
    EXPECT_EQ(items.size(), 600);
    const Counters k0 = KernelCounters("vw").value();
    EXPECT_EQ(Second().first.totalRead, QString::number(k0.rx));
    const Counters k1 = Transfer(k0, 40, 10, 1000);
    const TrafficFields f = Second().first;
    EXPECT_EQ(f.totalRead, QString::number(k1.rx));
    EXPECT_EQ(f.totalWrite, QString::number(k1.tx));
}
