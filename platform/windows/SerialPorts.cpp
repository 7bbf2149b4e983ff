#include "SerialPorts.h"

#include <algorithm>
#include <utility>

#include <windows.h>

namespace {

std::optional<QList<SerialPortList::Port>> &portsOverride()
{
    static std::optional<QList<SerialPortList::Port>> ports;
    return ports;
}

// The values of HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM: the data is the port's name
// (COM3), the value's name what the driver calls the device (\Device\com0com10 for a virtual
// port).
QList<SerialPortList::Port> registryPorts()
{
    QList<SerialPortList::Port> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        BYTE data[512 * sizeof(wchar_t)];
        DWORD nameLength = 512;
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        const LONG result
            = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const QString port = QString::fromWCharArray(
            reinterpret_cast<const wchar_t *>(data), int(dataLength / sizeof(wchar_t)))
                                 .section(QChar(0), 0, 0);
        ports.append({port, QString::fromWCharArray(name, int(nameLength))});
    }
    RegCloseKey(key);
    return ports;
}

} // namespace

namespace SerialPorts {

bool isPresent(const QString &name)
{
    if (name.isEmpty())
        return false;
    // The device of the port answers to its name; a port in use by another program says so.
    const std::wstring device = (QStringLiteral("\\\\.\\") + name).toStdWString();
    const HANDLE port = CreateFileW(
        device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(port);
    return true;
}

QList<SerialPortList::Port> available(const QStringList &configured)
{
    QList<SerialPortList::Port> ports = portsOverride() ? *portsOverride() : registryPorts();
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
