#pragma once

#include <chrono>
#include <string>

// Local-time stamps in the forms the sandbox writes.
class TimeText
{
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // 2026-12-07T10:15:00.123 (journal)
    static std::string journalStamp(TimePoint when = std::chrono::system_clock::now());
    // 20261207101500 (order creation, order numbers, list ranges)
    static std::string compact(TimePoint when = std::chrono::system_clock::now());
    // 2026-12-07 10:15:00 (pay times shown to the cashier)
    static std::string display(TimePoint when = std::chrono::system_clock::now());
    // Seconds since the epoch, as decimal text.
    static std::string unixSeconds(TimePoint when = std::chrono::system_clock::now());
};
