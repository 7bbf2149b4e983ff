// The payment ledger with the checkout against the sandbox gateway over real HTTPS: every
// attempt's row after the payment, and after the follow-up worker has looked at it (a lost
// answer found through the order list, a poll given up found by a status query, a till killed
// mid-request found at its next start, two look-alike attempts left for a person).
#include "CheckStandWin.h"
#include "GatewayClientFixture.h"
#include "LedgerStore.h"
#include "LedgerWorker.h"
#include "MetaTypes.h"
#include "RecoveredNotice.h"
#include "Resources.h"
#include "SingleWin.h"
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
    QWidget main;
    auto *win = new CheckStandWin(&main);
    main.show();
    enter(win, qEnvironmentVariable("LEDGER_TEST_MONEY"), kPaidAtOnce);
    win->OnInputYes();
    return 0;
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
    void singleWindowAttemptsAreRecorded();
    void recoveredPaymentsWaitTheirTurn();
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
    const int paysBefore = m_sandbox.journal().size();
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":3000})"));
    ChildProcess till;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("LEDGER_TEST_MONEY"), money);
    environment.insert(QStringLiteral("LEDGER_TEST_APPID"), m_appid);
    environment.insert(QStringLiteral("LEDGER_TEST_KEY"), m_key);
    environment.insert(QStringLiteral("LEDGER_TEST_SID"), m_sid);
    till.setProcessEnvironment(environment);
    till.setProcessChannelMode(QProcess::ForwardedChannels);
    till.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(till.waitForStarted());
    const auto payArrived = [&] {
        const QList<QJsonObject> journal = m_sandbox.journal();
        for (int i = paysBefore; i < journal.size(); ++i) {
            if (journal[i]
                    .value(QStringLiteral("body"))
                    .toString()
                    .contains(QLatin1String("\"method\":\"auto_pay\"")))
                return true;
        }
        return false;
    };
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
    QTest::addColumn<int>("recovered");

    QTest::newRow("paid at once") << QStringLiteral("7.01") << QByteArray() << kPaidAtOnce << 1
                                  << QStringLiteral("paid") << true << QString() << QString()
                                  << QStringLiteral("paid") << 0;
    QTest::newRow("refused") << QStringLiteral("7.02") << QByteArray() << kRefused << 1
                             << QStringLiteral("refused") << false << QString() << QString()
                             << QStringLiteral("refused") << 0;
    QTest::newRow("reply lost: found through the order list")
        << QStringLiteral("7.03") << QByteArray(R"({"kind":"drop_reply"})") << kPaidAtOnce << 1
        << QStringLiteral("unresolved") << false << QString::fromUtf8(LedgerStore::kNoAnswer)
        << kFollowedUp << QStringLiteral("paid") << 1;
    QTest::newRow("polling gave up: found by a status query")
        << QStringLiteral("7.04") << QByteArray(R"({"kind":"paid_late","queries":15})")
        << kPaidAtOnce << 1 << QStringLiteral("unresolved") << true
        << QString::fromUtf8(LedgerStore::kPollingGaveUp) << kFollowedUp << QStringLiteral("paid")
        << 1;
    QTest::newRow("killed after the request left: found at the next start")
        << QStringLiteral("7.05") << QByteArray() << kPaidAtOnce << 0
        << QStringLiteral("unresolved") << false << QString() << QString() << QStringLiteral("paid")
        << 1;
    QTest::newRow("two look-alike attempts: no guess")
        << QStringLiteral("7.06") << QByteArray(R"({"kind":"drop_reply","count":2})") << kPaidAtOnce
        << 2 << QStringLiteral("unresolved") << false << QString::fromUtf8(LedgerStore::kNoAnswer)
        << kFollowedUp << QStringLiteral("unresolved") << 0;
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
    QFETCH(int, recovered);

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
    std::vector<LedgerWorker::Recovered> found;
    LedgerWorker worker(ledger, &owner, [&found](const std::vector<LedgerWorker::Recovered> &paid) {
        found.insert(found.end(), paid.begin(), paid.end());
    });
    worker.start(LedgerWorker::configuredTarget(), 200);
    QTRY_VERIFY_WITH_TIMEOUT(worker.passes() >= 2, kOutcomeMs);
    for (int id = 1; id <= rows; ++id) {
        QTRY_COMPARE_WITH_TIMEOUT(
            QString::fromStdString(ledger.row(id).state), stateAfterFollowUp, kOutcomeMs);
    }
    QTRY_COMPARE_WITH_TIMEOUT(int(found.size()), recovered, kOutcomeMs);
    worker.stop();
    QCOMPARE(int(found.size()), recovered);
    for (const LedgerWorker::Recovered &paid : found) {
        const LedgerRow row = ledger.row(paid.row.id);
        QVERIFY(!row.outTradeNo.empty());
        QCOMPARE(paid.row.outTradeNo, row.outTradeNo);
        QVERIFY(row.recovered());
        // The receipt of a recovered payment names its order, as a payment's does.
        QVERIFY(QString::fromStdWString(paid.order.receiptMessage())
                    .contains(QString::fromStdString(row.outTradeNo)));
    }
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

void TestLedgerPayments::recoveredPaymentsWaitTheirTurn()
{
    // Two found in one pass, a third in the next while the first is still shown.
    const auto recovered = [](long long id, const char *number) {
        LedgerWorker::Recovered paid;
        paid.row.id = id;
        paid.row.outTradeNo = number;
        paid.order.orderNumber = QString::fromLatin1(number).toStdWString();
        return paid;
    };
    RecoveredNotice notice;
    QSignalSpy printed(&notice, &RecoveredNotice::printReceipt);
    notice.add({recovered(1, "N1"), recovered(2, "N2")});
    notice.add({recovered(3, "N3")});
    auto *print = notice.findChild<QPushButton *>(QStringLiteral("pushButton_print"));
    auto *dismiss = notice.findChild<QPushButton *>(QStringLiteral("pushButton_ok"));
    for (const char *number : {"N1", "N2", "N3"}) {
        QVERIFY(notice.isVisible());
        QCOMPARE(notice.waiting().front().row.outTradeNo, std::string(number));
        print->click();
        QVERIFY(QString::fromStdWString(printed.takeLast().at(0).value<std::wstring>())
                    .contains(QLatin1String(number)));
        dismiss->click();
    }
    QVERIFY(notice.isHidden());
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
    // One notice says so, whoever asks first.
    QVERIFY(ledger.takeNotice());
    QVERIFY(!ledger.takeNotice());
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
