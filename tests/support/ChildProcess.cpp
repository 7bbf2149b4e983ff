#include "ChildProcess.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

void ChildProcess::setupChildProcess()
{
    // Runs in the child between fork and exec.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) // the test already died before the line above
        ::_exit(1);
}

QByteArray ChildProcess::output(const QString &program, const QStringList &arguments, int timeoutMs)
{
    ChildProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    return process.readAllStandardOutput();
}
