#pragma once

#include <QByteArray>
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
// Owner-only is the mode 0600 on Linux, and on Windows a protected DACL that grants this
// process's user alone (nothing inherited from the folder, not even SYSTEM or Administrators).
bool createPrivateFile(const QString &path, bool mustBeNew);

// Replaces the whole content of `path` by `bytes`, the file owner-only (as createPrivateFile)
// at every moment: a new file beside it, owner-only from its creation, is renamed over it; in
// a directory where this user may not create files, the existing file is written in place
// (made owner-only first). False, with the system's reason in `why`, when it cannot be done.
bool writePrivateFile(const QString &path, const QByteArray &bytes, QString &why);

// Makes the directory `path` its owner's alone: 0700 on Linux; on Windows a protected DACL
// that grants this process's user alone, handed down to what is made in it from then on.
bool makePrivateDirectory(const QString &path);

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

// Makes the program's folder the working directory where the system starts programs elsewhere:
// on Windows the Run value starts the till in Explorer's directory (C:\Windows\System32), and
// the till keeps its helpers and a portable till its logs in its own folder. On Linux the
// working directory is kept: the launchers start the till in the home they prepared.
void workInProgramDirectory(const QString &programDirectory);

// Ends the process at once with status 0, running no destructor.
[[noreturn]] void exitNow();

} // namespace System
