#include "SerialHex.h"

#include "Text.h"

#include <QVector>

#include <cstdio>

namespace SerialHex {

namespace {

// A hexadecimal group read as a number; 0 when it is not one.
ushort hexValue(const QString &group)
{
    bool ok = false;
    const uint value = group.toUInt(&ok, 16);
    return ok ? static_cast<ushort>(value) : 0;
}

bool isDropped(ushort unit)
{
    return unit == '\r' || unit == '\t' || unit == '\n' || unit == '\v' || unit == '\f'
        || unit == ' ' || unit == 0;
}

} // namespace

std::string hexOfBytes(const QByteArray &bytes)
{
    std::string hex;
    hex.reserve(static_cast<std::size_t>(bytes.size()) * 2);
    char piece[16];
    for (const char byte : bytes) {
        std::snprintf(
            piece, sizeof piece, "%02x", static_cast<int>(static_cast<signed char>(byte)));
        hex += piece;
    }
    return hex;
}

std::string withoutLowerCase(const std::string &text)
{
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text) {
        if (c < 'a' || c > 'z')
            kept += c;
    }
    return kept;
}

std::string decodeShort(const QString &digits)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(digits.size() / 2 + 1));
    for (int i = 0; i < digits.size(); i += 2) {
        const char byte = static_cast<char>(hexValue(digits.mid(i, 2)) & 0xff);
        // The text ends at its first zero byte (a line end read back gives one).
        if (byte == '\0')
            break;
        bytes += byte;
    }
    return bytes;
}

std::string decodeLong(const QString &digits)
{
    QVector<ushort> units;
    units.reserve(digits.size() / 4 + 1);
    for (int i = 0; i < digits.size(); i += 4)
        units.append(hexValue(digits.mid(i, 4)));
    const QString text = QString::fromUtf16(units.constData(), units.size()).simplified();
    const QByteArray utf8 = text.toUtf8();
    return unicodeToString(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string unicodeToString(const std::string &bytes)
{
    std::string hex;
    char piece[4];
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const bool pair = i + 1 < bytes.size();
        if (pair && bytes[i] == ' ' && bytes[i + 1] == ' ')
            continue;
        std::snprintf(piece, sizeof piece, "%02x", static_cast<unsigned char>(bytes[i]));
        hex += piece;
        if (pair) {
            std::snprintf(piece, sizeof piece, "%02x", static_cast<unsigned char>(bytes[i + 1]));
            hex += piece;
        }
    }
    const QString hexText = QString::fromLatin1(hex.data(), static_cast<int>(hex.size()));
    QString text;
    for (int i = 0; i < hexText.size() && i / 4 < kMaxUnits; i += 4) {
        const ushort unit = hexValue(hexText.mid(i, 4));
        if (!isDropped(unit))
            text.append(QChar(unit));
    }
    return Text::toLocal(text);
}

} // namespace SerialHex
