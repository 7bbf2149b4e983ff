#include "ProcessControl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr int kCommLength = 15; // the kernel keeps the first 15 bytes of a program name

QList<pid_t> processesNamed(const QString &name)
{
    const QByteArray wanted = name.toLocal8Bit().left(kCommLength);
    QList<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid || pid == getpid())
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(entry));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        if (comm.readAll().trimmed() != wanted)
            continue;
        // A zombie has ended already; only its parent has not collected it yet.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray fields = stat.readAll();
            const int afterName = fields.lastIndexOf(')');
            if (afterName > 0 && fields.mid(afterName + 2, 1) == "Z")
                continue;
        }
        found.append(pid);
    }
    return found;
}

} // namespace

namespace ProcessControl {

bool isRunning(const QString &name)
{
    return !processesNamed(name).isEmpty();
}

int killAll(const QString &name, int graceMs)
{
    const QList<pid_t> targets = processesNamed(name);
    for (const pid_t pid : targets)
        ::kill(pid, SIGTERM);
    QElapsedTimer clock;
    clock.start();
    while (!processesNamed(name).isEmpty() && clock.elapsed() < graceMs)
        QThread::msleep(20);
    for (const pid_t pid : processesNamed(name))
        ::kill(pid, SIGKILL);
    return targets.size();
}

bool startDetached(
    const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    return QProcess::startDetached(program, arguments, workingDirectory);
}

QStringList splitParameters(const QString &parameters)
{
    QStringList words;
    QString word;
    for (const QChar c : parameters) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')
            || c == QLatin1Char('\r')) {
            if (!word.isEmpty())
                words.append(word);
            word.clear();
        } else {
            word.append(c);
        }
    }
    if (!word.isEmpty())
        words.append(word);
    return words;
}

bool openWithParameters(const QString &program, const QString &parameters)
{
    return QProcess::startDetached(program, splitParameters(parameters), QString());
}

} // namespace ProcessControl
