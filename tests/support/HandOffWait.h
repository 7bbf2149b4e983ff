#pragma once

#include "HandOff.h"

#include <QDeadlineTimer>
#include <QtTest>

// Work handed to the test's thread runs within milliseconds while the event loop turns; after
// this long its wake-up was lost.
constexpr int kLostWakeUpMs = 3000;

// QTRY_VERIFY_WITH_TIMEOUT for a condition that becomes true through work handed to the test's
// thread (a window's answer): it fails as soon as such work has waited kLostWakeUpMs with the
// event loop turning, saying so, instead of waiting out `timeoutMs` in every test that follows.
#define TRY_VERIFY_HANDED_OFF(expr, timeoutMs)                                                     \
    do {                                                                                           \
        const QDeadlineTimer deadline_(timeoutMs);                                                 \
        while (!(expr)) {                                                                          \
            QTest::qWait(10);                                                                      \
            if (expr)                                                                              \
                break;                                                                             \
            QVERIFY2(HandOff::longestWaitMs() < kLostWakeUpMs,                                     \
                "work handed to the test's thread never ran (a lost wake-up) while waiting for "   \
                "`" #expr "`");                                                                    \
            QVERIFY2(!deadline_.hasExpired(), "timed out waiting for `" #expr "`");                \
        }                                                                                          \
    } while (false)
