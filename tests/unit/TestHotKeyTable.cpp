// The key list of the three hot-key combos: its texts and the key each index stands for.
#include "HotKeyTable.h"

#include <QSet>
#include <QtTest>

class TestHotKeyTable : public QObject
{
    Q_OBJECT

private slots:
    void indexNamesTextAndKey_data();
    void indexNamesTextAndKey();
    void everyEntryIsItsOwnKey();
};

void TestHotKeyTable::indexNamesTextAndKey_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("virtualKey");

    QTest::newRow("F1") << 0 << " VK_F1" << 0x70;
    QTest::newRow("F9, the cash default") << 8 << " VK_F9" << 0x78;
    QTest::newRow("F10") << 9 << " VK_F10" << 0x79;
    QTest::newRow("digit 0") << 10 << " 0" << 0x30;
    QTest::newRow("digit 9") << 19 << " 9" << 0x39;
    QTest::newRow("A") << 20 << " A" << 0x41;
    QTest::newRow("Z") << 45 << " Z" << 0x5A;
    QTest::newRow("keypad 0") << 46 << " NUMBER_0" << 0x60;
    QTest::newRow("keypad 9") << 55 << " NUMBER_9" << 0x69;
    QTest::newRow("keypad *") << 56 << " *" << 0x6A;
    QTest::newRow("keypad +") << 57 << " +" << 0x6B;
    QTest::newRow("Enter is the keypad separator, not Return") << 58 << " Enter" << 0x6C;
    QTest::newRow("keypad -") << 59 << " -" << 0x6D;
    QTest::newRow("keypad .") << 60 << " ." << 0x6E;
    QTest::newRow("keypad /") << 61 << " /" << 0x6F;
    QTest::newRow("past the end") << 62 << QString() << 0;
    QTest::newRow("negative") << -1 << QString() << 0;
}

void TestHotKeyTable::indexNamesTextAndKey()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(int, virtualKey);

    QCOMPARE(HotKeyTable::keyTexts().value(index), text);
    QCOMPARE(HotKeyTable::virtualKey(index), virtualKey);
}

void TestHotKeyTable::everyEntryIsItsOwnKey()
{
    const QStringList texts = HotKeyTable::keyTexts();
    QCOMPARE(texts.size(), HotKeyTable::kKeyCount);
    QSet<int> keys;
    for (int index = 0; index < texts.size(); ++index) {
        QVERIFY2(texts.at(index).startsWith(QLatin1Char(' ')), qPrintable(texts.at(index)));
        keys.insert(HotKeyTable::virtualKey(index));
    }
    QCOMPARE(keys.size(), HotKeyTable::kKeyCount);
    QVERIFY(!keys.contains(0));
}

QTEST_GUILESS_MAIN(TestHotKeyTable)
#include "TestHotKeyTable.moc"
