// The single-window payment without widgets: what a confirm refuses, the form body sent to the
// trade host, and the notice each answer gives. An answer that is not JSON, or does not say how
// the payment went, is a failed request and never a paid notice.
#include "SinglePay.h"

#include <QtTest>

Q_DECLARE_METATYPE(SinglePay::Outcome)

using SinglePay::Outcome;

class TestSinglePay : public QObject
{
    Q_OBJECT

private slots:
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void formBody_data();
    void formBody();
    void answer_data();
    void answer();
};

void TestSinglePay::refusedBeforeSending_data()
{
    QTest::addColumn<QByteArray>("amount");
    QTest::addColumn<QByteArray>("payCode");
    QTest::addColumn<QString>("message"); // empty: sent

    QTest::newRow("no amount") << QByteArray() << QByteArray("134567890123456780")
                               << QStringLiteral("请输入金额!");
    QTest::newRow("amount not a plain decimal")
        << QByteArray("1e3") << QByteArray("1345") << QStringLiteral("请输入金额!");
    QTest::newRow("three decimals")
        << QByteArray("1.005") << QByteArray("1345") << QStringLiteral("请输入金额!");
    QTest::newRow("no payment code")
        << QByteArray("12.5") << QByteArray() << QStringLiteral("请输入付款码!");
    QTest::newRow("both present") << QByteArray("12.5") << QByteArray("1") << QString();
}

void TestSinglePay::refusedBeforeSending()
{
    QFETCH(QByteArray, amount);
    QFETCH(QByteArray, payCode);
    QFETCH(QString, message);

    const std::optional<SinglePay::Notice> notice
        = SinglePay::check(amount.toStdString(), payCode.toStdString());
    QCOMPARE(notice.has_value(), !message.isEmpty());
    if (notice) {
        QCOMPARE(notice->title, QStringLiteral("支付失败"));
        QCOMPARE(notice->message, message);
        QCOMPARE(notice->seconds, 1);
    }
}

void TestSinglePay::formBody_data()
{
    QTest::addColumn<QByteArray>("login");
    QTest::addColumn<QByteArray>("amount");
    QTest::addColumn<QByteArray>("payCode");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("12.5 as 12.50")
        << QByteArray("13800000000") << QByteArray("12.5") << QByteArray("134567890123456780")
        << QByteArray("loginName=13800000000&orderMoney=12.50"
                      "&authCode=134567890123456780&payType=0");
    QTest::newRow("whole amount") << QByteArray("13800000000") << QByteArray("10000")
                                  << QByteArray("2812345678901230")
                                  << QByteArray("loginName=13800000000&orderMoney=10000.00"
                                                "&authCode=2812345678901230&payType=0");
    QTest::newRow("values cannot add fields")
        << QByteArray("a&b=c") << QByteArray("1.") << QByteArray("13 45&payType=9\xe6\x94\xaf")
        << QByteArray("loginName=a%26b%3Dc&orderMoney=1.00"
                      "&authCode=13%2045%26payType%3D9%E6%94%AF&payType=0");
}

void TestSinglePay::formBody()
{
    QFETCH(QByteArray, login);
    QFETCH(QByteArray, amount);
    QFETCH(QByteArray, payCode);
    QFETCH(QByteArray, body);

    const std::optional<std::string> built
        = SinglePay::body(login.toStdString(), amount.toStdString(), payCode.toStdString());
    QVERIFY(built);
    QCOMPARE(QByteArray::fromStdString(*built), body);
}

void TestSinglePay::answer_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("seconds");

    const auto reply = [](const char *payStatus, const char *payType) {
        return QByteArray(
                   R"({"success":"true","message":"ok","data":{"orderNo":"202405061230450000001",)"
                   R"("payTimeString":"2024-05-06 12:30:45","payStatus":")")
            + payStatus + R"(","orderStatus":"1","errMsg":"","clerkname":"张晓明",)"
            + R"("orderMoney":"12.50","payMoney":"12.50","payType":")" + payType
            + R"(","merName":"演示商户"}})";
    };
    const QString failed = QStringLiteral("支付失败");
    const QString network = QStringLiteral("请求失败！请检查网络");

    QTest::newRow("paid by wechat")
        << reply("支付成功", "2") << Outcome::Paid << QStringLiteral("支付成功！")
        << QStringLiteral("支付方式：微信   支付金额：12.50") << 3;
    QTest::newRow("paid by alipay")
        << reply("支付成功", "1") << Outcome::Paid << QStringLiteral("支付成功！")
        << QStringLiteral("支付方式：支付宝   支付金额：12.50") << 3;
    QTest::newRow("smart scan") << reply("支付成功", "0") << Outcome::Paid
                                << QStringLiteral("支付成功！")
                                << QStringLiteral("支付方式：智能扫码   支付金额：12.50") << 3;
    QTest::newRow("pending counts as paid, unknown type has no name")
        << reply("等待支付", "7") << Outcome::Paid << QStringLiteral("支付成功！")
        << QStringLiteral("支付方式：   支付金额：12.50") << 3;
    QTest::newRow("refused") << reply("支付失败", "2") << Outcome::Refused << QStringLiteral("提示")
                             << failed << 1;
    QTest::newRow("no answer") << QByteArray() << Outcome::RequestFailed << failed << network << 1;
    QTest::newRow("not JSON") << QByteArray("<html>busy</html>") << Outcome::RequestFailed << failed
                              << network << 1;
    QTest::newRow("truncated") << reply("支付成功", "2").left(60) << Outcome::RequestFailed
                               << failed << network << 1;
    QTest::newRow("a list") << QByteArray("[1,2]") << Outcome::RequestFailed << failed << network
                            << 1;
    QTest::newRow("no data") << QByteArray(R"({"success":"false","message":"系统错误"})")
                             << Outcome::RequestFailed << failed << network << 1;
    QTest::newRow("pay status an object")
        << QByteArray(R"({"success":"true","message":"","data":{"payStatus":{"a":"b"}}})")
        << Outcome::RequestFailed << failed << network << 1;
    QTest::newRow("nested too deep")
        << QByteArray(R"({"data":)") + QByteArray(5000, '[') + QByteArray(5000, ']') + "}"
        << Outcome::RequestFailed << failed << network << 1;
}

void TestSinglePay::answer()
{
    QFETCH(QByteArray, reply);
    QFETCH(Outcome, outcome);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QFETCH(int, seconds);

    const SinglePay::Decision decision = SinglePay::decide(reply.toStdString());
    QCOMPARE(decision.outcome, outcome);
    QCOMPARE(decision.notice.title, title);
    QCOMPARE(decision.notice.message, message);
    QCOMPARE(decision.notice.seconds, seconds);
}

QTEST_APPLESS_MAIN(TestSinglePay)
#include "TestSinglePay.moc"
