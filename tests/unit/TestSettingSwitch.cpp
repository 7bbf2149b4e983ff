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

QTEST_APPLESS_MAIN(TestSettingSwitch)
#include "TestSettingSwitch.moc"
