#include "CardCountdown.h"

#include <QtTest>

#include <vector>

using Step = CardCountdown::Step;

namespace {

std::vector<Step> ticks(CardCountdown &countdown, int count)
{
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i)
        steps.push_back(countdown.tick());
    return steps;
}

} // namespace

class TestCardCountdown : public QObject
{
    Q_OBJECT

private slots:
    void countsDownThenClosesAndStartsOver();
    void cardShownDuringACountClosesWithIt();
};

void TestCardCountdown::countsDownThenClosesAndStartsOver()
{
    CardCountdown countdown;
    QCOMPARE(countdown.counter(), 3);

    QVERIFY(countdown.tick() == Step::ShowTwo);
    QCOMPARE(countdown.counter(), 2);
    QVERIFY(countdown.tick() == Step::ShowOne);
    QCOMPARE(countdown.counter(), 1);
    QVERIFY(countdown.tick() == Step::Close);
    QCOMPARE(countdown.counter(), 3);

    // The next card counts the full three seconds again.
    const std::vector<Step> next = ticks(countdown, 3);
    QVERIFY(next == std::vector<Step>({Step::ShowTwo, Step::ShowOne, Step::Close}));
    QCOMPARE(countdown.counter(), 3);
}

void TestCardCountdown::cardShownDuringACountClosesWithIt()
{
    CardCountdown countdown;
    QVERIFY(countdown.tick() == Step::ShowTwo);

    // A second card is shown now ("3s", timer restarted): the count is not reset, so the
    // second card closes after the two ticks that were left of the first one.
    QCOMPARE(countdown.counter(), 2);
    const std::vector<Step> rest = ticks(countdown, 2);
    QVERIFY(rest == std::vector<Step>({Step::ShowOne, Step::Close}));
    QCOMPARE(countdown.counter(), 3);
}

QTEST_GUILESS_MAIN(TestCardCountdown)
#include "TestCardCountdown.moc"
