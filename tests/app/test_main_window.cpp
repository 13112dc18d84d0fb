// The main window's life: start-up sequence, tray toggling, closing and exiting, keys,
// transparency, size, the adapter list and the search box, with fakes for the system.

#include "AppFakes.h"
#include "Eventually.h"
#include "UserInput.h"
#include "app/AdapterComboBox.h"
#include "app/BuildConfig.h"
#include "app/FormComponents.h"
#include "app/TrayDock.h"
#include "util/funcQuendra.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <chrono>

using apptest::Rig;
using apptest::Row;

namespace {

const QString kPrompt = QString::fromUtf8(
    "\xD0\x9F\xD0\xBE\xD0\xB6\xD0\xB0\xD0\xBB\xD1\x83\xD0\xB9\xD1\x81\xD1\x82\xD0\xB0 "
    "\xD0\xB2\xD1\x8B\xD0\xB1\xD0\xB5\xD1\x80\xD0\xB8\xD1\x82\xD0\xB5 "
    "\xD1\x81\xD0\xB5\xD1\x82\xD0\xB5\xD0\xB2\xD0\xBE\xD0\xB9 "
    "\xD0\xB0\xD0\xB4\xD0\xB0\xD0\xBF\xD1\x82\xD0\xB5\xD1\x80");  // the adapter prompt
const QString kFast = "Fast Ethernet Adapter [00-0C-29-AB-01-FF]";
const QString kWireless = "air link [02-00-00-00-00-07]";
const std::string kHelp = std::string(build_config::kMakerUrl) + "/tvr.html";
// The caption a later start looks for. (This test program carries no version record of its
// own; the real executable's caption is checked end to end.)
const QString kCaption = QString::fromStdString("Torvane v" + GetExeVersion());

class MainWindowTest : public ::testing::Test {
  protected:
    Rig rig;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override {
        rig.table.rows = std::vector<IfRow>{
            Row({0x00, 0x0C, 0x29, 0xAB, 0x01, 0xFF}, "Fast Ethernet Adapter", 2),
            Row({0x02, 0, 0, 0, 0, 0x07}, "air link", 3)};
    }

    TfrmMain& Start() {
        window = rig.MakeWindow();
        window->FormCreate();
        return *window;
    }

    const form::MainControls& C() const { return window->Controls(); }
    AdapterComboBox* Adapters() const { return C().selAdapter; }
    QComboBox* Search() const { return C().SearchText; }
    QSystemTrayIcon* TrayIcon() const { return window->findChild<QSystemTrayIcon*>(); }

    QStringList AdapterItems() const {
        QStringList items;
        for (int i = 0; i < Adapters()->count(); ++i)
            items << Adapters()->itemText(i);
        return items;
    }

    // A pick in the open list, as the user's mouse makes it; `meanwhile` runs while the list
    // is open.
    void Pick(const QString& item, const std::function<void()>& meanwhile = {}) {
        Adapters()->showPopup();
        if (meanwhile) meanwhile();
        const int index = Adapters()->findText(item);
        ASSERT_GE(index, 0);
        QAbstractItemView* list = Adapters()->view();
        ASSERT_EVENTUALLY(list->isVisible(), 2000);
        const QPoint at = list->visualRect(list->model()->index(index, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EVENTUALLY(!list->isVisible(), 2000);
    }
    // Timer2's one tick, the update due test, which switches Timer1 off.
    void Timer2Fires() {
        C().Timer2->start(0);
        EXPECT_EVENTUALLY(!C().Timer2->isActive(), 2000);
    }
};

TEST_F(MainWindowTest, StartUpLeavesAHiddenWindowWithRunningTimersAndTheVersionedCaption) {
    Start();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), kCaption);
    for (const QTimer* timer : {C().tmrDraw, C().tmrRefresh, C().Timer1, C().Timer2, C().tmrBanner})
        EXPECT_TRUE(timer->isActive()) << timer->objectName().toStdString();
    // One sampling and one diagram tick ran: the fields and the status are written.
    EXPECT_EQ(C().edtConnectedSpeed->text(), "0");
    EXPECT_EQ(C().lblInetStat->text(), "Offline");
    EXPECT_EQ(TrayIcon()->toolTip(), "Pellmor ( OFFline )");
    // The diagram is cleared to the button face.
    const QImage diagram = C().imgDraw->pixmap().toImage();
    ASSERT_EQ(diagram.size(), QSize(342, 39));
    EXPECT_EQ(diagram.pixelColor(0, 0), window->palette().color(QPalette::Button));
    EXPECT_EQ(diagram.pixelColor(341, 38), window->palette().color(QPalette::Button));
    // The list is filled, sorted without regard to case, and nothing is chosen.
    EXPECT_EQ(AdapterItems(), QStringList({kWireless, kFast}));
    EXPECT_EQ(Adapters()->currentIndex(), -1);
    EXPECT_TRUE(rig.messages.shown.empty());  // no remembered adapter: no prompt
    EXPECT_EQ(ToNumber(window->bannerState()), 0);
    EXPECT_EQ(window->bannerLoc(), std::string("http%3A//catalogue.example.com/"));
    EXPECT_GE(window->bannerNoCache(), 0);
    EXPECT_LE(window->bannerNoCache(), 99999);
    EXPECT_TRUE(C().Image2->isHidden());
    EXPECT_TRUE(QFile::exists(rig.File("search.csv")));  // created empty
    // The three HTTP clients with the settings they keep for good.
    for (const HttpClient* client : {C().HttpCli1, C().HttpCli2, C().getpic}) {
        EXPECT_EQ(client->Accept, "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
        EXPECT_EQ(client->LocalAddr, "0.0.0.0");
        EXPECT_FALSE(client->MultiThreaded);
    }
    EXPECT_EQ(C().HttpCli1->Agent, "Mozilla/6.0 (compatible)");
    EXPECT_EQ(C().HttpCli2->Agent, "Mozilla/6.0 (compatible)");
    EXPECT_EQ(C().getpic->Agent, "Quendra group Check update");
    EXPECT_TRUE(C().getpic->NoCache);
}

TEST_F(MainWindowTest, AnErrorInAStartUpStepIsShownOnceAndSkipsTheRest) {
    rig.table.throwOnRead = true;  // the adapter list of step 12 fails
    rig.settings.values["adapter"] = kFast;
    Start();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, "interface table exploded");
    EXPECT_EQ(rig.messages.shown[0].icon, QMessageBox::Critical);
    // Steps before it ran ...
    EXPECT_EQ(window->windowTitle(), kCaption);
    EXPECT_EQ(C().pnlLanguage->text(), "English");
    EXPECT_EQ(C().edtByteReadToday->text(), "0");
    EXPECT_TRUE(C().tmrRefresh->isActive());
    // ... the one after it did not: no adapter.
    EXPECT_EQ(Adapters()->count(), 0);
    EXPECT_TRUE(window->Monitor().SelectedAdapter().empty());
}

TEST_F(MainWindowTest, RememberedAdapterIsRestoredIgnoringCaseOrPromptedWhenGone) {
    rig.settings.values["adapter"] = kFast.toUpper();
    Start();
    EXPECT_EQ(Adapters()->currentText(), kFast);
    EXPECT_EQ(window->Monitor().SelectedAdapter(), "00-0C-29-AB-01-FF");
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.settings.values["adapter"], kFast);  // the choice is written again

    Rig other;
    other.table.rows = rig.table.rows;
    other.settings.values["adapter"] = "Fast Ethernet Adapter v2 [00-0C-29-AB-01-FF]";
    auto second = other.MakeWindow();
    second->FormCreate();
    EXPECT_EQ(second->Controls().selAdapter->currentIndex(), -1);
    EXPECT_TRUE(second->Monitor().SelectedAdapter().empty());
    ASSERT_EQ(other.messages.shown.size(), 1u);
    EXPECT_EQ(other.messages.shown[0].text, kPrompt);
    EXPECT_EQ(other.messages.shown[0].icon, QMessageBox::NoIcon);
}

TEST_F(MainWindowTest, PickingAnAdapterChoosesItAndAFailedWriteReachesTheUser) {
    Start();
    window->ShowFromTray();
    Timer2Fires();  // a choice brings Timer1 back
    ASSERT_FALSE(C().Timer1->isActive());
    Pick(kWireless);
    EXPECT_EQ(window->Monitor().SelectedAdapter(), "02-00-00-00-00-07");
    EXPECT_EQ(rig.settings.values["adapter"], kWireless);
    EXPECT_TRUE(C().tmrRefresh->isActive());
    EXPECT_TRUE(C().Timer1->isActive());

    // The adapter went away after the list was built: the prompt, nothing selected.
    Pick(kWireless, [this] { rig.table.rows->pop_back(); });
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, kPrompt);
    EXPECT_TRUE(window->Monitor().SelectedAdapter().empty());

    rig.settings.failWrites = true;
    Pick(kFast);
    ASSERT_EQ(rig.messages.shown.size(), 2u);
    EXPECT_EQ(rig.messages.shown[1].text, "Cannot write the setting \"adapter\"");
}

TEST_F(MainWindowTest, OpeningTheListRebuildsItButKeepsTheChoiceWithoutAChange) {
    rig.settings.values["adapter"] = kFast;
    Start();
    const int writes = rig.settings.writes;
    rig.table.rows->push_back(Row({0x0A, 1, 2, 3, 4, 5}, "Backup NIC", 9));
    QSignalSpy activated(Adapters(), &QComboBox::activated);
    Adapters()->showPopup();
    Adapters()->hidePopup();
    EXPECT_EQ(AdapterItems(), QStringList({kWireless, "Backup NIC [0A-01-02-03-04-05]", kFast}));
    EXPECT_EQ(Adapters()->currentText(), kFast);
    EXPECT_EQ(activated.count(), 0);
    EXPECT_EQ(rig.settings.writes, writes);  // no choice was made
    EXPECT_EQ(window->Monitor().SelectedAdapter(), "00-0C-29-AB-01-FF");
}

TEST_F(MainWindowTest, TheAdapterListCannotBeChangedFromTheKeyboardOrTheWheel) {
    rig.settings.values["adapter"] = kFast;
    Start();
    window->ShowFromTray();
    ASSERT_TRUE(apptest::FocusOn(*Adapters()));
    const int writes = rig.settings.writes;
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End, Qt::Key_A, Qt::Key_F1,
                        Qt::Key_Space}) {
        apptest::Press(key);
    }
    apptest::Press(Qt::Key_Down, Qt::AltModifier);
    QWheelEvent wheel(QPointF(5, 5), Adapters()->mapToGlobal(QPointF(5, 5)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Adapters(), &wheel);
    EXPECT_EQ(Adapters()->currentText(), kFast);
    EXPECT_EQ(rig.settings.writes, writes);
    EXPECT_TRUE(rig.opener.opened.empty());  // F1 does nothing here
    EXPECT_FALSE(Adapters()->view()->isVisible());
}

TEST_F(MainWindowTest, F1OpensTheHelpPageOnceInTheListedControlsAndKeysGoOn) {
    Start();
    window->ShowFromTray();
    for (QWidget* control :
         {static_cast<QWidget*>(Search()), static_cast<QWidget*>(C().btnSearch),
          static_cast<QWidget*>(C().chkLine), static_cast<QWidget*>(C().trkVisible)}) {
        rig.opener.opened.clear();
        ASSERT_TRUE(apptest::FocusOn(*control));
        apptest::Press(Qt::Key_F1);
        EXPECT_EQ(rig.opener.opened, std::vector<std::string>{kHelp})
            << control->objectName().toStdString();
    }
    // The window itself, when no control has the focus.
    rig.opener.opened.clear();
    QApplication::focusWidget()->clearFocus();
    apptest::Press(Qt::Key_F1);
    EXPECT_EQ(rig.opener.opened, std::vector<std::string>{kHelp});

    // Keys are not swallowed: typing still reaches the controls.
    ASSERT_TRUE(apptest::FocusOn(*Search()));
    apptest::Type("abc");
    EXPECT_EQ(Search()->currentText(), "abc");
    ASSERT_TRUE(apptest::FocusOn(*C().trkVisible));
    apptest::Press(Qt::Key_Left);
    EXPECT_EQ(C().trkVisible->value(), 254);
}

// The results page of a query as the browser receives it.
std::string PageFor(const std::string& encoded) {
    return std::string(build_config::kSearchUrl) + "/rsearch?text=" + encoded + "&from=prgTVR";
}

TEST_F(MainWindowTest, TheSearchTakesTheTextAsTypedByEnterSpaceOrClick) {
    {
        QFile history(rig.File("search.csv"));
        ASSERT_TRUE(history.open(QIODevice::WriteOnly));
        history.write("07.12.2026;weather\r\n06.12.2026;a;b\r\n");
    }
    Start();
    ASSERT_EQ(Search()->count(), 2);
    EXPECT_EQ(Search()->itemText(0), "a;b");
    EXPECT_EQ(Search()->itemText(1), "weather");
    EXPECT_EQ(Search()->currentText(), "");
    window->ShowFromTray();
    auto* button = C().btnSearch;

    // Every way of starting the search, with the box's text exactly as typed: nothing
    // completes a prefix of an entry or turns a query into an entry in other letter case.
    enum class How { EnterInBox, ClickOnButton, SpaceOnButton, EnterOnButton };
    const struct {
        const char* typed;
        How start;
        std::string encoded;
    } cases[] = {
        {"abc", How::EnterInBox, "%61%62%63"},
        {"weat", How::EnterInBox, "%77%65%61%74"},
        {"Weather", How::ClickOnButton, "%57%65%61%74%68%65%72"},
        {"a;b", How::SpaceOnButton, "%61%3B%62"},
        {"WEATHER", How::EnterOnButton, "%57%45%41%54%48%45%52"},
    };
    for (const auto& c : cases) {
        rig.opener.opened.clear();
        ASSERT_TRUE(apptest::FocusOn(*Search()));
        apptest::Press(Qt::Key_A, Qt::ControlModifier);  // the old text goes on typing
        apptest::Type(c.typed);
        EXPECT_EQ(Search()->currentText().toStdString(), c.typed);
        switch (c.start) {
            case How::EnterInBox:
                apptest::Press(Qt::Key_Return);
                break;
            case How::ClickOnButton:
                QTest::mouseClick(button, Qt::LeftButton);
                break;
            case How::SpaceOnButton:
            case How::EnterOnButton:
                apptest::Press(Qt::Key_Tab);
                ASSERT_TRUE(button->hasFocus());
                apptest::Press(c.start == How::SpaceOnButton ? Qt::Key_Space : Qt::Key_Return);
                break;
        }
        EXPECT_EQ(rig.opener.opened, std::vector<std::string>{PageFor(c.encoded)}) << c.typed;
        EXPECT_EQ(Search()->currentText().toStdString(), c.typed);  // the box keeps its text
    }
    // Only the two new queries were recorded; entries in other letter case count as known.
    EXPECT_EQ(Search()->count(), 4);
    QFile history(rig.File("search.csv"));
    ASSERT_TRUE(history.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = history.readAll().split('\n');
    ASSERT_EQ(lines.size(), 5);  // four lines and the empty rest after the last
    EXPECT_TRUE(lines[2].endsWith(";abc\r"));
    EXPECT_TRUE(lines[3].endsWith(";weat\r"));
}

TEST_F(MainWindowTest, ClosingHidesWhileExitEndsTheProgram) {
    Start();
    QSignalSpy ends(window.get(), &TfrmMain::programEnds);
    window->ShowFromTray();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->close());  // the caption button, Alt+F4
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ends.count(), 0);
    EXPECT_TRUE(C().tmrRefresh->isActive());  // work goes on in the tray
    // Resting in the tray, the window holds no native window; it comes back where it was.
    const QPoint place = window->pos();
    EXPECT_EVENTUALLY(window->windowHandle() == nullptr, 5000);

    window->ShowFromTray();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), place);
    window->showMinimized();
    EXPECT_EVENTUALLY(!window->isVisible(), 5000);  // minimising hides to the tray
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(ends.count(), 0);

    C().Exit->trigger();
    EXPECT_TRUE(window->CloseFlag());
    EXPECT_EQ(ends.count(), 1);
}

TEST_F(MainWindowTest, WithoutATrayTheWindowShowsAfterTheGraceAndClosingItEndsTheProgram) {
    rig.trayAvailable = false;
    Start();
    httpfake::FakeHttpClient& banners = *rig.http.at(0);
    banners.exchanges.push_back({{.connectionFails = true}});
    window->Tray().StartInTray(std::chrono::milliseconds(700));
    EXPECT_FALSE(QTest::qWaitFor([this] { return window->isVisible(); }, 400));  // waiting
    EXPECT_EVENTUALLY(window->isVisible(), 2000);
    EXPECT_EQ(banners.sent.size(), 1u);  // shown as "Show Statistic" shows it, with a banner
    QSignalSpy ends(window.get(), &TfrmMain::programEnds);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(ends.count(), 1);
}

TEST_F(MainWindowTest, ATrayThatAppearsLaterTakesTheWindowIn) {
    rig.trayAvailable = false;
    Start();
    window->ShowFromTray();
    rig.trayAvailable = true;
    EXPECT_EVENTUALLY(window->Tray().Present(), 5000);
    // Made now, with the menu and the tooltip that the start-up gave.
    ASSERT_NE(TrayIcon(), nullptr);
    EXPECT_TRUE(TrayIcon()->isVisible());
    EXPECT_EQ(TrayIcon()->contextMenu(), C().PopupMenu);
    EXPECT_EQ(TrayIcon()->toolTip(), "Pellmor ( OFFline )");
    QSignalSpy ends(window.get(), &TfrmMain::programEnds);
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ends.count(), 0);
}

TEST_F(MainWindowTest, TrayActivationTogglesTheWindowAndShowingAsksForABanner) {
    Start();
    httpfake::FakeHttpClient& banners = *rig.http.at(0);
    for (int i = 0; i < 3; ++i)
        banners.exchanges.push_back({{.connectionFails = true}});
    QElapsedTimer sinceToggle;
    const auto activate = [&](QSystemTrayIcon::ActivationReason reason) {
        emit TrayIcon()->activated(reason);
        if (reason == QSystemTrayIcon::Trigger) sinceToggle.start();
    };
    // What comes within the double-click time of a toggle belongs to its gesture.
    const auto nextGesture = [&] {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return sinceToggle.elapsed() > QApplication::doubleClickInterval(); }));
    };

    activate(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(banners.sent.size(), 1u);    // showing asks for a new banner
    EXPECT_TRUE(C().Image2->isVisible());  // none came: the built-in picture

    // A double-click reports a click first; the pair toggles once.
    nextGesture();
    activate(QSystemTrayIcon::Trigger);
    activate(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(banners.sent.size(), 1u);

    // A tray that reports only the double-click toggles on it.
    nextGesture();
    activate(QSystemTrayIcon::DoubleClick);
    sinceToggle.start();
    EXPECT_TRUE(window->isVisible());
    activate(QSystemTrayIcon::Context);
    EXPECT_TRUE(window->isVisible());

    // "Show Statistic" on a visible window leaves it visible and asks for a banner.
    C().ShowStatistic->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(banners.sent.size(), 3u);
}

TEST_F(MainWindowTest, TransparencyFollowsTheTrackBarAndSizeChangesAreRefused) {
    Start();
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0);
    C().trkVisible->setValue(1);
    EXPECT_NEAR(window->windowOpacity(), 1.0 / 255, 0.002);
    C().trkVisible->setValue(128);
    EXPECT_NEAR(window->windowOpacity(), 128.0 / 255, 0.002);

    window->ShowFromTray();
    window->resize(800, 600);
    window->setGeometry(10, 10, 300, 100);
    window->showMaximized();
    // A maximised or full-screen state granted by the window manager is undone.
    EXPECT_EVENTUALLY(!(window->windowState() & Qt::WindowMaximized), 2000);
    EXPECT_EQ(window->size(), QSize(469, 308));
    window->setWindowState(Qt::WindowFullScreen);
    EXPECT_EVENTUALLY(!(window->windowState() & Qt::WindowFullScreen), 2000);
    EXPECT_EQ(window->size(), QSize(469, 308));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, TheRunningCopyShowsItselfOnlyForItsClassAndCaption) {
    Start();
    EXPECT_FALSE(window->ShowIfIdentity("TForm1", kCaption));
    EXPECT_FALSE(window->ShowIfIdentity("TfrmMain", "Torvane v1.0.2.199"));
    EXPECT_FALSE(window->ShowIfIdentity("TfrmMain", kCaption + " "));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->ShowIfIdentity("TfrmMain", kCaption));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, ALanguageFileCaptionHidesTheWindowFromALaterStart) {
    {
        QFile lng(rig.File("pro.lng"));
        ASSERT_TRUE(lng.open(QIODevice::WriteOnly));
        lng.write(
            "FileName:=pro.lng\r\nLanguage:=Pro\r\nAutor:=x\r\nProgramm:=Pellmor\r\n"
            "Version:=v1.01\r\n\r\nfrmMain.Caption:=Torvane Pro\r\n");
        QFile status(rig.File("language.cfg"));
        ASSERT_TRUE(status.open(QIODevice::WriteOnly));
        status.write(QFile::encodeName(rig.File("pro.lng")) + "\r\n");
    }
    Start();
    EXPECT_EQ(window->windowTitle(), "Torvane Pro");  // applied after the versioned caption
    EXPECT_EQ(C().pnlLanguage->text(), "Pro");
    EXPECT_FALSE(window->ShowIfIdentity("TfrmMain", kCaption));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, ALanguageFileLeavesTheWatchedAdapterInTheList) {
    rig.settings.values["adapter"] = kFast;
    Start();
    window->ShowFromTray();
    const int writes = rig.settings.writes;
    // Empty, unknown, or naming another adapter: the list goes on showing the watched one.
    for (const QString& value : {QString(), QString("something"), kWireless}) {
        QFile lng(rig.File("other.lng"));
        ASSERT_TRUE(lng.open(QIODevice::WriteOnly));
        lng.write("Language:=Other\r\n\r\nfrmMain.selAdapter.Text:=" + value.toUtf8() + "\r\n");
        lng.close();
        rig.languageDialog->answer = lng.fileName();
        QTest::mouseClick(C().btnSelectLanguage, Qt::LeftButton);
        ASSERT_EQ(C().pnlLanguage->text(), "Other");
        EXPECT_EQ(Adapters()->currentText(), kFast) << value.toStdString();
        EXPECT_EQ(window->Monitor().SelectedAdapter(), "00-0C-29-AB-01-FF");
    }
    EXPECT_EQ(rig.settings.writes, writes);  // no choice was made
}

TEST_F(MainWindowTest, MenuAndBannerEntriesOpenTheirPages) {
    Start();
    C().N2->trigger();
    C().N3->trigger();
    EXPECT_EQ(rig.opener.opened,
              (std::vector<std::string>{std::string(build_config::kProgramUrl) + "/?updateTVR",
                                        std::string(build_config::kMakerUrl) + "/?updateTVR"}));

    // The built-in picture opens the catalogue; a new banner is asked for after it.
    httpfake::FakeHttpClient& banners = *rig.http.at(0);
    banners.exchanges.push_back({{.connectionFails = true}});
    rig.opener.opened.clear();
    window->ShowFromTray();
    C().Image2->show();
    QTest::mouseClick(C().Image2, Qt::LeftButton);
    EXPECT_EQ(rig.opener.opened,
              std::vector<std::string>{std::string(build_config::kCatalogueUrl) + "/?fromtvr"});
    EXPECT_EQ(banners.sent.size(), 1u);
}

TEST_F(MainWindowTest, ARepeatingFaultShowsOneBoxAtATime) {
    rig.settings.values["adapter"] = kFast;  // an adapter to read on every tick
    Start();
    window->ShowFromTray();
    rig.table.throwOnRead = true;
    int open = 0, mostOpen = 0;
    rig.messages.whileOpen = [&] {
        mostOpen = std::max(mostOpen, ++open);
        // While the box is open, the user opens the adapter list, which fails as well.
        Adapters()->showPopup();
        Adapters()->hidePopup();
        --open;
    };
    C().tmrRefresh->start(5);
    EXPECT_EVENTUALLY(rig.messages.shown.size() >= 2u, 5000);  // again once the box closed
    C().tmrRefresh->stop();
    EXPECT_EQ(mostOpen, 1);
    EXPECT_EQ(rig.messages.shown[0].text, "interface table exploded");
}

}  // namespace
