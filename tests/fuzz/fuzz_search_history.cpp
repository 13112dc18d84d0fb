// search.csv as it may come, and one query searched for. The list stays in the order of the
// case-blind collation; a query is found exactly when the list holds it, is then not recorded
// again, and otherwise joins the list where the collation puts it; reading the file again gives
// the same list, the appended line coming back as the query (for a file without Ctrl+Z, which
// ends it, and a query that a line of the file can hold as it is).

#include "online/SearchHistory.h"
#include "platform/Clock.h"
#include "util/CodePage.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <array>

namespace {

class FixedClock final : public Clock {
  public:
    QDateTime Now() const override { return {QDate(2026, 12, 7), QTime(12, 0)}; }
    std::chrono::steady_clock::time_point Monotonic() const override { return {}; }
};

const std::array<QLocale, 3> kLocales{QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::Russian, QLocale::Russia),
                                      QLocale(QLocale::German, QLocale::Germany)};

bool Sorted(const SearchHistory& history) {
    const std::vector<QString>& entries = history.Entries();
    return std::is_sorted(entries.begin(), entries.end(), [&](const QString& a, const QString& b) {
        return history.Compare(a, b) < 0;
    });
}

std::vector<QString> AsSet(std::vector<QString> entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A query that a line of the file gives back unchanged.
bool Storable(const QString& query, int page) {
    return !query.startsWith(QLatin1Char(';')) && !query.contains(QLatin1Char('\r')) &&
           !query.contains(QLatin1Char('\n')) && !query.contains(QChar(26)) &&
           query.size() <= SearchHistory::kMaxEntryLength &&
           codepage::FromFileText(codepage::ToFileText(query, page), page) == query;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const QLocale& locale = kLocales[data[0] % kLocales.size()];
    const int page = data[0] / kLocales.size() % 2 == 0 ? 1251 : 1252;
    std::string_view file = fuzz::Bytes(data + 1, size - 1);
    const std::string_view typed = fuzz::TakeUntil(file, '\n');
    const QString query = QString::fromUtf8(typed.data(), static_cast<qsizetype>(typed.size()));
    fuzz::WriteFile(fuzz::ScratchFolder() + "/search.csv", file);

    static const FixedClock clock;
    SearchHistory history(fuzz::ScratchFolder(), clock, locale, page);
    history.Load();
    FUZZ_CHECK(Sorted(history));
    const bool held = std::any_of(history.Entries().begin(), history.Entries().end(),
                                  [&](const QString& e) { return history.Compare(e, query) == 0; });
    FUZZ_CHECK(history.Contains(query) == held);

    const std::size_t count = history.Entries().size();
    const auto at = history.Record(query);
    FUZZ_CHECK(at.has_value() != held);
    FUZZ_CHECK(history.Entries().size() == count + (held ? 0 : 1));
    if (at) FUZZ_CHECK(history.Entries().at(*at) == query);
    FUZZ_CHECK(Sorted(history));
    FUZZ_CHECK(history.Contains(query) && !history.Record(query));

    if (file.find('\x1A') != std::string_view::npos || (at && !Storable(query, page))) return 0;
    SearchHistory again(fuzz::ScratchFolder(), clock, locale, page);
    again.Load();
    FUZZ_CHECK(AsSet(again.Entries()) == AsSet(history.Entries()));
    return 0;
}
