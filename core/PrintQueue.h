#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Runs print jobs one after another on a worker thread of its own, so that whoever hands a
// job over (a payment, the order list, a hot key, the settlement report) never waits for the
// printer or the spooler. Jobs run in the order they were posted, each at most once. A job
// carries everything it needs by value, its settings included, as they were when it was
// handed over.
//
// Closing the queue (close(), or its destruction) drops the jobs not yet started, each with a
// "not printed" line in the run log, and waits for a running job for at most the drain time.
// A job still running then is logged and the stuck handler is called; the default one ends
// the process at once: a printing thread must not run on inside the print library while the
// application is being destroyed, and it is never left running on its own (detached).
class PrintQueue final
{
public:
    using Job = std::function<void()>;
    // Called by close() when a job is still running after the drain time. When it returns
    // (tests), close() waits for that job to end.
    using StuckHandler = std::function<void()>;

    static constexpr std::chrono::milliseconds kDefaultDrainTime {5000};

    explicit PrintQueue(std::chrono::milliseconds drainTime = kDefaultDrainTime,
        StuckHandler onStuck = &PrintQueue::endProcess);
    ~PrintQueue();
    PrintQueue(const PrintQueue &) = delete;
    PrintQueue &operator=(const PrintQueue &) = delete;

    // The queue of this process: windows come and go (logout), their print jobs stay. Created
    // by the first call, on the GUI thread; closed when the application's event loop ends
    // (aboutToQuit), or at the latest while the application object is destroyed.
    static PrintQueue &process();

    // Queues a job and returns at once; `what` names it in the log ("receipt", ...). A job
    // posted after close() is dropped and logged as not printed.
    void post(const std::string &what, Job job);
    // Waits until every job posted so far has run; false when the time ran out first.
    bool waitUntilIdle(std::chrono::milliseconds timeout) const;
    // See the class comment. Idempotent.
    void close();

    // Writes what is buffered and ends the process with status 0, running no destructor; a
    // process that was asked to start again does so instead (setRestart()).
    [[noreturn]] static void endProcess();
    // What endProcess() runs before it ends the process: the program's own start again, when
    // a restart was asked (it returns only when that fails).
    static void setRestart(std::function<void()> restart);

private:
    struct Entry
    {
        std::string what;
        Job job;
    };

    void work();
    bool isIdle() const { return m_jobs.empty() && m_running.empty(); }

    const std::chrono::milliseconds m_drainTime;
    const StuckHandler m_onStuck;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake; // a job was posted, or the queue closes
    mutable std::condition_variable m_idle; // the last posted job has run
    std::deque<Entry> m_jobs;
    std::string m_running; // the name of the job being run; empty when none runs
    bool m_closed = false;
    std::thread m_worker; // started by the first job; joined by close()
    // Run by the worker once, after its first job (set before any job is posted).
    std::function<void()> m_afterFirstJob;
};
