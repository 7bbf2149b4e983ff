#include "SingleInstance.h"

#include "ProcessLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    std::unique_ptr<ProcessLock> lock;
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
    m_system->lock = std::make_unique<ProcessLock>(m_path);
    m_takenOverFrom.clear();
    switch (m_system->lock->acquire()) {
    case ProcessLock::Result::Taken:
        return true;
    case ProcessLock::Result::TakenOver:
        // Left by a process that is gone (a crash, a power cut): it blocks nobody.
        m_takenOverFrom = m_system->lock->takenOverFrom();
        return true;
    case ProcessLock::Result::Held:
        break;
    case ProcessLock::Result::Failed:
        // Nowhere to keep the lock: the till runs rather than not at all.
        return true;
    }
    m_system->lock.reset();
    return false;
}

void SingleInstance::release()
{
    m_system->closeLeave();
    m_system->lock.reset();
}

bool SingleInstance::listenForLeave(std::function<void()> leaveAsked)
{
    if (!m_system->lock)
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
    return ProcessLock::isHeld(lockPathOf(name));
}
