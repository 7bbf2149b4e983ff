#include "CurrentOrder.h"
#include "PayTransaction.h"

#include <QCryptographicHash>
#include <QTextCodec>
#include <QtTest>

#include <optional>
#include <string>

using PayTransaction::PayOutcome;
using PayTransaction::StatusOutcome;

Q_DECLARE_METATYPE(PayOutcome)
Q_DECLARE_METATYPE(StatusOutcome)

// Names for failure messages, found by QtTest through argument-dependent lookup.
namespace PayTransaction {

char *toString(PayOutcome outcome)
{
    static const char *const names[]
        = {"RequestFailed", "Refused", "Failed", "FailedKeepFields", "Unknown", "Pending", "Paid"};
    return qstrdup(names[static_cast<int>(outcome)]);
}

char *toString(StatusOutcome outcome)
{
    static const char *const names[] = {"Paid", "Failed", "Continue"};
    return qstrdup(names[static_cast<int>(outcome)]);
}

} // namespace PayTransaction

namespace {

const QByteArray kWeChatCode = "134567890123456780"; // 18 digits
const QByteArray kSixteen = "2845678901234561"; // 16 digits
const QByteArray kFifteen = "284567890123456"; // 15 digits

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

QString w(const std::wstring &text)
{
    return QString::fromStdWString(text);
}

QByteArray upperMd5(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex().toUpper();
}

// A pay answer of the gateway with code "100" and the given data members.
QByteArray payAnswer(const QByteArray &data)
{
    return "{\"code\":\"100\",\"msg\":\"ok\",\"data\":{" + data + "}}";
}

} // namespace

class TestPayTransaction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void validation_data();
    void validation();

    void payRequestBytes_data();
    void payRequestBytes();
    void payRequestEscapesTheBodyButSignsTheRawCode();
    void payRequestRefusesAmountsThatAreNotPlainDecimals_data();
    void payRequestRefusesAmountsThatAreNotPlainDecimals();
    void statusRequestBytes();

    void payAnswerOutcome_data();
    void payAnswerOutcome();
    void paidAnswerFillsTheOrder();
    void paidAnswerWithoutPayTimeStopsTheReading();
    void paidAnswerWithoutOrderNumberStopsTheReading();
    void refusedAnswerKeepsItsMessage();

    void statusAnswerOutcome_data();
    void statusAnswerOutcome();
    void paidStatusAnswerFillsTheOrder();
    void wronglyShapedStatusAnswerChangesNothing();

    void receiptOfDirectSuccess();
    void receiptOfPolledSuccess();

    void amountFromGateway_data();
    void amountFromGateway();
};

void TestPayTransaction::initTestCase()
{
    // The till's local code page, whatever the locale of the test run.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

void TestPayTransaction::validation_data()
{
    QTest::addColumn<QByteArray>("amount");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("message"); // empty: the confirm goes on
    QTest::addColumn<QByteArray>("logLine");

    const QString amountEmpty = QStringLiteral("未输入金额！");
    const QString amountBad = QStringLiteral("最低输入金额为:1000");
    const QString codeEmpty = QStringLiteral("未输入付款码！");
    const QString codeShort = QStringLiteral("支付码不少于16位");
    const QByteArray logAmountEmpty = "OnInputYes ui.lineEdit_paycode->hasFocus()";
    const QByteArray logAmountBad = "OnInputYes money.toFloat()<0";
    const QByteArray logCodeEmpty = "OnInputYes m_noteDlg->show();";
    const QByteArray logCodeShort = "OnInputYes m_noteDlg->show()2;";

    QTest::newRow("empty amount comes first, even with an empty code")
        << QByteArray() << QByteArray() << 1 << amountEmpty << logAmountEmpty;
    QTest::newRow("empty amount with a code")
        << QByteArray() << kWeChatCode << 1 << amountEmpty << logAmountEmpty;
    QTest::newRow("negative amount")
        << QByteArray("-5") << kWeChatCode << 1 << amountBad << logAmountBad;
    QTest::newRow("letters") << QByteArray("abc") << kWeChatCode << 1 << amountBad << logAmountBad;
    QTest::newRow("three decimals")
        << QByteArray("12.345") << kWeChatCode << 1 << amountBad << logAmountBad;
    QTest::newRow("exponent") << QByteArray("1e5") << kWeChatCode << 1 << amountBad << logAmountBad;
    QTest::newRow("bad amount comes before an empty code")
        << QByteArray("-5") << QByteArray() << 1 << amountBad << logAmountBad;
    QTest::newRow("empty code") << QByteArray("12.5") << QByteArray() << 1 << codeEmpty
                                << logCodeEmpty;
    QTest::newRow("code of 15 characters")
        << QByteArray("12.5") << kFifteen << 1 << codeShort << logCodeShort;
    QTest::newRow("code of one character")
        << QByteArray("12.5") << QByteArray("1") << 1 << codeShort << logCodeShort;
    QTest::newRow("code of 6 full-width digits, 18 bytes")
        << QByteArray("12.5") << QStringLiteral("１２３４５６").toUtf8() << 1 << codeShort
        << logCodeShort;
    QTest::newRow("code of 16 characters")
        << QByteArray("12.5") << kSixteen << 1 << QString() << QByteArray();
    QTest::newRow("amount 0 is allowed")
        << QByteArray("0") << kWeChatCode << 1 << QString() << QByteArray();
    QTest::newRow("two decimals") << QByteArray("0.07") << kWeChatCode << 1 << QString()
                                  << QByteArray();
    QTest::newRow("english: empty amount") << QByteArray() << QByteArray() << 2
                                           << QStringLiteral("Uninput amount！") << logAmountEmpty;
    QTest::newRow("english: short code")
        << QByteArray("1") << kFifteen << 2 << QStringLiteral("Payment code no less than 16 bits")
        << logCodeShort;
}

void TestPayTransaction::validation()
{
    QFETCH(QByteArray, amount);
    QFETCH(QByteArray, code);
    QFETCH(int, language);
    QFETCH(QString, message);
    QFETCH(QByteArray, logLine);

    const std::optional<PayTransaction::ValidationFailure> failure
        = PayTransaction::validate(amount.toStdString(), code.toStdString(), language);
    if (message.isEmpty()) {
        QVERIFY2(!failure, qPrintable(failure ? failure->message : QString()));
        return;
    }
    QVERIFY2(failure, qPrintable(QStringLiteral("accepted; expected the message ") + message));
    QCOMPARE(failure->message, message);
    QCOMPARE(QByteArray(failure->logLine), logLine);
}

void TestPayTransaction::payRequestBytes_data()
{
    QTest::addColumn<QByteArray>("amount");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("total");

    QTest::newRow("ten thousand, no exponent")
        << QByteArray("10000") << kWeChatCode << QByteArray("1000000");
    QTest::newRow("seven significant digits")
        << QByteArray("12345.67") << kSixteen << QByteArray("1234567");
    QTest::newRow("one decimal") << QByteArray("12.5") << kWeChatCode << QByteArray("1250");
    QTest::newRow("cents only") << QByteArray("0.07") << kWeChatCode << QByteArray("7");
    QTest::newRow("zero") << QByteArray("0") << kWeChatCode << QByteArray("0");
    QTest::newRow("large integer")
        << QByteArray("123456789012.34") << kWeChatCode << QByteArray("12345678901234");
}

void TestPayTransaction::payRequestBytes()
{
    QFETCH(QByteArray, amount);
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, total);
    const QByteArray appid = "tp0123456789abcdef";
    const QByteArray sid = "1001";
    const QByteArray key = "0123456789abcdef0123456789ABCDEF";

    const std::optional<PayTransaction::Request> request
        = PayTransaction::payRequest(amount.toStdString(), code.toStdString(), appid.toStdString(),
            sid.toStdString(), key.toStdString());
    QVERIFY(request);

    const QByteArray signString = "authCode=" + code + "&nonce_str=7c4e19a0d2f6b&store_id=" + sid
        + "&total=" + total + "&key=" + key;
    const QByteArray sign = upperMd5(signString);
    QCOMPARE(q(request->total), total);
    QCOMPARE(q(request->signString), signString);
    QCOMPARE(q(request->sign), sign);
    QCOMPARE(q(request->body),
        "{\"appid\":\"" + appid + "\",\"method\":\"auto_pay\",\"sign\":\"" + sign
            + "\",\"data\":{\"store_id\":\"" + sid + "\",\"total\":\"" + total
            + "\",\"nonce_str\":\"7c4e19a0d2f6b\",\"authCode\":\"" + code + "\"}}");
}

void TestPayTransaction::payRequestEscapesTheBodyButSignsTheRawCode()
{
    const QByteArray code = "12345678901234\"\\6";
    const std::optional<PayTransaction::Request> request
        = PayTransaction::payRequest("1", code.toStdString(), "A", "1001", "K");
    QVERIFY(request);
    const QByteArray signString
        = "authCode=" + code + "&nonce_str=7c4e19a0d2f6b&store_id=1001&total=100&key=K";
    QCOMPARE(q(request->signString), signString);
    QCOMPARE(q(request->sign), upperMd5(signString));
    QVERIFY2(q(request->body).endsWith("\"authCode\":\"12345678901234\\\"\\\\6\"}}"),
        request->body.c_str());
}

void TestPayTransaction::payRequestRefusesAmountsThatAreNotPlainDecimals_data()
{
    QTest::addColumn<QByteArray>("amount");
    QTest::newRow("exponent") << QByteArray("1e5");
    QTest::newRow("negative") << QByteArray("-5");
    QTest::newRow("three decimals") << QByteArray("12.345");
    QTest::newRow("blank inside") << QByteArray("12 5");
    QTest::newRow("empty") << QByteArray();
}

void TestPayTransaction::payRequestRefusesAmountsThatAreNotPlainDecimals()
{
    QFETCH(QByteArray, amount);
    QVERIFY(!PayTransaction::payRequest(
        amount.toStdString(), kWeChatCode.toStdString(), "A", "1001", "K"));
}

void TestPayTransaction::statusRequestBytes()
{
    const QByteArray orderNumber = "202612071015000000042";
    const QByteArray nonce = "3141592653589793238";
    const QByteArray appid = "tp0123456789abcdef";
    const QByteArray key = "fedcba9876543210fedcba9876543210";

    const PayTransaction::Request request = PayTransaction::statusRequest(
        orderNumber.toStdString(), nonce.toStdString(), appid.toStdString(), key.toStdString());

    const QByteArray signString
        = "nonce_str=" + nonce + "&out_trade_no=" + orderNumber + "&key=" + key;
    const QByteArray sign = upperMd5(signString);
    QCOMPARE(q(request.signString), signString);
    QCOMPARE(q(request.sign), sign);
    QCOMPARE(q(request.body),
        "{\"appid\":\"" + appid + "\",\"method\":\"auto_orderQuery\",\"sign\":\"" + sign
            + "\",\"data\":{\"out_trade_no\":\"" + orderNumber + "\",\"nonce_str\":\"" + nonce
            + "\"}}");
}

void TestPayTransaction::payAnswerOutcome_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<PayOutcome>("outcome");
    QTest::addColumn<QString>("message");

    const QByteArray order = "\"out_trade_no\":\"202612071015000000001\"";
    const QByteArray paidDetails = ",\"transaction_id\":\"T1\",\"payType\":\"wx\","
                                   "\"payTime\":\"2026-12-07 10:15:00\",\"total\":\"1250\"";

    QTest::newRow("refused by the wallet")
        << QByteArray("{\"code\":\"401\",\"msg\":\"支付被拒绝\"}") << PayOutcome::Refused
        << QStringLiteral("支付被拒绝");
    QTest::newRow("refused although data says paid") << QByteArray(
        "{\"code\":\"303\",\"msg\":\"bad sign\",\"data\":{\"status\":\"1\"," + order + paidDetails
        + "}}") << PayOutcome::Refused << QStringLiteral("bad sign");
    QTest::newRow("refused without a code")
        << QByteArray("{\"msg\":\"what\"}") << PayOutcome::Refused << QString();
    QTest::newRow("status 0") << payAnswer("\"status\":\"0\"," + order) << PayOutcome::Failed
                              << QString();
    QTest::newRow("status 支付失败")
        << payAnswer("\"status\":\"支付失败\"," + order) << PayOutcome::Failed << QString();
    QTest::newRow("status 3") << payAnswer("\"status\":\"3\"," + order) << PayOutcome::Pending
                              << QString();
    QTest::newRow("status 4") << payAnswer("\"status\":\"4\"," + order)
                              << PayOutcome::FailedKeepFields << QString();
    QTest::newRow("status 1") << payAnswer("\"status\":\"1\"," + order + paidDetails)
                              << PayOutcome::Paid << QString();
    QTest::newRow("status 2") << payAnswer("\"status\":\"2\"," + order) << PayOutcome::Paid
                              << QString();
    QTest::newRow("status anything")
        << payAnswer("\"status\":\"anything\"," + order) << PayOutcome::Paid << QString();
    QTest::newRow("status 30 is not 3")
        << payAnswer("\"status\":\"30\"," + order) << PayOutcome::Paid << QString();
    // Nothing names the order: nothing can be shown paid, nor followed by its number.
    QTest::newRow("status missing") << payAnswer(order) << PayOutcome::Unknown << QString();
    QTest::newRow("data missing") << QByteArray("{\"code\":\"100\",\"msg\":\"ok\"}")
                                  << PayOutcome::Unknown << QString();
    QTest::newRow("status 3 without an order number")
        << payAnswer("\"status\":\"3\"") << PayOutcome::Unknown << QString();
    QTest::newRow("status 0 without an order number: still refused")
        << payAnswer("\"status\":\"0\"") << PayOutcome::Failed << QString();
    QTest::newRow("empty") << QByteArray() << PayOutcome::RequestFailed << QString();
    QTest::newRow("html page") << QByteArray("<html><body>502 Bad Gateway</body></html>")
                               << PayOutcome::RequestFailed << QString();
    QTest::newRow("cut short") << QByteArray("{\"code\":\"100\",\"data\":{\"status\":\"1\"")
                               << PayOutcome::RequestFailed << QString();
    // A wrongly shaped answer is no answer, never a paid one.
    QTest::newRow("code is an object")
        << QByteArray("{\"code\":{\"v\":\"100\"}}") << PayOutcome::RequestFailed << QString();
    QTest::newRow("data is a list")
        << QByteArray("{\"code\":\"100\",\"data\":[{\"status\":\"3\"}]}")
        << PayOutcome::RequestFailed << QString();
    QTest::newRow("data is a text") << QByteArray("{\"code\":\"100\",\"data\":\"paid\"}")
                                    << PayOutcome::RequestFailed << QString();
    QTest::newRow("a list of answers")
        << QByteArray("[{\"code\":\"100\"}]") << PayOutcome::RequestFailed << QString();
    QTest::newRow("null") << QByteArray("null") << PayOutcome::RequestFailed << QString();
}

void TestPayTransaction::payAnswerOutcome()
{
    QFETCH(QByteArray, reply);
    QFETCH(PayOutcome, outcome);
    QFETCH(QString, message);

    CurrentOrder order;
    const PayTransaction::PayDecision decision
        = PayTransaction::decidePayReply(reply.toStdString(), order);
    QCOMPARE(decision.outcome, outcome);
    QCOMPARE(w(decision.message), message);
}

void TestPayTransaction::paidAnswerFillsTheOrder()
{
    CurrentOrder order;
    const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(
        payAnswer("\"status\":\"1\",\"out_trade_no\":\"202612071015000000007\","
                  "\"transaction_id\":\"4200001234\",\"payType\":\"ali\","
                  "\"payTime\":\"2026-12-07 10:15:00\",\"total\":\"1234567\"")
            .toStdString(),
        order);
    QCOMPARE(decision.outcome, PayOutcome::Paid);
    QCOMPARE(w(decision.code), QStringLiteral("100"));
    QCOMPARE(w(order.status), QStringLiteral("1"));
    QCOMPARE(w(order.orderNumber), QStringLiteral("202612071015000000007"));
    QCOMPARE(w(order.payType), QStringLiteral("ali"));
    QCOMPARE(w(order.payTime), QStringLiteral("2026-12-07 10:15:00"));
    QCOMPARE(w(order.amountA), QStringLiteral("12345.67"));
    QCOMPARE(w(order.amountB), QStringLiteral("12345.67"));
    QCOMPARE(w(order.marker), QStringLiteral("11"));
    QCOMPARE(w(order.trailer), QStringLiteral("11"));
}

void TestPayTransaction::paidAnswerWithoutPayTimeStopsTheReading()
{
    CurrentOrder order;
    const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(
        payAnswer("\"status\":\"1\",\"out_trade_no\":\"202612071015000000008\","
                  "\"transaction_id\":\"4200001235\",\"payType\":\"wx\",\"total\":\"1250\"")
            .toStdString(),
        order);
    QCOMPARE(decision.outcome, PayOutcome::Paid);
    QCOMPARE(w(order.orderNumber), QStringLiteral("202612071015000000008"));
    QCOMPARE(w(order.payType), QStringLiteral("wx"));
    QCOMPARE(w(order.payTime), QString());
    QCOMPARE(w(order.amountA), QString());
    QCOMPARE(w(order.amountB), QString());
    QCOMPARE(w(order.marker), QString());
}

void TestPayTransaction::paidAnswerWithoutOrderNumberStopsTheReading()
{
    CurrentOrder order;
    const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(
        payAnswer("\"status\":\"1\",\"transaction_id\":\"4200001236\",\"payType\":\"wx\","
                  "\"payTime\":\"2026-12-07 10:15:00\",\"total\":\"1250\"")
            .toStdString(),
        order);
    QCOMPARE(decision.outcome, PayOutcome::Unknown);
    QCOMPARE(w(order.orderNumber), QString());
    QCOMPARE(w(order.payType), QString());
    QCOMPARE(w(order.payTime), QString());
    QCOMPARE(w(order.amountA), QString());
}

void TestPayTransaction::refusedAnswerKeepsItsMessage()
{
    CurrentOrder order;
    order.message = L"earlier";
    PayTransaction::decidePayReply("{\"code\":\"402\",\"msg\":\"不是付款码\"}", order);
    QCOMPARE(w(order.message), QStringLiteral("不是付款码"));

    // Without "msg" the reading ends there and the earlier message stays.
    CurrentOrder silent;
    silent.message = L"earlier";
    const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(
        "{\"code\":\"402\",\"data\":{\"status\":\"0\",\"out_trade_no\":\"X\"}}", silent);
    QCOMPARE(decision.outcome, PayOutcome::Refused);
    QCOMPARE(w(silent.message), QStringLiteral("earlier"));
    QCOMPARE(w(silent.orderNumber), QString());
}

void TestPayTransaction::statusAnswerOutcome_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<StatusOutcome>("outcome");
    QTest::addColumn<QString>("status"); // of the order afterwards; it was "3" before

    const QByteArray head = "{\"code\":\"100\",\"msg\":\"ok\",\"data\":{\"out_trade_no\":\"O\",";
    QTest::newRow("paid") << head
            + "\"status\":\"1\",\"payType\":\"wx\",\"total\":\"100\","
              "\"orderStatus\":\"1\",\"time_end\":\"20261207101500\"}}"
                          << StatusOutcome::Paid << QStringLiteral("1");
    QTest::newRow("failed") << head
            + "\"status\":\"0\",\"payType\":\"wx\",\"total\":\"100\","
              "\"orderStatus\":\"0\",\"time_end\":\"\"}}"
                            << StatusOutcome::Failed << QStringLiteral("0");
    QTest::newRow("still pending") << head
            + "\"status\":\"3\",\"payType\":\"wx\",\"total\":"
              "\"100\",\"orderStatus\":\"1\",\"time_end\":\"\"}}"
                                   << StatusOutcome::Continue << QStringLiteral("3");
    QTest::newRow("empty answer") << QByteArray() << StatusOutcome::Continue << QStringLiteral("3");
    QTest::newRow("garbled answer")
        << QByteArray("<html>{\"code\":") << StatusOutcome::Continue << QStringLiteral("3");
    QTest::newRow("status missing") << head + "\"payType\":\"wx\",\"total\":\"100\"}}"
                                    << StatusOutcome::Continue << QStringLiteral("3");
    QTest::newRow("total missing ends the reading before the status")
        << head + "\"status\":\"1\",\"payType\":\"wx\"}}" << StatusOutcome::Continue
        << QStringLiteral("3");
    QTest::newRow("msg missing ends the reading")
        << QByteArray("{\"code\":\"100\",\"data\":{\"status\":\"1\",\"payType\":\"wx\","
                      "\"total\":\"100\",\"time_end\":\"20261207101500\"}}")
        << StatusOutcome::Continue << QStringLiteral("3");
    QTest::newRow("unknown order") << QByteArray("{\"code\":\"404\",\"msg\":\"unknown order\"}")
                                   << StatusOutcome::Continue << QStringLiteral("3");
    QTest::newRow("status is an object, after a paid type")
        << head + "\"payType\":\"wx\",\"total\":\"100\",\"status\":{\"v\":\"1\"}}}"
        << StatusOutcome::Continue << QStringLiteral("3");
    QTest::newRow("data is a list")
        << QByteArray("{\"code\":\"100\",\"msg\":\"ok\",\"data\":[\"1\"]}")
        << StatusOutcome::Continue << QStringLiteral("3");
}

void TestPayTransaction::statusAnswerOutcome()
{
    QFETCH(QByteArray, reply);
    QFETCH(StatusOutcome, outcome);
    QFETCH(QString, status);

    CurrentOrder order;
    order.orderNumber = L"O";
    order.status = L"3";
    QCOMPARE(PayTransaction::decideStatusReply(reply.toStdString(), order), outcome);
    QCOMPARE(w(order.status), status);
    QCOMPARE(w(order.orderNumber), QStringLiteral("O"));
}

void TestPayTransaction::wronglyShapedStatusAnswerChangesNothing()
{
    CurrentOrder order;
    order.orderNumber = L"O";
    order.status = L"3";
    order.payType = L"ali";
    order.amountA = L"1";
    const CurrentOrder before = order;
    // Good fields first, then a list where the time is expected.
    QCOMPARE(PayTransaction::decideStatusReply(
                 "{\"code\":\"404\",\"msg\":\"gone\",\"data\":{\"payType\":\"wx\","
                 "\"total\":\"900\",\"status\":\"1\",\"time_end\":[\"x\"]}}",
                 order),
        StatusOutcome::Continue);
    QCOMPARE(order.receiptMessage(), before.receiptMessage());
    QCOMPARE(order.status, before.status);
    QCOMPARE(order.message, before.message);
}

void TestPayTransaction::paidStatusAnswerFillsTheOrder()
{
    CurrentOrder order;
    order.orderNumber = L"202612071015000000009";
    order.status = L"3";
    const StatusOutcome outcome = PayTransaction::decideStatusReply(
        "{\"code\":\"100\",\"msg\":\"ok\",\"data\":{\"out_trade_no\":\"202612071015000000009\","
        "\"status\":\"1\",\"payType\":\"ali\",\"total\":\"2500\",\"orderStatus\":\"1\","
        "\"time_end\":\"20261207101532\"}}",
        order);
    QCOMPARE(outcome, StatusOutcome::Paid);
    QCOMPARE(w(order.payTime), QStringLiteral("20261207101532"));
    QCOMPARE(w(order.marker), QStringLiteral("1"));
    QCOMPARE(w(order.trailer), QStringLiteral("11"));
    QCOMPARE(w(order.payType), QStringLiteral("ali"));
    QCOMPARE(w(order.amountA), QStringLiteral("25"));
    QCOMPARE(w(order.amountB), QStringLiteral("25"));

    // A refusal records its message and leaves the status as it was.
    CurrentOrder refused;
    refused.status = L"3";
    PayTransaction::decideStatusReply("{\"code\":\"303\",\"msg\":\"签名错误\"}", refused);
    QCOMPARE(w(refused.message), QStringLiteral("签名错误"));
    QCOMPARE(w(refused.marker), QString());
}

void TestPayTransaction::receiptOfDirectSuccess()
{
    CurrentOrder order;
    PayTransaction::decidePayReply(
        payAnswer("\"status\":\"1\",\"out_trade_no\":\"202612071015000000010\","
                  "\"transaction_id\":\"4200001237\",\"payType\":\"wx\","
                  "\"payTime\":\"2026-12-07 10:15:00\",\"total\":\"1250\"")
            .toStdString(),
        order);
    QCOMPARE(w(order.receiptMessage()),
        QStringLiteral("11#wx#12.5#2026-12-07 10:15:00#202612071015000000010#12.5#11"));
}

void TestPayTransaction::receiptOfPolledSuccess()
{
    CurrentOrder order;
    const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(
        payAnswer("\"status\":\"3\",\"out_trade_no\":\"202612071015000000011\"").toStdString(),
        order);
    QCOMPARE(decision.outcome, PayOutcome::Pending);
    QCOMPARE(PayTransaction::decideStatusReply(
                 "{\"code\":\"100\",\"msg\":\"ok\",\"data\":{\"out_trade_no\":"
                 "\"202612071015000000011\",\"status\":\"3\",\"payType\":\"ali\",\"total\":"
                 "\"2500\",\"orderStatus\":\"1\",\"time_end\":\"\"}}",
                 order),
        StatusOutcome::Continue);
    QCOMPARE(PayTransaction::decideStatusReply(
                 "{\"code\":\"100\",\"msg\":\"ok\",\"data\":{\"out_trade_no\":"
                 "\"202612071015000000011\",\"status\":\"1\",\"payType\":\"ali\",\"total\":"
                 "\"2500\",\"orderStatus\":\"1\",\"time_end\":\"20261207101609\"}}",
                 order),
        StatusOutcome::Paid);
    QCOMPARE(w(order.receiptMessage()),
        QStringLiteral("1#ali#25#20261207101609#202612071015000000011#25#11"));
}

void TestPayTransaction::amountFromGateway_data()
{
    QTest::addColumn<QString>("minorUnits");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one decimal") << "1250"
                                 << "12.5";
    QTest::newRow("whole") << "2500"
                           << "25";
    QTest::newRow("one cent") << "1"
                              << "0.01";
    QTest::newRow("zero") << "0"
                          << "0";
    QTest::newRow("seven digits") << "1234567"
                                  << "12345.67";
    QTest::newRow("millions") << "250000000"
                              << "2500000";
    QTest::newRow("not a number") << "x1"
                                  << "x1";
    QTest::newRow("decimal minor units") << "1250.00"
                                         << "12.5";
    QTest::newRow("empty") << ""
                           << "";
}

void TestPayTransaction::amountFromGateway()
{
    QFETCH(QString, minorUnits);
    QFETCH(QString, shown);
    QCOMPARE(w(PayTransaction::amountFromGateway(minorUnits.toStdWString())), shown);
}

QTEST_GUILESS_MAIN(TestPayTransaction)
#include "TestPayTransaction.moc"
