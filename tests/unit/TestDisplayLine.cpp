// The customer display line: the bytes after the upper-line command ESC "Q" "A" are the amount
// the till shows; the pay forms then take the amount out of that text.
#include "DisplayAmount.h"
#include "DisplayLine.h"

#include <QtTest>

class TestDisplayLine : public QObject
{
    Q_OBJECT

private slots:
    void displayRule_data();
    void displayRule();
};

void TestDisplayLine::displayRule_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("amount"); // empty: the pay forms keep their amount

    QTest::newRow("ESC Q A 1500 CR")
        << QByteArray("\x1bQA1500\r") << QByteArray("1500\r") << QStringLiteral("1500");
    QTest::newRow("no command") << QByteArray("1500\r") << QByteArray() << QString();
    QTest::newRow("command last, nothing after")
        << QByteArray("12\x1bQA") << QByteArray() << QString();
    QTest::newRow("first command counts")
        << QByteArray("\x1b@\x1bQA12.50\r\x1bQA99\r") << QByteArray("12.50\r\x1bQA99\r")
        << QStringLiteral("12.50");
    QTest::newRow("clear-screen bytes before") << QByteArray("\x0c\x1bs1\x1bQA  8.8 \r")
                                               << QByteArray("  8.8 \r") << QStringLiteral("8.8");
    QTest::newRow("zero byte ends the text") << QByteArray("\x1bQA25\0"
                                                           "99",
        8) << QByteArray("25") << QStringLiteral("25");
    QTest::newRow("zero amount changes nothing")
        << QByteArray("\x1bQA0.00\r") << QByteArray("0.00\r") << QString();
    QTest::newRow("text is not an amount")
        << QByteArray("\x1bQATOTAL\r") << QByteArray("TOTAL\r") << QString();
    QTest::newRow("full buffer keeps room for the terminator")
        << QByteArray("\x1bQA") + QByteArray(2000, '7') << QByteArray(1023, '7')
        << QString(); // and a number that large is no amount
}

void TestDisplayLine::displayRule()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, payload);
    QFETCH(QString, amount);

    QCOMPARE(DisplayLine::payload(data), payload);
    QCOMPARE(DisplayAmount::extract(DisplayLine::text(data)).value_or(QString()), amount);
}

QTEST_APPLESS_MAIN(TestDisplayLine)
#include "TestDisplayLine.moc"
