// Key events from a scanner's input device, as KeyHook reads them: records of type, code and
// value in any order; every code it completes stays within its bound.
#include "EvdevDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    EvdevDecoder decoder;
    constexpr std::size_t record = 8; // type (2), code (2), value (4)
    for (std::size_t at = 0; at + record <= size; at += record) {
        std::uint16_t type;
        std::uint16_t code;
        std::int32_t value;
        std::memcpy(&type, data + at, 2);
        std::memcpy(&code, data + at + 2, 2);
        std::memcpy(&value, data + at + 4, 4);
        if (const auto done = decoder.feed(type, code, value)) {
            if (done->size() > EvdevDecoder::kMaxCode)
                __builtin_trap();
        }
    }
    return 0;
}
