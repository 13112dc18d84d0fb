#pragma once

// Time as the program sees it, injected so that tests can drive ticks, wraps and gaps.

#include <QDateTime>

#include <cstdint>

class Clock {
  public:
    virtual ~Clock() = default;
    // The local date and time, millisecond resolution.
    virtual QDateTime Now() const = 0;
};

// The real clock.
class SystemClock final : public Clock {
  public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};
