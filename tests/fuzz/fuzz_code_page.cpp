// The ANSI code pages and the UTF-8 test. A page's bytes decoded and encoded again decode to
// the same text; a Unicode text encoded gives one byte per character, each of which decodes to
// that character or to '?'; bytes count as UTF-8 exactly when they are well-formed UTF-8 with
// a non-ASCII byte, and a file's text is decoded accordingly.

#include "util/CodePage.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array kPages{1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int page = kPages[data[0] % kPages.size()];
    const std::string_view bytes = fuzz::Bytes(data + 1, size - 1);

    const QString text = codepage::FromAnsi(bytes, page);
    FUZZ_CHECK(text.size() == static_cast<qsizetype>(bytes.size()));
    FUZZ_CHECK(codepage::FromAnsi(codepage::ToAnsi(text, page), page) == text);

    const QString unicode = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QList<uint> characters = unicode.toUcs4();
    const std::string encoded = codepage::ToAnsi(unicode, page);
    FUZZ_CHECK(encoded.size() == static_cast<std::size_t>(characters.size()));
    const QString back = codepage::FromAnsi(encoded, page);
    for (qsizetype i = 0; i < back.size(); ++i) {
        FUZZ_CHECK(back.at(i).unicode() == characters.at(i) || back.at(i) == QLatin1Char('?'));
    }

    const bool wellFormed = unicode.toUtf8() == QByteArrayView(bytes.data(), bytes.size());
    const bool nonAscii = std::any_of(bytes.begin(), bytes.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const bool utf8 = codepage::LooksLikeUtf8(bytes);
    FUZZ_CHECK(utf8 == (wellFormed && nonAscii));
    FUZZ_CHECK(codepage::FromFileText(bytes, page) == (utf8 ? unicode : text));
    return 0;
}
