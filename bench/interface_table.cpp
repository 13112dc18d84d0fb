// One read of the whole interface table, as the adapter list does (and a tick whose link is
// gone): on this machine, and with 500 veth devices in a private network namespace.

#include "platform/SystemInterfaceTable.h"

#include "PrivateNetns.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kVethPairs = 250;

std::unique_ptr<PrivateNetns> g_veths;

// The namespace with the 500 devices, made on first use; the thread is back home after it.
PrivateNetns* Veths() {
    if (!g_veths) {
        g_veths = std::make_unique<PrivateNetns>();
        if (!g_veths->ok()) return g_veths.get();
        std::vector<std::string> commands;
        for (int i = 0; i < kVethPairs; ++i) {
            const std::string a = "bench" + std::to_string(i) + "a";
            const std::string b = "bench" + std::to_string(i) + "b";
            commands.push_back("link add " + a + " type veth peer name " + b);
            commands.push_back("link set " + a + " up");
            commands.push_back("link set " + b + " up");
        }
        PrivateNetns::IpBatch(commands);
        g_veths->Leave();
    }
    return g_veths.get();
}

// The row a sampling tick would look at: the first operational one that is not loopback.
const IfRow* Watched(const std::vector<IfRow>& rows) {
    for (const IfRow& row : rows) {
        if (row.dwOperStatus != 0 && row.dwType != kIfTypeLoopback) return &row;
    }
    return rows.empty() ? nullptr : &rows.front();
}

void ReadLoop(benchmark::State& state, bool measureSpeed) {
    std::unique_ptr<InterfaceTable> table = MakeSystemInterfaceTable();
    const auto first = table->Read();  // what a running program has learned already
    if (!first) {
        state.SkipWithError("the interface table cannot be read");
        return;
    }
    const IfRow* watchedRow = Watched(*first);
    const std::string watched = watchedRow != nullptr ? watchedRow->name : "";
    for (auto _ : state) {
        auto rows = table->Read();
        if (measureSpeed && rows) {
            for (IfRow& row : *rows) {
                if (row.name == watched) {
                    table->MeasureSpeed(row);
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(first->size());
    state.SetLabel(watched);
}

void BM_Read_ThisMachine(benchmark::State& state) {
    ReadLoop(state, false);
}
void BM_ReadAndSpeed_ThisMachine(benchmark::State& state) {
    ReadLoop(state, true);
}

void InVeths(benchmark::State& state, bool measureSpeed) {
    PrivateNetns* veths = Veths();
    if (!veths->ok() || !veths->Enter()) {
        state.SkipWithError(("no private network namespace: " + veths->error()).c_str());
        return;
    }
    ReadLoop(state, measureSpeed);
    veths->Leave();
}

void BM_Read_500Veth(benchmark::State& state) {
    InVeths(state, false);
}
void BM_ReadAndSpeed_500Veth(benchmark::State& state) {
    InVeths(state, true);
}

// The first read of a new table, which still has to learn every device.
void BM_FirstRead_500Veth(benchmark::State& state) {
    PrivateNetns* veths = Veths();
    if (!veths->ok() || !veths->Enter()) {
        state.SkipWithError(("no private network namespace: " + veths->error()).c_str());
        return;
    }
    for (auto _ : state) {
        std::unique_ptr<InterfaceTable> table = MakeSystemInterfaceTable();
        benchmark::DoNotOptimize(table->Read());
    }
    veths->Leave();
}

}  // namespace

BENCHMARK(BM_Read_ThisMachine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAndSpeed_ThisMachine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Read_500Veth)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAndSpeed_500Veth)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstRead_500Veth)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_veths.reset();  // the namespace and its devices go with it
    return 0;
}
