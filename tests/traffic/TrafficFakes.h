#pragma once

// Scripted stand-ins for what the traffic monitor borrows from the system.

#include "platform/Clock.h"
#include "platform/InterfaceTable.h"
#include "platform/SettingsStore.h"
#include "traffic/TrafficMonitor.h"

#include <QDateTime>
#include <QMap>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// One interface as the fake system knows it: Read() hands out everything but the
// description and the speed, which only Describe() and MeasureSpeed() fill in.
inline IfRow MakeRow(std::initializer_list<std::uint8_t> address, std::uint32_t ifIndex,
                     std::uint64_t in64 = 0, std::uint64_t out64 = 0,
                     std::uint32_t speed = 100000000, std::string descr = "Fast Ethernet Adapter",
                     std::uint32_t type = kIfTypeEthernet, std::uint32_t operStatus = 1) {
    IfRow row;
    row.dwType = type;
    row.dwOperStatus = operStatus;
    row.dwPhysAddrLen = static_cast<std::uint32_t>(address.size());
    std::size_t i = 0;
    for (const std::uint8_t b : address)
        row.bPhysAddr.at(i++) = b;
    row.bDescr = std::move(descr);
    row.dwSpeed = speed;
    row.ifIndex = ifIndex;
    row.name = "if" + std::to_string(ifIndex);
    row.inOctets64 = in64;
    row.outOctets64 = out64;
    row.dwInOctets = static_cast<std::uint32_t>(in64);
    row.dwOutOctets = static_cast<std::uint32_t>(out64);
    return row;
}

// Sets both the full counters and their low 32 bits, as the system does.
inline void SetCounters(IfRow& row, std::uint64_t in64, std::uint64_t out64) {
    row.inOctets64 = in64;
    row.outOctets64 = out64;
    row.dwInOctets = static_cast<std::uint32_t>(in64);
    row.dwOutOctets = static_cast<std::uint32_t>(out64);
}

class FakeInterfaceTable final : public InterfaceTable {
  public:
    // The table the next reads return; nothing means the read fails.
    std::optional<std::vector<IfRow>> rows = std::vector<IfRow>{};
    int reads = 0;
    bool throwOnRead = false;            // a read that raises instead of failing
    std::vector<std::string> described;  // names Describe() was asked about

    std::optional<std::vector<IfRow>> Read() override {
        ++reads;
        if (throwOnRead) throw std::runtime_error("interface table exploded");
        if (!rows) return std::nullopt;
        std::vector<IfRow> snapshot = *rows;
        for (IfRow& row : snapshot) {
            row.bDescr.clear();
            row.dwSpeed = 0;
        }
        return snapshot;
    }

    void Describe(IfRow& row) override {
        described.push_back(row.name);
        if (const IfRow* known = Find(row)) row.bDescr = known->bDescr;
    }

    void MeasureSpeed(IfRow& row) override {
        if (const IfRow* known = Find(row)) row.dwSpeed = known->dwSpeed;
    }

    IfRow& At(std::size_t i) { return rows->at(i); }

  private:
    const IfRow* Find(const IfRow& row) const {
        if (!rows) return nullptr;
        for (const IfRow& known : *rows) {
            if (known.ifIndex == row.ifIndex) return &known;
        }
        return nullptr;
    }
};

class FakeClock final : public Clock {
  public:
    QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(4, 15, 9, 0));
    QDateTime Now() const override { return now; }
};

class FakeSettings final : public SettingsStore {
  public:
    QMap<QString, QString> strings;
    bool failWrites = false;
    int writes = 0;

    std::optional<QString> ReadString(const QString& name) const override {
        if (!strings.contains(name)) return std::nullopt;
        return strings.value(name);
    }
    std::optional<QByteArray> ReadBytes(const QString&) const override { return std::nullopt; }
    void WriteString(const QString& name, const QString& value) override {
        ++writes;
        if (failWrites)
            throw SettingsError("Cannot write the setting \"" + name.toStdString() + "\"");
        strings[name] = value;
    }
    void WriteBytes(const QString&, const QByteArray&) override {}
};

// Records stops and starts; the hooks let a test look at the monitor at those moments.
class FakeTimers final : public MonitorTimers {
  public:
    std::vector<std::string> events;
    std::function<void()> onStop;
    std::function<void()> onStart;

    void StopMonitorTimers() override {
        events.push_back("stop");
        if (onStop) onStop();
    }
    void StartMonitorTimers() override {
        events.push_back("start");
        if (onStart) onStart();
    }
};
