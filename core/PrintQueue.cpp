#include "PrintQueue.h"

#include "RunLog.h"
#include "System.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

std::mutex s_restartMutex;
std::function<void()> s_restart;

void logNotPrinted(const std::string &what)
{
    RunLog::write("PrintQueue: %s not printed, the program is ending", what.c_str());
}

} // namespace

PrintQueue::PrintQueue(std::chrono::milliseconds drainTime, StuckHandler onStuck)
    : m_drainTime(drainTime)
    , m_onStuck(std::move(onStuck))
{ }

PrintQueue::~PrintQueue()
{
    close();
}

PrintQueue &PrintQueue::process()
{
    static PrintQueue queue;
    // Closed when the event loop ends, and at the latest when the application object goes (a
    // program that never runs its loop): before the print library's own clean-up, which the
    // application object runs too, in the reverse order of registration. The library registers
    // its clean-up when the first job loads it, so ours is registered after that job.
    static const bool closesWithTheApplication = [] {
        QCoreApplication *application = QCoreApplication::instance();
        if (application) {
            QObject::connect(application, &QCoreApplication::aboutToQuit, [] { queue.close(); });
            queue.m_afterFirstJob = [] { qAddPostRoutine([] { queue.close(); }); };
        }
        return application != nullptr;
    }();
    (void)closesWithTheApplication;
    return queue;
}

void PrintQueue::post(const std::string &what, Job job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_closed) {
        lock.unlock();
        logNotPrinted(what);
        return;
    }
    m_jobs.push_back({what, std::move(job)});
    if (!m_worker.joinable())
        m_worker = std::thread(&PrintQueue::work, this);
    m_wake.notify_one();
}

bool PrintQueue::waitUntilIdle(std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] { return isIdle(); });
}

void PrintQueue::close()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_closed)
        return;
    m_closed = true;
    std::deque<Entry> dropped;
    dropped.swap(m_jobs);
    m_wake.notify_one();
    lock.unlock();
    // Logged before the wait: the process may end at its end.
    for (const Entry &entry : dropped)
        logNotPrinted(entry.what);
    dropped.clear();

    lock.lock();
    const bool ended = m_idle.wait_for(lock, m_drainTime, [this] { return m_running.empty(); });
    const std::string running = m_running;
    lock.unlock();
    if (!ended) {
        RunLog::write("PrintQueue: %s still printing after %lld ms, the program ends without it",
            running.c_str(), static_cast<long long>(m_drainTime.count()));
        if (m_onStuck)
            m_onStuck();
    }
    // No job is started once the queue is closed, and the worker is started only before.
    if (m_worker.joinable())
        m_worker.join();
}

void PrintQueue::setRestart(std::function<void()> restart)
{
    std::lock_guard<std::mutex> lock(s_restartMutex);
    s_restart = std::move(restart);
}

void PrintQueue::endProcess()
{
    std::fflush(nullptr);
    std::function<void()> restart;
    {
        std::lock_guard<std::mutex> lock(s_restartMutex);
        restart = s_restart;
    }
    if (restart)
        restart();
    System::exitNow();
}

void PrintQueue::work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_jobs.empty() || m_closed; });
        if (m_closed)
            return; // what was waiting was dropped by close()
        Entry entry = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_running = entry.what.empty() ? std::string("print job") : entry.what;
        lock.unlock();
        entry.job();
        entry = {}; // what the job held goes before the queue hears it is done
        if (m_afterFirstJob) {
            m_afterFirstJob();
            m_afterFirstJob = nullptr;
        }
        lock.lock();
        m_running.clear();
        if (isIdle() || m_closed)
            m_idle.notify_all();
    }
}
