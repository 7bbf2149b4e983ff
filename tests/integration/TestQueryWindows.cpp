// The order list, refund page and daily summary against the sandbox over HTTPS: the requests
// byte for byte in its journal, refunds from the list and the refund page, a refresh, a scanned
// number with auto-confirm, a double press, unreadable replies, and day figures equal to the
// sums paid and refunded here, printed on a private CUPS queue and read back with pdftotext.
// With the sandbox slowed down, what the cashier does while a request runs: a scan during a
// refund, a filter picked and new dates asked for during the first query, a report printed
// after the dates were changed.
#include "Amount.h"
#include "CupsQueue.h"
#include "DailyQueryWin.h"
#include "HttpClient.h"
#include "LedgerStore.h"
#include "OrderQueryWin.h"
#include "PayTransaction.h"
#include "QueryRequests.h"
#include "ReFundWin.h"
#include "Signing.h"
#include "GatewayClientFixture.h"
#include "HandOffWait.h"
#include "collectionWin.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QCryptographicHash>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <array>
#include <memory>
#include <optional>

namespace {

constexpr int kAnswerMs = 20000;
// The sandbox's answer to the next gateway request comes this late.
const QByteArray kSlowAnswer = R"({"kind":"delay","ms":1500})";

enum Wallet { WeChat, Alipay };

QString md5Upper(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

QString cardText(const collectionWin *card, const char *name)
{
    const auto *label = card->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

// A paid-at-once payment code of a wallet; `n` picks one of six.
QString payCode(Wallet wallet, int n)
{
    return (wallet == WeChat ? QStringLiteral("13456789012345678")
                             : QStringLiteral("2812345678901234"))
        + QString::number(n % 6);
}

} // namespace

class TestQueryWindows : public QObject, GatewayClientFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listRefundAndRefresh();
    void refundPageSignsTheRawRemark_data();
    void refundPageSignsTheRawRemark();
    void doublePressRefundsOnce();
    void scannedOrderNumberWithAutoConfirmRefundsAtOnce();
    void unreadableRefundReplies_data();
    void unreadableRefundReplies();
    void lostRefundAnswerIsCheckedNotSentAgain_data();
    void lostRefundAnswerIsCheckedNotSentAgain();
    void aRefundOnItsWayHoldsBackAnother();
    void dayFiguresEqualTheSumsAndPrint();
    void scanDuringARefundStaysForTheNext();
    void filterPickedDuringTheFirstQuery();
    void refreshAndRefundAskedDuringAQuery();
    void reportPrintsTheDatesOfItsFigures_data();
    void reportPrintsTheDatesOfItsFigures();
    void tillFiguresBesideTheGateways_data();
    void tillFiguresBesideTheGateways();

private:
    // Pays `amount` at once with the wallet; the order number, empty on failure.
    QString pay(Wallet wallet, const QString &amount, int n = 0);
    // The bodies of the requests of `method` in the sandbox's journal, oldest first.
    QStringList bodies(const QString &method) const;
    QString lastBody(const QString &method) const
    {
        const QStringList found = bodies(method);
        return found.value(found.size() - 1);
    }
    // What a request of `method` must be, byte for byte: the data fields in the order given
    // (the nonce, given empty, is the one `body` carries), the values JSON-escaped in the body
    // and signed raw, sorted by name.
    QString expected(
        const QString &method, const QString &body, QList<QPair<QString, QString>> fields) const;
    QString refundBody(const QString &body, const QString &orderNumber, const QString &remark,
        const QString &total) const;
    std::unique_ptr<ReFundWin> refundPage(QWidget *parent, const QString &orderNumber);
    // Shows today's order list in `orders` and selects its newest order, `orderNumber`.
    void selectNewestInList(OrderQueryWin &orders, const QString &orderNumber);
    QLineEdit *field(QWidget *window, const char *name) const;
    // The text of a PDF the queue wrote, through pdftotext.
    QString pdfText(const QString &pdf) const;

    CupsQueue m_cups; // first: every spooler call of this test goes to it
    // What this test paid and refunded today, in minor units, by wallet.
    std::array<long long, 2> m_paid {};
    std::array<long long, 2> m_refunded {};
    std::array<int, 2> m_count {};
};

void TestQueryWindows::initTestCase()
{
    QVERIFY(startGateway());
}

void TestQueryWindows::init()
{
    QVERIFY(newHome());
}

void TestQueryWindows::cleanup()
{
    LedgerStore::shared().close();
    endTest();
}

QString TestQueryWindows::pay(Wallet wallet, const QString &amount, int n)
{
    const auto request
        = PayTransaction::payRequest(amount.toStdString(), payCode(wallet, n).toStdString(),
            m_appid.toStdString(), m_sid.toStdString(), m_key.toStdString());
    std::string reply;
    if (!request
        || HttpClient(m_sandbox.caPath().toStdString())
                .Post(m_sandbox.url(PayTransaction::kFacePath), request->body, reply, "json")
            != 200
        || reply.find("\"status\":\"1\"") == std::string::npos)
        return QString();
    m_paid[wallet] += std::stoll(request->total);
    ++m_count[wallet];
    static const QRegularExpression number(QStringLiteral("\"out_trade_no\":\"(\\d+)\""));
    return number.match(QString::fromStdString(reply)).captured(1);
}

QStringList TestQueryWindows::bodies(const QString &method) const
{
    QStringList found;
    const QString marker = QStringLiteral("\"method\":\"%1\"").arg(method);
    for (const QJsonObject &entry : m_sandbox.journal()) {
        const QString body = entry.value(QStringLiteral("body")).toString();
        if (entry.value(QStringLiteral("path")).toString() == QLatin1String("/api/face")
            && body.contains(marker))
            found << body;
    }
    return found;
}

QString TestQueryWindows::expected(
    const QString &method, const QString &body, QList<QPair<QString, QString>> fields) const
{
    static const QRegularExpression nonce(QStringLiteral("\"nonce_str\":\"(\\d{16,31})\""));
    QMap<QString, QString> sorted;
    QStringList data;
    for (auto &[name, value] : fields) {
        if (name == QLatin1String("nonce_str"))
            value = nonce.match(body).captured(1);
        sorted.insert(name, value);
        QString escaped = value;
        escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('"'), QLatin1String("\\\""));
        data << QStringLiteral("\"%1\":\"%2\"").arg(name, escaped);
    }
    QStringList sign;
    for (auto field = sorted.cbegin(); field != sorted.cend(); ++field)
        sign << field.key() + QLatin1Char('=') + field.value();
    sign << QStringLiteral("key=") + m_key;
    return QStringLiteral("{\"appid\":\"%1\",\"method\":\"%2\",\"sign\":\"%3\",\"data\":{%4}}")
        .arg(m_appid, method, md5Upper(sign.join(QLatin1Char('&'))), data.join(QLatin1Char(',')));
}

QString TestQueryWindows::refundBody(const QString &body, const QString &orderNumber,
    const QString &remark, const QString &total) const
{
    QList<QPair<QString, QString>> fields {{"out_trade_no", orderNumber}};
    if (!remark.isEmpty())
        fields.append({"refund_desc", remark});
    if (!total.isEmpty())
        fields.append({"total", total});
    fields.append({"nonce_str", QString()});
    return expected(QStringLiteral("auto_orderRefund"), body, fields);
}

std::unique_ptr<ReFundWin> TestQueryWindows::refundPage(QWidget *parent, const QString &orderNumber)
{
    auto page = std::make_unique<ReFundWin>(parent);
    parent->show();
    QApplication::setActiveWindow(parent);
    field(page.get(), "lineEdit_orderno")->setText(orderNumber);
    return page;
}

void TestQueryWindows::selectNewestInList(OrderQueryWin &orders, const QString &orderNumber)
{
    orders.show();
    orders.QueryTimeout();
    TRY_VERIFY_HANDED_OFF(!orders.busy(), kAnswerMs);
    while (orders.pages().currentPage() < orders.pages().pageCount())
        orders.OnNextPage();
    const int row = (orders.pages().recordCount() - 1) % OrderPages::kRowsPerPage;
    QCOMPARE(orders.pages().recordAt(row)->orderNumber, orderNumber.toStdString());
    auto *table = orders.findChild<QTableWidget *>(QStringLiteral("tableWidget_message"));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
        table->visualRect(table->model()->index(row, 1)).center());
}

QLineEdit *TestQueryWindows::field(QWidget *window, const char *name) const
{
    auto *edit = window->findChild<QLineEdit *>(QLatin1String(name));
    if (!edit)
        qFatal("no line edit %s", name);
    return edit;
}

QString TestQueryWindows::pdfText(const QString &pdf) const
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {m_cups.outputDir() + '/' + pdf, "-"});
    if (!pdftotext.waitForFinished(kAnswerMs))
        return QStringLiteral("<pdftotext did not finish>");
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

void TestQueryWindows::listRefundAndRefresh()
{
    // The first orders of the day.
    QStringList numbers;
    numbers << pay(WeChat, "12.5", 0) << pay(Alipay, "30", 1) << pay(WeChat, "7.05", 2);
    QVERIFY(!numbers.contains(QString()));

    OrderQueryWin orders;
    orders.show();
    orders.QueryTimeout(); // the first query, as two seconds after construction
    TRY_VERIFY_HANDED_OFF(!orders.busy(), kAnswerMs);

    const QString list = lastBody(QStringLiteral("mch_orderList"));
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    QCOMPARE(list,
        expected(QStringLiteral("mch_orderList"), list,
            {{"sdate", day + "000000"}, {"nonce_str", QString()}, {"edate", day + "235959"},
                {"status", "4"}, {"page", "1"}, {"limit", "20000"}, {"store_id", m_sid}}));

    auto *table = orders.findChild<QTableWidget *>(QStringLiteral("tableWidget_message"));
    QCOMPARE(orders.pages().recordCount(), 3);
    QCOMPARE(table->item(1, 1)->text(), numbers.at(1));
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("支付宝"));
    QCOMPARE(table->item(2, 2)->text(), QStringLiteral("7.05"));

    // Refund the Alipay order from the list: the whole order.
    const QRect row = table->visualRect(table->model()->index(1, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row.center());
    orders.OnRefund();
    const collectionWin *card = orders.resultCard();
    TRY_VERIFY_HANDED_OFF(card->isVisible(), kAnswerMs);
    m_refunded[Alipay] += 3000;
    const QString refund = lastBody(QStringLiteral("auto_orderRefund"));
    QCOMPARE(refund, refundBody(refund, numbers.at(1), QString(), QString()));
    QVERIFY(card->successShown());
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("30"));
    QCOMPARE(cardText(card, "label"), QStringLiteral("支付宝"));
    QCOMPARE(cardText(card, "label_ddh"), QStringLiteral("订单号：") + numbers.at(1));
    TRY_VERIFY_HANDED_OFF(card->isHidden(), kAnswerMs);

    // A refresh shows it refunded; refunded, it can be neither refunded nor printed again.
    orders.OnFlush();
    TRY_VERIFY_HANDED_OFF(!orders.busy(), kAnswerMs);
    QVERIFY(lastBody(QStringLiteral("auto_orderQuery"))
                .contains(QStringLiteral("\"out_trade_no\":\"%1\"").arg(numbers.at(1))));
    QCOMPARE(table->item(1, 6)->text(), QStringLiteral("已退款"));
    const int refunds = bodies(QStringLiteral("auto_orderRefund")).size();
    QSignalSpy printed(&orders, &OrderQueryWin::SendPrintToParamSetting);
    orders.OnRefund();
    orders.OnPrint();
    QVERIFY(!orders.busy());
    QCOMPARE(printed.count(), 0);
    QCOMPARE(bodies(QStringLiteral("auto_orderRefund")).size(), refunds);
}

void TestQueryWindows::refundPageSignsTheRawRemark_data()
{
    QTest::addColumn<QStringList>("refund"); // paid, amount, remark, total in the request

    QTest::newRow("amount and remark") << QStringList {"30", "10", "顾客 \"退货\" \\ 备注", "1000"};
    QTest::newRow("half a unit, no remark") << QStringList {"12.5", "0.5", "", "50"};
    QTest::newRow("large amount, no exponent")
        << QStringList {"100000", "100000", "reason", "10000000"};
}

void TestQueryWindows::refundPageSignsTheRawRemark()
{
    QFETCH(QStringList, refund);
    const QString &amount = refund.at(1);
    const QString &remark = refund.at(2);
    const QString &total = refund.at(3);

    const QString orderNumber = pay(Alipay, refund.at(0), 2);
    QVERIFY(!orderNumber.isEmpty());
    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main, orderNumber);
    field(page.get(), "lineEdit_money")->setText(amount);
    field(page.get(), "lineEdit_note")->setText(remark);

    QTest::mouseClick(
        page->findChild<QPushButton *>(QStringLiteral("pushButton_yes")), Qt::LeftButton);
    const collectionWin *card = page->resultCard();
    TRY_VERIFY_HANDED_OFF(card->isVisible(), kAnswerMs);
    m_refunded[Alipay] += total.toLongLong();

    const QString body = lastBody(QStringLiteral("auto_orderRefund"));
    QCOMPARE(body, refundBody(body, orderNumber, remark, total));
    QVERIFY(card->successShown());
    QCOMPARE(cardText(card, "label_sq"), amount);
    // A refund that succeeded empties the fields for the next one.
    for (const char *name : {"lineEdit_orderno", "lineEdit_money", "lineEdit_note"})
        QCOMPARE(field(page.get(), name)->text(), QString());
}

void TestQueryWindows::doublePressRefundsOnce()
{
    const QString orderNumber = pay(WeChat, QStringLiteral("9"), 3);
    QVERIFY(!orderNumber.isEmpty());
    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main, orderNumber);
    const int before = bodies(QStringLiteral("auto_orderRefund")).size();

    page->OnInputYes();
    page->OnInputYes();
    TRY_VERIFY_HANDED_OFF(!page->busy(), kAnswerMs);
    m_refunded[WeChat] += 900;
    QCOMPARE(bodies(QStringLiteral("auto_orderRefund")).size(), before + 1);
    QVERIFY(page->resultCard()->successShown());
}

void TestQueryWindows::scannedOrderNumberWithAutoConfirmRefundsAtOnce()
{
    QVERIFY(m_sandbox.writeClientConfig(
        m_home->path(), {QStringLiteral("[AUTOMICSHOW]"), QStringLiteral("automicShow=1")}));
    const QString orderNumber = pay(WeChat, QStringLiteral("20"), 4);
    QCOMPARE(orderNumber.size(), 21);
    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main, QString());
    main.hide();
    field(page.get(), "lineEdit_money")->setText(QStringLiteral("1"));
    QSignalSpy shown(page.get(), &ReFundWin::SendShowRefund);

    page->receiveRefundOrder(orderNumber.toStdString());

    QCOMPARE(shown.count(), 1);
    QVERIFY(main.isVisible());
    QVERIFY(page->busy());
    const collectionWin *card = page->resultCard();
    TRY_VERIFY_HANDED_OFF(card->isVisible(), kAnswerMs);
    m_refunded[WeChat] += 100;
    const QString body = lastBody(QStringLiteral("auto_orderRefund"));
    QCOMPARE(body, refundBody(body, orderNumber, QString(), QStringLiteral("100")));
    QVERIFY(card->successShown());
}

void TestQueryWindows::unreadableRefundReplies_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::newRow("body not JSON") << QByteArray(R"({"kind":"invalid_json"})");
    QTest::newRow("body of the wrong shape")
        << QByteArray(R"({"kind":"body","body":"{\"code\":[\"100\"]}"})");
    QTest::newRow("dropped connection") << QByteArray(R"({"kind":"drop"})");
}

void TestQueryWindows::unreadableRefundReplies()
{
    QFETCH(QByteArray, fault);
    const QString orderNumber = pay(Alipay, QStringLiteral("3"), 5);
    QVERIFY(!orderNumber.isEmpty());
    QVERIFY(m_sandbox.injectFault(fault));

    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main, orderNumber);
    page->OnInputYes();
    const collectionWin *card = page->resultCard();
    TRY_VERIFY_HANDED_OFF(card->isVisible(), kAnswerMs);
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("退款结果未知，请勿重复退款"));
    // The number stays for another try, and the button takes it.
    QCOMPARE(field(page.get(), "lineEdit_orderno")->text(), orderNumber);
    QVERIFY(page->findChild<QPushButton *>(QStringLiteral("pushButton_yes"))->isEnabled());
}

void TestQueryWindows::lostRefundAnswerIsCheckedNotSentAgain_data()
{
    QTest::addColumn<bool>("fromList"); // else from the refund window
    QTest::addColumn<QString>("amount"); // of the refund window; empty: the whole order
    QTest::newRow("refund window") << false << QString();
    QTest::newRow("refund from the list") << true << QString();
    // Of 1.00 of 4.00: the order's status cannot tell whether it went through.
    QTest::newRow("partial refund") << false << QStringLiteral("1");
}

void TestQueryWindows::lostRefundAnswerIsCheckedNotSentAgain()
{
    QFETCH(bool, fromList);
    QFETCH(QString, amount);
    LedgerStore &ledger = LedgerStore::shared();
    QVERIFY(ledger.openDefault());
    const QString orderNumber = pay(WeChat, QStringLiteral("4"), fromList ? 5 : 4);
    QVERIFY(!orderNumber.isEmpty());
    QWidget main;
    std::unique_ptr<ReFundWin> page;
    std::unique_ptr<OrderQueryWin> orders;
    if (fromList) {
        orders = std::make_unique<OrderQueryWin>();
        selectNewestInList(*orders, orderNumber);
        if (QTest::currentTestFailed())
            return;
    } else {
        page = refundPage(&main, orderNumber);
        field(page.get(), "lineEdit_money")->setText(amount);
    }
    const auto press = [&] { fromList ? orders->OnRefund() : page->OnInputYes(); };
    const auto busy = [&] { return fromList ? orders->busy() : page->busy(); };
    const collectionWin *card = fromList ? orders->resultCard() : page->resultCard();
    const int refunds = bodies(QStringLiteral("auto_orderRefund")).size();
    const int queries = bodies(QStringLiteral("auto_orderQuery")).size();

    // The gateway refunds the order, and its answer is lost.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"drop_reply"})"));
    press();
    TRY_VERIFY_HANDED_OFF(!busy(), kAnswerMs);
    m_refunded[WeChat] += amount.isEmpty() ? 400 : 100;
    QVERIFY(card->isVisible() && !card->successShown());
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("退款结果未知，请勿重复退款"));
    const std::optional<RefundRow> lost = ledger.unsettledRefund(orderNumber.toStdString());
    QVERIFY(lost);
    QCOMPARE(lost->state, std::string("unresolved"));
    QCOMPARE(lost->sid, m_sid.toStdString());

    // Pressed again: no refund leaves; the order's status is asked and settles the first one.
    press();
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("上一笔退款结果未知，正在核实"));
    TRY_VERIFY_HANDED_OFF(!busy(), kAnswerMs);
    QCOMPARE(bodies(QStringLiteral("auto_orderRefund")).size(), refunds + 1);
    const QStringList asked = bodies(QStringLiteral("auto_orderQuery")).mid(queries);
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked.first().contains(QStringLiteral("\"out_trade_no\":\"%1\"").arg(orderNumber)));
    if (amount.isEmpty()) {
        QCOMPARE(ledger.refund(lost->id).state, std::string("refunded"));
        QVERIFY(card->successShown());
        QCOMPARE(cardText(card, "label_sq"), QStringLiteral("核实结果：已退款，请勿重复退款"));
    } else {
        // Status "2" follows any refund of the order: it does not tell this one's outcome.
        QCOMPARE(ledger.refund(lost->id).state, std::string("unresolved"));
        QCOMPARE(ledger.refund(lost->id).checks, 1);
        QVERIFY(!card->successShown());
        QVERIFY(cardText(card, "label_sq").startsWith(QStringLiteral("网关无法确认")));
    }

    // Settled, or told to the cashier, the order takes a refund again (this gateway refuses a
    // second one).
    press();
    TRY_VERIFY_HANDED_OFF(!busy(), kAnswerMs);
    QCOMPARE(bodies(QStringLiteral("auto_orderRefund")).size(), refunds + 2);
    QVERIFY(!card->successShown());
    QCOMPARE(ledger.refund(lost->id + 1).state, std::string("refused"));
}

void TestQueryWindows::aRefundOnItsWayHoldsBackAnother()
{
    LedgerStore &ledger = LedgerStore::shared();
    QVERIFY(ledger.openDefault());
    const QString orderNumber = pay(Alipay, QStringLiteral("2"), 3);
    QVERIFY(!orderNumber.isEmpty());
    OrderQueryWin orders;
    selectNewestInList(orders, orderNumber);
    if (QTest::currentTestFailed())
        return;
    QWidget main;
    std::unique_ptr<ReFundWin> page = refundPage(&main, orderNumber);
    const int refunds = bodies(QStringLiteral("auto_orderRefund")).size();

    // The list's refund is slow to answer; the refund window's, of the same order, stays home.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500,"count":1})"));
    orders.OnRefund();
    QVERIFY(orders.refunding());
    page->OnInputYes();
    QVERIFY(!page->busy());
    QCOMPARE(cardText(page->resultCard(), "label_sq"),
        QStringLiteral("该订单的退款正在进行，请等待结果，勿重复退款"));
    TRY_VERIFY_HANDED_OFF(!orders.refunding(), kAnswerMs);
    QCOMPARE(bodies(QStringLiteral("auto_orderRefund")).size(), refunds + 1);
    m_refunded[Alipay] += 200;
    QVERIFY(orders.resultCard()->successShown());
    QVERIFY(!ledger.unsettledRefund(orderNumber.toStdString()));
}

void TestQueryWindows::dayFiguresEqualTheSumsAndPrint()
{
    // The report in two copies of 80 mm.
    QVERIFY(m_sandbox.writeClientConfig(m_home->path(),
        {QStringLiteral("[PRINTWIDTH]"), QStringLiteral("printwidth=1"),
            QStringLiteral("[PRINTCOUNT]"), QStringLiteral("printcount=1")}));
    DailyQueryWin daily;
    daily.setStoreName(L"演示门店");
    daily.QueryTimeout(); // the first query, at login, the page not open
    TRY_VERIFY_HANDED_OFF(!daily.busy(), kAnswerMs);
    // Paid after it: opening the page asks again and counts it.
    QVERIFY(!pay(WeChat, QStringLiteral("2.5"), 5).isEmpty());
    const int queries = bodies(QStringLiteral("mch_orderCount")).size();
    const QDateTime opening = QDateTime::currentDateTime();
    daily.show();
    const QDateTime opened = QDateTime::currentDateTime();
    TRY_VERIFY_HANDED_OFF(!daily.busy(), kAnswerMs);
    QCOMPARE(bodies(QStringLiteral("mch_orderCount")).size(), queries + 1);
    QVERIFY(daily.figuresQueried() >= opening && daily.figuresQueried() <= opened);

    const QString body = lastBody(QStringLiteral("mch_orderCount"));
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    QCOMPARE(body,
        expected(QStringLiteral("mch_orderCount"), body,
            {{"store_id", m_sid}, {"status", "4"}, {"sdate", day}, {"edate", day},
                {"nonce_str", QString()}}));

    const auto amount
        = [](long long minor) { return QString::fromStdString(Amount::formatMinorUnits(minor)); };
    const long long paid = m_paid[WeChat] + m_paid[Alipay];
    const long long refundedAll = m_refunded[WeChat] + m_refunded[Alipay];
    const QStringList figures {amount(paid), amount(refundedAll), amount(paid - refundedAll),
        QString::number(m_count[WeChat] + m_count[Alipay]), amount(m_paid[WeChat]),
        amount(m_refunded[WeChat]), amount(m_paid[WeChat] - m_refunded[WeChat]),
        QString::number(m_count[WeChat]), amount(m_paid[Alipay]), amount(m_refunded[Alipay]),
        amount(m_paid[Alipay] - m_refunded[Alipay]), QString::number(m_count[Alipay])};
    QStringList shown;
    for (const QString &value : daily.figures().values)
        shown << value;
    QCOMPARE(shown, figures);
    const auto *grid = daily.findChild<QTableView *>(QStringLiteral("tableView_showtotal"));
    QCOMPARE(grid->model()->index(5, 3).data().toString(), figures.at(11));

    // Printed: every copy a job named "printer" whose text holds the figures.
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    daily.OnPrint();
    QVERIFY2(m_cups.waitForPdfs(2), m_cups.errorLog().constData());
    for (const QString &pdf : m_cups.pdfFiles()) {
        QCOMPARE(m_cups.jobName(CupsQueue::jobId(pdf)), QStringLiteral("printer"));
        const QString text = pdfText(pdf);
        const QStringList lines {QStringLiteral("当班结算"),
            QStringLiteral("开始时间：")
                + QDate::currentDate().toString(QStringLiteral("yyyy-M-d")),
            QStringLiteral("查询时间：")
                + daily.figuresQueried().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            QStringLiteral("收银员：演示门店"), QStringLiteral("收款总额：") + figures.at(0),
            QStringLiteral("微信退款：") + figures.at(5),
            QStringLiteral("支付宝实收：") + figures.at(10)};
        for (const QString &line : lines) {
            QVERIFY2(text.contains(line), qPrintable(line + QLatin1String(" in:\n") + text));
        }
    }
}

void TestQueryWindows::scanDuringARefundStaysForTheNext()
{
    QVERIFY(m_sandbox.writeClientConfig(
        m_home->path(), {QStringLiteral("[AUTOMICSHOW]"), QStringLiteral("automicShow=1")}));
    const QString first = pay(WeChat, QStringLiteral("6"), 0);
    const QString next = pay(WeChat, QStringLiteral("8"), 1);
    QVERIFY(!first.isEmpty() && !next.isEmpty());
    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main, first);
    field(page.get(), "lineEdit_money")->setText(QStringLiteral("1"));
    const int before = bodies(QStringLiteral("auto_orderRefund")).size();

    QVERIFY(m_sandbox.injectFault(kSlowAnswer));
    page->OnInputYes();
    QVERIFY(page->busy());
    // The next order is scanned while the first refund runs: auto-confirm cannot send it now,
    // and says so.
    page->receiveRefundOrder(next.toStdString());
    QVERIFY(page->busyNotice()->isVisible());
    const collectionWin *card = page->resultCard();
    TRY_VERIFY_HANDED_OFF(card->isVisible(), kAnswerMs);
    m_refunded[WeChat] += 100;
    QVERIFY(card->successShown());
    QCOMPARE(bodies(QStringLiteral("auto_orderRefund")).size(), before + 1);
    QVERIFY(lastBody(QStringLiteral("auto_orderRefund"))
                .contains(QStringLiteral("\"out_trade_no\":\"%1\"").arg(first)));
    // The scanned number stays; the amount sent with the first refund is gone.
    QCOMPARE(field(page.get(), "lineEdit_orderno")->text(), next);
    QCOMPARE(field(page.get(), "lineEdit_money")->text(), QString());

    // The cashier gives the amount and refunds it.
    field(page.get(), "lineEdit_money")->setText(QStringLiteral("2"));
    page->OnInputYes();
    TRY_VERIFY_HANDED_OFF(!page->busy(), kAnswerMs);
    m_refunded[WeChat] += 200;
    const QString body = lastBody(QStringLiteral("auto_orderRefund"));
    QCOMPARE(body, refundBody(body, next, QString(), QStringLiteral("200")));
}

void TestQueryWindows::filterPickedDuringTheFirstQuery()
{
    QVERIFY(!pay(WeChat, QStringLiteral("1"), 2).isEmpty());
    QVERIFY(!pay(Alipay, QStringLiteral("2"), 3).isEmpty());
    const int before = bodies(QStringLiteral("mch_orderList")).size();
    OrderQueryWin orders;
    orders.show();

    QVERIFY(m_sandbox.injectFault(kSlowAnswer));
    orders.QueryTimeout();
    QVERIFY(orders.busy());
    auto *type = orders.findChild<QComboBox *>(QStringLiteral("comboBox"));
    type->setCurrentIndex(type->findText(QStringLiteral("  微信")));
    QTest::mouseClick(
        orders.findChild<QPushButton *>(QStringLiteral("pushButton_query")), Qt::LeftButton);
    TRY_VERIFY_HANDED_OFF(!orders.busy(), kAnswerMs);

    QCOMPARE(bodies(QStringLiteral("mch_orderList")).size(), before + 2);
    QVERIFY(orders.pages().recordCount() > 0);
    for (const OrderRecord &record : orders.pages().records())
        QCOMPARE(QString::fromStdString(record.service), QStringLiteral("wx"));
}

void TestQueryWindows::refreshAndRefundAskedDuringAQuery()
{
    QVERIFY(!pay(Alipay, QStringLiteral("5"), 5).isEmpty());
    OrderQueryWin orders;
    orders.show();
    orders.QueryTimeout();
    TRY_VERIFY_HANDED_OFF(!orders.busy(), kAnswerMs);
    auto *table = orders.findChild<QTableWidget *>(QStringLiteral("tableWidget_message"));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
        table->visualRect(table->model()->index(0, 1)).center());
    const QString orderNumber = table->item(0, 1)->text();
    const int refreshes = bodies(QStringLiteral("auto_orderQuery")).size();
    const int refunds = bodies(QStringLiteral("auto_orderRefund")).size();

    QVERIFY(m_sandbox.injectFault(kSlowAnswer));
    orders.OnQuery();
    // The refresh waits its turn; the refund is refused, and the cashier is told.
    orders.OnFlush();
    orders.OnRefund();
    QVERIFY(orders.busyNotice()->isVisible());
    TRY_VERIFY_HANDED_OFF(!orders.busy(), kAnswerMs);

    const QStringList sent = bodies(QStringLiteral("auto_orderQuery")).mid(refreshes);
    QCOMPARE(sent.size(), 1);
    QVERIFY(sent.first().contains(QStringLiteral("\"out_trade_no\":\"%1\"").arg(orderNumber)));
    QCOMPARE(bodies(QStringLiteral("auto_orderRefund")).size(), refunds);
}

void TestQueryWindows::reportPrintsTheDatesOfItsFigures_data()
{
    QTest::addColumn<QString>("during"); // what the cashier does while the first query runs

    QTest::newRow("new dates asked for during the page's query") << "ask";
    QTest::newRow("new dates picked, printed before asking") << "pick";
    QTest::newRow("the page opened during the query at login") << "open";
}

void TestQueryWindows::reportPrintsTheDatesOfItsFigures()
{
    QFETCH(QString, during);
    // Today has a payment; the day a year ago has none.
    QVERIFY(!pay(Alipay, QStringLiteral("4"), 4).isEmpty());
    const QDate today = QDate::currentDate();
    const QDate yearAgo = today.addYears(-1);
    const int before = bodies(QStringLiteral("mch_orderCount")).size();
    DailyQueryWin daily;

    // The line under the buttons says a query runs, then whose figures the grid holds while the
    // date fields show others.
    const QLabel *note = daily.findChild<QLabel *>(QStringLiteral("label_figures"));
    QVERIFY(m_sandbox.injectFault(kSlowAnswer));
    // The first query: at login with the page not open, or the page's own as it opens.
    QDateTime asking = QDateTime::currentDateTime();
    if (during == QLatin1String("open"))
        daily.QueryTimeout();
    else
        daily.show();
    QDateTime asked = QDateTime::currentDateTime();
    QVERIFY(daily.busy());
    QCOMPARE(note->text(), QStringLiteral("正在查询，请稍候…"));
    if (during == QLatin1String("open")) {
        // Opened meanwhile, the page asks again; its answer is the one shown.
        asking = QDateTime::currentDateTime();
        daily.show();
        asked = QDateTime::currentDateTime();
    } else {
        for (const char *name : {"calendarWidget_starttime", "calendarWidget_endtime"})
            daily.findChild<QCalendarWidget *>(QLatin1String(name))->setSelectedDate(yearAgo);
        if (during == QLatin1String("ask")) {
            asking = QDateTime::currentDateTime();
            daily.OnQuery();
            asked = QDateTime::currentDateTime();
        }
    }
    TRY_VERIFY_HANDED_OFF(!daily.busy(), kAnswerMs);
    const QString todayText = today.toString(QStringLiteral("yyyy年M月d日"));
    QCOMPARE(note->text(),
        during == QLatin1String("pick")
            ? QStringLiteral("表中为%1至%1的数据，请点击查询").arg(todayText)
            : QString());

    // The grid holds the figures of the dates last asked for, and when they were asked.
    const QStringList sent = bodies(QStringLiteral("mch_orderCount")).mid(before);
    QCOMPARE(sent.size(), during == QLatin1String("pick") ? 1 : 2);
    const QDate day = during == QLatin1String("ask") ? yearAgo : today;
    const QString compact = day.toString(QStringLiteral("yyyyMMdd"));
    QVERIFY(sent.last().contains(QStringLiteral("\"sdate\":\"%1\",\"edate\":\"%1\"").arg(compact)));
    const QString count = daily.figures().values[SettlementFigures::Count];
    QVERIFY2(day == yearAgo ? count == QLatin1String("0") : count.toInt() > 0, qPrintable(count));
    const QDateTime queried = daily.figuresQueried();
    QVERIFY2(
        queried >= asking && queried <= asked, qPrintable(queried.toString(Qt::ISODateWithMs)));

    // The report prints the dates of those figures, whatever the date fields show, and the time
    // they were asked for: the answer came 1.5 s later, and the print later still.
    const QString reason = CupsQueue::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY2(m_cups.start(), m_cups.errorLog().constData());
    const int printed = m_cups.pdfFiles().size();
    daily.OnPrint();
    QVERIFY2(m_cups.waitForPdfs(printed + 1), m_cups.errorLog().constData());
    const QString text = pdfText(m_cups.pdfFiles().last());
    const QString date = day.toString(QStringLiteral("yyyy-M-d"));
    for (const QString &line :
        {QStringLiteral("开始时间：") + date, QStringLiteral("结束时间：") + date,
            QStringLiteral("查询时间：") + queried.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            QStringLiteral("交易笔数：") + count}) {
        QVERIFY2(text.contains(line), qPrintable(line + QLatin1String(" in:\n") + text));
    }
}

void TestQueryWindows::tillFiguresBesideTheGateways_data()
{
    QTest::addColumn<bool>("unlisted"); // a paid row whose order the gateway does not hold
    QTest::addColumn<QByteArray>("listFault"); // of the order list asked after the totals
    QTest::addColumn<int>("firstDay"); // the dates queried, in days before today
    QTest::addColumn<int>("lastDay");
    QTest::addColumn<bool>("pressed"); // 查询 pressed, else the first query at login
    QTest::addColumn<bool>("listAsked");
    QTest::addColumn<QString>("shown");

    // Today the gateway also holds another till's payment (and those of the suite's other
    // tests: "#" is their count): its figures are not the till's, and both ways are named.
    const QString another = QStringLiteral("；网关另有 # 笔本机无记录（可能属于其他收银台）");
    QTest::newRow("every paid row listed") << false << QByteArray() << 0 << 0 << true << true
                                           << "本机记录：成功 1 笔，合计 3.21 元" + another;
    QTest::newRow("a paid row the gateway does not list")
        << true << QByteArray() << 0 << 0 << true << true
        << "本机记录：成功 2 笔，合计 10.21 元；网关未列出 1 笔" + another;
    QTest::newRow("order list unreadable")
        << true << QByteArray(R"({"kind":"invalid_json"})") << 0 << 0 << true << true
        << "本机记录：成功 2 笔，合计 10.21 元；未能取得网关订单，未核对";
    QTest::newRow("order list refused")
        << true << QByteArray(R"({"kind":"body","body":"{\"code\":\"303\",\"msg\":\"sign\"}"})")
        << 0 << 0 << true << true << "本机记录：成功 2 笔，合计 10.21 元；未能取得网关订单，未核对";
    QTest::newRow("a two-day range with a payment today asks the list up to today's 23:59:59")
        << true << QByteArray() << 1 << 0 << true << true
        << "本机记录：成功 2 笔，合计 10.21 元；网关未列出 1 笔" + another;
    // The whole order list is fetched only when the cashier asks and the figures differ.
    QTest::newRow("the query at login asks for no list")
        << true << QByteArray() << 0 << 0 << false << false
        << "本机记录：成功 2 笔，合计 10.21 元；与网关不一致，请点击查询核对";
    QTest::newRow("yesterday on screen: the same figures, no list")
        << true << QByteArray() << 1 << 1 << true << false
        << "本机记录：成功 0 笔，合计 0 元；与网关一致";
}

void TestQueryWindows::tillFiguresBesideTheGateways()
{
    QFETCH(bool, unlisted);
    QFETCH(QByteArray, listFault);
    QFETCH(int, firstDay);
    QFETCH(int, lastDay);
    QFETCH(bool, pressed);
    QFETCH(bool, listAsked);
    QFETCH(QString, shown);
    // This till's ledger: a payment paid on the gateway, a refused one and maybe one paid that
    // the gateway does not hold. Another till's payment is on the gateway only.
    LedgerStore &ledger = LedgerStore::shared();
    QVERIFY(ledger.openDefault());
    const QString number = pay(WeChat, QStringLiteral("3.21"), 1);
    QVERIFY(!number.isEmpty());
    const QString anotherTills = pay(Alipay, QStringLiteral("1.5"), 2);
    QVERIFY(!anotherTills.isEmpty());
    // And one it has refunded since.
    const QString refundedThere = pay(WeChat, QStringLiteral("0.5"), 3);
    std::string refundReply;
    HttpClient(m_sandbox.caPath().toStdString())
        .Post(m_sandbox.url(PayTransaction::kFacePath),
            QueryRequests::refund(refundedThere.toStdString(), std::nullopt, std::nullopt,
                Signing::nonce(), QueryRequests::currentSession())
                .body,
            refundReply, "json");
    QVERIFY2(refundReply.find("\"code\":\"100\"") != std::string::npos, refundReply.c_str());
    m_refunded[WeChat] += 50;
    const auto record = [&ledger](long long minor, LedgerStore::State state, const QString &order) {
        const long long id = ledger.recordAttempt(
            LedgerStore::Source::Checkout, minor, payCode(WeChat, 1).toStdString());
        return ledger.update(id, state, order.toStdString(), "");
    };
    QVERIFY(record(321, LedgerStore::State::Paid, number));
    QVERIFY(record(500, LedgerStore::State::Refused, QString()));
    if (unlisted)
        QVERIFY(record(700, LedgerStore::State::Paid, QStringLiteral("209912312359590000001")));

    // The page is not opened here: opening it would ask for today's figures at once.
    DailyQueryWin daily;
    const QDate first = QDate::currentDate().addDays(-firstDay);
    const QDate last = QDate::currentDate().addDays(-lastDay);
    daily.findChild<QCalendarWidget *>(QStringLiteral("calendarWidget_starttime"))
        ->setSelectedDate(first);
    daily.findChild<QCalendarWidget *>(QStringLiteral("calendarWidget_endtime"))
        ->setSelectedDate(last);
    if (!listFault.isEmpty()) {
        QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":0})"));
        QVERIFY(m_sandbox.injectFault(listFault));
    }
    const int lists = bodies(QStringLiteral("mch_orderList")).size();
    if (pressed)
        daily.OnQuery();
    else
        daily.QueryTimeout();
    TRY_VERIFY_HANDED_OFF(!daily.busy(), kAnswerMs);
    const auto *till = daily.findChild<QLabel *>(QStringLiteral("label_till"));
    QVERIFY(till);
    const QRegularExpression expectedText('^'
        + QRegularExpression::escape(shown).replace(QStringLiteral("\\#"), QStringLiteral("\\d+"))
        + '$');
    QVERIFY2(expectedText.match(till->text()).hasMatch(), qPrintable(till->text()));
    // The gateway's paid order no row holds is named in the tooltip, the other till's among
    // them.
    if (shown.contains(QLatin1Char('#'))) {
        for (const QString &unheld : {anotherTills, refundedThere})
            QVERIFY2(till->toolTip().contains(unheld), qPrintable(till->toolTip()));
    }

    // The order list of the same dates, from the first one's midnight to the last one's
    // 23:59:59, every status.
    QCOMPARE(bodies(QStringLiteral("mch_orderList")).size(), lists + (listAsked ? 1 : 0));
    if (!listAsked)
        return;
    const QString body = lastBody(QStringLiteral("mch_orderList"));
    QCOMPARE(body,
        expected(QStringLiteral("mch_orderList"), body,
            {{"sdate", first.toString(QStringLiteral("yyyyMMdd")) + "000000"},
                {"nonce_str", QString()},
                {"edate", last.toString(QStringLiteral("yyyyMMdd")) + "235959"}, {"status", "4"},
                {"page", "1"}, {"limit", "20000"}, {"store_id", m_sid}}));
}

QTEST_MAIN(TestQueryWindows)
#include "TestQueryWindows.moc"
