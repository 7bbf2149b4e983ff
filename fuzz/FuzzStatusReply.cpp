// The gateway's answers to the "auto_orderQuery" polls as the checkout decides on them: up to
// three answers, separated by a NUL byte, read into the same order one after the other until
// one of them settles the order, as the polling does.
#include "FuzzSupport.h"

#include "PayTransaction.h"
#include "Reply.h"

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;
using PayTransaction::StatusOutcome;

namespace {

constexpr int kMaxAnswers = 3;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);

    CurrentOrder order;
    std::size_t start = 0;
    for (int answer = 0; answer < kMaxAnswers && start <= input.size(); ++answer) {
        std::size_t end = input.find('\0', start);
        if (end == std::string::npos || answer == kMaxAnswers - 1)
            end = input.size();
        const std::string body = input.substr(start, end - start);
        start = end + 1;

        const CurrentOrder before = order;
        const StatusOutcome outcome = PayTransaction::decideStatusReply(body, order);

        require((outcome == StatusOutcome::Paid) == (order.status == L"1"),
            "paid exactly when the order's status is 1");
        require((outcome == StatusOutcome::Failed) == (order.status == L"0"),
            "failed exactly when the order's status is 0");
        if (!Reply::parse(body)) {
            require(outcome == StatusOutcome::Continue, "an answer that is not JSON polls on");
            require(order.receiptMessage() == before.receiptMessage()
                    && order.message == before.message,
                "an answer that is not JSON leaves the order as it was");
        }
        order.receiptMessage();
        if (outcome != StatusOutcome::Continue)
            break;
    }
    return 0;
}
