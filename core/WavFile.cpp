#include "WavFile.h"

#include <QFile>
#include <QtEndian>

namespace WavFile {

int durationMs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray header = file.read(44);
    if (header.size() < 44 || !header.startsWith("RIFF") || header.mid(8, 4) != "WAVE")
        return 0;
    const quint32 byteRate = qFromLittleEndian<quint32>(header.constData() + 28);
    if (byteRate == 0)
        return 0;
    const qint64 dataBytes = file.size() - 44;
    return static_cast<int>(dataBytes * 1000 / byteRate);
}

} // namespace WavFile
