#include "CurrentOrder.h"
#include "HttpClient.h"
#include "LedgerFollowUp.h"
#include "LedgerStore.h"
#include "LedgerWorker.h"
#include "LoginSession.h"
#include "OrdinaryFileAccess.h"
#include "PayTransaction.h"
#include "SandboxProcess.h"
#include "TempHome.h"
#include "Text.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <sqlite3.h>
#include <sys/wait.h>

#include <csignal>

#include <memory>

using State = LedgerStore::State;
Q_DECLARE_METATYPE(State)

namespace {

std::time_t s_now = 0;
std::time_t testClock()
{
    return s_now;
}

std::time_t at(const char *localTime)
{
    return QDateTime::fromString(
        QString::fromLatin1(localTime), QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        .toSecsSinceEpoch();
}

QString readPragma(const QString &path, const char *pragma)
{
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, pragma, -1, &statement, nullptr);
    QString value;
    if (sqlite3_step(statement) == SQLITE_ROW)
        value
            = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

OrderRecord order(const std::string &number, const std::string &total)
{
    OrderRecord record;
    record.orderNumber = number;
    record.totalFee = total;
    return record;
}

} // namespace

// The payment ledger: its rows and their states, what survives a restart, the follow-up's
// decisions and its worker against the sandbox.
class TestLedger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void moves_data();
    void moves();
    void masksTheCode_data();
    void masksTheCode();
    void fileIsOwnerOnlyWal();
    void restartLeavesNothingInFlight();
    void prunesOldRows();
    void readOnlyDirectoryKeepsPaymentsGoing();
    void queriesOfTheWindows();
    void matcher_data();
    void matcher();
    void statusDecision_data();
    void statusDecision();

    void followUpAgainstTheSandbox();

private:
    std::unique_ptr<TempHome> m_home;
    QString m_path;
};

void TestLedger::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    m_path = m_home->filePath(QString::fromLatin1(LedgerStore::kFileName));
    s_now = at("2026-12-07 10:00:00");
}

void TestLedger::cleanup()
{
    m_home.reset();
}

void TestLedger::moves_data()
{
    QTest::addColumn<QList<State>>("steps");
    QTest::addColumn<QList<bool>>("taken");
    QTest::addColumn<QString>("finalState");

    QTest::newRow("paid at once") << QList<State> {State::Paid} << QList<bool> {true} << "paid";
    QTest::newRow("refused") << QList<State> {State::Refused} << QList<bool> {true} << "refused";
    QTest::newRow("answer lost") << QList<State> {State::Unresolved} << QList<bool> {true}
                                 << "unresolved";
    QTest::newRow("polled to paid")
        << QList<State> {State::Pending, State::Paid} << QList<bool> {true, true} << "paid";
    QTest::newRow("polling gave up, then closed")
        << QList<State> {State::Pending, State::Unresolved, State::Closed}
        << QList<bool> {true, true, true} << "closed";
    QTest::newRow("a paid row stays paid")
        << QList<State> {State::Paid, State::Unresolved, State::Refused, State::Pending}
        << QList<bool> {true, false, false, false} << "paid";
    QTest::newRow("only a follow-up closes")
        << QList<State> {State::Closed, State::Pending, State::Pending}
        << QList<bool> {false, true, false} << "pending";
    QTest::newRow("a refused row is final")
        << QList<State> {State::Refused, State::Paid} << QList<bool> {true, false} << "refused";
}

void TestLedger::moves()
{
    QFETCH(QList<State>, steps);
    QFETCH(QList<bool>, taken);
    QFETCH(QString, finalState);

    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    const long long id
        = ledger.recordAttempt(LedgerStore::Source::Checkout, 1250, "134567890123456780");
    QVERIFY(id > 0);
    QCOMPARE(ledger.row(id).state, std::string("sending"));
    for (int i = 0; i < steps.size(); ++i)
        QCOMPARE(ledger.update(id, steps.at(i), "N" + std::to_string(i), "msg"), taken.at(i));
    const LedgerRow row = ledger.row(id);
    QCOMPARE(QString::fromStdString(row.state), finalState);
    QCOMPARE(row.source, std::string("checkout"));
    QCOMPARE(row.amountMinor, 1250LL);
    QCOMPARE(row.createdAt, std::string("2026-12-07 10:00:00"));
}

void TestLedger::masksTheCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("masked");

    QTest::newRow("wechat") << "134567890123456780"
                            << "**************6780";
    QTest::newRow("alipay") << "2812345678901230"
                            << "************1230";
    QTest::newRow("full-width digits") << "１３４５６７"
                                       << "**４５６７";
    QTest::newRow("four or fewer") << "1234"
                                   << "****";
    QTest::newRow("empty") << ""
                           << "";
}

void TestLedger::masksTheCode()
{
    QFETCH(QString, code);
    QFETCH(QString, masked);

    QCOMPARE(QString::fromStdString(LedgerStore::maskCode(Text::toLocal(code))), masked);
}

void TestLedger::fileIsOwnerOnlyWal()
{
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    QVERIFY(ledger.recordAttempt(LedgerStore::Source::SingleWindow, 1, "2812345678901230") > 0);
    QCOMPARE(QFile::permissions(m_path),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QCOMPARE(readPragma(m_path, "PRAGMA journal_mode"), QStringLiteral("wal"));
    QVERIFY(!ledger.notRecording());
}

void TestLedger::restartLeavesNothingInFlight()
{
    // A till killed (SIGKILL) in the middle of two payments, after a third was paid.
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        LedgerStore ledger(testClock);
        ledger.open(m_path.toStdString());
        ledger.recordAttempt(LedgerStore::Source::Checkout, 100, "134567890123456780");
        const long long pending
            = ledger.recordAttempt(LedgerStore::Source::Checkout, 200, "134567890123456786");
        const long long paid
            = ledger.recordAttempt(LedgerStore::Source::SingleWindow, 300, "134567890123456781");
        ledger.update(pending, State::Pending, "20261207100000000001", "等待用户支付");
        ledger.update(paid, State::Paid, "20261207100000000002", "支付成功");
        raise(SIGKILL);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const long long sending = 1, pending = 2, paid = 3;
    s_now += 30;
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    QCOMPARE(ledger.row(sending).state, std::string("unresolved"));
    QVERIFY(ledger.row(sending).outTradeNo.empty());
    QCOMPARE(ledger.row(pending).state, std::string("unresolved"));
    QCOMPARE(ledger.row(pending).outTradeNo, std::string("20261207100000000001"));
    QVERIFY(ledger.row(sending).message != ledger.row(pending).message);
    QCOMPARE(ledger.row(pending).updatedAt, std::string("2026-12-07 10:00:30"));
    QCOMPARE(ledger.row(paid).state, std::string("paid"));
    QCOMPARE(ledger.followUpRows().size(), std::size_t(2));
}

void TestLedger::prunesOldRows()
{
    {
        LedgerStore ledger(testClock);
        QVERIFY(ledger.open(m_path.toStdString()));
        ledger.recordAttempt(LedgerStore::Source::Checkout, 100, "134567890123456780");
        s_now += 3600;
        ledger.recordAttempt(LedgerStore::Source::Checkout, 200, "134567890123456780");
    }
    // 90 days after the first row, and 30 minutes: only the second is kept.
    s_now = at("2026-12-07 10:30:00") + 90 * 24 * 3600;
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    QCOMPARE(ledger.row(1).id, 0LL);
    QCOMPARE(ledger.row(2).amountMinor, 200LL);
}

void TestLedger::readOnlyDirectoryKeepsPaymentsGoing()
{
    const QString locked = m_home->filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkdir(locked));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    OrdinaryFileAccess ordinary;
    QVERIFY(ordinary.isValid());

    LedgerStore ledger(testClock);
    QVERIFY(!ledger.open(QDir(locked).filePath(QStringLiteral("ledger.db")).toStdString()));
    QVERIFY(ledger.notRecording());
    QVERIFY(ledger.takeNotice());
    QVERIFY(!ledger.takeNotice());
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 3; ++i) {
        const long long id = ledger.recordAttempt(LedgerStore::Source::Checkout, 100, "1");
        QCOMPARE(id, 0LL);
        QVERIFY(!ledger.update(id, State::Paid, "N", "支付成功"));
    }
    QVERIFY(ledger.followUpRows().empty());
    QVERIFY(timer.elapsed() < 1000);

    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("payment ledger is not recording"), 1);
}

void TestLedger::queriesOfTheWindows()
{
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    const auto attempt = [&ledger](const char *when, long long amount, State state,
                             const std::string &number) {
        s_now = at(when);
        const long long id = ledger.recordAttempt(LedgerStore::Source::Checkout, amount, "12345");
        if (state == State::Closed) {
            ledger.update(id, State::Unresolved, number, "why");
            ledger.noteFollowUp(id, State::Closed, {}, "closed");
        } else if (state != State::Sending) {
            ledger.update(id, state, number, "why");
        }
        return id;
    };
    const long long earlier = attempt("2026-12-01 10:00:00", 300, State::Unresolved, {});
    attempt("2026-12-01 10:05:00", 300, State::Closed, "E");
    const long long yesterday = attempt("2026-12-06 23:59:59", 100, State::Paid, "A");
    const long long paid = attempt("2026-12-07 09:00:00", 250, State::Paid, "B");
    const long long lost = attempt("2026-12-07 09:10:00", 400, State::Unresolved, {});
    const long long closed = attempt("2026-12-07 09:20:00", 500, State::Closed, "C");
    const long long recovered = attempt("2026-12-07 09:30:00", 700, State::Unresolved, "D");
    attempt("2026-12-07 09:40:00", 900, State::Refused, {});
    QVERIFY(ledger.noteFollowUp(recovered, State::Paid, {}, "支付成功"));
    QVERIFY(ledger.noteFollowUp(lost, State::Unresolved, {}, {}));

    QCOMPARE(ledger.row(lost).checks, 1);
    QCOMPARE(ledger.row(lost).message, std::string("why")); // a fruitless check keeps it
    QVERIFY(ledger.row(recovered).recovered());
    QVERIFY(!ledger.row(paid).recovered());

    QList<long long> attention;
    for (const LedgerRow &row : ledger.attentionRows(QDate(2026, 12, 7)))
        attention << row.id;
    // Every attempt still unresolved needs a look, however old; of those a follow-up decided,
    // the day's.
    QCOMPARE(attention, (QList<long long> {earlier, lost, closed, recovered}));

    const LedgerStore::PaidTotals today = ledger.paidTotals(QDate(2026, 12, 7), QDate(2026, 12, 7));
    QCOMPARE(today.count, 2LL);
    QCOMPARE(today.sumMinor, 950LL);
    QCOMPARE(ledger.paidTotals(QDate(2026, 12, 6), QDate(2026, 12, 7)).sumMinor, 1050LL);

    const std::vector<LedgerRow> missing
        = ledger.paidRowsMissingFrom(QDate(2026, 12, 6), QDate(2026, 12, 7), {"B", "X"});
    QCOMPARE(missing.size(), std::size_t(2));
    QCOMPARE(missing.at(0).id, yesterday);
    QCOMPARE(missing.at(1).id, recovered);

    QCOMPARE(ledger.heldOrderNumbers(), (std::set<std::string> {"A", "B", "C", "D", "E"}));
    // 24 hours after the lost attempt, it is no longer followed up.
    s_now = at("2026-12-08 09:10:00");
    QCOMPARE(ledger.followUpRows().size(), std::size_t(1));
    s_now += 1;
    QVERIFY(ledger.followUpRows().empty());
}

void TestLedger::matcher_data()
{
    QTest::addColumn<QStringList>("orders"); // "number total" each
    QTest::addColumn<QStringList>("held");
    QTest::addColumn<QString>("otherOpenRow"); // created_at of another row of 1250 without number
    QTest::addColumn<QString>("expected");

    // The row: 12.50 attempted at 2026-12-07 10:00:00.
    QTest::newRow("one match") << QStringList {"202612071000030000001 1250"} << QStringList {}
                               << QString() << "202612071000030000001";
    QTest::newRow("none") << QStringList {"202612071000030000001 1251"} << QStringList {}
                          << QString() << QString();
    QTest::newRow("several") << QStringList {"202612071000030000001 1250",
        "202612071001000000002 1250"}
                             << QStringList {} << QString() << QString();
    QTest::newRow("held by another row")
        << QStringList {"202612071000030000001 1250", "202612071001000000002 1250"}
        << QStringList {"202612071000030000001"} << QString() << "202612071001000000002";
    QTest::newRow("another open row could be it")
        << QStringList {"202612071000030000001 1250"} << QStringList {} << "2026-12-07 09:59:30"
        << QString();
    QTest::newRow("another open row out of reach")
        << QStringList {"202612071000030000001 1250"} << QStringList {} << "2026-12-07 10:03:00"
        << "202612071000030000001";
    QTest::newRow("5 s before") << QStringList {"202612070959550000001 1250"} << QStringList {}
                                << QString() << "202612070959550000001";
    QTest::newRow("6 s before") << QStringList {"202612070959540000001 1250"} << QStringList {}
                                << QString() << QString();
    QTest::newRow("120 s after") << QStringList {"202612071002000000001 1250"} << QStringList {}
                                 << QString() << "202612071002000000001";
    QTest::newRow("121 s after") << QStringList {"202612071002010000001 1250"} << QStringList {}
                                 << QString() << QString();
}

void TestLedger::matcher()
{
    QFETCH(QStringList, orders);
    QFETCH(QStringList, held);
    QFETCH(QString, otherOpenRow);
    QFETCH(QString, expected);

    LedgerRow row;
    row.id = 1;
    row.createdAt = "2026-12-07 10:00:00";
    row.amountMinor = 1250;
    std::vector<LedgerRow> open {row};
    if (!otherOpenRow.isEmpty()) {
        LedgerRow other = row;
        other.id = 2;
        other.createdAt = otherOpenRow.toStdString();
        open.push_back(other);
    }
    std::vector<OrderRecord> records;
    for (const QString &text : orders)
        records.push_back(
            order(text.section(' ', 0, 0).toStdString(), text.section(' ', 1, 1).toStdString()));
    std::set<std::string> heldNumbers;
    for (const QString &number : held)
        heldNumbers.insert(number.toStdString());

    const std::optional<std::string> found = LedgerFollowUp::match(row, records, heldNumbers, open);
    QCOMPARE(QString::fromStdString(found.value_or(std::string())), expected);
}

void TestLedger::statusDecision_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<State>("state");

    QTest::newRow("paid") << QByteArray(R"({"code":"100","msg":"ok","data":{"payType":"wx",)"
                                        R"("total":"1250","status":"1","time_end":"t"}})")
                          << State::Paid;
    QTest::newRow("failed") << QByteArray(R"({"code":"100","msg":"ok","data":{"payType":"wx",)"
                                          R"("total":"1250","status":"0"}})")
                            << State::Closed;
    QTest::newRow("pending") << QByteArray(R"({"code":"100","msg":"ok","data":{"payType":"wx",)"
                                           R"("total":"1250","status":"3"}})")
                             << State::Unresolved;
    QTest::newRow("unknown order")
        << QByteArray(R"({"code":"404","msg":"订单不存在"})") << State::Unresolved;
    QTest::newRow("no answer") << QByteArray() << State::Unresolved;
}

void TestLedger::statusDecision()
{
    QFETCH(QByteArray, reply);
    QFETCH(State, state);

    QCOMPARE(LedgerFollowUp::decideStatus(reply.toStdString()).state, state);
}

void TestLedger::followUpAgainstTheSandbox()
{
    SandboxProcess sandbox;
    QVERIFY(sandbox.start());
    LoginSession session;
    QVERIFY(sandbox.loginDemo(session));
    GatewaySession::set({session.appid, session.key, session.sid});
    const LedgerWorker::Target target {sandbox.url("/api/face"), sandbox.caPath().toStdString()};

    // Each attempt is recorded as a window records it, at the time the sandbox sees it.
    LedgerStore ledger;
    QVERIFY(ledger.open(m_path.toStdString()));
    const auto pay = [&](const QByteArray &fault, const std::string &code, long long total) {
        if (!fault.isEmpty() && !sandbox.injectFault(fault))
            return 0LL;
        const long long id = ledger.recordAttempt(LedgerStore::Source::Checkout, total, code);
        HttpClient client(target.caBundle);
        const auto request = PayTransaction::payRequest(std::to_string(total / 100) + "."
                + QString::number(total % 100).rightJustified(2, '0').toStdString(),
            code, Text::wideToUtf8(session.appid), Text::wideToUtf8(session.sid),
            Text::wideToUtf8(session.key));
        std::string reply;
        client.Post(target.url, request->body, reply, "json");
        CurrentOrder order;
        const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(reply, order);
        if (decision.outcome == PayTransaction::PayOutcome::RequestFailed)
            ledger.update(id, State::Unresolved, {}, "请求失败");
        else // pending: the polling is taken as given up
            ledger.update(id, State::Unresolved, Text::wideToUtf8(order.orderNumber), "轮询结束");
        return id;
    };
    // The answer lost after the order was paid: found through the order list.
    const long long lost = pay(R"({"kind":"drop_reply"})", "134567890123456780", 1234);
    // Paid at the first query after the polling gave up.
    const long long late = pay(R"({"kind":"paid_late","queries":0})", "134567890123456780", 2345);
    // Two answers lost for the same amount within the window: no guess.
    const long long twinA = pay(R"({"kind":"drop_reply"})", "134567890123456781", 3456);
    const long long twinB = pay(R"({"kind":"drop_reply"})", "134567890123456782", 3456);
    // Still pending at every follow-up.
    const long long waiting = pay({}, "114567890123456788", 4567);
    QVERIFY(lost && late && twinA && twinB && waiting);
    QVERIFY(ledger.row(lost).outTradeNo.empty());

    QList<long long> recovered;
    QString lostReceipt;
    LedgerWorker worker(ledger, this, [&](const std::vector<LedgerWorker::Recovered> &rows) {
        for (const LedgerWorker::Recovered &found : rows) {
            recovered << found.row.id;
            if (found.row.id == lost)
                lostReceipt = QString::fromStdWString(found.order.receiptMessage());
        }
    });
    worker.start(target);
    QTRY_COMPARE_WITH_TIMEOUT(recovered.size(), 2, 20000);
    worker.stop();
    QCOMPARE(worker.passes(), 1);

    QCOMPARE(recovered, (QList<long long> {lost, late}));
    QCOMPARE(ledger.row(lost).state, std::string("paid"));
    QCOMPARE(ledger.row(lost).outTradeNo.size(), std::size_t(21));
    QVERIFY2(lostReceipt.contains(QString::fromStdString("#wx#12.34#")), qPrintable(lostReceipt));
    QCOMPARE(ledger.row(late).state, std::string("paid"));
    for (const long long id : {twinA, twinB, waiting}) {
        QCOMPARE(ledger.row(id).state, std::string("unresolved"));
        QCOMPARE(ledger.row(id).checks, 1);
    }
    QVERIFY(ledger.row(twinA).outTradeNo.empty());
    GatewaySession::set({});
}

QTEST_GUILESS_MAIN(TestLedger)
#include "TestLedger.moc"
