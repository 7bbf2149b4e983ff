// One receive from the keyboard-hook program or a network device, as the checkout classifies
// it: trimmed, read for its two-digit prefix, and sorted into codes, order numbers and the rest.
#include "InputCode.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const InputCode::Classified result = InputCode::classify(text);
    if (result.text.size() > text.size() || result.firstTwo.size() > 2)
        __builtin_trap();
    if (result.kind == InputCode::Kind::OrderNumber && result.text.size() != 21)
        __builtin_trap();
    return 0;
}
