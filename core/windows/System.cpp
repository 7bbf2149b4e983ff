#include "System.h"

#include <QDir>
#include <QUuid>

#include <cerrno>

#include <windows.h>

namespace {

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

std::int64_t nanoseconds(const FILETIME &time)
{
    return ((std::int64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) * 100;
}

void setErrno(DWORD error)
{
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_ACCESS_DENIED:
        errno = EACCES;
        break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        errno = ENOENT;
        break;
    default:
        errno = EIO;
    }
}

} // namespace

namespace System {

std::tm localTime(std::time_t when)
{
    std::tm parts {};
    localtime_s(&parts, &when);
    return parts;
}

bool canWriteDirectory(const QString &directory)
{
    // The rights of this process decide: a file is made there and goes again when closed.
    const QString probe = QDir(directory).filePath(
        QStringLiteral(".write-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
    const HANDLE file = CreateFileW(native(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool createPrivateFile(const QString &path, bool mustBeNew)
{
    // The data directory of a Windows user (%LOCALAPPDATA%) is the user's alone: a file made
    // there takes its rights.
    const HANDLE file = CreateFileW(native(path).c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        mustBeNew ? CREATE_NEW : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        setErrno(GetLastError());
        return false;
    }
    CloseHandle(file);
    return true;
}

std::optional<FileStamp> stampOf(const QString &path)
{
    const HANDLE file = CreateFileW(native(path).c_str(), 0,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information {};
    const bool read = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    if (!read)
        return std::nullopt;
    // Windows keeps no change time apart from the last write.
    const std::int64_t written = nanoseconds(information.ftLastWriteTime);
    return FileStamp {information.dwVolumeSerialNumber,
        (std::uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow,
        (std::int64_t(information.nFileSizeHigh) << 32) | information.nFileSizeLow, written,
        written};
}

void exitNow()
{
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;)
        Sleep(INFINITE);
}

void workInProgramDirectory(const QString &programDirectory)
{
    QDir::setCurrent(programDirectory);
}

} // namespace System
