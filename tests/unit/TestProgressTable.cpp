#include "ProgressTable.h"

#include <QtTest>

#include <optional>

class TestProgressTable : public QObject
{
    Q_OBJECT

private slots:
    void everyCellOfTheTable_data();
    void everyCellOfTheTable();
    void outsideTheTable_data();
    void outsideTheTable();
    void firstAttemptOfAPollFillsTheRow();
    void attemptThirteenInPhaseOneLightsAllAndStartsOver();
};

void TestProgressTable::everyCellOfTheTable_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<QVector<int>>("lit"); // one value per attempt group
    QTest::addColumn<QVector<int>>("next"); // one value per attempt group

    QTest::newRow("phase 0") << 0 << QVector<int> {0, 1, 2, 3, 4} << QVector<int> {1, 1, 1, 1, 1};
    QTest::newRow("phase 1") << 1 << QVector<int> {1, 2, 3, 4, 5} << QVector<int> {2, 2, 2, 2, 0};
    QTest::newRow("phase 2") << 2 << QVector<int> {2, 3, 4, 5, 2} << QVector<int> {3, 3, 3, 0, 3};
    QTest::newRow("phase 3") << 3 << QVector<int> {3, 4, 5, 3, 3} << QVector<int> {4, 4, 0, 4, 4};
    QTest::newRow("phase 4") << 4 << QVector<int> {4, 5, 5, 4, 4} << QVector<int> {5, 0, 5, 5, 5};
    QTest::newRow("phase 5") << 5 << QVector<int> {5, 5, 5, 5, 5} << QVector<int> {0, 0, 0, 0, 0};
}

void TestProgressTable::everyCellOfTheTable()
{
    QFETCH(int, phase);
    QFETCH(QVector<int>, lit);
    QFETCH(QVector<int>, next);

    // Every attempt of a group, so a wrong group boundary shows up too.
    for (int attempt = 1; attempt <= 15; ++attempt) {
        const int group = (attempt - 1) / 3;
        const std::optional<ProgressTable::Cell> cell = ProgressTable::cell(phase, attempt);
        QVERIFY2(cell.has_value(), qPrintable(QStringLiteral("attempt %1").arg(attempt)));
        QVERIFY2(cell->lit == lit[group],
            qPrintable(QStringLiteral("attempt %1: lit %2, expected %3")
                           .arg(attempt)
                           .arg(cell->lit)
                           .arg(lit[group])));
        QVERIFY2(cell->nextPhase == next[group],
            qPrintable(QStringLiteral("attempt %1: next phase %2, expected %3")
                           .arg(attempt)
                           .arg(cell->nextPhase)
                           .arg(next[group])));
    }
}

void TestProgressTable::outsideTheTable_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("attempt");

    QTest::newRow("attempt 0") << 0 << 0;
    QTest::newRow("end of poll marker") << 0 << -1;
    QTest::newRow("attempt below -1") << 1 << -2;
    QTest::newRow("attempt 16") << 5 << 16;
    QTest::newRow("large attempt") << 2 << 1000;
    QTest::newRow("phase -1") << -1 << 1;
    QTest::newRow("phase 6") << 6 << 1;
    QTest::newRow("phase 6, last attempt") << 6 << 15;
    QTest::newRow("both outside") << 7 << 0;
}

void TestProgressTable::outsideTheTable()
{
    QFETCH(int, phase);
    QFETCH(int, attempt);

    QVERIFY(!ProgressTable::cell(phase, attempt).has_value());
}

void TestProgressTable::firstAttemptOfAPollFillsTheRow()
{
    // The polling thread reports attempt 1 six times; the phase carries from one to the next.
    int phase = 0;
    QVector<int> litSeen;
    for (int report = 0; report < 6; ++report) {
        const std::optional<ProgressTable::Cell> cell = ProgressTable::cell(phase, 1);
        QVERIFY(cell.has_value());
        litSeen << cell->lit;
        phase = cell->nextPhase;
    }
    QCOMPARE(litSeen, (QVector<int> {0, 1, 2, 3, 4, 5}));
    QCOMPARE(phase, 0);
}

void TestProgressTable::attemptThirteenInPhaseOneLightsAllAndStartsOver()
{
    const std::optional<ProgressTable::Cell> cell = ProgressTable::cell(1, 13);
    QVERIFY(cell.has_value());
    QCOMPARE(cell->lit, ProgressTable::kDotCount);
    QCOMPARE(cell->nextPhase, 0);
}

QTEST_APPLESS_MAIN(TestProgressTable)
#include "TestProgressTable.moc"
