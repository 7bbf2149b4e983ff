#include "Envelope.h"

#include "Text.h"

#include <cstdio>

namespace Envelope {

std::string jsonEscape(const std::string &value)
{
    std::string escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '"':
            escaped += "\\\"";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        case '\b':
            escaped += "\\b";
            break;
        case '\f':
            escaped += "\\f";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\t':
            escaped += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned char>(c));
                escaped += code;
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

std::string jsonObject(const Fields &fields)
{
    std::string text = "{";
    for (const auto &[name, value] : fields) {
        if (text.size() > 1)
            text += ',';
        text += '"';
        text += jsonEscape(name);
        text += "\":\"";
        text += jsonEscape(value);
        text += '"';
    }
    text += '}';
    return text;
}

std::string build(const std::string &appid, const std::string &method, const std::string &sign,
    const Fields &data)
{
    std::string text = "{\"appid\":\"" + jsonEscape(appid) + "\",\"method\":\"" + jsonEscape(method)
        + "\",\"sign\":\"" + jsonEscape(sign) + "\",\"data\":";
    text += jsonObject(data);
    text += '}';
    return text;
}

std::string formEncode(const Fields &fields)
{
    static const char hex[] = "0123456789ABCDEF";
    auto encode = [](const std::string &value) {
        std::string out;
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')
                || (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_'
                || byte == '~') {
                out += c;
            } else {
                out += '%';
                out += hex[byte >> 4];
                out += hex[byte & 0x0f];
            }
        }
        return out;
    };
    std::string text;
    for (const auto &[name, value] : fields) {
        if (!text.empty())
            text += '&';
        text += encode(name);
        text += '=';
        text += encode(value);
    }
    return text;
}

std::string formDecode(const std::string &value)
{
    using Text::hexDigitValue;
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < value.size() && hexDigitValue(value[i + 1]) >= 0
            && hexDigitValue(value[i + 2]) >= 0) {
            out += static_cast<char>(
                hexDigitValue(value[i + 1]) * 16 + hexDigitValue(value[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace Envelope
