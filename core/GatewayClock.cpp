#include "GatewayClock.h"

#include "System.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr long long kDay = 24 * 3600;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long daysFromCivil(long long year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

bool leap(long long year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::optional<long long> wall(long long year, long long month, long long day, long long hour,
    long long minute, long long second)
{
    static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59
        || second > 59)
        return std::nullopt;
    const long long days = kMonthDays[month - 1] + (month == 2 && leap(year) ? 1 : 0);
    if (day > days)
        return std::nullopt;
    return daysFromCivil(year, unsigned(month), unsigned(day)) * kDay + hour * 3600 + minute * 60
        + second;
}

// The digits of text[from, from + count) as a number; nullopt when one is not a digit.
std::optional<long long> digits(const std::string &text, std::size_t from, std::size_t count)
{
    long long value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

namespace GatewayClock {

std::optional<long long> parse(const std::string &text)
{
    if (text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':'
        && text[16] == ':') {
        const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
        const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2);
        const auto second = digits(text, 17, 2);
        if (year && month && day && hour && minute && second)
            return wall(*year, *month, *day, *hour, *minute, *second);
        return std::nullopt;
    }
    if (text.size() == 14) {
        const auto year = digits(text, 0, 4), month = digits(text, 4, 2), day = digits(text, 6, 2);
        const auto hour = digits(text, 8, 2), minute = digits(text, 10, 2);
        const auto second = digits(text, 12, 2);
        if (year && month && day && hour && minute && second)
            return wall(*year, *month, *day, *hour, *minute, *second);
        return std::nullopt;
    }
    if (text.size() == 10 || text.size() == 13) {
        const std::optional<long long> count = digits(text, 0, text.size());
        if (!count)
            return std::nullopt;
        const long long seconds = text.size() == 13 ? *count / 1000 : *count;
        const long long local = tillWall(std::time_t(seconds));
        // Within the years a wall time may name.
        if (local < daysFromCivil(2000, 1, 1) * kDay || local >= daysFromCivil(2100, 1, 1) * kDay)
            return std::nullopt;
        return local;
    }
    return std::nullopt;
}

long long tillWall(std::time_t when)
{
    const std::tm parts = System::localTime(when);
    return daysFromCivil(
               parts.tm_year + 1900LL, unsigned(parts.tm_mon + 1), unsigned(parts.tm_mday))
        * kDay
        + parts.tm_hour * 3600LL + parts.tm_min * 60LL + std::min(parts.tm_sec, 59);
}

std::string text(long long wall)
{
    long long days = wall / kDay;
    long long seconds = wall % kDay;
    if (seconds < 0) {
        seconds += kDay;
        --days;
    }
    // The civil date of a day count (the inverse of daysFromCivil).
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra
        = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02lld:%02lld:%02lld", year, month, day,
        seconds / 3600, seconds / 60 % 60, seconds % 60);
    return buffer;
}

} // namespace GatewayClock
