#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One running client per user session. The lock is named after the program and held for the
// life of the process; a second process finds it taken and ends silently.
// $TALLYPORT_LOCK_DIR overrides the directory of the lock (tests run clients side by side).
class SingleInstance final
{
public:
    explicit SingleInstance(const QString &name = QStringLiteral("Tallyport.exe"));

    // True when this process now holds the lock; false when another live process holds it.
    bool acquire();
    // Lets another process take the lock (a restart starts the new process after this).
    void release();

    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
