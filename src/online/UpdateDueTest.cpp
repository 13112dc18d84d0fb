#include "online/UpdateDueTest.h"

#include "platform/Clock.h"
#include "platform/SettingsStore.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace updatecheck {

namespace {

constexpr double kMsPerDay = 86400000.0;
// The OLE dates of 1 January 100 and of the day after 31 December 9999.
constexpr double kOleMin = -657434.0;
constexpr double kOleEnd = 2958466.0;

qint64 OleEpochJulianDay() {
    return QDate(1899, 12, 30).toJulianDay();
}

// Milliseconds on a straight wall-clock line from the OLE epoch. Below zero the format
// counts the whole days backwards but the time of day forwards (-1.25 is 29 December 1899,
// 06:00), so the two parts are taken apart first.
std::int64_t OleToLineMs(double ole) {
    const double days = std::trunc(ole);
    const double timeOfDay = std::fabs(ole - days);
    return std::llround(days * kMsPerDay) + std::llround(timeOfDay * kMsPerDay);
}

std::string Named(const char* text) {
    return QString::fromLatin1(text).arg(QLatin1String(kCheckDateName)).toStdString();
}

}  // namespace

double ToOleDate(const QDateTime& local) {
    const double days = static_cast<double>(local.date().toJulianDay() - OleEpochJulianDay());
    const double timeOfDay = local.time().msecsSinceStartOfDay() / kMsPerDay;
    return days >= 0 ? days + timeOfDay : days - timeOfDay;
}

QByteArray EncodeCheckDate(const QDateTime& local) {
    auto bits = std::bit_cast<std::uint64_t>(ToOleDate(local));
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 8; ++i, bits >>= 8)
        bytes[i] = static_cast<char>(bits & 0xFF);
    return bytes;
}

std::optional<double> DecodeCheckDate(const QByteArray& bytes) {
    if (bytes.size() != 8) return std::nullopt;
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | static_cast<std::uint8_t>(bytes[i]);
    const double ole = std::bit_cast<double>(bits);
    if (!std::isfinite(ole) || ole < kOleMin || ole >= kOleEnd) return std::nullopt;
    return ole;
}

CheckDue UpdateCheckDue(SettingsStore& settings, const Clock& clock) {
    const QDateTime now = clock.Now();
    const double nowOle = ToOleDate(now);
    std::optional<double> last;
    switch (settings.TypeOf(QLatin1String(kCheckDateName))) {
        case SettingType::Missing:
            last = ToOleDate(now.addDays(-kFirstRunAgeDays));
            break;
        case SettingType::Other:
            return {.due = false, .error = Named("Invalid data type for '%1'")};
        case SettingType::Bytes: {
            const QByteArray stored =
                settings.ReadBytes(QLatin1String(kCheckDateName)).value_or(QByteArray());
            if (stored.size() > 8)
                return {.due = false, .error = Named("Failed to get data for '%1'")};
            if (stored.size() < 8)
                return {.due = false, .error = Named("Invalid data type for '%1'")};
            // Eight bytes that hold no reachable date would otherwise block every check.
            last = DecodeCheckDate(stored);
            break;
        }
    }
    bool due = !last.has_value();
    if (last) {
        const std::int64_t nowMs = OleToLineMs(nowOle);
        const std::int64_t lastMs = OleToLineMs(*last);
        const std::int64_t wholeDays =
            (nowMs > lastMs ? nowMs - lastMs : lastMs - nowMs) / 86400000;
        due = nowMs < lastMs || wholeDays >= kCheckIntervalDays;
    }
    if (!due) return {};
    try {
        settings.WriteBytes(QLatin1String(kCheckDateName), EncodeCheckDate(now));
    } catch (const SettingsError& e) {
        return {.due = false, .error = e.what()};
    }
    return {.due = true, .error = std::nullopt};
}

}  // namespace updatecheck
