#include "Amount.h"

#include <QtTest>

#include <optional>
#include <string>

namespace {

// "<refused>" for nullopt, so one string column covers both outcomes.
const QString kRefused = QStringLiteral("<refused>");

QString shown(const std::optional<std::string> &value)
{
    return value ? QString::fromStdString(*value) : kRefused;
}

} // namespace

class TestAmount : public QObject
{
    Q_OBJECT

private slots:
    void toMinorUnits_data();
    void toMinorUnits();
    void fromMinorUnits_data();
    void fromMinorUnits();
    void minorUnitsAsIntegers_data();
    void minorUnitsAsIntegers();
    void parseMinorUnitsRefusesWhatIsNotAnInteger_data();
    void parseMinorUnitsRefusesWhatIsNotAnInteger();
    void toTwoDecimals_data();
    void toTwoDecimals();
};

void TestAmount::toMinorUnits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("minor");

    QTest::newRow("whole amount") << "10000"
                                  << "1000000";
    QTest::newRow("two decimals") << "12345.67"
                                  << "1234567";
    QTest::newRow("one decimal") << "12.5"
                                 << "1250";
    QTest::newRow("zero") << "0"
                          << "0";
    QTest::newRow("cents only") << "0.07"
                                << "7";
    QTest::newRow("trailing point") << "12."
                                    << "1200";
    QTest::newRow("trailing zero decimal") << "0.50"
                                           << "50";
    QTest::newRow("zero decimals") << "5.00"
                                   << "500";
    QTest::newRow("one cent") << "0.01"
                              << "1";
    QTest::newRow("fifteen integer digits") << "123456789012345"
                                            << "12345678901234500";
    QTest::newRow("float-unfriendly value") << "0.29"
                                            << "29";
    QTest::newRow("large float-unfriendly value") << "9999999.99"
                                                  << "999999999";

    QTest::newRow("empty") << "" << kRefused;
    QTest::newRow("negative") << "-1" << kRefused;
    QTest::newRow("plus sign") << "+5" << kRefused;
    QTest::newRow("exponent") << "1e5" << kRefused;
    QTest::newRow("thousands comma") << "1,000" << kRefused;
    QTest::newRow("leading blank") << " 12" << kRefused;
    QTest::newRow("trailing blank") << "12 " << kRefused;
    QTest::newRow("three decimals") << "12.345" << kRefused;
    QTest::newRow("letters") << "abc" << kRefused;
    QTest::newRow("two points") << "1.2.3" << kRefused;
    QTest::newRow("sixteen integer digits") << "1234567890123456" << kRefused;
    QTest::newRow("twenty integer digits") << "99999999999999999999" << kRefused;
    QTest::newRow("full-width digits") << "１２" << kRefused;
    QTest::newRow("hexadecimal") << "0x10" << kRefused;
}

void TestAmount::toMinorUnits()
{
    QFETCH(QString, typed);
    QFETCH(QString, minor);

    QCOMPARE(shown(Amount::toMinorUnits(typed.toStdString())), minor);
}

void TestAmount::fromMinorUnits_data()
{
    QTest::addColumn<QString>("minor");
    QTest::addColumn<QString>("shownAmount");

    QTest::newRow("one decimal") << "1250"
                                 << "12.5";
    QTest::newRow("whole") << "2500"
                           << "25";
    QTest::newRow("two decimals") << "1234567"
                                  << "12345.67";
    QTest::newRow("large whole") << "250000000"
                                 << "2500000";
    QTest::newRow("one cent") << "1"
                              << "0.01";
    QTest::newRow("ten cents") << "10"
                               << "0.1";
    QTest::newRow("one unit") << "100"
                              << "1";
    QTest::newRow("zero") << "0"
                          << "0";
    QTest::newRow("negative") << "-150"
                              << "-1.5";
    QTest::newRow("negative cent") << "-1"
                                   << "-0.01";
    QTest::newRow("beyond six significant digits") << "123456789"
                                                   << "1234567.89";

    QTest::newRow("decimal zeros") << "1250.00"
                                   << "12.5";
    QTest::newRow("fraction of a cent") << "1250.5"
                                        << "12.505";
    QTest::newRow("negative with decimals") << "-1250.00"
                                            << "-12.5";
    QTest::newRow("negative zero") << "-0.00"
                                   << "0";
    QTest::newRow("leading zeros") << "0007"
                                   << "0.07";
    QTest::newRow("trailing point") << "1250."
                                    << "12.5";
    QTest::newRow("beyond 64 bits") << "123456789012345678901234"
                                    << "1234567890123456789012.34";

    QTest::newRow("empty") << "" << kRefused;
    QTest::newRow("point first") << ".5" << kRefused;
    QTest::newRow("two points") << "12.5.0" << kRefused;
    QTest::newRow("exponent") << "1e+06" << kRefused;
    QTest::newRow("decimal exponent") << "1.25e3" << kRefused;
    QTest::newRow("over forty characters") << QString(41, QLatin1Char('1')) << kRefused;
    QTest::newRow("letters") << "abc" << kRefused;
    QTest::newRow("sign only") << "-" << kRefused;
    QTest::newRow("plus sign") << "+5" << kRefused;
    QTest::newRow("blank") << " 5" << kRefused;
}

void TestAmount::fromMinorUnits()
{
    QFETCH(QString, minor);
    QFETCH(QString, shownAmount);

    QCOMPARE(shown(Amount::fromMinorUnits(minor.toStdString())), shownAmount);
}

void TestAmount::minorUnitsAsIntegers_data()
{
    QTest::addColumn<qlonglong>("minor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shownAmount");

    QTest::newRow("one decimal") << 1250LL << "1250"
                                 << "12.5";
    QTest::newRow("whole") << 2500LL << "2500"
                           << "25";
    QTest::newRow("zero") << 0LL << "0"
                          << "0";
    QTest::newRow("one cent") << 1LL << "1"
                              << "0.01";
    QTest::newRow("negative") << -150LL << "-150"
                              << "-1.5";
    QTest::newRow("negative cent") << -1LL << "-1"
                                   << "-0.01";
    QTest::newRow("seventeen digits") << 12345678901234567LL << "12345678901234567"
                                      << "123456789012345.67";
}

void TestAmount::minorUnitsAsIntegers()
{
    QFETCH(qlonglong, minor);
    QFETCH(QString, text);
    QFETCH(QString, shownAmount);

    QCOMPARE(QString::fromStdString(Amount::formatMinorUnits(minor)), shownAmount);
    const std::optional<long long> parsed = Amount::parseMinorUnits(text.toStdString());
    QVERIFY(parsed.has_value());
    QCOMPARE(qlonglong(*parsed), minor);
}

void TestAmount::parseMinorUnitsRefusesWhatIsNotAnInteger_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << "";
    QTest::newRow("decimal") << "12.5";
    QTest::newRow("exponent") << "1e+06";
    QTest::newRow("letters") << "abc";
    QTest::newRow("digits then letters") << "12abc";
    QTest::newRow("too large for 64 bits") << "99999999999999999999";
}

void TestAmount::parseMinorUnitsRefusesWhatIsNotAnInteger()
{
    QFETCH(QString, text);

    QVERIFY(!Amount::parseMinorUnits(text.toStdString()).has_value());
}

void TestAmount::toTwoDecimals_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("fixed");

    QTest::newRow("one decimal") << "12.5"
                                 << "12.50";
    QTest::newRow("whole") << "3"
                           << "3.00";
    QTest::newRow("two decimals") << "1234.56"
                                  << "1234.56";
    QTest::newRow("cents only") << "0.07"
                                << "0.07";
    QTest::newRow("trailing point") << "12."
                                    << "12.00";
    QTest::newRow("zero") << "0"
                          << "0.00";

    QTest::newRow("empty") << "" << kRefused;
    QTest::newRow("letters") << "abc" << kRefused;
    QTest::newRow("exponent") << "1e5" << kRefused;
}

void TestAmount::toTwoDecimals()
{
    QFETCH(QString, typed);
    QFETCH(QString, fixed);

    QCOMPARE(shown(Amount::toTwoDecimals(typed.toStdString())), fixed);
}

QTEST_GUILESS_MAIN(TestAmount)
#include "TestAmount.moc"
