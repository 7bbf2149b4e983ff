#include "SerialPorts.h"

#include <QFile>
#include <QSerialPortInfo>

#include <algorithm>

#include <sys/stat.h>

#include <utility>

namespace {

std::optional<QList<SerialPortList::Port>> &portsOverride()
{
    static std::optional<QList<SerialPortList::Port>> ports;
    return ports;
}

} // namespace

namespace SerialPorts {

bool isPresent(const QString &name)
{
    if (name.isEmpty())
        return false;
    const QString path = name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

QList<SerialPortList::Port> available(const QStringList &configured)
{
    QList<SerialPortList::Port> ports;
    if (portsOverride()) {
        ports = *portsOverride();
    } else {
        const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : infos)
            ports.append({info.portName(), info.description()});
    }
    for (const QString &name : configured) {
        const bool listed = std::any_of(ports.cbegin(), ports.cend(),
            [&name](const SerialPortList::Port &port) { return port.name == name; });
        if (!listed && isPresent(name))
            ports.append({name, QString()});
    }
    return ports;
}

void setOverride(std::optional<QList<SerialPortList::Port>> ports)
{
    portsOverride() = std::move(ports);
}

} // namespace SerialPorts
