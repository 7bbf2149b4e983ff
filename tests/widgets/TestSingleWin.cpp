// The single-window form on its own: the keypad it shares with the checkout (a key acts on the
// focused field only), and the amount from the floating icon.
#include "Resources.h"
#include "SingleWin.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestSingleWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keypadActsOnTheFocusedField_data();
    void keypadActsOnTheFocusedField();
    void amountFromTheFloatingIcon_data();
    void amountFromTheFloatingIcon();

private:
    QLineEdit *field(const char *name) const;
    void press(const char *button) const;

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<SingleWin> m_win;
};

void TestSingleWin::initTestCase()
{
    Resources::initialise();
    WindowScaling::setScreenOverride(QSize(1366, 768));
}

void TestSingleWin::init()
{
    m_home = std::make_unique<TempHome>();
    m_win = std::make_unique<SingleWin>();
    m_win->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
    m_win->activateWindow();
}

void TestSingleWin::cleanup()
{
    m_win.reset();
    m_home.reset();
}

QLineEdit *TestSingleWin::field(const char *name) const
{
    return m_win->findChild<QLineEdit *>(QLatin1String(name));
}

void TestSingleWin::press(const char *button) const
{
    m_win->findChild<QPushButton *>(QLatin1String(button))->click();
}

void TestSingleWin::keypadActsOnTheFocusedField_data()
{
    QTest::addColumn<QString>("focused"); // empty: no field has the focus
    QTest::addColumn<QString>("money");
    QTest::addColumn<QString>("payCode");

    QTest::newRow("amount") << "lineEdit_money"
                            << "1200.5"
                            << "";
    QTest::newRow("payment code") << "lineEdit_paycode"
                                  << ""
                                  << "1200.5";
    QTest::newRow("no field") << ""
                              << ""
                              << "";
}

void TestSingleWin::keypadActsOnTheFocusedField()
{
    QFETCH(QString, focused);
    QFETCH(QString, money);
    QFETCH(QString, payCode);

    if (!focused.isEmpty()) {
        m_win->findChild<QLineEdit *>(focused)->setFocus();
        QTRY_VERIFY(m_win->findChild<QLineEdit *>(focused)->hasFocus());
    } else if (QWidget *first = m_win->focusWidget()) {
        first->clearFocus();
    }
    for (const char *key : {"pushButton_input1", "pushButton_input2", "pushButton_input00",
             "pushButton_inputdot", "pushButton_input5", "pushButton_input7", "pushButton_delete"})
        press(key);
    QCOMPARE(field("lineEdit_money")->text(), money);
    QCOMPARE(field("lineEdit_paycode")->text(), payCode);
    press("pushButton_esc");
    QVERIFY(field("lineEdit_money")->text().isEmpty());
    QVERIFY(field("lineEdit_paycode")->text().isEmpty());
}

void TestSingleWin::amountFromTheFloatingIcon_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("amount");

    QTest::newRow("display line") << QStringLiteral(" 1500\r\n") << QStringLiteral("1500");
    QTest::newRow("cut at escape") << QStringLiteral("  88.5\x1bQA12") << QStringLiteral("88.5");
    QTest::newRow("zero keeps the amount") << QStringLiteral("0") << QStringLiteral("7");
    QTest::newRow("empty keeps the amount") << QString() << QStringLiteral("7");
}

void TestSingleWin::amountFromTheFloatingIcon()
{
    QFETCH(QString, received);
    QFETCH(QString, amount);

    field("lineEdit_money")->setText(QStringLiteral("7"));
    m_win->receiveDataFromShowWin(received);
    QCOMPARE(field("lineEdit_money")->text(), amount);
}

QTEST_MAIN(TestSingleWin)
#include "TestSingleWin.moc"
