// The floating icon: where it sits, how far it can be dragged, the amount it shows, and where a
// click on it leads with the single-window switch on and off.
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
    void init();
    void cleanup();

    void placement();
    void dragStopsShortOfTheEdges_data();
    void dragStopsShortOfTheEdges();
    void amountFollowsTheCheckout();
    void clickOpens_data();
    void clickOpens();

private:
    void build(int multiWindow);
    void drag(QPoint from, QPoint to);

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ShowWin> m_icon;
};

void TestShowWin::initTestCase()
{
    Resources::initialise();
    WindowScaling::setScreenOverride(QSize(1366, 768));
}

void TestShowWin::init()
{
    m_home = std::make_unique<TempHome>();
}

void TestShowWin::cleanup()
{
    m_icon.reset();
    m_home.reset();
}

void TestShowWin::build(int multiWindow)
{
    QFile config(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[adbinfo]\r\nConnMode=9\r\n[MULTIWINDOW_SHOW]\r\nmultiwindow_show="
        + QByteArray::number(multiWindow)
        + "\r\n[SUSPENDWINDOW_SHOW]\r\nsuspendwindow_show=1\r\n"
          "[COLLECTMETHOD]\r\ncollectmethod=手动输入\r\n");
    config.close();
    m_icon = std::make_unique<ShowWin>();
    m_icon->show();
}

void TestShowWin::drag(QPoint from, QPoint to)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), from, Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_icon.get(), &press);
    QMouseEvent move(
        QEvent::MouseMove, QPointF(10, 10), to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_icon.get(), &move);
}

void TestShowWin::placement()
{
    build(0);
    QCOMPARE(m_icon->size(), QSize(276, 60));
    QCOMPARE(m_icon->pos(), QPoint((1366 - 276) * 6 / 11, (768 - 60) * 2 / 10));
    // Rounded corners: the very corner is outside the shape, the middle of an edge inside.
    QVERIFY(!m_icon->mask().contains(QPoint(0, 0)));
    QVERIFY(m_icon->mask().contains(QPoint(138, 0)));
    QCOMPARE(m_icon->amountText(), QStringLiteral("0"));
    QVERIFY(!m_icon->displayReaderRunning());
    QVERIFY(m_icon->payWin()->isVisible());
}

void TestShowWin::dragStopsShortOfTheEdges_data()
{
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<bool>("moves");

    QTest::newRow("inside") << QPoint(100, 100) << true;
    const QPoint start((1366 - 276) * 6 / 11, (768 - 60) * 2 / 10);
    QTest::newRow("to 151 before the right edge") << QPoint(1366 - 151 - start.x(), 0) << true;
    QTest::newRow("to 150 before the right edge") << QPoint(1366 - 150 - start.x(), 0) << false;
    QTest::newRow("to 61 above the bottom") << QPoint(0, 768 - 61 - start.y()) << true;
    QTest::newRow("to 60 above the bottom") << QPoint(0, 768 - 60 - start.y()) << false;
    QTest::newRow("to the left edge") << QPoint(-start.x(), 0) << true;
    QTest::newRow("past the left edge") << QPoint(-start.x() - 1, 0) << false;
    QTest::newRow("past the top") << QPoint(0, -start.y() - 1) << false;
}

void TestShowWin::dragStopsShortOfTheEdges()
{
    QFETCH(QPoint, by);
    QFETCH(bool, moves);

    build(0);
    const QPoint start = m_icon->pos();
    const QPoint grab(700, 200);
    drag(grab, grab + by);
    QCOMPARE(m_icon->pos(), moves ? start + by : start);
}

void TestShowWin::amountFollowsTheCheckout()
{
    build(0);
    CheckStandWin *checkout = m_icon->payWin()->checkStandWin();
    checkout->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"))->setText("36.8");
    QTRY_COMPARE(m_icon->amountText(), QStringLiteral("36.8"));
}

void TestShowWin::clickOpens_data()
{
    QTest::addColumn<int>("multiWindow");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("focused");

    QTest::newRow("single-window form") << 1 << QString() << "SingleWin.lineEdit_paycode";
    QTest::newRow("checkout, no amount") << 0 << QString() << "CheckStandWin.lineEdit_money";
    QTest::newRow("checkout, amount present") << 0 << "12"
                                              << "CheckStandWin.lineEdit_paycode";
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
    main->checkStandWin()
        ->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"))
        ->setText(amount);

    m_icon->findChild<QPushButton *>(QStringLiteral("pushButton_showwindow"))->click();
    QVERIFY(!m_icon->isVisible());
    QWidget *form = focused.startsWith("SingleWin") ? static_cast<QWidget *>(main->singleWin())
                                                    : main->checkStandWin();
    const auto *expected = form->findChild<QLineEdit *>(focused.section('.', 1));
    QVERIFY(expected);
    QCOMPARE(expected->window()->focusWidget(), expected);
    if (multiWindow != 0) {
        SingleWin *single = main->singleWin();
        QVERIFY(single->isVisible());
        QCOMPARE(single->pos(), QPoint((1366 - single->width()) / 4, (768 - single->height()) / 2));
        QVERIFY(!main->isVisible());
    } else {
        QVERIFY(main->isVisible());
        QCOMPARE(main->currentItem(), PayWin::Checkout);
        QVERIFY(main->checkStandWin()->isVisible());
        QCOMPARE(main->pos(), QPoint((1366 - main->width()) / 4, (768 - main->height()) / 2));
    }
}

QTEST_MAIN(TestShowWin)
#include "TestShowWin.moc"
