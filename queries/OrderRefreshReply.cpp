#include "OrderRefreshReply.h"

#include "Reply.h"

namespace OrderRefreshReply {

bool apply(const std::string &body, OrderRecord &record)
{
    const std::optional<Reply> reply = Reply::parse(body);
    if (!reply)
        return false;
    OrderRecord read = record;
    std::string code;
    std::string message;
    ReplyReader reader = reply->reader();
    reader.read("code", code) && reader.read("msg", message)
        && reader.read("data.out_trade_no", read.orderNumber)
        && reader.read("data.total", read.totalFee) && reader.read("data.payType", read.service)
        && reader.read("data.orderStatus", read.orderStatus)
        && reader.read("data.status", read.status);
    if (reader.malformed())
        return false;
    record = read;
    return true;
}

} // namespace OrderRefreshReply
