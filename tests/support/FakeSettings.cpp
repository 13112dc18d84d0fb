#include "FakeSettings.h"

SettingType FakeSettings::TypeOf(const QString& name) const {
    if (bytes.contains(name)) return SettingType::Bytes;
    return values.contains(name) ? SettingType::Other : SettingType::Missing;
}

std::optional<QString> FakeSettings::ReadString(const QString& name) const {
    if (!values.contains(name)) return std::nullopt;
    return values.value(name);
}

std::optional<QByteArray> FakeSettings::ReadBytes(const QString& name) const {
    if (!bytes.contains(name)) return std::nullopt;
    return bytes.value(name);
}

void FakeSettings::WriteString(const QString& name, const QString& value) {
    Written(name);
    bytes.remove(name);
    values[name] = value;
}

void FakeSettings::WriteBytes(const QString& name, const QByteArray& value) {
    Written(name);
    values.remove(name);
    bytes[name] = value;
}

void FakeSettings::Written(const QString& name) {
    ++writes;
    if (failWrites) throw SettingsError("Cannot write the setting \"" + name.toStdString() + "\"");
}
