#pragma once

// Waiting in a test for something the event loop brings about, as a test failure when it
// does not come: QtTest's own QTRY_ macros report to QtTest, which a googletest program never
// asks, so a condition that never came true would pass unnoticed.

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#define EXPECT_EVENTUALLY(condition, timeoutMs)                                           \
    EXPECT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, timeoutMs)) \
        << "never came true within " << (timeoutMs) << " ms: " #condition

#define ASSERT_EVENTUALLY(condition, timeoutMs)                                           \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, timeoutMs)) \
        << "never came true within " << (timeoutMs) << " ms: " #condition
