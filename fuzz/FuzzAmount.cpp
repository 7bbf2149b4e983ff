// Amount texts: what the cashier types (decimal text to minor units) and what the gateway sends
// (minor units to the shown amount), with the round trips that must hold between them.
#include "FuzzSupport.h"

#include "Amount.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

using FuzzSupport::require;

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(const std::string &text)
{
    for (const char c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

// "digits[.[d[d]]]" with 1 to 15 integer digits, split into its two parts.
bool splitPlainDecimal(const std::string &text, std::string &integer, std::string &decimals)
{
    const std::size_t point = text.find('.');
    integer = text.substr(0, point);
    decimals = point == std::string::npos ? std::string() : text.substr(point + 1);
    return !integer.empty() && integer.size() <= 15 && allDigits(integer) && decimals.size() <= 2
        && allDigits(decimals);
}

// The amount as it is shown: no leading zeros, no trailing zero decimals, no bare point.
std::string shown(std::string integer, std::string decimals)
{
    while (integer.size() > 1 && integer[0] == '0')
        integer.erase(0, 1);
    while (!decimals.empty() && decimals.back() == '0')
        decimals.pop_back();
    return decimals.empty() ? integer : integer + '.' + decimals;
}

void checkDecimalText(const std::string &text)
{
    std::string integer, decimals;
    const bool plain = splitPlainDecimal(text, integer, decimals);
    const std::optional<std::string> minor = Amount::toMinorUnits(text);
    require(minor.has_value() == plain, "toMinorUnits takes exactly the plain decimals", text);
    const std::optional<std::string> fixed = Amount::toTwoDecimals(text);
    require(fixed.has_value() == plain, "toTwoDecimals takes exactly the plain decimals", text);
    if (!plain)
        return;

    const std::optional<long long> value = Amount::parseMinorUnits(*minor);
    require(value.has_value() && *value >= 0, "minor units parse back", *minor);
    require(
        std::to_string(*value) == *minor, "minor units are written without leading zeros", *minor);
    require(Amount::formatMinorUnits(*value) == shown(integer, decimals),
        "minor units are shown as the decimal that was typed", text);
    require(Amount::fromMinorUnits(*minor) == shown(integer, decimals),
        "fromMinorUnits shows the decimal that was typed", text);
    require(Amount::toMinorUnits(Amount::formatMinorUnits(*value)) == minor,
        "a shown amount converts back to the same minor units", text);

    std::string padded = decimals;
    padded.resize(2, '0');
    const std::string expected = shown(integer, std::string()) + '.' + padded;
    require(*fixed == expected, "two fixed decimals", text + " -> " + *fixed);
}

void checkMinorText(const std::string &text)
{
    const std::optional<long long> value = Amount::parseMinorUnits(text);
    const std::optional<std::string> amount = Amount::fromMinorUnits(text);
    if (value) {
        require(amount == Amount::formatMinorUnits(*value),
            "an integer of minor units is shown as formatMinorUnits shows it", text);
    }
    if (amount) {
        const bool negative = (*amount)[0] == '-';
        const std::string magnitude = amount->substr(negative ? 1 : 0);
        const std::size_t point = magnitude.find('.');
        const std::string integer = magnitude.substr(0, point);
        const std::string decimals = point == std::string::npos ? "" : magnitude.substr(point + 1);
        require(!integer.empty() && allDigits(integer) && (integer.size() == 1 || integer[0] != '0')
                && allDigits(decimals)
                && (point == std::string::npos || (!decimals.empty() && decimals.back() != '0'))
                && *amount != "-0",
            "a gateway amount is shown as a plain decimal without needless zeros",
            text + " -> " + *amount);
    }
}

void checkValue(long long value)
{
    const std::string text = Amount::formatMinorUnits(value);
    if (value >= 0 && value < 100000000000000000LL) {
        require(Amount::toMinorUnits(text) == std::to_string(value),
            "a shown amount converts back to its minor units", text);
    }
    const std::string magnitude = value < 0 ? text.substr(1) : text;
    const std::size_t point = magnitude.find('.');
    const std::string integer = magnitude.substr(0, point);
    const std::string decimals = point == std::string::npos ? "" : magnitude.substr(point + 1);
    require(!integer.empty() && allDigits(integer) && (integer.size() == 1 || integer[0] != '0')
            && allDigits(decimals) && decimals.size() <= 2
            && (point == std::string::npos || !decimals.empty()),
        "an amount is shown as a plain decimal", text);
    require(decimals.empty() || decimals.back() != '0', "no trailing zero decimals", text);
    require((value < 0) == (text[0] == '-'), "a negative amount is shown with its sign", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    checkDecimalText(text);
    checkMinorText(text);

    long long value = 0;
    std::memcpy(&value, data, size < sizeof value ? size : sizeof value);
    checkValue(value);
    if (value != std::numeric_limits<long long>::min())
        checkValue(-value);
    return 0;
}
