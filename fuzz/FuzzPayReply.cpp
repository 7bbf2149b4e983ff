// The gateway's answer to an "auto_pay" request as the checkout decides on it.
#include "FuzzSupport.h"

#include "PayTransaction.h"
#include "Reply.h"

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;
using PayTransaction::PayOutcome;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);

    CurrentOrder order;
    const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(body, order);
    const bool isJson = Reply::parse(body).has_value();

    if (!isJson)
        require(decision.outcome == PayOutcome::RequestFailed,
            "an answer that is not JSON fails the request");
    if (decision.outcome == PayOutcome::RequestFailed) {
        const CurrentOrder untouched;
        require(order.receiptMessage() == untouched.receiptMessage() && order.message.empty()
                && order.status.empty(),
            "a failed request leaves the order as it was");
    }
    if (decision.outcome == PayOutcome::Refused)
        require(decision.code != L"100", "code 100 is never a refusal");
    if (decision.outcome == PayOutcome::Paid || decision.outcome == PayOutcome::Pending
        || decision.outcome == PayOutcome::Failed
        || decision.outcome == PayOutcome::FailedKeepFields
        || decision.outcome == PayOutcome::Unknown)
        require(decision.code == L"100", "only code 100 goes on to the status");
    if (decision.outcome == PayOutcome::Pending)
        require(order.status == L"3", "pending is status 3");
    // A card that says paid, or a poll, needs the order it is about.
    if (decision.outcome == PayOutcome::Paid || decision.outcome == PayOutcome::Pending)
        require(!order.orderNumber.empty(), "paid or pending names its order");
    // What the receipt would print.
    order.receiptMessage();
    return 0;
}
