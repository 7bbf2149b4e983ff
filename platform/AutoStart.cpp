#include "AutoStart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace AutoStart {

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/Tallyport.desktop");
}

bool setEnabled(bool enabled, const QString &executable)
{
    const QString path = entryPath();
    if (!enabled) {
        QFile::remove(path);
        return !QFile::exists(path);
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QString quoted = executable;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Tallyport\nExec=\"%1\"\n"
                              "X-GNOME-Autostart-enabled=true\n")
                   .arg(quoted)
                   .toUtf8());
    return true;
}

bool isEnabled()
{
    return QFile::exists(entryPath());
}

} // namespace AutoStart
