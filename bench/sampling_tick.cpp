// One sampling tick, alone and followed by one diagram tick, against the machine's own
// interface table with an adapter selected, against a table held in memory, and against the
// kernel's table in private network namespaces holding 4 and 600 interfaces: a tick reads
// the selected link alone, so the two should cost about the same.

#include "FakeSettings.h"
#include "PrivateNetns.h"
#include "platform/SystemInterfaceTable.h"
#include "traffic/TrafficMonitor.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Eight interfaces whose counters grow by a few kilobytes per read.
class MemoryTable final : public InterfaceTable {
  public:
    MemoryTable() {
        for (std::uint8_t i = 0; i < 8; ++i) {
            IfRow row;
            row.dwType = kIfTypeEthernet;
            row.dwOperStatus = 1;
            row.dwPhysAddrLen = 6;
            row.bPhysAddr = {0x02, 0x00, 0x00, 0x00, 0x00, i};
            row.ifIndex = i + 1u;
            row.name = "eth" + std::to_string(i);
            rows_.push_back(row);
        }
    }
    std::optional<std::vector<IfRow>> Read() override {
        for (IfRow& row : rows_) {
            row.dwInOctets += 4096;
            row.dwOutOctets += 512;
        }
        return rows_;
    }
    void Describe(IfRow& row) override { row.bDescr = row.name + " (Memory Ethernet)"; }
    void MeasureSpeed(IfRow& row) override { row.dwSpeed = 1000000000; }

  private:
    std::vector<IfRow> rows_;
};

// A monitor on the given table with the adapter selected whose item names `device` (or the
// first listed one), its log in a private folder.
struct Bench {
    explicit Bench(std::unique_ptr<InterfaceTable> t, const QString& device)
        : table(std::move(t)),
          monitor(*table, settings, clock, dir.filePath("inet.stat").toStdString()) {
        monitor.StartUp();
        const QStringList items = monitor.FillAdapterList();
        for (const QString& item : items) {
            if (item.startsWith(device)) chosen = item;
        }
        if (chosen.isEmpty() && !items.isEmpty()) chosen = items.front();
        selected = monitor.ChooseAdapter(chosen).restartTimers;
        monitor.RefreshTick();  // the Connect line, once
        // A full history: the diagram repaints all 342 columns on every tick.
        for (int i = 0; i < 400; ++i) {
            monitor.RefreshTick();
            monitor.DrawTick(true, 0xFFD4D0C8u);
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<InterfaceTable> table;
    FakeSettings settings;
    SystemClock clock;
    TrafficMonitor monitor;
    QString chosen;
    bool selected = false;
};

void Run(benchmark::State& state, Bench& bench, bool withDiagram, bool bars) {
    if (!bench.selected) {
        state.SkipWithError("no adapter could be selected");
        return;
    }
    state.SetLabel(bench.chosen.toStdString());
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench.monitor.RefreshTick());
        if (withDiagram) benchmark::DoNotOptimize(bench.monitor.DrawTick(bars, 0xFFD4D0C8u));
    }
}

Bench& SystemBench() {
    static Bench bench(MakeSystemInterfaceTable(), "eth0");
    return bench;
}

Bench& MemoryBench() {
    static Bench bench(std::make_unique<MemoryTable>(), "eth3");
    return bench;
}

// A namespace with the watched veth pair "tvw"/"tvp" and more pairs up to `interfaces`
// devices (loopback aside), and a monitor watching tvw; made on first use. The thread is
// back home after it.
struct VethWorld {
    std::unique_ptr<PrivateNetns> netns;
    std::unique_ptr<Bench> bench;
};

VethWorld& Veths(int interfaces) {
    static std::map<int, VethWorld> worlds;
    VethWorld& world = worlds[interfaces];
    if (world.netns) return world;
    world.netns = std::make_unique<PrivateNetns>();
    if (!world.netns->ok()) return world;
    std::vector<std::string> commands = {
        "link add tvw address 02:5a:00:00:00:01 type veth peer name tvp", "link set tvw up",
        "link set tvp up"};
    for (int i = 1; i < interfaces / 2; ++i) {
        const std::string name = "b" + std::to_string(i);
        commands.push_back("link add " + name + "a type veth peer name " + name + "b");
        commands.push_back("link set " + name + "a up");
        commands.push_back("link set " + name + "b up");
    }
    PrivateNetns::IpBatch(commands);
    // A new link reports its carrier a moment after it comes up.
    std::unique_ptr<InterfaceTable> table = MakeSystemInterfaceTable();
    for (int i = 0; i < 100; ++i) {
        const auto rows = table->Read();
        if (rows && std::any_of(rows->begin(), rows->end(), [](const IfRow& r) {
                return r.name == "tvw" && r.dwOperStatus != 0;
            })) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    world.bench = std::make_unique<Bench>(std::move(table), "tvw");
    world.netns->Leave();
    return world;
}

void InVeths(benchmark::State& state, int interfaces) {
    VethWorld& world = Veths(interfaces);
    if (!world.netns->ok() || !world.netns->Enter()) {
        state.SkipWithError(("no private network namespace: " + world.netns->error()).c_str());
        return;
    }
    Run(state, *world.bench, false, true);
    state.counters["interfaces"] = interfaces;
    world.netns->Leave();
}

void BM_RefreshTick_4Veth(benchmark::State& s) {
    InVeths(s, 4);
}
void BM_RefreshTick_600Veth(benchmark::State& s) {
    InVeths(s, 600);
}

void BM_RefreshTick_SystemTable(benchmark::State& s) {
    Run(s, SystemBench(), false, true);
}
void BM_RefreshAndDrawBars_SystemTable(benchmark::State& s) {
    Run(s, SystemBench(), true, true);
}
void BM_RefreshAndDrawLines_SystemTable(benchmark::State& s) {
    Run(s, SystemBench(), true, false);
}
void BM_RefreshTick_MemoryTable(benchmark::State& s) {
    Run(s, MemoryBench(), false, true);
}
void BM_RefreshAndDrawBars_MemoryTable(benchmark::State& s) {
    Run(s, MemoryBench(), true, true);
}
void BM_RefreshAndDrawLines_MemoryTable(benchmark::State& s) {
    Run(s, MemoryBench(), true, false);
}

}  // namespace

BENCHMARK(BM_RefreshTick_SystemTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshTick_4Veth)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshTick_600Veth)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshAndDrawBars_SystemTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshAndDrawLines_SystemTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshTick_MemoryTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshAndDrawBars_MemoryTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshAndDrawLines_MemoryTable)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
