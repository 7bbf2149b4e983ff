#include "Printers.h"

#include <QPrinterInfo>

#include <windows.h>

#include <winspool.h>

namespace Printers {

QStringList names()
{
    return QPrinterInfo::availablePrinterNames();
}

QString defaultName()
{
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0)
        return QString();
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size))
        return QString();
    return QString::fromWCharArray(name.c_str());
}

bool setDefault(const QString &name)
{
    if (name.isEmpty() || !names().contains(name))
        return false;
    return SetDefaultPrinterW(name.toStdWString().c_str()) && defaultName() == name;
}

} // namespace Printers
