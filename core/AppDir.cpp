#include "AppDir.h"

#include <QCoreApplication>
#include <QDir>

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

} // namespace AppDir
