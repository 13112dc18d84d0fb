// The program's life in the tray: one gesture is one toggle on every kind of tray, the icon
// comes with the tray host and shows only changes, the menu's choices reach the window, and a
// start without a tray gives up on it after its grace.

#include "Eventually.h"
#include "app/Pictures.h"
#include "app/TrayDock.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

#include <memory>
#include <utility>
#include <vector>

namespace {

using Activation = std::pair<QSystemTrayIcon::ActivationReason, std::int64_t>;
constexpr auto kClick = QSystemTrayIcon::Trigger;
constexpr auto kDouble = QSystemTrayIcon::DoubleClick;

TEST(TrayClicks, OneGestureIsOneToggleOnEveryTray) {
    const struct {
        const char* tray;
        std::vector<Activation> activations;  // at milliseconds after the first
        int toggles;
    } gestures[] = {
        {"XEmbed double-click", {{kClick, 0}, {kDouble, 250}}, 1},
        {"XEmbed double-click alone", {{kDouble, 0}}, 1},
        {"xfce, LXQt double-click", {{kClick, 0}, {kClick, 80}}, 1},
        {"waybar double-click", {{kClick, 0}, {kClick, 180}, {kClick, 181}}, 1},
        {"two clicks apart", {{kClick, 0}, {kClick, 401}}, 2},
        {"quick clicks go on toggling", {{kClick, 0}, {kClick, 300}, {kClick, 600}}, 2},
        {"menu and middle button",
         {{QSystemTrayIcon::Context, 0}, {QSystemTrayIcon::MiddleClick, 900}},
         0},
    };
    for (const auto& gesture : gestures) {
        TrayClicks clicks(400);
        // A gesture long before does not count.
        EXPECT_TRUE(clicks.Toggles(kClick, 0));
        int toggles = 0;
        for (const auto& [reason, at] : gesture.activations)
            toggles += clicks.Toggles(reason, 10000 + at) ? 1 : 0;
        EXPECT_EQ(toggles, gesture.toggles) << gesture.tray;
    }
}

class TrayDockTest : public ::testing::Test {
  protected:
    bool host = false;
    QMenu menu;
    QAction* showStatistic = menu.addAction("Show Statistic");
    QAction* exit = menu.addAction("Exit");
    std::unique_ptr<TrayDock> dock;

    TrayDock& Make() {
        dock = std::make_unique<TrayDock>([this] { return host; }, menu, *showStatistic, *exit,
                                          nullptr);
        return *dock;
    }
    QSystemTrayIcon* Icon() const { return dock->findChild<QSystemTrayIcon*>(); }
};

TEST_F(TrayDockTest, TheIconComesWithTheHostAndIsSentOnlyChanges) {
    Make();
    // No tray icon before a tray host is there: Qt would settle on no tray for good.
    EXPECT_EQ(Icon(), nullptr);
    dock->SetImage(1);
    dock->SetHint("Pellmor ( OFFline )");
    QSignalSpy appeared(dock.get(), &TrayDock::trayAppeared);
    QSignalSpy gone(dock.get(), &TrayDock::trayGone);
    host = true;
    dock->LookForHost();  // as when the desktop reports a new host
    EXPECT_TRUE(dock->Present());
    ASSERT_NE(Icon(), nullptr);
    EXPECT_TRUE(Icon()->isVisible());
    EXPECT_EQ(Icon()->contextMenu(), &menu);
    EXPECT_EQ(Icon()->toolTip(), "Pellmor ( OFFline )");  // what was set meanwhile
    EXPECT_EQ(appeared.count(), 1);

    const qint64 receiving = Icon()->icon().cacheKey();
    dock->SetImage(1);
    EXPECT_EQ(Icon()->icon().cacheKey(), receiving);
    dock->SetImage(0);
    EXPECT_NE(Icon()->icon().cacheKey(), receiving);
    dock->SetImage(kTrayPictureCount);  // not a picture of the list
    EXPECT_EQ(dock->Image(), 0);

    host = false;
    dock->LookForHost();
    EXPECT_FALSE(dock->Present());
    EXPECT_EQ(gone.count(), 1);
    EXPECT_EQ(appeared.count(), 1);
}

TEST_F(TrayDockTest, GesturesAndMenuChoicesBecomeSignals) {
    host = true;
    Make();
    QSignalSpy toggles(dock.get(), &TrayDock::toggleRequested);
    QSignalSpy shows(dock.get(), &TrayDock::showStatisticChosen);
    QSignalSpy exits(dock.get(), &TrayDock::exitChosen);
    emit Icon()->activated(kClick);  // an XEmbed double-click: a click, then the double-click
    emit Icon()->activated(kDouble);
    emit Icon()->activated(QSystemTrayIcon::Context);
    showStatistic->trigger();
    exit->trigger();
    EXPECT_EQ(toggles.count(), 1);
    EXPECT_EQ(shows.count(), 1);
    EXPECT_EQ(exits.count(), 1);
}

TEST_F(TrayDockTest, AStartWithoutATrayGivesUpAfterItsGraceUnlessOneComes) {
    Make();
    QSignalSpy givenUp(dock.get(), &TrayDock::graceEndedWithoutTray);
    dock->StartInTray(std::chrono::milliseconds(300));
    EXPECT_EVENTUALLY(givenUp.count() == 1, 2000);

    Make();
    QSignalSpy givenUpAgain(dock.get(), &TrayDock::graceEndedWithoutTray);
    dock->StartInTray(std::chrono::milliseconds(900));
    host = true;
    // Looked for often while waiting, not only every few seconds.
    EXPECT_EVENTUALLY(dock->Present(), 600);
    EXPECT_FALSE(QTest::qWaitFor([&] { return givenUpAgain.count() > 0; }, 1000));
}

}  // namespace
