// The tray's activations as each kind of tray sends them for one gesture: the gesture
// toggles the window once.

#include "app/TrayClicks.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Activation = std::pair<QSystemTrayIcon::ActivationReason, std::int64_t>;
constexpr auto kClick = QSystemTrayIcon::Trigger;
constexpr auto kDouble = QSystemTrayIcon::DoubleClick;

struct Gesture {
    const char* tray;
    std::vector<Activation> activations;  // at milliseconds after the first
    int toggles;
};

TEST(TrayClicks, OneGestureIsOneToggleOnEveryTray) {
    const std::vector<Gesture> gestures = {
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
    for (const Gesture& gesture : gestures) {
        TrayClicks clicks(400);
        // A gesture long before does not count.
        EXPECT_TRUE(clicks.Toggles(kClick, 0));
        int toggles = 0;
        for (const auto& [reason, at] : gesture.activations)
            toggles += clicks.Toggles(reason, 10000 + at) ? 1 : 0;
        EXPECT_EQ(toggles, gesture.toggles) << gesture.tray;
    }
}

}  // namespace
