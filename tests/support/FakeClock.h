#pragma once

// A clock that stands still until the test moves it.

#include "platform/Clock.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <utility>

class FakeClock final : public Clock {
  public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(4, 15, 9)))
        : now(std::move(start)) {}

    QDateTime Now() const override { return now; }
    void Advance(qint64 ms) { now = now.addMSecs(ms); }

    QDateTime now;
};
