#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The choices the settings page offers from the serial ports of the machine: the data
// collection ("手动输入" or a port), the customer display ("停用" or a port that is not
// virtual) and the port of the serial connection mode.
class SerialPortList final
{
public:
    struct Port
    {
        QString name; // as the connection settings keep it, e.g. "ttyUSB0" or "COM3"
        QString description; // what the system says the port is
    };

    static const char *const kManualInput; // "手动输入"
    static const char *const kDisplayOff; // "停用"

    explicit SerialPortList(QList<Port> ports);

    // A port made by a port emulator: its name or description, lower-cased, contains
    // "com0com" or "vserial". A customer display is never on one.
    static bool isVirtual(const Port &port);

    // "手动输入" followed by every port.
    QStringList collectionList() const;
    // "停用" followed by the ports that are not virtual.
    QStringList displayList() const;
    // Every port, for the serial connection mode.
    QStringList portNames() const;

private:
    QList<Port> m_ports;
};
