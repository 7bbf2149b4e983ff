#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Turns the key presses a low-level keyboard hook sees (Windows virtual-key codes) into the
// codes a scanner types: digits of the main row and of the keypad make a code, Enter ends it.
// The hook sees every key of the machine, so a scanner is told from a person by its pace: a
// key more than kMaxGapMs after the one before, or any key that is not a digit, starts over.
// A code longer than kMaxCode is dropped.
class VirtualKeyDecoder final
{
public:
    static constexpr std::size_t kMaxCode = 1024;
    static constexpr std::int64_t kMaxGapMs = 80;

    // One key press at `timeMs` (any steady clock); the code when Enter ends one that is not
    // empty.
    std::optional<std::string> press(unsigned virtualKey, std::int64_t timeMs);

private:
    std::string m_code;
    std::int64_t m_lastMs = 0;
};
