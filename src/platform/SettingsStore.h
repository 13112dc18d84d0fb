#pragma once

// The per-user settings the program keeps across runs ("adapter", "chkdate").

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

// Raised when a value cannot be written; the text says which value and why.
class SettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The kind of a stored value, for values whose type matters ("chkdate" must be bytes).
enum class SettingType { Missing, Bytes, Other };

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // What is stored under `name`. A store that keeps everything as bytes says Bytes.
    virtual SettingType TypeOf(const QString& name) const {
        return ReadBytes(name) ? SettingType::Bytes : SettingType::Missing;
    }
    // A missing value reads as nothing.
    virtual std::optional<QString> ReadString(const QString& name) const = 0;
    virtual std::optional<QByteArray> ReadBytes(const QString& name) const = 0;
    // Write and flush to disk; raise SettingsError when that fails.
    virtual void WriteString(const QString& name, const QString& value) = 0;
    virtual void WriteBytes(const QString& name, const QByteArray& value) = 0;
};

// The settings file $XDG_CONFIG_HOME/Quendra/TVR.conf (an INI file).
std::unique_ptr<SettingsStore> MakeUserSettingsStore();
