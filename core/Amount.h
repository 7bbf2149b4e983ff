#pragma once

#include <optional>
#include <string>

// Exact amount conversions: the gateway counts in minor units (hundredths) as integers.
namespace Amount {

// A plain decimal with at most two decimals ("10000", "12.5", "12.", "0.07") to the integer
// text of minor units ("1000000", "1250", "1200", "7"). Anything else (empty, a sign, an
// exponent, blanks, a third decimal, more than 15 integer digits) gives nullopt.
std::optional<std::string> toMinorUnits(const std::string &decimalText);

// A plain decimal text of minor units (an optional "-", digits, optionally a point and more
// digits) to the exact amount without trailing zeros: "1250" -> "12.5", "2500" -> "25",
// "1" -> "0.01", "250000000" -> "2500000", "1250.00" -> "12.5", "1250.5" -> "12.505".
// Anything else (a blank, a "+", an exponent, more than 40 characters) gives nullopt.
std::optional<std::string> fromMinorUnits(const std::string &minorText);

// The same, from and to an integer.
std::string formatMinorUnits(long long minor);
std::optional<long long> parseMinorUnits(const std::string &minorText);

// Two fixed decimals from a plain decimal text: "12.5" -> "12.50"; nullopt when not plain.
std::optional<std::string> toTwoDecimals(const std::string &decimalText);

} // namespace Amount
