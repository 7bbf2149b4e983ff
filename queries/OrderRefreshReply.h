#pragma once

#include "OrderRecord.h"

#include <string>

// The order window's refresh: the answer to "auto_orderQuery" for one order of the list.
namespace OrderRefreshReply {

// Reads code and msg (kept, not tested), then data.out_trade_no, data.total, data.payType,
// data.orderStatus and data.status into `record` (slots 0, 2/3, 14, 18, 17) until the first
// missing one. False, with `record` unchanged, when the body is not JSON or of the wrong shape.
bool apply(const std::string &body, OrderRecord &record);

} // namespace OrderRefreshReply
