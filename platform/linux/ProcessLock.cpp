#include "ProcessLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeHolder(int fd)
{
    const QByteArray holder = QByteArray::number(qint64(::getpid())) + '\n';
    return ::ftruncate(fd, 0) == 0
        && ::pwrite(fd, holder.constData(), std::size_t(holder.size()), 0) == holder.size();
}

} // namespace

struct ProcessLock::System
{
    int fd = -1;
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
    const QByteArray path = QFile::encodeName(m_path);
    // A holder removes the file before it lets go, so a file found locked under its name by
    // us that is no longer the file of that name was let go meanwhile: look again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        bool existed = false;
        int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) {
            existed = true;
            fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        }
        if (fd < 0)
            return Result::Failed;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            ::close(fd);
            return held ? Result::Held : Result::Failed;
        }
        struct stat locked
        {
        };
        struct stat named
        {
        };
        if (::fstat(fd, &locked) != 0 || ::stat(path.constData(), &named) != 0
            || locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        QByteArray before(256, '\0');
        const ssize_t read
            = existed ? ::pread(fd, before.data(), std::size_t(before.size()), 0) : 0;
        before.resize(read > 0 ? int(read) : 0);
        // Who holds it, for a person who finds the file; the lock holds either way.
        writeHolder(fd);
        m_system->fd = fd;
        if (!existed)
            return Result::Taken;
        m_leftBehind = before.isEmpty() ? QStringLiteral("(empty)")
                                        : QString::fromLocal8Bit(before).simplified();
        return Result::TakenOver;
    }
    return Result::Failed;
}

void ProcessLock::release()
{
    if (m_system->fd < 0)
        return;
    // Removed while still locked: nobody finds a file left by a holder that ended well.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_system->fd);
    m_system->fd = -1;
}

bool ProcessLock::isLocked() const
{
    return m_system->fd >= 0;
}

bool ProcessLock::isHeld(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}
