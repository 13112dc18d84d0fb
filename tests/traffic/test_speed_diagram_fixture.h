#pragma once

// A speed diagram on a hand-driven clock, fed with counter steps of known size so that
// each tick's samples are known in advance (1000 ms between ticks: a step of D bytes is a
// sample of D bytes per second).

#include "FakeClock.h"
#include "traffic/SpeedDiagram.h"
#include "traffic/TrafficState.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <array>
#include <cstdint>

namespace diagram_test {

// Colour left on the surface by the start-up clear, and the button face the ticks paint
// with: kept apart so that a test sees which pixels a tick touched.
inline constexpr std::uint32_t kOld = Rgb(1, 2, 3);
inline constexpr std::uint32_t kFace = Rgb(212, 208, 200);

// Blue steps of the bar rows k = 0 .. 40, as listed for the diagram (not computed).
inline constexpr std::array<int, 41> kBlue = {
    0,  1,  2,  3,  4,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 14, 15, 16, 17, 18,
    19, 20, 21, 22, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 32, 33, 34, 35, 36};

inline std::uint32_t ReadShade(int k) {
    return Rgb(0, 128, 7 * kBlue.at(k));
}
inline std::uint32_t WriteShade(int k) {
    return Rgb(255, 64, 7 * kBlue.at(k));
}

class DiagramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        diagram.ClearDiagram(kOld);
        diagram.ResetHistory();
        state.Online = true;
        state.LinkSpeed = 100000000;
        state.CurRead = 1000000;
        state.CurWrite = 500000;
    }

    // One tick after `ms` with the counters at the given values.
    DiagramTickResult TickTo(std::uint64_t read, std::uint64_t write, qint64 ms = 1000,
                             bool bars = true) {
        clock.Advance(ms);
        state.CurRead = read;
        state.CurWrite = write;
        return diagram.Tick(state, bars, kFace);
    }
    // One tick after `ms` with the counters moved on by the given steps.
    DiagramTickResult Tick(std::uint64_t readStep, std::uint64_t writeStep = 0, qint64 ms = 1000,
                           bool bars = true) {
        return TickTo(state.CurRead + readStep, state.CurWrite + writeStep, ms, bars);
    }
    // The first online tick: a zero sample in slot 0.
    DiagramTickResult Start() { return Tick(0, 0); }

    std::uint32_t Px(int x, int y) const { return diagram.Surface().Pixel(x, y); }

    FakeClock clock{QDateTime(QDate(2026, 3, 28), QTime(23, 59, 58, 500), QTimeZone::utc())};
    SpeedDiagram diagram{clock};
    TrafficState state;
};

}  // namespace diagram_test
