#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Turns the key events of a keyboard-wedge scanner (Linux evdev, US layout) into text: key
// presses become characters, Shift and Caps Lock pick the shifted form, Enter (main or keypad)
// ends a code. Keys without a character are ignored; a code longer than kMaxCode is dropped.
class EvdevDecoder final
{
public:
    static constexpr std::size_t kMaxCode = 1024;

    // One input event; returns the code when Enter ends one (an empty code included).
    std::optional<std::string> feed(std::uint16_t type, std::uint16_t code, std::int32_t value);

private:
    bool m_leftShift = false;
    bool m_rightShift = false;
    bool m_capsLock = false;
    bool m_overflow = false;
    std::string m_code;
};
