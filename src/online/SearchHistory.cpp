#include "online/SearchHistory.h"

#include "platform/Clock.h"
#include "util/CodePage.h"
#include "util/TextFile.h"
#include "util/funcQuendra.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

// True when the file's last byte is not LF, so that an appended line would be glued to a
// last line someone saved without a line end. False for a missing or empty file.
bool EndsInsideLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    bool inside = false;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    char last = '\n';
    if (size > 0 && ::pread(fd, &last, 1, size - 1) == 1) inside = last != '\n';
    ::close(fd);
    return inside;
}

}  // namespace

SearchHistory::SearchHistory(const std::string& programFolder, const Clock& clock,
                             const QLocale& locale, int codePage)
    : path_(AddBackslash(programFolder) + std::string(kFileName)),
      clock_(clock),
      locale_(locale),
      codePage_(codePage),
      collator_(locale) {}

int SearchHistory::Compare(const QString& a, const QString& b) const {
    // Folding both sides first makes the collation ignore letter case with any collation
    // back end, and keeps the order and the duplicate test one and the same relation.
    return collator_.compare(a.toCaseFolded(), b.toCaseFolded());
}

bool SearchHistory::Contains(const QString& text) const {
    const auto it = std::lower_bound(
        entries_.begin(), entries_.end(), text,
        [this](const QString& entry, const QString& t) { return Compare(entry, t) < 0; });
    return it != entries_.end() && Compare(*it, text) == 0;
}

void SearchHistory::Load() {
    entries_.clear();
    if (!FileExistsAny(path_)) {
        textfile::Append(path_, {});  // An empty file, made without truncating a racing one.
        return;
    }
    auto lines = textfile::ReadLines(path_);
    if (!lines) return;

    std::vector<QString> loaded;
    loaded.reserve(lines->size());
    for (std::string& line : *lines) {
        QString entry = codepage::FromFileText(TextAfter(std::move(line), ";"), codePage_);
        if (entry.size() <= kMaxEntryLength) loaded.push_back(std::move(entry));
    }
    lines.reset();

    // Sorting once at the end gives the same list as sorting after every line (the order of
    // equal entries is free) and keeps a long history quick: each text is collated once
    // into a key instead of at every comparison.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(loaded.size());
    for (const QString& entry : loaded)
        keys.push_back(collator_.sortKey(entry.toCaseFolded()));
    std::vector<std::size_t> order(loaded.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) {
        return keys[a].compare(keys[b]) < 0;
    });
    entries_.reserve(loaded.size());
    for (std::size_t i : order)
        entries_.push_back(std::move(loaded[i]));
}

std::optional<std::size_t> SearchHistory::Record(const QString& query) {
    if (Contains(query)) return std::nullopt;
    const auto it = std::upper_bound(
        entries_.begin(), entries_.end(), query,
        [this](const QString& q, const QString& entry) { return Compare(q, entry) < 0; });
    const auto index = static_cast<std::size_t>(it - entries_.begin());
    entries_.insert(it, query);

    const QString date = locale_.toString(clock_.Now().date(), QLocale::ShortFormat);
    std::string line =
        HistoryLine(codepage::ToAnsi(date, codePage_), codepage::ToAnsi(query, codePage_));
    if (EndsInsideLine(path_)) line.insert(0, textfile::kLineEnd);
    textfile::Append(path_, line);
    return index;
}

std::string SearchHistory::HistoryLine(std::string_view date, std::string_view query) {
    std::string line;
    line.reserve(date.size() + query.size() + 3);
    line.append(date);
    line.push_back(';');
    for (char c : query)
        line.push_back(c == '\r' || c == '\n' || c == '\x1A' ? ' ' : c);
    line.append(textfile::kLineEnd);
    return line;
}
