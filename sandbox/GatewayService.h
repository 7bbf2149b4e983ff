#pragma once

#include "Signing.h"
#include "SandboxStore.h"

#include <string>

// The gateway, trade host and upgrade host of the sandbox, without the network: each entry
// takes a request body and gives the reply body (always a JSON object of strings; every answer
// is meant for HTTP 200). A refused request changes nothing in the store.
class GatewayService
{
public:
    // Reply codes of the gateway paths.
    static constexpr const char *kOk = "100";
    static constexpr const char *kLoginFailed = "201";
    static constexpr const char *kBadRequest = "301";
    static constexpr const char *kUnknownAppid = "302";
    static constexpr const char *kBadSign = "303";
    static constexpr const char *kUnknownMethod = "304";
    static constexpr const char *kBadValue = "305";
    static constexpr const char *kPayRefused = "401";
    static constexpr const char *kInvalidCode = "402";
    static constexpr const char *kUnknownOrder = "404";
    static constexpr const char *kRefundRefused = "405";
    static constexpr const char *kInternalError = "500";

    // The fixed key of the upgrade check's sign.
    static constexpr const char *kUpgradeKey = "lumbridex_app";

    // An empty `offerVersion` offers no upgrade.
    GatewayService(SandboxStore &store, std::string offerVersion);

    // "https://127.0.0.1:PORT", used for the download address of an offer.
    void setBaseUrl(const std::string &baseUrl) { m_baseUrl = baseUrl; }

    std::string login(const std::string &body);
    std::string face(const std::string &body) { return face(body, -1); }
    // The same; with `paidAfterQueries` 0 or more, the order of a payment stays pending for
    // that many status queries and is paid at the next.
    std::string face(const std::string &body, int paidAfterQueries);
    std::string update(const std::string &body) { return update(body, m_baseUrl); }
    // The same, the offer's url on `baseUrl` ("https://HOST:PORT").
    std::string update(const std::string &body, const std::string &baseUrl);
    // The name of the offered file under /download/ (by default Tallyport-VERSION.tar.gz).
    void setOfferFileName(const std::string &name) { m_offerFileName = name; }
    const std::string &offerFileName() const { return m_offerFileName; }
    // "https://127.0.0.1:PORT".
    const std::string &baseUrl() const { return m_baseUrl; }
    std::string createApp(const std::string &body);

private:
    std::string pay(const Merchant &merchant, const Fields &data, int paidAfterQueries);
    std::string orderQuery(const Merchant &merchant, const Fields &data);
    std::string orderList(const Merchant &merchant, const Fields &data);
    std::string orderRefund(const Merchant &merchant, const Fields &data);
    std::string orderCount(const Merchant &merchant, const Fields &data);

    SandboxStore &m_store;
    std::string m_offerVersion;
    std::string m_baseUrl = "https://127.0.0.1:8443";
    std::string m_offerFileName;
};
