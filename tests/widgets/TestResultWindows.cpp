#include "PayingWin.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <array>
#include <climits>

using Dots = std::array<bool, 5>;
Q_DECLARE_METATYPE(Dots)

namespace {

const QString kSkin = QStringLiteral(":/Tallyport/skin/");
const QStringList kDotNames = {QStringLiteral("label_3"), QStringLiteral("label_4"),
    QStringLiteral("label_5"), QStringLiteral("label_6"), QStringLiteral("label_7")};
const QStringList kWalletImages = {QStringLiteral("zhifub.png"), QStringLiteral("wx.png")};

constexpr Qt::WindowFlags kSmallWindowFlags = Qt::Tool | Qt::FramelessWindowHint
    | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint;

QString styleOf(const QWidget *window, const QString &name)
{
    const auto *widget = window->findChild<QWidget *>(name);
    return widget ? widget->styleSheet() : QStringLiteral("<no widget %1>").arg(name);
}

QString textOf(const QWidget *window, const QString &name)
{
    if (const auto *label = window->findChild<QLabel *>(name))
        return label->text();
    if (const auto *button = window->findChild<QPushButton *>(name))
        return button->text();
    return QStringLiteral("<no widget %1>").arg(name);
}

QRect geometryOf(const QWidget *window, const QString &name)
{
    const auto *widget = window->findChild<QWidget *>(name);
    return widget ? widget->geometry() : QRect();
}

} // namespace

// The skin images live in the static GUI library and nothing in this test refers to them, so
// the test registers them itself (outside any namespace, as the macro requires).
static void initResources()
{
    Q_INIT_RESOURCE(tallyport);
}

class TestResultWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void progressWindowStartsHiddenWithAllDotsUnlit();
    void setDotsSwitchesEachPicture_data();
    void setDotsSwitchesEachPicture();
    void setTextGoesToTheProgressText();
    void progressWindowLayoutFollowsTheScreen_data();
    void progressWindowLayoutFollowsTheScreen();

    void cardOutcomeFillsTextsAndPicture_data();
    void cardOutcomeFillsTextsAndPicture();
    void reasonStaysReadableInsideTheCard_data();
    void reasonStaysReadableInsideTheCard();
    void setMethodChoosesTheWalletIcon_data();
    void setMethodChoosesTheWalletIcon();
    void countdownAndFixedTexts();
    void hideThisHidesTheCard();
    void confirmButtonIsHiddenByDefault();
    void confirmButtonHidesTheCard_data();
    void confirmButtonHidesTheCard();
    void cardLayoutFollowsTheScreen_data();
    void cardLayoutFollowsTheScreen();
};

void TestResultWindows::initTestCase()
{
    initResources();
}

void TestResultWindows::cleanup()
{
    WindowScaling::setScreenOverride(QSize());
}

void TestResultWindows::progressWindowStartsHiddenWithAllDotsUnlit()
{
    PayingWin win;
    QVERIFY(win.isHidden());
    QCOMPARE(win.windowFlags() & kSmallWindowFlags, kSmallWindowFlags);
    QCOMPARE(win.dots(), Dots {});
    for (const QString &name : kDotNames) {
        QVERIFY2(styleOf(&win, name).contains(QLatin1String("ya.png")), qPrintable(name));
        QVERIFY2(!styleOf(&win, name).contains(QLatin1String("yl.png")), qPrintable(name));
    }
    QVERIFY(styleOf(&win, QStringLiteral("label")).contains(QLatin1String("fs0.png")));
}

void TestResultWindows::setDotsSwitchesEachPicture_data()
{
    QTest::addColumn<Dots>("before");
    QTest::addColumn<Dots>("lit");

    const Dots none {};
    const Dots all {true, true, true, true, true};
    QTest::newRow("first only") << none << Dots {true, false, false, false, false};
    QTest::newRow("three from the left") << none << Dots {true, true, true, false, false};
    QTest::newRow("all") << none << all;
    QTest::newRow("last only") << none << Dots {false, false, false, false, true};
    QTest::newRow("alternating") << none << Dots {true, false, true, false, true};
    QTest::newRow("all off again") << all << none;
    QTest::newRow("fewer than before") << all << Dots {true, true, false, false, false};
    QTest::newRow("inverted") << Dots {true, false, true, false, true}
                              << Dots {false, true, false, true, false};
}

void TestResultWindows::setDotsSwitchesEachPicture()
{
    QFETCH(Dots, before);
    QFETCH(Dots, lit);

    PayingWin win;
    win.setDots(before);
    win.setDots(lit);

    QCOMPARE(win.dots(), lit);
    for (int i = 0; i < 5; ++i) {
        const QString style = styleOf(&win, kDotNames[i]);
        const QLatin1String shown(lit[i] ? "yl.png" : "ya.png");
        const QLatin1String notShown(lit[i] ? "ya.png" : "yl.png");
        QVERIFY2(style.contains(shown), qPrintable(kDotNames[i] + QLatin1String(": ") + style));
        QVERIFY2(!style.contains(notShown), qPrintable(kDotNames[i] + QLatin1String(": ") + style));
    }
}

void TestResultWindows::setTextGoesToTheProgressText()
{
    PayingWin win;
    const QString text = QStringLiteral("Payment in progress…");
    win.setText(text);
    QCOMPARE(textOf(&win, QStringLiteral("label_2")), text);
    win.setText(QStringLiteral("正在付款中…"));
    QCOMPARE(textOf(&win, QStringLiteral("label_2")), QStringLiteral("正在付款中…"));
}

void TestResultWindows::progressWindowLayoutFollowsTheScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("picture");
    QTest::addColumn<QRect>("firstDot");
    QTest::addColumn<QRect>("lastDot");

    QTest::newRow("1920x1080") << QSize(1920, 1080) << QSize(440, 267) << QRect(190, 48, 57, 51)
                               << QRect(153, 216, 21, 19) << QRect(260, 216, 21, 19);
    QTest::newRow("2560x1440") << QSize(2560, 1440) << QSize(586, 356) << QRect(254, 64, 76, 68)
                               << QRect(204, 288, 28, 25) << QRect(346, 288, 28, 25);
    QTest::newRow("design screen") << QSize(1440, 900) << QSize(330, 223) << QRect(143, 40, 43, 43)
                                   << QRect(115, 180, 16, 16) << QRect(195, 180, 16, 16);
    QTest::newRow("smaller screen") << QSize(1366, 768) << QSize(330, 223) << QRect(143, 40, 43, 43)
                                    << QRect(115, 180, 16, 16) << QRect(195, 180, 16, 16);
}

void TestResultWindows::progressWindowLayoutFollowsTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QSize, window);
    QFETCH(QRect, picture);
    QFETCH(QRect, firstDot);
    QFETCH(QRect, lastDot);

    // Built for the design screen, then laid out again for the screen under test; a second
    // call must not scale what is already scaled.
    WindowScaling::setScreenOverride(QSize(1440, 900));
    PayingWin win;
    WindowScaling::setScreenOverride(screen);
    for (int call = 0; call < 2; ++call) {
        win.resizeWinodw();
        QCOMPARE(win.size(), window);
        QCOMPARE(geometryOf(&win, QStringLiteral("label")), picture);
        QCOMPARE(geometryOf(&win, QStringLiteral("label_3")), firstDot);
        QCOMPARE(geometryOf(&win, QStringLiteral("label_7")), lastDot);
    }

    // The layout is also applied at construction.
    PayingWin built;
    QCOMPARE(built.size(), window);
}

void TestResultWindows::cardOutcomeFillsTextsAndPicture_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("orderLine");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("title");

    QTest::newRow("success") << true << "100,000"
                             << "订单号：20240101000001"
                             << "支付方式:"
                             << "收款成功";
    QTest::newRow("failure") << false << "未输入金额！"
                             << "订单号:无"
                             << "支付方式:"
                             << "收款失败";
    QTest::newRow("failure, English") << false << "The request failed, please check the network!"
                                      << "Order Number:Nothing"
                                      << "Mode of payment:"
                                      << "Payment failure";
    QTest::newRow("success, empty message") << true << ""
                                            << "20240101000002"
                                            << "Mode of payment:"
                                            << "Payment success";
}

void TestResultWindows::reasonStaysReadableInsideTheCard_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("reads"); // the reason as the card reads it; empty: cut

    const QString refusal = QStringLiteral("付款码已被钱包拒绝，请顾客更换付款码后重新支付；"
                                           "如多次失败，请顾客在手机上确认余额、支付限额及"
                                           "免密支付设置是否开启，或改用其他支付方式");
    const QString signError
        = QStringLiteral("sign_error:expected=3F2504E04F8911D39A0C0305E82C3301A1B2C3D4E5F6,"
                         "received=00000000000000000000000000000000");
    QTest::newRow("short") << QStringLiteral("余额不足") << QStringLiteral("余额不足");
    QTest::newRow("two lines") << QStringLiteral("付款码已被钱包拒绝，请顾客更换付款码后重新支付")
                               << QStringLiteral("付款码已被钱包拒绝，请顾客更换付款码后重新支付");
    QTest::newRow("long refusal") << refusal << refusal;
    QTest::newRow("sign error without spaces") << signError << signError;
    QTest::newRow("refusal over and over") << refusal + refusal + refusal << QString();
    QTest::newRow("one word a reply long") << QString(100000, QChar(0x62d2)) << QString();
    QTest::newRow("no reason") << collectionWin::reasonOrUnsaid(QString())
                               << collectionWin::defaultReason();
    QTest::newRow("blank reason") << collectionWin::reasonOrUnsaid(QStringLiteral("  "))
                                  << collectionWin::defaultReason();
}

void TestResultWindows::reasonStaysReadableInsideTheCard()
{
    QFETCH(QString, reason);
    QFETCH(QString, reads);

    collectionWin card;
    card.showFailure(reason, QStringLiteral("订单号：无"), QStringLiteral("支付方式:"),
        QStringLiteral("退款失败"));
    const auto *title = card.findChild<QLabel *>(QStringLiteral("label_sk"));
    const auto *message = card.findChild<QLabel *>(QStringLiteral("label_sq"));
    QVERIFY(title && message);

    // Every line of the reason, as the label draws it, lies inside the label, below the title.
    const QRect box = message->contentsRect();
    const QRect drawn = QFontMetrics(message->font())
                            .boundingRect(QRect(0, 0, box.width(), INT_MAX),
                                Qt::AlignCenter | Qt::TextWordWrap, message->text());
    QVERIFY2(drawn.width() <= box.width() && drawn.height() <= box.height(),
        qPrintable(QStringLiteral("%1x%2 in %3x%4")
                       .arg(drawn.width())
                       .arg(drawn.height())
                       .arg(box.width())
                       .arg(box.height())));
    QVERIFY(!message->geometry().intersects(title->geometry()));
    QCOMPARE(title->text(), QStringLiteral("退款失败"));

    // Zero-width spaces let a long word break; they are not read.
    const QString read = message->text().remove(QChar(0x200b));
    if (!reads.isEmpty()) {
        QCOMPARE(read, reads);
    } else {
        // Too long even in the smallest size: cut, and more of it in the tool tip.
        QVERIFY2(read.endsWith(QChar(0x2026)), qPrintable(read));
        QVERIFY(reason.startsWith(read.chopped(1)));
        QVERIFY(read.size() > 40);
        QVERIFY(reason.startsWith(message->toolTip()));
        QVERIFY(message->toolTip().size() > read.size());
    }

    // A picture of the card for the eye, next to the other test artefacts.
    const QString artifacts = qEnvironmentVariable("TALLYPORT_ARTIFACTS");
    if (!artifacts.isEmpty() && QDir().mkpath(artifacts)) {
        card.grab().save(QStringLiteral("%1/card-%2.png")
                             .arg(artifacts,
                                 QString::fromLatin1(QTest::currentDataTag())
                                     .replace(QLatin1Char(' '), QLatin1Char('-'))));
    }
}

void TestResultWindows::cardOutcomeFillsTextsAndPicture()
{
    QFETCH(bool, success);
    QFETCH(QString, message);
    QFETCH(QString, orderLine);
    QFETCH(QString, caption);
    QFETCH(QString, title);

    collectionWin card;
    // Start from the opposite outcome, so both the texts and the picture must change.
    const QString stale = QStringLiteral("stale");
    if (success)
        card.showFailure(stale, stale, stale, stale);
    else
        card.showSuccess(stale, stale, stale, stale);
    QCOMPARE(card.successShown(), !success);

    if (success)
        card.showSuccess(message, orderLine, caption, title);
    else
        card.showFailure(message, orderLine, caption, title);

    QCOMPARE(card.successShown(), success);
    QCOMPARE(textOf(&card, QStringLiteral("label_sk")), title);
    QCOMPARE(textOf(&card, QStringLiteral("label_sq")), message);
    QCOMPARE(textOf(&card, QStringLiteral("label_fs")), caption);
    QCOMPARE(textOf(&card, QStringLiteral("label_ddh")), orderLine);

    const QString picture = styleOf(&card, QStringLiteral("pushButton"));
    QVERIFY2(
        picture.contains(QLatin1String(success ? "success.png" : "fail.png")), qPrintable(picture));
    QVERIFY2(!picture.contains(QLatin1String(success ? "fail.png" : "success.png")),
        qPrintable(picture));

    // Filling the card neither shows nor moves it.
    QVERIFY(card.isHidden());
    QCOMPARE(card.pos(), QPoint(0, 0));
}

void TestResultWindows::setMethodChoosesTheWalletIcon_data()
{
    QTest::addColumn<int>("previousKind");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("icon"); // empty: no wallet image

    QTest::newRow("Alipay") << 2 << 1 << "支付宝"
                            << "zhifub.png";
    QTest::newRow("WeChat") << 1 << 2 << "微信"
                            << "wx.png";
    QTest::newRow("none after Alipay") << 1 << 0 << "无" << QString();
    QTest::newRow("none after WeChat") << 2 << 0 << "None" << QString();
    QTest::newRow("Alipay again") << 1 << 1 << "支付宝"
                                  << "zhifub.png";
    QTest::newRow("none again") << 0 << 0 << "无" << QString();
    QTest::newRow("unknown kind keeps Alipay") << 1 << 3 << "other"
                                               << "zhifub.png";
    QTest::newRow("unknown kind keeps WeChat") << 2 << -1 << "other"
                                               << "wx.png";
    QTest::newRow("unknown kind keeps no icon") << 0 << 7 << "" << QString();
}

void TestResultWindows::setMethodChoosesTheWalletIcon()
{
    QFETCH(int, previousKind);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, icon);

    collectionWin card;
    card.setMethod(QStringLiteral("previous"), previousKind);
    card.setMethod(text, kind);

    QCOMPARE(textOf(&card, QStringLiteral("label")), text);
    const QString style = styleOf(&card, QStringLiteral("pushButton_2"));
    for (const QString &image : kWalletImages) {
        const bool expected = image == icon;
        QVERIFY2(
            style.contains(image) == expected, qPrintable(image + QLatin1String(": ") + style));
    }
}

void TestResultWindows::countdownAndFixedTexts()
{
    collectionWin card;
    card.setCountdown(QStringLiteral("2s"));
    QCOMPARE(textOf(&card, QStringLiteral("label_sj")), QStringLiteral("2s"));
    card.setCountdown(QStringLiteral("1s"));
    QCOMPARE(textOf(&card, QStringLiteral("label_sj")), QStringLiteral("1s"));

    card.setFixedTexts(
        QStringLiteral("WeChat"), QStringLiteral("automatic shutdown"), QStringLiteral("I see"));
    QCOMPARE(textOf(&card, QStringLiteral("label")), QStringLiteral("WeChat"));
    QCOMPARE(textOf(&card, QStringLiteral("label_2")), QStringLiteral("automatic shutdown"));
    QCOMPARE(textOf(&card, QStringLiteral("pushButton_3")), QStringLiteral("I see"));
    // The countdown is a label of its own.
    QCOMPARE(textOf(&card, QStringLiteral("label_sj")), QStringLiteral("1s"));
}

void TestResultWindows::hideThisHidesTheCard()
{
    collectionWin card;
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));
    card.hideThis();
    QVERIFY(card.isHidden());
    // Hiding a hidden card is harmless.
    card.hideThis();
    QVERIFY(card.isHidden());
}

void TestResultWindows::confirmButtonIsHiddenByDefault()
{
    collectionWin card;
    card.show();
    card.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&card));
    auto *button = card.findChild<QPushButton *>(QStringLiteral("pushButton_3"));
    QVERIFY(button);
    QVERIFY(button->isHidden());
    QVERIFY(!button->isVisible());
    QCOMPARE(button->shortcut(), QKeySequence(Qt::Key_Return));

    // A shortcut press pushes the button down at once and clicks it a moment later; a hidden
    // button's shortcut is not taken at all.
    QTest::keyClick(&card, Qt::Key_Return);
    QVERIFY(!button->isDown());
    QVERIFY(card.isVisible());
}

void TestResultWindows::confirmButtonHidesTheCard_data()
{
    QTest::addColumn<bool>("byKey");

    QTest::newRow("click") << false;
    QTest::newRow("Return") << true;
}

void TestResultWindows::confirmButtonHidesTheCard()
{
    QFETCH(bool, byKey);

    collectionWin card;
    auto *button = card.findChild<QPushButton *>(QStringLiteral("pushButton_3"));
    QVERIFY(button);
    button->show();
    card.show();
    card.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&card));

    if (byKey) {
        // Keypad Enter was replaced by Return as the button's key.
        QTest::keyClick(&card, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!button->isDown());
        QVERIFY(card.isVisible());
        QTest::keyClick(&card, Qt::Key_Return);
        QVERIFY(button->isDown());
    } else {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QTRY_VERIFY(card.isHidden());
}

void TestResultWindows::cardLayoutFollowsTheScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("picture");
    QTest::addColumn<QRect>("button");

    QTest::newRow("1920x1080") << QSize(1920, 1080) << QSize(480, 360) << QRect(197, 21, 85, 76)
                               << QRect(160, 307, 160, 38);
    QTest::newRow("design screen") << QSize(1440, 900) << QSize(360, 300) << QRect(148, 18, 64, 64)
                                   << QRect(120, 256, 120, 32);
    QTest::newRow("smaller screen") << QSize(1280, 1024) << QSize(360, 300)
                                    << QRect(148, 18, 64, 64) << QRect(120, 256, 120, 32);
}

void TestResultWindows::cardLayoutFollowsTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QSize, window);
    QFETCH(QRect, picture);
    QFETCH(QRect, button);

    WindowScaling::setScreenOverride(QSize(1440, 900));
    collectionWin card;
    WindowScaling::setScreenOverride(screen);
    for (int call = 0; call < 2; ++call) {
        card.resizeWinodw();
        QCOMPARE(card.size(), window);
        QCOMPARE(geometryOf(&card, QStringLiteral("pushButton")), picture);
        QCOMPARE(geometryOf(&card, QStringLiteral("pushButton_3")), button);
    }

    collectionWin built;
    QCOMPARE(built.size(), window);
}

QTEST_MAIN(TestResultWindows)
#include "TestResultWindows.moc"
