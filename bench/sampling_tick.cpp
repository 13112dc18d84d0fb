// One sampling tick, alone and followed by one diagram tick, against the machine's own
// interface table with an adapter selected, and against a table held in memory.

#include "FakeSettings.h"
#include "platform/SystemInterfaceTable.h"
#include "traffic/TrafficMonitor.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

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
BENCHMARK(BM_RefreshAndDrawBars_SystemTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshAndDrawLines_SystemTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshTick_MemoryTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshAndDrawBars_MemoryTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshAndDrawLines_MemoryTable)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
