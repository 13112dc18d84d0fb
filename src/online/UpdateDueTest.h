#pragma once

// Whether the update check is due: at most one check every 14 days. The date of the last one
// is kept in the settings as "chkdate", 8 bytes holding an OLE Automation date of the local
// date and time (a little-endian double: days since 30 December 1899, the fraction being the
// time of day).

#include <QByteArray>
#include <QDateTime>

#include <optional>
#include <string>

class Clock;
class SettingsStore;

namespace updatecheck {

inline constexpr char kCheckDateName[] = "chkdate";
inline constexpr int kCheckIntervalDays = 14;
inline constexpr int kFirstRunAgeDays = 45;  // with no "chkdate" the last check counts as this old

// The answer of the due test.
struct CheckDue {
    bool due = false;                  // the caller runs the update operation
    std::optional<std::string> error;  // shown to the user; then no check runs
};

// The OLE Automation date of a local date-time, and back. Dates before 30 December 1899 are
// negative with the time of day as a positive fraction, as the format has it.
double ToOleDate(const QDateTime& local);
QByteArray EncodeCheckDate(const QDateTime& local);
// The stored bytes as a date; nothing when they hold no date a clock can reach (not a
// number, infinite, outside the years 100 to 9999).
std::optional<double> DecodeCheckDate(const QByteArray& bytes);

// The due test. Reads "chkdate" (a missing value counts as now minus 45 days); when now is
// earlier than that or 14 whole days or more have passed, or the stored bytes hold no
// usable date, writes "chkdate" := now and answers due. An error for a value that is not 8
// bytes of binary data ("Failed to get data for 'chkdate'" when longer, "Invalid data type
// for 'chkdate'" when shorter or of another type), and when the new date cannot be written.
CheckDue UpdateCheckDue(SettingsStore& settings, const Clock& clock);

}  // namespace updatecheck
