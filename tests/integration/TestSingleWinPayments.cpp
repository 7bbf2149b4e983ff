// The single-window form against the sandbox's trade host over real HTTPS: the form body byte
// for byte, and the notice of a paid, pending, refused, failed or hostile answer. The request
// runs beside the window, and a second confirm while it runs sends nothing.
#include "MessageBoxWin.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "SingleWin.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString kPath = QStringLiteral("/papi/api/createApp.html");

} // namespace

class TestSingleWinPayments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void answer_data();
    void answer();
    void hostileAnswerIsAFailedRequest_data();
    void hostileAnswerIsAFailedRequest();
    void secondConfirmWhileOneRunsSendsNothing();

private:
    QLineEdit *field(const char *name) const;
    QString noticeText(const char *name) const;
    QList<QJsonObject> tradeRequests() const;
    void confirm(const QString &amount, const QString &payCode);

    SandboxProcess m_sandbox;
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<SingleWin> m_win;
};

void TestSingleWinPayments::initTestCase()
{
    Resources::initialise();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    QVERIFY(m_sandbox.start());
}

void TestSingleWinPayments::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_sandbox.writeClientConfig(m_home->path()));
    m_win = std::make_unique<SingleWin>();
    m_win->setClerkTel("13800000000");
    m_win->show();
}

void TestSingleWinPayments::cleanup()
{
    m_win.reset();
    m_home.reset();
    m_sandbox.injectFault(R"({"kind":"clear"})");
}

QLineEdit *TestSingleWinPayments::field(const char *name) const
{
    return m_win->findChild<QLineEdit *>(QLatin1String(name));
}

QString TestSingleWinPayments::noticeText(const char *name) const
{
    const auto *label = m_win->notice()->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QString();
}

QList<QJsonObject> TestSingleWinPayments::tradeRequests() const
{
    QList<QJsonObject> found;
    for (const QJsonObject &entry : m_sandbox.journal()) {
        if (entry.value("path").toString() == kPath)
            found.append(entry);
    }
    return found;
}

void TestSingleWinPayments::confirm(const QString &amount, const QString &payCode)
{
    field("lineEdit_money")->setText(amount);
    field("lineEdit_paycode")->setText(payCode);
    m_win->findChild<QPushButton *>(QStringLiteral("pushButton_yes"))->click();
}

void TestSingleWinPayments::answer_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("payCode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("amountKept");
    QTest::addColumn<int>("shownMs");

    QTest::newRow("paid by wechat") << "12.5"
                                    << "134567890123456780"
                                    << "支付成功！"
                                    << "支付方式：微信   支付金额：12.50" << false << 3000;
    QTest::newRow("paid by alipay") << "8"
                                    << "2812345678901231"
                                    << "支付成功！"
                                    << "支付方式：支付宝   支付金额：8.00" << false << 3000;
    QTest::newRow("pending counts as paid") << "3.2"
                                            << "134567890123456786"
                                            << "支付成功！"
                                            << "支付方式：微信   支付金额：0.00" << false << 3000;
    QTest::newRow("refused by the wallet") << "12.5"
                                           << "134567890123456789"
                                           << "提示"
                                           << "支付失败" << true << 1000;
}

void TestSingleWinPayments::answer()
{
    QFETCH(QString, amount);
    QFETCH(QString, payCode);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QFETCH(bool, amountKept);
    QFETCH(int, shownMs);

    const int before = tradeRequests().size();
    QElapsedTimer clock;
    clock.start();
    confirm(amount, payCode);
    QVERIFY(m_win->paying());
    QTRY_VERIFY_WITH_TIMEOUT(m_win->notice()->isVisible(), 15000);
    qInfo("single-window answer shown after %lld ms", clock.elapsed());
    QCOMPARE(noticeText("label_note"), title);
    QCOMPARE(noticeText("label_message"), message);
    QCOMPARE(field("lineEdit_money")->text(), amountKept ? amount : QString());
    QVERIFY(field("lineEdit_paycode")->text().isEmpty());

    const QList<QJsonObject> sent = tradeRequests();
    QCOMPARE(sent.size(), before + 1);
    const QString money = amount.contains('.') ? amount.leftJustified(amount.indexOf('.') + 3, '0')
                                               : amount + QStringLiteral(".00");
    QCOMPARE(sent.last().value("body").toString(),
        "loginName=13800000000&orderMoney=" + money + "&authCode=" + payCode + "&payType=0");
    QVERIFY(
        !sent.last().value("headers").toObject().value("Content-Type").toString().contains("json"));

    // The notice goes by itself.
    clock.restart();
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->notice()->isVisible(), shownMs + 3000);
    QVERIFY2(clock.elapsed() >= shownMs - 200, qPrintable(QString::number(clock.elapsed())));
}

void TestSingleWinPayments::hostileAnswerIsAFailedRequest_data()
{
    QTest::addColumn<QByteArray>("fault");

    QTest::newRow("not JSON") << QByteArray(R"({"kind":"invalid_json"})");
    QTest::newRow("HTTP 500") << QByteArray(R"({"kind":"status","status":500})");
    QTest::newRow("dropped") << QByteArray(R"({"kind":"drop"})");
    QTest::newRow("no pay status")
        << QByteArray(R"({"kind":"body","body":"{\"success\":\"true\"}"})");
    QTest::newRow("pay status a list") << QByteArray(
        R"({"kind":"body","body":"{\"success\":\"true\",\"message\":\"\",\"data\":{\"orderNo\":\"1\",\"payTimeString\":\"\",\"payStatus\":[1]}}"})");
    QTest::newRow("deeply nested") << QByteArray(
        R"({"kind":"body","prefix":"{\"data\":","body":"[","repeat":100000,"suffix":"}"})");
}

void TestSingleWinPayments::hostileAnswerIsAFailedRequest()
{
    QFETCH(QByteArray, fault);
    QVERIFY(m_sandbox.injectFault(fault));

    confirm(QStringLiteral("12.5"), QStringLiteral("134567890123456780"));
    QTRY_VERIFY_WITH_TIMEOUT(m_win->notice()->isVisible(), 15000);
    QCOMPARE(noticeText("label_note"), QStringLiteral("支付失败"));
    QCOMPARE(noticeText("label_message"), QStringLiteral("请求失败！请检查网络"));
    QCOMPARE(field("lineEdit_money")->text(), QStringLiteral("12.5"));
    QVERIFY(field("lineEdit_paycode")->text().isEmpty());
}

void TestSingleWinPayments::secondConfirmWhileOneRunsSendsNothing()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500})"));
    const int before = tradeRequests().size();
    confirm(QStringLiteral("5"), QStringLiteral("134567890123456781"));
    QVERIFY(m_win->paying());
    // The window still answers while the request runs; the second confirm is refused.
    QLineEdit *code = field("lineEdit_paycode");
    QTest::keyClick(code, Qt::Key_Return);
    m_win->findChild<QPushButton *>(QStringLiteral("pushButton_yes"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(m_win->notice()->isVisible(), 15000);
    QVERIFY(!m_win->paying());
    QCOMPARE(tradeRequests().size(), before + 1);
    QCOMPARE(noticeText("label_note"), QStringLiteral("支付成功！"));
}

QTEST_MAIN(TestSingleWinPayments)
#include "TestSingleWinPayments.moc"
