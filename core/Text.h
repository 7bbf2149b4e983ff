#pragma once

#include <QString>

#include <string>

// Explicit conversions between the text types of the client: Qt strings in widgets,
// 8-bit strings in the local code page for bodies and stored values, UTF-8 on the wire,
// wide strings for session values and display texts.
namespace Text {

std::string localToUtf8(const std::string &local);
std::string utf8ToLocal(const std::string &utf8);
std::wstring utf8ToWide(const std::string &utf8);
std::string wideToUtf8(const std::wstring &wide);
std::wstring localToWide(const std::string &local);
std::string wideToLocal(const std::wstring &wide);
QString fromLocal(const std::string &local);
std::string toLocal(const QString &text);

// The value of a hexadecimal digit of either case, -1 for any other character.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace Text
