// What SaveForm writes, LoadForm reads back unchanged: the window's texts (any Unicode but the
// line breaks and Ctrl+Z that a line cannot hold, at most 255 characters, never the not-found
// text "none"), Language and LanguageCopyRight, in either ANSI page, arrive in another
// window of the same kind whatever it showed before.

#include "language/MLanguage.h"
#include "util/CodePage.h"
#include "util/TextFile.h"

#include "FuzzSupport.h"
#include "LanguageWindow.h"

#include <algorithm>
#include <vector>

namespace {

// The input's texts, NUL-separated, made fit for a line of the file.
std::vector<QString> Texts(std::string_view rest) {
    std::vector<QString> texts;
    while (!rest.empty()) {
        const std::string_view piece = fuzz::TakeUntil(rest, '\0');
        QString text = QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size()));
        text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n')).remove(QChar(26));
        qsizetype length = std::min(text.size(), TMultiLanguage::kMaxValueLength);
        if (length < text.size() && text.at(length - 1).isHighSurrogate()) --length;
        text.truncate(length);
        if (text == QLatin1String(TMultiLanguage::kNotFound)) text += QLatin1Char('!');
        texts.push_back(text);
    }
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int page = data[0] % 2 == 0 ? 1251 : 1252;
    std::vector<QString> texts = Texts(fuzz::Bytes(data + 1, size - 1));
    const QString path = QString::fromStdString(fuzz::ScratchFolder() + "/saved.lng");

    fuzz::LanguageWindow saved;
    texts.resize(4 + saved.Texts().size());
    TMultiLanguage writer(saved.Application(), page);
    writer.SetLanguageFile(path);
    writer.SetLanguage(texts[0]);
    writer.SetLanguageCopyRight(texts[1]);
    writer.SetProgrammName(texts[2]);
    writer.SetProgrammVer(texts[3]);
    for (std::size_t i = 0; i < saved.Texts().size(); ++i)
        saved.Texts()[i].component->Set(saved.Texts()[i].property, texts[4 + i]);
    writer.SaveForm();

    fuzz::LanguageWindow loaded;
    for (const fuzz::LanguageText& text : loaded.Texts())
        text.component->Set(text.property, QStringLiteral("before"));
    TMultiLanguage reader(loaded.Application(), page);
    reader.SetLanguageFile(path);
    reader.SetLanguage(QStringLiteral("before"));
    reader.SetLanguageCopyRight(QStringLiteral("before"));
    reader.LoadForm();
    FUZZ_CHECK(reader.Language() == texts[0]);
    FUZZ_CHECK(reader.LanguageCopyRight() == texts[1]);
    for (std::size_t i = 0; i < loaded.Texts().size(); ++i)
        FUZZ_CHECK(loaded.Texts()[i].component->Get(loaded.Texts()[i].property) == texts[4 + i]);
    return 0;
}
