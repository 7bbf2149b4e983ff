#include "Printers.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <optional>

namespace {

// Runs a CUPS tool in the C locale (its messages are parsed); its standard output, or nothing
// when it could not be run, failed, or did not end in time (it is killed then).
std::optional<QByteArray> runTool(const QString &tool, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return std::nullopt;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(Printers::kQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

} // namespace

namespace Printers {

QStringList names()
{
    QStringList printers;
    const std::optional<QByteArray> output = runTool(QStringLiteral("lpstat"), {"-e"});
    if (!output)
        return printers;
    for (const QByteArray &line : output->split('\n')) {
        const QString name = QString::fromUtf8(line).trimmed();
        if (!name.isEmpty())
            printers << name;
    }
    return printers;
}

QString defaultName()
{
    // "system default destination: NAME", or "no system default destination".
    static const QByteArray kPrefix("system default destination: ");
    const std::optional<QByteArray> output = runTool(QStringLiteral("lpstat"), {"-d"});
    if (!output || !output->startsWith(kPrefix))
        return QString();
    return QString::fromUtf8(output->mid(kPrefix.size())).trimmed();
}

bool setDefault(const QString &name)
{
    if (name.isEmpty() || !names().contains(name))
        return false;
    return runTool(QStringLiteral("lpoptions"), {QStringLiteral("-d"), name})
        && defaultName() == name;
}

} // namespace Printers
