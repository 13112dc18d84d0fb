// The main window's fixed layout, checked against the published layout: places, classes,
// texts, hints, fonts, colours, initial states, tab order and the component list.

#include "AppFakes.h"
#include "UserInput.h"
#include "app/AdapterComboBox.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using apptest::Rig;

namespace {

struct Expected {
    const char* name;
    const char* parent;  // objectName of the parent widget
    QRect bounds;
    const char* qtClass;
};

// Positions inside the parent, as the layout publishes them (containers whose place the
// layout leaves open are not listed).
const Expected kPlaces[] = {
    {"Panel1", "frmMain", {0, 0, 469, 49}, "QLabel"},
    {"imgDraw", "Panel5", {2, 2, 342, 39}, "QLabel"},
    {"lblLevel", "Panel5", {295, 25, 46, 13}, "QLabel"},
    {"lblInetStat", "Panel4", {3, 0, 95, 12}, "QLabel"},
    {"lblLevelPerPeriod", "Panel4", {3, 8, 111, 12}, "QLabel"},
    {"lblLevelPerPeriodW", "Panel4", {3, 17, 111, 12}, "QLabel"},
    {"lblAverageDiagram", "Panel4", {3, 26, 111, 12}, "QLabel"},
    {"lblAverageDiagramW", "Panel4", {3, 35, 111, 12}, "QLabel"},
    {"Bevel1", "frmMain", {8, 54, 360, 26}, "QFrame"},
    {"SearchText", "frmMain", {10, 56, 356, 22}, "QComboBox"},
    {"btnSearch", "frmMain", {369, 56, 95, 21}, "QPushButton"},
    {"Label1", "frmMain", {8, 81, 360, 15}, "QLabel"},
    {"Label2", "frmMain", {8, 97, 360, 15}, "QLabel"},
    {"Label3", "frmMain", {8, 113, 360, 15}, "QLabel"},
    {"Label4", "frmMain", {8, 129, 360, 15}, "QLabel"},
    {"Label5", "frmMain", {8, 145, 360, 15}, "QLabel"},
    {"Panel7", "frmMain", {370, 81, 95, 15}, "QLabel"},
    {"Panel8", "frmMain", {370, 97, 95, 15}, "QLabel"},
    {"Panel9", "frmMain", {370, 113, 95, 15}, "QLabel"},
    {"Panel10", "frmMain", {370, 129, 95, 15}, "QLabel"},
    {"Panel11", "frmMain", {370, 145, 95, 15}, "QLabel"},
    {"edtConnectedSpeed", "Panel7", {2, 2, 91, 17}, "QLineEdit"},
    {"edtByteReadToday", "Panel8", {2, 2, 91, 17}, "QLineEdit"},
    {"edtByteWriteToday", "Panel9", {2, 2, 91, 17}, "QLineEdit"},
    {"edtByteReadTodayLastSessinon", "Panel10", {2, 2, 91, 17}, "QLineEdit"},
    {"edtByteWriteTodayLastSessinon", "Panel11", {2, 2, 91, 17}, "QLineEdit"},
    {"chkLine", "frmMain", {8, 160, 307, 17}, "QCheckBox"},
    {"btnd", "frmMain", {240, 162, 75, 17}, "QPushButton"},
    {"trkVisible", "frmMain", {316, 162, 150, 17}, "QSlider"},
    {"pnlLanguage", "frmMain", {7, 181, 82, 22}, "QLabel"},
    {"btnOtherLNG", "frmMain", {91, 181, 89, 22}, "QToolButton"},
    {"btnSelectLanguage", "frmMain", {183, 181, 138, 22}, "QToolButton"},
    {"btnSaveOptions", "frmMain", {324, 181, 140, 22}, "QToolButton"},
    {"selAdapter", "frmMain", {8, 205, 457, 19}, "QComboBox"},
    {"ProgressBar2", "frmMain", {8, 205, 458, 19}, "QProgressBar"},
    {"Panel2", "frmMain", {0, 226, 470, 60}, "QLabel"},
    {"Image1", "Panel2", {0, 0, 468, 60}, "QLabel"},
    {"Image2", "Panel2", {0, 0, 468, 60}, "QLabel"},
    {"SpeedButton1", "Panel2", {446, 38, 21, 21}, "QToolButton"},
    {"stbar", "frmMain", {0, 288, 468, 19}, "QLabel"},
};

struct Texts {
    const char* name;
    QString text;
    QString hint;
};

QString TextOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    return {};
}

class FormLayoutTest : public ::testing::Test {
  protected:
    Rig rig;
    std::unique_ptr<TfrmMain> window = rig.MakeWindow();

    QWidget* W(const char* name) { return window->findChild<QWidget*>(name); }
    template <class T>
    T* Get(const char* name) {
        return apptest::Child<T>(*window, name);
    }
};

TEST_F(FormLayoutTest, EveryControlSitsWhereTheLayoutPutsIt) {
    for (const Expected& e : kPlaces) {
        SCOPED_TRACE(e.name);
        QWidget* w = W(e.name);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(e.qtClass)) << w->metaObject()->className();
        ASSERT_NE(w->parentWidget(), nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(e.parent));
        EXPECT_EQ(w->geometry(), e.bounds);
    }
    // The diagram panel and the speeds panel lie inside the top bar, side by side.
    const QRect diagram(W("Panel5")->mapTo(window.get(), QPoint()), W("Panel5")->size());
    const QRect speeds(W("Panel4")->mapTo(window.get(), QPoint()), W("Panel4")->size());
    EXPECT_EQ(W("Panel4")->width(), 117);
    EXPECT_TRUE(QRect(0, 0, 469, 49).contains(diagram));
    EXPECT_TRUE(QRect(0, 0, 469, 49).contains(speeds));
    EXPECT_LE(diagram.right(), speeds.left());
    EXPECT_EQ(W("Panel3")->parentWidget(), W("Panel1"));
}

TEST_F(FormLayoutTest, RatesOf100GBPerSecondAndTheirTotalsShowEveryDigit) {
    const QString rate = "100000000000 B/s";
    for (const char* name :
         {"lblLevelPerPeriod", "lblAverageDiagram", "lblLevelPerPeriodW", "lblAverageDiagramW"}) {
        SCOPED_TRACE(name);
        auto* label = Get<QLabel>(name);
        EXPECT_LE(label->fontMetrics().horizontalAdvance(rate), label->contentsRect().width());
        EXPECT_TRUE(label->parentWidget()->rect().contains(label->geometry()));
    }
    for (const char* name : {"edtConnectedSpeed", "edtByteReadToday", "edtByteWriteToday",
                             "edtByteReadTodayLastSessinon", "edtByteWriteTodayLastSessinon"}) {
        auto* edit = Get<QLineEdit>(name);
        // A line edit keeps 2 pixels free on either side of its text.
        EXPECT_LE(edit->fontMetrics().horizontalAdvance("100000000000000"), edit->width() - 4)
            << name;
    }
}

TEST_F(FormLayoutTest, WindowIsAFixedStayOnTopFrameWithoutMaximise) {
    EXPECT_EQ(window->objectName(), "frmMain");
    EXPECT_STREQ(window->metaObject()->className(), "TfrmMain");
    EXPECT_EQ(window->size(), QSize(469, 308));
    EXPECT_EQ(window->minimumSize(), QSize(469, 308));
    EXPECT_EQ(window->maximumSize(), QSize(469, 308));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->windowTitle(), "Torvane");  // until the start-up sets the version
    EXPECT_EQ(window->font().pixelSize(), 11);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(FormLayoutTest, TextsAndHintsAreTheDesignTexts) {
    const Texts texts[] = {
        {"Label1", "Connected  speed", "Connected speed"},
        {"Label2", "Bytes received", "Bytes received"},
        {"Label3", "Bytes send", "Bytes send"},
        {"Label4", "Bytes received at the last session", "Bytes received at the last session"},
        {"Label5", "Bytes send  at the last session", "Bytes send  at the last session"},
        {"edtConnectedSpeed", "", "Connected speed"},
        {"edtByteReadToday", "0", "Bytes received"},
        {"edtByteWriteToday", "0", "Bytes send"},
        {"edtByteReadTodayLastSessinon", "0", "Bytes received at the last session"},
        {"edtByteWriteTodayLastSessinon", "0", "Bytes send  at the last session"},
        {"imgDraw", "", "The line diagram"},
        {"lblLevel", "1Kb", "The Size of diagram (in Kb)"},
        {"lblInetStat", "Offline", "Internet status"},
        {"lblLevelPerPeriod", "0 B/s", "Average read speed (in bytes)"},
        {"lblAverageDiagram", "0 B/s", "Average read speed in diagram (in bytes)"},
        {"lblLevelPerPeriodW", "0 B/s", "Average write speed (in bytes)"},
        {"lblAverageDiagramW", "0 B/s", "Average write speed in diagram (in bytes)"},
        {"SearchText", "", "Search request"},
        {"btnSearch", "Search", ""},
        {"chkLine", "Graph line/bar", ""},
        {"btnd", "Update", ""},
        {"pnlLanguage", "English", "Shows the current language of the interface"},
        {"btnOtherLNG", "Other languages", ""},
        // The first letter of this hint is the Cyrillic capital Es.
        {"btnSelectLanguage", "Change language",
         QString::fromUtf8("\xD0\xA1hoose a language file")},
        {"btnSaveOptions", "Save Options", "Save Options in Config file"},
    };
    for (const Texts& t : texts) {
        SCOPED_TRACE(t.name);
        QWidget* w = W(t.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(TextOf(w), t.text);
        EXPECT_EQ(w->toolTip(), t.hint);
    }
    EXPECT_EQ(W("btnSelectLanguage")->toolTip().at(0).unicode(), 0x0421);
}

TEST_F(FormLayoutTest, FontsAndColoursFollowTheDesign) {
    const QColor green(0, 128, 0), red(255, 0, 0);
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(W(name)->font().pixelSize(), 11);
        EXPECT_TRUE(W(name)->autoFillBackground());
        EXPECT_EQ(W(name)->palette().color(QPalette::Window), QColor(202, 199, 189));
    }
    for (const char* name : {"lblLevelPerPeriod", "lblAverageDiagram"}) {
        EXPECT_EQ(W(name)->font().pixelSize(), 9) << name;
        EXPECT_EQ(W(name)->palette().color(QPalette::WindowText), green) << name;
    }
    for (const char* name : {"lblLevelPerPeriodW", "lblAverageDiagramW"}) {
        EXPECT_EQ(W(name)->font().pixelSize(), 9) << name;
        EXPECT_EQ(W(name)->palette().color(QPalette::WindowText), red) << name;
    }
    for (const char* name : {"lblInetStat", "lblLevelPerPeriod", "lblAverageDiagram",
                             "lblLevelPerPeriodW", "lblAverageDiagramW", "lblLevel"}) {
        EXPECT_TRUE(static_cast<QLabel*>(W(name))->alignment() & Qt::AlignRight) << name;
        EXPECT_FALSE(W(name)->autoFillBackground()) << name;  // transparent
    }
    EXPECT_EQ(W("lblLevel")->font().pixelSize(), 9);

    EXPECT_EQ(W("edtConnectedSpeed")->palette().color(QPalette::Text), QColor(128, 128, 0));
    EXPECT_EQ(W("edtConnectedSpeed")->palette().color(QPalette::Base), QColor(222, 255, 221));
    for (const char* name : {"edtByteReadToday", "edtByteWriteToday",
                             "edtByteReadTodayLastSessinon", "edtByteWriteTodayLastSessinon"}) {
        SCOPED_TRACE(name);
        auto* edit = static_cast<QLineEdit*>(W(name));
        EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(242, 255, 242));
        EXPECT_EQ(edit->font().pixelSize(), 9);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_FALSE(edit->hasFrame());
        EXPECT_EQ(edit->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(W("pnlLanguage")->palette().color(QPalette::WindowText), QColor(121, 121, 121));
    EXPECT_EQ(W("pnlLanguage")->palette().color(QPalette::Window), QColor(230, 227, 223));
    EXPECT_EQ(W("pnlLanguage")->font().pixelSize(), 11);
}

TEST_F(FormLayoutTest, InitialStatesOfTheControls) {
    EXPECT_TRUE(W("btnd")->isHidden());
    EXPECT_EQ(W("btnd")->focusPolicy(), Qt::ClickFocus);  // not a tab stop
    EXPECT_TRUE(W("btnSaveOptions")->isHidden());
    EXPECT_TRUE(W("ProgressBar2")->isHidden());
    EXPECT_TRUE(W("Image2")->isHidden());
    EXPECT_FALSE(static_cast<QLabel*>(W("Image2"))->pixmap().isNull());
    EXPECT_EQ(static_cast<QLabel*>(W("Image2"))->pixmap().size(), QSize(468, 60));
    EXPECT_EQ(W("Image1")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(W("Image2")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(static_cast<QToolButton*>(W("SpeedButton1"))->icon().isNull());
    EXPECT_TRUE(static_cast<QToolButton*>(W("btnOtherLNG"))->autoRaise());

    EXPECT_TRUE(static_cast<QCheckBox*>(W("chkLine"))->isChecked());
    auto* track = static_cast<QSlider*>(W("trkVisible"));
    EXPECT_EQ(track->orientation(), Qt::Horizontal);
    EXPECT_EQ(track->minimum(), 1);
    EXPECT_EQ(track->maximum(), 255);
    EXPECT_EQ(track->value(), 255);
    EXPECT_EQ(track->tickInterval(), 26);

    auto* search = static_cast<QComboBox*>(W("SearchText"));
    EXPECT_TRUE(search->isEditable());
    EXPECT_EQ(search->maxVisibleItems(), 8);
    EXPECT_EQ(search->insertPolicy(), QComboBox::NoInsert);
    auto* adapters = qobject_cast<AdapterComboBox*>(W("selAdapter"));
    ASSERT_NE(adapters, nullptr);
    EXPECT_FALSE(adapters->isEditable());

    EXPECT_EQ(Get<QTimer>("tmrRefresh")->interval(), 1000);
    EXPECT_EQ(Get<QTimer>("tmrDraw")->interval(), 1000);
    EXPECT_EQ(Get<QTimer>("Timer1")->interval(), 60000);
    EXPECT_EQ(Get<QTimer>("Timer2")->interval(), 3000);
    EXPECT_EQ(Get<QTimer>("tmrBanner")->interval(), 600000);
    // Off until the start-up sequence, except the two that count from creation.
    EXPECT_FALSE(Get<QTimer>("tmrRefresh")->isActive());
    EXPECT_FALSE(Get<QTimer>("tmrDraw")->isActive());
    EXPECT_FALSE(Get<QTimer>("Timer1")->isActive());
    EXPECT_TRUE(Get<QTimer>("Timer2")->isActive());
    EXPECT_TRUE(Get<QTimer>("tmrBanner")->isActive());
}

TEST_F(FormLayoutTest, TabOrderRunsThroughTheFiveFocusableControls) {
    window->ShowFromTray();
    ASSERT_TRUE(apptest::FocusOn(*W("SearchText")));
    const char* order[] = {"btnSearch", "chkLine", "trkVisible", "selAdapter", "SearchText"};
    for (const char* next : order) {
        apptest::Press(Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(focus->objectName(), QString::fromLatin1(next));
    }
    int focusable = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window.get()) &&
            w->parentWidget() != W("SearchText") && !w->isWindow()) {
            ++focusable;
        }
    }
    EXPECT_EQ(focusable, 5);
}

TEST_F(FormLayoutTest, TheWindowOwnsItsSixtyTwoComponentsInCreationOrder) {
    // The components that have texts, in the order a language file lists them.
    const QStringList withTexts = {"Label1",
                                   "Label2",
                                   "Label3",
                                   "Label4",
                                   "Label5",
                                   "btnSelectLanguage",
                                   "btnSaveOptions",
                                   "Bevel1",
                                   "btnOtherLNG",
                                   "Panel1",
                                   "Panel3",
                                   "Panel4",
                                   "lblInetStat",
                                   "lblLevelPerPeriod",
                                   "lblAverageDiagram",
                                   "lblLevelPerPeriodW",
                                   "lblAverageDiagramW",
                                   "Panel5",
                                   "imgDraw",
                                   "lblLevel",
                                   "Panel2",
                                   "Image1",
                                   "Image2",
                                   "SpeedButton1",
                                   "Panel7",
                                   "edtConnectedSpeed",
                                   "Panel8",
                                   "edtByteReadToday",
                                   "Panel9",
                                   "edtByteWriteToday",
                                   "Panel10",
                                   "edtByteReadTodayLastSessinon",
                                   "Panel11",
                                   "edtByteWriteTodayLastSessinon",
                                   "chkLine",
                                   "trkVisible",
                                   "pnlLanguage",
                                   "selAdapter",
                                   "stbar",
                                   "ProgressBar2",
                                   "btnd",
                                   "btnSearch",
                                   "SearchText",
                                   "RxTrayIcon",
                                   "N2",
                                   "N3",
                                   "N1",
                                   "ShowStatistic",
                                   "slash",
                                   "Exit"};
    const QStringList withoutTexts = {"tmrRefresh",    "tmrDraw",   "PopupMenu", "OpenLanguage",
                                      "MultiLanguage", "ImageList", "Timer1",    "Timer2",
                                      "HttpCli1",      "HttpCli2",  "tmrBanner", "getpic"};
    QStringList names;
    for (QObject* c : window->Components())
        names << c->objectName();
    ASSERT_EQ(names.size(), 62);
    QStringList textual;
    for (const QString& n : names) {
        if (!withoutTexts.contains(n)) textual << n;
    }
    EXPECT_EQ(textual, withTexts);
    for (const QString& n : withoutTexts)
        EXPECT_TRUE(names.contains(n)) << n.toStdString();
    // Every container comes before what lies in it.
    for (int i = 0; i < names.size(); ++i) {
        auto* w = qobject_cast<QWidget*>(window->Components()[static_cast<size_t>(i)]);
        if (w == nullptr || w->parentWidget() == window.get()) continue;
        EXPECT_LT(names.indexOf(w->parentWidget()->objectName()), i) << names[i].toStdString();
    }
}

TEST_F(FormLayoutTest, TrayIconAndMenuAsDesigned) {
    auto* tray = Get<QSystemTrayIcon>("RxTrayIcon");
    EXPECT_EQ(tray->toolTip(), "Torvane");
    EXPECT_EQ(tray->contextMenu(), Get<QMenu>("PopupMenu"));
    EXPECT_TRUE(tray->isVisible());  // a tray exists in this rig
    QStringList captions;
    for (QAction* a : Get<QMenu>("PopupMenu")->actions())
        captions << a->text();
    EXPECT_EQ(captions, QStringList({"Visit programm homepage", "Visit company homepage",
                                     "Update programm", "Show Statistic", "-", "Exit"}));
    EXPECT_TRUE(Get<QAction>("slash")->isSeparator());
    EXPECT_EQ(Get<QAction>("ShowStatistic")->toolTip(), "Show Statistic");
    EXPECT_EQ(Get<QAction>("Exit")->toolTip(), "Exit");
}

}  // namespace
