#pragma once

// A clock that stands still until the test moves it; both readings move together.

#include "platform/Clock.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <chrono>
#include <utility>

class FakeClock final : public Clock {
  public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(4, 15, 9)))
        : now(std::move(start)) {}

    QDateTime Now() const override { return now; }
    std::chrono::steady_clock::time_point Monotonic() const override { return monotonic; }
    void Advance(qint64 ms) {
        now = now.addMSecs(ms);
        monotonic += std::chrono::milliseconds(ms);
    }

    QDateTime now;
    std::chrono::steady_clock::time_point monotonic{};
};
