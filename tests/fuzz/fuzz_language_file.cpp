// A language file as it may come: any bytes. A lookup gives "none" or a value of at most 255
// characters, and "none" whenever the key is nowhere in the file; applying the file sets
// exactly the texts whose lookup gives a value, to that value; read as the status file, it
// names a language file of one line and at most 254 characters, or leaves the name alone.

#include "language/MLanguage.h"

#include "FuzzSupport.h"
#include "LanguageWindow.h"

#include <algorithm>
#include <cerrno>
#include <map>

namespace {

const QString kStale = QStringLiteral("stale text");

// The value a lookup gives, checked against the file's text (what comes before a Ctrl+Z, less
// the CRs that reading drops).
QString Lookup(const TMultiLanguage& language, const QString& key, const std::string& content) {
    const QString value = language.LngSearchFor(key);
    FUZZ_CHECK(value.size() <= TMultiLanguage::kMaxValueLength);
    if (content.find(key.toStdString()) == std::string::npos) FUZZ_CHECK(value == "none");
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int page = data[0] % 2 == 0 ? 1251 : 1252;
    const std::string_view file = fuzz::Bytes(data + 1, size - 1);
    const std::string path = fuzz::ScratchFolder() + "/any.lng";
    fuzz::WriteFile(path, file);
    std::string content(file.substr(0, file.find('\x1A')));
    std::erase(content, '\r');

    fuzz::LanguageWindow window;
    TMultiLanguage language(window.Application(), page);
    language.SetLanguageFile(QString::fromStdString(path));
    language.SetLanguage(kStale);
    for (const fuzz::LanguageText& text : window.Texts())
        text.component->Set(text.property, kStale);

    const QString name = Lookup(language, QStringLiteral("Language:="), content);
    language.LoadForm();
    FUZZ_CHECK(language.Language() == (name == "none" ? kStale : name));
    std::map<const FakeComponent*, int> applied;
    for (const fuzz::LanguageText& text : window.Texts()) {
        const QString value = Lookup(language, text.key, content);
        FUZZ_CHECK(text.component->Get(text.property) == (value == "none" ? kStale : value));
        applied[text.component] += value == "none" ? 0 : 1;
    }
    for (const auto& [component, writes] : applied)
        FUZZ_CHECK(component->Writes() == writes);

    language.SetStatusFile(QString::fromStdString(path));
    const QString before = language.LanguageFile();
    const int error = language.StatusLoad();
    FUZZ_CHECK(error == 0 || error == ENAMETOOLONG);
    if (error != 0) return FUZZ_CHECK(language.LanguageFile() == before), 0;
    FUZZ_CHECK(language.LanguageFile().size() <= TMultiLanguage::kMaxStoredFileNameLength);
    FUZZ_CHECK(!language.LanguageFile().contains(QLatin1Char('\n')) &&
               !language.LanguageFile().contains(QLatin1Char('\r')));
    return 0;
}
