#include "LogFile.h"

#include <QString>

#include <cstdio>

#include <windows.h>

// Windows keeps the name of a file that is deleted while a handle is open, and refuses to open
// it again until that handle goes: a log kept open would stop support from moving or deleting
// it. Each line opens the file, appends and closes it.
struct LogFile::System
{
};

LogFile::LogFile()
    : m_system(std::make_unique<System>())
{ }

LogFile::~LogFile() = default;

int LogFile::append(const std::string &path, const std::string &line)
{
    const std::wstring name = QString::fromStdString(path).toStdWString();
    const HANDLE file = CreateFileW(name.c_str(), FILE_APPEND_DATA,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return EOF;
    DWORD written = 0;
    const bool whole = WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr)
        && written == line.size();
    CloseHandle(file);
    return whole ? 0 : EOF;
}
