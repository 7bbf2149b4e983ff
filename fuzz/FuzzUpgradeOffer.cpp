// The upgrade host's answer to /api/update as the client decodes it, and the updater's
// parameters made from an offer.
#include "FuzzSupport.h"

#include "ProcessControl.h"
#include "Reply.h"
#include "UpgradeCheck.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);

    const std::optional<UpgradeOffer> offer = UpgradeCheck::decodeOffer(body);
    if (!offer)
        return 0;

    const std::optional<Reply> reply = Reply::parse(body);
    require(reply.has_value(), "an offer comes from a JSON answer");
    require(reply->tree().get<std::string>("status", "") == "1", "an offer has status 1");
    require(offer->version == QString::fromStdString(reply->tree().get<std::string>("version")),
        "the offer's version is the answer's", offer->version);

    const QStringList arguments
        = ProcessControl::splitParameters(UpgradeCheck::updaterParameters(*offer));
    for (const QString &argument : arguments) {
        require(!argument.isEmpty() && !argument.contains(QLatin1Char(' ')),
            "updater parameters are non-empty and without blanks", argument);
    }
    return 0;
}
