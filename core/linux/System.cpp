#include "System.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace System {

std::tm localTime(std::time_t when)
{
    std::tm parts {};
    localtime_r(&when, &parts);
    return parts;
}

bool canWriteDirectory(const QString &directory)
{
    // The effective ids and capabilities decide, as they do for the writes that would follow.
    return ::faccessat(AT_FDCWD, QFile::encodeName(directory).constData(), W_OK, AT_EACCESS) == 0;
}

bool createPrivateFile(const QString &path, bool mustBeNew)
{
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (mustBeNew ? O_EXCL : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0600);
    if (fd < 0)
        return false;
    const bool made = ::fchmod(fd, 0600) == 0;
    const int error = errno;
    ::close(fd);
    errno = error; // kept for the caller's message
    return made;
}

bool writePrivateFile(const QString &path, const QByteArray &bytes, QString &why)
{
    // Atomic when the directory allows it; a file in a read-only directory is written in place.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    file.write(bytes);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

bool makePrivateDirectory(const QString &path)
{
    return QFile::setPermissions(
        path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

std::optional<FileStamp> stampOf(const QString &path)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    const auto ns = [](const timespec &time) {
        return std::int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return FileStamp {std::uint64_t(status.st_dev), std::uint64_t(status.st_ino),
        std::int64_t(status.st_size), ns(status.st_mtim), ns(status.st_ctim)};
}

void exitNow()
{
    ::_exit(EXIT_SUCCESS);
}

void workInProgramDirectory(const QString &)
{
    // Kept: see System.h.
}

} // namespace System
