#include "AppDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

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
    // The effective ids and capabilities decide, as they do for the writes that would follow.
    return ::faccessat(AT_FDCWD, QFile::encodeName(directory).constData(), W_OK, AT_EACCESS) != 0;
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
