// Payments from the checkout page against the sandbox gateway over real HTTPS: the signed pay
// request byte for byte, every pay and polling outcome on the result card, the receipt and
// floating-icon signals, the main window after the countdown, network failures and the voice;
// with the till's ledger, the follow-up woken by an unknown outcome and the retry question.
#include "CheckStandWin.h"
#include "HttpClient.h"
#include "LedgerStore.h"
#include "LoginRequest.h"
#include "NoteWin.h"
#include "PayingWin.h"
#include "Reply.h"
#include "RetryQuestion.h"
#include "GatewayClientFixture.h"
#include "collectionWin.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <array>
#include <memory>

namespace {

const QString kWeChatPaid = QStringLiteral("134567890123456780");
const QString kAlipayPaid = QStringLiteral("2812345678901234560");
const QString kWeChatPendingThenPaid = QStringLiteral("134567890123456786");
const QString kWeChatPendingThenFailed = QStringLiteral("134567890123456787");
const QString kWeChatPendingForEver = QStringLiteral("134567890123456788");
const QString kWeChatRefused = QStringLiteral("134567890123456789");
const QString kPayNonce = QStringLiteral("7c4e19a0d2f6b");
const QString kRefusedMessage
    = QStringLiteral("付款码已被钱包拒绝，请顾客更换付款码 (the wallet refused this payment code)");
// The answer was lost: the customer may have paid.
const QString kRequestFailed
    = QStringLiteral("请求失败,请检查网络！\n支付结果未知，请在订单查询中核对");
const QRegularExpression kOrderLine(QStringLiteral("^订单号：(\\d{21})$"));

constexpr int kOutcomeMs = 20000; // a pay answer or a whole fast poll
constexpr int kCountdownMs = 8000; // "3s", "2s", "1s", closed

// A quick poll for the tests: all 15 attempts, each with its six progress steps.
const OrderPoller::Cadence kFastCadence {15, 5, 10, 20};

QString cardText(const collectionWin *card, const char *name)
{
    const auto *label = card->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

QString md5Upper(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

// Counts how often a window is shown.
class ShowCounter : public QObject
{
public:
    using QObject::QObject;
    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shown;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestCheckoutPayments : public QObject, GatewayClientFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void directPayment_data();
    void directPayment();
    void pendingThenPaid();
    void pendingThenFailed();
    void pendingForEverGivesUp();
    void failedStatusAnswerPollsOn_data();
    void failedStatusAnswerPollsOn();
    void saleTypedWhilePollingIsKept();
    void keysTypedDuringThePayRequestPayOnce();
    void abandonedPaymentIsLoggedAsUnknown();
    void zeroAmountIsSentAsTotalZero();
    void refusedPayment();
    void networkFailure_data();
    void networkFailure();
    void payRequestTimeOut();
    void unknownOutcomeIsFollowedUpAtOnce_data();
    void unknownOutcomeIsFollowedUpAtOnce();
    void sameAmountIsAskedAboutAtEveryRetry();
    void paymentVoice_data();
    void paymentVoice();

private:
    void writeConfig(bool voice) const;
    void buildWindow();
    QLineEdit *field(const char *name) const;
    void enter(const QString &money, const QString &payCode) const;
    QList<QJsonObject> faceRequests(const QString &method) const;
    // The body of the latest pay request; empty when there was none.
    QString lastPayBody() const;
    QString expectedPayBody(const QString &total, const QString &payCode) const;
    void verifyStatusBodies(const QList<QJsonObject> &queries, const QString &orderNumber) const;
    void verifyFailureCard(const QString &message, const QString &orderLine) const;
    void verifyFieldsCleared() const;
    // Confirms and waits for the pay answer to be handled (the request runs beside the window).
    void confirm();

    std::unique_ptr<QWidget> m_main;
    CheckStandWin *m_win = nullptr;
};

void TestCheckoutPayments::initTestCase()
{
    QVERIFY(startGateway());
}

void TestCheckoutPayments::init()
{
    QVERIFY(newHome(false));
    writeConfig(false);
    buildWindow();
}

void TestCheckoutPayments::cleanup()
{
    m_main.reset();
    m_win = nullptr;
    qunsetenv("TALLYPORT_PLAYER");
    endTest();
}

void TestCheckoutPayments::writeConfig(bool voice) const
{
    QStringList extra;
    if (voice)
        extra << QStringLiteral("[DOWNLOAD]") << QStringLiteral("download=1");
    QVERIFY(m_sandbox.writeClientConfig(m_home->path(), extra));
}

void TestCheckoutPayments::buildWindow()
{
    m_main = std::make_unique<QWidget>();
    m_main->setObjectName(QStringLiteral("mainWindow"));
    m_main->resize(700, 520);
    m_win = new CheckStandWin(m_main.get());
    m_win->setPollCadence(kFastCadence);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

QLineEdit *TestCheckoutPayments::field(const char *name) const
{
    auto *edit = m_win->findChild<QLineEdit *>(QLatin1String(name));
    if (!edit)
        qFatal("no line edit %s", name);
    return edit;
}

void TestCheckoutPayments::enter(const QString &money, const QString &payCode) const
{
    field("lineEdit_money")->setText(money);
    field("lineEdit_note")->setText(QStringLiteral("table 4"));
    field("lineEdit_paycode")->setText(payCode);
}

QList<QJsonObject> TestCheckoutPayments::faceRequests(const QString &method) const
{
    QList<QJsonObject> requests;
    const QString marker = QStringLiteral("\"method\":\"%1\"").arg(method);
    for (const QJsonObject &entry : m_sandbox.journal()) {
        if (entry.value(QStringLiteral("path")).toString() == QLatin1String("/api/face")
            && entry.value(QStringLiteral("body")).toString().contains(marker))
            requests.append(entry);
    }
    return requests;
}

QString TestCheckoutPayments::lastPayBody() const
{
    const QList<QJsonObject> pays = faceRequests(QStringLiteral("auto_pay"));
    return pays.isEmpty() ? QString() : pays.last().value(QStringLiteral("body")).toString();
}

QString TestCheckoutPayments::expectedPayBody(const QString &total, const QString &payCode) const
{
    const QString sign
        = md5Upper(QStringLiteral("authCode=%1&nonce_str=%2&store_id=%3&total=%4&key=%5")
                       .arg(payCode, kPayNonce, m_sid, total, m_key));
    return QStringLiteral("{\"appid\":\"%1\",\"method\":\"auto_pay\",\"sign\":\"%2\",\"data\":{"
                          "\"store_id\":\"%3\",\"total\":\"%4\",\"nonce_str\":\"%5\","
                          "\"authCode\":\"%6\"}}")
        .arg(m_appid, sign, m_sid, total, kPayNonce, payCode);
}

void TestCheckoutPayments::verifyStatusBodies(
    const QList<QJsonObject> &queries, const QString &orderNumber) const
{
    static const QRegularExpression nonceForm(QStringLiteral("^\\d{16,31}$"));
    static const QRegularExpression nonceOf(QStringLiteral("\"nonce_str\":\"([^\"]*)\""));
    QStringList nonces;
    for (const QJsonObject &query : queries) {
        const QString body = query.value(QStringLiteral("body")).toString();
        const QString nonce = nonceOf.match(body).captured(1);
        QVERIFY2(nonceForm.match(nonce).hasMatch(), qPrintable(body));
        const QString sign = md5Upper(
            QStringLiteral("nonce_str=%1&out_trade_no=%2&key=%3").arg(nonce, orderNumber, m_key));
        QCOMPARE(body,
            QStringLiteral("{\"appid\":\"%1\",\"method\":\"auto_orderQuery\","
                           "\"sign\":\"%2\",\"data\":{\"out_trade_no\":\"%3\","
                           "\"nonce_str\":\"%4\"}}")
                .arg(m_appid, sign, orderNumber, nonce));
        nonces << nonce;
    }
    // Attempts follow each other within a second here; each still has its own nonce.
    nonces.removeDuplicates();
    QCOMPARE(nonces.size(), queries.size());
}

void TestCheckoutPayments::verifyFailureCard(const QString &message, const QString &orderLine) const
{
    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kOutcomeMs);
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("收款失败"));
    QCOMPARE(cardText(card, "label_sq"), message);
    QCOMPARE(cardText(card, "label_ddh"), orderLine);
    QCOMPARE(cardText(card, "label_fs"), QStringLiteral("支付方式:"));
    QCOMPARE(cardText(card, "label_sj"), QStringLiteral("3s"));
}

void TestCheckoutPayments::verifyFieldsCleared() const
{
    QCOMPARE(field("lineEdit_money")->text(), QString());
    QCOMPARE(field("lineEdit_note")->text(), QString());
    QCOMPARE(field("lineEdit_paycode")->text(), QString());
}

void TestCheckoutPayments::confirm()
{
    m_win->OnInputYes();
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->paying(), kOutcomeMs);
}

void TestCheckoutPayments::directPayment_data()
{
    QTest::addColumn<QString>("money");
    QTest::addColumn<QString>("payCode");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<float>("published");
    QTest::addColumn<QString>("wallet");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("receiptAmount");

    QTest::newRow("WeChat 12.5") << "12.5" << kWeChatPaid << "1250"
                                 << "12.5" << 12.5f << "wx"
                                 << "微信"
                                 << "12.5";
    QTest::newRow("Alipay 12.5") << "12.5" << kAlipayPaid << "1250"
                                 << "12.5" << 12.5f << "ali"
                                 << "支付宝"
                                 << "12.5";
    QTest::newRow("ten thousand") << "10000" << kWeChatPaid << "1000000"
                                  << "10000" << 10000.0f << "wx"
                                  << "微信"
                                  << "10000";
    QTest::newRow("thousands comma") << "1,000" << kWeChatPaid << "100000"
                                     << "1000" << 1000.0f << "wx"
                                     << "微信"
                                     << "1000";
    QTest::newRow("24-digit Alipay")
        << "7.05" << QStringLiteral("301234567890123456789010") << "705"
        << "7.05" << 7.05f << "ali"
        << "支付宝"
        << "7.05";
    QTest::newRow("one cent") << "0.01" << kAlipayPaid << "1"
                              << "0.01" << 0.01f << "ali"
                              << "支付宝"
                              << "0.01";
}

void TestCheckoutPayments::directPayment()
{
    QFETCH(QString, money);
    QFETCH(QString, payCode);
    QFETCH(QString, total);
    QFETCH(QString, shown);
    QFETCH(float, published);
    QFETCH(QString, wallet);
    QFETCH(QString, method);
    QFETCH(QString, receiptAmount);

    enter(money, payCode);
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);
    QSignalSpy mirrored(m_win, &CheckStandWin::sendMoneyToShowWin);

    confirm();

    // Read at once: the mirror timer republishes the (now empty) amount within 600 ms.
    QCOMPARE(mirrored.count(), 1);
    QCOMPARE(mirrored.first().at(0).toFloat(), published);
    QCOMPARE(CheckStandWin::lastAmount(), shown);

    const QList<QJsonObject> pays = faceRequests(QStringLiteral("auto_pay"));
    QVERIFY(!pays.isEmpty());
    QCOMPARE(pays.last().value(QStringLiteral("body")).toString(), expectedPayBody(total, payCode));

    const collectionWin *card = m_win->resultCard();
    QVERIFY(card->isVisible());
    QVERIFY(card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("收款成功"));
    QCOMPARE(cardText(card, "label_sq"), shown);
    QCOMPARE(cardText(card, "label_fs"), QStringLiteral("支付方式:"));
    QCOMPARE(cardText(card, "label"), method);
    QCOMPARE(cardText(card, "label_sj"), QStringLiteral("3s"));
    const QRegularExpressionMatch order = kOrderLine.match(cardText(card, "label_ddh"));
    QVERIFY2(order.hasMatch(), qPrintable(cardText(card, "label_ddh")));
    verifyFieldsCleared();

    QCOMPARE(printed.count(), 1);
    const QStringList receipt = QString::fromStdWString(printed.first().at(0).value<std::wstring>())
                                    .split(QLatin1Char('#'));
    QCOMPARE(receipt.size(), 7);
    QCOMPARE(receipt.at(0), QStringLiteral("11"));
    QCOMPARE(receipt.at(1), wallet);
    QCOMPARE(receipt.at(2), receiptAmount);
    QVERIFY2(!receipt.at(3).isEmpty(), "pay time");
    QCOMPARE(receipt.at(4), order.captured(1));
    QCOMPARE(receipt.at(5), receiptAmount);
    QCOMPARE(receipt.at(6), QStringLiteral("11"));

    // A success card takes the main window with it when its countdown ends.
    QTRY_VERIFY_WITH_TIMEOUT(card->isHidden(), kCountdownMs);
    QVERIFY(m_main->isHidden());
    QCOMPARE(printed.count(), 1);
}

void TestCheckoutPayments::pendingThenPaid()
{
    // The first poll of the process: the progress phase starts at 0, so attempt 1 shows the
    // progress window.
    ShowCounter progressShown;
    m_win->progressWindow()->installEventFilter(&progressShown);
    // Queued after the window's own connection, so each entry is the state it just drew.
    QList<int> litDots;
    connect(
        m_win, &CheckStandWin::sendContinueQuery, m_win,
        [this, &litDots] {
            const std::array<bool, 5> dots = m_win->progressWindow()->dots();
            litDots << int(std::count(dots.begin(), dots.end(), true));
        },
        Qt::QueuedConnection);
    QSignalSpy progress(m_win, &CheckStandWin::sendContinueQuery);
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);
    const int queriesBefore = faceRequests(QStringLiteral("auto_orderQuery")).size();
    enter(QStringLiteral("12.5"), kWeChatPendingThenPaid);

    confirm();

    QCOMPARE(lastPayBody(), expectedPayBody(QStringLiteral("1250"), kWeChatPendingThenPaid));
    verifyFieldsCleared();
    QVERIFY(m_win->polling());
    QVERIFY(m_win->resultCard()->isHidden());

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kOutcomeMs);
    QVERIFY(card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("收款成功"));
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("12.5"));
    QCOMPARE(cardText(card, "label"), QStringLiteral("微信"));
    const QRegularExpressionMatch order = kOrderLine.match(cardText(card, "label_ddh"));
    QVERIFY2(order.hasMatch(), qPrintable(cardText(card, "label_ddh")));

    QTRY_VERIFY_WITH_TIMEOUT(!m_win->polling(), kOutcomeMs);
    const QList<QJsonObject> queries
        = faceRequests(QStringLiteral("auto_orderQuery")).mid(queriesBefore);
    QCOMPARE(queries.size(), 3);
    verifyStatusBodies(queries, order.captured(1));

    QVERIFY(progressShown.shown >= 1);
    QTRY_VERIFY_WITH_TIMEOUT(m_win->progressWindow()->isHidden(), kOutcomeMs);
    // Two undecided attempts of six steps each fill the dots from the left, then the third
    // attempt's first step, then the end.
    QTRY_COMPARE_WITH_TIMEOUT(litDots.size(), 14, kOutcomeMs);
    QCOMPARE(litDots, (QList<int> {0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 0}));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.first().at(0).toInt(), 1);
    QCOMPARE(progress.last().at(0).toInt(), -1);

    QCOMPARE(printed.count(), 1);
    const QStringList receipt = QString::fromStdWString(printed.first().at(0).value<std::wstring>())
                                    .split(QLatin1Char('#'));
    QCOMPARE(receipt.size(), 7);
    QCOMPARE(receipt.at(0), QStringLiteral("1"));
    QCOMPARE(receipt.at(1), QStringLiteral("wx"));
    QCOMPARE(receipt.at(2), QStringLiteral("12.5"));
    QVERIFY2(!receipt.at(3).isEmpty(), "pay time");
    QCOMPARE(receipt.at(4), order.captured(1));
    QCOMPARE(receipt.at(5), QStringLiteral("12.5"));

    QTRY_VERIFY_WITH_TIMEOUT(card->isHidden(), kCountdownMs);
    QVERIFY(m_main->isHidden());
}

void TestCheckoutPayments::pendingThenFailed()
{
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);
    const int queriesBefore = faceRequests(QStringLiteral("auto_orderQuery")).size();
    enter(QStringLiteral("8"), kWeChatPendingThenFailed);

    confirm();
    verifyFieldsCleared();

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kOutcomeMs);
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("收款失败"));
    // The polled failure's message line is the order's message: none here, and none invented.
    QCOMPARE(cardText(card, "label_sq"), QString());
    QCOMPARE(cardText(card, "label"), QStringLiteral("微信"));
    QVERIFY2(kOrderLine.match(cardText(card, "label_ddh")).hasMatch(),
        qPrintable(cardText(card, "label_ddh")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->polling(), kOutcomeMs);
    QCOMPARE(faceRequests(QStringLiteral("auto_orderQuery")).size() - queriesBefore, 3);
    QCOMPARE(printed.count(), 0);

    QTRY_VERIFY_WITH_TIMEOUT(card->isHidden(), kCountdownMs);
    QVERIFY(m_main->isVisible());
}

void TestCheckoutPayments::pendingForEverGivesUp()
{
    QSignalSpy progress(m_win, &CheckStandWin::sendContinueQuery);
    QSignalSpy ended(m_win, &CheckStandWin::paymentEnded);
    const int queriesBefore = faceRequests(QStringLiteral("auto_orderQuery")).size();
    enter(QStringLiteral("3"), kWeChatPendingForEver);

    confirm();

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), 2 * kOutcomeMs);
    QCOMPARE(ended.count(), 1);
    QVERIFY(!card->successShown());
    QCOMPARE(cardText(card, "label_sk"), QStringLiteral("收款失败"));
    // The customer may still pay it: the card says the outcome is open, and so does the log.
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("支付结果未知，请在订单查询中核对"));
    QVERIFY2(kOrderLine.match(cardText(card, "label_ddh")).hasMatch(),
        qPrintable(cardText(card, "label_ddh")));
    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLocal8Bit(log.readAll())
                .contains(kOrderLine.match(cardText(card, "label_ddh")).captured(1)
                    + QStringLiteral(" 查询次数已用完, 支付结果未知")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->polling(), kOutcomeMs);
    const QList<QJsonObject> queries
        = faceRequests(QStringLiteral("auto_orderQuery")).mid(queriesBefore);
    QCOMPARE(queries.size(), 15);
    verifyStatusBodies(queries, kOrderLine.match(cardText(card, "label_ddh")).captured(1));

    // Six progress steps per attempt, then the end.
    QCOMPARE(progress.size(), 15 * 6 + 1);
    QCOMPARE(progress.at(6 * 14).at(0).toInt(), 15);
    QCOMPARE(progress.last().at(0).toInt(), -1);
    QTRY_VERIFY_WITH_TIMEOUT(card->isHidden(), kCountdownMs);
    QVERIFY(m_main->isVisible());
}

void TestCheckoutPayments::failedStatusAnswerPollsOn_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::newRow("HTTP 500") << QByteArray(R"({"kind":"status","status":500})");
    QTest::newRow("body not JSON") << QByteArray(R"({"kind":"invalid_json"})");
    QTest::newRow("dropped connection") << QByteArray(R"({"kind":"drop"})");
}

void TestCheckoutPayments::failedStatusAnswerPollsOn()
{
    // The pay request passes untouched (a delay of 0), the first status request fails; the
    // gateway does not count it, so the order is paid at the fourth status request.
    QFETCH(QByteArray, fault);
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":0})"));
    QVERIFY(m_sandbox.injectFault(fault));
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);
    const int queriesBefore = faceRequests(QStringLiteral("auto_orderQuery")).size();
    enter(QStringLiteral("12.5"), kWeChatPendingThenPaid);

    confirm();
    QVERIFY(m_win->polling());

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kOutcomeMs);
    QVERIFY(card->successShown());
    QCOMPARE(cardText(card, "label_sq"), QStringLiteral("12.5"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->polling(), kOutcomeMs);
    QCOMPARE(faceRequests(QStringLiteral("auto_orderQuery")).size() - queriesBefore, 4);
    QCOMPARE(printed.count(), 1);
}

void TestCheckoutPayments::saleTypedWhilePollingIsKept()
{
    m_win->setPollCadence({15, 5, 100, 100});
    enter(QStringLiteral("3"), kWeChatPendingThenPaid);
    confirm();
    QVERIFY(m_win->polling());
    const int paysBefore = faceRequests(QStringLiteral("auto_pay")).size();
    const auto *notice = m_win->findChild<QLabel *>(QStringLiteral("label_paymessage"));
    QVERIFY(notice);
    QVERIFY(notice->isHidden());

    // The next sale is typed and confirmed while the first is followed: it is not sent, and
    // the cashier is told why.
    enter(QStringLiteral("4"), kWeChatPaid);
    confirm();

    QVERIFY(m_win->polling());
    QCOMPARE(faceRequests(QStringLiteral("auto_pay")).size(), paysBefore);
    QVERIFY(m_win->resultCard()->isHidden());
    QVERIFY(notice->isVisible());
    QVERIFY(!notice->text().isEmpty());

    // The first sale's card neither empties the fields nor takes the window with it.
    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kOutcomeMs);
    QVERIFY(card->successShown());
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->polling(), kOutcomeMs);
    QTRY_VERIFY(notice->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(card->isHidden(), kCountdownMs);
    // The window goes after a paid card as always; the next sale waits in its fields.
    QVERIFY(m_main->isHidden());
    QCOMPARE(field("lineEdit_money")->text(), QStringLiteral("4"));
    QCOMPARE(field("lineEdit_paycode")->text(), kWeChatPaid);

    // The ignored confirm leaves only its first log line.
    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(log.readAll()).split(QStringLiteral("\r\n"));
    int last = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).contains(QLatin1String("OnInputYes")))
            last = i;
    }
    QVERIFY(last >= 0);
    QVERIFY2(lines.at(last).contains(QLatin1String("OnInputYes m_stopPay = 1")),
        qPrintable(lines.at(last)));
}

void TestCheckoutPayments::keysTypedDuringThePayRequestPayOnce()
{
    // The gateway is slow to answer; the cashier, seeing nothing happen, types the sale again
    // and presses Enter.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500})"));
    const int paysBefore = faceRequests(QStringLiteral("auto_pay")).size();
    enter(QStringLiteral("16"), kWeChatPaid);
    m_win->OnInputYes();
    QVERIFY(m_win->paying());
    const auto *notice = m_win->findChild<QLabel *>(QStringLiteral("label_paymessage"));
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("正在收款，请稍候…"));

    enter(QStringLiteral("16"), kWeChatPaid);
    QTest::keyClick(m_win, Qt::Key_Return);
    QVERIFY(m_win->paying());
    QCOMPARE(notice->text(), QStringLiteral("正在收款，请稍候…"));
    // A scanner typing into the checkout is heard by the keyboard hook too: its copy of the scan
    // is the same sale.
    m_win->ProcessInputCode(kWeChatPaid.toStdString());
    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(log.readAll()).count(QStringLiteral("本次确认未发送")), 1);

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kOutcomeMs);
    QVERIFY(card->successShown());
    QVERIFY(notice->isHidden());
    QCOMPARE(faceRequests(QStringLiteral("auto_pay")).size(), paysBefore + 1);
    // What was typed again is what was paid: the card empties it, so no Enter pays it twice,
    // and the hook's copy arriving late does not fill it again; another code does.
    verifyFieldsCleared();
    m_win->ProcessInputCode(kWeChatPaid.toStdString());
    verifyFieldsCleared();
    m_win->ProcessInputCode(kAlipayPaid.toStdString());
    QCOMPARE(field("lineEdit_paycode")->text(), kAlipayPaid);
    QCOMPARE(faceRequests(QStringLiteral("auto_pay")).size(), paysBefore + 1);
}

void TestCheckoutPayments::abandonedPaymentIsLoggedAsUnknown()
{
    // Slow enough that the order is still followed when the cashier leaves.
    m_win->setPollCadence({15, 5, 1000, 1000});
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);
    QSignalSpy ended(m_win, &CheckStandWin::paymentEnded);
    enter(QStringLiteral("3"), kWeChatPendingForEver);
    confirm();
    QVERIFY(m_win->polling());
    QTRY_VERIFY(m_win->progressWindow()->isVisible());

    m_win->abandonPayment();

    QVERIFY(!m_win->polling());
    QCOMPARE(ended.count(), 1);
    QVERIFY(m_win->progressWindow()->isHidden());
    QFile log(m_home->filePath(QStringLiteral("tallyport.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(log.readAll());
    QVERIFY2(
        text.contains(QRegularExpression(QStringLiteral("停止查询订单 \\d{21}, 支付结果未知"))),
        qPrintable(text.right(400)));
    // Nothing of the poll reaches the window any more.
    QCoreApplication::processEvents();
    QVERIFY(m_win->resultCard()->isHidden());
    QVERIFY(m_win->progressWindow()->isHidden());
    QCOMPARE(printed.count(), 0);
}

void TestCheckoutPayments::zeroAmountIsSentAsTotalZero()
{
    enter(QStringLiteral("0"), kWeChatPaid);
    confirm();
    QTRY_VERIFY_WITH_TIMEOUT(m_win->resultCard()->isVisible(), kOutcomeMs);
    QCOMPARE(lastPayBody(), expectedPayBody(QStringLiteral("0"), kWeChatPaid));
}

void TestCheckoutPayments::refusedPayment()
{
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);
    QSignalSpy progress(m_win, &CheckStandWin::sendContinueQuery);
    enter(QStringLiteral("12.5"), kWeChatRefused);

    confirm();

    verifyFailureCard(kRefusedMessage, QStringLiteral("订单号：无"));
    QCOMPARE(cardText(m_win->resultCard(), "label"), QStringLiteral("无"));
    verifyFieldsCleared();
    QVERIFY(!m_win->polling());
    QCOMPARE(printed.count(), 0);
    QCOMPARE(progress.count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_win->resultCard()->isHidden(), kCountdownMs);
    QVERIFY(m_main->isVisible());
}

void TestCheckoutPayments::networkFailure_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::newRow("HTTP 500") << QByteArray(R"({"kind":"status","status":500})");
    QTest::newRow("body not JSON") << QByteArray(R"({"kind":"invalid_json"})");
    QTest::newRow("dropped connection") << QByteArray(R"({"kind":"drop"})");
}

void TestCheckoutPayments::networkFailure()
{
    QFETCH(QByteArray, fault);
    QVERIFY(m_sandbox.injectFault(fault));
    QSignalSpy printed(m_win, &CheckStandWin::sendMsgToPrinter);
    enter(QStringLiteral("12.5"), kWeChatPaid);

    confirm();

    verifyFailureCard(kRequestFailed, QStringLiteral("订单号：无"));
    QCOMPARE(cardText(m_win->resultCard(), "label"), QStringLiteral("无"));
    verifyFieldsCleared();
    QVERIFY(!m_win->polling());
    QCOMPARE(printed.count(), 0);
    // The request did reach the gateway; its answer was what failed.
    QCOMPARE(lastPayBody(), expectedPayBody(QStringLiteral("1250"), kWeChatPaid));
    QTRY_VERIFY_WITH_TIMEOUT(m_win->resultCard()->isHidden(), kCountdownMs);
    QVERIFY(m_main->isVisible());
}

void TestCheckoutPayments::payRequestTimeOut()
{
    // Longer than the client's total time-out of 30 s: the request is abandoned, not awaited.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":31000})"));
    enter(QStringLiteral("12.5"), kWeChatPaid);

    m_win->OnInputYes();

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), 45000);
    verifyFailureCard(kRequestFailed, QStringLiteral("订单号：无"));
    verifyFieldsCleared();
}

void TestCheckoutPayments::unknownOutcomeIsFollowedUpAtOnce_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<QString>("payCode");
    QTest::addColumn<bool>("unresolved");

    // Status 4: the customer has yet to confirm the payment on the phone.
    const QByteArray awaitingPayment(
        R"({"kind":"body","body":"{\"code\":\"100\",\"msg\":\"ok\",\"data\":{\"status\":\"4\",)"
        R"(\"out_trade_no\":\"202612080000000000412\"}}"})");
    QTest::newRow("paid") << QByteArray() << kWeChatPaid << false;
    QTest::newRow("refused") << QByteArray() << kWeChatRefused << false;
    QTest::newRow("answer lost") << QByteArray(R"({"kind":"drop_reply"})") << kWeChatPaid << true;
    QTest::newRow("code 100 without an order number")
        << QByteArray(R"({"kind":"body","body":"{\"code\":\"100\",\"msg\":\"ok\"}"})")
        << kWeChatPaid << true;
    QTest::newRow("awaiting payment") << awaitingPayment << kWeChatPaid << true;
}

void TestCheckoutPayments::unknownOutcomeIsFollowedUpAtOnce()
{
    // With the till's ledger (a login opens it), an answer that leaves the outcome open wakes the
    // ledger's follow-up at once instead of leaving the attempt for its next pass.
    QFETCH(QByteArray, fault);
    QFETCH(QString, payCode);
    QFETCH(bool, unresolved);
    QVERIFY(LedgerStore::shared().openDefault());
    if (!fault.isEmpty())
        QVERIFY(m_sandbox.injectFault(fault));
    QSignalSpy updated(m_win, &CheckStandWin::ledgerUpdated);
    enter(QStringLiteral("4.12"), payCode);

    confirm();

    QVERIFY(m_win->resultCard()->isVisible());
    QCOMPARE(updated.count(), 1);
    QCOMPARE(updated.first().at(0).toBool(), unresolved);
    QCOMPARE(LedgerStore::shared().row(1).state == "unresolved", unresolved);
}

void TestCheckoutPayments::sameAmountIsAskedAboutAtEveryRetry()
{
    // The cashier's 确定 is for the one payment it was asked about, not for the amount.
    QVERIFY(LedgerStore::shared().openDefault());
    // The answer is lost: the customer may have paid 9.97.
    QVERIFY(m_sandbox.injectFault(R"({"kind":"drop_reply"})"));
    enter(QStringLiteral("9.97"), kWeChatPaid);
    confirm();
    QCOMPARE(LedgerStore::shared().row(1).state, std::string("unresolved"));
    const int paysBefore = faceRequests(QStringLiteral("auto_pay")).size();

    // The next sale of 9.97 is asked about; the cashier takes it (确定) and it is paid.
    NoteWin *question = m_win->retryQuestion()->prompt();
    enter(QStringLiteral("9.97"), kAlipayPaid);
    m_win->OnInputYes();
    QVERIFY(question->isVisible());
    QVERIFY(!m_win->paying());
    question->OnBtnYes();
    QVERIFY(question->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->paying(), kOutcomeMs);
    QVERIFY(m_win->resultCard()->successShown());
    QCOMPARE(faceRequests(QStringLiteral("auto_pay")).size(), paysBefore + 1);

    // The first attempt is still unknown: the sale after that is asked about again, not paid.
    enter(QStringLiteral("9.97"), kWeChatPaid);
    m_win->OnInputYes();
    QVERIFY(question->isVisible());
    QVERIFY(!m_win->paying());
    QCOMPARE(faceRequests(QStringLiteral("auto_pay")).size(), paysBefore + 1);
}

void TestCheckoutPayments::paymentVoice_data()
{
    QTest::addColumn<QString>("payCode");
    QTest::addColumn<bool>("success");
    QTest::addColumn<int>("plays");
    QTest::newRow("direct success") << kWeChatPaid << true << 1;
    QTest::newRow("polled success") << kWeChatPendingThenPaid << true << 1;
    QTest::newRow("refused") << kWeChatRefused << false << 0;
    QTest::newRow("polled failure") << kWeChatPendingThenFailed << false << 0;
}

void TestCheckoutPayments::paymentVoice()
{
    QFETCH(QString, payCode);
    QFETCH(bool, success);
    QFETCH(int, plays);

    // A 0.1 s silent WAV (8 kHz, 8 bit, mono) and a player that notes what it was given.
    const QString wavPath = m_home->filePath(QStringLiteral("pay.wav"));
    QFile wav(wavPath);
    QVERIFY(wav.open(QIODevice::WriteOnly));
    const QByteArray samples(800, char(0x80));
    QByteArray header("RIFF");
    const auto le32 = [](quint32 v) {
        QByteArray b(4, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    const auto le16 = [](quint16 v) {
        QByteArray b(2, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    header += le32(36 + quint32(samples.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1)
        + le32(8000) + le32(8000) + le16(1) + le16(8) + "data" + le32(quint32(samples.size()));
    QCOMPARE(header.size(), 44);
    wav.write(header + samples);
    wav.close();

    const QString playedLog = m_home->filePath(QStringLiteral("played.log"));
    const QString playerPath = m_home->filePath(QStringLiteral("player.sh"));
    QFile player(playerPath);
    QVERIFY(player.open(QIODevice::WriteOnly));
    player.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + QFile::encodeName(playedLog) + "'\n");
    player.close();
    QVERIFY(player.setPermissions(
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    qputenv("TALLYPORT_PLAYER", QFile::encodeName(playerPath));
    writeConfig(true);

    enter(QStringLiteral("6.5"), payCode);
    confirm();

    const collectionWin *card = m_win->resultCard();
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), kOutcomeMs);
    QCOMPARE(card->successShown(), success);
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->polling(), kOutcomeMs);

    QStringList played;
    QFile log(playedLog);
    if (log.open(QIODevice::ReadOnly))
        played = QString::fromLocal8Bit(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(played.size(), plays);
    for (const QString &path : played)
        QCOMPARE(path, wavPath);
}

QTEST_MAIN(TestCheckoutPayments)
#include "TestCheckoutPayments.moc"
