#pragma once

#include <optional>
#include <string>

// The answer to "auto_orderRefund": code, msg, then data.pay_type and data.refund_total, read
// in that order until the first missing one. Texts are UTF-8.
struct RefundReply
{
    std::string code;
    std::string message;
    std::string payType; // "ali", "wx", or whatever else the gateway says
    std::string refundTotal; // minor units, as received

    bool succeeded() const { return code == "100"; }
    // The refunded amount exactly ("1250" -> "12.5"); empty when none was read.
    std::string refundedAmount() const;

    // nullopt when the body is not JSON or of the wrong shape (the failed-request path).
    static std::optional<RefundReply> decode(const std::string &body);
};
