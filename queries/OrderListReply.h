#pragma once

#include "OrderRecord.h"

#include <optional>
#include <string>
#include <vector>

// The answer to "mch_orderList": its code and msg (kept, not tested) and the orders of
// data.order_data in reply order. Each order is read in one pass over its members; its six
// fields are taken as the path reader would take them in turn (out_trade_no, total_fee,
// service, time_end, status, pay_status): a missing one ends the decoding there, keeping the
// orders read before it; a value of the wrong shape makes the whole answer unreadable.
struct OrderListReply
{
    std::string code;
    std::string message;
    std::vector<OrderRecord> records;

    // nullopt when the body is not JSON or of the wrong shape (the failed-request path).
    static std::optional<OrderListReply> decode(const std::string &body);
    // The same answer read the slow way, as a tree with the reply reader, path by path: the
    // reference that decode() must agree with (the tests and the fuzz target compare them).
    static std::optional<OrderListReply> decodeByPaths(const std::string &body);
};
