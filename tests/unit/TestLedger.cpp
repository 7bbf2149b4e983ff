#include "CurrentOrder.h"
#include "HttpClient.h"
#include "InputCode.h"
#include "LedgerFollowUp.h"
#include "LedgerStore.h"
#include "LedgerWorker.h"
#include "LoginSession.h"
#include "OrdinaryFileAccess.h"
#include "PayTransaction.h"
#include "SandboxProcess.h"
#include "SmallDisk.h"
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

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

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

// A paid WeChat Pay order of the list.
OrderRecord order(const std::string &number, const std::string &total)
{
    OrderRecord record;
    record.orderNumber = number;
    record.totalFee = total;
    record.service = "wx";
    record.status = "1";
    return record;
}

// A file as the first ledger wrote it: ten columns, no index, no refunds.
void writeFirstLedger(const QString &path, const QStringList &rows)
{
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    QString sql = QStringLiteral(
        "PRAGMA journal_mode=WAL; CREATE TABLE payments (id INTEGER PRIMARY KEY,"
        " created_at TEXT NOT NULL, source TEXT NOT NULL, amount_minor INTEGER NOT NULL,"
        " code_masked TEXT NOT NULL, out_trade_no TEXT, state TEXT NOT NULL,"
        " message TEXT NOT NULL DEFAULT '', checks INTEGER NOT NULL DEFAULT 0,"
        " updated_at TEXT NOT NULL);");
    for (const QString &row : rows)
        sql += QStringLiteral("INSERT INTO payments VALUES (%1);").arg(row);
    sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
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
    void prunesOnlyDecidedRows();
    void readOnlyDirectoryKeepsPaymentsGoing();
    void queriesOfTheWindows();
    void oneOrderNumberOneRow();
    void refundsAreRecorded();
    void upgradesALedgerOfTheFirstVersion();
    void orderIndexIsCheckedAtEveryOpen();
    void matcher_data();
    void matcher();
    void listRange_data();
    void listRange();
    void statusDecision_data();
    void statusDecision();

    void candidatesOnTheGatewaysClock_data();
    void candidatesOnTheGatewaysClock();
    void windowsFollowTheGatewaysClock();
    void keepsWhatTheDiskWillNotTake();

    void followUpAgainstTheSandbox();
    void stoppedWorkerReportsNothingMore();

private:
    // A sandbox with the demo cashier logged in, the session set process-wide.
    void loginAt(SandboxProcess &sandbox, LoginSession &session);

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
    QTest::newRow("polling gave up, then paid")
        << QList<State> {State::Pending, State::Unresolved, State::Paid}
        << QList<bool> {true, true, true} << "paid";
    QTest::newRow("a candidate is never written as an answer") << QList<State> {State::Unresolved,
        State::Matched} << QList<bool> {true, false} << "unresolved";
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
        ledger.recordRefund("S", "20261207090000000009", std::nullopt);
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
    // Each says where it was cut short.
    QCOMPARE(ledger.row(sending).message, std::string(LedgerStore::kStoppedSending));
    QCOMPARE(ledger.row(pending).message, std::string(LedgerStore::kStoppedPolling));
    QCOMPARE(ledger.row(pending).updatedAt, std::string("2026-12-07 10:00:30"));
    QCOMPARE(ledger.row(paid).state, std::string("paid"));
    QCOMPARE(ledger.followUpRows({}).size(), std::size_t(2));
    // A refund cut short is not known either: it is never sent again without a look.
    const std::optional<RefundRow> refund = ledger.unsettledRefund("20261207090000000009");
    QVERIFY(refund);
    QCOMPARE(refund->state, std::string("unresolved"));
    QCOMPARE(refund->message, std::string(LedgerStore::kRefundStopped));
}

void TestLedger::prunesOnlyDecidedRows()
{
    const auto told = [](const char *gatewayTime) { return std::to_string(at(gatewayTime)); };
    const auto record = [](LedgerStore &ledger, State state) {
        const long long id = ledger.recordAttempt(LedgerStore::Source::Checkout, 100, "1", "S1");
        if (state == State::Matched) {
            ledger.update(id, State::Unresolved, {}, "lost");
            ledger.noteCandidate(id, [](const LedgerStore::Snapshot &) {
                return std::optional<LedgerStore::Candidate>({"M", {}});
            });
        } else if (state != State::Sending) {
            ledger.update(id, state, state == State::Paid ? "P" + std::to_string(id) : "", "x");
        }
        return id;
    };
    long long oldPaid = 0, oldOpen = 0, oldMatched = 0, cmosPaid = 0, cmosOpen = 0;
    long long futurePaid = 0, futureRefund = 0;
    {
        // Right clocks, 93 days before the last start.
        s_now = at("2026-09-05 10:00:00");
        LedgerStore ledger(testClock);
        QVERIFY(ledger.open(m_path.toStdString()));
        ledger.noteGatewayTime(told("2026-09-05 10:00:00"));
        oldPaid = record(ledger, State::Paid);
        oldOpen = record(ledger, State::Unresolved);
        oldMatched = record(ledger, State::Matched);
    }
    {
        // A clock far ahead, before any login: no time on the gateway's clock.
        s_now = at("2030-01-01 10:00:00");
        LedgerStore ledger(testClock);
        QVERIFY(ledger.open(m_path.toStdString()));
        futurePaid = record(ledger, State::Paid);
        futureRefund = ledger.recordRefund("S1", "P1", std::nullopt);
        ledger.updateRefund(futureRefund, LedgerStore::RefundState::Refunded, "ok");
        QVERIFY(ledger.row(futurePaid).gatewayAt.empty());
    }
    {
        // A dead CMOS battery: the till's clock says 2000, the gateway tells the right time.
        s_now = at("2000-01-01 10:00:00");
        LedgerStore ledger(testClock);
        QVERIFY(ledger.open(m_path.toStdString()));
        ledger.noteGatewayTime(told("2026-12-01 10:00:00"));
        cmosPaid = record(ledger, State::Paid);
        cmosOpen = record(ledger, State::Unresolved);
        QCOMPARE(ledger.row(cmosPaid).gatewayAt, std::string("2026-12-01 10:00:00"));
        // 87 days old on the gateway's clock; a clock that far off dates nothing by itself.
        QCOMPARE(ledger.row(oldPaid).state, std::string("paid"));
        QCOMPARE(ledger.row(futurePaid).updatedAt, std::string("2030-01-01 10:00:00"));
    }
    const auto kept = [](LedgerStore &ledger, long long id) { return ledger.row(id).id == id; };
    {
        s_now = at("2026-12-07 10:00:00");
        LedgerStore ledger(testClock);
        QVERIFY(ledger.open(m_path.toStdString()));
        // Nothing goes before the gateway has told the time.
        QVERIFY(kept(ledger, oldPaid));
        ledger.noteGatewayTime(told("2026-12-07 10:00:05"));
        QVERIFY(!kept(ledger, oldPaid));
        for (const long long id : {oldOpen, oldMatched, cmosPaid, cmosOpen, futurePaid})
            QVERIFY2(kept(ledger, id), qPrintable(QString::number(id)));
        // Dated in the future of a clock the gateway agrees with: as if written now.
        QCOMPARE(ledger.row(futurePaid).updatedAt, std::string("2026-12-07 10:00:00"));
        QCOMPARE(ledger.refund(futureRefund).updatedAt, std::string("2026-12-07 10:00:00"));
    }
    {
        s_now = at("2026-12-07 10:00:00") + 91 * 24 * 3600;
        LedgerStore ledger(testClock);
        QVERIFY(ledger.open(m_path.toStdString()));
        ledger.noteGatewayTime(std::to_string(s_now));
        for (const long long id : {cmosPaid, futurePaid})
            QVERIFY2(!kept(ledger, id), qPrintable(QString::number(id)));
        QCOMPARE(ledger.refund(futureRefund).id, 0LL);
        for (const long long id : {oldOpen, oldMatched, cmosOpen})
            QVERIFY2(kept(ledger, id), qPrintable(QString::number(id)));
    }
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
    QVERIFY(!ledger.recordingNotice().empty());
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 3; ++i) {
        const long long id = ledger.recordAttempt(LedgerStore::Source::Checkout, 100, "1");
        QCOMPARE(id, 0LL);
        QVERIFY(!ledger.update(id, State::Paid, "N", "支付成功"));
    }
    QVERIFY(ledger.followUpRows({}).empty());
    QVERIFY(timer.elapsed() < 1000);

    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("payment ledger is not recording"), 1);
}

void TestLedger::queriesOfTheWindows()
{
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    const auto attempt
        = [&ledger](const char *when, long long amount, State state, const std::string &number) {
              s_now = at(when);
              const long long id = ledger.recordAttempt(
                  LedgerStore::Source::Checkout, amount, "12345", "S1", "wx");
              if (state == State::Closed) {
                  ledger.update(id, State::Unresolved, number, "why");
                  ledger.noteFollowUp(id, State::Closed, {}, "closed");
              } else if (state != State::Sending) {
                  ledger.update(id, state, number, "why");
              }
              return id;
          };
    const long long earlier = attempt("2026-12-01 10:00:00", 300, State::Unresolved, {});
    const long long closedEarlier = attempt("2026-12-01 10:05:00", 300, State::Closed, "E");
    const long long yesterday = attempt("2026-12-06 23:59:59", 100, State::Paid, "A");
    // Attempted a minute before midnight, found paid after it: decided today.
    const long long lateNight = attempt("2026-12-06 23:59:00", 800, State::Unresolved, "F");
    const long long paid = attempt("2026-12-07 09:00:00", 250, State::Paid, "B");
    const long long lost = attempt("2026-12-07 09:10:00", 400, State::Unresolved, {});
    const long long closed = attempt("2026-12-07 09:20:00", 500, State::Closed, "C");
    const long long recovered = attempt("2026-12-07 09:30:00", 700, State::Unresolved, "D");
    attempt("2026-12-07 09:40:00", 900, State::Refused, {});
    s_now = at("2026-12-07 09:45:00");
    const long long otherStore
        = ledger.recordAttempt(LedgerStore::Source::Checkout, 410, "12345", "S2", "wx");
    ledger.update(otherStore, State::Unresolved, {}, "why");
    const long long alsoLost = attempt("2026-12-07 09:48:00", 400, State::Unresolved, {});
    const long long guessed = attempt("2026-12-07 09:50:00", 400, State::Unresolved, {});
    s_now = at("2026-12-07 09:55:00");
    QVERIFY(ledger.noteFollowUp(recovered, State::Paid, {}, "支付成功", "2026-12-07 09:31:00"));
    QVERIFY(ledger.noteFollowUp(lost, State::Unresolved, {}, {}));
    QVERIFY(ledger.noteCandidate(guessed, [](const LedgerStore::Snapshot &) {
        return std::optional<LedgerStore::Candidate>({"G", "2026-12-07 09:50:30"});
    }));
    s_now = at("2026-12-07 00:00:10");
    QVERIFY(ledger.noteFollowUp(lateNight, State::Paid, {}, "支付成功"));
    s_now = at("2026-12-07 10:00:00");

    QCOMPARE(ledger.row(lost).checks, 1);
    QCOMPARE(ledger.row(lost).message, std::string("why")); // a fruitless check keeps it
    QVERIFY(ledger.row(recovered).recovered());
    QCOMPARE(ledger.row(recovered).payTime, std::string("2026-12-07 09:31:00"));
    QVERIFY(!ledger.row(paid).recovered());
    QCOMPARE(ledger.row(guessed).state, std::string("matched"));
    QCOMPARE(ledger.row(guessed).outTradeNo, std::string("G"));
    // A note on a row no longer unresolved changes nothing, not even its checks.
    QVERIFY(!ledger.noteFollowUp(paid, State::Closed, {}, "closed"));
    QCOMPARE(ledger.row(paid).state, std::string("paid"));
    QCOMPARE(ledger.row(paid).checks, 0);

    const auto ids = [](const std::vector<LedgerRow> &rows) {
        QList<long long> list;
        for (const LedgerRow &row : rows)
            list << row.id;
        return list;
    };
    // Every attempt still unresolved or waiting for the cashier's word needs a look, however
    // old; of those a follow-up decided, the day's, by when it decided.
    QCOMPARE(ids(ledger.attentionRows(QDate(2026, 12, 7), "S1")),
        (QList<long long> {earlier, lateNight, closed, alsoLost, lost, recovered, guessed}));
    QCOMPARE(ids(ledger.attentionRows(QDate(2026, 12, 7), "S2")), (QList<long long> {otherStore}));
    // The notices of the store: what a follow-up decided and nobody has read, in that order.
    QCOMPARE(ids(ledger.noticeRows("S1")),
        (QList<long long> {closedEarlier, lateNight, closed, recovered, guessed}));
    QVERIFY(ledger.noticeRows("S2").empty());
    QVERIFY(ledger.acknowledge(closed));
    QVERIFY(!ledger.acknowledge(closed));
    QVERIFY(!ledger.acknowledge(guessed)); // a candidate waits for its answer
    QCOMPARE(ids(ledger.noticeRows("S1")),
        (QList<long long> {closedEarlier, lateNight, recovered, guessed}));

    const LedgerStore::PaidTotals today = ledger.paidTotals(QDate(2026, 12, 7), QDate(2026, 12, 7));
    QCOMPARE(today.count, 2LL);
    QCOMPARE(today.sumMinor, 950LL);
    QCOMPARE(today.matched, 1LL); // listed apart, never counted as paid
    QCOMPARE(ledger.paidTotals(QDate(2026, 12, 6), QDate(2026, 12, 7)).sumMinor, 1850LL);

    const std::vector<LedgerRow> missing
        = ledger.paidRowsMissingFrom(QDate(2026, 12, 6), QDate(2026, 12, 7), {"B", "F", "X"});
    QCOMPARE(ids(missing), (QList<long long> {yesterday, recovered}));

    // A payment of 4.00 now may be a retry of the newest unknown one; of 2.50, of nothing.
    QCOMPARE(ledger.unknownAttemptOfAmount(400, "S1").value_or(LedgerRow()).id, guessed);
    QVERIFY(!ledger.unknownAttemptOfAmount(250, "S1"));
    QVERIFY(!ledger.unknownAttemptOfAmount(400, "S2"));
    s_now = at("2026-12-07 10:05:01");
    QVERIFY(!ledger.unknownAttemptOfAmount(400, "S1")); // 15 minutes on

    // 24 hours after the lost attempt, it is no longer followed up; each store follows its own.
    s_now = at("2026-12-08 09:10:00");
    QCOMPARE(ids(ledger.followUpRows("S1")), (QList<long long> {lost, alsoLost}));
    QCOMPARE(ids(ledger.followUpRows("S2")), (QList<long long> {otherStore}));
    s_now += 1;
    QCOMPARE(ids(ledger.followUpRows("S1")), (QList<long long> {alsoLost}));
}

void TestLedger::oneOrderNumberOneRow()
{
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    const auto attempt = [&ledger] {
        return ledger.recordAttempt(
            LedgerStore::Source::Checkout, 998, "134567890123456780", "S1", "wx");
    };
    const auto candidate = [](const std::string &number) {
        return [number](const LedgerStore::Snapshot &) {
            return std::optional<LedgerStore::Candidate>({number, {}});
        };
    };
    const long long lost = attempt();
    QVERIFY(ledger.update(lost, State::Unresolved, {}, "lost"));
    const long long retry = attempt();
    QVERIFY(ledger.update(retry, State::Paid, "Y", "ok"));

    // The retry's order is held: it is nobody else's candidate.
    QVERIFY(!ledger.noteCandidate(lost, candidate("Y")));
    QCOMPARE(ledger.row(lost).state, std::string("unresolved"));
    QVERIFY(ledger.row(lost).outTradeNo.empty());
    QCOMPARE(ledger.row(lost).checks, 1);

    // The snapshot is the ledger at the write: held numbers, and open rows of the store.
    const long long sending = attempt();
    std::optional<LedgerStore::Snapshot> seen;
    ledger.noteCandidate(lost, [&seen](const LedgerStore::Snapshot &now) {
        seen = now;
        return std::nullopt;
    });
    QVERIFY(seen);
    QVERIFY(seen->held.count("Y"));
    QList<long long> open;
    for (const LedgerRow &row : seen->open)
        open << row.id;
    QCOMPARE(open, (QList<long long> {lost, sending}));

    // A candidate yields to the gateway's answer about another attempt: that is proof.
    QVERIFY(ledger.noteCandidate(lost, candidate("Z")));
    QCOMPARE(ledger.row(lost).state, std::string("matched"));
    QVERIFY(ledger.update(sending, State::Paid, "Z", "ok"));
    QCOMPARE(ledger.row(sending).outTradeNo, std::string("Z"));
    QCOMPARE(ledger.row(lost).state, std::string("unresolved"));
    QVERIFY(ledger.row(lost).outTradeNo.empty());
    QCOMPARE(ledger.row(lost).message, std::string(LedgerStore::kCandidateTaken));
    QVERIFY(!ledger.noteCandidate(lost, candidate("Z")));

    // A number a proven row holds (paid, refused or closed) is refused to another answer; both
    // rows stay as they were.
    const long long other = attempt();
    QVERIFY(!ledger.update(other, State::Paid, "Y", "ok"));
    QCOMPARE(ledger.row(other).state, std::string("sending"));
    QVERIFY(!ledger.noteFollowUp(lost, State::Paid, "Y", "ok"));
    const long long refused = attempt();
    QVERIFY(ledger.update(refused, State::Refused, "R", "no"));
    const long long closed = attempt();
    QVERIFY(ledger.update(closed, State::Unresolved, "C", "lost"));
    QVERIFY(ledger.noteFollowUp(closed, State::Closed, {}, "closed"));
    for (const auto &[holder, number, state] :
        {std::tuple(refused, "R", "refused"), std::tuple(closed, "C", "closed")}) {
        QVERIFY(!ledger.update(other, State::Paid, number, "ok"));
        QCOMPARE(ledger.row(holder).state, std::string(state));
        QCOMPARE(ledger.row(holder).outTradeNo, std::string(number));
    }

    // The cashier's word: 不是 lets the number go for good; 是这笔 makes it a payment.
    QVERIFY(ledger.noteCandidate(lost, candidate("W")));
    QVERIFY(!ledger.rejectCandidate(lost, "Z")); // not the order shown now
    QCOMPARE(ledger.row(lost).state, std::string("matched"));
    QVERIFY(ledger.rejectCandidate(lost, "W"));
    QCOMPARE(ledger.row(lost).state, std::string("unresolved"));
    QVERIFY(ledger.row(lost).wasRejected("W"));
    QVERIFY(ledger.row(lost).wasRejected("Z"));
    QVERIFY(!ledger.noteCandidate(lost, candidate("W")));
    QVERIFY(ledger.noteCandidate(lost, candidate("V")));
    QVERIFY(!ledger.confirmCandidate(retry, "Y"));
    QVERIFY(!ledger.confirmCandidate(lost, "W"));
    QCOMPARE(ledger.row(lost).state, std::string("matched"));
    QVERIFY(ledger.confirmCandidate(lost, "V"));
    QCOMPARE(ledger.row(lost).state, std::string("paid"));
    QCOMPARE(ledger.row(lost).outTradeNo, std::string("V"));
    QVERIFY(ledger.row(lost).needsNotice()); // now its receipt may be printed
}

void TestLedger::refundsAreRecorded()
{
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    const long long whole = ledger.recordRefund("S1", "N1", std::nullopt);
    const long long part = ledger.recordRefund("S1", "N2", 250);
    QCOMPARE(ledger.refund(whole).state, std::string("sending"));
    QVERIFY(!ledger.refund(whole).amountMinor);
    QCOMPARE(ledger.refund(part).amountMinor.value_or(0), 250LL);

    // On its way, it stands before any other refund of the order.
    QCOMPARE(ledger.unsettledRefund("N1").value_or(RefundRow()).id, whole);
    QVERIFY(ledger.updateRefund(whole, LedgerStore::RefundState::Refunded, "ok"));
    QVERIFY(!ledger.updateRefund(whole, LedgerStore::RefundState::Unresolved, "late"));
    QVERIFY(ledger.updateRefund(part, LedgerStore::RefundState::Unresolved, "lost"));
    QVERIFY(!ledger.unsettledRefund("N1"));
    QCOMPARE(ledger.unsettledRefund("N2").value_or(RefundRow()).id, part);
    // A look that could not settle it is counted; one that could settles it.
    QVERIFY(ledger.noteRefundCheck(part, "cannot tell"));
    QCOMPARE(ledger.refund(part).checks, 1);
    QCOMPARE(ledger.refund(part).state, std::string("unresolved"));
    QVERIFY(ledger.updateRefund(part, LedgerStore::RefundState::Refused, "not refunded"));
    QVERIFY(!ledger.unsettledRefund("N2"));
    QVERIFY(!ledger.noteRefundCheck(part, "late"));
}

void TestLedger::upgradesALedgerOfTheFirstVersion()
{
    // Written by the till before stores and candidates were recorded, with the fault that one
    // order number was booked to two rows.
    writeFirstLedger(m_path,
        {"1, '2026-12-06 09:00:00', 'checkout', 100, '***0', 'A', 'paid', '', 1,"
         " '2026-12-06 09:02:00'",
            "2, '2026-12-07 09:00:00', 'checkout', 998, '***0', 'Y', 'paid', '', 1,"
            " '2026-12-07 09:03:00'",
            "3, '2026-12-07 09:01:00', 'checkout', 998, '***1', 'Y', 'paid', '', 0,"
            " '2026-12-07 09:01:00'",
            "4, '2026-12-07 09:05:00', 'single-window', 300, '***2', NULL, 'sending', '', 0,"
            " '2026-12-07 09:05:00'"});
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    QVERIFY(!ledger.notRecording());
    for (long long id = 1; id <= 4; ++id)
        QCOMPARE(ledger.row(id).id, id);
    QCOMPARE(ledger.row(3).outTradeNo, std::string("Y"));
    QCOMPARE(ledger.row(4).state, std::string("unresolved"));
    QVERIFY(ledger.row(4).sid.empty());
    // Yesterday's recovered payment counts as read; today's is still shown.
    QVERIFY(!ledger.row(1).needsNotice());
    QVERIFY(ledger.row(2).needsNotice());
    // A row without a store is followed up under any store.
    QCOMPARE(ledger.followUpRows("S1").size(), std::size_t(1));
    // New rows go on, and the number booked twice is held.
    const long long id = ledger.recordAttempt(LedgerStore::Source::Checkout, 1, "1", "S1", "");
    QVERIFY(!ledger.update(id, State::Paid, "Y", "ok"));
    QVERIFY(ledger.update(id, State::Paid, "Q", "ok"));
    QVERIFY(ledger.recordRefund("S1", "Q", std::nullopt) > 0);
    QCOMPARE(readPragma(m_path, "PRAGMA user_version"), QStringLiteral("3"));
    ledger.close();
    QVERIFY(ledger.open(m_path.toStdString()));
    QCOMPARE(ledger.row(id).outTradeNo, std::string("Q"));
}

void TestLedger::orderIndexIsCheckedAtEveryOpen()
{
    // A file of the second layout left without its index (a kill between the upgrade's commit
    // and the index): the next open makes the index, in the upgrade's transaction.
    {
        LedgerStore ledger(testClock);
        QVERIFY(ledger.open(m_path.toStdString()));
        QVERIFY(ledger.update(
            ledger.recordAttempt(LedgerStore::Source::Checkout, 1, "1"), State::Paid, "A", "ok"));
    }
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(m_path.toUtf8().constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "DROP INDEX payments_order; PRAGMA user_version = 2", nullptr,
                 nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    for (int start = 0; start < 2; ++start) {
        LedgerStore ledger(testClock);
        QVERIFY(ledger.open(m_path.toStdString()));
        QCOMPARE(
            readPragma(m_path, "SELECT count(*) FROM sqlite_master WHERE name = 'payments_order'"),
            QStringLiteral("1"));
        QCOMPARE(readPragma(m_path, "PRAGMA user_version"), QStringLiteral("3"));
        const long long id = ledger.recordAttempt(LedgerStore::Source::Checkout, 1, "1");
        QVERIFY(!ledger.update(id, State::Paid, "A", "ok"));
    }
}

void TestLedger::matcher_data()
{
    QTest::addColumn<QStringList>("orders"); // "number total [service [status]]" each
    QTest::addColumn<QStringList>("held");
    // The time on the gateway's clock of another row of 1250, and its number.
    QTest::addColumn<QString>("otherOpenRow");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("wallet"); // the row's, as its code told it

    // The row: 12.50 by WeChat Pay, attempted at 2026-12-07 10:00:00 on the gateway's clock
    // (10:00:30 on the till's, 30 s fast); 202612071000070000009 was offered before and the
    // cashier said it is another payment.
    QTest::newRow("one match") << QStringList {"202612071000030000001 1250"} << QStringList {}
                               << QString() << "202612071000030000001" << QStringLiteral("wx");
    QTest::newRow("none") << QStringList {"202612071000030000001 1251"} << QStringList {}
                          << QString() << QString() << QStringLiteral("wx");
    QTest::newRow("several") << QStringList {"202612071000030000001 1250",
        "202612071001000000002 1250"}
                             << QStringList {} << QString() << QString() << QStringLiteral("wx");
    QTest::newRow("held by another row")
        << QStringList {"202612071000030000001 1250", "202612071001000000002 1250"}
        << QStringList {"202612071000030000001"} << QString() << "202612071001000000002"
        << QStringLiteral("wx");
    QTest::newRow("said to be another payment")
        << QStringList {"202612071000070000009 1250"} << QStringList {} << QString() << QString()
        << QStringLiteral("wx");
    QTest::newRow("another wallet")
        << QStringList {"202612071000030000001 1250 ali"} << QStringList {} << QString()
        << QString() << QStringLiteral("wx");
    QTest::newRow("another wallet beside")
        << QStringList {"202612071000030000001 1250 ali", "202612071000040000002 1250 wx"}
        << QStringList {} << QString() << "202612071000040000002" << QStringLiteral("wx");
    QTest::newRow("a number with a tab is no order")
        << QStringList {"20261207100003\t0000001 1250"} << QStringList {} << QString() << QString()
        << QStringLiteral("wx");
    QTest::newRow("not paid in the list")
        << QStringList {"202612071000030000001 1250 wx 4"} << QStringList {} << QString()
        << QString() << QStringLiteral("wx");
    QTest::newRow("paid, shown as 2")
        << QStringList {"202612071000030000001 1250 wx 2"} << QStringList {} << QString()
        << "202612071000030000001" << QStringLiteral("wx");
    QTest::newRow("another open row could be it")
        << QStringList {"202612071000030000001 1250"} << QStringList {} << "2026-12-07 09:59:30"
        << QString() << QStringLiteral("wx");
    QTest::newRow("another open row with its own number")
        << QStringList {"202612071000030000001 1250"} << QStringList {}
        << "2026-12-07 09:59:30 202612070959300000005"
        << "202612071000030000001" << QStringLiteral("wx");
    QTest::newRow("another open row out of reach")
        << QStringList {"202612071000030000001 1250"} << QStringList {} << "2026-12-07 10:03:00"
        << "202612071000030000001" << QStringLiteral("wx");
    QTest::newRow("5 s before") << QStringList {"202612070959550000001 1250"} << QStringList {}
                                << QString() << "202612070959550000001" << QStringLiteral("wx");
    QTest::newRow("6 s before") << QStringList {"202612070959540000001 1250"} << QStringList {}
                                << QString() << QString() << QStringLiteral("wx");
    QTest::newRow("120 s after") << QStringList {"202612071002000000001 1250"} << QStringList {}
                                 << QString() << "202612071002000000001" << QStringLiteral("wx");
    QTest::newRow("121 s after") << QStringList {"202612071002010000001 1250"} << QStringList {}
                                 << QString() << QString() << QStringLiteral("wx");
    QTest::newRow("a number with a blank is no order")
        << QStringList {"20261207100003<blank>0000001 1250"} << QStringList {} << QString()
        << QString() << QStringLiteral("wx");
    QTest::newRow("a code that told no wallet: any wallet")
        << QStringList {"202612071000030000001 1250 ali"} << QStringList {} << QString()
        << "202612071000030000001" << QString();
    QTest::newRow("a code that told no wallet, two wallets")
        << QStringList {"202612071000030000001 1250 ali", "202612071000040000002 1250 wx"}
        << QStringList {} << QString() << QString() << QString();
}

void TestLedger::matcher()
{
    QFETCH(QStringList, orders);
    QFETCH(QStringList, held);
    QFETCH(QString, otherOpenRow);
    QFETCH(QString, expected);
    QFETCH(QString, wallet);

    LedgerStore::Snapshot snapshot;
    LedgerRow &row = snapshot.row;
    row.id = 1;
    row.createdAt = "2026-12-07 10:00:30";
    row.gatewayAt = "2026-12-07 10:00:00";
    row.amountMinor = 1250;
    row.wallet = wallet.toStdString();
    row.rejected = "202612071000070000009";
    snapshot.open = {row};
    if (!otherOpenRow.isEmpty()) {
        LedgerRow other = row;
        other.id = 2;
        other.gatewayAt = otherOpenRow.left(19).toStdString();
        other.outTradeNo = otherOpenRow.mid(20).toStdString();
        snapshot.open.push_back(other);
    }
    std::vector<OrderRecord> records;
    for (const QString &text : orders) {
        const QStringList parts = text.split(' ');
        OrderRecord record = order(QString(parts.at(0))
                                       .replace(QStringLiteral("<blank>"), QStringLiteral(" "))
                                       .toStdString(),
            parts.at(1).toStdString());
        record.service = parts.value(2, QStringLiteral("wx")).toStdString();
        record.status = parts.value(3, QStringLiteral("1")).toStdString();
        records.push_back(record);
    }
    for (const QString &number : held)
        snapshot.held.insert(number.toStdString());

    const std::optional<std::string> found
        = LedgerFollowUp::match(row, records, snapshot.held, snapshot.open);
    QCOMPARE(QString::fromStdString(found.value_or(std::string())), expected);
    const std::optional<LedgerStore::Candidate> candidate
        = LedgerFollowUp::candidate(snapshot, records);
    QCOMPARE(QString::fromStdString(candidate ? candidate->orderNumber : std::string()), expected);
}

void TestLedger::listRange_data()
{
    QTest::addColumn<QString>("gatewayAt");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    // The whole days the row's window touches on the gateway's clock: from 5 s before it to
    // 120 s after it. The till's own clock (created_at, a day off here) plays no part.
    QTest::newRow("mid-morning") << "2026-12-07 10:00:00"
                                 << "20261207000000"
                                 << "20261207235959";
    QTest::newRow("just after midnight") << "2026-12-07 00:00:03"
                                         << "20261206000000"
                                         << "20261207235959";
    QTest::newRow("a minute before midnight") << "2026-12-07 23:59:00"
                                              << "20261207000000"
                                              << "20261208235959";
    QTest::newRow("made before the gateway told its time") << QString() << QString() << QString();
}

void TestLedger::listRange()
{
    QFETCH(QString, gatewayAt);
    QFETCH(QString, from);
    QFETCH(QString, to);

    LedgerRow row;
    row.createdAt = "2026-12-08 10:00:00";
    row.gatewayAt = gatewayAt.toStdString();
    const auto range = LedgerFollowUp::listRange(row);
    QCOMPARE(QString::fromStdString(range ? range->first : std::string()), from);
    QCOMPARE(QString::fromStdString(range ? range->second : std::string()), to);
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

void TestLedger::candidatesOnTheGatewaysClock_data()
{
    QTest::addColumn<int>("tillAhead"); // seconds the till's clock is ahead of the gateway's
    QTest::addColumn<QString>("told"); // how the login told the gateway's time; empty: not yet

    QTest::newRow("right") << 0 << "unix";
    QTest::newRow("30 s fast") << 30 << "unix";
    QTest::newRow("5 min slow") << -300 << "unix";
    QTest::newRow("8 h off: the till on UTC, told as seconds") << -8 * 3600 << "unix";
    QTest::newRow("8 h off, told as a wall time") << -8 * 3600 << "wall";
    QTest::newRow("not told yet") << 0 << QString();
}

void TestLedger::candidatesOnTheGatewaysClock()
{
    QFETCH(int, tillAhead);
    QFETCH(QString, told);
    const std::time_t gateway = at("2026-12-07 10:00:00");
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    s_now = gateway + tillAhead;
    if (told == "unix")
        ledger.noteGatewayTime(std::to_string(gateway));
    else if (told == "wall")
        ledger.noteGatewayTime("2026-12-07 10:00:00");
    // Two answers of 12.50 lost 40 s apart and one of 8.00 ten minutes on; the gateway took
    // each a second after the till recorded it.
    const auto lost = [&ledger, gateway, tillAhead](int second, long long amount) {
        s_now = gateway + second + tillAhead;
        const long long id = ledger.recordAttempt(
            LedgerStore::Source::Checkout, amount, "134567890123456780", "S1", "wx");
        ledger.update(id, State::Unresolved, {}, "lost");
        return id;
    };
    const long long first = lost(5, 1250);
    const long long second = lost(45, 1250);
    const long long third = lost(600, 800);
    const std::vector<OrderRecord> orders {order("202612071000060000001", "1250"),
        order("202612071000460000002", "1250"), order("202612071010010000003", "800")};
    s_now = gateway + 900 + tillAhead;
    QStringList offered;
    for (const long long id : {first, second, third}) {
        const std::optional<LedgerStore::Candidate> found
            = ledger.noteCandidate(id, [&orders](const LedgerStore::Snapshot &now) {
                  return LedgerFollowUp::candidate(now, orders);
              });
        offered << QString::fromStdString(found ? found->orderNumber : "-");
    }
    // Each row its own order or nothing: the look-alikes are left for a person, and nothing is
    // offered before the gateway has told its time.
    QCOMPARE(offered, (QStringList {"-", "-", told.isEmpty() ? "-" : "202612071010010000003"}));
    // The retry question and the follow-up count on the same clock.
    QCOMPARE(ledger.unknownAttemptOfAmount(1250, "S1").value_or(LedgerRow()).id, second);
    QCOMPARE(int(ledger.followUpRows("S1").size()), told.isEmpty() ? 3 : 2);
}

void TestLedger::windowsFollowTheGatewaysClock()
{
    // A dead CMOS battery: the till's clock says 2000 when the cashier logs in and pays.
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(m_path.toStdString()));
    s_now = at("2000-01-01 08:00:00");
    ledger.noteGatewayTime("2026-12-07 10:00:00");
    const auto attempt = [&ledger](State state, const std::string &number) {
        const long long id = ledger.recordAttempt(
            LedgerStore::Source::Checkout, 1250, "134567890123456780", "S1", "wx");
        ledger.update(id, state, number, "x");
        return id;
    };
    const long long lost = attempt(State::Unresolved, {});
    attempt(State::Paid, "P");
    // The network time arrives five minutes later and the next answer tells the time again:
    // the rows are as old as the gateway's clock says, and of its day.
    s_now = at("2026-12-07 10:05:00");
    ledger.noteGatewayTime(std::to_string(s_now));
    QCOMPARE(ledger.followUpRows("S1").size(), std::size_t(1));
    QCOMPARE(ledger.unknownAttemptOfAmount(1250, "S1").value_or(LedgerRow()).id, lost);
    QCOMPARE(ledger.paidTotals(QDate(2026, 12, 7), QDate(2026, 12, 7)).count, 1LL);
}

void TestLedger::keepsWhatTheDiskWillNotTake()
{
    SmallDisk disk(m_home->filePath(QStringLiteral("disk")));
    if (!SmallDisk::unavailableReason().isEmpty())
        QSKIP(qPrintable(SmallDisk::unavailableReason()));
    QVERIFY(disk.isValid());
    const std::string path = disk.filePath(QStringLiteral("ledger.db")).toStdString();
    LedgerStore ledger(testClock);
    QVERIFY(ledger.open(path));
    int changes = 0;
    ledger.setListener([&changes] { ++changes; });
    const auto attempt = [&ledger](long long amount) {
        return ledger.recordAttempt(
            LedgerStore::Source::Checkout, amount, "134567890123456780", "S1", "wx");
    };
    const long long before = attempt(100);
    QVERIFY(ledger.update(before, State::Paid, "A", "ok"));
    QVERIFY(!ledger.holding());

    // Full: what the till learns is kept in memory, in order, and read back from there.
    QVERIFY(disk.fill());
    const long long paid = attempt(200);
    QCOMPARE(paid, before + 1);
    QVERIFY(ledger.holding());
    QVERIFY(ledger.notRecording());
    QVERIFY(!ledger.recordingNotice().empty());
    QVERIFY(ledger.update(paid, State::Paid, "B", "ok"));
    const long long lost = attempt(300);
    QVERIFY(ledger.update(lost, State::Unresolved, {}, "lost"));
    QCOMPARE(ledger.row(paid).state, std::string("paid"));
    QCOMPARE(ledger.row(before).outTradeNo, std::string("A"));
    QCOMPARE(ledger.unknownAttemptOfAmount(300, "S1").value_or(LedgerRow()).id, lost);
    QVERIFY(!ledger.update(lost, State::Paid, "A", "ok")); // one number, one row, still
    QVERIFY(!ledger.retryHeld());
    const int whileFull = changes;

    // Room again: the next try writes it all, and the line goes by itself.
    disk.makeRoom();
    QVERIFY(ledger.retryHeld());
    QVERIFY(!ledger.holding());
    QVERIFY(ledger.recordingNotice().empty());
    QVERIFY(changes > whileFull);
    // Full again, then room: a new write is the next try.
    QVERIFY(disk.fill());
    const long long later = attempt(400);
    QVERIFY(ledger.holding());
    disk.makeRoom();
    QVERIFY(ledger.update(later, State::Refused, {}, "no"));
    QVERIFY(!ledger.holding());
    ledger.close();

    // In the file, as the next start reads it.
    LedgerStore again(testClock);
    QVERIFY(again.open(path));
    QCOMPARE(again.row(paid).state, std::string("paid"));
    QCOMPARE(again.row(paid).outTradeNo, std::string("B"));
    QCOMPARE(again.row(lost).state, std::string("unresolved"));
    QCOMPARE(again.row(later).state, std::string("refused"));
    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QCOMPARE(text.count("payment ledger cannot write"), 2);
    QCOMPARE(text.count("payment ledger writes again"), 2);

    // A till that ends while the disk is full names in the log what the file never took.
    QVERIFY(disk.fill());
    const long long unwritten
        = again.recordAttempt(LedgerStore::Source::Checkout, 500, "134567890123456780", "S1", "wx");
    QVERIFY(again.holding());
    again.close();
    QVERIFY(log.seek(0));
    QVERIFY(log.readAll().contains("payment ledger: not written: INSERT INTO payments"));
    disk.makeRoom();
    QVERIFY(again.open(path));
    QCOMPARE(again.row(unwritten).id, 0LL);
}

void TestLedger::loginAt(SandboxProcess &sandbox, LoginSession &session)
{
    QVERIFY(sandbox.start());
    QVERIFY(sandbox.loginDemo(session));
    GatewaySession::set({session.appid, session.key, session.sid});
}

void TestLedger::followUpAgainstTheSandbox()
{
    SandboxProcess sandbox;
    LoginSession session;
    loginAt(sandbox, session);
    if (QTest::currentTestFailed())
        return;
    const std::string sid = Text::wideToUtf8(session.sid);
    const LedgerWorker::Target target {sandbox.url("/api/face"), sandbox.caPath().toStdString()};

    // Each attempt is recorded as a window records it, on the clock the login told.
    LedgerStore ledger;
    QVERIFY(ledger.open(m_path.toStdString()));
    ledger.noteGatewayTime(Text::wideToUtf8(session.apiTime));
    QVERIFY(ledger.gatewayNow());
    const auto pay = [&](const QByteArray &fault, const std::string &code, long long total) {
        if (!fault.isEmpty() && !sandbox.injectFault(fault))
            return 0LL;
        const long long id = ledger.recordAttempt(
            LedgerStore::Source::Checkout, total, code, sid, InputCode::wallet(code));
        HttpClient client(target.caBundle);
        const auto request = PayTransaction::payRequest(std::to_string(total / 100) + "."
                + QString::number(total % 100).rightJustified(2, '0').toStdString(),
            code, Text::wideToUtf8(session.appid), sid, Text::wideToUtf8(session.key));
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
    // The answer lost after the order was paid: the order list shows one that may be it.
    const long long lost = pay(R"({"kind":"drop_reply"})", "134567890123456780", 1234);
    // Paid at the first query after the polling gave up: its own number proves it.
    const long long late = pay(R"({"kind":"paid_late","queries":0})", "134567890123456780", 2345);
    // Two answers lost for the same amount within the window: no candidate.
    const long long twinA = pay(R"({"kind":"drop_reply"})", "134567890123456781", 3456);
    const long long twinB = pay(R"({"kind":"drop_reply"})", "134567890123456782", 3456);
    // Still pending at every follow-up.
    const long long waiting = pay({}, "114567890123456788", 4567);
    QVERIFY(lost && late && twinA && twinB && waiting);
    QVERIFY(ledger.row(lost).outTradeNo.empty());

    int decided = 0;
    LedgerWorker worker(ledger, this, [&decided] { ++decided; });
    worker.start(target);
    QTRY_VERIFY_WITH_TIMEOUT(decided > 0, 20000);
    worker.stop();
    QCOMPARE(worker.passes(), 1);

    QList<long long> noticed;
    for (const LedgerRow &row : ledger.noticeRows(sid))
        noticed << row.id;
    QCOMPARE(noticed, (QList<long long> {lost, late}));
    // A guess: shown for the cashier to confirm, never booked as paid.
    QCOMPARE(ledger.row(lost).state, std::string("matched"));
    QCOMPARE(ledger.row(lost).outTradeNo.size(), std::size_t(21));
    QCOMPARE(ledger.row(late).state, std::string("paid"));
    QVERIFY(!ledger.row(late).payTime.empty());
    for (const long long id : {twinA, twinB, waiting}) {
        QCOMPARE(ledger.row(id).state, std::string("unresolved"));
        QCOMPARE(ledger.row(id).checks, 1);
    }
    QVERIFY(ledger.row(twinA).outTradeNo.empty());
    // A query that finds it still pending leaves its reason as it was.
    QCOMPARE(ledger.row(waiting).message, std::string("轮询结束"));
    // Confirmed, its receipt is that of the order the list gave.
    QVERIFY(ledger.confirmCandidate(lost, ledger.row(lost).outTradeNo));
    const QString receipt
        = QString::fromStdWString(LedgerFollowUp::receiptOrder(ledger.row(lost)).receiptMessage());
    QVERIFY2(receipt.contains(QStringLiteral("#wx#12.34#")), qPrintable(receipt));
    QVERIFY(receipt.contains(QString::fromStdString(ledger.row(lost).outTradeNo)));
    GatewaySession::set({});
}

void TestLedger::stoppedWorkerReportsNothingMore()
{
    SandboxProcess sandbox;
    LoginSession session;
    loginAt(sandbox, session);
    if (QTest::currentTestFailed())
        return;
    const LedgerWorker::Target target {sandbox.url("/api/face"), sandbox.caPath().toStdString()};
    LedgerStore ledger;
    QVERIFY(ledger.open(m_path.toStdString()));
    // Waits for the worker without running this thread's events, where its report would land.
    const auto waitFor = [](const std::function<bool()> &done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 20000)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return done();
    };

    // Idle at its default interval: stop() wakes it rather than waiting out the minute.
    int reports = 0;
    LedgerWorker worker(ledger, this, [&reports] { ++reports; });
    worker.start(target);
    QVERIFY(waitFor([&worker] { return worker.passes() >= 1; }));
    QElapsedTimer stopping;
    stopping.start();
    worker.stop();
    QVERIFY2(stopping.elapsed() < 5000, "stop() waited for the interval");

    // A pass that found an order paid hands its report over; stopped before the report runs,
    // the report is dropped.
    const long long id = ledger.recordAttempt(LedgerStore::Source::Checkout, 100, "1", {}, {});
    QVERIFY(ledger.update(id, State::Unresolved, "202612070000000000001", "lost"));
    const QByteArray paidAnswer = QJsonDocument(
        QJsonObject {{"kind", "body"},
            {"body",
                R"({"code":"100","msg":"ok","data":{"payType":"wx","total":"100","status":"1"}})"}})
                                      .toJson(QJsonDocument::Compact);
    QVERIFY(sandbox.injectFault(paidAnswer));
    worker.start(target);
    QVERIFY(waitFor([&worker] { return worker.passes() >= 1; }));
    worker.stop();
    QCOMPARE(ledger.row(id).state, std::string("paid"));
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(reports, 0);

    // Stopped in the middle of a request: cut short, nothing reported.
    const long long other = ledger.recordAttempt(LedgerStore::Source::Checkout, 200, "1", {}, {});
    QVERIFY(ledger.update(other, State::Unresolved, "202612070000000000002", "lost"));
    QVERIFY(sandbox.injectFault(R"({"kind":"delay","ms":20000})"));
    const int before = sandbox.journal().size();
    worker.start(target);
    QTRY_VERIFY_WITH_TIMEOUT(sandbox.journal().size() > before, 20000);
    stopping.restart();
    worker.stop();
    QVERIFY2(stopping.elapsed() < 5000, "stop() waited for the answer");
    QCoreApplication::processEvents();
    QCOMPARE(reports, 0);
    QCOMPARE(ledger.row(other).state, std::string("unresolved"));
    QVERIFY(sandbox.injectFault(R"({"kind":"clear"})"));
    GatewaySession::set({});
}

QTEST_GUILESS_MAIN(TestLedger)
#include "TestLedger.moc"
