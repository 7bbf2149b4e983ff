#include "Amount.h"

#include <cstdlib>

namespace {

constexpr std::size_t kMaxIntegerDigits = 15;
// A gateway amount longer than this is not a plain amount; it is shown as it came.
constexpr std::size_t kMaxDecimalText = 40;

bool allDigits(const std::string &text, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

} // namespace

namespace Amount {

std::optional<std::string> toMinorUnits(const std::string &decimalText)
{
    const std::size_t point = decimalText.find('.');
    const std::size_t integerEnd = point == std::string::npos ? decimalText.size() : point;
    if (integerEnd == 0 || integerEnd > kMaxIntegerDigits || !allDigits(decimalText, 0, integerEnd))
        return std::nullopt;
    std::string decimals;
    if (point != std::string::npos) {
        decimals = decimalText.substr(point + 1);
        if (decimals.size() > 2 || !allDigits(decimals, 0, decimals.size()))
            return std::nullopt;
    }
    decimals.resize(2, '0');
    const long long minor
        = std::stoll(decimalText.substr(0, integerEnd)) * 100 + std::stoll(decimals);
    return std::to_string(minor);
}

std::optional<long long> parseMinorUnits(const std::string &minorText)
{
    const std::size_t start = !minorText.empty() && minorText[0] == '-' ? 1 : 0;
    const std::size_t digits = minorText.size() - start;
    if (digits == 0 || digits > kMaxIntegerDigits + 2
        || !allDigits(minorText, start, minorText.size()))
        return std::nullopt;
    return std::stoll(minorText);
}

std::string formatMinorUnits(long long minor)
{
    const bool negative = minor < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(minor)
                                                  : static_cast<unsigned long long>(minor);
    std::string text = std::to_string(magnitude / 100);
    const unsigned long long cents = magnitude % 100;
    if (cents != 0) {
        text += '.';
        text += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0)
            text += static_cast<char>('0' + cents % 10);
    }
    return negative ? "-" + text : text;
}

std::optional<std::string> fromMinorUnits(const std::string &minorText)
{
    // A plain decimal: an optional "-", digits, and optionally a point with more digits.
    const bool negative = !minorText.empty() && minorText[0] == '-';
    const std::size_t start = negative ? 1 : 0;
    const std::size_t point = minorText.find('.', start);
    const std::size_t integerEnd = point == std::string::npos ? minorText.size() : point;
    if (minorText.size() > kMaxDecimalText || integerEnd == start
        || !allDigits(minorText, start, integerEnd)
        || (point != std::string::npos && !allDigits(minorText, point + 1, minorText.size())))
        return std::nullopt;

    // Dividing by 100 moves the point two digits to the left.
    std::string integer = minorText.substr(start, integerEnd - start);
    std::string fraction = point == std::string::npos ? std::string() : minorText.substr(point + 1);
    if (integer.size() < 3)
        integer.insert(0, 3 - integer.size(), '0');
    fraction.insert(0, integer.substr(integer.size() - 2));
    integer.resize(integer.size() - 2);

    const std::size_t firstDigit = integer.find_first_not_of('0');
    integer = firstDigit == std::string::npos ? "0" : integer.substr(firstDigit);
    const std::size_t lastDigit = fraction.find_last_not_of('0');
    fraction.resize(lastDigit == std::string::npos ? 0 : lastDigit + 1);

    std::string text = fraction.empty() ? integer : integer + '.' + fraction;
    if (negative && text != "0")
        text.insert(0, 1, '-');
    return text;
}

std::optional<std::string> toTwoDecimals(const std::string &decimalText)
{
    const std::optional<std::string> minor = toMinorUnits(decimalText);
    if (!minor)
        return std::nullopt;
    const long long value = std::stoll(*minor);
    std::string text = std::to_string(value / 100) + '.';
    text += static_cast<char>('0' + (value % 100) / 10);
    text += static_cast<char>('0' + value % 10);
    return text;
}

} // namespace Amount
