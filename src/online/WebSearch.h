#pragma once

// The web-search box: a query is recorded in the history when it is new, then its results
// page is opened in the default browser. The address carries the query in the ANSI code
// page (UTF-8 when the page lacks one of its characters) with every byte percent-encoded, so
// nothing the user types can reach the address other than as query text.

#include "online/SearchHistory.h"
#include "util/CodePage.h"

#include <QLocale>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Clock;
class UrlOpener;

namespace websearch {

inline constexpr std::string_view kSearchPath = "/rsearch?text=";
inline constexpr std::string_view kFromKey = "&from=prgTVR";

// Every byte as "%" and two upper-case hexadecimal digits; none left plain, no "+".
std::string PercentEncodeEveryByte(std::string_view bytes);

// base + "/rsearch?text=" + encoded query bytes + "&from=prgTVR".
std::string SearchAddress(std::string_view baseAddress, std::string_view queryBytes);

}  // namespace websearch

class WebSearch {
  public:
    // What one search did: where the query joined the list (nothing when it was there
    // already), and the address handed to the browser (nothing for an empty query).
    struct Outcome {
        std::optional<std::size_t> insertedAt;
        std::optional<std::string> openedAddress;
    };

    // programFolder: the executable's folder as a file-system path; baseAddress: scheme and
    // host of the search service. The opener and the clock must outlive this object.
    WebSearch(const std::string& programFolder, std::string baseAddress, UrlOpener& opener,
              const Clock& clock, const QLocale& locale = QLocale::system(),
              int codePage = codepage::AnsiCodePage());

    // Start-up: the list emptied and filled again from the history file.
    void LoadHistory() { history_.Load(); }

    // The list in display order.
    const std::vector<QString>& Entries() const { return history_.Entries(); }

    // Records the query when it is new, then opens its results page unless it is empty.
    Outcome Search(const QString& query);

    const SearchHistory& History() const { return history_; }

  private:
    SearchHistory history_;
    std::string baseAddress_;
    UrlOpener& opener_;
    int codePage_;
};
