#pragma once

// Stand-ins for what the main window borrows from the system, and a window made with them
// in a private program folder.

#include "app/AppServices.h"
#include "app/TfrmMain.h"
#include "platform/Clock.h"
#include "platform/InterfaceTable.h"
#include "platform/SettingsStore.h"
#include "platform/UrlOpener.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace apptest {

// The one application object of the test program, made on first use and deleted once all
// tests are done (before the exit handlers of Qt's own globals run).
QApplication& EnsureApp();

// An operational Ethernet interface with the given address and description.
inline IfRow Row(std::initializer_list<std::uint8_t> address, std::string descr,
                 std::uint32_t ifIndex, std::uint32_t speed = 100000000) {
    IfRow row;
    row.dwType = kIfTypeEthernet;
    row.dwOperStatus = 1;
    row.dwPhysAddrLen = static_cast<std::uint32_t>(address.size());
    std::size_t i = 0;
    for (std::uint8_t b : address)
        row.bPhysAddr.at(i++) = b;
    row.bDescr = std::move(descr);
    row.dwSpeed = speed;
    row.ifIndex = ifIndex;
    row.name = "if" + std::to_string(ifIndex);
    return row;
}

class Table final : public InterfaceTable {
  public:
    std::vector<IfRow> rows;
    bool throwOnRead = false;
    int reads = 0;

    std::optional<std::vector<IfRow>> Read() override {
        ++reads;
        if (throwOnRead) throw std::runtime_error("interface table exploded");
        return rows;
    }
    void Describe(IfRow& row) override {
        for (const IfRow& known : rows)
            if (known.ifIndex == row.ifIndex) row.bDescr = known.bDescr;
    }
    void MeasureSpeed(IfRow& row) override {
        for (const IfRow& known : rows)
            if (known.ifIndex == row.ifIndex) row.dwSpeed = known.dwSpeed;
    }
};

class Settings final : public SettingsStore {
  public:
    QMap<QString, QString> values;
    bool failWrites = false;
    int writes = 0;

    std::optional<QString> ReadString(const QString& name) const override {
        if (!values.contains(name)) return std::nullopt;
        return values.value(name);
    }
    std::optional<QByteArray> ReadBytes(const QString&) const override { return std::nullopt; }
    void WriteString(const QString& name, const QString& value) override {
        ++writes;
        if (failWrites)
            throw SettingsError("Cannot write the setting \"" + name.toStdString() + "\"");
        values[name] = value;
    }
    void WriteBytes(const QString&, const QByteArray&) override {}
};

class FixedClock final : public Clock {
  public:
    QDateTime now{QDate(2026, 12, 7), QTime(4, 15, 9)};
    QDateTime Now() const override { return now; }
};

class Opener final : public UrlOpener {
  public:
    std::vector<std::string> opened;
    void Open(const std::string& url) override { opened.push_back(url); }
};

struct Shown {
    QString text;
    QString caption;
    QMessageBox::Icon icon;
};

class Messages final : public UserMessages {
  public:
    std::vector<Shown> shown;
    std::function<void()> whileOpen;  // runs as if the user took time to read the box
    void Show(QWidget*, const QString& text, const QString& caption,
              QMessageBox::Icon icon) override {
        shown.push_back({text, caption, icon});
        if (whileOpen) whileOpen();
    }
};

// Everything a window needs, in a private program folder that is removed afterwards.
struct Rig {
    QApplication& app = EnsureApp();
    QTemporaryDir folder;
    Table table;
    Settings settings;
    FixedClock clock;
    Opener opener;
    Messages messages;
    bool trayAvailable = true;

    std::string ProgramFolder() const {
        return QFile::encodeName(folder.path()).toStdString() + "/";
    }
    QString File(const QString& name) const { return folder.filePath(name); }

    std::unique_ptr<TfrmMain> MakeWindow() {
        return std::make_unique<TfrmMain>(AppServices{
            .interfaceTable = table,
            .settings = settings,
            .clock = clock,
            .urlOpener = opener,
            .messages = messages,
            .programFolder = ProgramFolder(),
            .trayAvailable = [this] { return trayAvailable; },
        });
    }
};

}  // namespace apptest
