#include "QueryRequests.h"

#include "Envelope.h"
#include "HostSettings.h"
#include "LoginSession.h"
#include "PayTransaction.h"
#include "Signing.h"
#include "Text.h"

namespace {

QueryRequests::Request signedRequest(
    const char *method, const Fields &data, const QueryRequests::Session &session)
{
    QueryRequests::Request request;
    request.signString = Signing::signString(data, session.key);
    request.sign = Signing::signOf(request.signString);
    request.body = Envelope::build(session.appid, method, request.sign, data);
    return request;
}

} // namespace

namespace QueryRequests {

Session currentSession()
{
    const GatewaySession::Credentials credentials = GatewaySession::get();
    return {Text::wideToUtf8(credentials.appid), Text::wideToUtf8(credentials.sid),
        Text::wideToUtf8(credentials.key)};
}

BackgroundRequest::Post gatewayPost(std::string body)
{
    const HostSettings hosts = HostSettings::load();
    return {hosts.gatewayUrl(PayTransaction::kFacePath), std::move(body), hosts.caBundle};
}

Request orderList(const std::string &sdate, const std::string &edate, const std::string &nonce,
    const Session &session)
{
    return signedRequest("mch_orderList",
        {{"sdate", sdate}, {"nonce_str", nonce}, {"edate", edate}, {"status", "4"}, {"page", "1"},
            {"limit", "20000"}, {"store_id", session.sid}},
        session);
}

Request refund(const std::string &orderNumber, const std::optional<std::string> &remark,
    const std::optional<std::string> &total, const std::string &nonce, const Session &session)
{
    Fields data {{"out_trade_no", orderNumber}};
    if (remark)
        data.emplace_back("refund_desc", *remark);
    if (total)
        data.emplace_back("total", *total);
    data.emplace_back("nonce_str", nonce);
    return signedRequest("auto_orderRefund", data, session);
}

Request dayTotals(const std::string &sdate, const std::string &edate, const std::string &nonce,
    const Session &session)
{
    return signedRequest("mch_orderCount",
        {{"store_id", session.sid}, {"status", "4"}, {"sdate", sdate}, {"edate", edate},
            {"nonce_str", nonce}},
        session);
}

} // namespace QueryRequests
