#include "language/MLanguage.h"

#include "util/CodePage.h"
#include "util/TextFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char kCtrlZ = 26;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Language and status files are a few kilobytes; anything this large is no such file.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

// The whole file, or the errno of the failed step. The program names files as Qt does; the
// file system gets the bytes it expects for them. Only regular files are read, so a pipe or
// a device picked by mistake cannot hang the window.
int ReadFileBytes(const QString& name, std::string& out) {
    out.clear();
    if (name.isEmpty()) return ENOENT;
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (S_ISDIR(st.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    } else if (st.st_size > kMaxFileSize) {
        error = EFBIG;
    }
    char buffer[16384];
    while (error == 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno != EINTR) error = errno;
            continue;
        }
        if (n == 0) break;
        out.append(buffer, static_cast<size_t>(n));
        if (out.size() > static_cast<size_t>(kMaxFileSize)) error = EFBIG;
    }
    ::close(fd);
    if (error != 0) out.clear();
    return error;
}

bool WriteFile(const QString& name, const std::string& bytes) {
    if (name.isEmpty()) return false;
    return textfile::WriteReplacing(QFile::encodeName(name).toStdString(), bytes);
}

// A text file as read: its lines as raw bytes, and whether they are UTF-8 or ANSI.
struct FileLines {
    std::vector<std::string> lines;
    bool utf8 = false;
};

FileLines SplitFile(std::string_view bytes) {
    const auto eof = bytes.find(kCtrlZ);
    if (eof != std::string_view::npos) bytes = bytes.substr(0, eof);
    FileLines file;
    file.utf8 = codepage::LooksLikeUtf8(bytes);
    // Editors on Windows mark UTF-8 files; the mark is no part of the first line.
    if (file.utf8 && bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
    file.lines = textfile::SplitLines(bytes);
    return file;
}

std::optional<FileLines> ReadFileLines(const QString& name) {
    std::string content;
    if (ReadFileBytes(name, content) != 0) return std::nullopt;
    return SplitFile(content);
}

QString Decode(const FileLines& file, std::string_view bytes, int codePage) {
    if (file.utf8) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return codepage::FromAnsi(bytes, codePage);
}

// The key as the file would spell it; nothing when the file's page cannot spell it, as such
// a key is in no line.
std::optional<std::string> EncodeKey(const FileLines& file, const QString& key, int codePage) {
    if (file.utf8) return key.toStdString();
    std::string bytes = codepage::ToAnsi(key, codePage);
    if (codepage::FromAnsi(bytes, codePage) != key) return std::nullopt;
    return bytes;
}

QString CutValue(QString value) {
    if (value.size() <= TMultiLanguage::kMaxValueLength) return value;
    qsizetype length = TMultiLanguage::kMaxValueLength;
    if (value.at(length - 1).isHighSurrogate()) --length;  // never half a character
    value.truncate(length);
    return value;
}

// The value of the first line that begins with the key; later lines are never looked at.
std::optional<QString> Find(const FileLines& file, const QString& key, int codePage) {
    const auto encoded = EncodeKey(file, key, codePage);
    if (!encoded) return std::nullopt;
    for (const std::string& line : file.lines) {
        if (line.starts_with(*encoded)) {
            return CutValue(Decode(file, std::string_view(line).substr(encoded->size()), codePage));
        }
    }
    return std::nullopt;
}

constexpr std::array<std::pair<LanguageProperty, const char*>, 3> kProperties{{
    {LanguageProperty::Caption, "Caption"},
    {LanguageProperty::Text, "Text"},
    {LanguageProperty::Hint, "Hint"},
}};

template <typename Visit>
void VisitComponent(LanguageComponent& component, const QString& fullName, Visit& visit) {
    if (component.Name().isEmpty()) return;
    // A longer name could only be kept cut, and two cut names could share a key.
    if (fullName.size() > TMultiLanguage::kMaxFullNameLength) return;
    for (const auto& [property, propertyName] : kProperties) {
        if (!component.HasProperty(property)) continue;
        visit(component, property,
              fullName + QLatin1Char('.') + QLatin1String(propertyName) + QLatin1String(":="));
    }
}

// Every window the application owns, each followed by the components that window owns,
// in creation order; Caption, Text and Hint of each in that order.
template <typename Visit>
void Walk(LanguageComponent* application, Visit&& visit) {
    if (application == nullptr) return;
    for (int i = 0; i < application->ComponentCount(); ++i) {
        LanguageComponent* window = application->Component(i);
        if (window == nullptr) continue;
        const QString windowName = window->Name();
        VisitComponent(*window, windowName, visit);
        for (int j = 0; j < window->ComponentCount(); ++j) {
            LanguageComponent* component = window->Component(j);
            if (component == nullptr) continue;
            VisitComponent(*component, windowName + QLatin1Char('.') + component->Name(), visit);
        }
    }
}

}  // namespace

TMultiLanguage::TMultiLanguage(LanguageComponent* application, int codePage)
    : application_(application), codePage_(codePage != 0 ? codePage : codepage::AnsiCodePage()) {}

QString TMultiLanguage::LngSearchFor(const QString& key) const {
    const auto file = ReadFileLines(languageFile_);
    if (!file) return QString::fromLatin1(kNotFound);
    return Find(*file, key, codePage_).value_or(QString::fromLatin1(kNotFound));
}

void TMultiLanguage::SaveForm() {
    QString text;
    const auto addLine = [&](const QString& line) {
        text += line;
        text += QLatin1String(textfile::kLineEnd.data(),
                              static_cast<qsizetype>(textfile::kLineEnd.size()));
    };
    addLine(QStringLiteral("FileName:=") + languageFile_);
    addLine(QStringLiteral("Language:=") + language_);
    addLine(QStringLiteral("Autor:=") + languageCopyRight_);
    addLine(QStringLiteral("Programm:=") + programmName_);
    addLine(QStringLiteral("Version:=") + programmVer_);
    addLine(QString());
    // A text with a line break goes out unchanged; what follows the break matches no key.
    Walk(application_, [&](LanguageComponent& component, LanguageProperty property,
                           const QString& key) { addLine(key + component.GetProperty(property)); });
    // Single-byte text in the page; a file with a character the page lacks goes out whole
    // in UTF-8 instead of losing it, which reading recognises.
    WriteFile(languageFile_, codepage::ToFileText(text, codePage_));
}

void TMultiLanguage::LoadForm() {
    // One reading serves all lookups of this pass; each still scans from the first line.
    const auto file = ReadFileLines(languageFile_);
    if (!file) return;
    const auto lookup = [&](const QString& key) -> std::optional<QString> {
        auto value = Find(*file, key, codePage_);
        if (value && *value == QLatin1String(kNotFound)) return std::nullopt;
        return value;
    };
    if (auto value = lookup(QStringLiteral("Language:="))) language_ = *value;
    if (auto value = lookup(QStringLiteral("Autor:="))) languageCopyRight_ = *value;
    Walk(application_,
         [&](LanguageComponent& component, LanguageProperty property, const QString& key) {
             if (auto value = lookup(key)) component.SetProperty(property, *value);
         });
}

void TMultiLanguage::StatusSave() {
    if (languageFile_.size() > kMaxStoredFileNameLength) return;
    // A folder name the page cannot spell is kept in UTF-8 rather than lost; reading tells
    // the two apart.
    std::string line = codepage::ToFileText(languageFile_, codePage_);
    line.append(textfile::kLineEnd);
    WriteFile(statusFile_, line);
}

int TMultiLanguage::StatusLoad() {
    std::string content;
    if (const int error = ReadFileBytes(statusFile_, content); error != 0) return error;
    const FileLines file = SplitFile(content);
    const QString name =
        file.lines.empty() ? QString() : Decode(file, file.lines.front(), codePage_);
    if (name.size() > kMaxStoredFileNameLength) return ENAMETOOLONG;
    languageFile_ = name;
    return 0;
}
