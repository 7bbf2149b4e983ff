#pragma once

#include <QString>
#include <QStringList>

// The printers of the system (CUPS here) and the user's default printer, which receipts go to.
namespace Printers {

// The names of all installed printers.
QStringList names();
// The default printer's name; empty when there is none (or no spooler answers).
QString defaultName();
// Makes `name`, one of names(), the user's default printer (`lpoptions -d`, which needs no
// administrator rights). True when it is the default afterwards; an unknown name changes
// nothing.
bool setDefault(const QString &name);

} // namespace Printers
