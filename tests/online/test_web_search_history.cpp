// The history file "search.csv": what a start makes of it, and what recording adds to it.

#include "online/SearchHistory.h"

#include "test_web_search_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <random>

using namespace search_test;
using Strings = std::vector<std::string>;

namespace {

struct History {
    QTemporaryDir dir;
    FakeClock clock;
    SearchHistory history{Folder(dir), clock, Russian(), kCyrillicPage};

    std::string Path() const { return HistoryPath(dir); }

    // A fresh start over the same folder.
    std::vector<QString> Reload() const {
        SearchHistory again(Folder(dir), clock, Russian(), kCyrillicPage);
        again.Load();
        return again.Entries();
    }

    std::vector<QString> LoadFrom(const std::string& bytes) {
        WriteBytes(Path(), bytes);
        history.Load();
        return history.Entries();
    }
};

}  // namespace

TEST(SearchHistoryLoad, MissingFileIsCreatedEmpty) {
    History h;
    h.history.Load();
    EXPECT_TRUE(h.history.Entries().empty());
    struct stat st {};
    ASSERT_EQ(::stat(h.Path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 0);
}

TEST(SearchHistoryLoad, EachLineGivesTheTextAfterItsFirstSemicolon) {
    History h;
    EXPECT_EQ(Utf8(h.LoadFrom("07.12.2026;query\r\n"
                              "07.12.2026;a;b\r\n"
                              "07.12.2026;;;lead\r\n"
                              "07.12.2026;;;\r\n"
                              "no separator at all\r\n"
                              "12:00:00;x;;;y\n")),
              (Strings{"", "a;b", "lead", "no separator at all", "query", "x;;;y"}));
}

TEST(SearchHistoryLoad, RepeatedLinesComeBackRepeated) {
    History h;
    const auto entries = h.LoadFrom("d;same\r\nd;Same\r\nd;same\r\nd;other\r\n");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0], "other");
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(entries[i].toLower(), "same");
}

TEST(SearchHistoryLoad, LineEndsCarriageReturnsAndCtrlZ) {
    History h;
    EXPECT_EQ(Utf8(h.LoadFrom("d;one\nd;t\rwo\r\nd;three\r\r\nd;last without end")),
              (Strings{"last without end", "one", "three", "two"}));
    EXPECT_EQ(Utf8(h.LoadFrom("d;kept\r\nd;cut\x1A"
                              "here\r\nd;never seen\r\n")),
              (Strings{"cut", "kept"}));
    EXPECT_EQ(Utf8(h.LoadFrom("\r\n\r\n")), (Strings{"", ""}));
}

TEST(SearchHistoryLoad, EntriesReadInTheAnsiPageOrAsUtf8LineByLine) {
    History h;
    // A line from the program itself (code page 1251) beside one saved by a UTF-8 editor.
    EXPECT_EQ(
        Utf8(h.LoadFrom("d;\xCF\xEE\xE3\xEE\xE4\xE0\r\nd;\xD0\xB7\xD0\xB8\xD0\xBC\xD0\xB0\r\n")),
        (Strings{"зима", "Погода"}));
}

TEST(SearchHistoryLoad, LoadStartsFromAnEmptyList) {
    History h;
    h.history.Record(QStringLiteral("only this run"));
    WriteBytes(h.Path(), "d;from file\r\n");
    h.history.Load();
    h.history.Load();
    EXPECT_EQ(Utf8(h.history.Entries()), (Strings{"from file"}));
}

TEST(SearchHistoryLoad, UnreadableFileLeavesTheListEmpty) {
    History h;
    h.history.Record(QStringLiteral("before"));
    ::unlink(h.Path().c_str());
    ASSERT_EQ(::mkdir(h.Path().c_str(), 0700), 0);  // "search.csv" is a folder
    h.history.Load();
    EXPECT_TRUE(h.history.Entries().empty());
    EXPECT_TRUE(h.history.Record(QStringLiteral("still listed")));
    EXPECT_EQ(Utf8(h.history.Entries()), (Strings{"still listed"}));
}

TEST(SearchHistoryRoundTrip, RecordedQueriesComeBackAtTheNextStart) {
    History h;
    h.history.Load();
    for (const char* q : {"a;b", ";;lead", ";;;", "plain", "Погода", "  spaced  "})
        h.history.Record(QString::fromUtf8(q));
    EXPECT_EQ(ReadBytes(h.Path()),
              "07.12.2026;a;b\r\n07.12.2026;;;lead\r\n07.12.2026;;;;\r\n07.12.2026;plain\r\n"
              "07.12.2026;\xCF\xEE\xE3\xEE\xE4\xE0\r\n07.12.2026;  spaced  \r\n");
    EXPECT_EQ(Utf8(h.Reload()), (Strings{"", "  spaced  ", "Погода", "a;b", "lead", "plain"}));
}

TEST(SearchHistoryRoundTrip, LineBreaksAndCtrlZInAQueryCannotBreakTheFile) {
    History h;
    h.history.Load();
    h.history.Record(QStringLiteral("first\nfake;line"));
    h.history.Record(QStringLiteral("stop\x1Ahere"));
    h.history.Record(QStringLiteral("cr\rlf\r\n"));
    h.history.Record(QStringLiteral("after"));
    // In this run the list holds the queries exactly as typed.
    EXPECT_TRUE(h.history.Contains(QStringLiteral("first\nfake;line")));
    EXPECT_EQ(Utf8(h.Reload()), (Strings{"after", "cr lf  ", "first fake;line", "stop here"}));
}

TEST(SearchHistoryRoundTrip, AppendsAfterALastLineSavedWithoutLineEnd) {
    // A line end is added only where a line is unfinished; CRs after the last LF are no
    // line, so closing them would bring back an empty entry that the list never held.
    const struct {
        const char* file;
        const char* written;
        Strings entries;
    } cases[] = {
        {"d;typed by hand", "d;typed by hand\r\n07.12.2026;new\r\n", {"new", "typed by hand"}},
        {"d;a\r\n\r\r", "d;a\r\n\r\r07.12.2026;new\r\n", {"a", "new"}},
        {"\r", "\r07.12.2026;new\r\n", {"new"}},
    };
    for (const auto& c : cases) {
        History h;
        WriteBytes(h.Path(), c.file);
        h.history.Load();
        h.history.Record(QStringLiteral("new"));
        EXPECT_EQ(ReadBytes(h.Path()), c.written);
        EXPECT_EQ(Utf8(h.Reload()), c.entries) << c.file;
    }
}

TEST(SearchHistoryRoundTrip, LoadedEntriesCountAsPresentInAnyCase) {
    History h;
    h.LoadFrom("d;Weather\r\nd;\xCF\xEE\xE3\xEE\xE4\xE0\r\n");
    const std::string before = ReadBytes(h.Path());
    EXPECT_FALSE(h.history.Record(QStringLiteral("WEATHER")));
    EXPECT_FALSE(h.history.Record(QString::fromUtf8("погода")));
    EXPECT_EQ(ReadBytes(h.Path()), before);
}

TEST(SearchHistoryBadFiles, GarbageAndNulBytesLoadWithoutHarm) {
    History h;
    std::mt19937 random(20261207);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random() & 0xFF);
        if (c == '\x1A') c = '\0';  // keep the whole megabyte in play
    }
    const auto entries = h.LoadFrom(garbage);
    EXPECT_GT(entries.size(), 1000u);
    // The list still works on top of it.
    ASSERT_TRUE(h.history.Record(QStringLiteral("after garbage")));
    EXPECT_TRUE(h.history.Contains(QStringLiteral("AFTER GARBAGE")));

    EXPECT_EQ(h.LoadFrom(std::string("d;a\0b\r\n\0\r\n", 10)),
              (std::vector<QString>{QString(QChar(0)), QString::fromLatin1("a\0b", 3)}));
}

TEST(SearchHistoryBadFiles, SpecialFileIsNeitherReadNorWritten) {
    // A pipe named search.csv would keep the window from ever starting, or a search from
    // ever ending, while nobody is at its other end.
    History h;
    ASSERT_EQ(::mkfifo(h.Path().c_str(), 0600), 0);
    const auto finishesAlone = [&](auto work) {
        auto done = std::async(std::launch::async, work);
        const bool alone = done.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
        if (!alone) {  // free the stuck side: a partner comes and goes
            const auto oldPipe = ::signal(SIGPIPE, SIG_IGN);
            ::close(::open(h.Path().c_str(), O_RDWR | O_NONBLOCK));
            done.wait();
            ::signal(SIGPIPE, oldPipe);
        }
        return alone;
    };
    EXPECT_TRUE(finishesAlone([&] { h.history.Load(); }));
    EXPECT_TRUE(h.history.Entries().empty());
    std::optional<std::size_t> at;
    EXPECT_TRUE(finishesAlone([&] { at = h.history.Record(QStringLiteral("listed")); }));
    EXPECT_EQ(at, std::size_t{0});
}

TEST(SearchHistoryBadFiles, VeryLongLinesAndManyLines) {
    History h;
    // Megabytes in one line (no line end either) are left out; the box's longest text stays.
    const std::string longest(SearchHistory::kMaxEntryLength, 'k');
    const std::string huge(8 << 20, 'q');
    const std::string content = "d;before\r\nd;" + longest + "x\r\nd;" + longest + "\r\nd;" + huge;
    auto entries = h.LoadFrom(content);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "before");
    EXPECT_EQ(entries[1].toStdString(), longest);
    EXPECT_TRUE(ReadBytes(h.Path()) == content);  // left in the file as it was

    std::string many;
    for (int i = 0; i < 300000; ++i)
        many += "07.12.2026;q" + std::to_string(299999 - i) + "\r\n";
    entries = h.LoadFrom(many);
    ASSERT_EQ(entries.size(), 300000u);
    EXPECT_EQ(entries.front(), "q0");
    EXPECT_EQ(entries.back(), "q99999");
    EXPECT_FALSE(h.history.Record(QStringLiteral("Q123456")));
}

TEST(SearchHistoryOrder, WhatTheListHoldsIsFoundInEveryLocale) {
    // Texts where the collator's keys and its direct comparison disagree: the list must be
    // searched in the order it was sorted in, or a query already there is recorded again.
    struct Case {
        QLocale locale;
        std::string file;  // UTF-8 lines, read as such in any locale
        std::vector<QString> present;
    };
    const Case cases[] = {
        {QLocale::c(),
         "d;\xEF\xBC\x81\r\nd;\xF0\x9F\x98\x80\r\nd;z\r\n",
         {QString(QChar(0xFF01)), QString::fromUcs4(U"\U0001F600"), "Z"}},
        // Soft hyphen and NUL are ignorable: their keys equal the empty text's.
        {QLocale(QLocale::English, QLocale::UnitedStates),
         "d;\xC2\xAD\r\nd;\r\nd;\xC2\xAD\xC3\xA9t\xC3\xA9\r\n",
         {QString(), QString(QChar(0xAD)), QString(QChar(0)), QString::fromUtf8("ÉTÉ")}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        FakeClock clock;
        WriteBytes(HistoryPath(dir), c.file);
        SearchHistory history(Folder(dir), clock, c.locale, 1252);
        history.Load();
        for (const QString& text : c.present) {
            EXPECT_TRUE(history.Contains(text)) << c.locale.name().toStdString();
            EXPECT_FALSE(history.Record(text)) << c.locale.name().toStdString();
        }
        EXPECT_EQ(ReadBytes(HistoryPath(dir)), c.file);
        const auto& entries = history.Entries();
        for (std::size_t i = 1; i < entries.size(); ++i)
            EXPECT_LE(history.Compare(entries[i - 1], entries[i]), 0);
    }
}
