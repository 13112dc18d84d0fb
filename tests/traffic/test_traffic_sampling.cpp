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
    table.At(0).dwOperStatus = 0;
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
    table.At(0).dwOperStatus = 1;
    table.At(0).dwSpeed = 10000000;
    f = monitor.RefreshTick();
    EXPECT_EQ(f.totalRead, "500");
    EXPECT_EQ(f.totalWrite, "40");
    EXPECT_EQ(Log(), "Connect     [07/12/2026 04:15:09] [10000000] [r:0 w:0]\r\n");
}

TEST_F(Sampling, CountersAndTotalsPass4GiBWhole) {
    table.rows = std::vector<IfRow>{RowA(2, 4294967000, 4294967295u)};
    SelectA();
    TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.totalWrite, "4294967295");
    SetCounters(table.At(0), k2to32 + 500, k2to32 + 1);
    f = monitor.RefreshTick();
    EXPECT_EQ(f.curRead, "4294967796");
    EXPECT_EQ(f.totalRead, "4294967796");
    EXPECT_EQ(f.totalWrite, "4294967297");

    // 5 GB between two ticks, on a 10 Gbit/s link.
    table.At(0).dwSpeed = 10'000'000'000u;
    SetCounters(table.At(0), k2to32 + 5'000'000'500u, k2to32 + 1);
    f = monitor.RefreshTick();
    EXPECT_EQ(f.totalRead, "9294967796");
    EXPECT_EQ(f.curRead, "9294967796");
    EXPECT_EQ(f.linkSpeed, "10000000000");
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
    EXPECT_EQ(monitor.State().TotalRead, 4294967796u);
    EXPECT_EQ(monitor.State().TotalWrite, 4294968000u);
    EXPECT_EQ(wrapped.newestReadRate, "796 B/s");
    EXPECT_EQ(wrapped.newestWriteRate, "2000 B/s");
    EXPECT_EQ(monitor.State().CounterRestarts, 0u);

    // Another interface behind the address has started again, whatever its counters' width.
    row = RowA(9, 100, 30);
    row.counters64 = false;
    table.rows = std::vector<IfRow>{row};
    EXPECT_EQ(tick().newestReadRate, "100 B/s");
    EXPECT_EQ(monitor.State().TotalRead, 4294967896u);
    EXPECT_EQ(monitor.State().CounterRestarts, 1u);
}

TEST_F(Sampling, RestartedCountersAddNoPhantomTraffic) {
    table.rows = std::vector<IfRow>{RowA(2, 1000000, 50000)};
    SelectA();
    monitor.RefreshTick();
    const struct {
        const char* what;
        std::uint64_t in, out;  // the counters of interface 9 with A's address
        std::uint64_t totalRead, totalWrite, restarts;
    } steps[] = {
        {"the address comes back as another interface", 2000, 300, 1002000, 50300, 1},
        {"the same interface reset: its full counter went down", 100, 7, 1002100, 50307, 2},
        // Both count only what the new counters show.
        {"re-created within one tick: received down, sent past its old value", 60, 900, 1002160,
         51207, 3},
        {"ordinary growth afterwards", 160, 910, 1002260, 51217, 3},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        table.rows = std::vector<IfRow>{RowA(9, step.in, step.out)};
        monitor.RefreshTick();
        EXPECT_EQ(monitor.State().TotalRead, step.totalRead);
        EXPECT_EQ(monitor.State().TotalWrite, step.totalWrite);
        EXPECT_EQ(monitor.State().CounterRestarts, step.restarts);
    }
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

TEST_F(Sampling, UnreadableTableShowsOfflineWithoutFigures) {
    table.rows = std::vector<IfRow>{RowA(2, 80000, 9000)};
    SelectA();
    monitor.RefreshTick();
    const auto saved = table.rows;
    table.rows.reset();
    TrafficFields f = monitor.RefreshTick();
    for (const QString& field : {f.linkSpeed, f.totalRead, f.totalWrite, f.curRead, f.curWrite})
        EXPECT_EQ(field, "");
    EXPECT_EQ(monitor.DrawTick(true, Rgb(212, 208, 200)).onlineText, "Offline");
    EXPECT_EQ(monitor.State().PrevRead, 80000u);
    clock.now = clock.now.addSecs(60);
    monitor.StatusLogTick();
    EXPECT_EQ(Log(), "Connect     [07/12/2026 04:15:09] [100000000] [r:0 w:0]\r\n");

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

    // A choice while the table cannot be read selects nothing; once it reads again, the
    // last figures show again.
    table.rows.reset();
    monitor.RefreshTick();
    EXPECT_TRUE(FoundNone(monitor.ChooseAdapter("Wired A [02-00-00-00-00-0A]")));
    table.rows = saved;
    EXPECT_EQ(monitor.RefreshTick().totalRead, "95010");
}

TEST_F(Sampling, NoAdapterSelectedReadsNothing) {
    table.rows = std::vector<IfRow>{RowA(2, 80000, 9000), MakeRow({}, 3, 5, 5)};
    const TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(table.reads + table.linkReads, 0);
    EXPECT_EQ(f.linkSpeed, "0");
    EXPECT_EQ(f.totalRead, "0");
    EXPECT_EQ(f.curRead, "0");
    EXPECT_EQ(Log(), "");
}

TEST_F(Sampling, TicksReadTheSelectedLinkAloneFirstRowInTableOrder) {
    IfRow down = RowA(3, 777, 888, 0);
    down.dwOperStatus = 0;  // not listable, but read all the same
    table.rows = std::vector<IfRow>{RowB(1, 1, 1), down, RowA(2, 80000, 9000)};
    SelectA();
    TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.curRead, "777");
    EXPECT_EQ(f.linkSpeed, "0");
    const int reads = table.reads;
    monitor.RefreshTick();
    EXPECT_EQ(table.reads, reads);
    EXPECT_EQ(table.linkReads, 1);

    // Gone: the whole table again, where the other row with the address is found.
    table.rows->erase(table.rows->begin() + 1);
    EXPECT_EQ(monitor.RefreshTick().curRead, "80000");
    EXPECT_EQ(table.reads, reads + 1);
    // Another address behind the index now: the whole table again.
    table.At(1).bPhysAddr[5] = 0x0C;
    table.rows->push_back(RowA(5, 4, 4));
    EXPECT_EQ(monitor.RefreshTick().curRead, "4");
    EXPECT_EQ(table.reads, reads + 2);
    // A fill of the list finds a row with the address earlier in the table: the ticks
    // follow it.
    table.rows->insert(table.rows->begin(), RowA(6, 66, 6));
    monitor.FillAdapterList();
    EXPECT_EQ(monitor.RefreshTick().curRead, "66");
    EXPECT_EQ(table.reads, reads + 3);
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
    table.At(0).dwOperStatus = 0;
    monitor.RefreshTick();
    table.At(0).dwOperStatus = 1;
    monitor.RefreshTick();
    ASSERT_TRUE(Took(monitor.ChooseAdapter("Wireless B [02-00-00-00-00-0B]")));
    monitor.RefreshTick();
    EXPECT_EQ(monitor.State().TotalRead, 100u);
    EXPECT_EQ(Log(), "Connect     [07/12/2026 04:15:09] [100000000] [r:0 w:0]\r\n");
}

TEST_F(Sampling, RestartGivesTheDiagramTheNewCountersAndAChoiceRestartsItsHistory) {
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
    EXPECT_EQ(tick().newestReadRate, "4000 B/s");
    SetCounters(table.At(0), 6000, 400);
    const DiagramTickResult last = tick();
    EXPECT_EQ(last.newestReadRate, "2000 B/s");
    EXPECT_EQ(last.newestWriteRate, "100 B/s");
    EXPECT_EQ(last.scaleText, "4Kb");  // slots 2 and 3 only
    EXPECT_EQ(monitor.Diagram().HistoryPos(), 4u);

    ASSERT_TRUE(Took(monitor.ChooseAdapter("Wired A [02-00-00-00-00-0A]")));
    EXPECT_EQ(monitor.Diagram().HistoryPos(), 0u);
    EXPECT_EQ(monitor.Diagram().HistoryLen(), 342u);
    // The first sample after a choice is a zero one, not the step between two adapters.
    SetCounters(table.At(0), 99000, 400);
    EXPECT_EQ(tick().newestReadRate, "0 B/s");
}
