#include "util/CodePage.h"

#include "util/CodePageTables.h"

#include <QLocale>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace codepage {

namespace {

// Both directions of one code page. A character the page lacks becomes '?' (never a
// substitute byte such as Ctrl+Z, which ends a text file).
struct Table {
    std::array<char16_t, 256> toUnicode{};
    std::unordered_map<char16_t, char> fromUnicode;
};

const Table& TableFor(int codePage) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<Table>> tables;
    std::lock_guard lock(mutex);
    auto& slot = tables[codePage];
    if (slot) return *slot;
    slot = std::make_unique<Table>();
    const char16_t* upper = UpperHalf(codePage);
    for (int b = 0; b < 256; ++b) {
        // Latin-1 for the lower half, and for the upper half of a page not known here.
        const char16_t u = (b < 0x80 || !upper) ? static_cast<char16_t>(b) : upper[b - 0x80];
        slot->toUnicode[static_cast<size_t>(b)] = u;
        slot->fromUnicode.emplace(u, static_cast<char>(b));
    }
    return *slot;
}

}  // namespace

int AnsiCodePage() {
    return AnsiCodePageFor(QLocale::system());
}

int AnsiCodePageFor(const QLocale& locale) {
    switch (locale.language()) {
        case QLocale::Russian:
        case QLocale::Ukrainian:
        case QLocale::Belarusian:
        case QLocale::Bulgarian:
        case QLocale::Serbian:
        case QLocale::Macedonian:
            return 1251;
        case QLocale::Czech:
        case QLocale::Polish:
        case QLocale::Slovak:
        case QLocale::Slovenian:
        case QLocale::Hungarian:
        case QLocale::Croatian:
        case QLocale::Romanian:
        case QLocale::Albanian:
        case QLocale::Bosnian:
            return 1250;
        case QLocale::Greek:
            return 1253;
        case QLocale::Turkish:
        case QLocale::Azerbaijani:
            return 1254;
        case QLocale::Hebrew:
            return 1255;
        case QLocale::Arabic:
        case QLocale::Persian:
        case QLocale::Urdu:
            return 1256;
        case QLocale::Estonian:
        case QLocale::Latvian:
        case QLocale::Lithuanian:
            return 1257;
        case QLocale::Vietnamese:
            return 1258;
        default:
            return 1252;
    }
}

std::string ToAnsi(const QString& text, int codePage) {
    const Table& table = TableFor(codePage);
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;  // One character outside the page: one '?'.
            out.push_back('?');
            continue;
        }
        const auto hit = table.fromUnicode.find(c.unicode());
        out.push_back(hit == table.fromUnicode.end() ? '?' : hit->second);
    }
    return out;
}

QString FromAnsi(std::string_view bytes, int codePage) {
    const Table& table = TableFor(codePage);
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* dst = out.data();
    for (char b : bytes)
        *dst++ = QChar(table.toUnicode[static_cast<unsigned char>(b)]);
    return out;
}

bool LooksLikeUtf8(std::string_view bytes) {
    bool nonAscii = false;
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        size_t extra = 0;
        std::uint32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            cp = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            cp = b & 0x0Fu;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            cp = b & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= bytes.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0u) != 0x80u) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return nonAscii;
}

QString FromFileText(std::string_view bytes, int codePage) {
    if (LooksLikeUtf8(bytes)) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return FromAnsi(bytes, codePage);
}

std::string ToFileText(const QString& text, int codePage) {
    std::string bytes = ToAnsi(text, codePage);
    if (FromAnsi(bytes, codePage) == text && !LooksLikeUtf8(bytes)) return bytes;
    return text.toStdString();
}

}  // namespace codepage
