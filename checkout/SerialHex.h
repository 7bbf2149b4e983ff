#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// The text of a serial scanner on its way to the checkout. The reader writes each byte it read
// in hexadecimal and keeps the decimal digits; the checkout reads those digits back, in pairs
// as bytes (the short form), or, from kLongForm digits on, in groups of four as UTF-16 code
// units followed by the unicode-to-string conversion (the long form).
namespace SerialHex {

constexpr int kLongForm = 80;
// The unicode-to-string conversion holds at most this many code units; the rest is dropped.
constexpr int kMaxUnits = 100;

// Every byte as "%02x" of the byte taken as a signed value: 0x31 -> "31", 0xab -> "ffffffab".
std::string hexOfBytes(const QByteArray &bytes);
// The same text without its lower-case letters, which leaves the decimal digits.
std::string withoutLowerCase(const std::string &text);

// Reads `digits` two characters at a time as a hexadecimal number (an odd last character
// alone) and appends each value as one byte, up to the first zero byte, which ends the text
// (CR LF after a code come back as "00"); a pair that is not hexadecimal gives 0.
std::string decodeShort(const QString &digits);

// Groups of four characters as hexadecimal UTF-16 code units (a shorter last group alone,
// anything not hexadecimal 0); white space trimmed and simplified; then, as UTF-8,
// through unicodeToString. The result is in the local code page.
std::string decodeLong(const QString &digits);

// Walks `bytes` two at a time and drops every pair of two blanks, writes the rest in
// hexadecimal and reads that four digits at a time as UTF-16 code units (at most kMaxUnits);
// removes every CR, tab, LF, VT, FF, blank and zero character from the text. Local code page.
std::string unicodeToString(const std::string &bytes);

} // namespace SerialHex
