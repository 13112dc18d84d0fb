#include "FakeSettings.h"

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
    values[name] = value;
}

void FakeSettings::WriteBytes(const QString& name, const QByteArray& value) {
    Written(name);
    bytes[name] = value;
}

void FakeSettings::Written(const QString& name) {
    ++writes;
    if (failWrites) throw SettingsError("Cannot write the setting \"" + name.toStdString() + "\"");
}
