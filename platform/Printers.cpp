#include "Printers.h"

#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int kCommandTimeoutMs = 10000;

} // namespace

namespace Printers {

QStringList names()
{
    return QPrinterInfo::availablePrinterNames();
}

QString defaultName()
{
    return QPrinterInfo::defaultPrinterName();
}

bool setDefault(const QString &name)
{
    if (name.isEmpty() || !names().contains(name))
        return false;
    const QString lpoptions = QStandardPaths::findExecutable(QStringLiteral("lpoptions"));
    if (lpoptions.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(lpoptions, {QStringLiteral("-d"), name});
    if (!process.waitForFinished(kCommandTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
        && defaultName() == name;
}

} // namespace Printers
