#include "Voice.h"

#include "WavFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <windows.h>

#include <mmsystem.h>

namespace {

constexpr int kSlackMs = 3000;
constexpr int kUnknownLengthMs = 10000;
constexpr int kPollMs = 50;

bool command(const QString &text)
{
    return mciSendStringW(text.toStdWString().c_str(), nullptr, 0, nullptr) == 0;
}

QString status(const QString &text)
{
    wchar_t answer[64] = {};
    if (mciSendStringW(text.toStdWString().c_str(), answer, 64, nullptr) != 0)
        return QString();
    return QString::fromWCharArray(answer);
}

} // namespace

namespace Voice {

bool playAndWait(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    // The path quoted: a program directory may hold blanks.
    const QString file = QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
    if (!command(QStringLiteral("open %1 alias mysong").arg(file)))
        return false;
    // "play mysong wait" would wait as long as the device lets it: the play is started, then
    // watched until it ends or its length and a few seconds have passed.
    bool played = command(QStringLiteral("play mysong"));
    const int length = WavFile::durationMs(path);
    QElapsedTimer clock;
    clock.start();
    while (played && status(QStringLiteral("status mysong mode")) == QLatin1String("playing")) {
        if (clock.elapsed() > (length > 0 ? length : kUnknownLengthMs) + kSlackMs) {
            played = false;
            break;
        }
        QThread::msleep(kPollMs);
    }
    command(QStringLiteral("close mysong"));
    return played;
}

} // namespace Voice
