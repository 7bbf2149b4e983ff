// The single-window form, typed on its own keypad, against the sandbox's trade host over real
// HTTPS: what a confirm refuses, the form body byte for byte, and the notice of each answer. An
// answer that is not JSON, or does not say how the payment went, is a failed request and never
// a paid notice; only an answer that says paid is a success. A second confirm while a request
// runs sends nothing, and an answer leaves alone what was typed, or sent by the customer display
// (a socat pty pair read by the floating icon), while it ran.
#include "MessageBoxWin.h"
#include "NoteWin.h"
#include "PayWin.h"
#include "PtyPair.h"
#include "RetryQuestion.h"
#include "GatewayClientFixture.h"
#include "HandOffWait.h"
#include "InputCode.h"
#include "LedgerStore.h"
#include "ShowWin.h"
#include "SinglePay.h"
#include "SingleWin.h"

#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestSingleWinPayments : public QObject, GatewayClientFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void answer_data();
    void answer();
    void secondConfirmWhileOneRunsSendsNothing();
    void sameAmountAfterALostAnswerAsksFirst();
    void answerKeepsNewerInput_data();
    void answerKeepsNewerInput();
    void valuesCannotAddFields();

private:
    // The form on its own, or the one the floating icon opened.
    SingleWin *form() const { return m_icon ? m_icon->payWin()->singleWin() : m_win.get(); }
    QLineEdit *field(const char *name) const { return form()->findChild<QLineEdit *>(name); }
    QString label(const char *name) const
    {
        return form()->notice()->findChild<QLabel *>(QLatin1String(name))->text();
    }
    QList<QJsonObject> tradeRequests() const;
    // The payment ledger's row `id`: its state, then its order number when it holds one (21
    // digits written as N); empty when there is no such row.
    static QString ledgerLine(long long id);
    // Focuses the field and presses the keypad's keys for `keys` ("00" is one key).
    void keyIn(const char *name, const QString &keys);
    void press(const QString &key) const
    {
        form()->findChild<QPushButton *>(QStringLiteral("pushButton_") + key)->click();
    }

    std::unique_ptr<SingleWin> m_win;
    std::unique_ptr<ShowWin> m_icon;
};

void TestSingleWinPayments::initTestCase()
{
    QVERIFY(startGateway());
}

void TestSingleWinPayments::init()
{
    QVERIFY(newHome());
    QVERIFY(LedgerStore::shared().openDefault());
    m_win = std::make_unique<SingleWin>();
    m_win->setClerkTel("13800000000");
    m_win->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
    m_win->activateWindow();
}

void TestSingleWinPayments::cleanup()
{
    m_icon.reset();
    m_win.reset();
    LedgerStore::shared().close();
    endTest();
}

QList<QJsonObject> TestSingleWinPayments::tradeRequests() const
{
    QList<QJsonObject> found;
    for (const QJsonObject &entry : m_sandbox.journal()) {
        if (entry.value("path").toString() == QLatin1String("/papi/api/createApp.html"))
            found.append(entry);
    }
    return found;
}

QString TestSingleWinPayments::ledgerLine(long long id)
{
    const LedgerRow row = LedgerStore::shared().row(id);
    const std::string number = row.outTradeNo.empty() ? std::string() : ' ' + row.outTradeNo;
    return QString::fromStdString(row.state + number)
        .replace(QRegularExpression(QStringLiteral("\\d{21}")), QStringLiteral("N"));
}

void TestSingleWinPayments::keyIn(const char *name, const QString &keys)
{
    field(name)->setFocus();
    QTRY_VERIFY(field(name)->hasFocus());
    for (int i = 0; i < keys.size(); ++i) {
        if (keys.mid(i, 2) == QLatin1String("00")) {
            press(QStringLiteral("input00"));
            ++i;
        } else {
            press(keys[i] == '.' ? QStringLiteral("inputdot") : QStringLiteral("input") + keys[i]);
        }
    }
}

void TestSingleWinPayments::answer_data()
{
    QTest::addColumn<QByteArray>("fault"); // the sandbox's, or empty
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("payCode");
    QTest::addColumn<QString>("orderMoney"); // in the body; empty: nothing is sent
    QTest::addColumn<QString>("notice"); // title|message, an order number written as N
    QTest::addColumn<int>("seconds"); // until the notice goes by itself; 0: until it is closed
    QTest::addColumn<QString>("ledger"); // the ledger's row, as ledgerLine() writes it
    const auto row = [](const char *name, const QByteArray &fault, const char *amount,
                         const char *payCode, const char *orderMoney, const char *notice,
                         int seconds, const char *ledger) {
        QTest::newRow(name) << fault << QString(amount) << QString(payCode) << QString(orderMoney)
                            << QString(notice) << seconds << QString(ledger);
    };
    // The sandbox answers with `reply` instead.
    const auto answer = [](const QByteArray &reply) {
        return QJsonDocument(QJsonObject {{"kind", "body"}, {"body", QString::fromUtf8(reply)}})
            .toJson(QJsonDocument::Compact);
    };
    const QByteArray smartScan(R"({"success":"true","message":"ok","data":{"orderNo":"1",)"
                               R"("payTimeString":"","payStatus":"支付成功","orderStatus":"1",)"
                               R"("errMsg":"","clerkname":"","orderMoney":"12.50",)"
                               R"("payMoney":"12.50","payType":"0","merName":""}})");
    const char *wechat = "134567890123456780";
    // No usable answer: the gateway may have taken the money all the same.
    const char *failed = "支付失败|请求失败！请检查网络\n支付结果未知，系统将自动核实";

    row("paid by wechat", {}, "12.5", wechat, "12.50",
        "支付成功！|支付方式：微信   支付金额：12.50", 3, "paid N");
    row("paid by alipay", {}, "800", "2812345678901231", "800.00",
        "支付成功！|支付方式：支付宝   支付金额：800.00", 3, "paid N");
    row("paid by smart scan", answer(smartScan), "12.5", wechat, "12.50",
        "支付成功！|支付方式：智能扫码   支付金额：12.50", 3, "paid 1");
    const char *paidBySmartScan = "支付成功！|支付方式：智能扫码   支付金额：12.50";
    row("paid, an unrelated field of another shape",
        answer(QByteArray(smartScan).replace(R"("errMsg":"")", R"("errMsg":{"a":["b"]})")), "12.5",
        wechat, "12.50", paidBySmartScan, 3, "paid 1");
    row("paid, no success and no message",
        answer(QByteArray(smartScan).replace(R"("success":"true","message":"ok",)", "")), "12.5",
        wechat, "12.50", paidBySmartScan, 3, "paid 1");
    row("paid, method and amount not given",
        answer(QByteArray(smartScan)
                   .replace(R"("payMoney":"12.50")", R"("payMoney":"")")
                   .replace(R"("payType":"0")", R"("payType":"7")")),
        "12.5", wechat, "12.50", "支付成功！|支付方式：   支付金额：", 3, "paid 1");
    const char *pending
        = "支付结果未知|顾客可能仍在支付，支付结果尚未确定，请在订单查询中核实\n订单号：N";
    row("pending is not known yet", {}, "3.2", "134567890123456786", "3.20", pending, 0,
        "unresolved N");
    // Followed up by its order number, whatever the status that is neither paid nor refused.
    row("pending, another status",
        answer(R"({"success":"true","data":{"orderNo":"202612071015000000001",)"
               R"("payStatus":"用户支付中","payMoney":"0.00","payType":"2"}})"),
        "12.5", wechat, "12.50", pending, 0, "unresolved N");
    // The notice says the pay status; the gateway's reason is for the ledger.
    row("refused by the wallet", {}, "12.5", "134567890123456789", "12.50", "提示|支付失败", 1,
        "refused");
    row("refused without a reason",
        answer(R"({"success":"false","data":{"payStatus":"支付失败","payMoney":"0.00"}})"), "12.5",
        wechat, "12.50", "提示|支付失败", 1, "refused");
    row("no amount", {}, "", wechat, "", "支付失败|请输入金额!", 1, "");
    row("no payment code", {}, "12.5", "", "", "支付失败|请输入付款码!", 1, "");
    row("not JSON", R"({"kind":"invalid_json"})", "12.5", wechat, "12.50", failed, 0, "unresolved");
    row("HTTP 500", R"({"kind":"status","status":500})", "12.5", wechat, "12.50", failed, 0,
        "unresolved");
    row("dropped", R"({"kind":"drop"})", "12.5", wechat, "12.50", failed, 0, "unresolved");
    row("paid, the answer lost", R"({"kind":"drop_reply"})", "12.5", wechat, "12.50", failed, 0,
        "unresolved");
    row("truncated", answer(smartScan.left(60)), "12.5", wechat, "12.50", failed, 0, "unresolved");
    row("a list", answer("[1,2]"), "12.5", wechat, "12.50", failed, 0, "unresolved");
    row("no data", answer(R"({"success":"false","message":"系统错误"})"), "12.5", wechat, "12.50",
        failed, 0, "unresolved");
    row("pay status an object", answer(R"({"success":"true","data":{"payStatus":{"a":"b"}}})"),
        "12.5", wechat, "12.50", failed, 0, "unresolved");
    row("nested too deep",
        R"({"kind":"body","prefix":"{\"data\":","body":"[","repeat":100000,"suffix":"}"})", "12.5",
        wechat, "12.50", failed, 0, "unresolved");
}

void TestSingleWinPayments::answer()
{
    QFETCH(QByteArray, fault);
    QFETCH(QString, amount);
    QFETCH(QString, payCode);
    QFETCH(QString, orderMoney);
    QFETCH(QString, notice);
    QFETCH(int, seconds);
    QFETCH(QString, ledger);

    if (!fault.isEmpty())
        QVERIFY(m_sandbox.injectFault(fault));
    const int before = tradeRequests().size();
    keyIn("lineEdit_money", amount);
    keyIn("lineEdit_paycode", payCode);
    press(QStringLiteral("yes"));
    TRY_VERIFY_HANDED_OFF(form()->notice()->isVisible(), 15000);
    QCOMPARE(QString(label("label_note") + '|' + label("label_message"))
                 .replace(QRegularExpression(QStringLiteral("\\d{21}")), QStringLiteral("N")),
        notice);
    const QTimer *autoHide = form()->notice()->findChild<QTimer *>(QStringLiteral("autoHideTimer"));
    QCOMPARE(autoHide->isActive() ? autoHide->interval() / 1000 : 0, seconds);
    // Only a paid notice clears the amount; the code that went is never left to go again.
    QCOMPARE(field("lineEdit_money")->text(),
        ledger.startsWith(QLatin1String("paid")) ? QString() : amount);
    QVERIFY(field("lineEdit_paycode")->text().isEmpty());

    // On record under the logged-in store, with the wallet of its code.
    QCOMPARE(ledgerLine(1), ledger);
    if (!ledger.isEmpty()) {
        const LedgerRow row = LedgerStore::shared().row(1);
        QCOMPARE(QString::fromStdString(row.sid), m_sid);
        QCOMPARE(row.wallet, InputCode::wallet(payCode.toStdString()));
    }

    const QList<QJsonObject> sent = tradeRequests();
    QCOMPARE(sent.size(), before + (orderMoney.isEmpty() ? 0 : 1));
    if (!orderMoney.isEmpty()) {
        QCOMPARE(sent.last().value("body").toString(),
            "loginName=13800000000&orderMoney=" + orderMoney + "&authCode=" + payCode
                + "&payType=0");
        QVERIFY(!sent.last()["headers"].toObject()["Content-Type"].toString().contains("json"));
    }
}

void TestSingleWinPayments::secondConfirmWhileOneRunsSendsNothing()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500})"));
    const int before = tradeRequests().size();
    keyIn("lineEdit_money", QStringLiteral("5"));
    keyIn("lineEdit_paycode", QStringLiteral("134567890123456781"));
    press(QStringLiteral("yes"));
    QTest::keyClick(field("lineEdit_paycode"), Qt::Key_Return);
    press(QStringLiteral("yes"));
    // The form's message line says why those did nothing, until the answer is in.
    const QLabel *running = form()->findChild<QLabel *>(QStringLiteral("label_paymessage"));
    QVERIFY(!running->text().isEmpty());
    TRY_VERIFY_HANDED_OFF(form()->notice()->isVisible(), 15000);
    QVERIFY(running->text().isEmpty());
    QCOMPARE(tradeRequests().size(), before + 1);
    QCOMPARE(label("label_note"), QStringLiteral("支付成功！"));
}

void TestSingleWinPayments::sameAmountAfterALostAnswerAsksFirst()
{
    // The answer is lost: the customer may have paid 15.60.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"drop_reply"})"));
    keyIn("lineEdit_money", QStringLiteral("15.60"));
    keyIn("lineEdit_paycode", QStringLiteral("134567890123456780"));
    press(QStringLiteral("yes"));
    TRY_VERIFY_HANDED_OFF(!form()->paying() && form()->notice()->isVisible(), 15000);
    QCOMPARE(ledgerLine(1), QStringLiteral("unresolved"));
    QCOMPARE(field("lineEdit_money")->text(), QStringLiteral("15.60"));
    QVERIFY(field("lineEdit_paycode")->text().isEmpty());
    const int before = tradeRequests().size();

    // The same amount with the customer's next code is asked about first; 取消 keeps the fields.
    form()->notice()->findChild<QPushButton *>(QStringLiteral("pushButton_yes2"))->click();
    form()->activateWindow();
    const QString next = QStringLiteral("134567890123456781");
    keyIn("lineEdit_paycode", next);
    press(QStringLiteral("yes"));
    NoteWin *question = form()->retryQuestion()->prompt();
    QVERIFY(question->isVisible());
    QVERIFY(!form()->paying());
    question->OnBtnNo();
    QCOMPARE(field("lineEdit_money")->text(), QStringLiteral("15.60"));
    QCOMPARE(field("lineEdit_paycode")->text(), next);
    press(QStringLiteral("yes"));
    QVERIFY(question->isVisible());
    QCOMPARE(tradeRequests().size(), before);

    // 确定: it goes, once.
    question->OnBtnYes();
    TRY_VERIFY_HANDED_OFF(!form()->paying() && form()->notice()->isVisible(), 15000);
    const QList<QJsonObject> sent = tradeRequests();
    QCOMPARE(sent.size(), before + 1);
    QVERIFY(sent.last().value("body").toString().contains("orderMoney=15.60&authCode=" + next));
    QCOMPARE(ledgerLine(2), QStringLiteral("paid N"));
}

void TestSingleWinPayments::answerKeepsNewerInput_data()
{
    QTest::addColumn<QString>("payCode");
    QTest::addColumn<QString>("display"); // sent by the customer display meanwhile, or empty
    QTest::addColumn<QString>("nextCode"); // typed meanwhile, or empty
    QTest::addColumn<QString>("amountAfter");
    QTest::addColumn<QString>("payCodeAfter");

    const QString paid = QStringLiteral("134567890123456781");
    const QString next = QStringLiteral("2812345678901230");
    QTest::newRow("paid, the display sends 20") << paid << "20" << QString() << "20" << QString();
    QTest::newRow("paid, the next customer's code")
        << paid << QString() << next << QString() << next;
    QTest::newRow("paid, both") << paid << "20" << next << "20" << next;
    QTest::newRow("refused, the next customer's code")
        << QStringLiteral("134567890123456789") << QString() << next << "5" << next;
}

void TestSingleWinPayments::answerKeepsNewerInput()
{
    QFETCH(QString, payCode);
    QFETCH(QString, display);
    QFETCH(QString, nextCode);
    QFETCH(QString, amountAfter);
    QFETCH(QString, payCodeAfter);

    // The form as a till has it: opened from the floating icon, which reads the display.
    PtyPair pole(m_home->path(), QStringLiteral("pole"));
    QVERIFY(pole.start());
    QVERIFY(m_sandbox.writeClientConfig(m_home->path(),
        {"[MULTIWINDOW_SHOW]", "multiwindow_show=1", "[SUSPENDWINDOW_SHOW]", "suspendwindow_show=1",
            "[COLLECTMETHOD]", "collectmethod=" + pole.portA()}));
    m_win.reset();
    m_icon = std::make_unique<ShowWin>();
    QVERIFY(m_icon->displayReaderRunning());
    m_icon->findChild<QPushButton *>(QStringLiteral("pushButton_showwindow"))->click();
    form()->setClerkTel("13800000000");
    QVERIFY(QTest::qWaitForWindowExposed(form()));

    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500})"));
    keyIn("lineEdit_money", QStringLiteral("5"));
    keyIn("lineEdit_paycode", payCode);
    press(QStringLiteral("yes"));
    QVERIFY(form()->paying());
    if (!display.isEmpty()) {
        QVERIFY(pole.send("\x0c\x1bQA" + display.toLatin1() + "\r"));
        QTRY_COMPARE(field("lineEdit_money")->text(), display);
    }
    if (!nextCode.isEmpty()) {
        field("lineEdit_paycode")->selectAll();
        QTest::keyClicks(field("lineEdit_paycode"), nextCode);
        QCOMPARE(field("lineEdit_paycode")->text(), nextCode);
    }
    QVERIFY(form()->paying());
    TRY_VERIFY_HANDED_OFF(form()->notice()->isVisible(), 15000);
    QCOMPARE(field("lineEdit_money")->text(), amountAfter);
    QCOMPARE(field("lineEdit_paycode")->text(), payCodeAfter);
    const QList<QJsonObject> sent = tradeRequests();
    QVERIFY(sent.last().value("body").toString().contains("orderMoney=5.00&authCode=" + payCode));
    m_icon.reset(); // the display reader ends before its line goes
}

void TestSingleWinPayments::valuesCannotAddFields()
{
    const std::optional<std::string> body
        = SinglePay::body("a&b=c", "1.", "13 45&payType=9\xe6\x94\xaf");
    QVERIFY(body);
    QCOMPARE(QByteArray::fromStdString(*body),
        QByteArray("loginName=a%26b%3Dc&orderMoney=1.00&authCode=13%2045%26payType%3D9%E6%94%AF"
                   "&payType=0"));
}

QTEST_MAIN(TestSingleWinPayments)
#include "TestSingleWinPayments.moc"
