#include "SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString lockDirectory()
{
    const QString overridden = qEnvironmentVariable("TALLYPORT_LOCK_DIR");
    if (!overridden.isEmpty())
        return overridden;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

} // namespace

SingleInstance::SingleInstance(const QString &name)
    : m_path(lockDirectory() + QLatin1Char('/') + name + QStringLiteral(".lock"))
{ }

bool SingleInstance::acquire()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_path);
    // A lock left by a crashed process is taken over (QLockFile checks the owner's pid).
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

void SingleInstance::release()
{
    m_lock.reset();
}
