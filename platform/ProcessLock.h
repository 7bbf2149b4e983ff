#pragma once

#include <QString>

#include <memory>

// A lock on a file that belongs to a living process: held until release() or the end of the
// process, however it ends, and let go by the system then. A lock file that no living process
// holds (left empty by a power cut between its creation and its first write, restored from a
// backup, copied from another machine) never blocks: it is taken over, and takenOver() says
// what it held. On Linux an flock on the file; on Windows the file itself, open without
// sharing and deleted when its handle closes.
class ProcessLock final
{
public:
    enum class Result {
        Taken, // the lock is ours
        TakenOver, // ours, from a file no living process held
        Held, // another living process holds it
        Failed // the file cannot be made (a directory not writable): nothing is known
    };

    explicit ProcessLock(const QString &path);
    ~ProcessLock();
    ProcessLock(const ProcessLock &) = delete;
    ProcessLock &operator=(const ProcessLock &) = delete;

    Result acquire();
    // Lets another process take it (a restart starts the new process after this).
    void release();
    bool isLocked() const;
    // What the file said when it was taken over (its last holder, as far as it was written).
    QString takenOverFrom() const { return m_leftBehind; }
    QString path() const { return m_path; }

    // True while a living process holds the lock of `path`.
    static bool isHeld(const QString &path);

private:
    QString m_path;
    QString m_leftBehind;
    struct System;
    std::unique_ptr<System> m_system;
};
