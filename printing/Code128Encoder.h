#pragma once

#include "PrintDevice.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Code 128 bar codes as a row of modules (1 = bar, 0 = space), drawn one vertical line per
// module. The receipt encodes the merchant order number in code set C.
class Code128Encoder final
{
public:
    enum CodeSet { CodeSetA = 0, CodeSetB = 1, CodeSetC = 2 };

    static constexpr int kMaxModules = 4096;
    static constexpr int kSymbolCount = 107; // values 0-105, and the stop symbol 106
    static constexpr int kStartA = 103;
    static constexpr int kStartB = 104;
    static constexpr int kStartC = 105;
    static constexpr int kStop = 106;
    static constexpr int kCodeB = 100; // in code set C: the following symbols are in code set B
    static constexpr int kModuleWidth = 2;

    Code128Encoder() = default;

    // Encodes `text` (bytes of the local code page) in one code set: start symbol, data, check
    // symbol, stop symbol. Code set A takes ASCII 0-95, code set B ASCII 32-127, code set C
    // decimal digits only: pairs, and an odd last digit after a switch to code set B, so the
    // code always scans as the text itself. Anything else, or more modules than the buffer
    // holds, fails: the module count is then 0 and nothing would be drawn.
    bool encode(const std::string &text, int codeSet);

    int moduleCount() const { return m_moduleCount; }
    // 1 for a bar, 0 for a space, for each of the first moduleCount() modules.
    const std::array<std::uint8_t, kMaxModules> &modules() const { return m_modules; }
    // The symbol values of the last successful encoding, start to stop.
    const std::vector<int> &symbols() const { return m_symbols; }

    // One line per module from (x, top) to (x, bottom) in the bar or space colour, each
    // `moduleWidth` units wide, x advancing by `moduleWidth`. Nothing without an encoding.
    void draw(PrintDevice &device, int x, int top, int bottom, PrintDevice::Colour bar,
        PrintDevice::Colour space, int moduleWidth = kModuleWidth) const;

    // The pattern of a symbol value as "b" (bar) and "s" (space) modules: 11 for 0-105, 13 for
    // the stop symbol; nullptr outside 0-106.
    static const char *pattern(int value);

private:
    void clear();

    std::array<std::uint8_t, kMaxModules> m_modules {};
    int m_moduleCount = 0;
    std::vector<int> m_symbols;
};
