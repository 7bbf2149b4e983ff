#pragma once

#include "BackgroundRequest.h"

#include <optional>
#include <string>

// The signed requests of the order list, the refunds and the daily summary. Values go in as
// UTF-8; every sign is taken over the UTF-8 bytes of the raw values, and the body escapes
// them as JSON strings. The order window's refresh is the checkout's status request
// (PayTransaction::statusRequest).
namespace QueryRequests {

struct Request
{
    std::string signString; // as hashed
    std::string sign;
    std::string body; // the envelope, ready to post
};

struct Session
{
    std::string appid;
    std::string sid;
    std::string key;
};

// The logged-in store's appid, store id and key, as UTF-8.
Session currentSession();
// `body` posted to the gateway's trade path on the configured host.
BackgroundRequest::Post gatewayPost(std::string body);

// "mch_orderList": the orders created between sdate and edate (yyyyMMddHHmmss), every status,
// page 1 of up to 20000.
Request orderList(const std::string &sdate, const std::string &edate, const std::string &nonce,
    const Session &session);
// "auto_orderRefund": the remark and the total (minor units) only when given.
Request refund(const std::string &orderNumber, const std::optional<std::string> &remark,
    const std::optional<std::string> &total, const std::string &nonce, const Session &session);
// "mch_orderCount": the day totals between sdate and edate (yyyyMMdd).
Request dayTotals(const std::string &sdate, const std::string &edate, const std::string &nonce,
    const Session &session);

} // namespace QueryRequests
