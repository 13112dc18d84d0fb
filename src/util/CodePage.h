#pragma once

// The single-byte ANSI code page of the user's locale, in which the program keeps its texts
// and writes its files: 1251 for Cyrillic languages, 1250 for Central European ones, 1252
// by default. Characters the page lacks become '?' in ToAnsi; ToFileText keeps them.

#include <QLocale>
#include <QString>

#include <string>
#include <string_view>

namespace codepage {

// The Windows code page that matches the language of QLocale::system().
int AnsiCodePage();

// The Windows code page that matches a locale's language.
int AnsiCodePageFor(const QLocale& locale);

// Unicode text to bytes of the given page; characters the page lacks become '?'.
std::string ToAnsi(const QString& text, int codePage = AnsiCodePage());

// Bytes of the given page to Unicode text.
QString FromAnsi(std::string_view bytes, int codePage = AnsiCodePage());

// Bytes of a file the user may have made anywhere: valid UTF-8 that holds non-ASCII bytes is
// read as UTF-8, everything else as the given page.
QString FromFileText(std::string_view bytes, int codePage = AnsiCodePage());

// True when the bytes are well-formed UTF-8 and at least one of them is not ASCII.
bool LooksLikeUtf8(std::string_view bytes);

// Text as the program writes it to a file or an address: in the given page when the page
// has every character of it, otherwise (and when the page's bytes would pass for UTF-8) in
// UTF-8, so that nothing is lost and FromFileText reads it back as it was.
std::string ToFileText(const QString& text, int codePage = AnsiCodePage());

}  // namespace codepage
