#include "RunLog.h"
#include "Text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

const QString kGeneralLog = QStringLiteral("tallyport.log");
const QString kLoginLog = QStringLiteral("RecordRun.log");

QByteArray readLog(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The lines of a log, each without its CR LF. Fails the test when the text does not end
// with CR LF.
QList<QByteArray> logLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    if (bytes.isEmpty())
        return lines;
    if (!bytes.endsWith("\r\n")) {
        QTest::qFail("log does not end with CR LF", __FILE__, __LINE__);
        return lines;
    }
    lines = bytes.left(bytes.size() - 2).split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

// Payload lengths differ from line to line; every tenth line is longer than a stdio buffer,
// so that a line written in several pieces would show torn.
std::size_t paddingLength(int thread, int line)
{
    const int length = 20 + (line * 37 + thread * 11) % 300;
    return std::size_t(line % 10 == 3 ? length + 9000 : length);
}

QDateTime wholeSecond(const QDateTime &time)
{
    return time.addMSecs(-time.time().msec());
}

struct LogLine
{
    QDateTime stamp;
    QByteArray message;
};

// Splits "YYYY-MM-DD hh:mm:ss   MESSAGE  TRAILER"; the stamp is invalid when the line does
// not have that form.
LogLine parseLine(const QByteArray &line, const QByteArray &trailer)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2})   (.*)  ([^ ]*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    // Lines are in the local code page (UTF-8 here, GBK on a Chinese Windows).
    const QRegularExpressionMatch match = form.match(QString::fromLocal8Bit(line));
    if (!match.hasMatch() || match.captured(3).toLocal8Bit() != trailer)
        return {};
    return {QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss")),
        match.captured(2).toLocal8Bit()};
}

// A text of these sources (UTF-8) as the log holds it: in the local code page.
QByteArray local(const char *utf8)
{
    return QByteArray::fromStdString(Text::utf8ToLocal(utf8));
}

} // namespace

class TestRunLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void lineFormat_data();
    void lineFormat();
    void linesAppearInCallOrder();
    void lineBreakInMessageSplitsTheEntry();
    void deletedLogIsRecreatedWithOnlyTheNextLine();
    void movedLogKeepsItsLinesAndANewOneTakesTheNext();
    void argumentsAreNeverTakenAsFormat();
    void chineseTextIsWrittenUnchanged();
    void longMessageIsWrittenWhole();
    void logThatCannotBeOpenedLosesTheLine();
    void concurrentWritersLeaveWholeLines();
    void linesOfConcurrentWritersAreInTimeOrder();

private:
    QTemporaryDir m_workDir;
};

void TestRunLog::initTestCase()
{
    QVERIFY(m_workDir.isValid());
    QVERIFY(QDir::setCurrent(m_workDir.path()));
}

void TestRunLog::init()
{
    QFile::remove(kGeneralLog);
    QFile::remove(kLoginLog);
}

void TestRunLog::lineFormat_data()
{
    QTest::addColumn<bool>("loginLog");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("otherFileName");
    QTest::addColumn<QByteArray>("trailer");

    QTest::newRow("general run log") << false << kGeneralLog << kLoginLog << QByteArray("Kovani");
    QTest::newRow("login log") << true << kLoginLog << kGeneralLog << QByteArray("tallyport");
}

void TestRunLog::lineFormat()
{
    QFETCH(bool, loginLog);
    QFETCH(QString, fileName);
    QFETCH(QString, otherFileName);
    QFETCH(QByteArray, trailer);

    const QDateTime before = wholeSecond(QDateTime::currentDateTime());
    const int closed = loginLog ? RunLog::writeLogin("pay %s step %d of %05.2f", "T1", 3, 7.5)
                                : RunLog::write("pay %s step %d of %05.2f", "T1", 3, 7.5);
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(closed, 0);

    const QByteArray bytes = readLog(fileName);
    const QRegularExpression exact(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}   "
                                                  "pay T1 step 3 of 07.50  ")
        + QString::fromLatin1(trailer) + QStringLiteral("\r\n$"));
    QVERIFY2(exact.match(QString::fromUtf8(bytes)).hasMatch(), bytes.constData());

    const LogLine line = parseLine(logLines(bytes).value(0), trailer);
    QVERIFY(line.stamp.isValid());
    QVERIFY2(
        line.stamp >= before && line.stamp <= after, qPrintable(line.stamp.toString(Qt::ISODate)));
    QVERIFY2(!QFile::exists(otherFileName), "the other log must not be written");
}

void TestRunLog::linesAppearInCallOrder()
{
    RunLog::write("first");
    RunLog::write("second %d", 2);
    RunLog::write("third");

    const QList<QByteArray> lines = logLines(readLog(kGeneralLog));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(parseLine(lines.at(0), "Kovani").message, QByteArray("first"));
    QCOMPARE(parseLine(lines.at(1), "Kovani").message, QByteArray("second 2"));
    QCOMPARE(parseLine(lines.at(2), "Kovani").message, QByteArray("third"));
    QVERIFY(parseLine(lines.at(0), "Kovani").stamp <= parseLine(lines.at(2), "Kovani").stamp);
}

void TestRunLog::lineBreakInMessageSplitsTheEntry()
{
    RunLog::write("reply: %s", "{\"code\":\"100\",\n\"msg\":\"ok\"}");

    const QByteArray bytes = readLog(kGeneralLog);
    QVERIFY(bytes.endsWith("\"msg\":\"ok\"}  Kovani\r\n"));
    const QList<QByteArray> lines = logLines(bytes);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}   "
                                               "reply: \\{\"code\":\"100\",$"))
                 .match(QString::fromUtf8(lines.at(0)))
                 .hasMatch(),
        lines.at(0).constData());
    QCOMPARE(lines.at(1), QByteArray("\"msg\":\"ok\"}  Kovani"));
}

void TestRunLog::deletedLogIsRecreatedWithOnlyTheNextLine()
{
    RunLog::write("before removal");
    QVERIFY(QFile::exists(kGeneralLog));
    QVERIFY(QFile::remove(kGeneralLog));

    RunLog::write("after removal");
    const QList<QByteArray> lines = logLines(readLog(kGeneralLog));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(parseLine(lines.at(0), "Kovani").message, QByteArray("after removal"));
}

void TestRunLog::movedLogKeepsItsLinesAndANewOneTakesTheNext()
{
    // As a log rotation does it: the log is renamed, and the name then leads to a new file.
    const QString moved = kGeneralLog + QStringLiteral(".1");
    QFile::remove(moved);
    RunLog::write("before the move");
    QVERIFY(QFile::rename(kGeneralLog, moved));

    RunLog::write("after the move");
    const QList<QByteArray> old = logLines(readLog(moved));
    QCOMPARE(old.size(), 1);
    QCOMPARE(parseLine(old.at(0), "Kovani").message, QByteArray("before the move"));
    const QList<QByteArray> lines = logLines(readLog(kGeneralLog));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(parseLine(lines.at(0), "Kovani").message, QByteArray("after the move"));
    QVERIFY(QFile::remove(moved));
}

void TestRunLog::argumentsAreNeverTakenAsFormat()
{
    RunLog::write("收到socket消息: %s", "100%s%n%d%%x");
    RunLog::writeLogin(
        "登录请求参数：===========================    %s", "{\"tel\":\"%n%s\",\"pass\":\"%p\"}");

    QCOMPARE(parseLine(logLines(readLog(kGeneralLog)).value(0), "Kovani").message,
        local("收到socket消息: 100%s%n%d%%x"));
    QCOMPARE(parseLine(logLines(readLog(kLoginLog)).value(0), "tallyport").message,
        local("登录请求参数：===========================    {\"tel\":\"%n%s\","
              "\"pass\":\"%p\"}"));
}

void TestRunLog::chineseTextIsWrittenUnchanged()
{
    RunLog::writeLogin("点击登录=======================");
    // A text of the till as an argument, UTF-8 as every argument is: the whole line is in the
    // local code page (GBK on a Chinese Windows), never half one, half the other.
    RunLog::writeLogin("%s", "登录失败=====0==");
    RunLog::write("收到订单号  =====  %s", "好运便利店-20240305");

    const QByteArray login = readLog(kLoginLog);
    QVERIFY2(login.contains(local("   点击登录=======================  tallyport\r\n")),
        login.constData());
    QVERIFY2(login.endsWith(local("   登录失败=====0==  tallyport\r\n")), login.constData());
    QCOMPARE(logLines(login).size(), 2);
    const QByteArray general = readLog(kGeneralLog);
    QVERIFY2(general.endsWith(local("   收到订单号  =====  好运便利店-20240305  Kovani\r\n")),
        general.constData());
}

void TestRunLog::longMessageIsWrittenWhole()
{
    std::string payload;
    for (int i = 0; payload.size() < 64 * 1024; ++i)
        payload += "{\"out_trade_no\":\"T" + std::to_string(i) + "\"},";
    RunLog::write("收到socket消息: %s", payload.c_str());

    const QList<QByteArray> lines = logLines(readLog(kGeneralLog));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(parseLine(lines.at(0), "Kovani").message,
        local("收到socket消息: ") + QByteArray::fromStdString(payload));
}

void TestRunLog::logThatCannotBeOpenedLosesTheLine()
{
    // A directory in the place of the log cannot be opened for appending, not even by root.
    QVERIFY(QDir().mkdir(kGeneralLog));
    const int closed = RunLog::write("lost line");
    QVERIFY(QDir().rmdir(kGeneralLog));
    QCOMPARE(closed, EOF);

    QCOMPARE(RunLog::write("next line"), 0);
    const QList<QByteArray> lines = logLines(readLog(kGeneralLog));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(parseLine(lines.at(0), "Kovani").message, QByteArray("next line"));
}

void TestRunLog::concurrentWritersLeaveWholeLines()
{
    constexpr int threadCount = 8;
    constexpr int linesPerThread = 200;
    constexpr int loginEvery = 4;

    const QDateTime before = wholeSecond(QDateTime::currentDateTime());
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < linesPerThread; ++i) {
                // Payloads of different lengths so that torn writes would show.
                const std::string padding(paddingLength(t, i), char('a' + t));
                RunLog::write("thread %d line %d %s", t, i, padding.c_str());
                if (i % loginEvery == 0)
                    RunLog::writeLogin("login thread %d line %d %s", t, i, padding.c_str());
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    const QDateTime after = QDateTime::currentDateTime();

    const auto check = [&](const QString &fileName, const QByteArray &prefix,
                           const QByteArray &trailer, int every) {
        QSet<QByteArray> expected;
        for (int t = 0; t < threadCount; ++t) {
            for (int i = 0; i < linesPerThread; i += every) {
                const std::string padding(paddingLength(t, i), char('a' + t));
                expected.insert(prefix + QByteArray::number(t) + " line " + QByteArray::number(i)
                    + ' ' + QByteArray::fromStdString(padding));
            }
        }
        const QList<QByteArray> lines = logLines(readLog(fileName));
        QSet<QByteArray> seen;
        for (const QByteArray &line : lines) {
            const LogLine parsed = parseLine(line, trailer);
            QVERIFY2(parsed.stamp.isValid(), line.constData());
            QVERIFY2(parsed.stamp >= before && parsed.stamp <= after, line.constData());
            QVERIFY2(expected.contains(parsed.message), line.constData());
            QVERIFY2(!seen.contains(parsed.message), line.constData());
            seen.insert(parsed.message);
        }
        QCOMPARE(lines.size(), expected.size());
        QCOMPARE(seen.size(), expected.size());
    };
    check(kGeneralLog, "thread ", "Kovani", 1);
    if (QTest::currentTestFailed())
        return;
    check(kLoginLog, "login thread ", "tallyport", loginEvery);
}

// A clock that moves one second on every reading and then dawdles, so a writer that took its
// stamp before waiting for the file would often be overtaken.
std::atomic<std::time_t> s_tick {1765100000};

std::time_t slowTickingClock()
{
    const std::time_t now = s_tick++;
    std::this_thread::yield();
    return now;
}

void TestRunLog::linesOfConcurrentWritersAreInTimeOrder()
{
    RunLog::setClock(slowTickingClock);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 150; ++i)
                RunLog::write("thread %d line %d", t, i);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    RunLog::setClock(nullptr);

    const QList<QByteArray> lines = logLines(readLog(kGeneralLog));
    QCOMPARE(lines.size(), 600);
    QDateTime previous;
    for (const QByteArray &line : lines) {
        const LogLine parsed = parseLine(line, "Kovani");
        QVERIFY2(parsed.stamp.isValid(), line.constData());
        QVERIFY2(!previous.isValid() || parsed.stamp > previous, line.constData());
        previous = parsed.stamp;
    }
}

QTEST_GUILESS_MAIN(TestRunLog)
#include "TestRunLog.moc"
