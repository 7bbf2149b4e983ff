// The trade host's answer to a single-window payment: whatever it is, it decodes to one of the
// four outcomes with a notice, and a failed request never reads as paid.
#include "SinglePay.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string reply(reinterpret_cast<const char *>(data), size);
    for (const bool followedUp : {false, true}) {
        const SinglePay::Decision decision = SinglePay::decide(reply, followedUp);
        if (decision.notice.title.isEmpty()
            || (decision.outcome == SinglePay::Outcome::Paid && reply.empty()))
            __builtin_trap();
    }
    return 0;
}
