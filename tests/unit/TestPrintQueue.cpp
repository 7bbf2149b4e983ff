// The queue that keeps printing off the window's thread: posting never waits for a job, jobs
// run in order and once each, and closing drops what has not started (logged) and never leaves
// a job running on its own: one still running after the drain time is logged and ends the
// process (here a stand-in lets it go). The settings page's receipts through it are in
// tests/widgets/TestParamSettingWin.
#include "PrintQueue.h"
#include "RunLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <future>

using namespace std::chrono_literals;

class TestPrintQueue : public QObject
{
    Q_OBJECT

private slots:
    void closingDropsWaitingJobsAndEndsAHungOne_data();
    void closingDropsWaitingJobsAndEndsAHungOne();
    // Last: it closes the process's queue.
    void processQueueClosesWhenTheEventLoopEnds();
    void endingWithAHungJobStartsAgainWhenAsked_data();
    void endingWithAHungJobStartsAgainWhenAsked();
};

void TestPrintQueue::closingDropsWaitingJobsAndEndsAHungOne_data()
{
    QTest::addColumn<bool>("hangs"); // job 1 waits for a spooler that does not answer
    QTest::addColumn<int>("waiting"); // jobs posted after job 1
    QTest::addColumn<int>("ran"); // the number of each job that ran, as a digit: 123

    QTest::newRow("three jobs, in order") << false << 2 << 123;
    QTest::newRow("a single job that hangs") << true << 0 << 1;
    QTest::newRow("a hung job and two waiting") << true << 2 << 1;
}

void TestPrintQueue::closingDropsWaitingJobsAndEndsAHungOne()
{
    QFETCH(bool, hangs);
    QFETCH(int, waiting);
    QFETCH(int, ran);

    QTemporaryDir logs;
    RunLog::setDirectory(logs.path().toStdString());
    std::atomic<int> done {0};
    std::atomic<bool> started {false};
    std::promise<void> spoolerAnswers;
    const std::shared_future<void> answer = spoolerAnswers.get_future().share();
    int stuck = 0;
    QElapsedTimer clock;
    {
        // The process would end where the stand-in lets the hung job go.
        PrintQueue queue(200ms, [&] {
            ++stuck;
            spoolerAnswers.set_value();
        });
        queue.post("receipt 1", [&] {
            started = true;
            if (hangs)
                answer.wait();
            done = done * 10 + 1;
        });
        for (int job = 2; job <= waiting + 1; ++job)
            queue.post("receipt " + std::to_string(job), [&done, job] { done = done * 10 + job; });
        if (hangs) {
            // The posts returned all the same; the queue is not idle while the job runs.
            QTRY_VERIFY(started.load());
            QVERIFY(!queue.waitUntilIdle(50ms));
        } else {
            QVERIFY(queue.waitUntilIdle(10s));
        }
        clock.start();
    }
    QVERIFY2(clock.elapsed() < 3000, "closing waited past the drain time");
    QCOMPARE(done.load(), ran);
    QCOMPARE(stuck, hangs ? 1 : 0);

    QFile log(logs.filePath("tallyport.log"));
    const QByteArray lines = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    QCOMPARE(lines.count("not printed"), hangs ? waiting : 0);
    QCOMPARE(lines.count("receipt 1 still printing after 200 ms"), hangs ? 1 : 0);
    RunLog::setDirectory({});
}

void TestPrintQueue::processQueueClosesWhenTheEventLoopEnds()
{
    QTemporaryDir logs;
    RunLog::setDirectory(logs.path().toStdString());
    std::atomic<int> ran {0};
    PrintQueue::process().post("receipt", [&ran] { ++ran; });
    QVERIFY(PrintQueue::process().waitUntilIdle(10s));

    // The tray's exit: the event loop ends, and the application object would go next.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    PrintQueue::process().post("late receipt", [&ran] { ++ran; });
    QVERIFY(PrintQueue::process().waitUntilIdle(0ms));
    QCOMPARE(ran.load(), 1);
    QFile log(logs.filePath("tallyport.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("late receipt not printed"), 1);
    RunLog::setDirectory({});
}

void TestPrintQueue::endingWithAHungJobStartsAgainWhenAsked_data()
{
    QTest::addColumn<bool>("restartAsked");
    QTest::addColumn<int>("status"); // 42: the stand-in of the program's new start ran
    QTest::newRow("exit") << false << 0;
    QTest::newRow("restart") << true << 42;
}

void TestPrintQueue::endingWithAHungJobStartsAgainWhenAsked()
{
    QFETCH(bool, restartAsked);
    QFETCH(int, status);

    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        if (restartAsked)
            PrintQueue::setRestart([] { ::_exit(42); });
        PrintQueue::endProcess();
    }
    int ended = 0;
    QCOMPARE(waitpid(child, &ended, 0), child);
    QVERIFY(WIFEXITED(ended));
    QCOMPARE(WEXITSTATUS(ended), status);
}

QTEST_GUILESS_MAIN(TestPrintQueue)
#include "TestPrintQueue.moc"
