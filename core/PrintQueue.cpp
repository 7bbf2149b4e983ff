#include "PrintQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

// Shared by the queue and its worker, so that a worker left to finish after the queue is gone
// still has it.
struct PrintQueue::State
{
    std::mutex mutex;
    std::condition_variable wake; // a job was posted, or the queue closes
    std::condition_variable idle; // the last posted job has run
    std::deque<Job> jobs;
    bool running = false; // a job is being run
    bool closing = false;
    std::thread worker;

    bool isIdle() const { return jobs.empty() && !running; }
};

PrintQueue::PrintQueue(std::chrono::milliseconds drainTime)
    : m_drainTime(drainTime)
    , m_state(std::make_shared<State>())
{ }

PrintQueue::~PrintQueue()
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    if (!m_state->worker.joinable())
        return;
    m_state->closing = true;
    m_state->wake.notify_one();
    const bool drained
        = m_state->idle.wait_for(lock, m_drainTime, [this] { return m_state->isIdle(); });
    std::thread worker = std::move(m_state->worker);
    lock.unlock();
    if (drained)
        worker.join();
    else
        worker.detach(); // it ends after its last job; it keeps the state alive until then
}

void PrintQueue::post(Job job)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->jobs.push_back(std::move(job));
    if (!m_state->worker.joinable())
        m_state->worker = std::thread(&PrintQueue::work, m_state);
    m_state->wake.notify_one();
}

bool PrintQueue::waitUntilIdle(std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    return m_state->idle.wait_for(lock, timeout, [this] { return m_state->isIdle(); });
}

void PrintQueue::work(std::shared_ptr<State> state)
{
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&state] { return !state->jobs.empty() || state->closing; });
        if (state->jobs.empty())
            return; // closing, and nothing left to print
        Job job = std::move(state->jobs.front());
        state->jobs.pop_front();
        state->running = true;
        lock.unlock();
        job();
        job = nullptr; // what the job held goes before the queue hears it is done
        lock.lock();
        state->running = false;
        if (state->isIdle())
            state->idle.notify_all();
    }
}
