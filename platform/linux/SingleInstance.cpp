#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString lockDirectory()
{
    const QString overridden = qEnvironmentVariable("TALLYPORT_LOCK_DIR");
    if (!overridden.isEmpty())
        return overridden;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString lockPathOf(const QString &name)
{
    return lockDirectory() + QLatin1Char('/') + name + QStringLiteral(".lock");
}

QString leavePipeOf(const QString &name)
{
    return lockDirectory() + QLatin1Char('/') + name + QStringLiteral(".leave");
}

} // namespace

struct SingleInstance::System
{
    std::unique_ptr<QLockFile> lock;
    QString leavePipe;
    int leaveFd = -1;
    std::unique_ptr<QSocketNotifier> leaveNotifier;

    void closeLeave()
    {
        leaveNotifier.reset();
        if (leaveFd < 0)
            return;
        ::close(leaveFd);
        ::unlink(QFile::encodeName(leavePipe).constData());
        leaveFd = -1;
    }
};

SingleInstance::SingleInstance(const QString &name)
    : m_path(lockPathOf(name))
    , m_system(std::make_unique<System>())
{
    m_system->leavePipe = leavePipeOf(name);
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::acquire()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_system->lock = std::make_unique<QLockFile>(m_path);
    // A lock left by a crashed process is taken over (QLockFile checks the owner's pid).
    m_system->lock->setStaleLockTime(0);
    return m_system->lock->tryLock(0);
}

void SingleInstance::release()
{
    m_system->closeLeave();
    m_system->lock.reset();
}

bool SingleInstance::listenForLeave(std::function<void()> leaveAsked)
{
    if (!m_system->lock || !m_system->lock->isLocked())
        return false;
    m_system->closeLeave();
    const QByteArray path = QFile::encodeName(m_system->leavePipe);
    // The holder owns the pipe: one left by a crashed holder is made anew, owner-only.
    ::unlink(path.constData());
    if (::mkfifo(path.constData(), 0600) != 0)
        return false;
    // Opened for reading and writing, so that a writer that comes and goes never leaves the
    // pipe at end-of-file; never blocks.
    m_system->leaveFd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (m_system->leaveFd < 0)
        return false;
    m_system->leaveNotifier
        = std::make_unique<QSocketNotifier>(m_system->leaveFd, QSocketNotifier::Read);
    const int fd = m_system->leaveFd;
    QObject::connect(m_system->leaveNotifier.get(), &QSocketNotifier::activated,
        [fd, leaveAsked = std::move(leaveAsked)] {
            // Whatever was written is one ask; the bytes themselves mean nothing.
            char drained[64];
            bool asked = false;
            while (::read(fd, drained, sizeof drained) > 0)
                asked = true;
            if (asked)
                leaveAsked();
        });
    return true;
}

bool SingleInstance::askHolderToLeave(const QString &name)
{
    const QByteArray path = QFile::encodeName(leavePipeOf(name));
    // A pipe nobody reads cannot be opened for writing without blocking (ENXIO): no holder.
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    const bool pipe = ::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
    const bool written = pipe && ::write(fd, "L", 1) == 1;
    ::close(fd);
    return written;
}

bool SingleInstance::isHeld(const QString &name)
{
    QLockFile lock(lockPathOf(name));
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        lock.unlock();
        return false;
    }
    return lock.error() == QLockFile::LockFailedError;
}
