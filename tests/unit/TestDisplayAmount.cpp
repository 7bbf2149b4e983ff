#include "DisplayAmount.h"

#include <QtTest>

#include <optional>

namespace {

const QChar kEscape(27);

} // namespace

class TestDisplayAmount : public QObject
{
    Q_OBJECT

private slots:
    void extract_data();
    void extract();
};

void TestDisplayAmount::extract_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("used");
    QTest::addColumn<QString>("amount");

    QTest::newRow("blanks, amount, escape, more digits")
        << QString(QStringLiteral("   1500") + kEscape + QStringLiteral("Q2300")) << true
        << QStringLiteral("1500");
    QTest::newRow("blanks inside the amount")
        << QStringLiteral(" 1 5 0 0 ") << true << QStringLiteral("1500");
    QTest::newRow("line end") << QStringLiteral("  12.5\r\n") << true << QStringLiteral("12.5");
    QTest::newRow("tab before the escape")
        << QString(QStringLiteral("\t8.25\n") + kEscape + QStringLiteral("0")) << true
        << QStringLiteral("8.25");
    QTest::newRow("zero") << QStringLiteral("0") << false << QString();
    QTest::newRow("zero with decimals") << QStringLiteral("0.00\r\n") << false << QString();
    QTest::newRow("zero before the escape")
        << QString(QStringLiteral("0") + kEscape + QStringLiteral("15")) << false << QString();
    QTest::newRow("letters") << QStringLiteral("abc") << false << QString();
    QTest::newRow("digits then letters") << QStringLiteral("15abc") << false << QString();
    QTest::newRow("empty") << QString() << false << QString();
    QTest::newRow("only blanks") << QStringLiteral(" \r\n\t ") << false << QString();
    QTest::newRow("escape first") << QString(kEscape + QStringLiteral("1500")) << false
                                  << QString();
}

void TestDisplayAmount::extract()
{
    QFETCH(QString, text);
    QFETCH(bool, used);
    QFETCH(QString, amount);

    const std::optional<QString> extracted = DisplayAmount::extract(text);
    QCOMPARE(extracted.has_value(), used);
    if (used)
        QCOMPARE(*extracted, amount);
}

QTEST_GUILESS_MAIN(TestDisplayAmount)
#include "TestDisplayAmount.moc"
