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

    // An entry of the serial connection mode's combo: the port's name and how it is shown.
    struct Choice
    {
        QString name;
        QString text;
    };

    static const char *const kManualInput; // "手动输入"
    static const char *const kDisplayOff; // "停用"
    static const char *const kNotPresent; // " (未连接)", after a configured port not listed

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
    // Every port, then the `configured` one (the port the reader opens) when it is not among
    // them, shown as not present: the page always shows the port in use.
    QList<Choice> portChoices(const QString &configured) const;

private:
    QList<Port> m_ports;
};
