#include "GatewayCaller.h"

#include "Envelope.h"
#include "HttpClient.h"
#include "LoginRequest.h"

#include <QJsonDocument>

GatewayCaller::GatewayCaller(const SandboxProcess &sandbox)
    : m_sandbox(sandbox)
{ }

bool GatewayCaller::login(const std::string &tel, const std::string &password)
{
    const GatewayAnswer answer
        = post("/api/login", LoginRequest::body(tel, LoginRequest::passwordProof(password)));
    if (answer.code() != QLatin1String("100")) {
        return false;
    }
    appid = answer.field("appid").toStdString();
    key = answer.field("key").toStdString();
    sid = answer.field("sid").toStdString();
    return !appid.empty() && !key.empty() && !sid.empty();
}

GatewayAnswer GatewayCaller::post(
    const std::string &path, const std::string &body, const std::string &kind) const
{
    HttpClient client(m_sandbox.caPath().toStdString());
    GatewayAnswer answer;
    answer.status = client.Post(m_sandbox.url(path), body, answer.body, kind);
    answer.json = QJsonDocument::fromJson(QByteArray::fromStdString(answer.body)).object();
    return answer;
}

std::string GatewayCaller::envelope(const std::string &method, const Fields &data) const
{
    return Envelope::build(appid, method, Signing::sign(data, key), data);
}

GatewayAnswer GatewayCaller::call(const std::string &method, const Fields &data) const
{
    return post("/api/face", envelope(method, data));
}

GatewayAnswer GatewayCaller::pay(const std::string &authCode, const std::string &total) const
{
    return call("auto_pay",
        {{"store_id", sid}, {"total", total}, {"nonce_str", kPayNonce}, {"authCode", authCode}});
}

GatewayAnswer GatewayCaller::query(const std::string &outTradeNo) const
{
    return call("auto_orderQuery", {{"out_trade_no", outTradeNo}, {"nonce_str", Signing::nonce()}});
}

GatewayAnswer GatewayCaller::refund(const std::string &outTradeNo,
    const std::optional<std::string> &description, const std::optional<std::string> &total) const
{
    Fields data = {{"out_trade_no", outTradeNo}};
    if (description) {
        data.emplace_back("refund_desc", *description);
    }
    if (total) {
        data.emplace_back("total", *total);
    }
    data.emplace_back("nonce_str", Signing::nonce());
    return call("auto_orderRefund", data);
}

GatewayAnswer GatewayCaller::list(const std::string &sdate, const std::string &edate,
    const std::string &page, const std::string &limit, const std::string &status) const
{
    return call("mch_orderList",
        {{"sdate", sdate}, {"nonce_str", Signing::nonce()}, {"edate", edate}, {"status", status},
            {"page", page}, {"limit", limit}, {"store_id", sid}});
}

GatewayAnswer GatewayCaller::dayTotals(const std::string &sdate, const std::string &edate) const
{
    return call("mch_orderCount",
        {{"store_id", sid}, {"status", "4"}, {"sdate", sdate}, {"edate", edate},
            {"nonce_str", Signing::nonce()}});
}

QJsonArray GatewayCaller::allOrders() const
{
    const GatewayAnswer answer = list("20000101000000", "20991231235959");
    return answer.data().value(QStringLiteral("order_data")).toArray();
}

int GatewayCaller::orderCount() const
{
    const GatewayAnswer answer = list("20000101000000", "20991231235959");
    if (answer.code() != QLatin1String("100")) {
        return -1;
    }
    return answer.data().value(QStringLiteral("order_data")).toArray().size();
}
