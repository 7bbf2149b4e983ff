#pragma once

#include <QString>
#include <QStringList>

// The printers of the system and the user's default printer, which receipts go to. On Linux
// each question goes to CUPS through its command-line tools (lpstat, lpoptions) and is bounded:
// a spooler that does not answer within kQueryTimeoutMs counts as no answer. On Windows it goes
// to the spooler's own calls (winspool.drv, loaded by the first question). Safe on any thread.
namespace Printers {

constexpr int kQueryTimeoutMs = 3000;

// The names of all installed printers; empty when the spooler does not answer.
QStringList names();
// The default printer's name; empty when there is none (or no spooler answers).
QString defaultName();
// Makes `name`, one of names(), the user's default printer (`lpoptions -d`, SetDefaultPrinterW:
// neither needs administrator rights). True when it is the default afterwards; an unknown name
// changes nothing.
bool setDefault(const QString &name);

} // namespace Printers
