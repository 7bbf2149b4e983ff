#include "InputCode.h"

#include <cctype>

namespace InputCode {

namespace {

bool isEdgeCharacter(char c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\\';
}

} // namespace

std::string trim(const std::string &raw)
{
    std::size_t begin = raw.find_first_not_of(' ');
    if (begin == std::string::npos)
        return std::string();
    std::size_t end = raw.find_last_not_of(' ') + 1;
    while (end > begin && isEdgeCharacter(raw[end - 1]))
        --end;
    while (begin < end && isEdgeCharacter(raw[begin]))
        ++begin;
    return raw.substr(begin, end - begin);
}

long leadingNumber(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    // Callers pass at most two characters; the bound keeps any other text from overflowing.
    for (int digits = 0; i < text.size() && digits < 18; ++i, ++digits) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isdigit(c))
            break;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

Classified classify(const std::string &raw)
{
    Classified result;
    result.text = trim(raw);
    result.firstTwo = result.text.substr(0, 2);
    result.prefix = leadingNumber(result.firstTwo);
    const std::size_t n = result.text.size();
    if (result.prefix >= 10 && result.prefix <= 15 && n == 18)
        result.kind = Kind::WeChat;
    else if (result.prefix >= 25 && result.prefix <= 30 && n >= 16 && n <= 24)
        result.kind = Kind::Alipay;
    else if (n == 21)
        result.kind = Kind::OrderNumber;
    return result;
}

std::string wallet(const std::string &payCode)
{
    switch (classify(payCode).kind) {
    case Kind::WeChat:
        return "wx";
    case Kind::Alipay:
        return "ali";
    case Kind::OrderNumber:
    case Kind::Ignored:
        break;
    }
    return std::string();
}

} // namespace InputCode
