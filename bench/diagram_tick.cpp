// One online diagram tick with a full history (342 samples per direction): samples, scale,
// averages, texts and the repaint of the whole surface, in bar mode and in line mode.

#include "FakeClock.h"
#include "traffic/SpeedDiagram.h"
#include "traffic/TrafficState.h"

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QTimeZone>

#include <cstdint>

namespace {

constexpr std::uint32_t kFace = Rgb(212, 208, 200);

void DiagramTick(benchmark::State& run, bool bars) {
    FakeClock clock{QDateTime(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc())};
    SpeedDiagram diagram(clock);
    diagram.ClearDiagram(kFace);
    diagram.ResetHistory();
    TrafficState traffic;
    traffic.Online = true;
    traffic.LinkSpeed = 100000000;
    traffic.CurRead = 1;
    traffic.CurWrite = 1;

    // Rates that jump about between 0 and 2.5 MB/s, so that bars and segments of every
    // height and slope are drawn.
    std::uint32_t n = 0;
    auto tick = [&] {
        clock.now = clock.now.addMSecs(1000);
        traffic.CurRead += (n * 7919u) % 2500000u;
        traffic.CurWrite += (n * 104729u) % 600000u;
        ++n;
        return diagram.Tick(traffic, bars, kFace);
    };
    for (int i = 0; i < 400; ++i)
        tick();  // the history is full from here on

    for (auto _ : run) {
        DiagramTickResult result = tick();
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(diagram.Surface().Pixels());
    }
    run.counters["ScaleKb"] = diagram.ScaleKb();
}

BENCHMARK_CAPTURE(DiagramTick, bars, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DiagramTick, lines, false)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
