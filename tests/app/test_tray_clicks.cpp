// The tray's activations: a click toggles, the double-click that follows it does not
// toggle a second time.

#include "app/TrayClicks.h"

#include <gtest/gtest.h>

namespace {

TEST(TrayClicks, OneGestureTogglesOnce) {
    TrayClicks clicks(400);
    EXPECT_TRUE(clicks.Toggles(QSystemTrayIcon::Trigger, 1000));
    EXPECT_FALSE(clicks.Toggles(QSystemTrayIcon::DoubleClick, 1250));  // same gesture
    EXPECT_TRUE(clicks.Toggles(QSystemTrayIcon::Trigger, 5000));
    EXPECT_TRUE(clicks.Toggles(QSystemTrayIcon::DoubleClick, 5401));  // too late: its own
    EXPECT_TRUE(clicks.Toggles(QSystemTrayIcon::DoubleClick, 9000));  // no click before it
    EXPECT_FALSE(clicks.Toggles(QSystemTrayIcon::Context, 9100));
    EXPECT_FALSE(clicks.Toggles(QSystemTrayIcon::MiddleClick, 9200));
}

TEST(TrayClicks, ADoubleClickIsMatchedWithOneClickOnly) {
    TrayClicks clicks(400);
    EXPECT_TRUE(clicks.Toggles(QSystemTrayIcon::Trigger, 0));
    EXPECT_FALSE(clicks.Toggles(QSystemTrayIcon::DoubleClick, 100));
    EXPECT_TRUE(clicks.Toggles(QSystemTrayIcon::DoubleClick, 200));
}

}  // namespace
