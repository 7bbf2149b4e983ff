#pragma once

#include <QString>

#include <functional>
#include <memory>

// One running client per user session. The lock is named after the program and held for the
// life of the process; a second process finds it taken and ends silently. On Windows it is the
// named mutex "Tallyport.exe"; elsewhere a lock file of that name in the runtime directory,
// whose directory $TALLYPORT_LOCK_DIR overrides (tests run clients side by side), held as a
// ProcessLock: a file no living process holds is taken over. Both are let go by the system
// when the process ends, however it ends.
// Another process (the updater) may ask the holder to leave: on Windows through the named event
// "NAME-leave", elsewhere through the pipe "NAME.leave" beside the lock file. The holder decides
// how it leaves; the asker only waits for the lock to be free.
class SingleInstance final
{
public:
    explicit SingleInstance(const QString &name = QStringLiteral("Tallyport.exe"));
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when this process now holds the lock; false when another live process holds it.
    bool acquire();
    // Lets another process take the lock (a restart starts the new process after this).
    void release();

    // The holder: `leaveAsked` runs on this thread's event loop each time another process asks
    // this one to leave. Call after acquire(); false when the channel cannot be opened.
    bool listenForLeave(std::function<void()> leaveAsked);
    // Another process: asks the holder of `name` to leave. False when nobody listens.
    static bool askHolderToLeave(const QString &name = QStringLiteral("Tallyport.exe"));
    // True while a process holds the lock of `name`.
    static bool isHeld(const QString &name = QStringLiteral("Tallyport.exe"));

    // Where the lock file lies; empty for a named mutex.
    QString lockPath() const { return m_path; }
    // After acquire(): what a lock file that no living process held said (empty when there
    // was none), for the run log.
    QString takenOverFrom() const { return m_takenOverFrom; }

private:
    QString m_path;
    QString m_takenOverFrom;
    // The system's side: the lock file, or the mutex.
    struct System;
    std::unique_ptr<System> m_system;
};
