#include "ProcessControl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <mutex>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

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

// The programs this process started as its own children and has not collected yet.
std::mutex s_childrenMutex;
std::vector<pid_t> s_children;

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
    // A child of ours, not a detached grandchild: where nobody above collects orphans, a
    // detached program that ends stays behind as a defunct process. reapChildren collects it.
    std::vector<QByteArray> words {QFile::encodeName(program)};
    for (const QString &word : splitParameters(parameters))
        words.push_back(word.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    // In a session of its own, as a detached program would be: a signal to the till's terminal
    // or process group does not reach it.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int failed = ::posix_spawn(
        &pid, words.front().constData(), nullptr, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (failed != 0)
        return false;
    std::lock_guard<std::mutex> lock(s_childrenMutex);
    s_children.push_back(pid);
    return true;
}

int reapChildren()
{
    std::lock_guard<std::mutex> lock(s_childrenMutex);
    std::vector<pid_t> running;
    for (const pid_t pid : s_children) {
        if (::waitpid(pid, nullptr, WNOHANG) == 0)
            running.push_back(pid);
    }
    s_children.swap(running);
    return static_cast<int>(s_children.size());
}

bool startsInstallers()
{
    return false;
}

QStringList ownParameters(int argc, char *argv[])
{
    QStringList parameters;
    for (int i = 1; i < argc; ++i)
        parameters.append(QString::fromLocal8Bit(argv[i]));
    return parameters;
}

bool startAgain(const std::vector<std::string> &arguments, const QString &directory)
{
    std::vector<std::string> words = arguments;
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    if (::chdir(QFile::encodeName(directory).constData()) == 0)
        ::execv("/proc/self/exe", argv.data());
    return false;
}

} // namespace ProcessControl
