#include "Code128Encoder.h"

#include <utility>

namespace {

// The Code 128 symbol table, values 0 to 106 ("b" bar module, "s" space module).
const char *const kPatterns[Code128Encoder::kSymbolCount] = {
    "bbsbbssbbss", // 0
    "bbssbbsbbss", // 1
    "bbssbbssbbs", // 2
    "bssbssbbsss", // 3
    "bssbsssbbss", // 4
    "bsssbssbbss", // 5
    "bssbbssbsss", // 6
    "bssbbsssbss", // 7
    "bsssbbssbss", // 8
    "bbssbssbsss", // 9
    "bbssbsssbss", // 10
    "bbsssbssbss", // 11
    "bsbbssbbbss", // 12
    "bssbbsbbbss", // 13
    "bssbbssbbbs", // 14
    "bsbbbssbbss", // 15
    "bssbbbsbbss", // 16
    "bssbbbssbbs", // 17
    "bbssbbbssbs", // 18
    "bbssbsbbbss", // 19
    "bbssbssbbbs", // 20
    "bbsbbbssbss", // 21
    "bbssbbbsbss", // 22
    "bbbsbbsbbbs", // 23
    "bbbsbssbbss", // 24
    "bbbssbsbbss", // 25
    "bbbssbssbbs", // 26
    "bbbsbbssbss", // 27
    "bbbssbbsbss", // 28
    "bbbssbbssbs", // 29
    "bbsbbsbbsss", // 30
    "bbsbbsssbbs", // 31
    "bbsssbbsbbs", // 32
    "bsbsssbbsss", // 33
    "bsssbsbbsss", // 34
    "bsssbsssbbs", // 35
    "bsbbsssbsss", // 36
    "bsssbbsbsss", // 37
    "bsssbbsssbs", // 38
    "bbsbsssbsss", // 39
    "bbsssbsbsss", // 40
    "bbsssbsssbs", // 41
    "bsbbsbbbsss", // 42
    "bsbbsssbbbs", // 43
    "bsssbbsbbbs", // 44
    "bsbbbsbbsss", // 45
    "bsbbbsssbbs", // 46
    "bsssbbbsbbs", // 47
    "bbbsbbbsbbs", // 48
    "bbsbsssbbbs", // 49
    "bbsssbsbbbs", // 50
    "bbsbbbsbsss", // 51
    "bbsbbbsssbs", // 52
    "bbsbbbsbbbs", // 53
    "bbbsbsbbsss", // 54
    "bbbsbsssbbs", // 55
    "bbbsssbsbbs", // 56
    "bbbsbbsbsss", // 57
    "bbbsbbsssbs", // 58
    "bbbsssbbsbs", // 59
    "bbbsbbbbsbs", // 60
    "bbssbssssbs", // 61
    "bbbbsssbsbs", // 62
    "bsbssbbssss", // 63
    "bsbssssbbss", // 64
    "bssbsbbssss", // 65
    "bssbssssbbs", // 66
    "bssssbsbbss", // 67
    "bssssbssbbs", // 68
    "bsbbssbssss", // 69
    "bsbbssssbss", // 70
    "bssbbsbssss", // 71
    "bssbbssssbs", // 72
    "bssssbbsbss", // 73
    "bssssbbssbs", // 74
    "bbssssbssbs", // 75
    "bbssbsbssss", // 76
    "bbbbsbbbsbs", // 77
    "bbssssbsbss", // 78
    "bsssbbbbsbs", // 79
    "bsbssbbbbss", // 80
    "bssbsbbbbss", // 81
    "bssbssbbbbs", // 82
    "bsbbbbssbss", // 83
    "bssbbbbsbss", // 84
    "bssbbbbssbs", // 85
    "bbbbsbssbss", // 86
    "bbbbssbsbss", // 87
    "bbbbssbssbs", // 88
    "bbsbbsbbbbs", // 89
    "bbsbbbbsbbs", // 90
    "bbbbsbbsbbs", // 91
    "bsbsbbbbsss", // 92
    "bsbsssbbbbs", // 93
    "bsssbsbbbbs", // 94
    "bsbbbbsbsss", // 95
    "bsbbbbsssbs", // 96
    "bbbbsbsbsss", // 97
    "bbbbsbsssbs", // 98
    "bsbbbsbbbbs", // 99
    "bsbbbbsbbbs", // 100 (Code B)
    "bbbsbsbbbbs", // 101 (Code A)
    "bbbbsbsbbbs", // 102 (FNC1)
    "bbsbssssbss", // 103 (Start A)
    "bbsbssbssss", // 104 (Start B)
    "bbsbssbbbss", // 105 (Start C)
    "bbsssbbbsbsbb", // 106 (Stop)
};

constexpr int kCheckModulus = 103;
constexpr std::size_t kSymbolWidth = 11;
constexpr std::size_t kStopWidth = 13;
constexpr int kCodeBOffset = 32; // code set B: value = ASCII - 32

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The data symbols of `text` in one code set; false when a character has no symbol there.
bool dataSymbols(const std::string &text, int codeSet, std::vector<int> &symbols)
{
    switch (codeSet) {
    case Code128Encoder::CodeSetA:
        for (const char c : text) {
            const int ascii = static_cast<unsigned char>(c);
            if (ascii >= 96)
                return false;
            symbols.push_back(ascii < 32 ? ascii + 64 : ascii - 32);
        }
        return true;
    case Code128Encoder::CodeSetB:
        for (const char c : text) {
            const int ascii = static_cast<unsigned char>(c);
            if (ascii < 32 || ascii > 127)
                return false;
            symbols.push_back(ascii - kCodeBOffset);
        }
        return true;
    case Code128Encoder::CodeSetC: {
        // A pair that is not two digits would scan as another number: refuse the text.
        for (const char c : text) {
            if (!isDigit(c))
                return false;
        }
        std::size_t i = 0;
        for (; i + 1 < text.size(); i += 2)
            symbols.push_back((text[i] - '0') * 10 + (text[i + 1] - '0'));
        // An odd last digit alone would be the pair "0d" and scan with a zero too many: it
        // goes after a switch to code set B, as the character it is.
        if (i < text.size()) {
            symbols.push_back(Code128Encoder::kCodeB);
            symbols.push_back(text[i] - kCodeBOffset);
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace

const char *Code128Encoder::pattern(int value)
{
    if (value < 0 || value >= kSymbolCount)
        return nullptr;
    return kPatterns[value];
}

void Code128Encoder::clear()
{
    m_modules.fill(0);
    m_moduleCount = 0;
    m_symbols.clear();
}

bool Code128Encoder::encode(const std::string &text, int codeSet)
{
    clear();
    // Every character takes at least half a symbol: a longer text cannot fit the buffer.
    if (codeSet < CodeSetA || codeSet > CodeSetC || text.size() > std::size_t(kMaxModules))
        return false;
    std::vector<int> symbols {kStartA + codeSet};
    if (!dataSymbols(text, codeSet, symbols))
        return false;

    // Check symbol: start value plus each following symbol times its position from 1.
    long long sum = symbols.front();
    for (std::size_t position = 1; position < symbols.size(); ++position)
        sum += static_cast<long long>(position) * symbols[position];
    symbols.push_back(static_cast<int>(sum % kCheckModulus));
    symbols.push_back(kStop);

    const std::size_t length = kSymbolWidth * (symbols.size() - 1) + kStopWidth;
    if (length > static_cast<std::size_t>(kMaxModules))
        return false;
    int count = 0;
    for (const int value : symbols) {
        for (const char *module = pattern(value); *module != '\0'; ++module)
            m_modules[count++] = *module == 'b' ? 1 : 0;
    }
    m_moduleCount = count;
    m_symbols = std::move(symbols);
    return true;
}

void Code128Encoder::draw(PrintDevice &device, int x, int top, int bottom, PrintDevice::Colour bar,
    PrintDevice::Colour space, int moduleWidth) const
{
    for (int i = 0; i < m_moduleCount; ++i) {
        device.drawVerticalLine(x, top, bottom, m_modules[i] ? bar : space, moduleWidth);
        x += moduleWidth;
    }
}
