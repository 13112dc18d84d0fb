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

// True when the file's last line has no line end, so that an appended line would be glued
// to a line someone saved without one. CRs after the last LF are no line (reading drops
// them), so they do not count. False for a missing or empty file.
bool EndsInsideLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    bool inside = false;
    off_t end = ::lseek(fd, 0, SEEK_END);
    char block[4096];
    for (bool decided = false; end > 0 && !decided;) {
        const off_t start = std::max<off_t>(0, end - static_cast<off_t>(sizeof block));
        const ssize_t got = ::pread(fd, block, static_cast<std::size_t>(end - start), start);
        if (got != end - start) break;
        for (ssize_t i = got - 1; i >= 0 && !decided; --i) {
            if (block[i] == '\r') continue;
            inside = block[i] != '\n';
            decided = true;
        }
        end = start;
    }
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

QCollatorSortKey SearchHistory::KeyOf(const QString& text) const {
    // Folding first makes the collation ignore letter case with any collation back end.
    return collator_.sortKey(text.toCaseFolded());
}

int SearchHistory::Compare(const QString& a, const QString& b) const {
    return KeyOf(a).compare(KeyOf(b));
}

std::vector<QCollatorSortKey>::const_iterator SearchHistory::FirstNotBefore(
    const QCollatorSortKey& key) const {
    // The list is ordered by these keys and searched by them alone: the collator's direct
    // comparison can disagree with its keys (ignorable characters, the C locale's code
    // units against code points), and a search in another order misses what is there.
    return std::lower_bound(
        keys_.begin(), keys_.end(), key,
        [](const QCollatorSortKey& a, const QCollatorSortKey& b) { return a.compare(b) < 0; });
}

bool SearchHistory::Contains(const QString& text) const {
    const QCollatorSortKey key = KeyOf(text);
    const auto it = FirstNotBefore(key);
    return it != keys_.end() && it->compare(key) == 0;
}

void SearchHistory::Load() {
    entries_.clear();
    keys_.clear();
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
        keys.push_back(KeyOf(entry));
    std::vector<std::size_t> order(loaded.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) {
        return keys[a].compare(keys[b]) < 0;
    });
    entries_.reserve(loaded.size());
    keys_.reserve(loaded.size());
    for (std::size_t i : order) {
        entries_.push_back(std::move(loaded[i]));
        keys_.push_back(std::move(keys[i]));
    }
}

std::optional<std::size_t> SearchHistory::Record(const QString& query) {
    QCollatorSortKey key = KeyOf(query);
    const auto at = FirstNotBefore(key);
    if (at != keys_.end() && at->compare(key) == 0) return std::nullopt;
    const auto index = at - keys_.begin();
    keys_.insert(at, std::move(key));
    entries_.insert(entries_.begin() + index, query);

    const QString date = locale_.toString(clock_.Now().date(), QLocale::ShortFormat);
    std::string line = HistoryLine(date, query, codePage_);
    if (EndsInsideLine(path_)) line.insert(0, textfile::kLineEnd);
    textfile::Append(path_, line);
    return static_cast<std::size_t>(index);
}

std::string SearchHistory::HistoryLine(const QString& date, const QString& query, int codePage) {
    // One line, one encoding: the page, or UTF-8 where the page lacks a character, which
    // the reading tells apart line by line.
    std::string line = codepage::ToFileText(date + QLatin1Char(';') + query, codePage);
    // These are single bytes in both encodings and never part of a UTF-8 sequence.
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n' || c == '\x1A'; },
        ' ');
    line.append(textfile::kLineEnd);
    return line;
}
