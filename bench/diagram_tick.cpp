// One online diagram tick with a full history (342 samples per direction): samples, scale,
// averages, texts and the repaint of the whole surface, in bar mode and in line mode.

#include "platform/Clock.h"
#include "traffic/SpeedDiagram.h"
#include "traffic/TrafficState.h"

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QTimeZone>

#include <cstdint>

namespace {

class BenchClock final : public Clock {
  public:
    QDateTime now = QDateTime(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc());
    QDateTime Now() const override { return now; }
};

constexpr std::uint32_t kFace = Rgb(212, 208, 200);

void DiagramTick(benchmark::State& run, bool bars) {
    BenchClock clock;
    SpeedDiagram diagram(clock);
    diagram.ClearDiagram(kFace);
    diagram.ResetHistory();
    TrafficState traffic;
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
        return diagram.tmrDrawTimer(traffic, bars, kFace);
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
