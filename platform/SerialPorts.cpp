#include "SerialPorts.h"

#include <QSerialPortInfo>

#include <utility>

namespace {

std::optional<QList<SerialPortList::Port>> &portsOverride()
{
    static std::optional<QList<SerialPortList::Port>> ports;
    return ports;
}

} // namespace

namespace SerialPorts {

QList<SerialPortList::Port> available()
{
    if (portsOverride())
        return *portsOverride();
    QList<SerialPortList::Port> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({info.portName(), info.description()});
    return ports;
}

void setOverride(std::optional<QList<SerialPortList::Port>> ports)
{
    portsOverride() = std::move(ports);
}

} // namespace SerialPorts
