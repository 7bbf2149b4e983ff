#include "FieldRules.h"

#include <QtTest>

class TestFieldRules : public QObject
{
    Q_OBJECT

private slots:
    void methodsKnown_data();
    void methodsKnown();
    void fieldSet_data();
    void fieldSet();
    void plainMinorUnits_data();
    void plainMinorUnits();
    void dates_data();
    void dates();
    void nonce_data();
    void nonce();
    void positiveInteger();
};

namespace {

Fields namesOnly(const QStringList &names)
{
    Fields fields;
    for (const QString &name : names) {
        fields.emplace_back(name.toStdString(), "1");
    }
    return fields;
}

} // namespace

void TestFieldRules::methodsKnown_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("required");
    QTest::addColumn<QStringList>("optional");

    QTest::newRow("auto_pay") << "auto_pay"
                              << QStringList {"store_id", "total", "nonce_str", "authCode"}
                              << QStringList {};
    QTest::newRow("auto_orderQuery")
        << "auto_orderQuery" << QStringList {"out_trade_no", "nonce_str"} << QStringList {};
    QTest::newRow("mch_orderList")
        << "mch_orderList"
        << QStringList {"sdate", "nonce_str", "edate", "status", "page", "limit", "store_id"}
        << QStringList {};
    QTest::newRow("auto_orderRefund")
        << "auto_orderRefund" << QStringList {"out_trade_no", "nonce_str"}
        << QStringList {"refund_desc", "total"};
    QTest::newRow("mch_orderCount")
        << "mch_orderCount" << QStringList {"store_id", "status", "sdate", "edate", "nonce_str"}
        << QStringList {};
}

void TestFieldRules::methodsKnown()
{
    QFETCH(QString, method);
    QFETCH(QStringList, required);
    QFETCH(QStringList, optional);

    const FieldRules::MethodFields *shape = FieldRules::methodFields(method.toStdString());
    QVERIFY(shape);
    QStringList gotRequired;
    for (const std::string &name : shape->required) {
        gotRequired << QString::fromStdString(name);
    }
    QStringList gotOptional;
    for (const std::string &name : shape->optional) {
        gotOptional << QString::fromStdString(name);
    }
    QCOMPARE(gotRequired, required);
    QCOMPARE(gotOptional, optional);
    QVERIFY(!FieldRules::methodFields(method.toUpper().toStdString()));
}

void TestFieldRules::fieldSet_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("offending"); // empty: accepted

    QTest::newRow("pay exact") << "auto_pay"
                               << QStringList {"store_id", "total", "nonce_str", "authCode"} << "";
    QTest::newRow("pay other order")
        << "auto_pay" << QStringList {"authCode", "nonce_str", "total", "store_id"} << "";
    QTest::newRow("pay missing authCode")
        << "auto_pay" << QStringList {"store_id", "total", "nonce_str"} << "authCode";
    QTest::newRow("pay extra field")
        << "auto_pay" << QStringList {"store_id", "total", "nonce_str", "authCode", "remark"}
        << "remark";
    QTest::newRow("pay field twice")
        << "auto_pay" << QStringList {"store_id", "total", "total", "nonce_str", "authCode"}
        << "total";
    QTest::newRow("pay case matters")
        << "auto_pay" << QStringList {"store_id", "total", "nonce_str", "authcode"} << "authcode";
    QTest::newRow("refund bare") << "auto_orderRefund" << QStringList {"out_trade_no", "nonce_str"}
                                 << "";
    QTest::newRow("refund with both optional")
        << "auto_orderRefund" << QStringList {"out_trade_no", "refund_desc", "total", "nonce_str"}
        << "";
    QTest::newRow("refund optional only")
        << "auto_orderRefund" << QStringList {"refund_desc", "nonce_str"} << "out_trade_no";
    QTest::newRow("query missing nonce")
        << "auto_orderQuery" << QStringList {"out_trade_no"} << "nonce_str";
    QTest::newRow("list missing limit")
        << "mch_orderList"
        << QStringList {"sdate", "nonce_str", "edate", "status", "page", "store_id"} << "limit";
    QTest::newRow("count exact") << "mch_orderCount"
                                 << QStringList {"store_id", "status", "sdate", "edate",
                                        "nonce_str"}
                                 << "";
    QTest::newRow("count with page")
        << "mch_orderCount"
        << QStringList {"store_id", "status", "sdate", "edate", "nonce_str", "page"} << "page";
    QTest::newRow("empty") << "auto_orderQuery" << QStringList {} << "out_trade_no";
}

void TestFieldRules::fieldSet()
{
    QFETCH(QString, method);
    QFETCH(QStringList, names);
    QFETCH(QString, offending);

    const FieldRules::MethodFields *shape = FieldRules::methodFields(method.toStdString());
    QVERIFY(shape);
    const std::optional<std::string> problem
        = FieldRules::checkFieldSet(namesOnly(names), shape->required, shape->optional);
    if (offending.isEmpty()) {
        QVERIFY2(!problem, problem ? problem->c_str() : "");
    } else {
        QVERIFY(problem);
        QVERIFY2(QString::fromStdString(*problem).contains(offending), problem->c_str());
    }
}

void TestFieldRules::plainMinorUnits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("plain");
    QTest::addColumn<qlonglong>("value");

    QTest::newRow("zero") << "0" << true << 0LL;
    QTest::newRow("1250") << "1250" << true << 1250LL;
    QTest::newRow("1000000") << "1000000" << true << 1000000LL;
    QTest::newRow("15 digits") << "999999999999999" << true << 999999999999999LL;
    QTest::newRow("16 digits") << "1000000000000000" << false << 0LL;
    QTest::newRow("exponent") << "1e+06" << false << 0LL;
    QTest::newRow("scientific 1.2345e+06") << "1.2345e+06" << false << 0LL;
    QTest::newRow("decimal") << "12.5" << false << 0LL;
    QTest::newRow("empty") << "" << false << 0LL;
    QTest::newRow("negative") << "-1" << false << 0LL;
    QTest::newRow("plus") << "+1" << false << 0LL;
    QTest::newRow("leading zero") << "0100" << false << 0LL;
    QTest::newRow("blank") << " 100" << false << 0LL;
    QTest::newRow("comma") << "1,000" << false << 0LL;
}

void TestFieldRules::plainMinorUnits()
{
    QFETCH(QString, text);
    QFETCH(bool, plain);
    QFETCH(qlonglong, value);

    QCOMPARE(FieldRules::isPlainMinorUnits(text.toStdString()), plain);
    const std::optional<long long> parsed = FieldRules::minorUnits(text.toStdString());
    QCOMPARE(parsed.has_value(), plain);
    if (plain) {
        QCOMPARE(*parsed, value);
    }
}

void TestFieldRules::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("dateTime14");
    QTest::addColumn<bool>("date8");

    QTest::newRow("day start") << "20190705000000" << true << false;
    QTest::newRow("day end") << "20190705235959" << true << false;
    QTest::newRow("hour 24") << "20190705240000" << false << false;
    QTest::newRow("minute 60") << "20190705006000" << false << false;
    QTest::newRow("month 13") << "20191305000000" << false << false;
    QTest::newRow("day 0") << "20190700000000" << false << false;
    QTest::newRow("short") << "2019070500000" << false << false;
    QTest::newRow("letters") << "2019070500000a" << false << false;
    QTest::newRow("date") << "20190705" << false << true;
    QTest::newRow("date month 0") << "20190005" << false << false;
    QTest::newRow("date day 32") << "20190732" << false << false;
    QTest::newRow("date dashes") << "2019-7-5" << false << false;
    QTest::newRow("empty") << "" << false << false;
}

void TestFieldRules::dates()
{
    QFETCH(QString, text);
    QFETCH(bool, dateTime14);
    QFETCH(bool, date8);

    QCOMPARE(FieldRules::isDateTime14(text.toStdString()), dateTime14);
    QCOMPARE(FieldRules::isDate8(text.toStdString()), date8);
}

void TestFieldRules::nonce_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("pay's fixed nonce") << "7c4e19a0d2f6b" << true;
    QTest::newRow("31 digits") << QString(31, QLatin1Char('7')) << true;
    QTest::newRow("64 chars") << QString(64, QLatin1Char('a')) << true;
    QTest::newRow("65 chars") << QString(65, QLatin1Char('a')) << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank") << "12 34" << false;
    QTest::newRow("newline") << "1234\n" << false;
}

void TestFieldRules::nonce()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);

    QCOMPARE(FieldRules::isNonce(text.toStdString()), valid);
}

void TestFieldRules::positiveInteger()
{
    QCOMPARE(FieldRules::positiveInteger("1", 10), std::optional<long long>(1));
    QCOMPARE(FieldRules::positiveInteger("10", 10), std::optional<long long>(10));
    QVERIFY(!FieldRules::positiveInteger("11", 10));
    QVERIFY(!FieldRules::positiveInteger("0", 10));
    QVERIFY(!FieldRules::positiveInteger("01", 10));
    QVERIFY(!FieldRules::positiveInteger("", 10));
    QVERIFY(!FieldRules::positiveInteger("99999999999999999999", 10));
}

QTEST_GUILESS_MAIN(TestFieldRules)
#include "TestFieldRules.moc"
