#include "Envelope.h"
#include "GatewayCaller.h"
#include "LoginRequest.h"
#include "SandboxProcess.h"
#include "Signing.h"

#include <QSet>
#include <QtTest>

#include <map>

// The sandbox gateway over real HTTPS: login, payments and their outcomes, status queries,
// refunds, order lists, day totals, upgrade offers and the single-window trade path.
class TestSandboxGateway : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void login_data();
    void login();
    void loginRefusesBadBodies_data();
    void loginRefusesBadBodies();

    void payOutcomes_data();
    void payOutcomes();
    void pendingSettles_data();
    void pendingSettles();
    void payRefusedAndStoreUnchanged_data();
    void payRefusedAndStoreUnchanged();
    void badEnvelopesChangeNothing_data();
    void badEnvelopesChangeNothing();
    void queryUnknownOrder();

    void refundRules_data();
    void refundRules();
    void refundTwiceRefused();

    void listAndTotalsConsistent();

    void update_data();
    void update();

    void createApp_data();
    void createApp();
    void createAppDecodesPercentEncoding();
    void createAppRefusesBadForms_data();
    void createAppRefusesBadForms();

private:
    SandboxProcess m_sandbox;
    SandboxProcess m_offering {{"--offer-version", "2.0"}};
    GatewayCaller m_caller {m_sandbox};
    QSet<QString> m_orderNumbers;
};

namespace {

const char *const kAllFrom = "20000101000000";
const char *const kAllTo = "20991231235959";

// Payment codes of each wallet ending in `last`.
std::string wxCode(int last)
{
    return "13456789012345678" + std::to_string(last);
}

std::string aliCode(int last)
{
    return "281234567890123" + std::to_string(last);
}

bool isDigits(const QString &text, int length)
{
    if (text.size() != length) {
        return false;
    }
    for (const QChar c : text) {
        if (!c.isDigit()) {
            return false;
        }
    }
    return true;
}

QString totalsText(const GatewayAnswer &answer)
{
    QStringList parts;
    for (const char *name :
        {"total", "re_total", "suc_total", "count", "wx_total", "wx_re_total", "wx_suc_total",
            "wx_count", "ali_total", "ali_re_total", "ali_suc_total", "ali_count"}) {
        parts << answer.field(name);
    }
    return parts.join(',');
}

} // namespace

void TestSandboxGateway::initTestCase()
{
    QVERIFY(m_sandbox.start());
    QVERIFY(m_offering.start());
    QVERIFY(m_caller.login());
}

void TestSandboxGateway::login_data()
{
    QTest::addColumn<QString>("tel");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code");

    QTest::newRow("demo cashier") << "13800000000"
                                  << "123456"
                                  << "100";
    QTest::newRow("second cashier") << "13900000000"
                                    << "654321"
                                    << "100";
    QTest::newRow("wrong password") << "13800000000"
                                    << "1234567"
                                    << "201";
    QTest::newRow("other cashier's password") << "13800000000"
                                              << "654321"
                                              << "201";
    QTest::newRow("unknown phone") << "13800000001"
                                   << "123456"
                                   << "201";
    QTest::newRow("empty password") << "13800000000"
                                    << ""
                                    << "201";
}

void TestSandboxGateway::login()
{
    QFETCH(QString, tel);
    QFETCH(QString, password);
    QFETCH(QString, code);

    const GatewayAnswer answer = m_caller.post("/api/login",
        LoginRequest::body(tel.toStdString(), LoginRequest::passwordProof(password.toStdString())));
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.code(), code);
    QVERIFY(!answer.msg().isEmpty());
    if (code != QLatin1String("100")) {
        QVERIFY(answer.data().isEmpty());
        return;
    }
    QCOMPARE(answer.field("appid").toStdString(), m_caller.appid);
    QCOMPARE(answer.field("key").toStdString(), m_caller.key);
    QCOMPARE(answer.field("sid").toStdString(), m_caller.sid);
    QVERIFY(!answer.field("uid").isEmpty());
    QVERIFY(!answer.field("api_time").isEmpty());
    QCOMPARE(answer.field("mch_name"), QStringLiteral("演示商户"));
    QCOMPARE(answer.field("store_name"), QStringLiteral("演示门店"));
    QVERIFY(!answer.field("store_tel").isEmpty());
    QVERIFY(m_caller.key.size() >= 16);
}

void TestSandboxGateway::loginRefusesBadBodies_data()
{
    QTest::addColumn<QByteArray>("body");

    const std::string proof = LoginRequest::passwordProof("123456");
    QTest::newRow("not json") << QByteArray("tel=13800000000&pass=x");
    QTest::newRow("truncated") << QByteArray::fromStdString(
        LoginRequest::body("13800000000", proof).substr(0, 30));
    QTest::newRow("missing pass") << QByteArray(
        R"({"type":"1","terminal":"2","tel":"13800000000"})");
    QTest::newRow("extra field") << QByteArray::fromStdString(
        R"({"type":"1","terminal":"2","tel":"13800000000","pass":")" + proof + R"(","appid":"x"})");
    QTest::newRow("type 2") << QByteArray::fromStdString(
        R"({"type":"2","terminal":"2","tel":"13800000000","pass":")" + proof + R"("})");
    QTest::newRow("plain password")
        << QByteArray(R"({"type":"1","terminal":"2","tel":"13800000000","pass":"123456"})");
}

void TestSandboxGateway::loginRefusesBadBodies()
{
    QFETCH(QByteArray, body);

    const GatewayAnswer answer = m_caller.post("/api/login", body.toStdString());
    QCOMPARE(answer.status, 200);
    QVERIFY(!answer.code().isEmpty());
    QVERIFY(answer.code() != QLatin1String("100"));
    QVERIFY(!answer.msg().isEmpty());
}

void TestSandboxGateway::payOutcomes_data()
{
    QTest::addColumn<QString>("authCode");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("payType");

    for (int last = 0; last <= 5; ++last) {
        const QString total = QString::number(100 * (last + 1) + 1);
        QTest::addRow("wx ends %d", last) << QString::fromStdString(wxCode(last)) << total << "1"
                                          << "wx";
        QTest::addRow("ali ends %d", last) << QString::fromStdString(aliCode(last)) << total << "1"
                                           << "ali";
    }
    QTest::newRow("alipay 24 digits") << "300000000000000000000004"
                                      << "1000000"
                                      << "1"
                                      << "ali";
    QTest::newRow("total 0") << QString::fromStdString(wxCode(1)) << "0"
                             << "1"
                             << "wx";
    for (int last = 6; last <= 8; ++last) {
        QTest::addRow("wx ends %d pending", last) << QString::fromStdString(wxCode(last)) << "2500"
                                                  << "3"
                                                  << "wx";
        QTest::addRow("ali ends %d pending", last)
            << QString::fromStdString(aliCode(last)) << "2500"
            << "3"
            << "ali";
    }
}

void TestSandboxGateway::payOutcomes()
{
    QFETCH(QString, authCode);
    QFETCH(QString, total);
    QFETCH(QString, status);
    QFETCH(QString, payType);

    const GatewayAnswer answer = m_caller.pay(authCode.toStdString(), total.toStdString());
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.code(), QStringLiteral("100"));
    QCOMPARE(answer.field("status"), status);
    const QString orderNo = answer.field("out_trade_no");
    QVERIFY2(isDigits(orderNo, 21), qPrintable(orderNo));
    QVERIFY2(!m_orderNumbers.contains(orderNo), "order numbers are unique");
    m_orderNumbers.insert(orderNo);
    if (status == QLatin1String("1")) {
        QCOMPARE(answer.field("payType"), payType);
        QCOMPARE(answer.field("total"), total);
        QVERIFY(!answer.field("transaction_id").isEmpty());
        QVERIFY(!answer.field("payTime").isEmpty());
    } else {
        QVERIFY(!answer.data().contains("transaction_id"));
    }

    const GatewayAnswer order = m_caller.query(orderNo.toStdString());
    QCOMPARE(order.code(), QStringLiteral("100"));
    QCOMPARE(order.field("out_trade_no"), orderNo);
    QCOMPARE(order.field("status"), status);
    QCOMPARE(order.field("payType"), payType);
    QCOMPARE(order.field("total"), total);
    QCOMPARE(order.field("orderStatus"), QStringLiteral("1"));
    QCOMPARE(order.field("time_end").isEmpty(), status != QLatin1String("1"));
}

void TestSandboxGateway::pendingSettles_data()
{
    QTest::addColumn<QString>("authCode");
    QTest::addColumn<QStringList>("statuses"); // status answered by each query, in order
    QTest::addColumn<QString>("orderStatus"); // after the last query

    QTest::newRow("wx 6 paid at third query")
        << QString::fromStdString(wxCode(6)) << QStringList {"3", "3", "1", "1"} << "1";
    QTest::newRow("ali 6 paid at third query")
        << QString::fromStdString(aliCode(6)) << QStringList {"3", "3", "1", "1"} << "1";
    QTest::newRow("wx 7 fails at third query")
        << QString::fromStdString(wxCode(7)) << QStringList {"3", "3", "0", "0"} << "0";
    QTest::newRow("ali 8 pending for ever")
        << QString::fromStdString(aliCode(8)) << QStringList {"3", "3", "3", "3", "3", "3"} << "1";
}

void TestSandboxGateway::pendingSettles()
{
    QFETCH(QString, authCode);
    QFETCH(QStringList, statuses);
    QFETCH(QString, orderStatus);

    const GatewayAnswer paid = m_caller.pay(authCode.toStdString(), "4321");
    QCOMPARE(paid.code(), QStringLiteral("100"));
    QCOMPARE(paid.field("status"), QStringLiteral("3"));
    const std::string orderNo = paid.field("out_trade_no").toStdString();

    GatewayAnswer last;
    for (int i = 0; i < statuses.size(); ++i) {
        last = m_caller.query(orderNo);
        QCOMPARE(last.code(), QStringLiteral("100"));
        QVERIFY2(last.field("status") == statuses.at(i),
            qPrintable(
                QStringLiteral("query %1 answered %2").arg(i + 1).arg(last.field("status"))));
        QCOMPARE(last.field("total"), QStringLiteral("4321"));
    }
    QCOMPARE(last.field("orderStatus"), orderStatus);
    QCOMPARE(last.field("time_end").isEmpty(), statuses.last() != QLatin1String("1"));
}

void TestSandboxGateway::payRefusedAndStoreUnchanged_data()
{
    QTest::addColumn<QString>("authCode");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("storeId"); // empty: the session's sid
    QTest::addColumn<QString>("code");

    QTest::newRow("wx ends 9 refused") << QString::fromStdString(wxCode(9)) << "100"
                                       << ""
                                       << "401";
    QTest::newRow("ali ends 9 refused") << QString::fromStdString(aliCode(9)) << "100"
                                        << ""
                                        << "401";
    QTest::newRow("17-digit wx form") << "13456789012345670"
                                      << "100"
                                      << ""
                                      << "402";
    QTest::newRow("19-digit wx form") << "1345678901234567890"
                                      << "100"
                                      << ""
                                      << "402";
    QTest::newRow("25-digit ali form") << "2812345678901234567890120"
                                       << "100"
                                       << ""
                                       << "402";
    QTest::newRow("letters") << "13456789012345678x"
                             << "100"
                             << ""
                             << "402";
    QTest::newRow("unknown prefix") << "990000000000000000"
                                    << "100"
                                    << ""
                                    << "402";
    QTest::newRow("total 1e+06") << QString::fromStdString(wxCode(0)) << "1e+06"
                                 << ""
                                 << "305";
    QTest::newRow("total 1.2345e+06") << QString::fromStdString(wxCode(0)) << "1.2345e+06"
                                      << ""
                                      << "305";
    QTest::newRow("total 12.5") << QString::fromStdString(wxCode(0)) << "12.5"
                                << ""
                                << "305";
    QTest::newRow("total empty") << QString::fromStdString(wxCode(0)) << ""
                                 << ""
                                 << "305";
    QTest::newRow("total negative") << QString::fromStdString(wxCode(0)) << "-100"
                                    << ""
                                    << "305";
    QTest::newRow("other store") << QString::fromStdString(wxCode(0)) << "100"
                                 << "9999"
                                 << "305";
}

void TestSandboxGateway::payRefusedAndStoreUnchanged()
{
    QFETCH(QString, authCode);
    QFETCH(QString, total);
    QFETCH(QString, storeId);
    QFETCH(QString, code);

    const int before = m_caller.orderCount();
    QVERIFY(before >= 0);
    const std::string sid = storeId.isEmpty() ? m_caller.sid : storeId.toStdString();
    const GatewayAnswer answer = m_caller.call("auto_pay",
        {{"store_id", sid}, {"total", total.toStdString()}, {"nonce_str", GatewayCaller::kPayNonce},
            {"authCode", authCode.toStdString()}});
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.code(), code);
    QVERIFY(!answer.msg().isEmpty());
    if (code == QLatin1String("305") && storeId.isEmpty()) {
        QVERIFY2(answer.msg().contains("total"), qPrintable(answer.msg()));
    }
    QCOMPARE(m_caller.orderCount(), before);
}

void TestSandboxGateway::badEnvelopesChangeNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("code");

    QTest::newRow("bad sign") << "bad sign"
                              << "303";
    QTest::newRow("sign of other values") << "sign of other values"
                                          << "303";
    QTest::newRow("lower-case sign") << "lower-case sign"
                                     << "303";
    QTest::newRow("unknown appid") << "unknown appid"
                                   << "302";
    QTest::newRow("unknown method") << "unknown method"
                                    << "304";
    QTest::newRow("malformed json") << "malformed json"
                                    << "301";
    QTest::newRow("empty body") << "empty body"
                                << "301";
    QTest::newRow("array") << "array"
                           << "301";
    QTest::newRow("missing data") << "missing data"
                                  << "301";
    QTest::newRow("data not an object") << "data not an object"
                                        << "301";
    QTest::newRow("extra top-level field") << "extra top-level field"
                                           << "301";
    QTest::newRow("nested value") << "nested value"
                                  << "301";
    QTest::newRow("unknown data field") << "unknown data field"
                                        << "301";
    QTest::newRow("missing data field") << "missing data field"
                                        << "301";
    QTest::newRow("field twice") << "field twice"
                                 << "301";
}

void TestSandboxGateway::badEnvelopesChangeNothing()
{
    QFETCH(QString, kind);
    QFETCH(QString, code);

    const Fields pay = {{"store_id", m_caller.sid}, {"total", "1000"},
        {"nonce_str", GatewayCaller::kPayNonce}, {"authCode", wxCode(0)}};
    const std::string sign = Signing::sign(pay, m_caller.key);
    const std::string data = Envelope::jsonObject(pay);
    const std::string head = R"({"appid":")" + m_caller.appid + R"(","method":"auto_pay","sign":")";
    std::string body;
    if (kind == "bad sign") {
        body = Envelope::build(m_caller.appid, "auto_pay", Signing::sign(pay, "not-the-key"), pay);
    } else if (kind == "sign of other values") {
        Fields other = pay;
        other[1].second = "100";
        body = Envelope::build(m_caller.appid, "auto_pay", Signing::sign(other, m_caller.key), pay);
    } else if (kind == "lower-case sign") {
        body = Envelope::build(
            m_caller.appid, "auto_pay", QString::fromStdString(sign).toLower().toStdString(), pay);
    } else if (kind == "unknown appid") {
        body = Envelope::build("tp0000000000000000", "auto_pay", sign, pay);
    } else if (kind == "unknown method") {
        body = Envelope::build(m_caller.appid, "auto_payment", sign, pay);
    } else if (kind == "malformed json") {
        body = Envelope::build(m_caller.appid, "auto_pay", sign, pay);
        body.resize(body.size() - 3);
    } else if (kind == "empty body") {
        body.clear();
    } else if (kind == "array") {
        body = "[" + Envelope::build(m_caller.appid, "auto_pay", sign, pay) + "]";
    } else if (kind == "missing data") {
        body = head + sign + R"("})";
    } else if (kind == "data not an object") {
        body = head + sign + R"(","data":"x"})";
    } else if (kind == "extra top-level field") {
        body = head + sign + R"(","data":)" + data + R"(,"mark":"1"})";
    } else if (kind == "nested value") {
        body = head + sign + R"(","data":{"store_id":")" + m_caller.sid
            + R"(","total":{"value":"1000"},"nonce_str":"7c4e19a0d2f6b","authCode":")" + wxCode(0)
            + R"("}})";
    } else if (kind == "unknown data field") {
        Fields extra = pay;
        extra.emplace_back("remark", "x");
        body = Envelope::build(
            m_caller.appid, "auto_pay", Signing::sign(extra, m_caller.key), extra);
    } else if (kind == "missing data field") {
        Fields fewer(pay.begin(), pay.end() - 1);
        body = Envelope::build(
            m_caller.appid, "auto_pay", Signing::sign(fewer, m_caller.key), fewer);
    } else if (kind == "field twice") {
        Fields twice = pay;
        twice.emplace_back("total", "1000");
        body = Envelope::build(
            m_caller.appid, "auto_pay", Signing::sign(twice, m_caller.key), twice);
    } else {
        QFAIL("unknown case");
    }

    const int ordersBefore = m_caller.orderCount();
    const QString totalsBefore = totalsText(m_caller.dayTotals("20000101", "20991231"));
    const GatewayAnswer answer = m_caller.post("/api/face", body);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.code(), code);
    QVERIFY(!answer.msg().isEmpty());
    QCOMPARE(m_caller.orderCount(), ordersBefore);
    QCOMPARE(totalsText(m_caller.dayTotals("20000101", "20991231")), totalsBefore);
}

void TestSandboxGateway::queryUnknownOrder()
{
    const GatewayAnswer answer = m_caller.query("209912312359590000001");
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.code(), QStringLiteral("404"));
    QVERIFY(!answer.msg().isEmpty());
}

void TestSandboxGateway::refundRules_data()
{
    QTest::addColumn<QString>("authCode"); // empty: an order number nobody issued
    QTest::addColumn<int>("queries"); // status queries before the refund
    QTest::addColumn<QString>("refundTotal"); // "-": no total field
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("refunded"); // refund_total of a success

    const QString wx = QString::fromStdString(wxCode(0));
    const QString ali = QString::fromStdString(aliCode(2));
    QTest::newRow("full, no total") << ali << 0 << "-"
                                    << "100"
                                    << "1000";
    QTest::newRow("partial") << wx << 0 << "400"
                             << "100"
                             << "400";
    QTest::newRow("exactly the paid amount") << wx << 0 << "1000"
                                             << "100"
                                             << "1000";
    QTest::newRow("over the paid amount") << wx << 0 << "1001"
                                          << "405"
                                          << "";
    QTest::newRow("zero") << wx << 0 << "0"
                          << "405"
                          << "";
    QTest::newRow("decimal total") << wx << 0 << "4.5"
                                   << "305"
                                   << "";
    QTest::newRow("exponent total") << wx << 0 << "1e+03"
                                    << "305"
                                    << "";
    QTest::newRow("pending order") << QString::fromStdString(wxCode(8)) << 1 << "-"
                                   << "405"
                                   << "";
    QTest::newRow("failed order") << QString::fromStdString(wxCode(7)) << 3 << "-"
                                  << "405"
                                  << "";
    QTest::newRow("settled order") << QString::fromStdString(aliCode(6)) << 3 << "-"
                                   << "100"
                                   << "1000";
    QTest::newRow("unknown order") << "" << 0 << "-"
                                   << "404"
                                   << "";
}

void TestSandboxGateway::refundRules()
{
    QFETCH(QString, authCode);
    QFETCH(int, queries);
    QFETCH(QString, refundTotal);
    QFETCH(QString, code);
    QFETCH(QString, refunded);

    std::string orderNo = "209912312359590000009";
    QString payType;
    if (!authCode.isEmpty()) {
        const GatewayAnswer paid = m_caller.pay(authCode.toStdString(), "1000");
        QCOMPARE(paid.code(), QStringLiteral("100"));
        orderNo = paid.field("out_trade_no").toStdString();
        for (int i = 0; i < queries; ++i) {
            payType = m_caller.query(orderNo).field("payType");
        }
        payType = m_caller.query(orderNo).field("payType");
    }
    const std::optional<std::string> total = refundTotal == QLatin1String("-")
        ? std::nullopt
        : std::optional<std::string>(refundTotal.toStdString());
    const QString statusBefore = m_caller.query(orderNo).field("orderStatus");

    const GatewayAnswer answer = m_caller.refund(orderNo, std::string("顾客退货"), total);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.code(), code);
    QVERIFY(!answer.msg().isEmpty());
    if (code == QLatin1String("100")) {
        QCOMPARE(answer.field("refund_total"), refunded);
        QCOMPARE(answer.field("pay_type"), payType);
        QCOMPARE(answer.field("out_trade_no").toStdString(), orderNo);
        QCOMPARE(m_caller.query(orderNo).field("orderStatus"), QStringLiteral("2"));
    } else if (!authCode.isEmpty()) {
        QCOMPARE(m_caller.query(orderNo).field("orderStatus"), statusBefore);
    }
}

void TestSandboxGateway::refundTwiceRefused()
{
    const GatewayAnswer paid = m_caller.pay(wxCode(3), "800");
    const std::string orderNo = paid.field("out_trade_no").toStdString();
    QCOMPARE(
        m_caller.refund(orderNo, std::nullopt, std::string("300")).code(), QStringLiteral("100"));
    // A partly refunded order takes no second refund, not even of the rest.
    const GatewayAnswer again = m_caller.refund(orderNo, std::nullopt, std::string("500"));
    QCOMPARE(again.code(), QStringLiteral("405"));
    QVERIFY(!again.msg().isEmpty());
    QCOMPARE(m_caller.refund(orderNo).code(), QStringLiteral("405"));
}

void TestSandboxGateway::listAndTotalsConsistent()
{
    SandboxProcess sandbox;
    QVERIFY(sandbox.start());
    GatewayCaller caller(sandbox);
    QVERIFY(caller.login());
    QCOMPARE(caller.orderCount(), 0);

    struct Payment
    {
        std::string code;
        long long total;
        long long refund; // 0: none
    };
    const std::vector<Payment> payments = {
        {wxCode(0), 1250, 0},
        {aliCode(1), 2000, 0},
        {wxCode(8), 999, 0},
        {aliCode(9), 300, 0},
        {wxCode(2), 5000, 1000},
        {aliCode(3), 150, 150},
        {wxCode(6), 700, 0},
    };

    struct Expected
    {
        long long total = 0, refunded = 0, count = 0;
    };
    std::map<QString, Expected> expected; // "wx", "ali"
    QStringList stored; // order numbers, oldest first
    QStringList storedStatus;
    for (const Payment &payment : payments) {
        const GatewayAnswer paid = caller.pay(payment.code, std::to_string(payment.total));
        if (paid.code() != QLatin1String("100")) {
            QCOMPARE(paid.code(), QStringLiteral("401"));
            continue;
        }
        const QString orderNo = paid.field("out_trade_no");
        stored << orderNo;
        storedStatus << paid.field("status");
        if (paid.field("status") != QLatin1String("1")) {
            continue;
        }
        Expected &wallet = expected[paid.field("payType")];
        wallet.total += payment.total;
        wallet.count += 1;
        if (payment.refund > 0) {
            const GatewayAnswer refund = caller.refund(
                orderNo.toStdString(), std::nullopt, std::to_string(payment.refund));
            QCOMPARE(refund.code(), QStringLiteral("100"));
            wallet.refunded += payment.refund;
        }
    }
    QCOMPARE(stored.size(), 6);

    // The whole list, oldest first.
    const QJsonArray all = caller.allOrders();
    QCOMPARE(all.size(), stored.size());
    long long listedPaid = 0;
    for (int i = 0; i < all.size(); ++i) {
        const QJsonObject order = all.at(i).toObject();
        QCOMPARE(order.value("out_trade_no").toString(), stored.at(i));
        QCOMPARE(order.value("status").toString(), storedStatus.at(i));
        QVERIFY(order.value("service").toString() == QLatin1String("wx")
            || order.value("service").toString() == QLatin1String("ali"));
        QCOMPARE(
            order.value("time_end").toString().isEmpty(), storedStatus.at(i) != QLatin1String("1"));
        QVERIFY(!order.value("pay_status").toString().isEmpty());
        if (storedStatus.at(i) == QLatin1String("1")) {
            listedPaid += order.value("total_fee").toString().toLongLong();
        }
    }

    // Pages of two.
    QStringList paged;
    for (int page = 1; page <= 4; ++page) {
        const GatewayAnswer answer = caller.list(kAllFrom, kAllTo, std::to_string(page), "2");
        QCOMPARE(answer.code(), QStringLiteral("100"));
        const QJsonArray orders = answer.data().value("order_data").toArray();
        QCOMPARE(orders.size(), page <= 3 ? 2 : 0);
        for (const QJsonValue &order : orders) {
            paged << order.toObject().value("out_trade_no").toString();
        }
    }
    QCOMPARE(paged, stored);

    // Status filter and a date range without orders.
    const GatewayAnswer paidOnly = caller.list(kAllFrom, kAllTo, "1", "100", "1");
    QCOMPARE(paidOnly.data().value("order_data").toArray().size(), storedStatus.count("1"));
    const GatewayAnswer pendingOnly = caller.list(kAllFrom, kAllTo, "1", "100", "3");
    QCOMPARE(pendingOnly.data().value("order_data").toArray().size(), storedStatus.count("3"));
    const GatewayAnswer past = caller.list("20000101000000", "20001231235959");
    QCOMPARE(past.code(), QStringLiteral("100"));
    QCOMPARE(past.data().value("order_data").toArray().size(), 0);

    // Day totals agree with what was paid and refunded.
    GatewayAnswer totals = caller.dayTotals("20000101", "20991231");
    QCOMPARE(totals.code(), QStringLiteral("100"));
    Expected sum;
    for (const auto &entry : expected) {
        sum.total += entry.second.total;
        sum.refunded += entry.second.refunded;
        sum.count += entry.second.count;
    }
    QCOMPARE(listedPaid, sum.total);
    const auto check = [&totals](const QString &prefix, const Expected &wallet) {
        QCOMPARE(totals.field(qPrintable(prefix + "total")), QString::number(wallet.total));
        QCOMPARE(totals.field(qPrintable(prefix + "re_total")), QString::number(wallet.refunded));
        QCOMPARE(totals.field(qPrintable(prefix + "suc_total")),
            QString::number(wallet.total - wallet.refunded));
        QCOMPARE(totals.field(qPrintable(prefix + "count")), QString::number(wallet.count));
    };
    check("", sum);
    check("wx_", expected["wx"]);
    check("ali_", expected["ali"]);

    // Settling the pending 6 order adds it to the totals.
    const std::string settling = stored.at(storedStatus.size() - 1).toStdString();
    for (int i = 0; i < 3; ++i) {
        caller.query(settling);
    }
    QCOMPARE(caller.query(settling).field("status"), QStringLiteral("1"));
    sum.total += payments.back().total;
    sum.count += 1;
    totals = caller.dayTotals("20000101", "20991231");
    check("", sum);

    const GatewayAnswer empty = caller.dayTotals("20000101", "20001231");
    QCOMPARE(empty.field("total"), QStringLiteral("0"));
    QCOMPARE(empty.field("count"), QStringLiteral("0"));
    QCOMPARE(empty.field("ali_suc_total"), QStringLiteral("0"));
}

void TestSandboxGateway::update_data()
{
    QTest::addColumn<bool>("offering");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("status");

    QTest::newRow("no offer") << false << "good"
                              << "0";
    QTest::newRow("offer") << true << "good"
                           << "1";
    QTest::newRow("offer, bad sign") << true << "bad sign"
                                     << "0";
    QTest::newRow("offer, session-style sign") << true << "wrong key"
                                               << "0";
    QTest::newRow("offer, malformed") << true << "malformed"
                                      << "0";
    QTest::newRow("offer, missing mark") << true << "missing mark"
                                         << "0";
}

void TestSandboxGateway::update()
{
    QFETCH(bool, offering);
    QFETCH(QString, kind);
    QFETCH(QString, status);

    const SandboxProcess &sandbox = offering ? m_offering : m_sandbox;
    const std::string nonce = Signing::nonce();
    const Fields signedFields = {{"mark", "0028"}, {"nonce_str", nonce}, {"type", "2"}};
    std::string sign = Signing::sign(signedFields, "lumbridex_app");
    if (kind == "bad sign") {
        sign[0] = sign[0] == 'A' ? 'B' : 'A';
    } else if (kind == "wrong key") {
        sign = Signing::sign(signedFields, m_caller.key);
    }
    std::string body
        = R"({"type":"2","nonce_str":")" + nonce + R"(","mark":"0028","sign":")" + sign + R"("})";
    if (kind == "malformed") {
        body.pop_back();
    } else if (kind == "missing mark") {
        body = R"({"type":"2","nonce_str":")" + nonce + R"(","sign":")" + sign + R"("})";
    }

    GatewayCaller caller(sandbox);
    const GatewayAnswer answer = caller.post("/api/update", body);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.json.value("status").toString(), status);
    QVERIFY(!answer.json.value("msg").toString().isEmpty());
    if (status == QLatin1String("1")) {
        QCOMPARE(answer.json.value("version").toString(), QStringLiteral("2.0"));
        QVERIFY(!answer.json.value("info").toString().isEmpty());
        QCOMPARE(answer.json.value("url").toString(),
            QStringLiteral("https://127.0.0.1:%1/download/Tallyport-2.0.tar.gz")
                .arg(sandbox.port()));
    } else {
        QVERIFY(!answer.json.contains("version"));
    }
}

void TestSandboxGateway::createApp_data()
{
    QTest::addColumn<QString>("loginName");
    QTest::addColumn<QString>("orderMoney");
    QTest::addColumn<QString>("authCode");
    QTest::addColumn<QString>("success");
    QTest::addColumn<QString>("payStatus");
    QTest::addColumn<QString>("payType");
    QTest::addColumn<QString>("orderMoneyOut");
    QTest::addColumn<QString>("payMoney");

    const QString wx0 = QString::fromStdString(wxCode(0));
    QTest::newRow("wx paid") << "13800000000"
                             << "12.5" << wx0 << "true"
                             << "支付成功"
                             << "2"
                             << "12.50"
                             << "12.50";
    QTest::newRow("ali paid, cents") << "13800000000"
                                     << "0.07" << QString::fromStdString(aliCode(4)) << "true"
                                     << "支付成功"
                                     << "1"
                                     << "0.07"
                                     << "0.07";
    QTest::newRow("second cashier, integer") << "13900000000"
                                             << "10000" << wx0 << "true"
                                             << "支付成功"
                                             << "2"
                                             << "10000.00"
                                             << "10000.00";
    QTest::newRow("pending") << "13800000000"
                             << "3.00" << QString::fromStdString(wxCode(6)) << "true"
                             << "等待支付"
                             << "2"
                             << "3.00"
                             << "0.00";
    QTest::newRow("refused") << "13800000000"
                             << "3.00" << QString::fromStdString(aliCode(9)) << "false"
                             << "支付失败"
                             << "1"
                             << "3.00"
                             << "0.00";
    QTest::newRow("invalid code") << "13800000000"
                                  << "3.00"
                                  << "1234"
                                  << "false"
                                  << "支付失败"
                                  << ""
                                  << "3.00"
                                  << "0.00";
    QTest::newRow("unknown cashier") << "13800000009"
                                     << "3.00" << wx0 << "false"
                                     << "支付失败"
                                     << ""
                                     << ""
                                     << "0.00";
    QTest::newRow("three decimals") << "13800000000"
                                    << "12.345" << wx0 << "false"
                                    << "支付失败"
                                    << ""
                                    << ""
                                    << "0.00";
    QTest::newRow("exponent") << "13800000000"
                              << "1e3" << wx0 << "false"
                              << "支付失败"
                              << ""
                              << ""
                              << "0.00";
}

void TestSandboxGateway::createApp()
{
    QFETCH(QString, loginName);
    QFETCH(QString, orderMoney);
    QFETCH(QString, authCode);
    QFETCH(QString, success);
    QFETCH(QString, payStatus);
    QFETCH(QString, payType);
    QFETCH(QString, orderMoneyOut);
    QFETCH(QString, payMoney);

    const int before = m_caller.orderCount();
    const std::string body = Envelope::formEncode(
        {{"loginName", loginName.toStdString()}, {"orderMoney", orderMoney.toStdString()},
            {"authCode", authCode.toStdString()}, {"payType", "0"}});
    const GatewayAnswer answer = m_caller.post("/papi/api/createApp.html", body, "");
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.json.value("success").toString(), success);
    QVERIFY(!answer.json.value("message").toString().isEmpty());
    QCOMPARE(answer.field("payStatus"), payStatus);
    QCOMPARE(answer.field("payType"), payType);
    QCOMPARE(answer.field("orderMoney"), orderMoneyOut);
    QCOMPARE(answer.field("payMoney"), payMoney);
    if (success == QLatin1String("false")) {
        QVERIFY(!answer.field("errMsg").isEmpty());
        QCOMPARE(m_caller.orderCount(), before);
        return;
    }
    QVERIFY(!answer.field("clerkname").isEmpty());
    QCOMPARE(answer.field("merName"), QStringLiteral("演示商户"));
    QCOMPARE(answer.field("orderStatus"), QStringLiteral("1"));
    QCOMPARE(answer.field("payTimeString").isEmpty(), payStatus != QStringLiteral("支付成功"));
    const QString orderNo = answer.field("orderNo");
    QVERIFY(isDigits(orderNo, 21));
    QCOMPARE(m_caller.orderCount(), before + 1);
    // The trade host's order is the gateway's order too.
    const GatewayAnswer order = m_caller.query(orderNo.toStdString());
    QCOMPARE(order.code(), QStringLiteral("100"));
    QCOMPARE(order.field("total"), QString::number(qRound64(orderMoneyOut.toDouble() * 100)));
}

void TestSandboxGateway::createAppDecodesPercentEncoding()
{
    const std::string body
        = "loginName=1380000000%30&orderMoney=1%2E25&authCode=" + aliCode(0) + "&payType=0";
    const GatewayAnswer answer = m_caller.post("/papi/api/createApp.html", body, "");
    QCOMPARE(answer.json.value("success").toString(), QStringLiteral("true"));
    QCOMPARE(answer.field("orderMoney"), QStringLiteral("1.25"));
    QCOMPARE(answer.field("payType"), QStringLiteral("1"));
}

void TestSandboxGateway::createAppRefusesBadForms_data()
{
    QTest::addColumn<QByteArray>("body");

    const QByteArray code = QByteArray::fromStdString(wxCode(0));
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("json") << QByteArray(R"({"loginName":"13800000000"})");
    QTest::newRow("pair without =") << "loginName&orderMoney=1.00&authCode=" + code + "&payType=0";
    QTest::newRow("missing payType") << "loginName=13800000000&orderMoney=1.00&authCode=" + code;
    QTest::newRow("extra field") << "loginName=13800000000&orderMoney=1.00&authCode=" + code
            + "&payType=0&x=1";
    QTest::newRow("field twice")
        << "loginName=13800000000&orderMoney=1.00&orderMoney=2.00&authCode=" + code + "&payType=0";
    QTest::newRow("payType 7") << "loginName=13800000000&orderMoney=1.00&authCode=" + code
            + "&payType=7";
    QTest::newRow("trailing &") << "loginName=13800000000&orderMoney=1.00&authCode=" + code
            + "&payType=0&";
}

void TestSandboxGateway::createAppRefusesBadForms()
{
    QFETCH(QByteArray, body);

    const int before = m_caller.orderCount();
    const GatewayAnswer answer = m_caller.post("/papi/api/createApp.html", body.toStdString(), "");
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.json.value("success").toString(), QStringLiteral("false"));
    QCOMPARE(answer.field("payStatus"), QStringLiteral("支付失败"));
    QVERIFY(!answer.json.value("message").toString().isEmpty());
    QCOMPARE(m_caller.orderCount(), before);
}

QTEST_GUILESS_MAIN(TestSandboxGateway)
#include "TestSandboxGateway.moc"
