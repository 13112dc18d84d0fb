#pragma once

// Turns the tray icon's activations into window toggles, one toggle per gesture. Trays
// report a click or a double-click each in their own way: an XEmbed tray a click and then a
// double-click; StatusNotifierItem panels one Activate per click (two about 80 ms apart for
// a double-click), or one per press and one more right after the second. Whatever comes
// within the double-click time of the toggle it follows belongs to that toggle's gesture;
// toggling on each would show and hide the window, or flash it.

#include <QSystemTrayIcon>

#include <cstdint>
#include <optional>

class TrayClicks {
  public:
    explicit TrayClicks(int doubleClickMs) : doubleClickMs_(doubleClickMs) {}

    // Whether this activation, at `nowMs` on a monotonic clock, should toggle the window.
    bool Toggles(QSystemTrayIcon::ActivationReason reason, std::int64_t nowMs) {
        if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
            return false;
        // Measured from the toggle, not from the last activation, so that a long run of
        // quick clicks is not swallowed whole.
        if (lastToggle_.has_value() && nowMs - *lastToggle_ <= doubleClickMs_) return false;
        lastToggle_ = nowMs;
        return true;
    }

  private:
    int doubleClickMs_;
    std::optional<std::int64_t> lastToggle_;
};
