#include "LogFile.h"

#include <QString>

#include <cstdio>

#include <windows.h>

namespace {

// The file's identity: its volume and its index there.
struct Identity
{
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;

    bool operator==(const Identity &other) const
    {
        return volume == other.volume && high == other.high && low == other.low;
    }
};

bool identityOf(HANDLE file, Identity &identity)
{
    BY_HANDLE_FILE_INFORMATION information {};
    if (!GetFileInformationByHandle(file, &information))
        return false;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
        information.nFileIndexLow};
    return true;
}

std::wstring wide(const std::string &path)
{
    return QString::fromLocal8Bit(path.c_str()).toStdWString();
}

} // namespace

struct LogFile::System
{
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string path;
    Identity identity;

    bool stillNamed(const std::string &name) const
    {
        const HANDLE named = CreateFileW(wide(name).c_str(), 0,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
            nullptr);
        if (named == INVALID_HANDLE_VALUE)
            return false;
        Identity current;
        const bool same = identityOf(named, current) && current == identity;
        CloseHandle(named);
        return same;
    }

    bool open(const std::string &name)
    {
        // Appended to at its end by every write, and shared: support may read it meanwhile,
        // and move it away.
        const HANDLE opened = CreateFileW(wide(name).c_str(), FILE_APPEND_DATA,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE)
            return false;
        if (!identityOf(opened, identity)) {
            CloseHandle(opened);
            return false;
        }
        file = opened;
        path = name;
        return true;
    }

    void close()
    {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        path.clear();
    }
};

LogFile::LogFile()
    : m_system(std::make_unique<System>())
{ }

LogFile::~LogFile()
{
    m_system->close();
}

int LogFile::append(const std::string &path, const std::string &line)
{
    System &log = *m_system;
    if (log.file != INVALID_HANDLE_VALUE && (path != log.path || !log.stillNamed(path)))
        log.close();
    if (log.file == INVALID_HANDLE_VALUE && !log.open(path))
        return EOF;
    DWORD written = 0;
    if (!WriteFile(log.file, line.data(), DWORD(line.size()), &written, nullptr)
        || written != line.size()) {
        log.close();
        return EOF;
    }
    return 0;
}
