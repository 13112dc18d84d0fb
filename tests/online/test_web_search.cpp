// Searching: the address handed to the browser, and what a search records.

#include "online/WebSearch.h"

#include "test_web_search_support.h"

#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>

using namespace search_test;
using Strings = std::vector<std::string>;

namespace {

constexpr char kBase[] = "http://search.example.com";

std::string Address(const std::string& encoded) {
    return std::string(kBase) + "/rsearch?text=" + encoded + "&from=prgTVR";
}

QLocale Western() {
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

struct Box {
    explicit Box(const QLocale& locale = Russian(), int page = kCyrillicPage)
        : search(Folder(dir), kBase, opener, clock, locale, page) {}

    QTemporaryDir dir;
    FakeClock clock;
    RecordingOpener opener;
    WebSearch search;

    std::string File() const { return ReadBytes(HistoryPath(dir)); }
    std::vector<QString> Entries() const { return search.Entries(); }
};

}  // namespace

TEST(WebSearchAddress, EveryByteIsPercentEncodedInUpperCaseHex) {
    using websearch::PercentEncodeEveryByte;
    EXPECT_EQ(PercentEncodeEveryByte("abc"), "%61%62%63");
    EXPECT_EQ(PercentEncodeEveryByte("A 1"), "%41%20%31");
    EXPECT_EQ(PercentEncodeEveryByte(";%&+"), "%3B%25%26%2B");
    EXPECT_EQ(PercentEncodeEveryByte(std::string("\x00\x0A\x7F\xE0\xFF", 5)), "%00%0A%7F%E0%FF");
    EXPECT_EQ(PercentEncodeEveryByte(""), "");
}

TEST(WebSearchAddress, QueryTextGoesOutInTheAnsiPage) {
    Box box;
    box.search.Search(QString::fromUtf8("а"));  // Cyrillic small a
    box.search.Search(QStringLiteral("abc"));
    box.search.Search(QStringLiteral("two words"));
    box.search.Search(QString::fromUtf8("Погода; 100%"));
    ASSERT_EQ(box.opener.opened.size(), 4u);
    EXPECT_EQ(box.opener.opened[0], Address("%E0"));
    EXPECT_EQ(box.opener.opened[1], Address("%61%62%63"));
    EXPECT_EQ(box.opener.opened[2], Address("%74%77%6F%20%77%6F%72%64%73"));
    EXPECT_EQ(box.opener.opened[3], Address("%CF%EE%E3%EE%E4%E0%3B%20%31%30%30%25"));
}

TEST(WebSearchAddress, NothingTypedCanChangeTheAddressBeyondTheQuery) {
    const std::string hostile =
        "x&from=evil#frag?y=/../z%41+\n\r\t\x01\x1A\x7F"
        "\" '<>\\ http://other.example.org/";
    Box box;
    const auto outcome = box.search.Search(QString::fromLatin1(hostile));
    ASSERT_EQ(box.opener.opened.size(), 1u);
    const std::string& address = box.opener.opened[0];
    ASSERT_TRUE(outcome.openedAddress);
    EXPECT_EQ(*outcome.openedAddress, address);

    static const std::regex shape(
        R"(http://search\.example\.com/rsearch\?text=(%[0-9A-F]{2})*&from=prgTVR)");
    EXPECT_TRUE(std::regex_match(address, shape)) << address;

    // The way a browser reads it: same host and path, exactly two keys, the query intact.
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    ASSERT_TRUE(url.isValid()) << url.errorString().toStdString();
    EXPECT_EQ(url.host(), "search.example.com");
    EXPECT_EQ(url.path(), "/rsearch");
    EXPECT_FALSE(url.hasFragment());
    const QUrlQuery query(url);
    const auto items = query.queryItems(QUrl::FullyDecoded);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].first, "text");
    EXPECT_EQ(items[0].second.toLatin1().toStdString(), hostile);
    EXPECT_EQ(items[1], qMakePair(QStringLiteral("from"), QStringLiteral("prgTVR")));
}

TEST(WebSearchRecording, NewQueryJoinsTheListAndTheFileWithTheShortDate) {
    Box box;
    box.search.LoadHistory();
    const auto outcome = box.search.Search(QString::fromUtf8("Погода"));
    EXPECT_EQ(outcome.insertedAt, std::size_t{0});
    EXPECT_EQ(Utf8(box.Entries()), (Strings{"Погода"}));
    EXPECT_EQ(box.File(), "07.12.2026;\xCF\xEE\xE3\xEE\xE4\xE0\r\n");
    ASSERT_EQ(box.opener.opened.size(), 1u);

    // The same query at once opens again without a second record.
    const auto again = box.search.Search(QString::fromUtf8("Погода"));
    EXPECT_FALSE(again.insertedAt);
    EXPECT_EQ(box.opener.opened.size(), 2u);
    EXPECT_EQ(box.File(), "07.12.2026;\xCF\xEE\xE3\xEE\xE4\xE0\r\n");
}

TEST(WebSearchRecording, TextThePageLacksGoesOutInUtf8AndComesBack) {
    Box box(Western(), 1252);
    // Lines an earlier run wrote in the page, letters beyond ASCII included.
    WriteBytes(HistoryPath(box.dir), "12/6/26;caf\xE9\r\n12/6/26;na\xEFve\r\n");
    box.search.LoadHistory();
    box.search.Search(QString::fromUtf8("Погода"));
    box.search.Search(QString::fromUtf8("Ã©t"));  // its page bytes would read as UTF-8 "ét"
    box.search.Search(QString::fromUtf8("crème"));
    EXPECT_EQ(box.File(),
              "12/6/26;caf\xE9\r\n12/6/26;na\xEFve\r\n"
              "12/7/26;\xD0\x9F\xD0\xBE\xD0\xB3\xD0\xBE\xD0\xB4\xD0\xB0\r\n"
              "12/7/26;\xC3\x83\xC2\xA9t\r\n"
              "12/7/26;cr\xE8me\r\n");
    EXPECT_EQ(box.opener.opened, (Strings{Address("%D0%9F%D0%BE%D0%B3%D0%BE%D0%B4%D0%B0"),
                                          Address("%C3%83%C2%A9%74"), Address("%63%72%E8%6D%65")}));

    // The next start reads every line right, whichever way it was written.
    WebSearch again(Folder(box.dir), kBase, box.opener, box.clock, Western(), 1252);
    again.LoadHistory();
    EXPECT_EQ(Utf8(again.Entries()), (Strings{"Ã©t", "café", "crème", "naïve", "Погода"}));
}

TEST(WebSearchRecording, DateFollowsTheLocaleAndTheDayOfRecording) {
    QTemporaryDir dir;
    FakeClock clock;
    RecordingOpener opener;
    WebSearch search(Folder(dir), kBase, opener, clock,
                     QLocale(QLocale::English, QLocale::UnitedStates), 1252);
    search.Search(QStringLiteral("one"));
    clock.now = QDateTime(QDate(2027, 1, 2), QTime(0, 0, 1));
    search.Search(QStringLiteral("two"));
    EXPECT_EQ(ReadBytes(HistoryPath(dir)), "12/7/26;one\r\n1/2/27;two\r\n");
}

TEST(WebSearchRecording, PresentInAnyLetterCaseIsNotRecordedButStillOpensAsTyped) {
    Box box;
    box.search.Search(QStringLiteral("weather"));
    box.search.Search(QString::fromUtf8("пОГОДА"));
    const std::string before = box.File();

    const auto latin = box.search.Search(QStringLiteral("Weather"));
    const auto cyrillic = box.search.Search(QString::fromUtf8("Погода"));
    EXPECT_FALSE(latin.insertedAt);
    EXPECT_FALSE(cyrillic.insertedAt);
    EXPECT_EQ(box.File(), before);
    EXPECT_EQ(Utf8(box.Entries()), (Strings{"пОГОДА", "weather"}));
    ASSERT_EQ(box.opener.opened.size(), 4u);
    EXPECT_EQ(box.opener.opened[2], Address("%57%65%61%74%68%65%72"));
    EXPECT_EQ(box.opener.opened[3], Address("%CF%EE%E3%EE%E4%E0"));

    // Texts that differ in more than case are new.
    EXPECT_TRUE(box.search.Search(QStringLiteral("weathers")).insertedAt);
    EXPECT_TRUE(box.search.Search(QString::fromUtf8("погоды")).insertedAt);
}

TEST(WebSearchRecording, ListStaysInCaseBlindAlphabeticalOrder) {
    Box box;
    EXPECT_EQ(box.search.Search(QStringLiteral("banana")).insertedAt, std::size_t{0});
    EXPECT_EQ(box.search.Search(QStringLiteral("Cherry")).insertedAt, std::size_t{1});
    EXPECT_EQ(box.search.Search(QStringLiteral("apricot")).insertedAt, std::size_t{0});
    EXPECT_EQ(box.search.Search(QStringLiteral("Apple")).insertedAt, std::size_t{0});
    // The Russian collation puts its own alphabet before the Latin one.
    EXPECT_EQ(box.search.Search(QString::fromUtf8("Яблоко")).insertedAt, std::size_t{0});
    EXPECT_EQ(box.search.Search(QString::fromUtf8("арбуз")).insertedAt, std::size_t{0});
    EXPECT_EQ(box.search.Search(QString::fromUtf8("Банан")).insertedAt, std::size_t{1});
    EXPECT_EQ(box.search.Search(QString::fromUtf8("ёж")).insertedAt, std::size_t{2});
    EXPECT_EQ(Utf8(box.Entries()),
              (Strings{"арбуз", "Банан", "ёж", "Яблоко", "Apple", "apricot", "banana", "Cherry"}));
    // The file keeps the order of recording.
    EXPECT_EQ(box.File().substr(0, 19), "07.12.2026;banana\r\n");
}

TEST(WebSearchRecording, EmptyQueryIsRecordedOnceAndOpensNothing) {
    Box box;
    box.search.Search(QStringLiteral("x"));
    const auto first = box.search.Search(QString());
    EXPECT_EQ(first.insertedAt, std::size_t{0});
    EXPECT_FALSE(first.openedAddress);
    EXPECT_EQ(box.File(), "07.12.2026;x\r\n07.12.2026;\r\n");
    EXPECT_EQ(Utf8(box.Entries()), (Strings{"", "x"}));

    const auto second = box.search.Search(QString());
    EXPECT_FALSE(second.insertedAt);
    EXPECT_FALSE(second.openedAddress);
    EXPECT_EQ(box.File(), "07.12.2026;x\r\n07.12.2026;\r\n");
    EXPECT_EQ(box.opener.opened.size(), 1u);  // only "x"
}

TEST(WebSearchRecording, UnwritableHistoryStillListsAndOpens) {
    QTemporaryDir dir;
    // A plain file where the folder should be: no file can be made in it, not even by root.
    const std::string notAFolder = Folder(dir) + "/plain";
    WriteBytes(notAFolder, "x");
    FakeClock clock;
    RecordingOpener opener;
    WebSearch search(notAFolder, kBase, opener, clock, Russian(), kCyrillicPage);
    search.LoadHistory();
    EXPECT_TRUE(search.Entries().empty());

    const auto outcome = search.Search(QStringLiteral("abc"));
    EXPECT_EQ(outcome.insertedAt, std::size_t{0});
    EXPECT_EQ(Utf8(search.Entries()), (Strings{"abc"}));
    EXPECT_EQ(opener.opened, std::vector<std::string>{Address("%61%62%63")});
    EXPECT_EQ(ReadBytes(notAFolder), "x");

    // A folder of that name that is missing altogether behaves the same.
    WebSearch missing(Folder(dir) + "/gone/deeper", kBase, opener, clock, Russian(), kCyrillicPage);
    missing.LoadHistory();
    EXPECT_TRUE(missing.Search(QStringLiteral("abc")).insertedAt);
    EXPECT_EQ(opener.opened.size(), 2u);
    struct stat st {};
    EXPECT_NE(::stat((Folder(dir) + "/gone").c_str(), &st), 0);
}
