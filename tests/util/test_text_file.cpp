// Reading and writing the program's single-byte text files.

#include "util/TextFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;
using textfile::SplitLines;
using Lines = std::vector<std::string>;

TEST(TextFileLines, LineEndsAndStrayCarriageReturns) {
    EXPECT_EQ(SplitLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("\r\n\r\n"), (Lines{"", ""}));
    // A CR anywhere but before LF is dropped, also at the very end.
    EXPECT_EQ(SplitLines("a\rb\r\r\nc\r"), (Lines{"ab", "c"}));
    EXPECT_EQ(SplitLines("\r"), Lines{});
}

TEST(TextFileLines, CtrlZEndsTheFile) {
    EXPECT_EQ(SplitLines("a\r\nb\x1A"
                         "c\r\nd\r\n"),
              (Lines{"a", "b"}));
    EXPECT_EQ(SplitLines(std::string("\x1A"
                                     "rest",
                                     5)),
              Lines{});
}

TEST(TextFileLines, BinaryContentSurvives) {
    const std::string garbage("x\0y\xFF\n\0\n", 7);
    EXPECT_EQ(SplitLines(garbage), (Lines{std::string("x\0y\xFF", 4), std::string("\0", 1)}));
}

class TextFileOnDisk : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }
    QTemporaryDir tmp_;
    std::string dir_ = tmp_.path().toStdString();
};

TEST_F(TextFileOnDisk, AppendCreatesThenAppends) {
    const std::string path = dir_ + "/inet.stat";
    ASSERT_TRUE(textfile::Append(path, "one\r\n"));
    ASSERT_TRUE(textfile::Append(path, "two\r\n"));
    EXPECT_EQ(textfile::ReadAll(path), std::optional<std::string>("one\r\ntwo\r\n"));
    EXPECT_EQ(textfile::ReadLines(path), std::optional<Lines>(Lines{"one", "two"}));
}

TEST_F(TextFileOnDisk, FailuresAreReportedNotRaised) {
    EXPECT_FALSE(textfile::ReadAll(dir_ + "/missing").has_value());
    EXPECT_FALSE(textfile::ReadAll(dir_).has_value());  // a directory is no text file
    EXPECT_FALSE(textfile::Append(dir_ + "/no/such/dir/file", "x"));
    if (::geteuid() != 0) {  // root writes everywhere
        ::chmod(dir_.c_str(), 0555);
        EXPECT_FALSE(textfile::Append(dir_ + "/new", "x"));
        EXPECT_FALSE(textfile::WriteReplacing(dir_ + "/new", "x"));
        ::chmod(dir_.c_str(), 0755);
    }
}

TEST_F(TextFileOnDisk, WriteReplacingLeavesNoHalfFile) {
    const std::string path = dir_ + "/language.cfg";
    ASSERT_TRUE(textfile::WriteReplacing(path, "old\r\n"));
    ASSERT_TRUE(textfile::WriteReplacing(path, "new\r\n"));
    EXPECT_EQ(textfile::ReadAll(path), std::optional<std::string>("new\r\n"));
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    // A target that cannot be replaced (a directory) keeps what was there.
    fs::create_directory(dir_ + "/busy");
    EXPECT_FALSE(textfile::WriteReplacing(dir_ + "/busy", "x"));
    EXPECT_TRUE(fs::is_directory(dir_ + "/busy"));
}
