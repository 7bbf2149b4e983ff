#include "HostSettings.h"

#include "ConfigStore.h"

namespace {

// A base URL without its trailing slashes, or the default when nothing is set.
std::string baseUrl(const ConfigStore &store, const char *section, const char *key)
{
    QString value = store.readString(QLatin1String(section), QLatin1String(key));
    while (value.endsWith(QLatin1Char('/')))
        value.chop(1);
    return value.isEmpty() ? std::string(HostSettings::kDefaultHost) : value.toStdString();
}

} // namespace

HostSettings HostSettings::load(const ConfigStore &store)
{
    HostSettings settings;
    if (!store.exists())
        return settings;
    settings.gatewayHost = baseUrl(store, "GATEWAY_HOST", "gateway_host");
    settings.tradeHost = baseUrl(store, "TRADE_HOST", "trade_host");
    settings.upgradeHost = baseUrl(store, "UPGRADE_HOST", "upgrade_host");
    // A path of any characters, as UTF-8: it is opened as a QString, never as bytes of the
    // local code page.
    settings.caBundle
        = store.readString(QStringLiteral("CA_BUNDLE"), QStringLiteral("ca_bundle")).toStdString();
    return settings;
}

HostSettings HostSettings::load()
{
    return load(ConfigStore());
}

std::string HostSettings::gatewayUrl(const std::string &path) const
{
    return gatewayHost + path;
}

std::string HostSettings::tradeUrl(const std::string &path) const
{
    return tradeHost + path;
}

std::string HostSettings::upgradeUrl(const std::string &path) const
{
    return upgradeHost + path;
}
