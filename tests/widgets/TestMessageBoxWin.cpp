#include "MessageBoxWin.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

constexpr int kLoopNotQuit = 99;

// Runs the application's event loop, performs `action` from inside it, and returns the loop's
// exit code: 0 when the action quit the application, kLoopNotQuit when the guard ended the loop
// after `guardMs` instead.
int runAppLoop(const std::function<void()> &action, int guardMs)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(kLoopNotQuit); });
    guard.start(guardMs);
    QTimer::singleShot(0, &guard, action);
    return QApplication::exec();
}

struct BoxParts
{
    explicit BoxParts(const MessageBoxWin &box)
        : title(box.findChild<QLabel *>(QStringLiteral("label_note")))
        , message(box.findChild<QLabel *>(QStringLiteral("label_message")))
        , yes(box.findChild<QPushButton *>(QStringLiteral("pushButton_yes")))
        , no(box.findChild<QPushButton *>(QStringLiteral("pushButton_no")))
        , yes2(box.findChild<QPushButton *>(QStringLiteral("pushButton_yes2")))
        , timer(box.findChild<QTimer *>(QStringLiteral("autoHideTimer")))
    { }
    bool complete() const { return title && message && yes && no && yes2 && timer; }

    QLabel *title;
    QLabel *message;
    QPushButton *yes;
    QPushButton *no;
    QPushButton *yes2;
    QTimer *timer;
};

} // namespace

class TestMessageBoxWin : public QObject
{
    Q_OBJECT

private slots:
    void roundedTranslucentWindow();
    void setTexts();
    void singleButtonMode();

    void autoHideAfterSeconds_data();
    void autoHideAfterSeconds();
    void timeoutWhileIdleDoesNothing();

    void yesQuitsApplication();
    void hideButtonsOnlyHide_data();
    void hideButtonsOnlyHide();
    void enterKeysPressSingleButton_data();
    void enterKeysPressSingleButton();
};

void TestMessageBoxWin::roundedTranslucentWindow()
{
    MessageBoxWin box;
    QVERIFY(qAbs(box.windowOpacity() - 0.95) < 0.01);

    const auto checkMask = [&box] {
        const QRegion mask = box.mask();
        const int w = box.width();
        const int h = box.height();
        QCOMPARE(mask.boundingRect(), box.rect());
        // Corners are cut by a radius of 20: (3, 3) lies outside the arc, a radius of a few
        // pixels would keep it.
        for (const QPoint corner :
            {QPoint(3, 3), QPoint(w - 4, 3), QPoint(3, h - 4), QPoint(w - 4, h - 4)})
            QVERIFY2(!mask.contains(corner),
                qPrintable(QStringLiteral("%1,%2").arg(corner.x()).arg(corner.y())));
        for (const QPoint inside : {QPoint(w / 2, 2), QPoint(2, h / 2), QPoint(w - 3, h / 2),
                 QPoint(w / 2, h - 3), QPoint(w / 2, h / 2), QPoint(8, 8)})
            QVERIFY2(mask.contains(inside),
                qPrintable(QStringLiteral("%1,%2").arg(inside.x()).arg(inside.y())));
    };
    checkMask();
    if (QTest::currentTestFailed())
        return;

    // The shape follows the window when it is resized.
    box.show();
    box.resize(700, 240);
    QCOMPARE(box.size(), QSize(700, 240));
    checkMask();
}

void TestMessageBoxWin::setTexts()
{
    MessageBoxWin box;
    const BoxParts parts(box);
    QVERIFY(parts.complete());
    box.setTexts(QStringLiteral("支付成功！"), QStringLiteral("支付方式：微信   支付金额：25"));
    QCOMPARE(parts.title->text(), QStringLiteral("支付成功！"));
    QCOMPARE(parts.message->text(), QStringLiteral("支付方式：微信   支付金额：25"));
}

void TestMessageBoxWin::singleButtonMode()
{
    MessageBoxWin box;
    const BoxParts parts(box);
    QVERIFY(parts.complete());
    box.show();
    QVERIFY(parts.yes->isVisible());
    QVERIFY(parts.no->isVisible());
    QVERIFY(!parts.yes2->isVisible());

    box.setSingleButtonMode();

    QVERIFY(!parts.yes->isVisible());
    QVERIFY(!parts.no->isVisible());
    QVERIFY(parts.yes2->isVisible());
}

void TestMessageBoxWin::autoHideAfterSeconds_data()
{
    QTest::addColumn<int>("seconds");

    QTest::newRow("failure notice, 1 s") << 1;
    QTest::newRow("success notice, 3 s") << 3;
}

void TestMessageBoxWin::autoHideAfterSeconds()
{
    QFETCH(int, seconds);

    MessageBoxWin box;
    const BoxParts parts(box);
    QVERIFY(parts.complete());
    box.setSingleButtonMode();
    box.show();

    box.startAutoHide(seconds);
    QVERIFY(box.isVisible());
    QCOMPARE(parts.timer->interval(), seconds * 1000);
    QCoreApplication::processEvents();
    QVERIFY(box.isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(!box.isVisible(), seconds * 1000 + 2000);
    QVERIFY(!parts.timer->isActive());
}

void TestMessageBoxWin::timeoutWhileIdleDoesNothing()
{
    MessageBoxWin box;
    box.show();
    box.handleTimeout();
    QVERIFY(box.isVisible());
}

void TestMessageBoxWin::yesQuitsApplication()
{
    MessageBoxWin box;
    const BoxParts parts(box);
    QVERIFY(parts.complete());
    box.show();

    const int loopCode = runAppLoop([&] { QTest::mouseClick(parts.yes, Qt::LeftButton); }, 10000);

    QCOMPARE(loopCode, 0);
}

void TestMessageBoxWin::hideButtonsOnlyHide_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("singleButton");

    QTest::newRow("pushButton_no") << QStringLiteral("pushButton_no") << false;
    QTest::newRow("pushButton_yes2") << QStringLiteral("pushButton_yes2") << true;
}

void TestMessageBoxWin::hideButtonsOnlyHide()
{
    QFETCH(QString, button);
    QFETCH(bool, singleButton);

    MessageBoxWin box;
    auto *pressed = box.findChild<QPushButton *>(button);
    QVERIFY(pressed);
    if (singleButton)
        box.setSingleButtonMode();
    box.show();

    const int loopCode = runAppLoop([&] { QTest::mouseClick(pressed, Qt::LeftButton); }, 500);

    QCOMPARE(loopCode, kLoopNotQuit);
    QVERIFY(!box.isVisible());
}

void TestMessageBoxWin::enterKeysPressSingleButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::NoModifier);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
}

void TestMessageBoxWin::enterKeysPressSingleButton()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);

    MessageBoxWin box;
    box.setSingleButtonMode();
    box.show();
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QVERIFY(box.isVisible());

    QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QVERIFY(!box.isVisible());
}

QTEST_MAIN(TestMessageBoxWin)
#include "TestMessageBoxWin.moc"
