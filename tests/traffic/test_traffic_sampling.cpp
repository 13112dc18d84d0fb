#include "MonitorFixture.h"

using Sampling = MonitorTest;

TEST_F(Sampling, FirstOnlineTickAddsTheWholeCountersAfterAConnectLineWithZeros) {
    table.rows = std::vector<IfRow>{RowB(1, 7, 7), RowA(2, 5000000, 1000000)};
    SelectA();
    TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.linkSpeed, "100000000");
    EXPECT_EQ(f.totalRead, "5000000");
    EXPECT_EQ(f.totalWrite, "1000000");
    EXPECT_EQ(f.curRead, "5000000");
    EXPECT_EQ(f.curWrite, "1000000");
    EXPECT_FALSE(f.error);
    EXPECT_EQ(Log(), "Connect     [07/12/2026 04:15:09] [100000000] [r:0 w:0]\r\n");

    SetCounters(table.At(1), 5004096, 1000512);
    clock.now = clock.now.addSecs(1);
    f = monitor.RefreshTick();
    EXPECT_EQ(f.totalRead, "5004096");
    EXPECT_EQ(f.totalWrite, "1000512");
    EXPECT_EQ(monitor.State().PrevRead, 5000000u);
    // Once per run.
    EXPECT_EQ(Log(), "Connect     [07/12/2026 04:15:09] [100000000] [r:0 w:0]\r\n");
}

TEST_F(Sampling, OfflineTicksAddNothingButFollowTheCounters) {
    table.rows = std::vector<IfRow>{RowA(2, 1000, 100, 0)};
    SelectA();
    TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.linkSpeed, "0");
    EXPECT_EQ(f.totalRead, "0");
    EXPECT_EQ(f.curRead, "1000");
    SetCounters(table.At(0), 3000, 300);
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 0u);
    EXPECT_EQ(Log(), "");

    // Online again: only what passed since the last (offline) tick counts.
    SetCounters(table.At(0), 3500, 340);
    table.At(0).dwSpeed = 10000000;
    f = monitor.RefreshTick();
    EXPECT_EQ(f.totalRead, "500");
    EXPECT_EQ(f.totalWrite, "40");
    EXPECT_EQ(Log(), "Connect     [07/12/2026 04:15:09] [10000000] [r:0 w:0]\r\n");
}

TEST_F(Sampling, CounterWrapIsCountedExactly) {
    table.rows = std::vector<IfRow>{RowA(2, 4294967000, 10, 0)};
    SelectA();
    monitor.RefreshTick();  // offline: nothing added yet
    table.At(0).dwSpeed = 1000;
    SetCounters(table.At(0), k2to32 + 500, 20);
    const TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(monitor.State().PrevRead, 4294967000u);
    EXPECT_EQ(f.curRead, "500");
    EXPECT_EQ(f.totalRead, "796");
    EXPECT_EQ(f.totalWrite, "10");
    EXPECT_EQ(monitor.State().CounterRestarts, 0u);
}

TEST_F(Sampling, A32BitCounterThatGoesDownOnTheSameInterfaceHasWrapped) {
    auto tick = [&] {
        clock.now = clock.now.addSecs(1);
        monitor.RefreshTick();
        return monitor.DrawTick(true, Rgb(212, 208, 200));
    };
    IfRow row = RowA(2, 4294967000u, 4294966000u);
    row.counters64 = false;
    table.rows = std::vector<IfRow>{row};
    SelectA();
    tick();
    SetCounters(table.At(0), 500, 704);
    const DiagramTickResult wrapped = tick();
    EXPECT_EQ(monitor.State().TotalRead, 500u);  // 4294967000 + 796, modulo 2^32
    EXPECT_EQ(monitor.State().TotalWrite, 704u);
    EXPECT_EQ(wrapped.newestReadRate, "796 B/s");
    EXPECT_EQ(wrapped.newestWriteRate, "2000 B/s");
    EXPECT_EQ(monitor.State().CounterRestarts, 0u);

    // Another interface behind the address has started again, whatever its counters' width.
    row = RowA(9, 100, 30);
    row.counters64 = false;
    table.rows = std::vector<IfRow>{row};
    EXPECT_EQ(tick().newestReadRate, "0 B/s");
    EXPECT_EQ(monitor.State().TotalRead, 600u);
    EXPECT_EQ(monitor.State().CounterRestarts, 1u);
}

TEST_F(Sampling, TotalsGoOnFromZeroPast4294967295) {
    table.rows = std::vector<IfRow>{RowA(2, 4294967295u, 4294967290u)};
    SelectA();
    TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.totalRead, "4294967295");
    EXPECT_EQ(f.totalWrite, "4294967290");
    SetCounters(table.At(0), k2to32 + 1, 4294967300u);
    f = monitor.RefreshTick();
    EXPECT_EQ(f.totalRead, "1");
    EXPECT_EQ(f.totalWrite, "4");
    EXPECT_EQ(f.curRead, "1");
}

TEST_F(Sampling, RestartedCountersAddNoPhantomTraffic) {
    // The same address comes back as another interface (re-created by the system).
    table.rows = std::vector<IfRow>{RowA(2, 1000000, 50000)};
    SelectA();
    monitor.RefreshTick();
    table.rows = std::vector<IfRow>{RowA(9, 2000, 300)};
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 1002000u);
    EXPECT_EQ(monitor.State().TotalWrite, 50300u);
    EXPECT_EQ(monitor.State().CounterRestarts, 1u);

    // The same interface reset: its full counter went down.
    SetCounters(table.At(0), 100, 7);
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 1002100u);
    EXPECT_EQ(monitor.State().TotalWrite, 50307u);
    EXPECT_EQ(monitor.State().CounterRestarts, 2u);

    // Only the sent counter was reset: the received one still counts by difference.
    SetCounters(table.At(0), 600, 5);
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 1002600u);
    EXPECT_EQ(monitor.State().TotalWrite, 50312u);
    EXPECT_EQ(monitor.State().CounterRestarts, 3u);

    // Ordinary growth afterwards.
    SetCounters(table.At(0), 700, 15);
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 1002700u);
    EXPECT_EQ(monitor.State().TotalWrite, 50322u);
    EXPECT_EQ(monitor.State().CounterRestarts, 3u);
}

TEST_F(Sampling, VanishedAdapterIsOfflineAndKeepsItsReadings) {
    table.rows = std::vector<IfRow>{RowB(1, 1, 1), RowA(2, 80000, 9000)};
    SelectA();
    monitor.RefreshTick();
    table.rows = std::vector<IfRow>{RowB(1, 2, 2)};  // unplugged
    TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.linkSpeed, "0");
    EXPECT_EQ(f.curRead, "80000");
    EXPECT_EQ(f.curWrite, "9000");
    EXPECT_EQ(f.totalRead, "80000");
    const std::string connectOnly = Log();
    monitor.StatusLogTick();
    EXPECT_EQ(Log(), connectOnly);

    // Plugged in again: a new interface whose counters started at 0.
    table.rows = std::vector<IfRow>{RowB(1, 3, 3), RowA(7, 300, 40)};
    f = monitor.RefreshTick();
    EXPECT_EQ(f.linkSpeed, "100000000");
    EXPECT_EQ(f.totalRead, "80300");
    EXPECT_EQ(f.totalWrite, "9040");
}

TEST_F(Sampling, UnreadableTableKeepsEverything) {
    table.rows = std::vector<IfRow>{RowA(2, 80000, 9000)};
    SelectA();
    monitor.RefreshTick();
    const auto saved = table.rows;
    table.rows.reset();
    TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.linkSpeed, "100000000");
    EXPECT_EQ(f.totalRead, "80000");
    EXPECT_EQ(f.curRead, "80000");
    EXPECT_EQ(monitor.State().PrevRead, 80000u);
    clock.now = clock.now.addSecs(60);
    monitor.StatusLogTick();
    EXPECT_EQ(Log(),
              "Connect     [07/12/2026 04:15:09] [100000000] [r:0 w:0]\r\n"
              "Status      [07/12/2026 04:16:09] [100000000] [r:80000 w:9000]\r\n");

    // Back, same interface: what it counted meanwhile is added.
    table.rows = saved;
    SetCounters(table.At(0), 95000, 9100);
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 95000u);
    // Unreadable again, back with the interface reset: no difference against the frozen
    // readings, only what the new counter shows.
    table.rows.reset();
    monitor.RefreshTick();
    table.rows = saved;
    SetCounters(table.At(0), 10, 20);
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 95010u);
    EXPECT_EQ(monitor.State().TotalWrite, 9120u);
}

TEST_F(Sampling, NoAdapterSelectedReadsButMatchesNothing) {
    table.rows = std::vector<IfRow>{RowA(2, 80000, 9000), MakeRow({}, 3, 5, 5)};
    const TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(table.reads, 1);
    EXPECT_EQ(f.linkSpeed, "0");
    EXPECT_EQ(f.totalRead, "0");
    EXPECT_EQ(f.curRead, "0");
    EXPECT_EQ(Log(), "");
}

TEST_F(Sampling, FirstOfTwoRowsWithTheSelectedAddressIsRead) {
    IfRow down = RowA(3, 777, 888, 0);
    down.dwOperStatus = 0;  // not listable, but read all the same
    table.rows = std::vector<IfRow>{down, RowA(2, 80000, 9000)};
    SelectA();
    const TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.curRead, "777");
    EXPECT_EQ(f.linkSpeed, "0");
}

TEST_F(Sampling, FailedTickStillShowsTheFields) {
    table.rows = std::vector<IfRow>{RowA(2, 80000, 9000)};
    SelectA();
    monitor.RefreshTick();
    table.throwOnRead = true;
    const TrafficFields f = monitor.RefreshTick();
    ASSERT_TRUE(f.error);
    EXPECT_EQ(*f.error, "interface table exploded");
    EXPECT_EQ(f.totalRead, "80000");
    EXPECT_EQ(f.linkSpeed, "100000000");
}

TEST_F(Sampling, ConnectLineIsNotRearmedByOfflineSpellsOrAnotherAdapter) {
    table.rows = std::vector<IfRow>{RowA(2, 100, 10), RowB(3, 100, 10)};
    SelectA();
    monitor.RefreshTick();
    table.At(0).dwSpeed = 0;
    monitor.RefreshTick();
    table.At(0).dwSpeed = 1000;
    monitor.RefreshTick();
    ASSERT_TRUE(Took(monitor.ChooseAdapter("Wireless B [02-00-00-00-00-0B]")));
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 100u);
    EXPECT_EQ(Log(), "Connect     [07/12/2026 04:15:09] [100000000] [r:0 w:0]\r\n");
}

TEST_F(Sampling, RestartGivesTheDiagramAZeroSampleAndAChoiceRestartsItsHistory) {
    constexpr std::uint32_t kFace = Rgb(212, 208, 200);
    auto tick = [&] {
        clock.now = clock.now.addSecs(1);
        monitor.RefreshTick();
        return monitor.DrawTick(true, kFace);
    };
    table.rows = std::vector<IfRow>{RowA(2, 1000, 100)};
    SelectA();
    tick();
    SetCounters(table.At(0), 6000, 800);
    EXPECT_EQ(tick().newestReadRate, "5000 B/s");
    table.rows = std::vector<IfRow>{RowA(3, 4000, 300)};  // re-created
    EXPECT_EQ(tick().newestReadRate, "0 B/s");
    SetCounters(table.At(0), 6000, 400);
    const DiagramTickResult last = tick();
    EXPECT_EQ(last.newestReadRate, "2000 B/s");
    EXPECT_EQ(last.newestWriteRate, "100 B/s");
    EXPECT_EQ(last.scaleText, "2Kb");  // slots 2 and 3 only
    EXPECT_EQ(monitor.Diagram().HistoryPos(), 4u);

    ASSERT_TRUE(Took(monitor.ChooseAdapter("Wired A [02-00-00-00-00-0A]")));
    EXPECT_EQ(monitor.Diagram().HistoryPos(), 0u);
    EXPECT_EQ(monitor.Diagram().HistoryLen(), 342u);
    // The first sample after a choice is a zero one, not the step between two adapters.
    SetCounters(table.At(0), 99000, 400);
    EXPECT_EQ(tick().newestReadRate, "0 B/s");
}
