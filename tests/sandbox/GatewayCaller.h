#pragma once

#include "SandboxProcess.h"
#include "Signing.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>
#include <string>

// One answer of the sandbox as a test sees it.
struct GatewayAnswer
{
    int status = -1; // HTTP status, -1 for a failed transfer
    std::string body; // reply body (only for status 200)
    QJsonObject json; // the body parsed, empty when it is not a JSON object

    QString code() const { return json.value(QStringLiteral("code")).toString(); }
    QString msg() const { return json.value(QStringLiteral("msg")).toString(); }
    QJsonObject data() const { return json.value(QStringLiteral("data")).toObject(); }
    QString field(const char *name) const { return data().value(QLatin1String(name)).toString(); }
};

// Talks to a running sandbox the way the client does: signed envelopes over HTTPS through
// the client's own HttpClient, trusting the sandbox CA.
class GatewayCaller
{
public:
    static constexpr const char *kPayNonce = "7c4e19a0d2f6b";

    explicit GatewayCaller(const SandboxProcess &sandbox);

    // Logs the demo cashier in and keeps appid, key and sid.
    bool login(const std::string &tel = "13800000000", const std::string &password = "123456");

    GatewayAnswer post(
        const std::string &path, const std::string &body, const std::string &kind = "json") const;
    // The envelope of `method` with `data` (in this order), signed with the session key.
    std::string envelope(const std::string &method, const Fields &data) const;
    GatewayAnswer call(const std::string &method, const Fields &data) const;

    GatewayAnswer pay(const std::string &authCode, const std::string &total) const;
    GatewayAnswer query(const std::string &outTradeNo) const;
    GatewayAnswer refund(const std::string &outTradeNo,
        const std::optional<std::string> &description = std::nullopt,
        const std::optional<std::string> &total = std::nullopt) const;
    GatewayAnswer list(const std::string &sdate, const std::string &edate,
        const std::string &page = "1", const std::string &limit = "20000",
        const std::string &status = "4") const;
    GatewayAnswer dayTotals(const std::string &sdate, const std::string &edate) const;
    // All orders of the store over every date, -1 when the list request failed.
    int orderCount() const;
    QJsonArray allOrders() const;

    std::string appid;
    std::string key;
    std::string sid;

private:
    const SandboxProcess &m_sandbox;
};
