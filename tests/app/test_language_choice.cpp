// The language choice over real Qt controls: the window adapter (which controls, which
// properties, how they are set), the start-up steps, the three language buttons and the
// real open-file dialog. The window here carries a few of frmMain's controls with the
// agreed classes; the complete window is checked in test_language_files.cpp.

#include "app/FormLanguageAdapter.h"
#include "app/LanguageChoice.h"
#include "util/CodePage.h"

#include <gtest/gtest.h>

#include "AppFakes.h"
#include "TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

using testfiles::ReadBytes;
using testfiles::WriteBytes;

// A window with some of frmMain's controls, built as the real one builds them.
struct MiniWindow {
    MiniWindow() {
        window.setObjectName("frmMain");
        window.setWindowTitle("Torvane v" TORVANE_TEST_VERSION);
        auto* panel = Make<QLabel>("Panel1", &window);
        label1 = Make<QLabel>("Label1", panel);  // inside a panel, owned by the window
        label1->setText("Connected  speed");
        label1->setToolTip("Connected speed");
        edit = Make<QLineEdit>("edtConnectedSpeed", &window);
        edit->setText("0");
        search = Make<QComboBox>("SearchText", &window);
        search->setEditable(true);
        search->addItems({"first query", "second query"});
        search->setEditText("");
        adapters = Make<QComboBox>("selAdapter", &window);
        adapters->addItems({"eth0 Intel", "wlan0 Realtek"});
        adapters->setCurrentIndex(1);
        check = Make<QCheckBox>("chkLine", &window);
        check->setText("Graph line/bar");
        Make<QSlider>("trkVisible", &window)->setToolTip("");
        language = Make<QLabel>("pnlLanguage", &window);
        language->setText("English");
        Make<QToolButton>("btnOtherLNG", &window)->setText("Other languages");
        select = Make<QToolButton>("btnSelectLanguage", &window);
        select->setText("Change language");
        select->setToolTip(QString::fromUtf8("Сhoose a language file"));
        save = Make<QToolButton>("btnSaveOptions", &window);
        save->setText("Save Options");
        save->hide();
        tray = Make<QSystemTrayIcon>("RxTrayIcon", &window);
        tray->setToolTip("Torvane");
        // The tray menu lives apart from the window, as tray menus often do.
        menu.setObjectName("PopupMenu");
        homepage = menu.addAction("Visit programm homepage");
        homepage->setObjectName("N2");
        statistic = menu.addAction("Show Statistic");
        statistic->setObjectName("ShowStatistic");
        statistic->setToolTip("Show Statistic");
        tray->setContextMenu(&menu);
    }
    template <typename T, typename Parent>
    static T* Make(const char* name, Parent* parent) {
        auto* object = new T(parent);
        object->setObjectName(name);
        return object;
    }

    QWidget window;
    QMenu menu;
    QLabel* label1;
    QLineEdit* edit;
    QComboBox* search;
    QComboBox* adapters;
    QCheckBox* check;
    QLabel* language;
    QToolButton* select;
    QToolButton* save;
    QSystemTrayIcon* tray;
    QAction* homepage;
    QAction* statistic;
};

class LanguageChoiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        fs::create_directory(programFolder_);
    }
    std::unique_ptr<LanguageChoice> MakeChoice(MiniWindow& w,
                                               apptest::ScriptedDialog** dialog = nullptr) {
        auto scripted = std::make_unique<apptest::ScriptedDialog>();
        if (dialog) *dialog = scripted.get();
        return std::make_unique<LanguageChoice>(w.window, *w.language, *w.save, opener_,
                                                "http://www.example.com",
                                                programFolder_.string() + "/", std::move(scripted));
    }
    // The choice after the window's start-up steps.
    std::unique_ptr<LanguageChoice> Started(MiniWindow& w,
                                            apptest::ScriptedDialog** dialog = nullptr) {
        auto choice = MakeChoice(w, dialog);
        choice->FormCreateLanguage();
        return choice;
    }
    fs::path Lng(const std::string& name, const std::string& body) {
        WriteBytes(dir_ / name, body);
        return dir_ / name;
    }

    QTemporaryDir tmp_;
    fs::path dir_ = tmp_.path().toStdString();
    fs::path programFolder_ = dir_ / "program";
    // Relative names resolve against the current folder; keep it away from the program's.
    testfiles::CurrentFolder current_{dir_};
    RecordingOpener opener_;
};

const std::string kGerman =
    "FileName:=german.lng\r\nLanguage:=Deutsch\r\nAutor:=X\r\nProgramm:=Pellmor\r\n"
    "Version:=v1.01\r\n\r\n"
    "frmMain.Label1.Caption:=Verbindungsgeschwindigkeit\r\n"
    "frmMain.btnSelectLanguage.Caption:=Sprache wechseln\r\n"
    "frmMain.pnlLanguage.Caption:=overridden by Language\r\n";

}  // namespace

// --- the window adapter ---

TEST_F(LanguageChoiceTest, SavedFileHoldsThePresentControlsInWindowOrder) {
    MiniWindow w;
    auto choice = MakeChoice(w);
    choice->MultiLanguage().SetLanguageFile(QString::fromStdString((dir_ / "out.lng").string()));
    choice->MultiLanguage().SaveForm();
    const QString saved =
        codepage::FromFileText(ReadBytes(dir_ / "out.lng"), choice->MultiLanguage().CodePage());
    const QString body = saved.mid(saved.indexOf("\r\n\r\n") + 4);
    // The texts, control by control in window order.
    EXPECT_EQ(body.toStdString(),
              "frmMain.Caption:=Torvane v" TORVANE_TEST_VERSION
              "\r\nfrmMain.Hint:=\r\n"
              "frmMain.Label1.Caption:=Connected  speed\r\nfrmMain.Label1.Hint:=Connected speed\r\n"
              "frmMain.btnSelectLanguage.Caption:=Change language\r\n"
              "frmMain.btnSelectLanguage.Hint:=\u0421hoose a language file\r\n"
              "frmMain.btnSaveOptions.Caption:=Save Options\r\nfrmMain.btnSaveOptions.Hint:=\r\n"
              "frmMain.btnOtherLNG.Caption:=Other languages\r\nfrmMain.btnOtherLNG.Hint:=\r\n"
              "frmMain.Panel1.Caption:=\r\nfrmMain.Panel1.Hint:=\r\n"
              "frmMain.edtConnectedSpeed.Text:=0\r\nfrmMain.edtConnectedSpeed.Hint:=\r\n"
              "frmMain.chkLine.Caption:=Graph line/bar\r\nfrmMain.chkLine.Hint:=\r\n"
              "frmMain.trkVisible.Hint:=\r\n"
              "frmMain.pnlLanguage.Caption:=English\r\nfrmMain.pnlLanguage.Hint:=\r\n"
              "frmMain.selAdapter.Text:=wlan0 Realtek\r\nfrmMain.selAdapter.Hint:=\r\n"
              "frmMain.SearchText.Text:=\r\nfrmMain.SearchText.Hint:=\r\n"
              "frmMain.RxTrayIcon.Hint:=Torvane\r\n"
              // N2 has no tooltip of its own, whatever Qt shows.
              "frmMain.N2.Caption:=Visit programm homepage\r\nfrmMain.N2.Hint:=\r\n"
              "frmMain.ShowStatistic.Caption:=Show Statistic\r\n"
              "frmMain.ShowStatistic.Hint:=Show Statistic\r\n");
    // Reading the menu items' hints leaves their texts alone.
    EXPECT_EQ(w.homepage->text(), "Visit programm homepage");
}

TEST_F(LanguageChoiceTest, LoadingSetsEveryKindOfControl) {
    MiniWindow w;
    auto choice = MakeChoice(w);
    QSignalSpy adapterChanges(w.adapters, &QComboBox::currentIndexChanged);
    QSignalSpy searchChanges(w.search, &QComboBox::editTextChanged);
    const fs::path lng = Lng("all.lng",
                             "frmMain.Caption:=Torvane\r\n"
                             "frmMain.Hint:=Fenster\r\n"
                             "frmMain.Label1.Hint:=Tempo\r\n"
                             "frmMain.edtConnectedSpeed.Text:=12 345\r\n"
                             "frmMain.chkLine.Caption:=Linie/Balken\r\n"
                             "frmMain.trkVisible.Hint:=Transparenz\r\n"
                             "frmMain.SearchText.Text:=was suchen\r\n"
                             "frmMain.selAdapter.Text:=eth0 Intel\r\n"
                             "frmMain.RxTrayIcon.Hint:=Verkehr\r\n"
                             "frmMain.N2.Caption:=Programmseite\r\n"
                             "frmMain.N2.Hint:=Zur Seite\r\n");
    choice->MultiLanguage().SetLanguageFile(QString::fromStdString(lng.string()));
    choice->MultiLanguage().LoadForm();

    EXPECT_EQ(w.window.windowTitle(), "Torvane");  // replaces the versioned caption
    EXPECT_EQ(w.window.toolTip(), "Fenster");
    EXPECT_EQ(w.label1->toolTip(), "Tempo");
    EXPECT_EQ(w.label1->text(), "Connected  speed");
    EXPECT_EQ(w.edit->text(), "12 345");
    EXPECT_EQ(w.check->text(), "Linie/Balken");
    EXPECT_EQ(w.window.findChild<QSlider*>("trkVisible")->toolTip(), "Transparenz");
    EXPECT_EQ(w.search->currentText(), "was suchen");
    EXPECT_EQ(w.search->count(), 2);  // the history list is not touched
    EXPECT_EQ(w.adapters->currentIndex(), 0);
    EXPECT_EQ(w.tray->toolTip(), "Verkehr");
    EXPECT_EQ(w.homepage->text(), "Programmseite");
    EXPECT_EQ(w.homepage->toolTip(), "Zur Seite");
    // Setting texts is no user's choice: the boxes' change handlers do not run.
    EXPECT_EQ(adapterChanges.count(), 0);
    EXPECT_EQ(searchChanges.count(), 0);

    // A pick-only list shows the item with exactly that text, or none.
    for (const char* other : {"ETH0 INTEL", "eth0", "vanished adapter", ""}) {
        w.adapters->setCurrentIndex(0);
        WriteBytes(lng, std::string("frmMain.selAdapter.Text:=") + other + "\r\n");
        choice->MultiLanguage().LoadForm();
        EXPECT_EQ(w.adapters->currentIndex(), -1) << other;
    }
}

TEST_F(LanguageChoiceTest, MissingControlsAndAGoneWindowAreSkipped) {
    auto w = std::make_unique<MiniWindow>();
    delete w->label1;
    delete w->tray;
    auto choice = MakeChoice(*w);
    const fs::path lng = Lng("x.lng", kGerman + "frmMain.RxTrayIcon.Hint:=x\r\n");
    choice->MultiLanguage().SetLanguageFile(QString::fromStdString(lng.string()));
    choice->MultiLanguage().LoadForm();
    EXPECT_EQ(w->select->text(), "Sprache wechseln");
    // The menu items stay reachable through the window only via the tray; with it gone they
    // take no part.
    choice->MultiLanguage().SetLanguageFile(QString::fromStdString((dir_ / "o.lng").string()));
    choice->MultiLanguage().SaveForm();
    const std::string saved = ReadBytes(dir_ / "o.lng");
    EXPECT_EQ(saved.find("Label1"), std::string::npos);
    EXPECT_EQ(saved.find("RxTrayIcon"), std::string::npos);
    EXPECT_EQ(saved.find("frmMain.N2"), std::string::npos);

    w.reset();  // the window is gone; the component must not reach for it
    choice->MultiLanguage().LoadForm();
    choice->MultiLanguage().SaveForm();
    choice->btnSaveOptionsClick();
    EXPECT_EQ(ReadBytes(dir_ / "o.lng").find("frmMain"), std::string::npos);
}

// --- start-up and the three buttons ---

TEST_F(LanguageChoiceTest, StartWithoutAUsableLanguageFileShowsBuiltInTexts) {
    // The first start (no status file), then one whose remembered file was deleted.
    for (const bool remembered : {false, true}) {
        SCOPED_TRACE(remembered);
        if (remembered) WriteBytes(programFolder_ / "language.cfg", "/gone/german.lng\r\n");
        MiniWindow w;
        auto choice = Started(w);
        EXPECT_EQ(choice->MultiLanguage().StatusFile().toStdString(),
                  (programFolder_ / "language.cfg").string());
        EXPECT_EQ(choice->MultiLanguage().LanguageFile(),
                  remembered ? "/gone/german.lng" : "english.lng");
        EXPECT_EQ(w.language->text(), "English");
        EXPECT_EQ(w.select->text(), "Change language");
        EXPECT_EQ(w.window.windowTitle(), "Torvane v" TORVANE_TEST_VERSION);
    }
}

TEST_F(LanguageChoiceTest, PickingSavingAndRestarting) {
    MiniWindow w;
    apptest::ScriptedDialog* dialog = nullptr;
    auto choice = Started(w, &dialog);

    // Cancelled: nothing changes.
    choice->btnSelectLanguageClick();
    ASSERT_EQ(dialog->folders.size(), 1u);
    EXPECT_EQ(dialog->folders[0].toStdString(), programFolder_.string() + "/");
    EXPECT_TRUE(w.save->isHidden());
    EXPECT_EQ(choice->MultiLanguage().LanguageFile(), "english.lng");

    const fs::path german = Lng("german.lng", kGerman);
    dialog->answer = QString::fromStdString(german.string());
    choice->btnSelectLanguageClick();
    EXPECT_EQ(w.select->text(), "Sprache wechseln");
    EXPECT_EQ(w.language->text(), "Deutsch");
    EXPECT_FALSE(w.save->isHidden());

    // A file without "Language:=" leaves the panel with the previous name.
    const fs::path bare = Lng("bare.lng", "frmMain.chkLine.Caption:=Linie\r\n");
    dialog->answer = QString::fromStdString(bare.string());
    choice->btnSelectLanguageClick();
    EXPECT_EQ(w.check->text(), "Linie");
    EXPECT_EQ(w.language->text(), "Deutsch");

    // Without "Save Options" a restart goes back to the remembered choice (none).
    {
        MiniWindow restarted;
        auto second = Started(restarted);
        EXPECT_EQ(restarted.select->text(), "Change language");
    }

    // The last pick is remembered.
    dialog->answer = QString::fromStdString(german.string());
    choice->btnSelectLanguageClick();
    choice->btnSaveOptionsClick();
    EXPECT_TRUE(w.save->isHidden());
    EXPECT_EQ(ReadBytes(programFolder_ / "language.cfg"), german.string() + "\r\n");
    MiniWindow restarted;
    auto second = Started(restarted);
    EXPECT_EQ(restarted.select->text(), "Sprache wechseln");
    EXPECT_EQ(restarted.label1->text(), "Verbindungsgeschwindigkeit");
    EXPECT_EQ(restarted.language->text(), "Deutsch");  // Language, not the panel's own line
    EXPECT_TRUE(restarted.save->isHidden());
}

TEST_F(LanguageChoiceTest, SaveOptionsHidesItselfEvenWhenTheStatusCannotBeWritten) {
    MiniWindow w;
    auto choice = Started(w);
    fs::remove_all(programFolder_);
    w.save->show();
    choice->btnSaveOptionsClick();
    EXPECT_TRUE(w.save->isHidden());
    EXPECT_FALSE(fs::exists(programFolder_));
}

TEST_F(LanguageChoiceTest, OtherLanguagesOpensTheTranslationsPage) {
    MiniWindow w;
    auto choice = MakeChoice(w);
    choice->btnOtherLNGClick();
    EXPECT_EQ(opener_.opened,
              std::vector<std::string>{"http://www.example.com/tvr_translate.html"});
}

TEST_F(LanguageChoiceTest, RealDialogPicksAnExistingLanguageFile) {
    const fs::path german = Lng("german.lng", kGerman);
    Lng("notes.txt", "x");
    QWidget parent;
    auto dialog = MakeLanguageFileDialog(&parent);
    const QString folder = QString::fromStdString(dir_.string() + "/");

    // Looks at the open dialog once the event loop runs inside exec(), then answers it.
    const auto answer = [](std::function<void(QFileDialog&)> act) {
        QTimer::singleShot(0, [act] {
            auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(open, nullptr);
            act(*open);
        });
    };

    answer([&](QFileDialog& open) {
        EXPECT_EQ(open.nameFilters(), QStringList{"Language file (*.lng)"});
        EXPECT_EQ(open.defaultSuffix(), "lng");
        EXPECT_EQ(open.fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(open.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_TRUE(open.isSizeGripEnabled());
        EXPECT_EQ(fs::path(open.directory().absolutePath().toStdString()), dir_);
        ASSERT_EQ(open.selectedFiles().size(), 1);
        EXPECT_EQ(fs::path(open.selectedFiles()[0].toStdString()).filename(), "english.lng");
        open.reject();
    });
    EXPECT_EQ(dialog->Choose(folder), std::nullopt);

    answer([&](QFileDialog& open) {
        open.selectFile(QString::fromStdString(german.string()));
        QMetaObject::invokeMethod(&open, "accept");
    });
    const auto chosen = dialog->Choose(folder);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(fs::path(chosen->toStdString()), german);

    // The next time the dialog offers the last choice.
    answer([&](QFileDialog& open) {
        EXPECT_EQ(fs::path(open.selectedFiles().value(0).toStdString()), german);
        open.reject();
    });
    dialog->Choose(QString::fromStdString(programFolder_.string() + "/"));
}

TEST(LanguagePictures, ButtonPicturesAre20By20WithTransparentCorners) {
    for (const QIcon& icon : {SelectLanguagePicture(), SaveOptionsPicture()}) {
        ASSERT_FALSE(icon.isNull());
        const QImage image = icon.pixmap(20, 20).toImage();
        EXPECT_EQ(image.size(), QSize(20, 20));
        EXPECT_EQ(qAlpha(image.pixel(0, 19)), 0);
        EXPECT_EQ(qAlpha(image.pixel(19, 0)) + qAlpha(image.pixel(0, 0)), 0);
        EXPECT_GT(qAlpha(image.pixel(10, 12)), 200);
    }
}
