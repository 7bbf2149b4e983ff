// What the check boxes of the settings page store: 0 when checked for the "show"/"print"
// switches, 1 when checked for auto-confirm and auto-login; a partially checked box stores
// nothing.
#include "SettingSwitch.h"

#include <QtTest>

using SettingSwitch::Sense;
Q_DECLARE_METATYPE(Sense)
Q_DECLARE_METATYPE(std::optional<int>)

class TestSettingSwitch : public QObject
{
    Q_OBJECT

private slots:
    void checkStateStores_data();
    void checkStateStores();
    void storedValueShows_data();
    void storedValueShows();
};

void TestSettingSwitch::checkStateStores_data()
{
    QTest::addColumn<Sense>("sense");
    QTest::addColumn<int>("state");
    QTest::addColumn<std::optional<int>>("stored");

    const std::optional<int> nothing;
    QTest::newRow("print: checked")
        << Sense::ZeroWhenChecked << int(Qt::Checked) << std::optional<int>(0);
    QTest::newRow("print: unchecked")
        << Sense::ZeroWhenChecked << int(Qt::Unchecked) << std::optional<int>(1);
    QTest::newRow("print: partial")
        << Sense::ZeroWhenChecked << int(Qt::PartiallyChecked) << nothing;
    QTest::newRow("auto-login: checked")
        << Sense::OneWhenChecked << int(Qt::Checked) << std::optional<int>(1);
    QTest::newRow("auto-login: unchecked")
        << Sense::OneWhenChecked << int(Qt::Unchecked) << std::optional<int>(0);
    QTest::newRow("auto-login: partial")
        << Sense::OneWhenChecked << int(Qt::PartiallyChecked) << nothing;
    QTest::newRow("not a state") << Sense::OneWhenChecked << 7 << nothing;
}

void TestSettingSwitch::checkStateStores()
{
    QFETCH(Sense, sense);
    QFETCH(int, state);
    QFETCH(std::optional<int>, stored);
    QCOMPARE(SettingSwitch::valueFor(state, sense), stored);
}

void TestSettingSwitch::storedValueShows_data()
{
    QTest::addColumn<Sense>("sense");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("checked");

    QTest::newRow("print 0") << Sense::ZeroWhenChecked << 0 << true;
    QTest::newRow("print 1") << Sense::ZeroWhenChecked << 1 << false;
    QTest::newRow("print 5") << Sense::ZeroWhenChecked << 5 << false;
    QTest::newRow("auto-login 0") << Sense::OneWhenChecked << 0 << false;
    QTest::newRow("auto-login 1") << Sense::OneWhenChecked << 1 << true;
    QTest::newRow("auto-login 5") << Sense::OneWhenChecked << 5 << true;
}

void TestSettingSwitch::storedValueShows()
{
    QFETCH(Sense, sense);
    QFETCH(int, value);
    QFETCH(bool, checked);
    QCOMPARE(SettingSwitch::isChecked(value, sense), checked);
}

QTEST_APPLESS_MAIN(TestSettingSwitch)
#include "TestSettingSwitch.moc"
