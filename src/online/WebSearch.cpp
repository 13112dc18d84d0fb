#include "online/WebSearch.h"

#include "platform/UrlOpener.h"

#include <utility>

namespace websearch {

std::string PercentEncodeEveryByte(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back('%');
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0x0F]);
    }
    return out;
}

std::string SearchAddress(std::string_view baseAddress, std::string_view queryBytes) {
    std::string address(baseAddress);
    address.append(kSearchPath);
    address.append(PercentEncodeEveryByte(queryBytes));
    address.append(kFromKey);
    return address;
}

}  // namespace websearch

WebSearch::WebSearch(const std::string& programFolder, std::string baseAddress, UrlOpener& opener,
                     const Clock& clock, const QLocale& locale, int codePage)
    : history_(programFolder, clock, locale, codePage),
      baseAddress_(std::move(baseAddress)),
      opener_(opener),
      codePage_(codePage) {}

WebSearch::Outcome WebSearch::Search(const QString& query) {
    Outcome outcome;
    outcome.insertedAt = history_.Record(query);
    // An empty query is remembered once but has no page to open.
    if (query.isEmpty()) return outcome;
    // The same bytes as the history line: the page, or UTF-8 where it lacks a character.
    std::string address =
        websearch::SearchAddress(baseAddress_, codepage::ToFileText(query, codePage_));
    opener_.Open(address);
    outcome.openedAddress = std::move(address);
    return outcome;
}
