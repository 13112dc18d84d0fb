#include "traffic/ConnectionLog.h"

#include "util/CodePage.h"
#include "util/TextFile.h"
#include "util/funcQuendra.h"

#include <algorithm>

namespace {

std::string TwoDigits(int value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

std::string FourDigits(int value) {
    std::string text = std::to_string(value);
    return text.size() < 4 ? std::string(4 - text.size(), '0') + text : text;
}

}  // namespace

std::string ConnectionLogPath(const std::string& programFolder) {
    return AddBackslash(programFolder) + "inet.stat";
}

std::string SeparatorIn(const QString& format, std::string_view fallback) {
    // Letters are fields, quotes enclose literal words: the separator is the first run of
    // anything else.
    qsizetype i = 0;
    while (i < format.size() && (format[i].isLetter() || format[i] == u'\''))
        ++i;
    qsizetype end = i;
    while (end < format.size() && !format[end].isLetter() && format[end] != u'\'')
        ++end;
    const QString separator = format.mid(i, end - i).trimmed();
    if (separator.isEmpty()) return std::string(fallback);
    return codepage::ToAnsi(separator);
}

std::string FormatLogLine(std::string_view keyword, const QDateTime& when, const QLocale& locale,
                          std::uint64_t linkSpeed, std::uint64_t totalRead,
                          std::uint64_t totalWrite) {
    const std::string dateSep = SeparatorIn(locale.dateFormat(QLocale::ShortFormat), "/");
    const std::string timeSep = SeparatorIn(locale.timeFormat(QLocale::ShortFormat), ":");
    const QDate date = when.date();
    const QTime time = when.time();

    std::string line(keyword);
    line.resize(std::max<std::size_t>(line.size(), 11), ' ');
    line += " [";
    line += TwoDigits(date.day()) + dateSep + TwoDigits(date.month()) + dateSep +
            FourDigits(date.year());
    line += ' ';
    line += TwoDigits(time.hour()) + timeSep + TwoDigits(time.minute()) + timeSep +
            TwoDigits(time.second());
    line += ']';
    line += " [" + (linkSpeed != 0 ? std::to_string(linkSpeed) : std::string()) + "]";
    line += " [r:" + std::to_string(totalRead) + " w:" + std::to_string(totalWrite) + "]";
    line += textfile::kLineEnd;
    return line;
}

void ConnectionLog::Append(std::string_view keyword, const TrafficState& state) {
    // One reading of the clock for both date and time, so a line written at midnight
    // cannot carry the old day with the new time.
    const std::string line = FormatLogLine(keyword, clock_.Now(), locale_(), state.LinkSpeed,
                                           state.TotalRead, state.TotalWrite);
    // A lost line is not an error of the program: nothing is reported.
    static_cast<void>(textfile::Append(path_, line));
}
