#include "EvdevDecoder.h"

#include <linux/input-event-codes.h>

namespace {

struct KeyText
{
    char plain;
    char shifted;
};

// The character of a key, or {0, 0}.
KeyText keyText(std::uint16_t code)
{
    static const char digits[] = "1234567890";
    static const char digitsShifted[] = "!@#$%^&*()";
    if (code >= KEY_1 && code <= KEY_0)
        return {digits[code - KEY_1], digitsShifted[code - KEY_1]};
    static const char rowQ[] = "qwertyuiop";
    if (code >= KEY_Q && code <= KEY_P)
        return {rowQ[code - KEY_Q], static_cast<char>(rowQ[code - KEY_Q] - 'a' + 'A')};
    static const char rowA[] = "asdfghjkl";
    if (code >= KEY_A && code <= KEY_L)
        return {rowA[code - KEY_A], static_cast<char>(rowA[code - KEY_A] - 'a' + 'A')};
    static const char rowZ[] = "zxcvbnm";
    if (code >= KEY_Z && code <= KEY_M)
        return {rowZ[code - KEY_Z], static_cast<char>(rowZ[code - KEY_Z] - 'a' + 'A')};
    switch (code) {
    case KEY_MINUS:
        return {'-', '_'};
    case KEY_EQUAL:
        return {'=', '+'};
    case KEY_LEFTBRACE:
        return {'[', '{'};
    case KEY_RIGHTBRACE:
        return {']', '}'};
    case KEY_SEMICOLON:
        return {';', ':'};
    case KEY_APOSTROPHE:
        return {'\'', '"'};
    case KEY_GRAVE:
        return {'`', '~'};
    case KEY_BACKSLASH:
        return {'\\', '|'};
    case KEY_COMMA:
        return {',', '<'};
    case KEY_DOT:
        return {'.', '>'};
    case KEY_SLASH:
        return {'/', '?'};
    case KEY_SPACE:
        return {' ', ' '};
    case KEY_KP0:
        return {'0', '0'};
    case KEY_KP1:
        return {'1', '1'};
    case KEY_KP2:
        return {'2', '2'};
    case KEY_KP3:
        return {'3', '3'};
    case KEY_KP4:
        return {'4', '4'};
    case KEY_KP5:
        return {'5', '5'};
    case KEY_KP6:
        return {'6', '6'};
    case KEY_KP7:
        return {'7', '7'};
    case KEY_KP8:
        return {'8', '8'};
    case KEY_KP9:
        return {'9', '9'};
    case KEY_KPDOT:
        return {'.', '.'};
    case KEY_KPMINUS:
        return {'-', '-'};
    case KEY_KPPLUS:
        return {'+', '+'};
    case KEY_KPASTERISK:
        return {'*', '*'};
    case KEY_KPSLASH:
        return {'/', '/'};
    default:
        return {0, 0};
    }
}

bool isLetter(char c)
{
    return c >= 'a' && c <= 'z';
}

} // namespace

std::optional<std::string> EvdevDecoder::feed(
    std::uint16_t type, std::uint16_t code, std::int32_t value)
{
    if (type != EV_KEY)
        return std::nullopt;
    const bool pressed = value != 0; // 1 press, 2 auto-repeat, 0 release
    if (code == KEY_LEFTSHIFT) {
        m_leftShift = pressed;
        return std::nullopt;
    }
    if (code == KEY_RIGHTSHIFT) {
        m_rightShift = pressed;
        return std::nullopt;
    }
    if (!pressed)
        return std::nullopt;
    if (code == KEY_CAPSLOCK) {
        if (value == 1)
            m_capsLock = !m_capsLock;
        return std::nullopt;
    }
    if (code == KEY_ENTER || code == KEY_KPENTER) {
        std::string done = m_overflow ? std::string() : m_code;
        m_code.clear();
        m_overflow = false;
        return done;
    }
    const KeyText text = keyText(code);
    if (text.plain == 0)
        return std::nullopt;
    bool shifted = m_leftShift || m_rightShift;
    if (m_capsLock && isLetter(text.plain))
        shifted = !shifted;
    if (m_code.size() >= kMaxCode) {
        m_overflow = true;
        return std::nullopt;
    }
    m_code += shifted ? text.shifted : text.plain;
    return std::nullopt;
}
