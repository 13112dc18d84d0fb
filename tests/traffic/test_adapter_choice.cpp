#include "MonitorFixture.h"

using AdapterChoiceTest = MonitorTest;

TEST_F(AdapterChoiceTest, ChoiceRemembersTheShownTextAndStartsTheTrafficOver) {
    table.rows = std::vector<IfRow>{RowA(2, 5000, 600), RowB(3, 1, 1)};
    SelectA();
    monitor.RefreshTick();
    ASSERT_EQ(monitor.State().TotalRead, 5000u);
    ASSERT_FALSE(monitor.State().FirstConnect);
    EXPECT_EQ(settings.values.value("adapter"), "Wired A [02-00-00-00-00-0A]");

    // The window restarts the traffic timers on the choice's word.
    ASSERT_TRUE(Took(monitor.ChooseAdapter("Wireless B [02-00-00-00-00-0B]")));
    EXPECT_EQ(monitor.SelectedAdapter(), kMacB);
    EXPECT_EQ(settings.values.value("adapter"), "Wireless B [02-00-00-00-00-0B]");
    const TrafficState& after = monitor.State();
    EXPECT_EQ(after.TotalRead, 0u);
    EXPECT_EQ(after.CurRead, 0u);
    EXPECT_EQ(after.PrevRead, 0u);
    EXPECT_EQ(after.LinkSpeed, 0u);
    EXPECT_FALSE(after.FirstConnect);
}

TEST_F(AdapterChoiceTest, EveryRowWhoseAddressTheShownTextHoldsIsTakenInTableOrder) {
    // A description that quotes another adapter's address selects that one as well; the
    // last hit in table order stays selected.
    IfRow a = RowA(2, 1, 1);
    a.bDescr = "Bridge over 02-00-00-00-00-0B";
    table.rows = std::vector<IfRow>{a, RowB(3, 1, 1)};
    const QStringList items = monitor.FillAdapterList();
    ASSERT_EQ(items.at(0), "Bridge over 02-00-00-00-00-0B [02-00-00-00-00-0A]");
    EXPECT_TRUE(Took(monitor.ChooseAdapter(items.at(0))));
    EXPECT_EQ(monitor.SelectedAdapter(), kMacB);

    table.rows = std::vector<IfRow>{RowB(3, 1, 1), a};
    EXPECT_TRUE(Took(monitor.ChooseAdapter(items.at(0))));
    EXPECT_EQ(monitor.SelectedAdapter(), kMacA);
}

TEST_F(AdapterChoiceTest, TwoRowsWithOneAddressGiveTwoItemsThatSelectIt) {
    IfRow second = RowA(5, 4444, 55);
    second.bDescr = "Second port";
    table.rows = std::vector<IfRow>{RowA(2, 1111, 22), second};
    const QStringList items = monitor.FillAdapterList();
    ASSERT_EQ(items.size(), 2);
    for (const QString& item : items) {
        EXPECT_TRUE(Took(monitor.ChooseAdapter(item)));
        EXPECT_EQ(monitor.SelectedAdapter(), kMacA);
        // Either way the first row of the table is the one measured.
        EXPECT_EQ(monitor.RefreshTick().curRead, "1111");
    }
}

TEST_F(AdapterChoiceTest, NothingToSelectAsksForAnAdapterAndResetsNothing) {
    table.rows = std::vector<IfRow>{RowA(2, 5000, 600)};
    SelectA();
    monitor.RefreshTick();

    // The chosen adapter went down after the list was built.
    table.At(0).dwOperStatus = 0;
    EXPECT_TRUE(FoundNone(monitor.ChooseAdapter("Wired A [02-00-00-00-00-0A]")));
    EXPECT_EQ(monitor.SelectedAdapter(), "");
    EXPECT_EQ(monitor.State().TotalRead, 5000u);

    // An unreadable table and an empty shown text end the same way.
    table.At(0).dwOperStatus = 1;
    const auto saved = table.rows;
    table.rows.reset();
    EXPECT_TRUE(FoundNone(monitor.ChooseAdapter("Wired A [02-00-00-00-00-0A]")));
    table.rows = saved;
    EXPECT_TRUE(FoundNone(monitor.ChooseAdapter("")));
    EXPECT_EQ(settings.values.value("adapter"), "Wired A [02-00-00-00-00-0A]");

    // With none selected the last readings stay on show, offline.
    const TrafficFields f = monitor.RefreshTick();
    EXPECT_EQ(f.curRead, "5000");
    EXPECT_EQ(f.linkSpeed, "0");
    EXPECT_EQ(AdapterPrompt(), QString::fromUtf8("Пожалуйста выберите сетевой адаптер"));
}

TEST_F(AdapterChoiceTest, FailedSettingsWriteEndsTheChoiceWithTheAdapterSet) {
    table.rows = std::vector<IfRow>{RowA(2, 5000, 600), RowB(3, 70, 80)};
    SelectA();
    monitor.RefreshTick();
    settings.failWrites = true;
    const AdapterChoice choice = monitor.ChooseAdapter("Wireless B [02-00-00-00-00-0B]");
    EXPECT_EQ(choice.error, "Cannot write the setting \"adapter\"");
    EXPECT_FALSE(choice.restartTimers);
    EXPECT_FALSE(choice.askForAdapter);
    EXPECT_EQ(monitor.SelectedAdapter(), kMacB);
    EXPECT_EQ(monitor.State().TotalRead, 5000u);
    EXPECT_EQ(monitor.State().CurRead, 5000u);
    EXPECT_EQ(settings.values.value("adapter"), "Wired A [02-00-00-00-00-0A]");
}

TEST_F(AdapterChoiceTest, RememberedAdapterIsFoundIgnoringCase) {
    table.rows = std::vector<IfRow>{RowA(2, 5000, 600), RowB(3, 70, 80)};
    const QStringList items = monitor.FillAdapterList();

    EXPECT_FALSE(monitor.RememberedItem(items));
    settings.values["adapter"] = "";
    EXPECT_FALSE(monitor.RememberedItem(items));

    settings.values["adapter"] = "WIRELESS b [02-00-00-00-00-0b]";
    const auto shown = monitor.RememberedItem(items);
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown, "Wireless B [02-00-00-00-00-0B]");
    EXPECT_TRUE(Took(monitor.ChooseAdapter(*shown)));
    EXPECT_EQ(monitor.SelectedAdapter(), kMacB);

    // A changed description no longer matches: nothing is shown and the choice asks.
    settings.values["adapter"] = "Old name [02-00-00-00-00-0B]";
    const auto none = monitor.RememberedItem(items);
    ASSERT_TRUE(none);
    EXPECT_EQ(*none, QString());
    EXPECT_TRUE(FoundNone(monitor.ChooseAdapter(*none)));
}

TEST_F(AdapterChoiceTest, StatusLinesOnlyWhileOnlineWithoutAnInventedSpeed) {
    table.rows = std::vector<IfRow>{RowA(2, 5000, 600, 0)};
    SelectA();
    table.At(0).dwOperStatus = 0;
    monitor.RefreshTick();
    monitor.StatusLogTick();
    EXPECT_EQ(Log(), "");

    // Operational, but the link reports no speed: online, no figure in the field or the log.
    table.At(0).dwOperStatus = 1;
    SetCounters(table.At(0), 10'000'005'000u, 4294967295u);
    EXPECT_EQ(monitor.RefreshTick().linkSpeed, "");
    clock.now = clock.now.addSecs(60);
    monitor.StatusLogTick();
    EXPECT_EQ(Log(),
              "Connect     [07/12/2026 04:15:09] [] [r:0 w:0]\r\n"
              "Status      [07/12/2026 04:16:09] [] [r:10000000000 w:4294966695]\r\n");
}

TEST_F(AdapterChoiceTest, EachTunnelWithoutAddressIsMonitoredOnItsOwn) {
    // Loopback comes first, as the kernel lists it; it and the tunnels have no address.
    constexpr std::uint64_t kNoSpeed = 0;
    table.rows = std::vector<IfRow>{
        MakeRow({0, 0, 0, 0, 0, 0}, 1, 9000, 9000, kNoSpeed, "lo", kIfTypeLoopback),
        RowA(2, 1, 1),
        MakeRow({}, 5, 1000, 100, kNoSpeed, "tun0 (tun)", kIfTypePpp),
        MakeRow({}, 6, 2000, 200, kNoSpeed, "wg0 (wireguard)", kIfTypePpp),
    };
    const QStringList items = monitor.FillAdapterList();
    ASSERT_EQ(items, (QStringList{"Wired A [02-00-00-00-00-0A]", "tun0 (tun) [00-00-00-00-00-00]",
                                  "wg0 (wireguard) [00-00-00-00-00-00]"}));
    for (const auto& [item, read] : {std::pair{items[1], "1000"}, std::pair{items[2], "2000"}}) {
        ASSERT_TRUE(Took(monitor.ChooseAdapter(item)));
        EXPECT_EQ(monitor.RefreshTick().curRead, read);
    }

    // The next start finds the remembered tunnel by its item text.
    TrafficMonitor next(table, settings, clock, logPath);
    const auto shown = next.RememberedItem(next.FillAdapterList());
    ASSERT_EQ(shown, items[2]);
    ASSERT_TRUE(Took(next.ChooseAdapter(*shown)));
    EXPECT_EQ(next.RefreshTick().curRead, "2000");

    // With the tunnel gone, loopback is not taken for it.
    table.rows->resize(2);
    const TrafficFields gone = next.RefreshTick();
    EXPECT_EQ(gone.linkSpeed, "0");
    EXPECT_EQ(gone.curRead, "2000");
}
