#pragma once

#include <chrono>
#include <functional>
#include <memory>

// Runs print jobs one after another on a worker thread of its own, so that whoever hands a
// job over (a payment, the order list, a hot key) never waits for the printer or the spooler.
// Jobs run in the order they were posted, each exactly once. A job carries everything it
// needs by value: it may still run after the poster is gone.
//
// The worker starts with the first job. Destroying the queue lets the jobs already posted
// finish and waits for them for at most the drain time; a spooler that takes longer does not
// hold the caller up: the worker then finishes them by itself and ends.
class PrintQueue final
{
public:
    using Job = std::function<void()>;

    static constexpr std::chrono::milliseconds kDefaultDrainTime {5000};

    explicit PrintQueue(std::chrono::milliseconds drainTime = kDefaultDrainTime);
    ~PrintQueue();
    PrintQueue(const PrintQueue &) = delete;
    PrintQueue &operator=(const PrintQueue &) = delete;

    // Queues a job and returns at once.
    void post(Job job);
    // Waits until every job posted so far has run; false when the time ran out first.
    bool waitUntilIdle(std::chrono::milliseconds timeout) const;

private:
    struct State;

    static void work(std::shared_ptr<State> state);

    std::chrono::milliseconds m_drainTime;
    std::shared_ptr<State> m_state;
};
