#pragma once

// TMultiLanguage: switches every text of the program's windows to another language by
// reading a language file ("*.lng"), and remembers the chosen file in a one-line status file.
//
// A language file is five header lines ("FileName:=", "Language:=", "Autor:=", "Programm:=",
// "Version:="), an empty line, then one line per text: full name, ".", property, ":=", text.
// Files are single-byte text in the ANSI code page with CR LF line ends; a file that is valid
// UTF-8 with non-ASCII bytes is read as UTF-8 (decided per file), so files saved by today's
// editors read right under any locale. For the same reason a file this component writes is
// UTF-8 when one of its texts has a character the page lacks, rather than losing it.
//
// Limits: a value read from a file is cut to 255 characters; a component whose full name is
// longer than 254 characters takes no part; a language-file name longer than 254 characters
// is neither stored in nor taken from the status file; only regular files up to 16 MiB are
// read (anything else reads as a missing file).

#include "language/LanguageComponent.h"

#include <QString>

class TMultiLanguage {
  public:
    // The text every lookup gives for a key that is not in the file.
    static constexpr const char* kNotFound = "none";
    static constexpr qsizetype kMaxValueLength = 255;
    static constexpr qsizetype kMaxFullNameLength = 254;
    static constexpr qsizetype kMaxStoredFileNameLength = 254;

    // `application` stands for the application object: the components it owns are the
    // windows that the walk visits, each followed by the components that window owns. It
    // must outlive this object; null means there is nothing to walk. `codePage` is the ANSI
    // page of the files (the user's locale unless given).
    explicit TMultiLanguage(LanguageComponent* application = nullptr, int codePage = 0);

    const QString& LanguageFile() const { return languageFile_; }
    void SetLanguageFile(const QString& value) { languageFile_ = value; }
    const QString& Language() const { return language_; }
    void SetLanguage(const QString& value) { language_ = value; }
    const QString& LanguageCopyRight() const { return languageCopyRight_; }
    void SetLanguageCopyRight(const QString& value) { languageCopyRight_ = value; }
    const QString& StatusFile() const { return statusFile_; }
    void SetStatusFile(const QString& value) { statusFile_ = value; }
    const QString& ProgrammName() const { return programmName_; }
    void SetProgrammName(const QString& value) { programmName_ = value; }
    const QString& ProgrammVer() const { return programmVer_; }
    void SetProgrammVer(const QString& value) { programmVer_ = value; }
    // The ANSI page of the files; the user's locale's unless set.
    int CodePage() const { return codePage_; }
    void SetCodePage(int codePage) { codePage_ = codePage; }

    // The rest of the first line of the language file that begins with `key` (exactly, case
    // significant), or "none" when the file cannot be read or no line begins with it.
    QString LngSearchFor(const QString& key) const;

    // Writes the language file named by LanguageFile from the texts the windows show now.
    // The file is replaced only once it is written whole; failures are silent.
    void SaveForm();

    // Applies the language file named by LanguageFile: Language, LanguageCopyRight, then
    // every text that has a line (a value "none" counts as no line).
    void LoadForm();

    // Writes LanguageFile as the only line of the status file; failures are silent.
    void StatusSave();

    // Reads the first line of the status file into LanguageFile (also when it is empty).
    // 0 on success, otherwise an errno code and LanguageFile stays as it was.
    int StatusLoad();

  private:
    LanguageComponent* application_;
    int codePage_;
    QString languageFile_ = QStringLiteral("english.lng");
    QString language_ = QStringLiteral("English");
    QString languageCopyRight_ =
        QStringLiteral("English texts: Mira Talvik, http://lang.example.org");
    QString statusFile_ = QStringLiteral("language.cfg");
    QString programmName_;
    QString programmVer_;
};
