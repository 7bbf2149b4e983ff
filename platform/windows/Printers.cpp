#include "Printers.h"

#include <string>
#include <vector>

#include <windows.h>

#include <winspool.h>

namespace {

// The spooler's functions, from winspool.drv as the first question about printers loads it
// (the first receipt, or the settings page's printer list): a till that only shows its login
// window has no use for the spooler's library and the libraries it brings, and every start
// would pay for loading them. Taken from the system directory, never from the program's or
// the working directory; kept until the process ends. When it cannot be loaded, there are no
// printers.
struct Spooler
{
    decltype(&EnumPrintersW) enumPrinters = nullptr;
    decltype(&GetDefaultPrinterW) getDefaultPrinter = nullptr;
    decltype(&SetDefaultPrinterW) setDefaultPrinter = nullptr;

    bool loaded() const { return enumPrinters && getDefaultPrinter && setDefaultPrinter; }
};

template<typename Function>
void bind(HMODULE library, const char *name, Function &function)
{
    // Through the generic function type, which converts to any other without a warning.
    function
        = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

const Spooler &spooler()
{
    static const Spooler instance = [] {
        Spooler s;
        wchar_t directory[MAX_PATH];
        const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return s;
        const std::wstring path = std::wstring(directory, length) + L"\\winspool.drv";
        const HMODULE library = LoadLibraryW(path.c_str());
        if (!library)
            return s;
        bind(library, "EnumPrintersW", s.enumPrinters);
        bind(library, "GetDefaultPrinterW", s.getDefaultPrinter);
        bind(library, "SetDefaultPrinterW", s.setDefaultPrinter);
        return s;
    }();
    return instance;
}

} // namespace

namespace Printers {

// The printers of this machine and the connections to shared ones, as the print dialogs list
// them (level 4: names only, answered from the registry without asking each printer).
QStringList names()
{
    QStringList printers;
    const Spooler &s = spooler();
    if (!s.loaded())
        return printers;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    s.enumPrinters(flags, nullptr, 4, nullptr, 0, &needed, &count);
    // A printer added between the two calls needs a larger buffer: ask again, a few times.
    std::vector<BYTE> buffer;
    for (int attempt = 0; attempt < 3 && needed > 0; ++attempt) {
        buffer.resize(needed);
        if (s.enumPrinters(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) {
            const auto *info = reinterpret_cast<const PRINTER_INFO_4W *>(buffer.data());
            for (DWORD i = 0; i < count; ++i) {
                if (info[i].pPrinterName)
                    printers << QString::fromWCharArray(info[i].pPrinterName);
            }
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
    }
    return printers;
}

QString defaultName()
{
    const Spooler &s = spooler();
    if (!s.loaded())
        return QString();
    DWORD size = 0;
    s.getDefaultPrinter(nullptr, &size);
    if (size == 0)
        return QString();
    std::wstring name(size, L'\0');
    if (!s.getDefaultPrinter(name.data(), &size))
        return QString();
    return QString::fromWCharArray(name.c_str());
}

bool setDefault(const QString &name)
{
    if (name.isEmpty() || !names().contains(name))
        return false;
    return spooler().setDefaultPrinter(name.toStdWString().c_str()) && defaultName() == name;
}

} // namespace Printers
