#include "AutoStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kRunKey
    = QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");

// The value's name: the application's name (the executable's base name), the training till's
// its own.
QString valueName()
{
    const QString name = QCoreApplication::instance() ? QCoreApplication::applicationName()
                                                      : QStringLiteral("Tallyport");
    return AutoStart::isTraining() ? name + QStringLiteral("-training") : name;
}

} // namespace

namespace AutoStart {

bool isTraining()
{
    return !qEnvironmentVariableIsEmpty("TALLYPORT_TRAINING");
}

QString startCommand(const QString &tillExecutable)
{
    // The training till is the till itself on a training configuration: no launcher.
    return tillExecutable;
}

QString entryPath()
{
    return kRunKey + QLatin1Char('\\') + valueName();
}

QString execValue(const QString &executable)
{
    // The full path with backslashes; quoted when it holds a blank, so that the logon start
    // does not take "C:\Program" for the program.
    const QString path = QDir::toNativeSeparators(executable);
    return path.contains(QLatin1Char(' ')) ? QLatin1Char('"') + path + QLatin1Char('"') : path;
}

bool setEnabled(bool enabled, const QString &executable)
{
    QSettings run(kRunKey, QSettings::NativeFormat);
    if (enabled)
        run.setValue(valueName(), execValue(QFileInfo(executable).absoluteFilePath()));
    else
        run.remove(valueName());
    run.sync();
    return run.status() == QSettings::NoError;
}

bool isEnabled()
{
    return QSettings(kRunKey, QSettings::NativeFormat).contains(valueName());
}

} // namespace AutoStart
