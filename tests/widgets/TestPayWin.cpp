// The main window: sizes per menu item and screen, menu styles, the hot-key slots' first-call
// rules, the show timer that brings the floating icon back, Esc and the close button.
#include "CheckStandWin.h"
#include "OrderQueryWin.h"
#include "ParamSettingWin.h"
#include "PayWin.h"
#include "QMyButton.h"
#include "Resources.h"
#include "SingleWin.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestPayWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sizePerItem_data();
    void sizePerItem();
    void orderQueryThenCheckoutRestoresTheSize();
    void activeItemIsRedOthersSlate();
    void cashHotKeyFirstCallShowsThenToggles();
    void singleWindowHotKeyFirstCallLeavesItHidden();
    void reportHotKeyFirstCallShowsTheOrderList();
    void hiddenWindowBringsTheIconBack();
    void iconStaysHiddenWhenTheWindowCameBack();
    void escapeAndCloseButtonHide();
    void checkoutAsksToBeShown();
    void tallerPageKeepsTheWindowOnTheScreen();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestPayWin::initTestCase()
{
    Resources::initialise();
}

void TestPayWin::init()
{
    m_home = std::make_unique<TempHome>();
    WindowScaling::setScreenOverride(QSize(1366, 768));
}

void TestPayWin::cleanup()
{
    WindowScaling::setScreenOverride(QSize());
    m_home.reset();
}

void TestPayWin::sizePerItem_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("item");
    QTest::addColumn<QSize>("size");
    const QSize small(1366, 768);
    const QSize wide(1920, 1080);
    QTest::newRow("1366 checkout") << small << int(PayWin::Checkout) << QSize(671, 503);
    QTest::newRow("1366 order query") << small << int(PayWin::OrderQuery) << QSize(873, 542);
    QTest::newRow("1366 daily summary") << small << int(PayWin::DailyQuery) << QSize(691, 503);
    QTest::newRow("1366 refund") << small << int(PayWin::Refund) << QSize(671, 503);
    QTest::newRow("1366 settings") << small << int(PayWin::Settings) << QSize(671, 580);
    QTest::newRow("1920 checkout") << wide << int(PayWin::Checkout) << QSize(894, 603);
    QTest::newRow("1920 order query") << wide << int(PayWin::OrderQuery) << QSize(1164, 650);
    QTest::newRow("1920 daily summary") << wide << int(PayWin::DailyQuery) << QSize(921, 603);
    QTest::newRow("1920 refund") << wide << int(PayWin::Refund) << QSize(894, 603);
    QTest::newRow("1920 settings") << wide << int(PayWin::Settings) << QSize(894, 696);
}

void TestPayWin::sizePerItem()
{
    QFETCH(QSize, screen);
    QFETCH(int, item);
    QFETCH(QSize, size);
    WindowScaling::setScreenOverride(screen);
    PayWin window;
    window.menuButton(PayWin::MenuItem(item))->click();
    QCOMPARE(window.currentItem(), PayWin::MenuItem(item));
    QCOMPARE(window.size(), size);
    QCOMPARE(window.fullView(), item == PayWin::OrderQuery);
    // The menu column stacks its five buttons from the top, each one button-height lower.
    const int buttonHeight = window.menuButton(PayWin::Checkout)->height();
    QCOMPARE(window.menuButton(PayWin::Settings)->y(), 4 * buttonHeight);
}

void TestPayWin::orderQueryThenCheckoutRestoresTheSize()
{
    PayWin window;
    window.OnShowOrderQuery();
    QCOMPARE(window.size(), QSize(873, 542));
    QVERIFY(window.orderQueryWin()->isVisibleTo(&window));
    QVERIFY(!window.checkStandWin()->isVisibleTo(&window));
    window.OnShowCheckStandWin();
    QCOMPARE(window.size(), QSize(671, 503));
    QVERIFY(window.checkStandWin()->isVisibleTo(&window));
    QVERIFY(!window.orderQueryWin()->isVisibleTo(&window));
}

void TestPayWin::activeItemIsRedOthersSlate()
{
    PayWin window;
    window.OnShowRefund();
    const QStringList captions {"收银台", "订单查询", "日结查询", "申请退款", "参数设置"};
    for (int item = PayWin::Checkout; item <= PayWin::Settings; ++item) {
        QMyButton *button = window.menuButton(PayWin::MenuItem(item));
        QCOMPARE(button->caption(), captions[item - 1]);
        QVERIFY(button->text().isEmpty());
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        const QString textStyle = button->findChild<QLabel *>("label_font")->styleSheet();
        const QString iconStyle = button->findChild<QLabel *>("label_img")->styleSheet();
        const bool active = item == PayWin::Refund;
        QCOMPARE(textStyle.contains("rgba(193,39,45,1)"), active);
        QCOMPARE(textStyle.contains("rgba(55, 63, 83, 1)"), !active);
        QCOMPARE(iconStyle, textStyle);
    }
}

void TestPayWin::cashHotKeyFirstCallShowsThenToggles()
{
    PayWin window;
    window.show();
    window.OnShowDailyQuery();
    // The very first call leaves a visible window visible, on the checkout page.
    window.receiveDataFromParamSettingWinHotKey(0);
    QVERIFY(window.isVisible());
    QCOMPARE(window.currentItem(), PayWin::Checkout);
    window.receiveDataFromParamSettingWinHotKey(0);
    QVERIFY(!window.isVisible());
    window.receiveDataFromParamSettingWinHotKey(0);
    QVERIFY(window.isVisible());
    QCOMPARE(window.currentItem(), PayWin::Checkout);
}

void TestPayWin::singleWindowHotKeyFirstCallLeavesItHidden()
{
    PayWin window;
    window.receiveDataFromParamSettingWinHotKey(1);
    QVERIFY(!window.singleWin()->isVisible());
    window.receiveDataFromParamSettingWinHotKey(1);
    QVERIFY(window.singleWin()->isVisible());
    window.receiveDataFromParamSettingWinHotKey(1);
    QVERIFY(!window.singleWin()->isVisible());
}

void TestPayWin::reportHotKeyFirstCallShowsTheOrderList()
{
    PayWin window;
    window.show();
    window.receiveDataFromParamSettingWindHotKeyReport();
    QVERIFY(window.isVisible());
    QCOMPARE(window.currentItem(), PayWin::OrderQuery);
    window.receiveDataFromParamSettingWindHotKeyReport();
    QVERIFY(!window.isVisible());
    window.receiveDataFromParamSettingWindHotKeyReport();
    QVERIFY(window.isVisible());
}

void TestPayWin::hiddenWindowBringsTheIconBack()
{
    QWidget icon;
    PayWin window;
    window.setFloatingIcon(&icon);
    window.setShowWindowTime(1);
    window.show();
    window.hide();
    QVERIFY(window.showTimerActive());
    QVERIFY(!icon.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(icon.isVisible(), 3000);
    QVERIFY(!window.showTimerActive());
}

void TestPayWin::iconStaysHiddenWhenTheWindowCameBack()
{
    QWidget icon;
    PayWin window;
    window.setFloatingIcon(&icon);
    window.show();
    window.hide();
    QCOMPARE(window.showWindowTime(), 10);
    QVERIFY(window.showTimerActive());
    window.show();
    window.onShowWindow();
    QVERIFY(!icon.isVisible());
    QVERIFY(!window.showTimerActive());
}

void TestPayWin::escapeAndCloseButtonHide()
{
    PayWin window;
    window.show();
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());

    window.show();
    QSignalSpy deleteBarCode(window.checkStandWin(), &CheckStandWin::sendDeleteBarCode);
    window.OnCloseMe();
    QCOMPARE(deleteBarCode.count(), 1);
    QVERIFY(!window.isVisible());
}

void TestPayWin::checkoutAsksToBeShown()
{
    PayWin window;
    window.OnShowParamSetting();
    emit window.checkStandWin()->sendPayWinShow();
    QVERIFY(window.isVisible());
    QCOMPARE(window.currentItem(), PayWin::Checkout);
    QCOMPARE(window.pos(), QPoint((1366 - 671) / 4, (768 - 503) / 2));
    QVERIFY(!window.paramSettingWin()->isVisibleTo(&window));
}

void TestPayWin::tallerPageKeepsTheWindowOnTheScreen()
{
    // A 1366 x 768 screen at 125 % is 1093 x 614 device-independent pixels: the settings page,
    // taller than the room below the checkout, moves the window up, its buttons on the screen.
    WindowScaling::setScreenOverride(QSize(1093, 614));
    PayWin window;
    window.onShowPayWin();
    QCOMPARE(window.pos(), QPoint((1093 - 671) / 4, (614 - 503) / 2));
    window.OnShowParamSetting();
    QCOMPARE(window.size(), QSize(671, 580));
    QCOMPARE(window.pos(), QPoint((1093 - 671) / 4, 614 - 580));
    // On a screen with room, the page opens where the window is.
    WindowScaling::setScreenOverride(QSize(1366, 768));
    window.onShowPayWin();
    window.OnShowParamSetting();
    QCOMPARE(window.pos(), QPoint((1366 - 671) / 4, (768 - 503) / 2));
}

QTEST_MAIN(TestPayWin)
#include "TestPayWin.moc"
