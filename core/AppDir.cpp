#include "AppDir.h"

#include "System.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace AppDir {

QString path()
{
    const QByteArray home = qgetenv("TALLYPORT_HOME");
    if (!home.isEmpty())
        return QDir::fromNativeSeparators(QString::fromLocal8Bit(home));
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString filePath(const QString &fileName)
{
    return path() + QLatin1Char('/') + fileName;
}

bool isInstalled()
{
    if (!qgetenv("TALLYPORT_HOME").isEmpty() || !QCoreApplication::instance())
        return false;
    const QString directory = QCoreApplication::applicationDirPath();
    if (QFile::exists(directory + QLatin1Char('/') + QLatin1String(kInstalledMarker)))
        return true;
    return !System::canWriteDirectory(directory);
}

QString userDataPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/tallyport");
}

QString dataPath()
{
    return isInstalled() ? userDataPath() : path();
}

QString dataFilePath(const QString &fileName)
{
    return dataPath() + QLatin1Char('/') + fileName;
}

} // namespace AppDir
