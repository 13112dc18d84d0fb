#include "platform/SettingsStore.h"

#include <QSettings>

#include <memory>

namespace {

class QSettingsStore final : public SettingsStore {
  public:
    SettingType TypeOf(const QString& name) const override {
        const auto s = Open();
        if (!s->contains(name)) return SettingType::Missing;
        // The INI file marks byte arrays ("@ByteArray(...)"); plain text, lists and other
        // variants are another type.
        return s->value(name).typeId() == QMetaType::QByteArray ? SettingType::Bytes
                                                                : SettingType::Other;
    }

    std::optional<QString> ReadString(const QString& name) const override {
        const auto s = Open();
        if (!s->contains(name)) return std::nullopt;
        return s->value(name).toString();
    }

    std::optional<QByteArray> ReadBytes(const QString& name) const override {
        const auto s = Open();
        if (!s->contains(name)) return std::nullopt;
        return s->value(name).toByteArray();
    }

    void WriteString(const QString& name, const QString& value) override { Write(name, value); }

    void WriteBytes(const QString& name, const QByteArray& value) override { Write(name, value); }

  private:
    static std::unique_ptr<QSettings> Open() {
        // The native format is an INI file named TVR.conf on Linux (the INI format would
        // name it TVR.ini), and the key SOFTWARE\Quendra\TVR of the registry on Windows.
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Quendra",
                                           "TVR");
    }

    static void Write(const QString& name, const QVariant& value) {
        const auto s = Open();
        s->setValue(name, value);
        s->sync();
        if (s->status() != QSettings::NoError || !s->isWritable()) {
            throw SettingsError("Cannot write the setting \"" + name.toStdString() + "\" to " +
                                s->fileName().toStdString());
        }
    }
};

}  // namespace

std::unique_ptr<SettingsStore> MakeUserSettingsStore() {
    return std::make_unique<QSettingsStore>();
}
