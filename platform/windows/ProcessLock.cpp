#include "ProcessLock.h"

#include <windows.h>

struct ProcessLock::System
{
    HANDLE file = INVALID_HANDLE_VALUE;
};

ProcessLock::ProcessLock(const QString &path)
    : m_path(path)
    , m_system(std::make_unique<System>())
{ }

ProcessLock::~ProcessLock()
{
    release();
}

ProcessLock::Result ProcessLock::acquire()
{
    release();
    // Shared with readers only, so a second till's open for writing fails while this handle
    // lives; deleted when the handle closes, which the system does when the process ends.
    const std::wstring path = m_path.toStdWString();
    const auto open = [&path] {
        return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    };
    HANDLE file = open();
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        // A file left read-only (restored from a backup) is nobody's lock.
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        file = open();
    }
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? Result::Held : Result::Failed;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    m_system->file = file;
    char before[256] = {};
    DWORD read = 0;
    if (existed)
        ReadFile(file, before, sizeof before, &read, nullptr);
    // Who holds it, for a person who finds the file.
    const QByteArray holder = QByteArray::number(qint64(GetCurrentProcessId())) + "\r\n";
    DWORD written = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    WriteFile(file, holder.constData(), DWORD(holder.size()), &written, nullptr);
    if (!existed)
        return Result::Taken;
    m_leftBehind = read == 0 ? QStringLiteral("(empty)")
                             : QString::fromLocal8Bit(before, int(read)).simplified();
    return Result::TakenOver;
}

void ProcessLock::release()
{
    if (m_system->file == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(m_system->file);
    m_system->file = INVALID_HANDLE_VALUE;
}

bool ProcessLock::isLocked() const
{
    return m_system->file != INVALID_HANDLE_VALUE;
}

bool ProcessLock::isHeld(const QString &path)
{
    const HANDLE file = CreateFileW(path.toStdWString().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}
