#include "SerialPortList.h"

#include <utility>

const char *const SerialPortList::kManualInput = "手动输入";
const char *const SerialPortList::kDisplayOff = "停用";
const char *const SerialPortList::kNotPresent = " (未连接)";

namespace {

bool namesAnEmulator(const QString &text)
{
    const QString lower = text.toLower();
    return lower.contains(QLatin1String("com0com")) || lower.contains(QLatin1String("vserial"));
}

} // namespace

SerialPortList::SerialPortList(QList<Port> ports)
    : m_ports(std::move(ports))
{ }

bool SerialPortList::isVirtual(const Port &port)
{
    return namesAnEmulator(port.name) || namesAnEmulator(port.description);
}

QStringList SerialPortList::collectionList() const
{
    return QStringList {QString::fromUtf8(kManualInput)} + portNames();
}

QStringList SerialPortList::displayList() const
{
    QStringList list {QString::fromUtf8(kDisplayOff)};
    for (const Port &port : m_ports) {
        if (!isVirtual(port))
            list.append(port.name);
    }
    return list;
}

QList<SerialPortList::Choice> SerialPortList::portChoices(const QString &configured) const
{
    QList<Choice> choices;
    for (const Port &port : m_ports)
        choices.append({port.name, port.name});
    if (!configured.isEmpty() && !portNames().contains(configured))
        choices.append({configured, configured + QString::fromUtf8(kNotPresent)});
    return choices;
}

QStringList SerialPortList::portNames() const
{
    QStringList names;
    for (const Port &port : m_ports)
        names.append(port.name);
    return names;
}
