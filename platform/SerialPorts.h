#pragma once

#include "SerialPortList.h"

#include <QList>

#include <optional>

// The serial ports of the machine, as the system lists them (QSerialPortInfo: on Linux the
// tty devices of serial drivers, named without "/dev/"; pseudo-terminals and the stable
// /dev/serial/by-id/... names are not listed).
namespace SerialPorts {

// The listed ports, then each of `configured` that the list lacks but that names a serial
// device present now (a path, or a name under /dev/): a port the till was set up with is
// offered as long as it is there.
QList<SerialPortList::Port> available(const QStringList &configured = {});
// A name as the readers open it: a path as given, a plain name under /dev/.
bool isPresent(const QString &name);

// Tests: a fixed list instead of the machine's; std::nullopt restores the machine's.
void setOverride(std::optional<QList<SerialPortList::Port>> ports);

} // namespace SerialPorts
