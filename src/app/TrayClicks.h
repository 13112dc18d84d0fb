#pragma once

// Turns the tray icon's activations into window toggles. Trays that speak the
// StatusNotifierItem protocol report a single activation and never a double-click; XEmbed
// trays report a click and then, for a double-click, a double-click as well. A single
// activation toggles, and the double-click that follows it within the double-click time is
// part of the same gesture.

#include <QSystemTrayIcon>

#include <cstdint>
#include <optional>

class TrayClicks {
  public:
    explicit TrayClicks(int doubleClickMs) : doubleClickMs_(doubleClickMs) {}

    // Whether this activation, at `nowMs` on a monotonic clock, should toggle the window.
    bool Toggles(QSystemTrayIcon::ActivationReason reason, std::int64_t nowMs) {
        switch (reason) {
            case QSystemTrayIcon::Trigger:
                lastTrigger_ = nowMs;
                return true;
            case QSystemTrayIcon::DoubleClick: {
                const bool partOfClick =
                    lastTrigger_.has_value() && nowMs - *lastTrigger_ <= doubleClickMs_;
                lastTrigger_.reset();
                return !partOfClick;
            }
            default:
                return false;
        }
    }

  private:
    int doubleClickMs_;
    std::optional<std::int64_t> lastTrigger_;
};
