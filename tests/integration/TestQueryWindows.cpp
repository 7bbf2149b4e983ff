// The order list, the refund page and the daily summary against the sandbox gateway over real
// HTTPS: the signed requests byte for byte in the sandbox's journal, refunds from the list and
// from the refund page (with and without amount and remark), a refresh that shows the refund,
// the refund of a scanned order number with auto-confirm on, one refund for a double press,
// the failure cards, and day figures that equal the sums of what was paid and refunded here.
#include "Amount.h"
#include "DailyQueryWin.h"
#include "HttpClient.h"
#include "LoginSession.h"
#include "MetaTypes.h"
#include "OrderQueryWin.h"
#include "PayTransaction.h"
#include "ReFundWin.h"
#include "Reply.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "TempHome.h"
#include "Text.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <array>
#include <memory>

namespace {

constexpr int kAnswerMs = 20000;
constexpr int kCountdownMs = 8000;

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

QString today(const char *format)
{
    return QDate::currentDate().toString(QLatin1String(format));
}

// A paid-at-once payment code of a wallet; `n` picks one of six.
QString payCode(Wallet wallet, int n)
{
    return (wallet == WeChat ? QStringLiteral("13456789012345678")
                             : QStringLiteral("2812345678901234"))
        + QString::number(n % 6);
}

} // namespace

class TestQueryWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listRefundRefreshAndReprintOnPageTwo();
    void refundPageSignsTheRawRemark_data();
    void refundPageSignsTheRawRemark();
    void doublePressRefundsOnce();
    void scannedOrderNumberWithAutoConfirmRefundsAtOnce();
    void failedRefundRequests_data();
    void failedRefundRequests();
    void dayFiguresEqualTheSums();

private:
    // Pays `amount` at once with the wallet; the order number, empty on failure.
    QString pay(Wallet wallet, const QString &amount, int n = 0);
    void refunded(Wallet wallet, long long minor);
    QList<QJsonObject> faceRequests(const QString &method) const;
    QString lastBody(const QString &method) const;
    QString nonceOf(const QString &body) const;
    QString refundBody(const QString &nonce, const QString &orderNumber, const QString &remark,
        const QString &total) const;
    std::unique_ptr<ReFundWin> refundPage(QWidget *parent);
    QLineEdit *field(QWidget *window, const char *name) const;

    SandboxProcess m_sandbox;
    std::unique_ptr<TempHome> m_home;
    QString m_appid;
    QString m_key;
    QString m_sid;
    // What this test paid and refunded today, in minor units, by wallet.
    std::array<long long, 2> m_paid {};
    std::array<long long, 2> m_refunded {};
    std::array<int, 2> m_count {};
};

void TestQueryWindows::initTestCase()
{
    Resources::initialise();
    MetaTypes::registerAll();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    QVERIFY(m_sandbox.start());
    LoginSession login;
    QVERIFY(m_sandbox.loginDemo(login));
    GatewaySession::set({login.appid, login.key, login.sid});
    m_appid = QString::fromStdWString(login.appid);
    m_key = QString::fromStdWString(login.key);
    m_sid = QString::fromStdWString(login.sid);
}

void TestQueryWindows::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    QVERIFY(m_sandbox.writeClientConfig(m_home->path()));
}

void TestQueryWindows::cleanup()
{
    m_sandbox.injectFault(R"({"kind":"clear"})");
    m_home.reset();
}

QString TestQueryWindows::pay(Wallet wallet, const QString &amount, int n)
{
    const auto request
        = PayTransaction::payRequest(amount.toStdString(), payCode(wallet, n).toStdString(),
            m_appid.toStdString(), m_sid.toStdString(), m_key.toStdString());
    if (!request)
        return QString();
    HttpClient client(m_sandbox.caPath().toStdString());
    std::string reply;
    client.Post(m_sandbox.url(PayTransaction::kFacePath), request->body, reply, "json");
    const std::optional<Reply> decoded = Reply::parse(reply);
    if (!decoded)
        return QString();
    std::string status;
    std::string orderNumber;
    ReplyReader reader = decoded->reader();
    if (!reader.read("data.status", status) || status != "1"
        || !reader.read("data.out_trade_no", orderNumber))
        return QString();
    m_paid[wallet] += std::stoll(request->total);
    ++m_count[wallet];
    return QString::fromStdString(orderNumber);
}

void TestQueryWindows::refunded(Wallet wallet, long long minor)
{
    m_refunded[wallet] += minor;
}

QList<QJsonObject> TestQueryWindows::faceRequests(const QString &method) const
{
    QList<QJsonObject> requests;
    const QString marker = QStringLiteral("\"method\":\"%1\"").arg(method);
    for (const QJsonObject &entry : m_sandbox.journal()) {
        if (entry.value(QStringLiteral("path")).toString() == QLatin1String("/api/face")
            && entry.value(QStringLiteral("body")).toString().contains(marker))
            requests.append(entry);
    }
    return requests;
}

QString TestQueryWindows::lastBody(const QString &method) const
{
    const QList<QJsonObject> requests = faceRequests(method);
    return requests.isEmpty() ? QString()
                              : requests.last().value(QStringLiteral("body")).toString();
}

QString TestQueryWindows::nonceOf(const QString &body) const
{
    static const QRegularExpression nonce(QStringLiteral("\"nonce_str\":\"(\\d{16,31})\""));
    return nonce.match(body).captured(1);
}

QString TestQueryWindows::refundBody(const QString &nonce, const QString &orderNumber,
    const QString &remark, const QString &total) const
{
    // The sign is taken over the raw remark; the body carries it as a JSON string.
    QString signString = QStringLiteral("nonce_str=%1&out_trade_no=%2").arg(nonce, orderNumber);
    QString data = QStringLiteral("\"out_trade_no\":\"%1\"").arg(orderNumber);
    if (!remark.isEmpty()) {
        signString += QStringLiteral("&refund_desc=") + remark;
        QString escaped = remark;
        escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('"'), QLatin1String("\\\""));
        data += QStringLiteral(",\"refund_desc\":\"%1\"").arg(escaped);
    }
    if (!total.isEmpty()) {
        signString += QStringLiteral("&total=") + total;
        data += QStringLiteral(",\"total\":\"%1\"").arg(total);
    }
    signString += QStringLiteral("&key=") + m_key;
    data += QStringLiteral(",\"nonce_str\":\"%1\"").arg(nonce);
    return QStringLiteral("{\"appid\":\"%1\",\"method\":\"auto_orderRefund\",\"sign\":\"%2\","
                          "\"data\":{%3}}")
        .arg(m_appid, md5Upper(signString), data);
}

std::unique_ptr<ReFundWin> TestQueryWindows::refundPage(QWidget *parent)
{
    auto page = std::make_unique<ReFundWin>(parent);
    parent->show();
    QApplication::setActiveWindow(parent);
    return page;
}

QLineEdit *TestQueryWindows::field(QWidget *window, const char *name) const
{
    auto *edit = window->findChild<QLineEdit *>(QLatin1String(name));
    if (!edit)
        qFatal("no line edit %s", name);
    return edit;
}

void TestQueryWindows::listRefundRefreshAndReprintOnPageTwo()
{
    // Fourteen orders, the first of the day, so that page 2 row 3 is the 14th.
    QStringList numbers;
    QStringList amounts {
        "12.5", "30", "7.05", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "0.35"};
    for (int i = 0; i < amounts.size(); ++i) {
        numbers << pay(i % 3 == 1 ? Alipay : WeChat, amounts.at(i), i);
        QVERIFY(!numbers.last().isEmpty());
    }

    OrderQueryWin orders;
    orders.show();
    orders.QueryTimeout(); // the first query, as two seconds after construction
    QVERIFY(orders.busy());
    QTRY_VERIFY_WITH_TIMEOUT(!orders.busy(), kAnswerMs);

    const QString list = lastBody(QStringLiteral("mch_orderList"));
    const QString nonce = nonceOf(list);
    const QString sdate = today("yyyyMMdd") + QStringLiteral("000000");
    const QString edate = today("yyyyMMdd") + QStringLiteral("235959");
    const QString sign = md5Upper(QStringLiteral("edate=%1&limit=20000&nonce_str=%2&page=1&sdate=%3"
                                                 "&status=4&store_id=%4&key=%5")
                                      .arg(edate, nonce, sdate, m_sid, m_key));
    QCOMPARE(list,
        QStringLiteral("{\"appid\":\"%1\",\"method\":\"mch_orderList\",\"sign\":\"%2\",\"data\":{"
                       "\"sdate\":\"%3\",\"nonce_str\":\"%4\",\"edate\":\"%5\",\"status\":\"4\","
                       "\"page\":\"1\",\"limit\":\"20000\",\"store_id\":\"%6\"}}")
            .arg(m_appid, sign, sdate, nonce, edate, m_sid));

    auto *table = orders.findChild<QTableWidget *>(QStringLiteral("tableWidget_message"));
    QCOMPARE(orders.pages().recordCount(), 14);
    QCOMPARE(table->item(0, 1)->text(), numbers.at(0));
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("12.5"));
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("支付宝"));
    QCOMPARE(table->item(2, 2)->text(), QStringLiteral("7.05"));
    QCOMPARE(table->item(2, 5)->text(), QStringLiteral("支付成功"));
    QCOMPARE(table->item(2, 6)->text(), QStringLiteral("正常"));

    QTest::mouseClick(
        orders.findChild<QPushButton *>(QStringLiteral("pushButton_nextpage")), Qt::LeftButton);
    const QRect row3 = table->visualRect(table->model()->index(3, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row3.center());
    QVERIFY(orders.findChild<QCheckBox *>(QStringLiteral("checkBox_4"))->isChecked());
    const QString thirteen = numbers.at(13);
    QCOMPARE(table->item(3, 1)->text(), thirteen);

    QSignalSpy printed(&orders, &OrderQueryWin::SendPrintToParamSetting);
    orders.OnPrint();
    QCOMPARE(printed.count(), 1);
    const QStringList message = QString::fromStdWString(printed.first().at(0).value<std::wstring>())
                                    .split(QLatin1Char('#'));
    QCOMPARE(message.size(), 7);
    QCOMPARE(message.mid(0, 5), (QStringList {"", "", "ali", "0.35", "0.35"}));
    QVERIFY(!message.at(5).isEmpty());
    QCOMPARE(message.at(6), thirteen);
    orders.rightClickedOperation();
    QCOMPARE(QGuiApplication::clipboard()->text(), thirteen);

    // Refund from the list: the whole order, shown on the card for three seconds.
    orders.OnRefund();
    const collectionWin *card = orders.resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kAnswerMs);
    refunded(Alipay, 35);
    const QString refund = lastBody(QStringLiteral("auto_orderRefund"));
    QCOMPARE(refund, refundBody(nonceOf(refund), thirteen, QString(), QString()));
    QVERIFY(card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("退款成功"));
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("0.35"));
    QCOMPARE(cardText(card, "label_fs"), QStringLiteral("退款方式:"));
    QCOMPARE(cardText(card, "label"), QStringLiteral("支付宝"));
    QCOMPARE(cardText(card, "label_ddh"), QStringLiteral("订单号：") + thirteen);
    QCOMPARE(cardText(card, "label_sj"), QStringLiteral("3s"));
    QTRY_COMPARE_WITH_TIMEOUT(cardText(card, "label_sj"), QStringLiteral("2s"), kCountdownMs);
    QTRY_COMPARE_WITH_TIMEOUT(cardText(card, "label_sj"), QStringLiteral("1s"), kCountdownMs);
    QTRY_VERIFY_WITH_TIMEOUT(card->isHidden(), kCountdownMs);
    // The refund leaves the list as it was.
    QCOMPARE(table->item(3, 6)->text(), QStringLiteral("正常"));

    // A refresh shows it refunded.
    orders.OnFlush();
    QTRY_VERIFY_WITH_TIMEOUT(!orders.busy(), kAnswerMs);
    QVERIFY(lastBody(QStringLiteral("auto_orderQuery"))
                .contains(QStringLiteral("\"out_trade_no\":\"%1\"").arg(thirteen)));
    QCOMPARE(table->item(3, 6)->text(), QStringLiteral("已退款"));
    QCOMPARE(table->item(3, 2)->text(), QStringLiteral("0.35"));

    // Refunded, it can be neither refunded nor printed again.
    const int refunds = faceRequests(QStringLiteral("auto_orderRefund")).size();
    orders.OnRefund();
    orders.OnPrint();
    QVERIFY(!orders.busy());
    QCOMPARE(printed.count(), 1);
    QCOMPARE(faceRequests(QStringLiteral("auto_orderRefund")).size(), refunds);
}

void TestQueryWindows::refundPageSignsTheRawRemark_data()
{
    QTest::addColumn<QString>("paid");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("remark");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("shown");

    QTest::newRow("amount and remark") << "30"
                                       << "10" << QStringLiteral("顾客 \"退货\" \\ 备注") << "1000"
                                       << "10";
    QTest::newRow("half a unit") << "12.5"
                                 << "0.5"
                                 << ""
                                 << "50"
                                 << "0.5";
    QTest::newRow("large amount, no exponent") << "100000"
                                               << "100000"
                                               << ""
                                               << "10000000"
                                               << "100000";
    QTest::newRow("remark only, the whole order") << "7.05"
                                                  << ""
                                                  << "reason"
                                                  << ""
                                                  << "7.05";
    QTest::newRow("neither") << "8"
                             << ""
                             << ""
                             << ""
                             << "8";
}

void TestQueryWindows::refundPageSignsTheRawRemark()
{
    QFETCH(QString, paid);
    QFETCH(QString, amount);
    QFETCH(QString, remark);
    QFETCH(QString, total);
    QFETCH(QString, shown);

    const QString orderNumber = pay(Alipay, paid, 2);
    QVERIFY(!orderNumber.isEmpty());
    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main);
    field(page.get(), "lineEdit_orderno")->setText(orderNumber);
    field(page.get(), "lineEdit_money")->setText(amount);
    field(page.get(), "lineEdit_note")->setText(remark);

    QTest::mouseClick(
        page->findChild<QPushButton *>(QStringLiteral("pushButton_yes")), Qt::LeftButton);
    const collectionWin *card = page->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kAnswerMs);
    refunded(Alipay, *Amount::parseMinorUnits(*Amount::toMinorUnits(shown.toStdString())));

    const QString body = lastBody(QStringLiteral("auto_orderRefund"));
    QCOMPARE(body, refundBody(nonceOf(body), orderNumber, remark, total));
    QVERIFY(card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("退款成功"));
    QCOMPARE(cardText(card, "label_sq"), shown);
    QCOMPARE(cardText(card, "label_ddh"), QStringLiteral("订单号:") + orderNumber);
    QCOMPARE(cardText(card, "label"), QStringLiteral("支付宝"));
    for (const char *name : {"lineEdit_orderno", "lineEdit_money", "lineEdit_note"})
        QCOMPARE(field(page.get(), name)->text(), QString());
}

void TestQueryWindows::doublePressRefundsOnce()
{
    const QString orderNumber = pay(WeChat, QStringLiteral("9"), 3);
    QVERIFY(!orderNumber.isEmpty());
    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main);
    field(page.get(), "lineEdit_orderno")->setText(orderNumber);
    const int before = faceRequests(QStringLiteral("auto_orderRefund")).size();

    page->OnInputYes();
    page->OnInputYes();
    const collectionWin *card = page->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kAnswerMs);
    QTRY_VERIFY_WITH_TIMEOUT(!page->busy(), kAnswerMs);
    refunded(WeChat, 900);
    QCOMPARE(faceRequests(QStringLiteral("auto_orderRefund")).size(), before + 1);
    QVERIFY(card->successShown());

    // Asked again once the first has ended, the gateway refuses it: the card says why and
    // the typed number stays for another try.
    field(page.get(), "lineEdit_orderno")->setText(orderNumber);
    page->OnInputYes();
    QTRY_VERIFY_WITH_TIMEOUT(!page->busy(), kAnswerMs);
    QCOMPARE(faceRequests(QStringLiteral("auto_orderRefund")).size(), before + 2);
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("退款失败"));
    QCOMPARE(
        cardText(card, "label_sq"), QStringLiteral("订单已退款 (the order is already refunded)"));
    QCOMPARE(field(page.get(), "lineEdit_orderno")->text(), orderNumber);
}

void TestQueryWindows::scannedOrderNumberWithAutoConfirmRefundsAtOnce()
{
    QVERIFY(m_sandbox.writeClientConfig(
        m_home->path(), {QStringLiteral("[AUTOMICSHOW]"), QStringLiteral("automicShow=1")}));
    const QString orderNumber = pay(WeChat, QStringLiteral("20"), 4);
    QCOMPARE(orderNumber.size(), 21);
    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main);
    main.hide();
    field(page.get(), "lineEdit_money")->setText(QStringLiteral("1"));
    QSignalSpy shown(page.get(), &ReFundWin::SendShowRefund);

    page->receiveRefundOrder(orderNumber.toStdString());

    QCOMPARE(shown.count(), 1);
    QVERIFY(main.isVisible());
    QVERIFY(page->busy());
    const collectionWin *card = page->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kAnswerMs);
    refunded(WeChat, 100);
    const QString body = lastBody(QStringLiteral("auto_orderRefund"));
    QCOMPARE(body, refundBody(nonceOf(body), orderNumber, QString(), QStringLiteral("100")));
    QVERIFY(card->successShown());
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("1"));
}

void TestQueryWindows::failedRefundRequests_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::newRow("HTTP 500") << QByteArray(R"({"kind":"status","status":500})");
    QTest::newRow("body not JSON") << QByteArray(R"({"kind":"invalid_json"})");
    QTest::newRow("body of the wrong shape")
        << QByteArray(R"({"kind":"body","body":"{\"code\":[\"100\"]}"})");
    QTest::newRow("dropped connection") << QByteArray(R"({"kind":"drop"})");
}

void TestQueryWindows::failedRefundRequests()
{
    QFETCH(QByteArray, fault);
    const QString orderNumber = pay(Alipay, QStringLiteral("3"), 5);
    QVERIFY(!orderNumber.isEmpty());
    QVERIFY(m_sandbox.injectFault(fault));

    QWidget main;
    const std::unique_ptr<ReFundWin> page = refundPage(&main);
    field(page.get(), "lineEdit_orderno")->setText(orderNumber);
    page->OnInputYes();
    const collectionWin *card = page->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kAnswerMs);
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("退款失败"));
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("请检查网络"));
    QCOMPARE(cardText(card, "label_ddh"), QStringLiteral("订单号:") + orderNumber);
    QCOMPARE(cardText(card, "label"), QStringLiteral("无"));
    QCOMPARE(field(page.get(), "lineEdit_orderno")->text(), orderNumber);
}

void TestQueryWindows::dayFiguresEqualTheSums()
{
    DailyQueryWin daily;
    daily.show();
    daily.QueryTimeout();
    QTRY_VERIFY_WITH_TIMEOUT(!daily.busy(), kAnswerMs);

    const QString body = lastBody(QStringLiteral("mch_orderCount"));
    const QString nonce = nonceOf(body);
    const QString day = today("yyyyMMdd");
    const QString sign
        = md5Upper(QStringLiteral("edate=%1&nonce_str=%2&sdate=%1&status=4&store_id=%3&key=%4")
                       .arg(day, nonce, m_sid, m_key));
    QCOMPARE(body,
        QStringLiteral("{\"appid\":\"%1\",\"method\":\"mch_orderCount\",\"sign\":\"%2\",\"data\":{"
                       "\"store_id\":\"%3\",\"status\":\"4\",\"sdate\":\"%4\",\"edate\":\"%4\","
                       "\"nonce_str\":\"%5\"}}")
            .arg(m_appid, sign, m_sid, day, nonce));

    const auto amount
        = [](long long minor) { return QString::fromStdString(Amount::formatMinorUnits(minor)); };
    const long long paid = m_paid[WeChat] + m_paid[Alipay];
    const long long refundedAll = m_refunded[WeChat] + m_refunded[Alipay];
    const QStringList expected {amount(paid), amount(refundedAll), amount(paid - refundedAll),
        QString::number(m_count[WeChat] + m_count[Alipay]), amount(m_paid[WeChat]),
        amount(m_refunded[WeChat]), amount(m_paid[WeChat] - m_refunded[WeChat]),
        QString::number(m_count[WeChat]), amount(m_paid[Alipay]), amount(m_refunded[Alipay]),
        amount(m_paid[Alipay] - m_refunded[Alipay]), QString::number(m_count[Alipay])};
    QStringList shown;
    for (const QString &value : daily.figures().values)
        shown << value;
    QCOMPARE(shown, expected);

    // The grid shows them under their captions.
    const auto *grid = daily.findChild<QTableView *>(QStringLiteral("tableView_showtotal"));
    QCOMPARE(grid->model()->index(0, 0).data().toString(), QStringLiteral("交易总额"));
    QCOMPARE(grid->model()->index(1, 0).data().toString(), expected.at(0));
    QCOMPARE(grid->model()->index(1, 2).data().toString(), expected.at(2));
    QCOMPARE(grid->model()->index(5, 3).data().toString(), expected.at(11));
}

QTEST_MAIN(TestQueryWindows)
#include "TestQueryWindows.moc"
