// The diagram tick: samples, scale, averages, labels, tray picture and tooltip, the
// offline freeze, counter restarts, the adapter choice and the full history.

#include "test_speed_diagram_fixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace diagram_test;

TEST(SpeedDiagramStartUp, HeightClockEmptyHistoryAndClear) {
    FakeClock clock;
    SpeedDiagram diagram(clock);
    EXPECT_EQ(diagram.DiagramHeight(), 40u);
    EXPECT_EQ(diagram.LastDrawTime(), clock.now);
    EXPECT_TRUE(diagram.ReadHistory().empty());
    EXPECT_TRUE(diagram.WriteHistory().empty());
    EXPECT_EQ(diagram.Surface().Width(), 342);
    EXPECT_EQ(diagram.Surface().Height(), 39);
    EXPECT_EQ(diagram.Surface().BytesPerLine(), 342 * 4);

    diagram.ClearDiagram(kFace);
    for (int y = 0; y < 39; ++y) {
        for (int x = 0; x < 342; ++x)
            ASSERT_EQ(diagram.Surface().Pixel(x, y), kFace);
    }

    // The start-up tick runs before any adapter is chosen: offline, and no history appears.
    TrafficState state;
    clock.Advance(700);
    const DiagramTickResult r = diagram.Tick(state, true, kOld);
    EXPECT_FALSE(r.online);
    EXPECT_TRUE(diagram.ReadHistory().empty());
    EXPECT_EQ(diagram.LastDrawTime(), clock.now);
    EXPECT_EQ(diagram.Surface().Pixel(0, 38), kFace);

    // Online without a chosen adapter (the facade never does it) still gets a history.
    state.Online = true;
    state.CurRead = 5;
    clock.Advance(1000);
    EXPECT_TRUE(diagram.Tick(state, true, kFace).online);
    EXPECT_EQ(diagram.HistoryLen(), 342u);
    EXPECT_EQ(diagram.ReadHistory().size(), 342u);
    EXPECT_EQ(diagram.HistoryPos(), 1u);
}

TEST_F(DiagramTest, FirstOnlineTickIsAZeroSample) {
    const DiagramTickResult r = Start();
    EXPECT_TRUE(r.online);
    EXPECT_EQ(r.onlineText, "Online");
    EXPECT_EQ(r.newestReadRate, "0 B/s");
    EXPECT_EQ(r.newestWriteRate, "0 B/s");
    EXPECT_EQ(r.averageReadRate, "0 B/s");
    EXPECT_EQ(r.averageWriteRate, "0 B/s");
    EXPECT_EQ(r.scaleText, "1Kb");
    EXPECT_EQ(r.trayImage, 0);
    EXPECT_EQ(r.trayTooltip, "Pellmor ( Online 100000000 ) 0 B/s");
    EXPECT_EQ(diagram.HistoryPos(), 1u);
    EXPECT_EQ(diagram.DrawPrevRead(), 1000000u);
    EXPECT_EQ(diagram.DrawPrevWrite(), 500000u);

    // The zero sample counts in the averages.
    const DiagramTickResult second = Tick(3000, 801);
    EXPECT_EQ(second.newestReadRate, "3000 B/s");
    EXPECT_EQ(second.newestWriteRate, "801 B/s");
    EXPECT_EQ(second.averageReadRate, "1500 B/s");
    EXPECT_EQ(second.averageWriteRate, "400 B/s");
    EXPECT_EQ(second.scaleText, "3Kb");
    EXPECT_EQ(second.trayImage, 1);
    EXPECT_EQ(second.trayTooltip, "Pellmor ( Online 100000000 ) 3000 B/s");

    // Sending alone keeps the idle tray picture.
    EXPECT_EQ(Tick(0, 5000).trayImage, 0);
}

TEST_F(DiagramTest, ElapsedTimeAndRounding) {
    Start();
    // No time at all counts as one millisecond.
    EXPECT_EQ(Tick(7, 3, 0).newestReadRate, "7000 B/s");
    EXPECT_EQ(diagram.WriteHistory()[1], 3000u);
    EXPECT_EQ(Tick(3000, 0, 1500).newestReadRate, "2000 B/s");
    EXPECT_EQ(Tick(1, 0, 3).newestReadRate, "333 B/s");
    // Exact halves go to the even neighbour: 62.5 -> 62, 187.5 -> 188, 312.5 -> 312.
    EXPECT_EQ(Tick(1, 0, 16).newestReadRate, "62 B/s");
    EXPECT_EQ(Tick(3, 0, 16).newestReadRate, "188 B/s");
    EXPECT_EQ(Tick(5, 0, 16).newestReadRate, "312 B/s");
    // A burst of 3 GB in a second, and 4294967295 bytes in 1 ms: every digit, no sign.
    EXPECT_EQ(Tick(3'000'000'000u).newestReadRate, "3000000000 B/s");
    EXPECT_EQ(Tick(0xFFFFFFFFu, 0, 1).newestReadRate, "4294967295000 B/s");
    // Only the low 32 bits of the elapsed milliseconds count: 2^32 + 1000 ms is 1000 ms.
    EXPECT_EQ(Tick(5000, 0, 4294967296LL + 1000).newestReadRate, "5000 B/s");
    // A clock set back counts by its distance.
    EXPECT_EQ(Tick(4000, 0, -2000).newestReadRate, "2000 B/s");
    EXPECT_EQ(diagram.LastDrawTime(), clock.now);
}

TEST_F(DiagramTest, ScaleFollowsTheNewestThird) {
    Start();                                       // p = 0
    EXPECT_EQ(Tick(1000).scaleText, "1Kb");        // p = 1: exactly 1000 stays at 1
    EXPECT_EQ(Tick(1001).scaleText, "2Kb");        // p = 2: slot 2 only
    EXPECT_EQ(Tick(2500000).scaleText, "2500Kb");  // p = 3: slots 2, 3
    EXPECT_EQ(Tick(0, 0).scaleText, "2500Kb");     // p = 4: slots 3, 4
    EXPECT_EQ(Tick(0, 1500).scaleText, "2Kb");     // p = 5: slots 4, 5; sent samples count
    EXPECT_EQ(Tick(0, 0).scaleText, "2Kb");        // p = 6: slots 4 to 6
    EXPECT_EQ(Tick(0, 0).scaleText, "2Kb");        // p = 7: slots 5 to 7
    EXPECT_EQ(Tick(0, 0).scaleText, "1Kb");        // p = 8: slots 6 to 8
    EXPECT_EQ(diagram.ScaleKb(), 1u);
}

TEST_F(DiagramTest, ScaleRangeAtSlotsZeroThreeAndLast) {
    Start();
    Tick(5000);
    Tick(1500);
    // p = 3 looks at slots 2 and 3, not at the 5000 of slot 1.
    EXPECT_EQ(Tick(100).scaleText, "2Kb");

    // p = 0 looks at slot 0 only; the samples an adapter choice keeps do not count.
    diagram.ResetHistory();
    EXPECT_EQ(diagram.ReadHistory()[1], 5000u);
    EXPECT_EQ(Tick(9000).scaleText, "1Kb");

    // p = 341 looks at slots 228 to 341: 9000 in slot 227 is out, 3000 in slot 228 in.
    diagram.ResetHistory();
    Start();  // slot 0
    for (int slot = 1; slot <= 341; ++slot) {
        const std::uint32_t step = slot == 227 ? 9000 : slot == 228 ? 3000 : 0;
        const DiagramTickResult r = Tick(step);
        if (slot == 341) {
            EXPECT_EQ(r.scaleText, "3Kb");
        }
    }
    // The history moved down by one: 3000 now sits in slot 227, out of the range.
    EXPECT_EQ(diagram.HistoryPos(), 341u);
    EXPECT_EQ(diagram.ReadHistory()[227], 3000u);
    EXPECT_EQ(Tick(0).scaleText, "1Kb");
}

TEST_F(DiagramTest, RatesAndAveragesPast32BitsAreNeverNegative) {
    Start();
    // 100 GB and 5 GB in one second: samples and averages take them whole.
    const DiagramTickResult r = Tick(100'000'000'000u, 5'000'000'000u);
    EXPECT_EQ(r.newestReadRate, "100000000000 B/s");
    EXPECT_EQ(r.averageReadRate, "50000000000 B/s");
    EXPECT_EQ(r.averageWriteRate, "2500000000 B/s");
    EXPECT_EQ(r.scaleText, "100000000Kb");
    // A full-width counter that goes down without a restart seen is no rate at all.
    const DiagramTickResult down = TickTo(state.CurRead - 100000, state.CurWrite);
    EXPECT_EQ(down.newestReadRate, "0 B/s");
    EXPECT_EQ(down.averageReadRate, "33333333333 B/s");
}

TEST_F(DiagramTest, TooltipCarriesTheLinkSpeedOrNone) {
    state.LinkSpeed = 10'000'000'000u;
    Start();
    EXPECT_EQ(Tick(1234).trayTooltip, "Pellmor ( Online 10000000000 ) 1234 B/s");
    state.LinkSpeed = 0;  // online, but the link reports no speed
    EXPECT_EQ(Tick(1234).trayTooltip, "Pellmor ( Online ) 1234 B/s");
}

TEST_F(DiagramTest, OfflineTickFreezesEverything) {
    Start();
    Tick(2000, 1000);
    const DiagramTickResult online = Tick(3000, 500);
    const std::vector<std::uint32_t> picture(diagram.Surface().Pixels(),
                                             diagram.Surface().Pixels() + 342 * 39);
    const std::vector<std::uint64_t> reads = diagram.ReadHistory();
    const std::vector<std::uint64_t> writes = diagram.WriteHistory();

    state.Online = false;
    const DiagramTickResult r = Tick(999999, 777, 1000, false);
    EXPECT_FALSE(r.online);
    EXPECT_EQ(r.onlineText, "Offline");
    EXPECT_EQ(r.trayImage, 0);
    EXPECT_EQ(r.trayTooltip, "Pellmor ( OFFline )");
    EXPECT_FALSE(r.newestReadRate || r.averageReadRate || r.newestWriteRate || r.averageWriteRate ||
                 r.scaleText);
    EXPECT_EQ(std::vector<std::uint32_t>(diagram.Surface().Pixels(),
                                         diagram.Surface().Pixels() + 342 * 39),
              picture);
    EXPECT_EQ(diagram.ReadHistory(), reads);
    EXPECT_EQ(diagram.WriteHistory(), writes);
    EXPECT_EQ(diagram.HistoryPos(), 3u);
    EXPECT_EQ(diagram.ScaleKb(), 3u);
    EXPECT_FALSE(diagram.HasPrevious());
    EXPECT_EQ(diagram.LastDrawTime(), clock.now);
    EXPECT_EQ(online.scaleText, "3Kb");

    // Back online: a zero sample first, then rates over the 1000 ms since the last tick.
    state.Online = true;
    const DiagramTickResult back = Tick(4000);
    EXPECT_EQ(back.newestReadRate, "0 B/s");
    EXPECT_EQ(back.trayImage, 0);
    EXPECT_EQ(diagram.HistoryPos(), 4u);
    EXPECT_EQ(Tick(4000).newestReadRate, "4000 B/s");
}

TEST_F(DiagramTest, CounterRestartCountsTheNewCountersWrapItsDifference) {
    Start();
    EXPECT_EQ(Tick(5000, 100).newestReadRate, "5000 B/s");

    // The interface came back with fresh counters: what they show passed in this interval.
    state.CounterRestarts = 1;
    const DiagramTickResult restart = TickTo(2000, 100);
    EXPECT_EQ(restart.newestReadRate, "2000 B/s");
    EXPECT_EQ(restart.newestWriteRate, "100 B/s");
    EXPECT_EQ(restart.scaleText, "2Kb");
    // The restart is seen once; the next tick measures from the new counters.
    EXPECT_EQ(TickTo(5000, 400).newestReadRate, "3000 B/s");
    EXPECT_EQ(diagram.WriteHistory()[3], 300u);

    // A genuine wrap of a 32-bit counter is a difference modulo 2^32.
    state.Counters32 = true;
    TickTo(4294967000u, 400);
    EXPECT_EQ(TickTo(500, 400).newestReadRate, "796 B/s");
}

TEST_F(DiagramTest, AdapterChoiceRestartsAtSlotZeroKeepingOldSamples) {
    Start();
    for (int i = 0; i < 4; ++i)
        Tick(2000);
    ASSERT_EQ(diagram.HistoryPos(), 5u);
    // Columns 0 to 3 hold full-scale bars (slots 4 to 1), column 4 the zero sample.
    ASSERT_EQ(Px(3, 20), ReadShade(20));

    diagram.ResetHistory();
    EXPECT_EQ(diagram.HistoryPos(), 0u);
    EXPECT_EQ(diagram.HistoryLen(), 342u);
    EXPECT_EQ(diagram.ReadHistory().size(), 342u);
    EXPECT_EQ(diagram.ReadHistory()[4], 2000u);
    EXPECT_FALSE(diagram.HasPrevious());

    // The new adapter's counters are far from the old ones: still a zero sample.
    const DiagramTickResult r = TickTo(123, 456);
    EXPECT_EQ(r.newestReadRate, "0 B/s");
    EXPECT_EQ(r.averageReadRate, "0 B/s");
    // Column 0 is repainted; the old picture to its right stays.
    for (int y = 0; y < 39; ++y)
        EXPECT_EQ(Px(0, y), kFace) << y;
    EXPECT_EQ(Px(1, 20), ReadShade(20));
    EXPECT_EQ(Px(3, 1), ReadShade(39));
}

TEST_F(DiagramTest, FullHistoryDropsTheOldestSample) {
    // Sample j of the run (j = 1 .. 343): 0 first, then j bytes per second.
    Start();
    for (std::uint32_t j = 2; j <= 342; ++j)
        Tick(j);
    EXPECT_EQ(diagram.HistoryPos(), 341u);
    EXPECT_EQ(diagram.ReadHistory()[0], 2u);
    EXPECT_EQ(diagram.ReadHistory()[340], 342u);
    EXPECT_EQ(diagram.ReadHistory()[341], 342u);  // kept until the next sample

    const DiagramTickResult r = Tick(343);
    EXPECT_EQ(r.newestReadRate, "343 B/s");
    // (2 + 3 + ... + 343) / 342 = 58995 / 342 = 172 (integer division).
    EXPECT_EQ(r.averageReadRate, "172 B/s");
    EXPECT_EQ(r.scaleText, "1Kb");
    EXPECT_EQ(diagram.HistoryPos(), 341u);
    EXPECT_EQ(diagram.ReadHistory()[0], 3u);
    EXPECT_EQ(diagram.ReadHistory()[340], 343u);

    // Newest at the left: 343 B/s is 13.72 -> 14 rows high (rows 38 to 27 visible).
    EXPECT_EQ(Px(0, 27), ReadShade(13));
    EXPECT_EQ(Px(0, 26), kFace);
    // Slot 100 held sample 102 when it was drawn: 4.08 -> 4 rows, in column 241.
    EXPECT_EQ(Px(241, 37), ReadShade(3));
    EXPECT_EQ(Px(241, 36), kFace);
    EXPECT_EQ(Px(240, 37), ReadShade(3));  // sample 103: 4.12 -> 4
}
