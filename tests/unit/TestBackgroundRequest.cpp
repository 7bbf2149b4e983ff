// The shared background request's turns: a question asked while one runs is sent after it, the
// latest question of a topic wins, a refused start() leaves the waiting ones alone. The gateway
// is a closed local port, so every request fails at once; what matters is the order of turns.
#include "BackgroundRequest.h"

#include <QtTest>

#include <mutex>

class TestBackgroundRequest : public QObject
{
    Q_OBJECT

private slots:
    void turns_data();
    void turns();
};

void TestBackgroundRequest::turns_data()
{
    // Each question is "topic label"; the topic "-" asks through start().
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("answered");
    QTest::addColumn<QStringList>("refused");

    QTest::newRow("asked while one runs: sent after it")
        << QStringList {"list a", "totals b"} << QStringList {"a", "b"} << QStringList {"a", "b"}
        << QStringList {};
    QTest::newRow("asked again: the latest wins, the earlier answer is dropped")
        << QStringList {"list a", "list b", "list c"} << QStringList {"a", "c"} << QStringList {"c"}
        << QStringList {};
    QTest::newRow("other topics keep their turn")
        << QStringList {"list a", "refresh b", "list c", "refresh b2"}
        << QStringList {"a", "b2", "c"} << QStringList {"b2", "c"} << QStringList {};
    QTest::newRow("start() is refused while one runs")
        << QStringList {"list a", "- b"} << QStringList {"a"} << QStringList {"a"}
        << QStringList {"b"};
    QTest::newRow("start() is refused while one waits")
        << QStringList {"- a", "list b", "- c"} << QStringList {"a", "b"} << QStringList {"a", "b"}
        << QStringList {"c"};
}

void TestBackgroundRequest::turns()
{
    QFETCH(QStringList, asked);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, answered);
    QFETCH(QStringList, refused);

    QObject owner;
    std::mutex sentMutex;
    QStringList sentNow;
    QStringList answeredNow;
    QStringList refusedNow;
    BackgroundRequest request(&owner);
    // Asked in one go: no answer can be handed over before the last question.
    for (const QString &question : asked) {
        const QString topic = question.section(QLatin1Char(' '), 0, 0);
        const QString label = question.section(QLatin1Char(' '), 1);
        BackgroundRequest::Post post;
        post.url = "https://127.0.0.1:1/api/face";
        auto onWorker = [&sentMutex, &sentNow, label](const std::string &) {
            const std::lock_guard<std::mutex> lock(sentMutex);
            sentNow << label;
        };
        auto onOwner = [&answeredNow, label] { answeredNow << label; };
        if (topic == QLatin1String("-")) {
            if (!request.start(post, onWorker, onOwner))
                refusedNow << label;
        } else {
            request.ask(topic.toStdString(), post, onWorker, onOwner);
        }
    }
    QTRY_VERIFY(!request.busy());

    const std::lock_guard<std::mutex> lock(sentMutex);
    QCOMPARE(sentNow, sent);
    QCOMPARE(answeredNow, answered);
    QCOMPARE(refusedNow, refused);
}

QTEST_GUILESS_MAIN(TestBackgroundRequest)
#include "TestBackgroundRequest.moc"
