#pragma once

#include <QProcess>

// A process started by a test that ends with the test: if the test process dies, crashed or
// killed, the child gets SIGTERM from the kernel instead of living on (a leftover server
// would keep CTest waiting for its time-out). Start it from the thread that keeps running
// for the whole test, as the signal follows the thread that started the child.
class ChildProcess : public QProcess
{
public:
    using QProcess::QProcess;

    // Runs a command-line tool to its end (killed after `timeoutMs`), its error output going to
    // the test's own: what it wrote on its standard output.
    static QByteArray output(
        const QString &program, const QStringList &arguments, int timeoutMs = 60000);

protected:
    void setupChildProcess() override;
};
