#include "DisplayLine.h"

namespace DisplayLine {

QByteArray payload(const QByteArray &data)
{
    static const QByteArray command("\x1b"
                                    "QA");
    const int at = data.indexOf(command);
    if (at < 0 || at + command.size() >= data.size())
        return QByteArray();
    QByteArray rest = data.mid(at + command.size(), kBufferBytes - 1);
    const int zero = rest.indexOf('\0');
    if (zero >= 0)
        rest.truncate(zero);
    return rest;
}

QString text(const QByteArray &data)
{
    return QString::fromLocal8Bit(payload(data));
}

} // namespace DisplayLine
