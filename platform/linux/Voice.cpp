#include "Voice.h"

#include "WavFile.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int kSlackMs = 3000;
constexpr int kUnknownLengthMs = 10000;

QStringList playerCommand()
{
    const QString custom = qEnvironmentVariable("TALLYPORT_PLAYER");
    if (!custom.isEmpty())
        return QProcess::splitCommand(custom);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool pulse = !qEnvironmentVariable("PULSE_SERVER").isEmpty()
        || (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/pulse/native")));
    if (pulse && !QStandardPaths::findExecutable(QStringLiteral("paplay")).isEmpty())
        return {QStringLiteral("paplay")};
    return {QStringLiteral("aplay"), QStringLiteral("-q")};
}

} // namespace

namespace Voice {

bool playAndWait(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    QStringList command = playerCommand();
    const QString program = command.takeFirst();
    command.append(path);

    const int length = WavFile::durationMs(path);
    QProcess player;
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player.start(program, command);
    if (!player.waitForStarted(kSlackMs))
        return false;
    if (!player.waitForFinished((length > 0 ? length : kUnknownLengthMs) + kSlackMs)) {
        player.kill();
        player.waitForFinished(1000);
        return false;
    }
    return player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0;
}

} // namespace Voice
