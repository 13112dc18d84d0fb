// The 14-day due test of the update check and the stored date of the last check.

#include "online/UpdateDueTest.h"

#include "FakeClock.h"
#include "FakeSettings.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <limits>

using namespace updatecheck;

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

QByteArray Double(double value) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    QByteArray bytes;
    for (int i = 0; i < 8; ++i, bits >>= 8)
        bytes.append(static_cast<char>(bits & 0xFF));
    return bytes;
}

}  // namespace

TEST(UpdateCheckDate, IsTheOleDateOfTheLocalTimeAsEightLittleEndianBytes) {
    EXPECT_EQ(EncodeCheckDate(QDateTime(QDate(2000, 1, 1), QTime(6, 0))), Hex("00000000c8d5e140"));
    EXPECT_EQ(EncodeCheckDate(QDateTime(QDate(2026, 12, 7), QTime(6, 0))), Hex("0000000068a3e640"));
    EXPECT_DOUBLE_EQ(ToOleDate(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_DOUBLE_EQ(*DecodeCheckDate(Hex("00000000c8d5e140")), 36526.25);
    EXPECT_FALSE(DecodeCheckDate(Double(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_FALSE(DecodeCheckDate(Double(1e300)));
}

TEST(UpdateDueTest, ChecksAtMostEveryFourteenDaysAndWritesTheDateFirst) {
    const QDateTime now(QDate(2026, 12, 7), QTime(4, 15, 9));
    struct Case {
        const char* what;
        std::optional<QByteArray> stored;  // nothing: no stored value
        bool due;
    };
    const Case cases[] = {
        {"first run", std::nullopt, true},
        {"an hour in the future", EncodeCheckDate(now.addSecs(3600)), true},
        {"13 days 23 hours ago", EncodeCheckDate(now.addDays(-14).addSecs(3600)), false},
        {"14 days ago", EncodeCheckDate(now.addDays(-14)), true},
        {"just now", EncodeCheckDate(now), false},
        {"no usable date", Double(std::numeric_limits<double>::infinity()), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeClock clock(now);
        FakeSettings settings;
        if (c.stored) settings.bytes[kCheckDateName] = *c.stored;
        const CheckDue check = UpdateCheckDue(settings, clock);
        EXPECT_EQ(check.due, c.due);
        EXPECT_FALSE(check.error.has_value());
        EXPECT_EQ(settings.bytes.value(kCheckDateName),
                  c.due ? EncodeCheckDate(now) : c.stored.value_or(QByteArray()));
    }
    // A date that cannot be written is an error, and no check runs.
    FakeClock clock(now);
    FakeSettings settings;
    settings.failWrites = true;
    const CheckDue check = UpdateCheckDue(settings, clock);
    EXPECT_FALSE(check.due);
    EXPECT_TRUE(check.error.has_value());
}

// The stored value as a person finds it in the settings file.
TEST(UpdateDueTest, AValueThatIsNotEightBytesOfBinaryDataStopsTheTestWithItsName) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    // The settings file's folder is looked up once per process, at the first use.
    ::setenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()).constData(), 1);
    const QString file = config.path() + "/Quendra/TVR.conf";
    ASSERT_TRUE(QDir().mkpath(config.path() + "/Quendra"));
    struct Case {
        const char* line;
        const char* error;  // nothing: no error
    };
    const Case cases[] = {
        {"chkdate=@ByteArray(123456789)", "Failed to get data for 'chkdate'"},
        {"chkdate=@ByteArray(1234567)", "Invalid data type for 'chkdate'"},
        {"chkdate=12345678", "Invalid data type for 'chkdate'"},
        {"chkdate=1, 2", "Invalid data type for 'chkdate'"},
    };
    const auto store = MakeUserSettingsStore();
    FakeClock clock;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        QFile ini(file);
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QByteArray("[General]\n") + c.line + "\n");
        ini.close();
        const CheckDue check = UpdateCheckDue(*store, clock);
        EXPECT_FALSE(check.due);
        EXPECT_EQ(check.error, std::optional<std::string>(c.error));
        EXPECT_EQ(store->TypeOf(kCheckDateName) == SettingType::Bytes,
                  QByteArray(c.line).contains("@ByteArray"));
    }
    // Once a check has written the date, the file holds eight bytes and the next test reads it.
    QFile::remove(file);
    EXPECT_TRUE(UpdateCheckDue(*store, clock).due);
    EXPECT_EQ(store->ReadBytes(kCheckDateName), EncodeCheckDate(clock.now));
    EXPECT_FALSE(UpdateCheckDue(*store, clock).due);
}
