#pragma once

// The connection log inet.stat in the program folder: one line when the adapter is first
// seen online in a run, one line a minute while online. Appended only, never read.

#include "platform/Clock.h"
#include "traffic/TrafficState.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The log's full path in the given program folder.
std::string ConnectionLogPath(const std::string& programFolder);

// The separator a date or time format puts after its first field, spaces trimmed, in the
// ANSI code page; the fallback when the format has none.
std::string SeparatorIn(const QString& format, std::string_view fallback);

// One line of the log with its CR LF, e.g.
// "Connect     [07/12/2026 04:15:09] [100000000] [r:0 w:0]". The date and time separators
// are those of the locale's short formats ("/" and ":" where they have none). Lines are only
// written while online; a link speed of 0 (the link reports none) leaves its brackets empty,
// "[]", so that no line carries a figure that was never measured.
std::string FormatLogLine(std::string_view keyword, const QDateTime& when, const QLocale& locale,
                          std::uint64_t linkSpeed, std::uint64_t totalRead,
                          std::uint64_t totalWrite);

class ConnectionLog {
  public:
    // The regional settings as they are at the moment a line is written.
    using LocaleSource = std::function<QLocale()>;

    ConnectionLog(std::string path, const Clock& clock, LocaleSource locale)
        : path_(std::move(path)), clock_(clock), locale_(std::move(locale)) {}

    // Both never fail: a line that cannot be written is lost, the next one tries again.
    void AppendConnect(const TrafficState& state) { Append("Connect", state); }
    void AppendStatus(const TrafficState& state) { Append("Status", state); }

  private:
    void Append(std::string_view keyword, const TrafficState& state);

    std::string path_;
    const Clock& clock_;
    LocaleSource locale_;
};
