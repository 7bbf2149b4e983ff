#include "DateText.h"

#include <cstdio>

namespace {

// As the English date has always read, January's name included.
const char *const kMonths[12] = {"Janurary", "February", "March", "April", "May", "June", "July",
    "August", "September", "October", "November", "December"};

} // namespace

namespace DateText {

QString display(int language, int year, int month, int day)
{
    switch (language) {
    case 1:
        return QStringLiteral(" %1年%2月%3日").arg(year).arg(month).arg(day);
    case 2: {
        const QString name
            = month >= 1 && month <= 12 ? QLatin1String(kMonths[month - 1]) : QString();
        return QStringLiteral(" %1 %2,%3").arg(name).arg(day).arg(year);
    }
    default:
        return QStringLiteral(" Ngày %1 tháng %2 năm %3").arg(day).arg(month).arg(year);
    }
}

std::string compact(int year, int month, int day)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d%02d%02d", year, month, day);
    return text;
}

} // namespace DateText
