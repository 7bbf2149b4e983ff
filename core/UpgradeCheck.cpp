#include "UpgradeCheck.h"

#include "Envelope.h"
#include "Reply.h"
#include "Signing.h"

namespace UpgradeCheck {

std::string body(const std::string &nonce)
{
    const std::string sign
        = Signing::sign({{"mark", "0028"}, {"nonce_str", nonce}, {"type", "2"}}, kAppKey);
    return Envelope::jsonObject(
        {{"type", "2"}, {"nonce_str", nonce}, {"mark", "0028"}, {"sign", sign}});
}

std::optional<UpgradeOffer> decodeOffer(const std::string &reply)
{
    const std::optional<Reply> decoded = Reply::parse(reply);
    if (!decoded)
        return std::nullopt;
    ReplyReader reader = decoded->reader();
    std::string status, message, statusCopy, messageCopy, info, version, url;
    if (!(reader.read("status", status) && reader.read("msg", message)
            && reader.read("status", statusCopy) && reader.read("msg", messageCopy)))
        return std::nullopt;
    if (status != "1" || statusCopy != "1")
        return std::nullopt;
    if (!(reader.read("info", info) && reader.read("version", version) && reader.read("url", url)))
        return std::nullopt;
    UpgradeOffer offer;
    offer.memo = QString::fromStdString(info);
    offer.version = QString::fromStdString(version);
    offer.url = QString::fromStdString(url);
    return offer;
}

QString updaterParameters(const UpgradeOffer &offer)
{
    return offer.memo + QLatin1Char(' ') + offer.version + QLatin1Char(' ') + offer.url;
}

} // namespace UpgradeCheck
