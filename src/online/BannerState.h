#pragma once

// Where the banner stands. The tray double-click reads it: it does nothing while a fetch is
// under way. Each state keeps the number it has always been known by.

enum class BannerState : int {
    Idle = 0,       // no banner shown, or the last fetch failed (the state at start)
    Loading = 213,  // a fetch is in progress
    Shown = 1212,   // a banner is shown, or a click on it has been handled
};

constexpr int ToNumber(BannerState state) {
    return static_cast<int>(state);
}
