#pragma once

#include <QString>
#include <QStringList>

// The printers of the system (CUPS here) and the user's default printer, which receipts go to.
// Each question goes to the spooler through its command-line tools (lpstat, lpoptions) and is
// bounded: a spooler that does not answer within kQueryTimeoutMs counts as no answer, so a
// window that asks is never held up for longer.
namespace Printers {

constexpr int kQueryTimeoutMs = 3000;

// The names of all installed printers; empty when the spooler does not answer.
QStringList names();
// The default printer's name; empty when there is none (or no spooler answers).
QString defaultName();
// Makes `name`, one of names(), the user's default printer (`lpoptions -d`, which needs no
// administrator rights). True when it is the default afterwards; an unknown name changes
// nothing.
bool setDefault(const QString &name);

} // namespace Printers
