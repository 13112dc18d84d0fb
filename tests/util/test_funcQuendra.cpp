// The helper module's contract: the exact behaviour its callers rely on.

#include "util/funcQuendra.h"

#include "TestFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Bytes(std::initializer_list<unsigned char> b) {
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST(TextHelpers, ReplaceAllRescansFromTheStart) {
    EXPECT_EQ(ReplaceAll("a%3Ab%3A", "%3A", ":"), "a:b:");
    // The second occurrence only forms when the first is removed.
    EXPECT_EQ(ReplaceAll("aabb", "ab", ""), "");
    EXPECT_EQ(ReplaceAll("abb", "ab", "xa"), "xxa");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("", "a", "b"), "");
    EXPECT_EQ(ReplaceAll("http%3A//host/", "%3A", ":"), "http://host/");
    EXPECT_EQ(ReplaceAll("http://host:80/", ":", "%3A"), "http%3A//host%3A80/");
    // More rescanning than one pass would do, for replacements of every length.
    EXPECT_EQ(ReplaceAll("abbbb", "ab", "xa"), "xxxxa");
    EXPECT_EQ(ReplaceAll("aabb", "ab", "ba"), "bbaa");
    EXPECT_EQ(ReplaceAll("aaabbb", "aab", "a"), "ab");
}

// Arguments whose rescanning would never end, or would grow the text out of all proportion
// (each "a" before the "b" doubles the b's). Run in a child with a deadline, so that a
// regression fails instead of hanging the suite.
TEST(TextHelpersDeathTest, ReplaceAllEndsForEveryInput) {
    struct Case {
        std::string text, find, replacement, result;
    };
    const Case cases[] = {
        {"baa", "ba", "aabb", "aabba"},
        {"a%3Ab", "%3A", "%3A%3A", "a%3A%3Ab"},
        {"xyx", "x", "x", "xyx"},
        {std::string(40, 'a') + "b", "ab", "bba", std::string(39, 'a') + "bba"},
    };
    EXPECT_EXIT(
        {
            alarm(10);
            int wrong = 0;
            for (const Case& c : cases) {
                const std::string got = ReplaceAll(c.text, c.find, c.replacement);
                if (got == c.result) continue;
                std::fprintf(stderr, "'%s' '%s' '%s' gave '%s'\n", c.text.c_str(), c.find.c_str(),
                             c.replacement.c_str(), got.c_str());
                ++wrong;
            }
            std::exit(wrong);
        },
        testing::ExitedWithCode(0), "");
}

TEST(TextHelpers, TextAfterStripsARepeatedOneByteToken) {
    EXPECT_EQ(TextAfter("12:00:00;query", ";"), "query");
    EXPECT_EQ(TextAfter("a;;;b", ";"), "b");
    EXPECT_EQ(TextAfter("a;", ";"), "");
    EXPECT_EQ(TextAfter("a;;", ";"), "");
    EXPECT_EQ(TextAfter("abc", ";"), "abc");
    EXPECT_EQ(TextAfter("a;b;c", ";"), "b;c");
    EXPECT_EQ(TextAfter("abc", ""), "abc");
    // Longer tokens are cut once, without stripping what follows.
    EXPECT_EQ(TextAfter("x::::y", "::"), "::y");
}

TEST(TextHelpers, TrimSpacesRemovesOnlyTheSpaceCharacter) {
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_EQ(TrimSpaces(""), "");
    EXPECT_EQ(TrimSpaces("\tx "), "\tx");
    EXPECT_EQ(TrimSpaces(" x\n"), "x\n");
}

TEST(TextHelpers, LowerCaseCyrKnowsLatinAndCyrillicCapitalsOnly) {
    EXPECT_EQ(LowerCaseCyr("/NEW"), "/new");
    EXPECT_EQ(LowerCaseCyr("/New"), "/new");
    // А (0xC0) .. Я (0xDF) become а (0xE0) .. я (0xFF).
    std::string capitals, smalls;
    for (int b = 0xC0; b <= 0xDF; ++b) {
        capitals.push_back(static_cast<char>(b));
        smalls.push_back(static_cast<char>(b + 0x20));
    }
    EXPECT_EQ(LowerCaseCyr(capitals), smalls);
    // Ё (0xA8) and the rest of 0x80-0xBF stay; so do lower-case letters and digits.
    EXPECT_EQ(LowerCaseCyr(Bytes({0xA8, 0x80, 0xBF, 'a', '1', '@', '['})),
              Bytes({0xA8, 0x80, 0xBF, 'a', '1', '@', '['}));
    EXPECT_EQ(LowerCaseCyr(""), "");
}

TEST(TextHelpers, AddBackslashLooksAtTheLastByteOnly) {
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(AddBackslash("/opt/dir"), "/opt/dir/");
    EXPECT_EQ(AddBackslash("/opt/dir/"), "/opt/dir/");
    EXPECT_EQ(AddBackslash("/"), "/");
}

TEST(FileHelpers, ExistenceAndSizeFollowADirectorySearch) {
    const QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    const std::string file = dir + "/report.xyz";
    testfiles::WriteBytes(file, std::string(1234, 'x'));
    EXPECT_TRUE(FileExistsAny(file));
    EXPECT_TRUE(FileExistsAny(dir));  // a directory counts
    EXPECT_FALSE(FileExistsAny(""));
    EXPECT_FALSE(FileExistsAny(dir + "/missing"));
    EXPECT_FALSE(FileExistsAny(dir + "/nodir/file"));

    EXPECT_TRUE(FileExistsAny(dir + "/*.xyz"));
    EXPECT_TRUE(FileExistsAny(dir + "/rep?rt.*"));
    EXPECT_FALSE(FileExistsAny(dir + "/*.abc"));

    EXPECT_EQ(FileSizeOf(file), 1234);
    EXPECT_EQ(FileSizeOf(dir + "/*.xyz"), 1234);
    EXPECT_EQ(FileSizeOf(dir + "/missing"), 0);
    EXPECT_EQ(FileSizeOf(dir), 0);  // a directory yields 0
    EXPECT_EQ(FileSizeOf(""), 0);
}

TEST(FileHelpers, SizeIsTheLowHalfReadAsSigned) {
    const QTemporaryDir dir;
    const std::string file = dir.filePath("sparse").toStdString();
    { std::ofstream(file, std::ios::binary).put('x'); }
    // 4 GiB + 5 bytes, sparse: the low 32 bits are 5. 3 GiB reads as a negative number.
    fs::resize_file(file, (std::uintmax_t{1} << 32) + 5);
    EXPECT_EQ(FileSizeOf(file), 5);
    fs::resize_file(file, std::uintmax_t{3} << 30);
    EXPECT_EQ(FileSizeOf(file), static_cast<std::int32_t>(0xC0000000u));
}

TEST(VersionRecord, ReadsTheProductVersionAfterTheSignature) {
    // Length, signature, structure version, file version (2 words), product version (2
    // words), the rest zero.
    const std::uint32_t record[10] = {
        40u, 0xFEEF04BDu, 0x00010000u, 1u << 16, (2u << 16) | 200u, 1u << 16, (2u << 16) | 200u};
    EXPECT_EQ(VersionFromRecord(record), "1.0.2.200");

    // The product version is what counts, not the file version.
    std::uint32_t other[10];
    std::copy(std::begin(record), std::end(record), other);
    other[5] = (7u << 16) | 8u;
    other[6] = (9u << 16) | 65535u;
    EXPECT_EQ(VersionFromRecord(other), "7.8.9.65535");

    EXPECT_EQ(VersionFromRecord(nullptr), "<Unknown>");
    other[1] = 0x12345678u;  // no signature
    EXPECT_EQ(VersionFromRecord(other), "<Unknown>");
    std::uint32_t shortBlock[10];
    std::copy(std::begin(record), std::end(record), shortBlock);
    shortBlock[0] = 12u;  // the block ends before the version words
    EXPECT_EQ(VersionFromRecord(shortBlock), "<Unknown>");
    // A test program carries no version record of its own.
    EXPECT_EQ(GetExeVersion(), "<Unknown>");
}

TEST(Delay, DispatchesPendingEventsWhileWaiting) {
    int fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    Delay(0);
    EXPECT_EQ(fired, 1);

    // A timer that falls due during the wait runs inside it.
    QTimer::singleShot(20, [&] { ++fired; });
    QElapsedTimer clock;
    clock.start();
    Delay(1000);  // 101 passes of at least 1 ms each
    EXPECT_GE(clock.elapsed(), 101);
    EXPECT_EQ(fired, 2);

    clock.restart();
    Delay(9);  // one pass, then 9 ms measured on the tick counter
    EXPECT_GE(clock.elapsed(), 9);
}
