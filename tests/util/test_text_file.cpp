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

TEST(TextFileLines, LineEndsStrayCarriageReturnsCtrlZAndBinaryContent) {
    using namespace std::string_literals;
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\nb\nc", {"a", "b", "c"}},
        {"a\r\n", {"a"}},
        {"", {}},
        {"\r\n\r\n", {"", ""}},
        // A CR anywhere but before LF is dropped, also at the very end.
        {"a\rb\r\r\nc\r", {"ab", "c"}},
        {"\r", {}},
        // Ctrl+Z (octal 032) ends the file.
        {"a\r\nb\032c\r\nd\r\n", {"a", "b"}},
        {"\032rest", {}},
        {"x\0y\xFF\n\0\n"s, {"x\0y\xFF"s, "\0"s}},
    };
    for (const auto& [bytes, lines] : cases)
        EXPECT_EQ(SplitLines(bytes), lines) << bytes;
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
