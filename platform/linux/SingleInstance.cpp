#include "SingleInstance.h"

#include <QDir>
#include <QLockFile>
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

struct SingleInstance::System
{
    std::unique_ptr<QLockFile> lock;
};

SingleInstance::SingleInstance(const QString &name)
    : m_path(lockDirectory() + QLatin1Char('/') + name + QStringLiteral(".lock"))
    , m_system(std::make_unique<System>())
{ }

SingleInstance::~SingleInstance() = default;

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
    m_system->lock.reset();
}
