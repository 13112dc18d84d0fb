// The language component over a fake component tree: file format, walk order, lookup rules,
// status file, code pages and limits.

#include "language/MLanguage.h"

#include "FakeComponents.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;
using P = LanguageProperty;

namespace {

using testfiles::ReadBytes;
using testfiles::WriteBytes;

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

class MultiLanguage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        // Application -> frmMain (with its components) and a second window; an unnamed
        // window-level component takes no part.
        frmMain_ = &app_.Add("frmMain", kCaptionHint);
        frmMain_->Set(P::Caption, "Torvane").Set(P::Hint, "");
        label1_ = &frmMain_->Add("Label1", kCaptionHint);
        label1_->Set(P::Caption, "Connected  speed").Set(P::Hint, "Connected speed");
        edit_ = &frmMain_->Add("edtCount", kTextHint);
        edit_->Set(P::Text, "0").Set(P::Hint, "Bytes");
        frmMain_->Add("tmrRefresh", kNoText);
        unnamed_ = &frmMain_->Add("", kCaptionHint);
        unnamed_->Set(P::Caption, "nameless");
        image_ = &frmMain_->Add("imgDraw", kHintOnly);
        image_->Set(P::Hint, "The line diagram");
        // Owned by a component below the window: never visited.
        grandchild_ = &label1_->Add("Inner", kCaptionHint);
        grandchild_->Set(P::Caption, "inner");
        about_ = &app_.Add("frmAbout", kCaptionHint);
        about_->Set(P::Caption, "About");
        aboutLabel_ = &about_->Add("Label1", kCaptionHint);
        aboutLabel_->Set(P::Caption, "Version");
        app_.Add("", kCaptionHint).Set(P::Caption, "unnamed window");

        ml_.SetLanguageFile(QString::fromStdString(lng_.string()));
        ml_.SetProgrammName("Pellmor");
        ml_.SetProgrammVer("v1.01");
    }

    int TotalWrites() const {
        return frmMain_->Writes() + label1_->Writes() + edit_->Writes() + unnamed_->Writes() +
               image_->Writes() + grandchild_->Writes() + about_->Writes() + aboutLabel_->Writes();
    }
    // A language file: the five header lines, an empty line, then the given lines.
    void WriteLanguageFile(const std::string& body) {
        WriteBytes(lng_,
                   "FileName:=test.lng\r\nLanguage:=Deutsch\r\nAutor:=Someone\r\n"
                   "Programm:=Pellmor\r\nVersion:=v1.01\r\n\r\n" +
                       body);
    }

    QTemporaryDir tmp_;
    fs::path dir_ = tmp_.path().toStdString();
    fs::path lng_ = dir_ / "test.lng";
    FakeComponent app_{"", kNoText};
    FakeComponent* frmMain_ = nullptr;
    FakeComponent* label1_ = nullptr;
    FakeComponent* edit_ = nullptr;
    FakeComponent* unnamed_ = nullptr;
    FakeComponent* image_ = nullptr;
    FakeComponent* grandchild_ = nullptr;
    FakeComponent* about_ = nullptr;
    FakeComponent* aboutLabel_ = nullptr;
    TMultiLanguage ml_{&app_, 1252};
};

TEST(MultiLanguageDefaults, PropertiesOfANewComponent) {
    const TMultiLanguage ml;
    EXPECT_EQ(ml.LanguageFile(), "english.lng");
    EXPECT_EQ(ml.Language(), "English");
    EXPECT_EQ(ml.StatusFile(), "language.cfg");
    EXPECT_TRUE(ml.LanguageCopyRight().contains("example."));
    EXPECT_TRUE(ml.ProgrammName().isEmpty());
    EXPECT_TRUE(ml.ProgrammVer().isEmpty());
}

TEST_F(MultiLanguage, SaveFormWritesHeaderThenEveryTextInWalkOrder) {
    ml_.SaveForm();
    EXPECT_EQ(
        ReadBytes(lng_),
        "FileName:=" + lng_.string() +
            "\r\nLanguage:=English\r\nAutor:=" + ml_.LanguageCopyRight().toStdString() +
            "\r\nProgramm:=Pellmor\r\nVersion:=v1.01\r\n\r\n"
            // The texts, component by component in walk order.
            "frmMain.Caption:=Torvane\r\nfrmMain.Hint:=\r\n"
            "frmMain.Label1.Caption:=Connected  speed\r\nfrmMain.Label1.Hint:=Connected speed\r\n"
            "frmMain.edtCount.Text:=0\r\nfrmMain.edtCount.Hint:=Bytes\r\n"
            "frmMain.imgDraw.Hint:=The line diagram\r\n"
            "frmAbout.Caption:=About\r\nfrmAbout.Hint:=\r\n"
            "frmAbout.Label1.Caption:=Version\r\nfrmAbout.Label1.Hint:=\r\n");
}

TEST_F(MultiLanguage, SaveThenLoadRestoresEverySingleLineText) {
    label1_->Set(P::Caption, "  outer spaces  ");
    label1_->Set(P::Hint, "a:=b:=c");
    edit_->Set(P::Text, "");
    image_->Set(P::Hint, Q("Café déjà vu"));
    aboutLabel_->Set(P::Caption, "none of these");
    ml_.SaveForm();

    for (FakeComponent* c : {frmMain_, label1_, edit_, image_, about_, aboutLabel_}) {
        for (P p : {P::Caption, P::Text, P::Hint})
            c->Set(p, "changed");
    }
    ml_.SetLanguage("Other");
    ml_.LoadForm();

    EXPECT_EQ(ml_.Language(), "English");
    EXPECT_EQ(frmMain_->Get(P::Caption), "Torvane");
    EXPECT_EQ(frmMain_->Get(P::Hint), "");
    EXPECT_EQ(label1_->Get(P::Caption), "  outer spaces  ");
    EXPECT_EQ(label1_->Get(P::Hint), "a:=b:=c");
    EXPECT_EQ(edit_->Get(P::Text), "");
    EXPECT_EQ(edit_->Get(P::Hint), "Bytes");
    EXPECT_EQ(image_->Get(P::Hint), Q("Café déjà vu"));
    EXPECT_EQ(about_->Get(P::Caption), "About");
    EXPECT_EQ(aboutLabel_->Get(P::Caption), "none of these");
    // Properties the kinds do not have were never touched.
    EXPECT_EQ(edit_->Get(P::Caption), "changed");
    EXPECT_EQ(image_->Get(P::Caption), "changed");
    // Unnamed components and those below the window are never looked up.
    EXPECT_EQ(unnamed_->Writes(), 0);
    EXPECT_EQ(grandchild_->Writes(), 0);
}

TEST_F(MultiLanguage, FirstMatchingLineWinsAndKeysMatchExactly) {
    WriteLanguageFile(
        " frmMain.Label1.Caption:=after a space\r\n"
        "FRMMAIN.LABEL1.HINT:=other case\r\n"
        "frmMain.Label1.Caption:=  first:=value  \r\n"
        "frmMain.Label1.Caption:=second\r\n"
        "frmMain.edtCount.Text:=none\r\n"
        "frmMain.edtCount.Hint:=\r\n"
        "frmMain.Label1.Hint:=later\r\n"
        "frmMain.Unknown.Caption:=ignored\r\n"
        "frmMain.imgDraw.Caption:=no such property\r\n");
    ml_.LoadForm();

    EXPECT_EQ(ml_.Language(), "Deutsch");
    EXPECT_EQ(ml_.LanguageCopyRight(), "Someone");
    EXPECT_EQ(label1_->Get(P::Caption), "  first:=value  ");
    EXPECT_EQ(label1_->Get(P::Hint), "later");  // the other-case line is no match
    EXPECT_EQ(edit_->Get(P::Text), "0");        // "none" is the not-found marker
    EXPECT_EQ(edit_->Get(P::Hint), "");         // nothing behind the key empties it
    EXPECT_EQ(image_->Get(P::Caption), "");
    EXPECT_EQ(frmMain_->Get(P::Caption), "Torvane");  // no line: keeps its text

    EXPECT_EQ(ml_.LngSearchFor("frmMain.Label1.Caption:="), "  first:=value  ");
    EXPECT_EQ(ml_.LngSearchFor("frmMain.Label1.Caption"), ":=  first:=value  ");
    EXPECT_EQ(ml_.LngSearchFor("frmMain.edtCount.Text:="), "none");
    EXPECT_EQ(ml_.LngSearchFor("frmMain.Absent:="), "none");
    EXPECT_EQ(ml_.LngSearchFor("frmmain.Label1.Caption:="), "none");
}

TEST_F(MultiLanguage, LinesAreReadAsTextFilesAre) {
    WriteBytes(lng_,
               "Language:=\n"  // an empty header empties the name
               "Autor:=\r\n"
               "frmMain.Label1.Caption:=stray\rCR\r\r\n"
               "frmMain.Label1.Hint:=last line without end\x1A"
               "frmMain.Caption:=after Ctrl+Z\r\n");
    ml_.LoadForm();
    EXPECT_EQ(ml_.Language(), "");
    EXPECT_EQ(ml_.LanguageCopyRight(), "");
    EXPECT_EQ(label1_->Get(P::Caption), "strayCR");
    EXPECT_EQ(label1_->Get(P::Hint), "last line without end");
    EXPECT_EQ(frmMain_->Get(P::Caption), "Torvane");

    // A text with a line break is saved as it is and comes back up to the break.
    label1_->Set(P::Caption, "two\nlines");
    ml_.SaveForm();
    EXPECT_NE(ReadBytes(lng_).find("frmMain.Label1.Caption:=two\nlines\r\n"), std::string::npos);
    ml_.LoadForm();
    EXPECT_EQ(label1_->Get(P::Caption), "two");
}

TEST_F(MultiLanguage, MissingEmptyOrUnnamedFileChangesNothing) {
    const QString copyright = ml_.LanguageCopyRight();
    WriteBytes(dir_ / "empty.lng", "");
    fs::create_directory(dir_ / "folder.lng");
    // A pipe is no language file: reading it must not wait for a writer.
    ASSERT_EQ(::mkfifo((dir_ / "pipe.lng").c_str(), 0600), 0);
    for (const fs::path& file : {dir_ / "missing.lng", dir_ / "empty.lng", dir_ / "folder.lng",
                                 dir_ / "pipe.lng", fs::path()}) {
        SCOPED_TRACE(file);
        ml_.SetLanguageFile(QString::fromStdString(file.string()));
        ml_.LoadForm();
        EXPECT_EQ(TotalWrites(), 0);
        EXPECT_EQ(ml_.Language(), "English");
        EXPECT_EQ(ml_.LanguageCopyRight(), copyright);
        EXPECT_EQ(ml_.LngSearchFor("Language:="), "none");
        EXPECT_EQ(ml_.LngSearchFor(""), "none");
    }
    ml_.SaveForm();  // no name: nothing to create
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(MultiLanguage, PartialFileLeavesOtherTextsInThePreviousLanguage) {
    WriteLanguageFile("frmMain.Label1.Caption:=Verbindung\r\nfrmMain.Label1.Hint:=Tempo\r\n");
    ml_.LoadForm();
    WriteBytes(lng_, "frmMain.Label1.Hint:=Speed\r\n");
    ml_.LoadForm();
    EXPECT_EQ(label1_->Get(P::Caption), "Verbindung");
    EXPECT_EQ(label1_->Get(P::Hint), "Speed");
    EXPECT_EQ(ml_.Language(), "Deutsch");
}

TEST_F(MultiLanguage, FailedSaveIsSilentAndLeavesEverythingAsItWas) {
    const QString missingFolder = QString::fromStdString((dir_ / "no" / "x.lng").string());
    ml_.SetLanguageFile(missingFolder);
    ml_.SaveForm();
    EXPECT_FALSE(fs::exists(dir_ / "no"));
    EXPECT_EQ(ml_.LanguageFile(), missingFolder);
    EXPECT_EQ(ml_.Language(), "English");
    EXPECT_EQ(ml_.ProgrammName(), "Pellmor");
}

TEST_F(MultiLanguage, SaveReplacesAnOlderFile) {
    WriteBytes(lng_, std::string(5000, 'x'));
    ml_.SaveForm();
    const std::string written = ReadBytes(lng_);
    EXPECT_EQ(written.rfind("FileName:=", 0), 0u);
    EXPECT_EQ(written.find('x' + std::string(10, 'x')), std::string::npos);
}

TEST_F(MultiLanguage, FileNameWithoutFolderResolvesAgainstCurrentDirectory) {
    {
        const testfiles::CurrentFolder current(dir_);
        ml_.SetLanguageFile("english.lng");
        ml_.SaveForm();
        label1_->Set(P::Caption, "changed");
        ml_.LoadForm();
    }
    EXPECT_TRUE(fs::exists(dir_ / "english.lng"));
    EXPECT_EQ(label1_->Get(P::Caption), "Connected  speed");
}

// --- status file ---

TEST_F(MultiLanguage, StatusLoadTakesTheFirstLineOrKeepsTheFileAndTellsWhy) {
    WriteLanguageFile("frmMain.Label1.Caption:=Verbindung\r\n");
    const fs::path status = dir_ / "language.cfg";
    ml_.SetStatusFile(QString::fromStdString(status.string()));
    const QString kept = QString::fromStdString(lng_.string());
    struct Case {
        const char* what;
        std::optional<std::string> content;  // nothing: no such file
        int error;                           // -1: any error
        QString languageFile;
    };
    const Case cases[] = {
        {"missing", std::nullopt, ENOENT, kept},
        {"text-file rules", "first.lng\rx\nsecond.lng\r\n", 0, "first.lngx"},
        {"empty first line", "\r\nignored.lng\r\n", 0, ""},
        {"empty", "", 0, ""},
        {"in the page", "/home/zo\xEB/english.lng\r\n", 0, Q("/home/zoë/english.lng")},
        {"overlong", std::string(255, 'c') + "\r\n", ENAMETOOLONG, kept},
        {"a folder", std::nullopt, -1, kept},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(status);
        if (c.content) WriteBytes(status, *c.content);
        if (c.error < 0) fs::create_directory(status);
        ml_.SetLanguageFile(kept);
        const int error = ml_.StatusLoad();
        if (c.error < 0) {
            EXPECT_NE(error, 0);
        } else {
            EXPECT_EQ(error, c.error);
        }
        EXPECT_EQ(ml_.LanguageFile(), c.languageFile);
        if (c.languageFile.isEmpty()) {  // nothing is found then
            ml_.LoadForm();
            EXPECT_EQ(label1_->Get(P::Caption), "Connected  speed");
            EXPECT_EQ(ml_.LngSearchFor("frmMain.Label1.Caption:="), "none");
        }
    }
    ml_.SetStatusFile("");
    EXPECT_NE(ml_.StatusLoad(), 0);
    ml_.StatusSave();  // silent
}

TEST_F(MultiLanguage, StatusSaveWritesTheLanguageFileForTheNextLoad) {
    const fs::path status = dir_ / "language.cfg";
    ml_.SetStatusFile(QString::fromStdString(status.string()));
    const std::string longest(254, 'a');
    const struct {
        QString file;
        std::string bytes;  // empty: only read back
    } cases[] = {
        {"/some folder/russian.lng", "/some folder/russian.lng\r\n"},
        {Q("/home/zoë/english.lng"), "/home/zo\xEB/english.lng\r\n"},  // the page is 1252
        {Q("/home/юля/russian.lng"), ""},  // beyond the page, yet read back
        {QString::fromStdString(longest), longest + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        ml_.SetLanguageFile(c.file);
        ml_.StatusSave();
        if (!c.bytes.empty()) {
            EXPECT_EQ(ReadBytes(status), c.bytes);
        }
        ml_.SetLanguageFile("x");
        EXPECT_EQ(ml_.StatusLoad(), 0);
        EXPECT_EQ(ml_.LanguageFile(), c.file);
    }
    // One character more is neither stored nor taken: the old choice stays.
    ml_.SetLanguageFile(QString(255, 'b'));
    ml_.StatusSave();
    EXPECT_EQ(ReadBytes(status), longest + "\r\n");
}

TEST_F(MultiLanguage, StatusSaveKeepsWhatTheUserHasAroundTheFile) {
    // An unrelated file with the name a fixed temporary file would take stays as it is.
    const fs::path status = dir_ / "language.cfg";
    ml_.SetStatusFile(QString::fromStdString(status.string()));
    WriteBytes(dir_ / "language.cfg.tmp", "the user's own");
    ml_.SetLanguageFile("russian.lng");
    ml_.StatusSave();
    EXPECT_EQ(ReadBytes(status), "russian.lng\r\n");
    EXPECT_EQ(ReadBytes(dir_ / "language.cfg.tmp"), "the user's own");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);

    // A status file that is a link to one kept elsewhere stays a link; its target changes.
    fs::create_directory(dir_ / "kept");
    WriteBytes(dir_ / "kept" / "real.cfg", "old.lng\r\n");
    fs::remove(status);
    fs::create_symlink("kept/real.cfg", status);
    ml_.StatusSave();
    EXPECT_TRUE(fs::is_symlink(status));
    EXPECT_EQ(ReadBytes(dir_ / "kept" / "real.cfg"), "russian.lng\r\n");
}

TEST_F(MultiLanguage, StatusSaveWritesInPlaceInAFolderWithoutWriteAccess) {
    // Only the file is writable, as a shared program folder may be set up. Root ignores
    // permissions, so then the save runs as another user, who owns the file only.
    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    const fs::path status = locked / "language.cfg";
    WriteBytes(status, "english.lng\r\n");
    const bool root = ::geteuid() == 0;
    constexpr uid_t kOther = 65534;
    if (root) {
        ASSERT_EQ(::chmod(dir_.c_str(), 0711), 0);
        ASSERT_EQ(::chown(locked.c_str(), kOther, kOther), 0);
        ASSERT_EQ(::chown(status.c_str(), kOther, kOther), 0);
    }
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    ml_.SetStatusFile(QString::fromStdString(status.string()));
    ml_.SetLanguageFile("russian.lng");

    if (!root) {
        ml_.StatusSave();
    } else {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kOther) != 0 || ::setuid(kOther) != 0)
                ::_exit(2);
            ::_exit(::access(locked.c_str(), W_OK) == 0 ? 3 : (ml_.StatusSave(), 0));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(ReadBytes(status), "russian.lng\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 1);
}

// --- code pages and limits ---

TEST_F(MultiLanguage, SavedFileIsInThePageUnlessThePageLacksACharacter) {
    const struct {
        int page;
        const char* hint;     // frmMain.Label1.Hint
        const char* diagram;  // frmMain.imgDraw.Hint
        std::string hintBytes, diagramBytes;
    } cases[] = {
        {1252, "Choose", "Café", "Choose", "Caf\xE9"},
        // One Cyrillic letter makes the whole file UTF-8, without a byte-order mark.
        {1252, "Сhoose", "Café", "\xD0\xA1hoose", "Caf\xC3\xA9"},
        {1251, "Сhoose", "Скорость", "\xD1hoose", "\xD1\xEA\xEE\xF0\xEE\xF1\xF2\xFC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hint);
        TMultiLanguage ml(&app_, c.page);
        ml.SetLanguageFile(QString::fromStdString(lng_.string()));
        label1_->Set(P::Hint, Q(c.hint));
        image_->Set(P::Hint, Q(c.diagram));
        ml.SaveForm();
        const std::string bytes = ReadBytes(lng_);
        EXPECT_NE(bytes.find("frmMain.Label1.Hint:=" + c.hintBytes + "\r\n"), std::string::npos);
        EXPECT_NE(bytes.find("frmMain.imgDraw.Hint:=" + c.diagramBytes + "\r\n"),
                  std::string::npos);
        EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF"));

        label1_->Set(P::Hint, "x");
        image_->Set(P::Hint, "x");
        ml.LoadForm();
        EXPECT_EQ(label1_->Get(P::Hint), Q(c.hint));
        EXPECT_EQ(image_->Get(P::Hint), Q(c.diagram));
    }
}

TEST_F(MultiLanguage, FileIsReadAsUtf8WhenItIsElseInThePage) {
    const QString speed = Q("Скорость");
    const auto line = [](const std::string& value) {
        return "frmMain.Label1.Caption:=" + value + "\r\n";
    };
    const struct {
        int page;
        std::string file;
        QString caption;
    } cases[] = {
        {1252, line("Caf\xE9"), Q("Café")},  // not UTF-8
        {1251, line("\xD1\xEA\xEE\xF0\xEE\xF1\xF2\xFC"), speed},
        {1252, line(speed.toStdString()), speed},  // UTF-8 under a Western page
        {1252, "\xEF\xBB\xBF" + line(speed.toStdString()), speed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TMultiLanguage ml(&app_, c.page);
        ml.SetLanguageFile(QString::fromStdString(lng_.string()));
        WriteBytes(lng_, c.file);
        ml.LoadForm();
        EXPECT_EQ(label1_->Get(P::Caption), c.caption);
        EXPECT_EQ(ml.LngSearchFor("frmMain.Label1.Caption:="), c.caption);
    }
}

TEST_F(MultiLanguage, LongValuesAreCutAt255Characters) {
    WriteLanguageFile("frmMain.Label1.Caption:=" + std::string(300, 'v') + "\r\n" +
                      "frmMain.Label1.Hint:=" + std::string(254, 'h') +
                      "\xF0\x9F\x98\x80 tail\r\n");
    ml_.LoadForm();
    EXPECT_EQ(label1_->Get(P::Caption), QString(255, 'v'));
    // A character outside the basic plane is kept whole or not at all.
    EXPECT_EQ(label1_->Get(P::Hint), QString(254, 'h'));
    EXPECT_EQ(ml_.LngSearchFor("frmMain.Label1.Caption:=").size(), 255);
}

TEST_F(MultiLanguage, OverlongFullNameTakesNoPart) {
    const QString atLimit(254 - 8, 'n');  // "frmMain." + name = 254 characters
    const QString overLimit(255 - 8, 'o');
    FakeComponent& fits = frmMain_->Add(atLimit, kHintOnly);
    FakeComponent& tooLong = frmMain_->Add(overLimit, kHintOnly);
    ml_.SaveForm();
    const std::string saved = ReadBytes(lng_);
    EXPECT_NE(saved.find("frmMain." + atLimit.toStdString() + ".Hint:="), std::string::npos);
    EXPECT_EQ(saved.find(overLimit.toStdString()), std::string::npos);

    WriteLanguageFile("frmMain." + atLimit.toStdString() + ".Hint:=in\r\nfrmMain." +
                      overLimit.toStdString() + ".Hint:=out\r\n");
    ml_.LoadForm();
    EXPECT_EQ(fits.Get(P::Hint), "in");
    EXPECT_EQ(tooLong.Writes(), 0);
}
