// The queue that keeps printing off the window's thread: jobs run in order, each once, on
// another thread; posting never waits for a job; going away finishes what was posted and does
// not wait for ever on a spooler that hangs.
#include "PrintQueue.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// What the jobs did, in order, from whichever thread they ran on.
class JobLog final
{
public:
    void add(int job)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(job);
        m_threads.push_back(std::this_thread::get_id());
    }
    std::vector<int> jobs() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_jobs;
    }
    std::vector<std::thread::id> threads() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_jobs;
    std::vector<std::thread::id> m_threads;
};

} // namespace

class TestPrintQueue : public QObject
{
    Q_OBJECT

private slots:
    void jobsRunInOrderOnceOffTheCallersThread();
    void postingDoesNotWaitForAJobThatHangs();
    void goingAwayDoesNotWaitForEverOnAHungJob();
};

void TestPrintQueue::jobsRunInOrderOnceOffTheCallersThread()
{
    auto log = std::make_shared<JobLog>();
    PrintQueue queue;
    for (int job = 1; job <= 20; ++job)
        queue.post([log, job] { log->add(job); });
    QVERIFY(queue.waitUntilIdle(10s));

    std::vector<int> expected;
    for (int job = 1; job <= 20; ++job)
        expected.push_back(job);
    QCOMPARE(log->jobs(), expected);
    for (const std::thread::id &thread : log->threads())
        QVERIFY(thread != std::this_thread::get_id());
}

void TestPrintQueue::postingDoesNotWaitForAJobThatHangs()
{
    auto log = std::make_shared<JobLog>();
    std::promise<void> spoolerAnswers;
    std::shared_future<void> answer = spoolerAnswers.get_future().share();
    PrintQueue queue;
    queue.post([log, answer] {
        answer.wait();
        log->add(1);
    });
    // Each post returns while the first job is still stuck: otherwise this would never end.
    queue.post([log] { log->add(2); });
    queue.post([log] { log->add(3); });
    QVERIFY(!queue.waitUntilIdle(50ms));
    QVERIFY(log->jobs().empty());

    spoolerAnswers.set_value();
    QVERIFY(queue.waitUntilIdle(10s));
    QCOMPARE(log->jobs(), (std::vector<int> {1, 2, 3}));
}

void TestPrintQueue::goingAwayDoesNotWaitForEverOnAHungJob()
{
    auto log = std::make_shared<JobLog>();
    std::promise<void> spoolerAnswers;
    std::shared_future<void> answer = spoolerAnswers.get_future().share();
    QElapsedTimer clock;
    {
        PrintQueue queue(200ms);
        queue.post([log, answer] {
            answer.wait();
            log->add(1);
        });
        queue.post([log] { log->add(2); });
        clock.start();
    }
    qInfo("the queue went after %lld ms with a job still at the spooler", clock.elapsed());
    QVERIFY(log->jobs().empty());

    // The spooler answers later: the worker finishes both jobs by itself.
    spoolerAnswers.set_value();
    QTRY_COMPARE_WITH_TIMEOUT(log->jobs(), (std::vector<int> {1, 2}), 10000);
}

QTEST_GUILESS_MAIN(TestPrintQueue)
#include "TestPrintQueue.moc"
