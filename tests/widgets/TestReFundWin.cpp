// The refund page on its own: the keypad and keyboard rules, and the cards of a refund that is
// refused before any request (no order number, an amount that is not a plain decimal). The
// gateway is a closed local port: a request that is sent fails at once with the network card.
#include "MetaTypes.h"
#include "ReFundWin.h"
#include "Resources.h"
#include "TempHome.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

QString cardText(const collectionWin *card, const char *name)
{
    const auto *label = card->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

} // namespace

class TestReFundWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keypadActsOnTheFocusedField_data();
    void keypadActsOnTheFocusedField();
    void enterInTheWindow_data();
    void enterInTheWindow();
    void refusedBeforeAnyRequest_data();
    void refusedBeforeAnyRequest();
    void networkFailureKeepsTheFields();

private:
    QLineEdit *field(const char *name) const;
    void click(const char *button) const;

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<QWidget> m_main;
    ReFundWin *m_win = nullptr;
};

void TestReFundWin::initTestCase()
{
    Resources::initialise();
    MetaTypes::registerAll();
}

void TestReFundWin::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    QFile config(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(
        "[GATEWAY_HOST]\r\ngateway_host=https://127.0.0.1:1\r\n[adbinfo]\r\nConnMode=9\r\n");
    config.close();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    m_main = std::make_unique<QWidget>();
    m_main->resize(700, 520);
    m_win = new ReFundWin(m_main.get());
    m_main->show();
    QApplication::setActiveWindow(m_main.get());
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

void TestReFundWin::cleanup()
{
    m_main.reset();
    m_win = nullptr;
    WindowScaling::setScreenOverride(QSize());
    m_home.reset();
}

QLineEdit *TestReFundWin::field(const char *name) const
{
    auto *edit = m_win->findChild<QLineEdit *>(QLatin1String(name));
    if (!edit)
        qFatal("no line edit %s", name);
    return edit;
}

void TestReFundWin::click(const char *button) const
{
    auto *key = m_win->findChild<QPushButton *>(QLatin1String(button));
    if (!key)
        qFatal("no button %s", button);
    QTest::mouseClick(key, Qt::LeftButton);
}

void TestReFundWin::keypadActsOnTheFocusedField_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("texts"); // order number, amount, remark

    QTest::newRow("digits into the order number")
        << "lineEdit_orderno"
        << QStringList {"pushButton_input1", "pushButton_input00", "pushButton_input9"}
        << QStringList {"71009", "5", "r"};
    QTest::newRow("no point in the order number")
        << "lineEdit_orderno" << QStringList {"pushButton_dot", "pushButton_input2"}
        << QStringList {"72", "5", "r"};
    QTest::newRow("a point in the amount")
        << "lineEdit_money" << QStringList {"pushButton_dot", "pushButton_input5"}
        << QStringList {"7", "5.5", "r"};
    QTest::newRow("a point in the remark")
        << "lineEdit_note"
        << QStringList {"pushButton_dot", "pushButton_delete", "pushButton_delete"}
        << QStringList {"7", "5", ""};
    QTest::newRow("delete in the order number")
        << "lineEdit_orderno" << QStringList {"pushButton_delete"} << QStringList {"", "5", "r"};
    QTest::newRow("cancel empties all three")
        << "lineEdit_money" << QStringList {"pushButton_esc"} << QStringList {"", "", ""};
}

void TestReFundWin::keypadActsOnTheFocusedField()
{
    QFETCH(QString, focus);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, texts);

    field("lineEdit_orderno")->setText(QStringLiteral("7"));
    field("lineEdit_money")->setText(QStringLiteral("5"));
    field("lineEdit_note")->setText(QStringLiteral("r"));
    field(qPrintable(focus))->setFocus();
    for (const QString &key : keys)
        click(qPrintable(key));
    QCOMPARE(field("lineEdit_orderno")->text(), texts.at(0));
    QCOMPARE(field("lineEdit_money")->text(), texts.at(1));
    QCOMPARE(field("lineEdit_note")->text(), texts.at(2));
    QVERIFY(field(qPrintable(focus))->hasFocus());
}

void TestReFundWin::enterInTheWindow_data()
{
    QTest::addColumn<QString>("orderNumber");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<bool>("refunds");
    QTest::addColumn<bool>("orderFocused");

    QTest::newRow("amount and order number refund") << "202612071015001000001"
                                                    << "1" << true << false;
    QTest::newRow("amount only moves to the order number") << ""
                                                           << "1" << false << true;
    QTest::newRow("no amount does nothing") << "202612071015001000001"
                                            << "" << false << false;
}

void TestReFundWin::enterInTheWindow()
{
    QFETCH(QString, orderNumber);
    QFETCH(QString, amount);
    QFETCH(bool, refunds);
    QFETCH(bool, orderFocused);

    field("lineEdit_orderno")->setText(orderNumber);
    field("lineEdit_money")->setText(amount);
    field("lineEdit_note")->setFocus();
    QTest::keyClick(field("lineEdit_note"), Qt::Key_Return);
    QCOMPARE(m_win->busy(), refunds);
    QCOMPARE(field("lineEdit_orderno")->hasFocus(), orderFocused);
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->busy(), 15000);
    QCOMPARE(m_win->resultCard()->isVisible(), refunds);
}

void TestReFundWin::refusedBeforeAnyRequest_data()
{
    QTest::addColumn<QString>("orderNumber");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("orderLine");

    QTest::newRow("no order number") << "" << QStringList {} << "未输入订单号！"
                                     << "订单号:无";
    QTest::newRow("amount with two points")
        << "202612071015001000001"
        << QStringList {"pushButton_input1", "pushButton_dot", "pushButton_dot"}
        << "退款金额格式错误！"
        << "订单号:202612071015001000001";
    QTest::newRow("amount with three decimals")
        << "202612071015001000001"
        << QStringList {"pushButton_dot", "pushButton_input1", "pushButton_input1",
               "pushButton_input1"}
        << "退款金额格式错误！"
        << "订单号:202612071015001000001";
}

void TestReFundWin::refusedBeforeAnyRequest()
{
    QFETCH(QString, orderNumber);
    QFETCH(QStringList, keys);
    QFETCH(QString, message);
    QFETCH(QString, orderLine);

    field("lineEdit_orderno")->setText(orderNumber);
    field("lineEdit_money")->setFocus();
    for (const QString &key : keys)
        click(qPrintable(key));
    click("pushButton_yes");

    QVERIFY(!m_win->busy());
    const collectionWin *card = m_win->resultCard();
    QVERIFY(card->isVisible());
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("退款失败"));
    QCOMPARE(cardText(card, "label_sq"), message);
    QCOMPARE(cardText(card, "label_ddh"), orderLine);
    QCOMPARE(cardText(card, "label_fs"), QStringLiteral("退款方式:"));
    QCOMPARE(cardText(card, "label"), QStringLiteral("无"));
    QCOMPARE(cardText(card, "label_sj"), QStringLiteral("3s"));
    QCOMPARE(field("lineEdit_orderno")->text(), orderNumber);
}

void TestReFundWin::networkFailureKeepsTheFields()
{
    field("lineEdit_orderno")->setText(QStringLiteral("202612071015001000001"));
    field("lineEdit_money")->setText(QStringLiteral("2"));
    click("pushButton_yes");
    auto *refund = m_win->findChild<QPushButton *>(QStringLiteral("pushButton_yes"));
    QVERIFY(m_win->busy());
    QVERIFY(!refund->isEnabled());

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), 15000);
    QVERIFY(refund->isEnabled());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("退款失败"));
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("请检查网络"));
    QCOMPARE(cardText(card, "label_ddh"), QStringLiteral("订单号:202612071015001000001"));
    QCOMPARE(field("lineEdit_money")->text(), QStringLiteral("2"));
}

QTEST_MAIN(TestReFundWin)
#include "TestReFundWin.moc"
