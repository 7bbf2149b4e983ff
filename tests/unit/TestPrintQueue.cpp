// The queue that keeps printing off the window's thread: posting never waits for a job, jobs
// run in order and once each, and going away does not wait for ever on a spooler that hangs.
// The settings page's receipts through it are in tests/widgets/TestParamSettingWin.
#include "PrintQueue.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <future>

using namespace std::chrono_literals;

class TestPrintQueue : public QObject
{
    Q_OBJECT

private slots:
    void goingAwayDoesNotWaitForEverOnAHungJob();
};

void TestPrintQueue::goingAwayDoesNotWaitForEverOnAHungJob()
{
    // The number of each job that has run is appended as a digit: 123 is jobs 1, 2 and 3.
    const auto ran = std::make_shared<std::atomic<int>>(0);
    std::promise<void> spoolerAnswers;
    std::shared_future<void> answer = spoolerAnswers.get_future().share();
    QElapsedTimer clock;
    {
        PrintQueue queue(200ms);
        queue.post([ran] { *ran = 1; });
        QVERIFY(queue.waitUntilIdle(10s));
        // Job 2 hangs at the spooler; the posts return all the same, or this never ends.
        queue.post([ran, answer] {
            answer.wait();
            *ran = *ran * 10 + 2;
        });
        queue.post([ran] { *ran = *ran * 10 + 3; });
        QVERIFY(!queue.waitUntilIdle(50ms));
        clock.start();
    }
    QVERIFY2(clock.elapsed() < 5000, "the queue waited for the hung job past its drain time");
    QCOMPARE(ran->load(), 1);

    // The spooler answers later: the worker finishes both jobs by itself.
    spoolerAnswers.set_value();
    QTRY_COMPARE_WITH_TIMEOUT(ran->load(), 123, 10000);
}

QTEST_GUILESS_MAIN(TestPrintQueue)
#include "TestPrintQueue.moc"
