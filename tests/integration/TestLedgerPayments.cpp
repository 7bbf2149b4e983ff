// The payment ledger with the checkout against the sandbox gateway over real HTTPS: every
// attempt's row after the payment, and after the follow-up worker has looked at it (a poll
// given up found paid by a status query; a lost answer, or a till killed mid-request, offered
// an order of the list as a candidate for the cashier; two look-alike attempts left for a
// person); another till's order is never booked as ours, nor a retry's order twice; the
// notices of what was found are read from the ledger until the cashier answers them.
#include "CheckStandWin.h"
#include "CurrentOrder.h"
#include "GatewayClientFixture.h"
#include "HttpClient.h"
#include "LedgerStore.h"
#include "LedgerWorker.h"
#include "LoginSession.h"
#include "MetaTypes.h"
#include "NoteWin.h"
#include "PayTransaction.h"
#include "RecoveredNotice.h"
#include "Resources.h"
#include "RetryQuestion.h"
#include "SingleWin.h"
#include "Text.h"
#include "collectionWin.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

#include <signal.h>

namespace {

const QString kPaidAtOnce = QStringLiteral("134567890123456780");
const QString kRefused = QStringLiteral("134567890123456789");
const QString kFollowedUp = QStringLiteral("支付结果未知，系统将自动核实");
const char kChildVariable[] = "LEDGER_TEST_CHILD";

constexpr int kOutcomeMs = 20000;
const OrderPoller::Cadence kFastCadence {15, 5, 10, 20};

QString cardReason(const CheckStandWin *win)
{
    const auto *label = win->resultCard()->findChild<QLabel *>(QStringLiteral("label_sq"));
    return label ? label->text() : QString();
}

void enter(CheckStandWin *win, const QString &money, const QString &payCode)
{
    win->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"))->setText(money);
    win->findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"))->setText(payCode);
}

// The till of the "killed" row, in a process of its own: it pays from the checkout with the
// ledger of TALLYPORT_HOME and is killed by the test while its request is out.
int runChildTill(int argc, char **argv)
{
    QApplication app(argc, argv);
    Resources::initialise();
    MetaTypes::registerAll();
    LedgerStore::shared().openDefault();
    GatewaySession::set({qEnvironmentVariable("LEDGER_TEST_APPID").toStdWString(),
        qEnvironmentVariable("LEDGER_TEST_KEY").toStdWString(),
        qEnvironmentVariable("LEDGER_TEST_SID").toStdWString()});
    LedgerStore::shared().noteGatewayTime(
        qEnvironmentVariable("LEDGER_TEST_API_TIME").toStdString());
    QWidget main;
    auto *win = new CheckStandWin(&main);
    main.show();
    enter(win, qEnvironmentVariable("LEDGER_TEST_MONEY"), kPaidAtOnce);
    win->OnInputYes();
    // The request is out; the test kills this till before its answer comes.
    return app.exec();
}

} // namespace

class TestLedgerPayments : public QObject, GatewayClientFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void attemptsAndFollowUp_data();
    void attemptsAndFollowUp();
    void anotherTillsOrderIsOnlyACandidate_data();
    void anotherTillsOrderIsOnlyACandidate();
    void aRetryDuringASlowListIsNotBookedTwice();
    void singleWindowAttemptsAreRecorded();
    void noticesLastUntilAnswered();
    // Last: the shared ledger stays not recording.
    void paymentsGoOnWhenTheLedgerCannotRecord();

private:
    void payAtTheCheckout(int times, const QString &money, const QString &payCode);
    void payInAKilledTill(const QString &money);
};

void TestLedgerPayments::initTestCase()
{
    QVERIFY(startGateway());
}

void TestLedgerPayments::init()
{
    QVERIFY(newHome());
    QVERIFY(LedgerStore::shared().openDefault());
}

void TestLedgerPayments::cleanup()
{
    LedgerStore::shared().close();
    endTest();
}

void TestLedgerPayments::payAtTheCheckout(int times, const QString &money, const QString &payCode)
{
    QWidget main;
    auto *win = new CheckStandWin(&main);
    win->setPollCadence(kFastCadence);
    main.show();
    if (times < 0) {
        // The till leaves while the order is followed: the window goes with its poll.
        enter(win, money, payCode);
        win->OnInputYes();
        QTRY_VERIFY_WITH_TIMEOUT(win->polling(), kOutcomeMs);
        return;
    }
    for (int i = 0; i < times; ++i) {
        enter(win, money, payCode);
        win->OnInputYes();
        // The second of two look-alike attempts: the cashier takes it all the same.
        if (win->retryQuestion()->prompt()->isVisible())
            win->retryQuestion()->prompt()->OnBtnYes();
        QTRY_VERIFY_WITH_TIMEOUT(win->resultCard()->isVisible() && !win->polling(), kOutcomeMs);
        win->resultCard()->hide();
    }
    QFETCH(QString, cardLine);
    if (!cardLine.isEmpty())
        QVERIFY2(cardReason(win).endsWith(cardLine), qPrintable(cardReason(win)));
}

void TestLedgerPayments::payInAKilledTill(const QString &money)
{
    // The till dies with its pay request out; the gateway still answers it (after a delay).
    LedgerStore::shared().close();
    const int paysBefore = m_sandbox.payRequests().size();
    // Its own login, a moment before it pays.
    LoginSession login;
    QVERIFY(m_sandbox.loginDemo(login));
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":3000})"));
    ChildProcess till;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("LEDGER_TEST_MONEY"), money);
    environment.insert(QStringLiteral("LEDGER_TEST_APPID"), QString::fromStdWString(login.appid));
    environment.insert(QStringLiteral("LEDGER_TEST_KEY"), QString::fromStdWString(login.key));
    environment.insert(QStringLiteral("LEDGER_TEST_SID"), QString::fromStdWString(login.sid));
    environment.insert(
        QStringLiteral("LEDGER_TEST_API_TIME"), QString::fromStdWString(login.apiTime));
    till.setProcessEnvironment(environment);
    till.setProcessChannelMode(QProcess::ForwardedChannels);
    till.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(till.waitForStarted());
    const auto payArrived = [&] { return m_sandbox.payRequests().size() > paysBefore; };
    QTRY_VERIFY_WITH_TIMEOUT(payArrived(), kOutcomeMs);
    ::kill(pid_t(till.processId()), SIGKILL);
    QVERIFY(till.waitForFinished());
    // The next start finds the row the dead till left in "sending".
    QVERIFY(LedgerStore::shared().openDefault());
}

void TestLedgerPayments::attemptsAndFollowUp_data()
{
    // Each row its own amount: the order list holds the orders of the rows before.
    QTest::addColumn<QString>("money");
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<QString>("payCode");
    // 0: paid by a till that is killed meanwhile; -1: the till leaves while polling
    QTest::addColumn<int>("attempts");
    QTest::addColumn<QString>("stateAfterPayment");
    QTest::addColumn<bool>("numberAfterPayment");
    QTest::addColumn<QString>("message"); // the row's; empty: not looked at
    QTest::addColumn<QString>("cardLine"); // how the failure card ends; empty: not looked at
    QTest::addColumn<QString>("stateAfterFollowUp");
    QTest::addColumn<int>("noticed"); // rows whose notice shows after the follow-up

    QTest::newRow("paid at once") << QStringLiteral("7.01") << QByteArray() << kPaidAtOnce << 1
                                  << QStringLiteral("paid") << true << QString() << QString()
                                  << QStringLiteral("paid") << 0;
    QTest::newRow("refused") << QStringLiteral("7.02") << QByteArray() << kRefused << 1
                             << QStringLiteral("refused") << false << QString() << QString()
                             << QStringLiteral("refused") << 0;
    QTest::newRow("reply lost: a candidate from the order list")
        << QStringLiteral("7.03") << QByteArray(R"({"kind":"drop_reply"})") << kPaidAtOnce << 1
        << QStringLiteral("unresolved") << false << QString::fromUtf8(LedgerStore::kNoAnswer)
        << kFollowedUp << QStringLiteral("matched") << 1;
    QTest::newRow("polling gave up: found by a status query")
        << QStringLiteral("7.04") << QByteArray(R"({"kind":"paid_late","queries":15})")
        << kPaidAtOnce << 1 << QStringLiteral("unresolved") << true
        << QString::fromUtf8(LedgerStore::kPollingGaveUp) << kFollowedUp << QStringLiteral("paid")
        << 1;
    QTest::newRow("killed after the request left: a candidate at the next start")
        << QStringLiteral("7.05") << QByteArray() << kPaidAtOnce << 0
        << QStringLiteral("unresolved") << false << QString() << QString()
        << QStringLiteral("matched") << 1;
    QTest::newRow("two look-alike attempts: no guess")
        << QStringLiteral("7.06") << QByteArray(R"({"kind":"drop_reply","count":2})") << kPaidAtOnce
        << 2 << QStringLiteral("unresolved") << false << QString::fromUtf8(LedgerStore::kNoAnswer)
        << kFollowedUp << QStringLiteral("unresolved") << 0;
    QTest::newRow("code 100 without an order number: not paid, unknown")
        << QStringLiteral("7.13")
        << QByteArray(R"({"kind":"body","body":"{\"code\":\"100\",\"msg\":\"ok\"}"})")
        << kPaidAtOnce << 1 << QStringLiteral("unresolved") << false
        << QString::fromUtf8(LedgerStore::kNoOrderNumber) << kFollowedUp
        << QStringLiteral("unresolved") << 0;
    QTest::newRow("awaiting payment: followed by its number")
        << QStringLiteral("7.14")
        << QByteArray(
               R"({"kind":"body","body":"{\"code\":\"100\",\"msg\":\"ok\",)"
               R"(\"data\":{\"status\":\"4\",\"out_trade_no\":\"202612070000000000714\"}}"})")
        << kPaidAtOnce << 1 << QStringLiteral("unresolved") << true
        << QString::fromUtf8(LedgerStore::kAwaitingPayment) << kFollowedUp
        << QStringLiteral("unresolved") << 0;
    QTest::newRow("cut short by leaving while polling")
        << QStringLiteral("7.07") << QByteArray(R"({"kind":"paid_late","queries":1000})")
        << kPaidAtOnce << -1 << QStringLiteral("unresolved") << true
        << QString::fromUtf8(LedgerStore::kCutShort) << QString() << QStringLiteral("unresolved")
        << 0;
}

void TestLedgerPayments::attemptsAndFollowUp()
{
    QFETCH(QString, money);
    QFETCH(QByteArray, fault);
    QFETCH(QString, payCode);
    QFETCH(int, attempts);
    QFETCH(QString, stateAfterPayment);
    QFETCH(bool, numberAfterPayment);
    QFETCH(QString, message);
    QFETCH(QString, stateAfterFollowUp);
    QFETCH(int, noticed);

    if (!fault.isEmpty())
        QVERIFY(m_sandbox.injectFault(fault));
    if (attempts == 0)
        payInAKilledTill(money);
    else
        payAtTheCheckout(attempts, money, payCode);
    if (QTest::currentTestFailed())
        return;

    LedgerStore &ledger = LedgerStore::shared();
    const int rows = qMax(attempts, 1);
    for (int id = 1; id <= rows; ++id) {
        const LedgerRow row = ledger.row(id);
        QCOMPARE(QString::fromStdString(row.state), stateAfterPayment);
        QCOMPARE(!row.outTradeNo.empty(), numberAfterPayment);
        if (!message.isEmpty())
            QCOMPARE(QString::fromStdString(row.message), message);
        QCOMPARE(QString::fromStdString(row.codeMasked).right(4), payCode.right(4));
        QCOMPARE(row.amountMinor, qRound64(money.toDouble() * 100));
    }
    QVERIFY(ledger.row(rows + 1).id == 0);

    QObject owner;
    int decided = 0;
    LedgerWorker worker(ledger, &owner, [&decided] { ++decided; });
    worker.start(LedgerWorker::configuredTarget(), 200);
    QTRY_VERIFY_WITH_TIMEOUT(worker.passes() >= 2, kOutcomeMs);
    for (int id = 1; id <= rows; ++id) {
        QTRY_COMPARE_WITH_TIMEOUT(
            QString::fromStdString(ledger.row(id).state), stateAfterFollowUp, kOutcomeMs);
    }
    // The pass that decided hands its news to this thread after it counts itself: two more
    // passes and the hand-off is queued; a stop before it is delivered would drop it.
    const int decidedBy = worker.passes() + 2;
    QTRY_VERIFY_WITH_TIMEOUT(worker.passes() >= decidedBy, kOutcomeMs);
    QCoreApplication::processEvents();
    worker.stop();
    QCOMPARE(decided > 0, noticed > 0);
    const std::vector<LedgerRow> notices = ledger.noticeRows(m_sid.toStdString());
    QCOMPARE(int(notices.size()), noticed);
    for (const LedgerRow &row : notices) {
        QCOMPARE(row.outTradeNo.size(), std::size_t(21));
        QCOMPARE(row.wallet, std::string("wx"));
        QCOMPARE(row.sid, m_sid.toStdString());
    }
}

void TestLedgerPayments::anotherTillsOrderIsOnlyACandidate_data()
{
    QTest::addColumn<QString>("money");
    QTest::addColumn<QString>("otherTillsCode");
    QTest::addColumn<QString>("candidateState"); // after the follow-up

    QTest::newRow("same wallet: a candidate, which the cashier turns down") << QStringLiteral(
        "7.11") << QStringLiteral("134567890123456781") << QStringLiteral("matched");
    QTest::newRow("another wallet: not even a candidate") << QStringLiteral(
        "7.12") << QStringLiteral("2812345678901231") << QStringLiteral("unresolved");
}

void TestLedgerPayments::anotherTillsOrderIsOnlyACandidate()
{
    QFETCH(QString, money);
    QFETCH(QString, otherTillsCode);
    QFETCH(QString, candidateState);

    // This till's request never reaches the gateway...
    QVERIFY(m_sandbox.injectFault(R"({"kind":"drop"})"));
    QWidget main;
    auto *win = new CheckStandWin(&main);
    main.show();
    enter(win, money, kPaidAtOnce);
    win->OnInputYes();
    QTRY_VERIFY_WITH_TIMEOUT(win->resultCard()->isVisible(), kOutcomeMs);
    LedgerStore &ledger = LedgerStore::shared();
    QCOMPARE(ledger.row(1).state, std::string("unresolved"));

    // ...and within the minute another cashier of the store takes the same amount at their own
    // till, logged in on their own.
    LoginSession other;
    QVERIFY(m_sandbox.loginDemo(other));
    const std::optional<PayTransaction::Request> request = PayTransaction::payRequest(
        money.toStdString(), otherTillsCode.toStdString(), Text::wideToUtf8(other.appid),
        Text::wideToUtf8(other.sid), Text::wideToUtf8(other.key));
    HttpClient client(m_sandbox.caPath().toStdString());
    std::string reply;
    QCOMPARE(client.Post(m_sandbox.url("/api/face"), request->body, reply, "json"), 200);
    CurrentOrder paid;
    QCOMPARE(PayTransaction::decidePayReply(reply, paid).outcome, PayTransaction::PayOutcome::Paid);

    QObject owner;
    LedgerWorker worker(ledger, &owner, [] {});
    worker.start(LedgerWorker::configuredTarget(), 200);
    QTRY_VERIFY_WITH_TIMEOUT(worker.passes() >= 2, kOutcomeMs);
    worker.stop();
    LedgerRow row = ledger.row(1);
    QCOMPARE(QString::fromStdString(row.state), candidateState);
    const LedgerStore::PaidTotals today
        = ledger.paidTotals(QDate::currentDate(), QDate::currentDate());
    QCOMPARE(today.count, 0LL);
    if (candidateState == "unresolved") {
        QVERIFY(row.outTradeNo.empty());
        return;
    }
    QCOMPARE(row.outTradeNo, Text::wideToUtf8(paid.orderNumber));
    QCOMPARE(today.matched, 1LL);

    // The notice asks; 不是 lets it go, and it is never offered for this row again.
    RecoveredNotice notice(ledger);
    notice.reload(m_sid.toStdString());
    QVERIFY(notice.isVisible());
    const auto *reason = notice.findChild<QLabel *>(QStringLiteral("label_reason"));
    QVERIFY2(reason->text().startsWith(QStringLiteral("可能已支付：订单 ")
                 + QString::fromStdWString(paid.orderNumber) + QStringLiteral("，请核对")),
        qPrintable(reason->text()));
    QVERIFY(notice.findChild<QPushButton *>(QStringLiteral("pushButton_print"))->isHidden());
    notice.findChild<QPushButton *>(QStringLiteral("pushButton_reject"))->click();
    QVERIFY(notice.isHidden());
    worker.start(LedgerWorker::configuredTarget(), 200);
    QTRY_VERIFY_WITH_TIMEOUT(worker.passes() >= 2, kOutcomeMs);
    worker.stop();
    row = ledger.row(1);
    QCOMPARE(row.state, std::string("unresolved"));
    QVERIFY(row.outTradeNo.empty());
    QVERIFY(row.checks >= 3);
}

void TestLedgerPayments::aRetryDuringASlowListIsNotBookedTwice()
{
    // 9.98, and the request never reaches the gateway.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"drop"})"));
    QWidget main;
    auto *win = new CheckStandWin(&main);
    main.show();
    enter(win, QStringLiteral("9.98"), kPaidAtOnce);
    win->OnInputYes();
    QTRY_VERIFY_WITH_TIMEOUT(win->resultCard()->isVisible(), kOutcomeMs);
    LedgerStore &ledger = LedgerStore::shared();
    QCOMPARE(ledger.row(1).state, std::string("unresolved"));

    // The follow-up asks for the order list, which is slow to come...
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":5000})"));
    const int before = m_sandbox.journal().size();
    QObject owner;
    LedgerWorker worker(ledger, &owner, [] {});
    worker.start(LedgerWorker::configuredTarget(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(m_sandbox.journal().size() > before, kOutcomeMs);

    // ...and meanwhile the cashier takes the payment again, which the till asks about first.
    enter(win, QStringLiteral("9.98"), QStringLiteral("134567890123456781"));
    const int pays = m_sandbox.journal().size();
    win->OnInputYes();
    NoteWin *question = win->retryQuestion()->prompt();
    QVERIFY(question->isVisible());
    QVERIFY2(question->findChild<QLabel *>(QStringLiteral("label_msg"))
                 ->text()
                 .startsWith(QStringLiteral("上一笔 9.98 元 (")),
        qPrintable(question->findChild<QLabel *>(QStringLiteral("label_msg"))->text()));
    // 取消: nothing is sent, the sale stays in the fields.
    question->OnBtnNo();
    QCOMPARE(m_sandbox.journal().size(), pays);
    QCOMPARE(win->findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"))->text(),
        QStringLiteral("134567890123456781"));
    win->OnInputYes();
    QVERIFY(question->isVisible());
    question->OnBtnYes();
    QTRY_COMPARE_WITH_TIMEOUT(ledger.row(2).state, std::string("paid"), kOutcomeMs);

    // The list comes with the retry's order in it: that order is the retry's alone.
    QTRY_VERIFY_WITH_TIMEOUT(worker.passes() >= 1, kOutcomeMs);
    worker.stop();
    QCOMPARE(ledger.row(1).state, std::string("unresolved"));
    QVERIFY(ledger.row(1).outTradeNo.empty());
    QCOMPARE(ledger.row(1).checks, 1);
    const LedgerStore::PaidTotals today
        = ledger.paidTotals(QDate::currentDate(), QDate::currentDate());
    QCOMPARE(today.count, 1LL);
}

void TestLedgerPayments::singleWindowAttemptsAreRecorded()
{
    SingleWin form;
    form.setClerkTel("13800000000");
    const auto pay = [&form](const QString &payCode) {
        form.findChild<QLineEdit *>(QStringLiteral("lineEdit_money"))->setText("7.09");
        form.findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"))->setText(payCode);
        form.OnInputYes();
        QVERIFY(form.paying());
        QTRY_VERIFY_WITH_TIMEOUT(!form.paying(), kOutcomeMs);
    };
    pay(kPaidAtOnce);
    QVERIFY(m_sandbox.injectFault(R"({"kind":"drop"})"));
    pay(kPaidAtOnce);

    LedgerStore &ledger = LedgerStore::shared();
    const LedgerRow paid = ledger.row(1);
    QCOMPARE(paid.source, std::string("single-window"));
    QCOMPARE(paid.state, std::string("paid"));
    QVERIFY(!paid.outTradeNo.empty());
    QCOMPARE(paid.amountMinor, 709LL);
    const LedgerRow lost = ledger.row(2);
    QCOMPARE(lost.state, std::string("unresolved"));
    QCOMPARE(lost.message, std::string(LedgerStore::kNoAnswer));
}

void TestLedgerPayments::noticesLastUntilAnswered()
{
    // A follow-up found one paid, one closed and one candidate, and the till went away before
    // anybody read them: the next login shows them, in the order they were found.
    LedgerStore &ledger = LedgerStore::shared();
    const std::string sid = m_sid.toStdString();
    const auto unresolved = [&](const std::string &number) {
        const long long id = ledger.recordAttempt(
            LedgerStore::Source::Checkout, 712, "134567890123456780", sid, "wx");
        ledger.update(id, LedgerStore::State::Unresolved, number, "lost");
        return id;
    };
    const long long paid = unresolved("202612070000000000011");
    QVERIFY(ledger.noteFollowUp(paid, LedgerStore::State::Paid, {}, "ok", "2026-12-07 10:00:00"));
    const long long closed = unresolved("202612070000000000012");
    QVERIFY(ledger.noteFollowUp(closed, LedgerStore::State::Closed, {}, "closed"));
    const long long guessed = unresolved({});
    QVERIFY(ledger.noteCandidate(guessed, [](const LedgerStore::Snapshot &) {
        return std::optional<LedgerStore::Candidate>({"202612070000000000013", {}});
    }));

    auto notice = std::make_unique<RecoveredNotice>(ledger);
    QSignalSpy printed(notice.get(), &RecoveredNotice::printReceipt);
    notice->reload(sid);
    const auto button = [&notice](const char *name) {
        return notice->findChild<QPushButton *>(QString::fromLatin1(name));
    };
    const auto shown = [&notice] { return notice->waiting().front().id; };
    QVERIFY(notice->isVisible());
    QCOMPARE(shown(), paid);
    button("pushButton_print")->click();
    QVERIFY(QString::fromStdWString(printed.takeLast().at(0).value<std::wstring>())
                .contains(QStringLiteral("202612070000000000011")));
    button("pushButton_ok")->click();
    QCOMPARE(shown(), closed);
    QVERIFY(button("pushButton_print")->isHidden());

    // A restart before 知道了: the closed one and the candidate are still there.
    notice = std::make_unique<RecoveredNotice>(ledger);
    notice->reload(sid);
    QCOMPARE(int(notice->waiting().size()), 2);
    button("pushButton_ok")->click();
    QCOMPARE(shown(), guessed);
    QVERIFY(button("pushButton_ok")->isHidden());
    // 是这笔: now a payment, offered with its receipt.
    button("pushButton_confirm")->click();
    QCOMPARE(ledger.row(guessed).state, std::string("paid"));
    QCOMPARE(shown(), guessed);
    QVERIFY(button("pushButton_print")->isVisible());
    button("pushButton_ok")->click();
    QVERIFY(notice->isHidden());
    QVERIFY(ledger.noticeRows(sid).empty());
}

void TestLedgerPayments::paymentsGoOnWhenTheLedgerCannotRecord()
{
    LedgerStore &ledger = LedgerStore::shared();
    ledger.close();
    QVERIFY(!ledger.open(m_home->filePath(QStringLiteral("missing/ledger.db")).toStdString()));
    QWidget main;
    auto *win = new CheckStandWin(&main);
    main.show();
    enter(win, QStringLiteral("7.08"), kPaidAtOnce);
    win->OnInputYes();
    QTRY_VERIFY_WITH_TIMEOUT(win->resultCard()->isVisible(), kOutcomeMs);
    QVERIFY(win->resultCard()->successShown());
    // The line the cashier sees while it lasts.
    QVERIFY(ledger.notRecording());
    QVERIFY(!ledger.recordingNotice().empty());
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runChildTill(argc, argv);
    QApplication app(argc, argv);
    TestLedgerPayments test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestLedgerPayments.moc"
