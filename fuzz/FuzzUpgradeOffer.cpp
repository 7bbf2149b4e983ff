// The upgrade host's answer to /api/update as the client decodes it, the updater's parameters
// made from an offer and read back by the updater, and the updater's checks of the offered
// address and of the fetched file (the input itself, taken as a download).
#include "FuzzSupport.h"

#include "ProcessControl.h"
#include "Reply.h"
#include "UpdaterRules.h"
#include "UpgradeCheck.h"

#include <QStringList>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);

    // Any bytes may come as the download; a refusal has a reason, and an installer starts "MZ".
    const QString notInstaller = UpdaterRules::installerRefusal(body);
    require(!notInstaller.isEmpty() || body.compare(0, 2, "MZ") == 0,
        "only a Windows program is taken for an installer");

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
    // The updater reads back the offer's url as the last word; one it allows is https on the
    // configured host.
    const std::optional<UpdaterRules::Offer> read = UpdaterRules::parseParameters(arguments);
    if (!read)
        return 0;
    const QString host = QStringLiteral("https://upd.example.com:8443");
    if (UpdaterRules::sourceRefusal(read->url, host).isEmpty()) {
        const QUrl url(read->url);
        require(url.scheme().toLower() == QLatin1String("https")
                && url.host().toLower() == QLatin1String("upd.example.com") && url.port() == 8443
                && url.userInfo().isEmpty(),
            "an allowed url is https on the upgrade host", read->url);
    }
    return 0;
}
