#pragma once

// Time as the program sees it, injected so that tests can drive ticks, wraps and gaps, and
// measure time limits without waiting for them.

#include <QDateTime>

#include <chrono>
#include <cstdint>

class Clock {
  public:
    virtual ~Clock() = default;
    // The local date and time, millisecond resolution.
    virtual QDateTime Now() const = 0;
    // A reading that only moves forward, whatever is done to the date and time: for time
    // limits and silences.
    virtual std::chrono::steady_clock::time_point Monotonic() const = 0;
};

// The real clock.
class SystemClock final : public Clock {
  public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
    std::chrono::steady_clock::time_point Monotonic() const override {
        return std::chrono::steady_clock::now();
    }
};
