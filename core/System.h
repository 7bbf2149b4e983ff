#pragma once

#include <QString>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// The few file and time services of the operating system that the core needs, one backend per
// system (core/linux, core/windows); everything else in the core is portable.
namespace System {

// The local time of `when`.
std::tm localTime(std::time_t when);

// Whether this process may create files in `directory` (its effective rights decide).
bool canWriteDirectory(const QString &directory);

// Creates `path` readable and writable by its owner only; an existing file is made so too,
// unless `mustBeNew`, when an existing file is a failure. False when it cannot be done.
bool createPrivateFile(const QString &path, bool mustBeNew);

// What identifies one state of a file: any write changes it (its change time, its size or
// its identity on the disk).
struct FileStamp
{
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    bool operator==(const FileStamp &other) const
    {
        return device == other.device && file == other.file && size == other.size
            && modifiedNs == other.modifiedNs && changedNs == other.changedNs;
    }
};
// The stamp of `path`; nullopt when it cannot be read.
std::optional<FileStamp> stampOf(const QString &path);

// Ends the process at once with status 0, running no destructor.
[[noreturn]] void exitNow();

} // namespace System
