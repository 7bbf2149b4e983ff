#include "InstalledData.h"

#include "AppDir.h"
#include "ConfigStore.h"
#include "HostSettings.h"
#include "RunLog.h"
#include "Settings.h"
#include "System.h"

#include <QDir>
#include <QFile>

namespace InstalledData {

bool writeFirstConfiguration(const QString &file, const QString &host, const QString &caBundle)
{
    const ConfigStore store(file);
    if (store.exists())
        return true;
    return store.writeString(QStringLiteral("GATEWAY_HOST"), QStringLiteral("gateway_host"), host)
        && store.writeString(QStringLiteral("TRADE_HOST"), QStringLiteral("trade_host"), host)
        && store.writeString(QStringLiteral("UPGRADE_HOST"), QStringLiteral("upgrade_host"), host)
        && store.writeString(QStringLiteral("CA_BUNDLE"), QStringLiteral("ca_bundle"), caBundle)
        // The settings page's built-in choices: once a file exists, a missing key reads as 0,
        // which would put all three hot keys on Alt+F1.
        && ParamSettings().save(store);
}

QString sandboxPath(const QString &dataDirectory)
{
    return dataDirectory + QStringLiteral("/sandbox");
}

QString prepare()
{
    if (!AppDir::isInstalled())
        return QString();
    return prepareIn(AppDir::userDataPath(), AppDir::path());
}

QString prepareIn(const QString &dataDirectory, const QString &programDirectory)
{
    if (!QDir().mkpath(dataDirectory))
        return QStringLiteral("cannot create %1").arg(dataDirectory);
    if (!System::makePrivateDirectory(dataDirectory))
        return QStringLiteral("cannot make %1 owner-only").arg(dataDirectory);
    RunLog::setDirectory(dataDirectory.toStdString());
    if (!QDir::setCurrent(programDirectory))
        return QStringLiteral("cannot change to %1").arg(programDirectory);
    if (!writeFirstConfiguration(dataDirectory + QStringLiteral("/TallyportConfig.ini"),
            QLatin1String(HostSettings::kDefaultHost),
            sandboxPath(dataDirectory) + QStringLiteral("/ca.pem")))
        return QStringLiteral("cannot write the configuration in %1").arg(dataDirectory);
    return QString();
}

} // namespace InstalledData
