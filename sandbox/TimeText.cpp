#include "TimeText.h"

#include <cstdio>
#include <ctime>

namespace {

std::tm localParts(TimeText::TimePoint when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts {};
    localtime_r(&seconds, &parts);
    return parts;
}

std::string formatted(TimeText::TimePoint when, const char *format)
{
    const std::tm parts = localParts(when);
    char buffer[64];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &parts);
    return std::string(buffer, length);
}

} // namespace

std::string TimeText::journalStamp(TimePoint when)
{
    const auto millis
        = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count()
        % 1000;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis));
    return formatted(when, "%Y-%m-%dT%H:%M:%S") + fraction;
}

std::string TimeText::compact(TimePoint when)
{
    return formatted(when, "%Y%m%d%H%M%S");
}

std::string TimeText::display(TimePoint when)
{
    return formatted(when, "%Y-%m-%d %H:%M:%S");
}

std::string TimeText::unixSeconds(TimePoint when)
{
    return std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count());
}
