#include "VirtualKeyDecoder.h"

namespace {

constexpr unsigned kReturn = 0x0D;
constexpr unsigned kDigit0 = 0x30;
constexpr unsigned kDigit9 = 0x39;
constexpr unsigned kKeypad0 = 0x60;
constexpr unsigned kKeypad9 = 0x69;

} // namespace

std::optional<std::string> VirtualKeyDecoder::press(unsigned virtualKey, std::int64_t timeMs)
{
    if (!m_code.empty() && timeMs - m_lastMs > kMaxGapMs)
        m_code.clear();
    m_lastMs = timeMs;
    if (virtualKey == kReturn) {
        std::string code;
        code.swap(m_code);
        if (code.empty() || code.size() > kMaxCode)
            return std::nullopt;
        return code;
    }
    char digit = 0;
    if (virtualKey >= kDigit0 && virtualKey <= kDigit9)
        digit = static_cast<char>('0' + (virtualKey - kDigit0));
    else if (virtualKey >= kKeypad0 && virtualKey <= kKeypad9)
        digit = static_cast<char>('0' + (virtualKey - kKeypad0));
    if (!digit) {
        m_code.clear();
        return std::nullopt;
    }
    if (m_code.size() <= kMaxCode)
        m_code.push_back(digit);
    return std::nullopt;
}
