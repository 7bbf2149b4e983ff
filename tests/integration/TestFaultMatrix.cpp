// Every gateway call of the till, each made from the window that makes it, against every fault
// the network can throw at it: no answer within the total time-out, HTTP 500, an answer that is
// not JSON or of the wrong shape, six redirects, the connection cut halfway through the answer,
// a certificate for another host, an answer over 64 MiB, and a gateway that is down. The till
// reaches the sandbox through a relay (socat), which can be closed or pointed at a second sandbox
// whose certificate names another host; the other faults are the sandbox's own.
// Each cell: the window's failure outcome, a run-log line for a failed transfer, the
// configuration file unchanged, the ledger row of a payment in the state its outcome is known
// in, and the window taking the next action once the network is sound again.
#include "CheckStandWin.h"
#include "DailyQueryWin.h"
#include "GatewayClientFixture.h"
#include "HandOffWait.h"
#include "HttpClient.h"
#include "LedgerStore.h"
#include "MessageBoxWin.h"
#include "NoteWin.h"
#include "OrderQueryWin.h"
#include "PayTransaction.h"
#include "QueryRequests.h"
#include "ReFundWin.h"
#include "RetryQuestion.h"
#include "SingleWin.h"
#include "Tallyport.h"
#include "TcpRelay.h"
#include "UpgradeCheck.h"
#include "collectionWin.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {

enum class Call {
    Login,
    Pay,
    StatusPoll,
    OrderList,
    ListRefund,
    RefundWindow,
    Refresh,
    DayTotals,
    SingleWindowPay,
    UpgradeCheck
};

enum class Fault {
    PastTimeout,
    Http500,
    NotJson,
    WrongShape,
    SixRedirects,
    CutHalfway,
    WrongHost,
    Oversized,
    PortClosed
};

// The total time-out of every request in this suite: "no answer" waits longer than it.
constexpr int kTotalTimeoutMs = 2500;
// Bounds every wait: a window that hangs fails its cell instead of the whole suite.
constexpr int kSettleMs = 30000;

const QString kPaidAtOnce = QStringLiteral("134567890123456780");
// Pending for the first three status queries, paid at the fourth.
const QString kPendingThenPaid = QStringLiteral("134567890123456786");
const OrderPoller::Cadence kFastCadence {15, 5, 10, 20};

// The sandbox's fault that answers HTTP 200 with prefix + body x repeat + suffix.
QByteArray bodyFault(const QString &body, int repeat = 1, const QString &prefix = QString(),
    const QString &suffix = QString())
{
    const QJsonObject fault {{"kind", "body"}, {"prefix", prefix}, {"body", body},
        {"repeat", repeat}, {"suffix", suffix}};
    return QJsonDocument(fault).toJson(QJsonDocument::Compact);
}

// The sandbox's fault request for `fault`; empty for the faults of the relay.
QByteArray sandboxFault(Fault fault)
{
    switch (fault) {
    case Fault::PastTimeout:
        return QByteArray(R"({"kind":"delay","ms":)") + QByteArray::number(kTotalTimeoutMs + 2000)
            + '}';
    case Fault::Http500:
        return R"({"kind":"status","status":500})";
    case Fault::NotJson:
        return R"({"kind":"invalid_json"})";
    case Fault::WrongShape:
        return bodyFault(QStringLiteral("{\"code\":[\"100\"],\"msg\":{},\"status\":{\"a\":1},"
                                        "\"success\":[true],\"data\":[[1]]}"));
    case Fault::SixRedirects:
        return R"({"kind":"redirect","hops":6})";
    case Fault::CutHalfway:
        return R"({"kind":"cut_reply"})";
    case Fault::Oversized:
        // 64 MiB of message and the JSON around it.
        return bodyFault(QStringLiteral("xxxx"), 16777216,
            QStringLiteral("{\"code\":\"100\",\"msg\":\""), QStringLiteral("\"}"));
    case Fault::WrongHost:
    case Fault::PortClosed:
        break;
    }
    return {};
}

// Faults under which the transfer itself fails (the HTTP client logs why); under the others an
// answer arrives that the window cannot use.
bool transferFails(Fault fault)
{
    return fault != Fault::NotJson && fault != Fault::WrongShape;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString labelText(const QWidget *window, const char *name)
{
    const auto *label = window->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

} // namespace

Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(Fault)

class TestFaultMatrix : public QObject, GatewayClientFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cell_data();
    void cell();

private:
    // Builds the window of `call` and what the call works on (orders paid, a list shown).
    void prepare(Call call);
    void act(Call call);
    bool settled(Call call) const;
    void checkFailed(Call call, Fault fault);
    void checkNextWorks(Call call);
    void breakNetwork(Fault fault);
    void mendNetwork();

    // Pays `amount` through the sandbox's own port; the order number, empty on failure.
    QString paidOrder(const QString &amount = QStringLiteral("1.5"));
    bool refundDirectly(const QString &orderNumber);
    void selectOrder(const QString &orderNumber);
    QString selectedOrderStatus() const;
    QStringList dayFigures() const;
    void enterSale(QWidget *window, const QString &amount, const QString &payCode);
    int journalCount(const char *path) const;
    int failureLines() const;
    LedgerRow lastLedgerRow() const;

    TcpRelay m_relay;
    // Serves a certificate of the same CA for another host name.
    SandboxProcess m_otherHost {
        {QStringLiteral("--cert-host"), QStringLiteral("elsewhere.invalid")}};

    std::unique_ptr<Tallyport> m_tallyport;
    std::unique_ptr<QWidget> m_main; // the parent of the checkout and the refund window
    CheckStandWin *m_checkout = nullptr;
    ReFundWin *m_refund = nullptr;
    std::unique_ptr<OrderQueryWin> m_orders;
    std::unique_ptr<DailyQueryWin> m_daily;
    std::unique_ptr<SingleWin> m_single;
    QStringList m_paid; // orders paid for the call
    int m_listed = 0; // orders in the list before the call
    QString m_refreshed; // what the refreshed row showed before the call
    QStringList m_figures; // the day's figures before the call
    int m_upgradeChecks = 0;
};

void TestFaultMatrix::initTestCase()
{
    // Time-outs are waited out in seconds, not half a minute: read by every client made later.
    qputenv(HttpClient::kTotalTimeoutVariable, QByteArray::number(kTotalTimeoutMs));
    qputenv("TALLYPORT_PLAYER", "true");
    QVERIFY(startGateway());
    // The second sandbox shares the first one's CA, so only the host name is wrong.
    const QString caDir = QFileInfo(m_sandbox.caPath()).absolutePath();
    const QString otherDir = m_otherHost.dataDir();
    for (const char *name : {"ca.pem", "ca-key.pem"})
        QVERIFY(QFile::copy(caDir + '/' + name, otherDir + '/' + name));
    QVERIFY(m_otherHost.start());
    QVERIFY(m_relay.forwardTo(m_sandbox.port()));
    m_sandbox.setClientPort(m_relay.port());
}

void TestFaultMatrix::init()
{
    QVERIFY(newHome(true,
        {QStringLiteral("[USERNAME]"), QStringLiteral("username=13800000000"),
            QStringLiteral("[PASSWORD]"), QStringLiteral("password=123456")}));
    m_paid.clear();
}

void TestFaultMatrix::cleanup()
{
    m_single.reset();
    m_daily.reset();
    m_orders.reset();
    m_main.reset();
    m_checkout = nullptr;
    m_refund = nullptr;
    m_tallyport.reset();
    LedgerStore::shared().close();
    QVERIFY(m_relay.forwardTo(m_sandbox.port()));
    endTest();
}

void TestFaultMatrix::cell_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<Fault>("fault");
    const std::pair<Call, const char *> calls[] = {{Call::Login, "login"}, {Call::Pay, "pay"},
        {Call::StatusPoll, "status poll"}, {Call::OrderList, "order list"},
        {Call::ListRefund, "refund from the list"}, {Call::RefundWindow, "refund window"},
        {Call::Refresh, "refresh"}, {Call::DayTotals, "day totals"},
        {Call::SingleWindowPay, "single-window pay"}, {Call::UpgradeCheck, "upgrade check"}};
    const std::pair<Fault, const char *> faults[] = {{Fault::PastTimeout, "no answer in time"},
        {Fault::Http500, "HTTP 500"}, {Fault::NotJson, "not JSON"},
        {Fault::WrongShape, "JSON of the wrong shape"}, {Fault::SixRedirects, "six redirects"},
        {Fault::CutHalfway, "cut halfway"}, {Fault::WrongHost, "certificate for another host"},
        {Fault::Oversized, "over 64 MiB"}, {Fault::PortClosed, "port closed"}};
    for (const auto &[call, callName] : calls) {
        for (const auto &[fault, faultName] : faults)
            QTest::addRow("%s / %s", callName, faultName) << call << fault;
    }
}

void TestFaultMatrix::cell()
{
    QFETCH(Call, call);
    QFETCH(Fault, fault);
    prepare(call);
    if (QTest::currentTestFailed())
        return;
    const QString configPath = m_home->filePath(QStringLiteral("TallyportConfig.ini"));
    const QByteArray config = fileBytes(configPath);
    const int failuresBefore = failureLines();

    // A status poll meets the fault after the pay request has been answered: the sandbox's
    // faults wait behind one that lets the pay request pass; the relay breaks once it has.
    const bool afterPay = call == Call::StatusPoll;
    if (afterPay && !sandboxFault(fault).isEmpty())
        QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":0})"));
    if (afterPay && sandboxFault(fault).isEmpty())
        QVERIFY(m_sandbox.injectFault(R"({"kind":"paid_late","queries":1000})"));
    if (!afterPay || !sandboxFault(fault).isEmpty())
        breakNetwork(fault);
    act(call);
    if (afterPay && sandboxFault(fault).isEmpty()) {
        // The pay request runs beside the window: the network breaks once it is answered.
        TRY_VERIFY_HANDED_OFF(m_checkout->polling() || !m_checkout->paying(), kSettleMs);
        breakNetwork(fault);
    }
    TRY_VERIFY_HANDED_OFF(settled(call), kSettleMs);

    checkFailed(call, fault);
    if (QTest::currentTestFailed())
        return;
    if (transferFails(fault))
        QVERIFY2(failureLines() > failuresBefore, "no run-log line for the failed transfer");
    QCOMPARE(fileBytes(configPath), config);

    mendNetwork();
    checkNextWorks(call);
}

void TestFaultMatrix::breakNetwork(Fault fault)
{
    switch (fault) {
    case Fault::WrongHost:
        QVERIFY(m_relay.forwardTo(m_otherHost.port()));
        break;
    case Fault::PortClosed:
        m_relay.close();
        break;
    default:
        QVERIFY(m_sandbox.injectFault(sandboxFault(fault)));
    }
}

void TestFaultMatrix::mendNetwork()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"clear"})"));
    QVERIFY(m_relay.forwardTo(m_sandbox.port()));
}

void TestFaultMatrix::prepare(Call call)
{
    switch (call) {
    case Call::Login:
    case Call::UpgradeCheck:
        m_tallyport = std::make_unique<Tallyport>();
        if (call == Call::Login)
            m_tallyport->show();
        m_upgradeChecks = journalCount(UpgradeCheck::kPath);
        break;
    case Call::Pay:
    case Call::StatusPoll:
        QVERIFY(LedgerStore::shared().openDefault());
        m_main = std::make_unique<QWidget>();
        m_checkout = new CheckStandWin(m_main.get());
        m_checkout->setPollCadence(kFastCadence);
        m_main->show();
        break;
    case Call::SingleWindowPay:
        QVERIFY(LedgerStore::shared().openDefault());
        m_single = std::make_unique<SingleWin>();
        m_single->setClerkTel("13800000000");
        m_single->show();
        break;
    case Call::RefundWindow:
        m_paid << paidOrder() << paidOrder();
        QVERIFY(!m_paid.contains(QString()));
        m_main = std::make_unique<QWidget>();
        m_refund = new ReFundWin(m_main.get());
        m_main->show();
        m_refund->findChild<QLineEdit *>(QStringLiteral("lineEdit_orderno"))->setText(m_paid.at(0));
        break;
    case Call::OrderList:
    case Call::ListRefund:
    case Call::Refresh: {
        m_paid << paidOrder() << paidOrder();
        QVERIFY(!m_paid.contains(QString()));
        m_orders = std::make_unique<OrderQueryWin>();
        m_orders->show();
        m_orders->QueryTimeout();
        TRY_VERIFY_HANDED_OFF(!m_orders->busy(), kSettleMs);
        m_listed = m_orders->pages().recordCount();
        if (call == Call::OrderList) {
            // One more: a query that works lists it.
            m_paid << paidOrder();
        } else {
            selectOrder(m_paid.at(0));
        }
        if (call == Call::Refresh) {
            // Refunded behind the list's back: a refresh that works shows it.
            QVERIFY(refundDirectly(m_paid.at(0)));
            m_refreshed = selectedOrderStatus();
        }
        break;
    }
    case Call::DayTotals:
        m_daily = std::make_unique<DailyQueryWin>();
        m_daily->show();
        m_daily->QueryTimeout();
        TRY_VERIFY_HANDED_OFF(!m_daily->busy(), kSettleMs);
        m_figures = dayFigures();
        // One more payment: a query that works counts it.
        QVERIFY(!paidOrder().isEmpty());
        break;
    }
}

void TestFaultMatrix::act(Call call)
{
    switch (call) {
    case Call::Login:
        m_tallyport->OnInputLogin();
        break;
    case Call::UpgradeCheck:
        m_tallyport->OnUpgrade();
        break;
    case Call::Pay:
        enterSale(m_checkout, QStringLiteral("12.5"), kPaidAtOnce);
        m_checkout->OnInputYes();
        break;
    case Call::StatusPoll:
        enterSale(m_checkout, QStringLiteral("3"), kPendingThenPaid);
        m_checkout->OnInputYes();
        break;
    case Call::SingleWindowPay:
        enterSale(m_single.get(), QStringLiteral("7.09"), kPaidAtOnce);
        m_single->OnInputYes();
        break;
    case Call::RefundWindow:
        m_refund->OnInputYes();
        break;
    case Call::OrderList:
        m_orders->OnQuery();
        break;
    case Call::ListRefund:
        m_orders->OnRefund();
        break;
    case Call::Refresh:
        m_orders->OnFlush();
        break;
    case Call::DayTotals:
        m_daily->OnQuery();
        break;
    }
}

bool TestFaultMatrix::settled(Call call) const
{
    switch (call) {
    case Call::Login:
        return !Tallyport::busy();
    case Call::UpgradeCheck:
        return true;
    case Call::Pay:
    case Call::StatusPoll:
        return m_checkout->resultCard()->isVisible() && !m_checkout->paying()
            && !m_checkout->polling();
    case Call::SingleWindowPay:
        return !m_single->paying() && m_single->notice()->isVisible();
    case Call::RefundWindow:
        return !m_refund->busy() && m_refund->resultCard()->isVisible();
    case Call::OrderList:
    case Call::Refresh:
        return !m_orders->busy();
    case Call::ListRefund:
        return !m_orders->busy() && m_orders->resultCard()->isVisible();
    case Call::DayTotals:
        return !m_daily->busy();
    }
    return false;
}

void TestFaultMatrix::checkFailed(Call call, Fault fault)
{
    switch (call) {
    case Call::Login:
        QVERIFY(m_tallyport->session().key.empty());
        QVERIFY(m_tallyport->floatingIcon() == nullptr);
        QVERIFY(m_tallyport->findChild<QLabel *>(QStringLiteral("label_note"))->isVisible());
        QCOMPARE(labelText(m_tallyport.get(), "label_note"), QStringLiteral("登录失败"));
        break;
    case Call::UpgradeCheck:
        // Nothing is offered and nothing shown; the run log says why a transfer failed.
        QCOMPARE(journalCount(UpgradeCheck::kPath) > m_upgradeChecks,
            fault != Fault::WrongHost && fault != Fault::PortClosed);
        break;
    case Call::Pay: {
        QVERIFY(!m_checkout->resultCard()->successShown());
        QVERIFY2(labelText(m_checkout->resultCard(), "label_sq")
                     .endsWith(QStringLiteral("支付结果未知，系统将自动核实")),
            qPrintable(labelText(m_checkout->resultCard(), "label_sq")));
        const LedgerRow row = lastLedgerRow();
        QCOMPARE(row.state, std::string("unresolved"));
        QCOMPARE(row.message, std::string(LedgerStore::kNoAnswer));
        break;
    }
    case Call::StatusPoll: {
        // A status query that brings nothing usable does not end the poll: with the sandbox's
        // fault on one query the order is found paid; with the gateway out of reach for good
        // the poll gives up and the outcome is unknown.
        const bool reachable = !sandboxFault(fault).isEmpty();
        QCOMPARE(m_checkout->resultCard()->successShown(), reachable);
        QCOMPARE(lastLedgerRow().state, std::string(reachable ? "paid" : "unresolved"));
        if (!reachable)
            QCOMPARE(lastLedgerRow().message, std::string(LedgerStore::kPollingGaveUp));
        break;
    }
    case Call::SingleWindowPay: {
        QCOMPARE(labelText(m_single->notice(), "label_note"), QStringLiteral("支付失败"));
        QCOMPARE(labelText(m_single->notice(), "label_message"),
            QStringLiteral("请求失败！请检查网络\n支付结果未知，系统将自动核实"));
        // The amount stays for another try.
        QCOMPARE(m_single->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"))->text(),
            QStringLiteral("7.09"));
        const LedgerRow row = lastLedgerRow();
        QCOMPARE(row.state, std::string("unresolved"));
        QCOMPARE(row.message, std::string(LedgerStore::kNoAnswer));
        break;
    }
    case Call::RefundWindow:
        QVERIFY(!m_refund->resultCard()->successShown());
        QCOMPARE(labelText(m_refund->resultCard(), "label_sq"),
            QStringLiteral("退款结果未知，请勿重复退款"));
        QCOMPARE(m_refund->findChild<QLineEdit *>(QStringLiteral("lineEdit_orderno"))->text(),
            m_paid.at(0));
        QVERIFY(m_refund->findChild<QPushButton *>(QStringLiteral("pushButton_yes"))->isEnabled());
        break;
    case Call::ListRefund:
        QVERIFY(!m_orders->resultCard()->successShown());
        QCOMPARE(labelText(m_orders->resultCard(), "label_sq"),
            QStringLiteral("退款结果未知，请勿重复退款"));
        break;
    case Call::OrderList:
        // The list stays as it was.
        QCOMPARE(m_orders->pages().recordCount(), m_listed);
        break;
    case Call::Refresh:
        QCOMPARE(selectedOrderStatus(), m_refreshed);
        break;
    case Call::DayTotals:
        QCOMPARE(dayFigures(), m_figures);
        break;
    }
}

void TestFaultMatrix::checkNextWorks(Call call)
{
    // The same call again, on what is left to work on: a card out of the way, the other order
    // (a cut answer may have refunded the first).
    switch (call) {
    case Call::Pay:
    case Call::StatusPoll:
        m_checkout->resultCard()->hide();
        break;
    case Call::SingleWindowPay:
        // The notice of an unknown outcome stays until the cashier closes it.
        m_single->notice()->findChild<QPushButton *>(QStringLiteral("pushButton_yes2"))->click();
        QVERIFY(!m_single->notice()->isVisible());
        break;
    case Call::RefundWindow:
        m_refund->resultCard()->hide();
        m_refund->findChild<QLineEdit *>(QStringLiteral("lineEdit_orderno"))->setText(m_paid.at(1));
        break;
    case Call::ListRefund:
        m_orders->resultCard()->hide();
        selectOrder(m_paid.at(1));
        break;
    default:
        break;
    }
    const int failures = failureLines();
    const int checks = journalCount(UpgradeCheck::kPath);
    act(call);
    // An attempt of unknown outcome was of the same amount: the till asks before it takes
    // the payment again (a poll that found the order paid leaves nothing to ask about).
    if (call == Call::SingleWindowPay) {
        QVERIFY(m_single->retryQuestion()->prompt()->isVisible());
        m_single->retryQuestion()->prompt()->OnBtnYes();
    } else if (call == Call::Pay || call == Call::StatusPoll) {
        QCOMPARE(m_checkout->retryQuestion()->prompt()->isVisible(),
            lastLedgerRow().state == "unresolved");
        if (m_checkout->retryQuestion()->prompt()->isVisible())
            m_checkout->retryQuestion()->prompt()->OnBtnYes();
    }
    TRY_VERIFY_HANDED_OFF(settled(call), kSettleMs);

    switch (call) {
    case Call::Login:
        QVERIFY(!m_tallyport->session().key.empty());
        break;
    case Call::UpgradeCheck:
        QCOMPARE(journalCount(UpgradeCheck::kPath), checks + 1);
        QCOMPARE(failureLines(), failures);
        break;
    case Call::Pay:
    case Call::StatusPoll:
        QVERIFY(m_checkout->resultCard()->successShown());
        QCOMPARE(lastLedgerRow().state, std::string("paid"));
        break;
    case Call::SingleWindowPay:
        QCOMPARE(labelText(m_single->notice(), "label_note"), QStringLiteral("支付成功！"));
        QCOMPARE(lastLedgerRow().state, std::string("paid"));
        break;
    case Call::RefundWindow:
        QVERIFY(m_refund->resultCard()->successShown());
        break;
    case Call::ListRefund:
        QVERIFY(m_orders->resultCard()->successShown());
        break;
    case Call::OrderList:
        QCOMPARE(m_orders->pages().recordCount(), m_listed + 1);
        break;
    case Call::Refresh:
        QCOMPARE(selectedOrderStatus(), QStringLiteral("已退款"));
        break;
    case Call::DayTotals:
        QCOMPARE(dayFigures().at(3).toInt(), m_figures.value(3).toInt() + 1);
        break;
    }
}

QString TestFaultMatrix::selectedOrderStatus() const
{
    // The order status column of the selected row.
    const auto *table = m_orders->findChild<QTableWidget *>(QStringLiteral("tableWidget_message"));
    return table->item(table->currentRow(), 6)->text();
}

QStringList TestFaultMatrix::dayFigures() const
{
    const auto &values = m_daily->figures().values;
    return QStringList(values.begin(), values.end());
}

QString TestFaultMatrix::paidOrder(const QString &amount)
{
    const auto request = PayTransaction::payRequest(amount.toStdString(), kPaidAtOnce.toStdString(),
        m_appid.toStdString(), m_sid.toStdString(), m_key.toStdString());
    std::string reply;
    if (!request
        || m_sandbox.client().Post(
               m_sandbox.url(PayTransaction::kFacePath), request->body, reply, "json")
            != 200)
        return QString();
    static const QRegularExpression number(QStringLiteral("\"out_trade_no\":\"(\\d+)\""));
    return number.match(QString::fromStdString(reply)).captured(1);
}

bool TestFaultMatrix::refundDirectly(const QString &orderNumber)
{
    const QueryRequests::Request request
        = QueryRequests::refund(orderNumber.toStdString(), std::nullopt, std::nullopt,
            "1234567890123456", {m_appid.toStdString(), m_sid.toStdString(), m_key.toStdString()});
    std::string reply;
    return m_sandbox.client().Post(
               m_sandbox.url(PayTransaction::kFacePath), request.body, reply, "json")
        == 200
        && reply.find("\"code\":\"100\"") != std::string::npos;
}

void TestFaultMatrix::selectOrder(const QString &orderNumber)
{
    // Page by page to the order, then a click on its row.
    auto *table = m_orders->findChild<QTableWidget *>(QStringLiteral("tableWidget_message"));
    const std::string wanted = orderNumber.toStdString();
    while (m_orders->pages().currentPage() > 1)
        m_orders->OnPreviousPage();
    for (;;) {
        for (int row = 0; row < OrderPages::kRowsPerPage; ++row) {
            const OrderRecord *record = m_orders->pages().recordAt(row);
            if (record && record->orderNumber == wanted) {
                const QRect cell = table->visualRect(table->model()->index(row, 1));
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
                table->setCurrentCell(row, 1);
                return;
            }
        }
        const int page = m_orders->pages().currentPage();
        m_orders->OnNextPage();
        if (m_orders->pages().currentPage() == page)
            QFAIL(qPrintable(QStringLiteral("order %1 is not listed").arg(orderNumber)));
    }
}

void TestFaultMatrix::enterSale(QWidget *window, const QString &amount, const QString &payCode)
{
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"))->setText(amount);
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"))->setText(payCode);
}

int TestFaultMatrix::journalCount(const char *path) const
{
    int count = 0;
    for (const QJsonObject &entry : m_sandbox.journal())
        count += entry.value(QStringLiteral("path")).toString() == QLatin1String(path);
    return count;
}

int TestFaultMatrix::failureLines() const
{
    return QString::fromUtf8(fileBytes(m_home->filePath(QStringLiteral("tallyport.log"))))
        .count(QStringLiteral("请求失败: "));
}

LedgerRow TestFaultMatrix::lastLedgerRow() const
{
    LedgerStore &ledger = LedgerStore::shared();
    LedgerRow last;
    for (long long id = 1; ledger.row(id).id == id; ++id)
        last = ledger.row(id);
    return last;
}

QTEST_MAIN(TestFaultMatrix)
#include "TestFaultMatrix.moc"
