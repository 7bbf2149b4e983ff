#pragma once

#include <string>

// What a scanned text is: a WeChat Pay code, an Alipay code, an order number for the refund
// window, or nothing the checkout acts on. Texts come from the keyboard-hook program, a
// serial scanner or a network device, so they are cleaned first.
namespace InputCode {

enum class Kind { Ignored, WeChat, Alipay, OrderNumber };

struct Classified
{
    Kind kind = Kind::Ignored;
    std::string text; // the cleaned text; this is what goes into a field or to the refund window
    std::string firstTwo; // its first two characters (fewer when it is shorter)
    long prefix = 0; // those two read as a decimal integer (0 when they start with no digit)
};

// Drops leading and trailing blanks, then trailing and leading characters of the set blank,
// CR, LF, tab and backslash.
std::string trim(const std::string &raw);

// The decimal value at the start of `text`: leading blanks skipped, an optional sign, digits
// up to the first non-digit; 0 when there is none.
long leadingNumber(const std::string &text);

// Cleans `raw` and classifies it:
//   prefix 10..15 and 18 characters        WeChat Pay code
//   prefix 25..30 and 16..24 characters    Alipay code
//   21 characters (and not a code)         order number
//   anything else                          ignored
Classified classify(const std::string &raw);

// The wallet a payment code belongs to, as the order list names it: "wx" for a WeChat Pay code,
// "ali" for an Alipay code, empty for anything else.
std::string wallet(const std::string &payCode);

} // namespace InputCode
