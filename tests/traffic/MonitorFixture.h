#pragma once

// A monitor on fake parts with its log in a private folder and a pinned locale.

#include "traffic/ConnectionLog.h"
#include "traffic/TrafficMonitor.h"
#include "util/TextFile.h"

#include "TrafficFakes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

inline constexpr std::uint64_t k2to32 = 4294967296ULL;

// A choice that took an adapter: its traffic started over, no prompt, no error.
inline bool Took(const AdapterChoice& choice) {
    return choice.restartTimers && !choice.askForAdapter && !choice.error;
}

// A choice that found no adapter: the prompt, and nothing started over.
inline bool FoundNone(const AdapterChoice& choice) {
    return !choice.restartTimers && choice.askForAdapter && !choice.error;
}

class MonitorTest : public ::testing::Test {
  protected:
    // The address texts of the rows the tests use.
    static constexpr const char* kMacA = "02-00-00-00-00-0A";
    static constexpr const char* kMacB = "02-00-00-00-00-0B";
    static IfRow RowA(std::uint32_t ifIndex, std::uint64_t in64, std::uint64_t out64,
                      std::uint64_t speed = 100000000) {
        return MakeRow({0x02, 0, 0, 0, 0, 0x0A}, ifIndex, in64, out64, speed, "Wired A");
    }
    static IfRow RowB(std::uint32_t ifIndex, std::uint64_t in64, std::uint64_t out64,
                      std::uint64_t speed = 54000000) {
        return MakeRow({0x02, 0, 0, 0, 0, 0x0B}, ifIndex, in64, out64, speed, "Wireless B",
                       kIfTypeWireless);
    }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        monitor.StartUp();
    }

    // Chooses adapter A as a user would (its item text) and checks that it took.
    void SelectA() {
        ASSERT_TRUE(Took(monitor.ChooseAdapter("Wired A [02-00-00-00-00-0A]")));
        ASSERT_EQ(monitor.SelectedAdapter(), kMacA);
    }

    std::string Log() const { return textfile::ReadAll(logPath).value_or(""); }

    QTemporaryDir dir;
    std::string logPath = ConnectionLogPath(dir.path().toStdString());
    FakeInterfaceTable table;
    FakeSettings settings;
    FakeClock clock;
    TrafficMonitor monitor{table, settings, clock, logPath,
                           [] { return QLocale(QLocale::English, QLocale::UnitedStates); }};
};
