#include "RefundReply.h"

#include "Amount.h"
#include "Reply.h"

std::string RefundReply::refundedAmount() const
{
    return Amount::fromMinorUnits(refundTotal).value_or(refundTotal);
}

std::optional<RefundReply> RefundReply::decode(const std::string &body)
{
    const std::optional<Reply> reply = Reply::parse(body);
    if (!reply)
        return std::nullopt;
    RefundReply refund;
    ReplyReader reader = reply->reader();
    reader.read("code", refund.code) && reader.read("msg", refund.message)
        && reader.read("data.pay_type", refund.payType)
        && reader.read("data.refund_total", refund.refundTotal);
    if (reader.malformed())
        return std::nullopt;
    return refund;
}
