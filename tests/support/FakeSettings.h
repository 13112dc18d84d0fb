#pragma once

// Settings held in memory; writes can be made to fail. Text values and byte values are of
// different types, as in the settings file.

#include "platform/SettingsStore.h"

#include <QByteArray>
#include <QMap>
#include <QString>

class FakeSettings final : public SettingsStore {
  public:
    QMap<QString, QString> values;
    QMap<QString, QByteArray> bytes;
    bool failWrites = false;  // every write raises SettingsError and stores nothing
    int writes = 0;           // writes asked for, failed ones included

    SettingType TypeOf(const QString& name) const override;
    std::optional<QString> ReadString(const QString& name) const override;
    std::optional<QByteArray> ReadBytes(const QString& name) const override;
    void WriteString(const QString& name, const QString& value) override;
    void WriteBytes(const QString& name, const QByteArray& value) override;

  private:
    void Written(const QString& name);
};
