// Conversion between the program's single-byte texts and Unicode.

#include "util/CodePage.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace codepage;

TEST(CodePage, CyrillicRoundTripThrough1251) {
    const QString text = QString::fromUtf8("Пожалуйста выберите сетевой адаптер");
    const std::string bytes = ToAnsi(text, 1251);
    EXPECT_EQ(bytes.size(), static_cast<size_t>(text.size()));
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xCF);  // П
    EXPECT_EQ(FromAnsi(bytes, 1251), text);
    EXPECT_EQ(ToAnsi(QString::fromUtf8("а"), 1251), "\xE0");
    EXPECT_EQ(ToAnsi(QString::fromUtf8("Ё"), 1251), "\xA8");
    EXPECT_EQ(ToAnsi(QString::fromUtf8("С"), 1251), "\xD1");
}

TEST(CodePage, MissingCharactersBecomeQuestionMarks) {
    // Never the converter's own substitute (Ctrl+Z would end a text file).
    EXPECT_EQ(ToAnsi(QString::fromUtf8("a€Жb"), 1252), "a\x80?b");
    EXPECT_EQ(ToAnsi(QString::fromUtf8("x😀y"), 1251), "x?y");
    EXPECT_EQ(ToAnsi(QString::fromUtf8("日本"), 1250), "??");
    EXPECT_EQ(ToAnsi(QString(), 1251), "");
}

TEST(CodePage, EveryByteDecodesToOneCharacter) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    // Bytes a page leaves undefined too: whatever was read is written back unchanged.
    for (int cp = 1250; cp <= 1258; ++cp) {
        const QString text = FromAnsi(all, cp);
        ASSERT_EQ(text.size(), 256) << cp;
        EXPECT_EQ(text.at(0x41), QChar('A'));
        EXPECT_EQ(ToAnsi(text, cp), all) << cp;
    }
    const struct {
        int page;
        const char* byte;
        const char* utf8;
    } letters[] = {
        {1250, "\x8A", "Š"},      {1251, "\xE0", "а"}, {1252, "\xE0", "à"},
        {1252, "\x81", "\u0081"}, {1253, "\xC1", "Α"}, {1254, "\xD0", "Ğ"},
        {1255, "\xE0", "א"},      {1256, "\xC7", "ا"}, {1257, "\xC0", "Ą"},
        {1258, "\xD2", "\u0309"}, {866, "\xE0", "à"},
    };
    for (const auto& l : letters)
        EXPECT_EQ(FromAnsi(l.byte, l.page), QString::fromUtf8(l.utf8)) << l.page << " " << l.utf8;
}

TEST(CodePage, FileTextPrefersUtf8OnlyWhenItIsUtf8) {
    const std::string utf8 = "Language:=Русский";
    EXPECT_TRUE(LooksLikeUtf8(utf8));
    EXPECT_EQ(FromFileText(utf8, 1252), QString::fromUtf8("Language:=Русский"));
    // The same words in code page 1251 are not valid UTF-8 and are read in that page.
    const std::string cp1251 = ToAnsi(QString::fromUtf8("Русский"), 1251);
    EXPECT_FALSE(LooksLikeUtf8(cp1251));
    EXPECT_EQ(FromFileText(cp1251, 1251), QString::fromUtf8("Русский"));
    // Plain ASCII is the same either way; overlong forms, surrogates and cut sequences are
    // not UTF-8.
    EXPECT_FALSE(LooksLikeUtf8("plain"));
    EXPECT_FALSE(LooksLikeUtf8("\xC0\xAF"));
    EXPECT_FALSE(LooksLikeUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(LooksLikeUtf8("ab\xD0"));
    EXPECT_FALSE(LooksLikeUtf8("\xF4\x90\x80\x80"));
    EXPECT_TRUE(LooksLikeUtf8("\xF0\x9F\x98\x80"));
}

TEST(CodePage, PageFollowsTheLanguage) {
    EXPECT_EQ(AnsiCodePageFor(QLocale(QLocale::Russian, QLocale::Russia)), 1251);
    EXPECT_EQ(AnsiCodePageFor(QLocale(QLocale::Ukrainian, QLocale::Ukraine)), 1251);
    EXPECT_EQ(AnsiCodePageFor(QLocale(QLocale::Bulgarian, QLocale::Bulgaria)), 1251);
    EXPECT_EQ(AnsiCodePageFor(QLocale(QLocale::Polish, QLocale::Poland)), 1250);
    EXPECT_EQ(AnsiCodePageFor(QLocale(QLocale::Czech, QLocale::CzechRepublic)), 1250);
    EXPECT_EQ(AnsiCodePageFor(QLocale(QLocale::German, QLocale::Germany)), 1252);
    EXPECT_EQ(AnsiCodePageFor(QLocale::c()), 1252);
}
