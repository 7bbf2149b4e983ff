#include "AutoStart.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// A value of the desktop entry's string type: backslashes doubled.
QString escapedString(QString text)
{
    return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

} // namespace

namespace AutoStart {

bool isTraining()
{
    return !qEnvironmentVariableIsEmpty("TALLYPORT_TRAINING");
}

QString startCommand(const QString &tillExecutable)
{
    if (!isTraining())
        return tillExecutable;
    return QFileInfo(tillExecutable).absolutePath() + QStringLiteral("/tallyport-training");
}

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + (isTraining() ? QStringLiteral("/autostart/Tallyport-training.desktop")
                        : QStringLiteral("/autostart/Tallyport.desktop"));
}

QString execValue(const QString &executable)
{
    // An argument in double quotes with ", `, $ and \ escaped by a backslash; the value as a
    // whole is then a string (backslashes doubled once more) in which % is a field code.
    QString quoted;
    for (const QChar c : executable) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            quoted.append(QLatin1Char('\\'));
        quoted.append(c);
    }
    QString value = escapedString(QLatin1Char('"') + quoted + QLatin1Char('"'));
    return value.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

bool setEnabled(bool enabled, const QString &executable)
{
    const QString path = entryPath();
    if (!enabled) {
        QFile::remove(path);
        return !QFile::exists(path);
    }
    if (hasControlCharacter(executable))
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString entry
        = QStringLiteral("[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=%3\n"
                         "Exec=%1\n"
                         "Path=%2\n"
                         "Terminal=false\n"
                         "X-GNOME-Autostart-enabled=true\n")
              .arg(execValue(executable), escapedString(QFileInfo(executable).absolutePath()),
                  isTraining() ? QStringLiteral("Tallyport Training")
                               : QStringLiteral("Tallyport"));
    file.write(entry.toUtf8());
    return file.commit();
}

bool isEnabled()
{
    return QFile::exists(entryPath());
}

} // namespace AutoStart
