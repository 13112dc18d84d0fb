// The shipped language files against the real main window: english.lng is what the window
// saves in its design state but for the run-time texts, russian.lng translates every line
// of it, and the running window switches to Russian and back.
//
// To write english.lng anew after a change of the window's texts, run this test program
// once with TORVANE_WRITE_ENGLISH_LNG=1.

#include "app/LanguageChoice.h"
#include "app/TfrmMain.h"
#include "language/MLanguage.h"
#include "util/CodePage.h"

#include <gtest/gtest.h>

#include "AppFakes.h"
#include "ScriptedRandom.h"
#include "TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kResources = fs::path(QT_TESTCASE_SOURCEDIR) / ".." / "resources";

using testfiles::ReadBytes;
using testfiles::WriteBytes;

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    EXPECT_EQ(start, bytes.size()) << "every line ends with CR LF";
    return lines;
}

std::string KeyOf(const std::string& line) {
    return line.substr(0, line.find(":=") + 2);
}

// The keys of the lines after the header.
std::vector<std::string> Keys(const std::vector<std::string>& lines) {
    std::vector<std::string> keys;
    for (size_t i = 6; i < lines.size(); ++i)
        keys.push_back(KeyOf(lines[i]));
    return keys;
}

// The five header lines and the empty one after them.
void ExpectHeader(const std::vector<std::string>& lines, const std::string& file,
                  const std::string& language) {
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(KeyOf(lines[2]), "Autor:=");
    EXPECT_EQ((std::vector{lines[0], lines[1], lines[3], lines[4], lines[5]}),
              (std::vector<std::string>{"FileName:=" + file, "Language:=" + language,
                                        "Programm:=Pellmor", "Version:=v1.01", ""}));
}

// The window's 95 text lines in file order, as the language file format defines them.
std::vector<std::string> ExpectedKeys() {
    // Each component as "name:kinds", kinds C Caption, T Text, H Hint; the window first.
    std::istringstream components(
        ":CH Label1:CH Label2:CH Label3:CH Label4:CH Label5:CH btnSelectLanguage:CH "
        "btnSaveOptions:CH Bevel1:H btnOtherLNG:CH Panel1:CH Panel3:CH Panel4:CH "
        "lblInetStat:CH lblLevelPerPeriod:CH lblAverageDiagram:CH lblLevelPerPeriodW:CH "
        "lblAverageDiagramW:CH Panel5:CH imgDraw:H lblLevel:CH Panel2:CH Image1:H Image2:H "
        "SpeedButton1:CH Panel7:CH edtConnectedSpeed:TH Panel8:CH edtByteReadToday:TH "
        "Panel9:CH edtByteWriteToday:TH Panel10:CH edtByteReadTodayLastSessinon:TH "
        "Panel11:CH edtByteWriteTodayLastSessinon:TH chkLine:CH trkVisible:H pnlLanguage:CH "
        "selAdapter:TH stbar:CH ProgressBar2:H btnd:CH btnSearch:CH SearchText:TH "
        "RxTrayIcon:H N2:CH N3:CH N1:CH ShowStatistic:CH slash:CH Exit:CH");
    const std::map<char, const char*> property = {{'C', "Caption"}, {'T', "Text"}, {'H', "Hint"}};
    std::vector<std::string> keys;
    for (std::string component; components >> component;) {
        const std::string name = component.substr(0, component.find(':'));
        const std::string prefix = "frmMain." + name + (name.empty() ? "" : ".");
        for (const char kind : component.substr(component.find(':') + 1))
            keys.push_back(prefix + property.at(kind) + ":=");
    }
    return keys;
}

// Lines of texts that the program itself writes while it runs (the versioned caption, the
// traffic figures, the connection state, the language's name, the adapter shown, the update
// progress, the query typed, the tray tooltip). A shipped file leaves them out: applied,
// they would only overwrite what the program shows with the values of another moment.
const std::set<std::string> kRunTimeKeys = [] {
    std::istringstream names(
        "Caption lblInetStat.Caption lblLevelPerPeriod.Caption lblAverageDiagram.Caption "
        "lblLevelPerPeriodW.Caption lblAverageDiagramW.Caption lblLevel.Caption "
        "edtConnectedSpeed.Text edtByteReadToday.Text edtByteWriteToday.Text "
        "edtByteReadTodayLastSessinon.Text edtByteWriteTodayLastSessinon.Text "
        "pnlLanguage.Caption selAdapter.Text stbar.Caption SearchText.Text RxTrayIcon.Hint");
    std::set<std::string> keys;
    for (std::string name; names >> name;)
        keys.insert("frmMain." + name + ":=");
    return keys;
}();

// A saved file as it is shipped: without the lines of run-time texts.
std::string WithoutRunTimeLines(const std::string& saved) {
    std::string kept;
    for (const std::string& line : Lines(saved)) {
        if (!kRunTimeKeys.contains(KeyOf(line))) kept += line + "\r\n";
    }
    return kept;
}

class LanguageFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        window_ = MakeWindow();
    }
    // The window in its design state; FormCreate has not run.
    std::unique_ptr<TfrmMain> MakeWindow() {
        auto window = std::make_unique<TfrmMain>(AppServices{
            .interfaceTable = table_,
            .settings = settings_,
            .clock = clock_,
            .random = random_,
            .urlOpener = browser_,
            .messages = messages_,
            .programFolder = dir_.string() + "/",
            .trayAvailable = [] { return true; },  // the tray icon is part of the design
            .languageDialog =
                [this](QWidget&) {
                    auto dialog = std::make_unique<apptest::ScriptedDialog>();
                    dialog_ = dialog.get();
                    return dialog;
                },
        });
        // The shipped file is made under the default Western page.
        window->Language().MultiLanguage().SetCodePage(1252);
        return window;
    }
    TMultiLanguage& MultiLanguage() { return window_->Language().MultiLanguage(); }
    std::string SaveNow(const std::string& name) {
        MultiLanguage().SetLanguageFile(QString::fromStdString(name));
        MultiLanguage().SaveForm();
        return ReadBytes(dir_ / name);
    }
    void Pick(const fs::path& file) {
        dialog_->answer = QString::fromStdString(file.string());
        apptest::Child<QToolButton>(*window_, "btnSelectLanguage")->click();
    }

    QTemporaryDir tmp_;
    fs::path dir_ = tmp_.path().toStdString();
    testfiles::CurrentFolder current_{dir_};  // names without a folder resolve here
    FakeInterfaceTable table_;
    FakeSettings settings_;
    FakeClock clock_;
    ScriptedRandom random_;
    RecordingOpener browser_;
    apptest::Messages messages_;
    apptest::ScriptedDialog* dialog_ = nullptr;
    std::unique_ptr<TfrmMain> window_;
};

}  // namespace

TEST_F(LanguageFiles, DesignStateSavesThe95LinesAndEnglishLngIsThemWithoutRunTimeTexts) {
    const std::string saved = SaveNow("english.lng");
    const std::vector<std::string> lines = Lines(saved);
    ASSERT_EQ(lines.size(), 6u + 95u);
    ExpectHeader(lines, "english.lng", "English");
    EXPECT_GT(lines[2].size(), 7u);  // the component's own author text
    EXPECT_EQ(Keys(lines), ExpectedKeys());
    EXPECT_EQ(lines[6], "frmMain.Caption:=Torvane");
    EXPECT_EQ(lines[7], "frmMain.Hint:=");
    EXPECT_EQ(lines[8], "frmMain.Label1.Caption:=Connected  speed");
    EXPECT_EQ(lines[9], "frmMain.Label1.Hint:=Connected speed");
    EXPECT_EQ(lines[10], "frmMain.Label2.Caption:=Bytes received");

    const std::string shipped = WithoutRunTimeLines(saved);
    if (std::getenv("TORVANE_WRITE_ENGLISH_LNG") != nullptr) {
        WriteBytes(kResources / "english.lng", shipped);
    }
    EXPECT_EQ(ReadBytes(kResources / "english.lng"), shipped);
}

TEST_F(LanguageFiles, RussianFileTranslatesEveryLineButTheRunTimeTexts) {
    const std::string bytes = ReadBytes(kResources / "russian.lng");
    EXPECT_TRUE(codepage::LooksLikeUtf8(bytes));
    EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF"));
    const std::vector<std::string> lines = Lines(bytes);
    ExpectHeader(lines, "russian.lng", "Русский");
    std::vector<std::string> expected = ExpectedKeys();
    std::erase_if(expected, [](const std::string& key) { return kRunTimeKeys.contains(key); });
    EXPECT_EQ(Keys(lines), expected);
}

// What the user sees: the window in Russian, the choice kept for the next start, and English
// again exactly as the English file has it.
TEST_F(LanguageFiles, TheWindowSwitchesToRussianKeepsItAndSwitchesBack) {
    window_->FormCreate();
    const QString caption = window_->windowTitle();
    ASSERT_TRUE(caption.startsWith("Torvane v"));
    fs::copy_file(kResources / "russian.lng", dir_ / "russian.lng");
    fs::copy_file(kResources / "english.lng", dir_ / "english.lng");
    const auto save = [&] { return apptest::Child<QToolButton>(*window_, "btnSaveOptions"); };
    const auto select = [&] { return apptest::Child<QToolButton>(*window_, "btnSelectLanguage"); };
    const auto language = [&] { return apptest::Child<QLabel>(*window_, "pnlLanguage")->text(); };

    Pick(dir_ / "russian.lng");
    EXPECT_EQ(language(), "Русский");
    EXPECT_EQ(select()->text(), "Сменить язык");
    EXPECT_EQ(select()->toolTip(), "Выбрать файл языка");
    EXPECT_EQ(apptest::Child<QAction>(*window_, "N2")->text(), "Открыть сайт программы");
    EXPECT_EQ(apptest::Child<QAction>(*window_, "ShowStatistic")->toolTip(), "Показать статистику");
    EXPECT_EQ(apptest::Child<QAction>(*window_, "Exit")->text(), "Выход");
    EXPECT_EQ(window_->windowTitle(), caption);  // a second start still finds this copy
    ASSERT_FALSE(save()->isHidden());
    save()->click();
    EXPECT_TRUE(save()->isHidden());
    EXPECT_EQ(ReadBytes(dir_ / "language.cfg"), (dir_ / "russian.lng").string() + "\r\n");

    window_.reset();
    window_ = MakeWindow();
    window_->FormCreate();
    EXPECT_EQ(apptest::Child<QLabel>(*window_, "Label1")->text(), "Скорость соединения");
    EXPECT_EQ(language(), "Русский");
    EXPECT_EQ(window_->windowTitle(), caption);
    EXPECT_TRUE(save()->isHidden());

    // Back to English: every text as the English file has it, the caption untouched.
    Pick(dir_ / "english.lng");
    EXPECT_EQ(language(), "English");
    EXPECT_EQ(select()->toolTip(), QString::fromUtf8("Сhoose a language file"));
    const std::string now = WithoutRunTimeLines(SaveNow("now.lng"));
    const auto body = [](const std::string& file) { return file.substr(file.find("\r\n") + 2); };
    EXPECT_EQ(body(now), body(ReadBytes(kResources / "english.lng")));
}
