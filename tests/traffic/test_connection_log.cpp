#include "traffic/ConnectionLog.h"

#include "util/TextFile.h"

#include "TrafficFakes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QDateTime kWhen(QDate(2026, 12, 7), QTime(4, 5, 9, 999));

}  // namespace

TEST(ConnectionLogLine, LayoutWithTheLocaleSeparators) {
    EXPECT_EQ(FormatLogLine("Connect", kWhen, QLocale(QLocale::English, QLocale::UnitedStates),
                            100000000, 0, 0),
              "Connect     [07/12/2026 04:05:09] [100000000] [r:0 w:0]\r\n");
    EXPECT_EQ(FormatLogLine("Status", kWhen, QLocale(QLocale::German, QLocale::Germany),
                            10'000'000'000u, 18'446'744'073'709'551'615u, 4294967295u),
              "Status      [07.12.2026 04:05:09] [10000000000] [r:18446744073709551615 "
              "w:4294967295]\r\n");
    // Finnish writes the time with dots; the C locale's date has no separator at all.
    EXPECT_EQ(FormatLogLine("Status", QDateTime(QDate(987, 1, 2), QTime(23, 59, 0)),
                            QLocale(QLocale::Finnish, QLocale::Finland), 1, 4096, 512),
              "Status      [02.01.0987 23.59.00] [1] [r:4096 w:512]\r\n");
    EXPECT_EQ(FormatLogLine("Status", kWhen, QLocale::c(), 1, 2, 3),
              "Status      [07/12/2026 04:05:09] [1] [r:2 w:3]\r\n");
}

TEST(ConnectionLogLine, SeparatorOfAFormat) {
    EXPECT_EQ(SeparatorIn("dd.MM.yy", "/"), ".");
    EXPECT_EQ(SeparatorIn("yyyy-MM-dd", "/"), "-");
    EXPECT_EQ(SeparatorIn("yyyy. MM. dd.", "/"), ".");
    EXPECT_EQ(SeparatorIn("yyyyMMdd", "/"), "/");
    EXPECT_EQ(SeparatorIn("d MMM yyyy", "/"), "/");
    EXPECT_EQ(SeparatorIn("h:mm AP", ":"), ":");
    EXPECT_EQ(SeparatorIn("HH 'h' mm", ":"), ":");
    EXPECT_EQ(SeparatorIn("", ":"), ":");
}

class ConnectionLogFile : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    FakeClock clock;
    TrafficState state;
    std::string path = ConnectionLogPath(dir.path().toStdString());
    ConnectionLog log{path, clock, [] { return QLocale(QLocale::German, QLocale::Germany); }};
};

TEST_F(ConnectionLogFile, LinesAreAppendedToTheFileBesideTheProgram) {
    EXPECT_EQ(path, dir.path().toStdString() + "/inet.stat");
    state.LinkSpeed = 54000000;
    log.AppendConnect(state);
    state.TotalRead = 4096;
    state.TotalWrite = 512;
    clock.now = clock.now.addSecs(60);
    log.AppendStatus(state);
    EXPECT_EQ(textfile::ReadAll(path),
              "Connect     [07.12.2026 04:15:09] [54000000] [r:0 w:0]\r\n"
              "Status      [07.12.2026 04:16:09] [54000000] [r:4096 w:512]\r\n");
}

TEST_F(ConnectionLogFile, ALineThatCannotBeWrittenIsLostQuietlyAndTheNextTriesAgain) {
    // The program folder is missing.
    const QString folder = dir.filePath("gone");
    const std::string inGone = ConnectionLogPath(folder.toStdString());
    ConnectionLog lost{inGone, clock, &QLocale::c};
    state.LinkSpeed = 1;
    lost.AppendStatus(state);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(inGone)));
    ASSERT_TRUE(QDir().mkpath(folder));
    lost.AppendStatus(state);
    EXPECT_EQ(textfile::ReadAll(inGone), "Status      [07/12/2026 04:15:09] [1] [r:0 w:0]\r\n");

    // Another process holds the file.
    log.AppendStatus(state);
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    state.TotalRead = 1;
    log.AppendStatus(state);
    ::close(fd);
    state.TotalRead = 2;
    log.AppendStatus(state);
    EXPECT_EQ(textfile::ReadAll(path),
              "Status      [07.12.2026 04:15:09] [1] [r:0 w:0]\r\n"
              "Status      [07.12.2026 04:15:09] [1] [r:2 w:0]\r\n");
}
