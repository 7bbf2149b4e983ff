#pragma once

#include "SerialPortList.h"

#include <QList>

#include <optional>

// The serial ports of the machine, as the system lists them (QSerialPortInfo: on Linux the
// tty devices of serial drivers, named without "/dev/"; pseudo-terminals are not listed).
namespace SerialPorts {

QList<SerialPortList::Port> available();

// Tests: a fixed list instead of the machine's; std::nullopt restores the machine's.
void setOverride(std::optional<QList<SerialPortList::Port>> ports);

} // namespace SerialPorts
