// The files the program writes, in a program folder that is read-only or full: each writer
// gives up quietly, leaves what is on disk byte for byte as it was (no half line that the
// next reading would take for a record), keeps its state for this run, and writes whole
// again once there is room.

#include "language/MLanguage.h"
#include "online/SearchHistory.h"
#include "online/THttpCli.h"
#include "online/UpdateOperation.h"
#include "traffic/ConnectionLog.h"
#include "traffic/TrafficMonitor.h"

#include "FakeClock.h"
#include "FakeInterfaceTable.h"
#include "FakeSettings.h"
#include "FaultyFolder.h"
#include "LocalHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using faultyfolder::Fault;
using faultyfolder::FaultyFolder;

namespace {

constexpr std::size_t kPage = 4096;
constexpr int kPage1252 = 1252;

// Status lines of an earlier run, `size` bytes in all (at least a few lines' worth): the
// totals take as many digits as it needs.
std::string EarlierLog(std::size_t size) {
    const QDateTime when(QDate(2026, 12, 6), QTime(22, 0, 0));
    const auto line = [&](std::size_t extraDigits) {
        const std::string digits = "4294967295";
        const std::size_t read = 1 + std::min<std::size_t>(extraDigits, 9);
        const std::size_t write = 1 + extraDigits - (read - 1);
        return FormatLogLine("Status", when, QLocale::c(), 100000000,
                             static_cast<std::uint32_t>(std::stoul(digits.substr(0, read))),
                             static_cast<std::uint32_t>(std::stoul(digits.substr(0, write))));
    };
    const std::size_t shortest = line(0).size();
    std::size_t extra = size % (shortest + 9);
    std::string log;
    for (std::size_t n = size / (shortest + 9); n > 0; --n) {
        extra += 9;
        const std::size_t digits = std::min<std::size_t>(extra, 18);
        extra -= digits;
        log += line(digits);
    }
    return log;
}

// History lines of an earlier run, `size` bytes in all, the last query padded to fit.
std::string EarlierSearches(std::size_t size) {
    std::string csv;
    for (int i = 0; csv.size() + 60 < size; ++i)
        csv += "06.12.26;earlier query " + std::to_string(i) + "\r\n";
    return csv + "06.12.26;" + std::string(size - csv.size() - 11, 'q') + "\r\n";
}

std::vector<std::string> Sorted(std::vector<QString> texts) {
    std::vector<std::string> out;
    for (const QString& text : texts)
        out.push_back(text.toStdString());
    std::sort(out.begin(), out.end());
    return out;
}

class NoSwap final : public updatecheck::SwapInstaller {
  public:
    int installs = 0;
    void Install(const updatecheck::SwapPlan&) override { ++installs; }
};

QLocale German() {
    return QLocale(QLocale::German, QLocale::Germany);
}

}  // namespace

class FolderFault : public ::testing::TestWithParam<Fault> {
  protected:
    void SetUp() override {
        // A little less room at the end of each file's last page than a line takes, so a
        // full folder takes part of the line and then no more.
        ASSERT_EQ(earlierLog.size(), 2 * kPage - 20);
        ASSERT_EQ(earlierSearches.size(), kPage - 10);
        folder.emplace(GetParam(), FaultyFolder::Files{{"inet.stat", earlierLog},
                                                       {"search.csv", earlierSearches},
                                                       {"language.cfg", "russian.lng\r\n"},
                                                       {"russian.lng", "Language:=Russian\r\n"}});
        if (!folder->ok()) GTEST_SKIP() << "a faulty program folder: " << folder->error();
    }

    const std::string earlierLog = EarlierLog(2 * kPage - 20);
    const std::string earlierSearches = EarlierSearches(kPage - 10);
    std::optional<FaultyFolder> folder;
    FakeClock clock;
};

INSTANTIATE_TEST_SUITE_P(Folders, FolderFault, ::testing::Values(Fault::ReadOnly, Fault::Full),
                         [](const auto& info) {
                             return std::string(faultyfolder::Name(info.param));
                         });

TEST_P(FolderFault, TheLogLosesItsLinesQuietlyWhileTheMonitorKeepsCounting) {
    FakeInterfaceTable table;
    FakeSettings settings;
    TrafficMonitor monitor{table, settings, clock, folder->PathOf("inet.stat"), &QLocale::c};
    table.rows = std::vector<IfRow>{MakeRow({0x02, 0, 0, 0, 0, 0x0A}, 2, 1000, 100)};
    monitor.StartUp();
    ASSERT_TRUE(monitor.ChooseAdapter("Fast Ethernet Adapter [02-00-00-00-00-0A]").restartTimers);
    monitor.RefreshTick();  // the Connect line
    SetCounters(table.At(0), 5096, 612);
    const TrafficFields fields = monitor.RefreshTick();
    monitor.StatusLogTick();
    EXPECT_FALSE(fields.error);
    EXPECT_EQ(fields.totalRead, "5096");
    EXPECT_EQ(fields.totalWrite, "612");
    EXPECT_TRUE(folder->Unchanged());

    folder->EndFault();
    monitor.StatusLogTick();
    EXPECT_EQ(folder->Read("inet.stat"),
              earlierLog + FormatLogLine("Status", clock.now, QLocale::c(), 100000000, 5096, 612));
}

TEST_P(FolderFault, AQueryJoinsTheListWhenTheHistoryCannotTakeIt) {
    SearchHistory history(folder->Path(), clock, German(), kPage1252);
    history.Load();
    const std::vector<QString> earlier = history.Entries();
    ASSERT_TRUE(history.Contains(QStringLiteral("earlier query 0")));  // what the file held
    EXPECT_TRUE(history.Record(QStringLiteral("fault query")));
    EXPECT_TRUE(history.Contains(QStringLiteral("fault query")));
    EXPECT_EQ(history.Entries().size(), earlier.size() + 1);
    EXPECT_TRUE(folder->Unchanged());

    // The next run reads nothing of the lost line, and what was recorded with room again.
    folder->EndFault();
    EXPECT_TRUE(history.Record(QStringLiteral("with room")));
    const QString today = German().toString(clock.now.date(), QLocale::ShortFormat);
    EXPECT_EQ(folder->Read("search.csv"),
              earlierSearches + SearchHistory::HistoryLine(today, "with room", kPage1252));
    SearchHistory next(folder->Path(), clock, German(), kPage1252);
    next.Load();
    std::vector<QString> expected = earlier;
    expected.push_back(QStringLiteral("with room"));
    EXPECT_EQ(Sorted(next.Entries()), Sorted(expected));
}

TEST_P(FolderFault, SavingTheLanguageLeavesTheStatusAndLanguageFilesAsTheyWere) {
    TMultiLanguage language(nullptr, kPage1252);
    language.SetStatusFile(QString::fromStdString(folder->PathOf("language.cfg")));
    ASSERT_EQ(language.StatusLoad(), 0);
    ASSERT_EQ(language.LanguageFile(), "russian.lng");
    const QString chosen = QStringLiteral("/elsewhere/german.lng");
    language.SetLanguageFile(chosen);
    language.StatusSave();
    EXPECT_EQ(language.LanguageFile(), chosen);
    language.SetLanguageFile(QString::fromStdString(folder->PathOf("russian.lng")));
    language.SaveForm();
    EXPECT_EQ(language.Language(), "English");
    EXPECT_TRUE(folder->Unchanged());

    folder->EndFault();
    language.SetLanguageFile(chosen);
    language.StatusSave();
    EXPECT_EQ(folder->Read("language.cfg"), "/elsewhere/german.lng\r\n");
}

TEST_P(FolderFault, AnUpdateThatCannotBeStoredEndsQuietlyAndGivesBackItsRoom) {
    httptest::LocalHttpServer server;
    THttpCli getpic{[] {}, clock};
    NoSwap swap;
    // The update service offers a build of 200000 bytes.
    server.ServeBuild({.body = std::string(200000, 'x')});
    updatecheck::UpdateOperation update{
        getpic, clock,
        updatecheck::UpdateSite{server.Url(""), TORVANE_TEST_VERSION, folder->Path(),
                                folder->PathOf("torvane")},
        swap, [](std::uint32_t) {}};
    // Room for part of the build, which the download fills before it fails.
    if (GetParam() == Fault::Full) folder->Free(4 * kPage);
    const auto room = folder->FreeBytes();

    ASSERT_TRUE(update.Begin().started);
    ASSERT_TRUE(update.Look().found);
    EXPECT_FALSE(update.Fetch({}).installable);
    EXPECT_FALSE(update.Install().closeProgram);
    update.End();
    EXPECT_EQ(swap.installs, 0);
    EXPECT_TRUE(folder->Unchanged());
    if (GetParam() == Fault::Full) {
        EXPECT_EQ(folder->FreeBytes(), room);
    }
    EXPECT_TRUE(update.Begin().started);  // the next try may begin
}
