// The checkout page on its own: keypad and keyboard, focus rules, validators, the amount from
// the floating icon, the mirror timer, the result card of a refused confirm, texts and layout.
// No gateway answers here: the configured gateway is a closed local port.
#include "CheckStandWin.h"
#include "MetaTypes.h"
#include "PayingWin.h"
#include "Resources.h"
#include "TempHome.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <array>
#include <memory>

namespace {

const QString kPayCode = QStringLiteral("134567890123456780"); // WeChat form, 18 digits
// A pay request without a usable answer: the customer may have paid.
const QString kRequestFailed
    = QStringLiteral("请求失败,请检查网络！\n支付结果未知，请在订单查询中核对");
constexpr int kCardTickMs = 2500; // one countdown step is 1000 ms; leave room for a slow host

QString cardText(const collectionWin *card, const char *name)
{
    const auto *label = card->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

} // namespace

class TestCheckStandWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keypadAppendsToTheFocusedField_data();
    void keypadAppendsToTheFocusedField();
    void deleteRemovesTheLastCharacterOfTheFocusedField_data();
    void deleteRemovesTheLastCharacterOfTheFocusedField();
    void cancelClearsAllFields();

    void enterWithAmountOnlyMovesToThePaymentCode_data();
    void enterWithAmountOnlyMovesToThePaymentCode();
    void enterWithoutAmountDoesNothing_data();
    void enterWithoutAmountDoesNothing();
    void enterWithBothConfirms();
    void acceptedConfirmGoesToTheGateway_data();
    void acceptedConfirmGoesToTheGateway();

    void typingIsLimitedByTheValidators_data();
    void typingIsLimitedByTheValidators();
    void keypadIsNotLimitedByTheValidator();

    void amountFromTheFloatingIcon_data();
    void amountFromTheFloatingIcon();
    void entryFocus_data();
    void entryFocus();
    void mirrorTimerPublishesTheAmount();

    void refusedConfirmShowsTheFailureCard_data();
    void refusedConfirmShowsTheFailureCard();

    void cardShownDuringACountdownKeepsTheCount();
    void progressAnimation();
    void pendingOrderIsFollowedAtTheShippedCadence();

    void chineseTexts();
    void wideScreenLayout();

private:
    QLineEdit *field(const char *name) const;
    void click(const char *button) const;
    void writeConfig() const;
    void buildWindow();

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<QWidget> m_main;
    CheckStandWin *m_win = nullptr;
};

void TestCheckStandWin::initTestCase()
{
    Resources::initialise();
    MetaTypes::registerAll();
}

void TestCheckStandWin::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    writeConfig();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    buildWindow();
}

void TestCheckStandWin::cleanup()
{
    m_main.reset();
    m_win = nullptr;
    WindowScaling::setScreenOverride(QSize());
    m_home.reset();
}

void TestCheckStandWin::writeConfig() const
{
    // Port 1 on the loopback interface has no listener: a confirm fails at once.
    QFile config(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[GATEWAY_HOST]\r\ngateway_host=https://127.0.0.1:1\r\n"
                 "[adbinfo]\r\nConnMode=9\r\n");
}

void TestCheckStandWin::buildWindow()
{
    m_main = std::make_unique<QWidget>();
    m_main->setObjectName(QStringLiteral("mainWindow"));
    m_main->resize(700, 520);
    m_win = new CheckStandWin(m_main.get());
    m_main->show();
    QApplication::setActiveWindow(m_main.get());
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

QLineEdit *TestCheckStandWin::field(const char *name) const
{
    auto *edit = m_win->findChild<QLineEdit *>(QLatin1String(name));
    if (!edit)
        qFatal("no line edit %s", name);
    return edit;
}

void TestCheckStandWin::click(const char *button) const
{
    auto *key = m_win->findChild<QPushButton *>(QLatin1String(button));
    if (!key)
        qFatal("no button %s", button);
    QTest::mouseClick(key, Qt::LeftButton);
}

void TestCheckStandWin::keypadAppendsToTheFocusedField_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("money");
    QTest::addColumn<QString>("payCode");

    QTest::newRow("00 goes to the payment code")
        << "lineEdit_paycode" << QStringList {"pushButton_input00"} << "12"
        << "00";
    QTest::newRow("every digit into the payment code")
        << "lineEdit_paycode"
        << QStringList {"pushButton_input1", "pushButton_input2", "pushButton_input3",
               "pushButton_input4", "pushButton_input5", "pushButton_input6", "pushButton_input7",
               "pushButton_input8", "pushButton_input9", "pushButton_input0"}
        << "12"
        << "1234567890";
    QTest::newRow("amount with a point")
        << "lineEdit_money"
        << QStringList {"pushButton_input00", "pushButton_inputdot", "pushButton_input5"}
        << "1200.5"
        << "";
    QTest::newRow("no field focused")
        << "" << QStringList {"pushButton_input7", "pushButton_input00", "pushButton_inputdot"}
        << "12"
        << "";
}

void TestCheckStandWin::keypadAppendsToTheFocusedField()
{
    QFETCH(QString, focus);
    QFETCH(QStringList, keys);
    QFETCH(QString, money);
    QFETCH(QString, payCode);

    field("lineEdit_money")->setText(QStringLiteral("12"));
    if (focus.isEmpty()) {
        m_win->setFocus();
        QVERIFY(!field("lineEdit_money")->hasFocus());
        QVERIFY(!field("lineEdit_paycode")->hasFocus());
    } else {
        field(qPrintable(focus))->setFocus();
        QVERIFY(field(qPrintable(focus))->hasFocus());
    }
    for (const QString &key : keys)
        click(qPrintable(key));

    QCOMPARE(field("lineEdit_money")->text(), money);
    QCOMPARE(field("lineEdit_paycode")->text(), payCode);
    QCOMPARE(field("lineEdit_note")->text(), QString());
    // The keypad never takes the focus away from the field.
    if (!focus.isEmpty())
        QVERIFY(field(qPrintable(focus))->hasFocus());
}

void TestCheckStandWin::deleteRemovesTheLastCharacterOfTheFocusedField_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("money");
    QTest::addColumn<QString>("payCode");

    QTest::newRow("amount") << "lineEdit_money" << 1 << "12."
                            << "1345";
    QTest::newRow("payment code") << "lineEdit_paycode" << 2 << "12.5"
                                  << "13";
    QTest::newRow("past the first character") << "lineEdit_paycode" << 6 << "12.5"
                                              << "";
    QTest::newRow("no field focused") << "" << 1 << "12.5"
                                      << "1345";
}

void TestCheckStandWin::deleteRemovesTheLastCharacterOfTheFocusedField()
{
    QFETCH(QString, focus);
    QFETCH(int, presses);
    QFETCH(QString, money);
    QFETCH(QString, payCode);

    field("lineEdit_money")->setText(QStringLiteral("12.5"));
    field("lineEdit_paycode")->setText(QStringLiteral("1345"));
    if (focus.isEmpty())
        m_win->setFocus();
    else
        field(qPrintable(focus))->setFocus();
    for (int i = 0; i < presses; ++i)
        click("pushButton_delete");

    QCOMPARE(field("lineEdit_money")->text(), money);
    QCOMPARE(field("lineEdit_paycode")->text(), payCode);
}

void TestCheckStandWin::cancelClearsAllFields()
{
    field("lineEdit_money")->setText(QStringLiteral("12.5"));
    field("lineEdit_note")->setText(QStringLiteral("table 4"));
    field("lineEdit_paycode")->setText(kPayCode);
    field("lineEdit_paycode")->setFocus();

    click("pushButton_esc");

    QCOMPARE(field("lineEdit_money")->text(), QString());
    QCOMPARE(field("lineEdit_note")->text(), QString());
    QCOMPARE(field("lineEdit_paycode")->text(), QString());
    QVERIFY(m_win->resultCard()->isHidden());
}

void TestCheckStandWin::enterWithAmountOnlyMovesToThePaymentCode_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
}

void TestCheckStandWin::enterWithAmountOnlyMovesToThePaymentCode()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);

    QLineEdit *money = field("lineEdit_money");
    QTest::keyClicks(money, QStringLiteral("25"));
    money->setFocus();
    QTest::keyClick(money, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QVERIFY(field("lineEdit_paycode")->hasFocus());
    QCOMPARE(money->text(), QStringLiteral("25"));
    QVERIFY(m_win->resultCard()->isHidden());
}

void TestCheckStandWin::enterWithoutAmountDoesNothing_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("payCode");
    QTest::newRow("both empty, amount focused") << "lineEdit_money"
                                                << "";
    QTest::newRow("code only, code focused") << "lineEdit_paycode" << kPayCode;
}

void TestCheckStandWin::enterWithoutAmountDoesNothing()
{
    QFETCH(QString, focus);
    QFETCH(QString, payCode);

    field("lineEdit_paycode")->setText(payCode);
    QLineEdit *focused = field(qPrintable(focus));
    focused->setFocus();
    QTest::keyClick(focused, Qt::Key_Return);

    QVERIFY(focused->hasFocus());
    QCOMPARE(field("lineEdit_money")->text(), QString());
    QCOMPARE(field("lineEdit_paycode")->text(), payCode);
    QVERIFY(m_win->resultCard()->isHidden());
}

void TestCheckStandWin::enterWithBothConfirms()
{
    QLineEdit *money = field("lineEdit_money");
    QLineEdit *payCode = field("lineEdit_paycode");
    QTest::keyClicks(money, QStringLiteral("12.5"));
    QTest::keyClicks(payCode, kPayCode);
    payCode->setFocus();
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);

    QTest::keyClick(payCode, Qt::Key_Return);

    collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), 15000);
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("收款失败"));
    QCOMPARE(cardText(card, "label_sq"), kRequestFailed);
    QCOMPARE(cardText(card, "label_ddh"), QStringLiteral("订单号：无"));
    QCOMPARE(cardText(card, "label"), QStringLiteral("无"));
    QCOMPARE(money->text(), QString());
    QCOMPARE(payCode->text(), QString());
    QCOMPARE(printed.count(), 0);
}

void TestCheckStandWin::acceptedConfirmGoesToTheGateway_data()
{
    QTest::addColumn<QString>("money");
    QTest::addColumn<QString>("payCode");
    QTest::newRow("16-digit code") << "12.5"
                                   << "2512345678901230";
    QTest::newRow("24-digit code") << "12.5"
                                   << "251234567890123456789010";
    QTest::newRow("amount 0") << "0" << kPayCode;
    QTest::newRow("amount ending in a point") << "12." << kPayCode;
    QTest::newRow("thousands comma") << "1,000" << kPayCode;
}

void TestCheckStandWin::acceptedConfirmGoesToTheGateway()
{
    // Past validation the request fails here (no gateway): the request-failed card, with all
    // fields cleared, shows that validation let it through.
    QFETCH(QString, money);
    QFETCH(QString, payCode);
    field("lineEdit_money")->setText(money);
    field("lineEdit_paycode")->setText(payCode);

    m_win->OnInputYes();

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), 15000);
    QCOMPARE(cardText(card, "label_sq"), kRequestFailed);
    QCOMPARE(field("lineEdit_money")->text(), QString());
    QCOMPARE(field("lineEdit_paycode")->text(), QString());
}

void TestCheckStandWin::typingIsLimitedByTheValidators_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("two decimals") << "lineEdit_money"
                                  << "12.34"
                                  << "12.34";
    QTest::newRow("third decimal refused") << "lineEdit_money"
                                           << "12.345"
                                           << "12.34";
    QTest::newRow("letters refused in the amount") << "lineEdit_money"
                                                   << "1a2b"
                                                   << "12";
    QTest::newRow("a comma is not a point") << "lineEdit_money"
                                            << "12,5"
                                            << "125";
    QTest::newRow("second point refused") << "lineEdit_money"
                                          << "1.2.3"
                                          << "1.23";
    QTest::newRow("letters refused in the code") << "lineEdit_paycode"
                                                 << "13ab45cd67"
                                                 << "134567";
    QTest::newRow("24 digits at most") << "lineEdit_paycode"
                                       << "2512345678901234567890123"
                                       << "251234567890123456789012";
}

void TestCheckStandWin::typingIsLimitedByTheValidators()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    QLineEdit *edit = this->field(qPrintable(field));
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
}

void TestCheckStandWin::keypadIsNotLimitedByTheValidator()
{
    QLineEdit *money = field("lineEdit_money");
    money->setFocus();
    for (const char *key : {"pushButton_input1", "pushButton_inputdot", "pushButton_input2",
             "pushButton_input3", "pushButton_input4"})
        click(key);
    QCOMPARE(money->text(), QStringLiteral("1.234"));
}

void TestCheckStandWin::amountFromTheFloatingIcon_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("amount");

    const QString before = QStringLiteral("88");
    QTest::newRow("blanks, escape, more digits") << QStringLiteral("  15 00\x1b"
                                                                   "99")
                                                 << QStringLiteral("1500");
    QTest::newRow("plain") << QStringLiteral("1500") << QStringLiteral("1500");
    QTest::newRow("CR LF trimmed") << QStringLiteral("\r\n12.5\r\n") << QStringLiteral("12.5");
    QTest::newRow("tab inside") << QStringLiteral("3\t0") << QStringLiteral("30");
    QTest::newRow("zero leaves the amount") << QStringLiteral("0") << before;
    QTest::newRow("zero with decimals leaves the amount") << QStringLiteral("0.00") << before;
    QTest::newRow("only blanks leave the amount") << QStringLiteral("   ") << before;
    QTest::newRow("escape first leaves the amount") << QStringLiteral("\x1b"
                                                                      "1500")
                                                    << before;
    QTest::newRow("not a number leaves the amount") << QStringLiteral("abc") << before;
}

void TestCheckStandWin::amountFromTheFloatingIcon()
{
    QFETCH(QString, received);
    QFETCH(QString, amount);

    field("lineEdit_money")->setText(QStringLiteral("88"));
    m_win->receiveDataFromShowWin(received);
    QCOMPARE(field("lineEdit_money")->text(), amount);
}

void TestCheckStandWin::entryFocus_data()
{
    QTest::addColumn<QString>("money");
    QTest::addColumn<QString>("focused");
    QTest::newRow("empty amount") << ""
                                  << "lineEdit_money";
    QTest::newRow("blank amount") << " \t "
                                  << "lineEdit_money";
    QTest::newRow("amount present") << "12"
                                    << "lineEdit_paycode";
}

void TestCheckStandWin::entryFocus()
{
    QFETCH(QString, money);
    QFETCH(QString, focused);

    field("lineEdit_money")->setText(money);
    m_win->setFocus();
    m_win->SetEntryFocus();
    QVERIFY(field(qPrintable(focused))->hasFocus());
}

void TestCheckStandWin::mirrorTimerPublishesTheAmount()
{
    QSignalSpy mirrored(m_win, &CheckStandWin::sendMoneyToShowWin);
    QLineEdit *money = field("lineEdit_money");

    money->setText(QStringLiteral("12.5"));
    money->setCursorPosition(0);
    QTRY_COMPARE_WITH_TIMEOUT(CheckStandWin::lastAmount(), QStringLiteral("12.5"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!mirrored.isEmpty() && mirrored.last().at(0).toFloat() == 12.5f, 3000);
    // Setting the text to itself puts the cursor at its end.
    QCOMPARE(money->cursorPosition(), 4);

    money->setText(QStringLiteral("1,000"));
    QTRY_COMPARE_WITH_TIMEOUT(CheckStandWin::lastAmount(), QStringLiteral("1,000"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(mirrored.last().at(0).toFloat() == 0.0f, 3000);

    money->clear();
    QTRY_COMPARE_WITH_TIMEOUT(CheckStandWin::lastAmount(), QString(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(mirrored.last().at(0).toFloat() == 0.0f, 3000);

    // A hidden checkout still publishes an amount that changes (the customer display's).
    m_main->hide();
    money->setText(QStringLiteral("7.5"));
    QTRY_COMPARE_WITH_TIMEOUT(CheckStandWin::lastAmount(), QStringLiteral("7.5"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(mirrored.last().at(0).toFloat() == 7.5f, 3000);
}

void TestCheckStandWin::refusedConfirmShowsTheFailureCard_data()
{
    QTest::addColumn<QString>("money");
    QTest::addColumn<QString>("payCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("amount empty") << "" << kPayCode << "未输入金额！";
    QTest::newRow("amount negative") << "-5" << kPayCode << "最低输入金额为:1000";
    QTest::newRow("amount not a number") << "abc" << kPayCode << "最低输入金额为:1000";
    QTest::newRow("payment code empty") << "12.5"
                                        << ""
                                        << "未输入付款码！";
    QTest::newRow("payment code of 15 digits") << "12.5"
                                               << "134567890123456"
                                               << "支付码不少于16位";
    // The keypad can produce what the validator would refuse; confirm refuses it.
    QTest::newRow("amount with three decimals") << "1.234" << kPayCode << "最低输入金额为:1000";
}

void TestCheckStandWin::refusedConfirmShowsTheFailureCard()
{
    QFETCH(QString, money);
    QFETCH(QString, payCode);
    QFETCH(QString, message);

    field("lineEdit_money")->setText(money);
    field("lineEdit_paycode")->setText(payCode);
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);

    click("pushButton_yes");

    collectionWin *card = m_win->resultCard();
    QVERIFY(card->isVisible());
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("收款失败"));
    QCOMPARE(cardText(card, "label_sq"), message);
    QCOMPARE(cardText(card, "label_ddh"), QStringLiteral("订单号:无"));
    QCOMPARE(cardText(card, "label_fs"), QStringLiteral("支付方式:"));
    QCOMPARE(cardText(card, "label"), QStringLiteral("无"));
    QCOMPARE(cardText(card, "label_sj"), QStringLiteral("3s"));
    // Only the payment code is cleared: the amount stays for correction.
    QCOMPARE(field("lineEdit_paycode")->text(), QString());
    QCOMPARE(field("lineEdit_money")->text(), money);
    QCOMPARE(printed.count(), 0);
    // The card stands centred over the checkout page.
    const QPoint pageTopLeft = m_win->mapToGlobal(QPoint(0, 0));
    QCOMPARE(card->pos(),
        QPoint(pageTopLeft.x() + (m_win->width() - card->width()) / 2,
            pageTopLeft.y() + (m_win->height() - card->height()) / 2));

    QTRY_COMPARE_WITH_TIMEOUT(cardText(card, "label_sj"), QStringLiteral("2s"), kCardTickMs);
    QTRY_COMPARE_WITH_TIMEOUT(cardText(card, "label_sj"), QStringLiteral("1s"), kCardTickMs);
    QTRY_VERIFY_WITH_TIMEOUT(card->isHidden(), kCardTickMs);
    QVERIFY(m_main->isVisible());
}

void TestCheckStandWin::cardShownDuringACountdownKeepsTheCount()
{
    field("lineEdit_money")->setText(QStringLiteral("12.5"));
    m_win->OnInputYes(); // no payment code
    collectionWin *card = m_win->resultCard();
    QVERIFY(card->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(cardText(card, "label_sj"), QStringLiteral("2s"), kCardTickMs);

    field("lineEdit_money")->clear();
    m_win->OnInputYes(); // no amount
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("未输入金额！"));
    QCOMPARE(cardText(card, "label_sj"), QStringLiteral("3s"));
    // The timer starts again but the count goes on: "1s" comes next, then the card closes.
    QTRY_COMPARE_WITH_TIMEOUT(cardText(card, "label_sj"), QStringLiteral("1s"), kCardTickMs);
    QTRY_VERIFY_WITH_TIMEOUT(card->isHidden(), kCardTickMs);
    QVERIFY(m_main->isVisible());
}

void TestCheckStandWin::progressAnimation()
{
    // Nothing in this process has polled yet, so the progress phase starts at 0.
    PayingWin *progress = m_win->progressWindow();
    const auto lit = [progress] {
        const std::array<bool, 5> dots = progress->dots();
        return int(std::count(dots.begin(), dots.end(), true));
    };
    QVERIFY(progress->isHidden());

    // Out-of-range values do nothing at all.
    for (const int ignored : {0, 16, -2})
        m_win->ContinueQuery(ignored);
    QVERIFY(progress->isHidden());

    // A first attempt in phase 0 shows the window; its six steps light 0 to 5 dots.
    QList<int> seen;
    for (int step = 0; step < 6; ++step) {
        m_win->ContinueQuery(1);
        QVERIFY(progress->isVisible());
        seen << lit();
    }
    QCOMPARE(seen, (QList<int> {0, 1, 2, 3, 4, 5}));
    const QPoint pageTopLeft = m_win->mapToGlobal(QPoint(0, 0));
    QCOMPARE(progress->pos(),
        QPoint(pageTopLeft.x() + (m_win->width() - progress->width()) / 2,
            pageTopLeft.y() + (m_win->height() - progress->height()) / 2));

    // Attempt 13 in phase 1 lights all five dots and returns to phase 0.
    m_win->ContinueQuery(1);
    QCOMPARE(lit(), 0);
    m_win->ContinueQuery(13);
    QCOMPARE(lit(), 5);
    m_win->ContinueQuery(4);
    QCOMPARE(lit(), 1);

    // The end hides the window and puts every dot out, but keeps the phase (now 1) ...
    m_win->ContinueQuery(-1);
    QVERIFY(progress->isHidden());
    QCOMPARE(lit(), 0);
    // ... so the next poll's first attempt does not show the window.
    m_win->ContinueQuery(1);
    QVERIFY(progress->isHidden());
    QCOMPARE(lit(), 1);
}

void TestCheckStandWin::pendingOrderIsFollowedAtTheShippedCadence()
{
    // Fifteen attempts, each with six progress steps 510 ms apart and 550 ms before the next:
    // 3.1 s an attempt, about 47 s before a pending order is given up.
    const OrderPoller::Cadence &cadence = m_win->pollCadence();
    QCOMPARE(cadence.attempts, 15);
    QCOMPARE(cadence.waits, 5);
    QCOMPARE(cadence.waitMs, 510);
    QCOMPARE(cadence.finalWaitMs, 550);
}

void TestCheckStandWin::chineseTexts()
{
    const auto text = [this](const char *name) {
        if (const auto *label = m_win->findChild<QLabel *>(QLatin1String(name)))
            return label->text();
        if (const auto *button = m_win->findChild<QPushButton *>(QLatin1String(name)))
            return button->text();
        return QStringLiteral("<no widget %1>").arg(QLatin1String(name));
    };
    QCOMPARE(text("label"), QStringLiteral("收款金额"));
    QCOMPARE(text("label_3"), QStringLiteral("顾客付款码"));
    QCOMPARE(text("label_2"), QStringLiteral("备注"));
    QCOMPARE(text("pushButton_esc"), QStringLiteral("取消"));
    QCOMPARE(text("pushButton_yes"), QStringLiteral("刷脸\n\n\n收款"));
    QCOMPARE(text("pushButton_input00"), QStringLiteral("00"));
    QCOMPARE(text("pushButton_inputdot"), QStringLiteral("."));
    QCOMPARE(text("pushButton_delete"), QString());
    for (int digit = 0; digit <= 9; ++digit)
        QCOMPARE(text(qPrintable(QStringLiteral("pushButton_input%1").arg(digit))),
            QString::number(digit));
    QCOMPARE(field("lineEdit_money")->placeholderText(), QStringLiteral(" 金额"));
    QCOMPARE(field("lineEdit_paycode")->placeholderText(), QStringLiteral(" 付款码"));
    QCOMPARE(field("lineEdit_note")->placeholderText(), QString());
    QCOMPARE(m_win->windowTitle(), QStringLiteral("CheckStandWin"));
    QVERIFY(m_win->windowFlags().testFlag(Qt::FramelessWindowHint));

    QVERIFY(m_win->findChild<QLabel *>(QStringLiteral("label_2"))->isHidden());
    QVERIFY(field("lineEdit_note")->isHidden());
    QVERIFY(m_win->findChild<QLabel *>(QStringLiteral("label_paymessage"))->isHidden());
    const QList<QPushButton *> keys = m_win->findChildren<QPushButton *>();
    QCOMPARE(keys.size(), 15);
    for (const QPushButton *key : keys)
        QVERIFY2(key->focusPolicy() == Qt::NoFocus, qPrintable(key->objectName()));

    // The card and the progress window get their fixed texts with the page.
    const collectionWin *card = m_win->resultCard();
    QVERIFY(card->isHidden());
    QCOMPARE(cardText(card, "label"), QStringLiteral("微信"));
    QCOMPARE(cardText(card, "label_2"), QStringLiteral("后自动关闭"));
    QCOMPARE(card->findChild<QPushButton *>(QStringLiteral("pushButton_3"))->text(),
        QStringLiteral("知道啦 "));
    QVERIFY(card->findChild<QPushButton *>(QStringLiteral("pushButton_3"))->isHidden());
    const PayingWin *progress = m_win->progressWindow();
    QVERIFY(progress->isHidden());
    QCOMPARE(progress->findChild<QLabel *>(QStringLiteral("label_2"))->text(),
        QStringLiteral("正在付款中…"));
}

void TestCheckStandWin::wideScreenLayout()
{
    WindowScaling::setScreenOverride(QSize(1920, 1080));
    CheckStandWin wide;
    QCOMPARE(wide.size(), QSize(609, 576));
    // Fields: 300 x 32 at x 138 in the design, scaled by 4/3 across and 1.2 down.
    const auto *money = wide.findChild<QLineEdit *>(QStringLiteral("lineEdit_money"));
    QVERIFY(money);
    QCOMPARE(money->geometry(), QRect(184, 72, 400, 38));
}

QTEST_MAIN(TestCheckStandWin)
#include "TestCheckStandWin.moc"
