// The floating icon: how far it can be dragged, where a click on it leads with the
// single-window switch on and off, and that it comes back when the single-window form is put
// away while the main window is hidden. (The amount it shows: TestInputSources.)
#include "CheckStandWin.h"
#include "PayWin.h"
#include "Resources.h"
#include "ShowWin.h"
#include "SingleWin.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestShowWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void dragStopsShortOfTheEdges_data();
    void dragStopsShortOfTheEdges();
    void clickOpens_data();
    void clickOpens();
    void iconReturnsWhenTheFormHides_data();
    void iconReturnsWhenTheFormHides();

private:
    void build(int multiWindow);

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ShowWin> m_icon;
};

void TestShowWin::initTestCase()
{
    Resources::initialise();
    WindowScaling::setScreenOverride(QSize(1366, 768));
}

void TestShowWin::cleanup()
{
    m_icon.reset();
    m_home.reset();
}

void TestShowWin::build(int multiWindow)
{
    m_home = std::make_unique<TempHome>();
    QFile config(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[adbinfo]\r\nConnMode=9\r\n[MULTIWINDOW_SHOW]\r\nmultiwindow_show="
        + QByteArray::number(multiWindow) + "\r\n[SUSPENDWINDOW_SHOW]\r\nsuspendwindow_show=1\r\n");
    config.close();
    m_icon = std::make_unique<ShowWin>();
    m_icon->show();
}

void TestShowWin::dragStopsShortOfTheEdges_data()
{
    // On a 1366 x 768 screen the icon's corner stays left of x 1216 and above y 708.
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<bool>("moves");

    QTest::newRow("inside") << QPoint(600, 300) << true;
    QTest::newRow("151 before the right edge") << QPoint(1215, 100) << true;
    QTest::newRow("150 before the right edge") << QPoint(1216, 100) << false;
    QTest::newRow("61 above the bottom") << QPoint(100, 707) << true;
    QTest::newRow("60 above the bottom") << QPoint(100, 708) << false;
    QTest::newRow("top left corner") << QPoint(0, 0) << true;
    QTest::newRow("past the left edge") << QPoint(-1, 100) << false;
    QTest::newRow("past the top") << QPoint(100, -1) << false;
}

void TestShowWin::dragStopsShortOfTheEdges()
{
    QFETCH(QPoint, to);
    QFETCH(bool, moves);

    build(0);
    const QPoint start = m_icon->pos();
    const QPoint grab(700, 200);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), grab, Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_icon.get(), &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), grab + to - start, Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_icon.get(), &move);
    QCOMPARE(m_icon->pos(), moves ? to : start);
}

void TestShowWin::clickOpens_data()
{
    QTest::addColumn<int>("multiWindow");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("focused"); // in the single-window form, or in the checkout

    QTest::newRow("single-window form") << 1 << QString() << "lineEdit_paycode";
    QTest::newRow("checkout, no amount") << 0 << QString() << "lineEdit_money";
    QTest::newRow("checkout, amount present") << 0 << "12"
                                              << "lineEdit_paycode";
}

void TestShowWin::clickOpens()
{
    QFETCH(int, multiWindow);
    QFETCH(QString, amount);
    QFETCH(QString, focused);

    build(multiWindow);
    PayWin *main = m_icon->payWin();
    main->OnShowRefund();
    main->hide();
    main->checkStandWin()->findChild<QLineEdit *>("lineEdit_money")->setText(amount);

    m_icon->findChild<QPushButton *>(QStringLiteral("pushButton_showwindow"))->click();
    QVERIFY(!m_icon->isVisible());
    QWidget *form = multiWindow ? static_cast<QWidget *>(main->singleWin()) : main->checkStandWin();
    const auto *expected = form->findChild<QLineEdit *>(focused);
    QVERIFY(expected);
    QCOMPARE(expected->window()->focusWidget(), expected);
    QVERIFY(form->isVisible());
    QCOMPARE(main->isVisible(), multiWindow == 0);
    if (multiWindow == 0)
        QCOMPARE(main->currentItem(), PayWin::Checkout);
}

void TestShowWin::iconReturnsWhenTheFormHides_data()
{
    QTest::addColumn<bool>("byHotKey"); // the checkout hot key toggles it away; else Esc

    QTest::newRow("Esc") << false;
    QTest::newRow("checkout hot key") << true;
}

void TestShowWin::iconReturnsWhenTheFormHides()
{
    QFETCH(bool, byHotKey);

    build(1);
    PayWin *main = m_icon->payWin();
    // The main window was hidden long ago: its timer that brings the icon back has fired.
    main->setShowWindowTime(0);
    main->hide();
    QTRY_VERIFY(!main->showTimerActive());
    SingleWin *form = main->singleWin();
    if (byHotKey)
        main->receiveDataFromParamSettingWinHotKey(1); // the first call leaves it hidden
    m_icon->findChild<QPushButton *>(QStringLiteral("pushButton_showwindow"))->click();
    QVERIFY(form->isVisible());
    QVERIFY(!m_icon->isVisible());

    if (byHotKey)
        main->receiveDataFromParamSettingWinHotKey(1);
    else
        QTest::keyClick(form, Qt::Key_Escape);
    QVERIFY(!form->isVisible());
    QTRY_VERIFY(m_icon->isVisible());
    QVERIFY(!main->isVisible());
}

QTEST_MAIN(TestShowWin)
#include "TestShowWin.moc"
