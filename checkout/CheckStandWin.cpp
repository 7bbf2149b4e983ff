#include "CheckStandWin.h"
#include "ui_CheckStandWin.h"

#include "Amount.h"
#include "AppDir.h"
#include "CheckoutTexts.h"
#include "ConfigStore.h"
#include "ConnectionSettings.h"
#include "DisplayAmount.h"
#include "HostSettings.h"
#include "HttpClient.h"
#include "InputCode.h"
#include "KeypadInput.h"
#include "Language.h"
#include "LedgerStore.h"
#include "LoginSession.h"
#include "PayCodeSources.h"
#include "PayTransaction.h"
#include "PayingWin.h"
#include "ProgressTable.h"
#include "RetryQuestion.h"
#include "RunLog.h"
#include "SerialHex.h"
#include "Text.h"
#include "Voice.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QDebug>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QApplication>
#include <QRegularExpressionValidator>

#include <array>

namespace {

CheckStandWin *s_instance = nullptr;

std::mutex s_lastAmountMutex;
QString s_lastAmount;

// The progress dots' phase survives from one poll to the next.
int s_progressPhase = 0;

void setLastAmount(const QString &amount)
{
    std::lock_guard<std::mutex> lock(s_lastAmountMutex);
    s_lastAmount = amount;
}

} // namespace

CheckStandWin::CheckStandWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::CheckStandWin>())
    , m_language(kLanguageChinese)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    readSettings();
    // The connection of the payment-code source is read once, here, for the whole process.
    ConnectionSettings::set({m_settings.ip, m_settings.port, m_settings.connMode, m_settings.com});

    m_ui->lineEdit_money->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^[0-9]+(\\.[0-9]{0,2})?$")), this));
    m_ui->lineEdit_paycode->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("([0-9]){16,24}")), this));

    m_payingWin = new PayingWin;
    m_payingWin->hide();
    m_noteDlg = new collectionWin;
    m_noteDlg->hide();

    connect(&m_countdownTimer, &QTimer::timeout, this, &CheckStandWin::handleTimeout);

    m_ui->label_2->hide();
    m_ui->lineEdit_note->hide();
    applyLook();
    applyTexts();
    m_ui->label_paymessage->hide();

    connect(m_ui->pushButton_input0, &QPushButton::clicked, this, &CheckStandWin::OnInput0);
    connect(m_ui->pushButton_input1, &QPushButton::clicked, this, &CheckStandWin::OnInput1);
    connect(m_ui->pushButton_input2, &QPushButton::clicked, this, &CheckStandWin::OnInput2);
    connect(m_ui->pushButton_input3, &QPushButton::clicked, this, &CheckStandWin::OnInput3);
    connect(m_ui->pushButton_input4, &QPushButton::clicked, this, &CheckStandWin::OnInput4);
    connect(m_ui->pushButton_input5, &QPushButton::clicked, this, &CheckStandWin::OnInput5);
    connect(m_ui->pushButton_input6, &QPushButton::clicked, this, &CheckStandWin::OnInput6);
    connect(m_ui->pushButton_input7, &QPushButton::clicked, this, &CheckStandWin::OnInput7);
    connect(m_ui->pushButton_input8, &QPushButton::clicked, this, &CheckStandWin::OnInput8);
    connect(m_ui->pushButton_input9, &QPushButton::clicked, this, &CheckStandWin::OnInput9);
    connect(m_ui->pushButton_input00, &QPushButton::clicked, this, &CheckStandWin::OnInput00);
    connect(m_ui->pushButton_inputdot, &QPushButton::clicked, this, &CheckStandWin::OnInputDot);
    connect(m_ui->pushButton_delete, &QPushButton::clicked, this, &CheckStandWin::OnInputDelete);
    connect(m_ui->pushButton_esc, &QPushButton::clicked, this, &CheckStandWin::OnInputEsc);
    connect(m_ui->pushButton_yes, &QPushButton::clicked, this, &CheckStandWin::OnInputYes);
    connect(this, &CheckStandWin::sendSuccess, this, &CheckStandWin::SuccessNote);
    connect(this, &CheckStandWin::sendFail, this, &CheckStandWin::FailNote);
    connect(this, &CheckStandWin::sendContinueQuery, this, &CheckStandWin::ContinueQuery);
    connect(this, &CheckStandWin::SendRecvQR, this, &CheckStandWin::OnRecvQR);
    connect(this, &CheckStandWin::SendRecvBarCode, this, &CheckStandWin::onRecvBarCode);
    connect(this, &CheckStandWin::sendFacePayCode, this, &CheckStandWin::OnFacePayCode);

    // The amount goes to the floating icon by the mirror timer: every 600 ms while the checkout
    // is shown (from half a second after it appears, see showEvent); while it is hidden, once,
    // 600 ms after the amount changed (from the customer display, or a payment ending).
    connect(&m_mirrorTimer, &QTimer::timeout, this, &CheckStandWin::ctrlTimeout);
    connect(m_ui->lineEdit_money, &QLineEdit::textChanged, this, [this] {
        if (!isVisible() && !m_mirrorTimer.isActive())
            m_mirrorTimer.start(600);
    });

    const ScreenScale scale = WindowScaling::current();
    WindowScaling::scaleWidgetTree(this, scale);

    m_retry = new RetryQuestion(m_language, this);
    connect(m_retry, &RetryQuestion::confirmed, this, &CheckStandWin::OnInputYes);
    s_instance = this;
    // The readers emit these signals on their own threads, so the slots run queued on this one.
    PayCodeSources::Signals toWindow;
    toWindow.hookText = [this] { emit SendRecvBarCode(); };
    toWindow.networkText = [this] { emit SendRecvQR(); };
    toWindow.serialDigits = [this](const QString &digits) { emit sendFacePayCode(digits); };
    m_codeSources = std::make_unique<PayCodeSources>(std::move(toWindow));
    m_codeSources->start(ConnectionSettings::get().connMode);
}

CheckStandWin::~CheckStandWin()
{
    // No reader and no poll may touch this window once it starts going.
    m_codeSources->stop();
    // A pay request under way is cut short with the window: nobody will read its answer.
    if (m_payRequest.busy()) {
        LedgerStore::shared().update(
            m_ledgerId, LedgerStore::State::Unresolved, {}, LedgerStore::kCutShort);
    }
    abandonPayment();
    if (m_pollThread.joinable())
        m_pollThread.join();
    if (s_instance == this)
        s_instance = nullptr;
    delete m_noteDlg;
    delete m_payingWin;
}

CheckStandWin *CheckStandWin::instance()
{
    return s_instance;
}

QString CheckStandWin::lastAmount()
{
    std::lock_guard<std::mutex> lock(s_lastAmountMutex);
    return s_lastAmount;
}

void CheckStandWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void CheckStandWin::setPollCadence(const OrderPoller::Cadence &cadence)
{
    m_cadence = cadence;
}

void CheckStandWin::readSettings()
{
    m_settings = CheckoutSettings::load(ConfigStore());
    m_language = m_settings.language;
}

void CheckStandWin::applyLook()
{
    setStyleSheet(QStringLiteral(
        "#CheckStandWin { background-color: white; }"
        "QLabel { color: rgb(51, 51, 51); font: 12pt \"Arial\"; }"
        "QLineEdit { border: 1px solid rgb(220, 223, 230); border-radius: 2px; padding-left: 4px;"
        " font: 13pt \"Arial\"; background: white; }"
        "QGroupBox { border: none; }"
        "QGroupBox QPushButton { background-color: white; color: rgb(80, 80, 80);"
        " border: 1px solid rgb(225, 225, 225); border-radius: 4px; font: 15pt \"Arial\"; }"
        "QGroupBox QPushButton:pressed { background-color: rgb(240, 240, 240); }"
        "#pushButton_esc { color: rgb(254, 182, 69); font: 12pt \"Arial\"; }"
        "#pushButton_yes { background-color: rgb(254, 182, 69); color: white; border: none;"
        " font: bold 12pt \"Arial\"; }"
        "#pushButton_yes:pressed { background-color: rgb(230, 160, 50); }"
        "#pushButton_delete { image: url(:/Tallyport/skin/delete.png); padding: 8px; }"));
    const QList<QPushButton *> keys = m_ui->groupBox->findChildren<QPushButton *>();
    for (QPushButton *key : keys) {
        key->setFocusPolicy(Qt::NoFocus);
        auto *shadow = new QGraphicsDropShadowEffect(key);
        shadow->setBlurRadius(8);
        shadow->setOffset(0, 1);
        shadow->setColor(QColor(160, 160, 160));
        key->setGraphicsEffect(shadow);
    }
}

void CheckStandWin::applyTexts()
{
    const int l = m_language;
    m_ui->pushButton_esc->setText(Language::pick(l, "取消", "Cancel", "Xóa"));
    m_ui->pushButton_yes->setText(Language::pick(l, "刷脸\n\n\n收款", "OK", "Xác\nnhận"));
    m_ui->label->setText(Language::pick(l, "收款金额", "Payment amount", "Số tiền nhận"));
    m_ui->label_3->setText(
        Language::pick(l, "顾客付款码", "Customer payment\ncode", "Mã thanh toán\nkhách hàng"));
    if (l != 1)
        m_ui->label_2->setText(Language::pick(l, "备注", "Note", "Ghi chú"));
    m_ui->lineEdit_money->setPlaceholderText(Language::pick(l, " 金额", " Sum", " Số tiền"));
    m_ui->lineEdit_paycode->setPlaceholderText(
        Language::pick(l, " 付款码", " Payment code", " Mã thanh toán"));
    if (l != 1)
        m_ui->lineEdit_note->setPlaceholderText(Language::pick(l, "", " Note", " Ghi chú"));

    m_noteDlg->setFixedTexts(CheckoutTexts::cardMethodValue(l), CheckoutTexts::cardClosingWords(l),
        CheckoutTexts::cardButton(l));
    m_payingWin->setText(CheckoutTexts::progressText(l));
}

void CheckStandWin::appendKey(const QString &text)
{
    KeypadInput::append({m_ui->lineEdit_money, m_ui->lineEdit_note, m_ui->lineEdit_paycode}, text);
}

void CheckStandWin::OnInput0()
{
    appendKey(QStringLiteral("0"));
}

void CheckStandWin::OnInput1()
{
    appendKey(QStringLiteral("1"));
}

void CheckStandWin::OnInput2()
{
    appendKey(QStringLiteral("2"));
}

void CheckStandWin::OnInput3()
{
    appendKey(QStringLiteral("3"));
}

void CheckStandWin::OnInput4()
{
    appendKey(QStringLiteral("4"));
}

void CheckStandWin::OnInput5()
{
    appendKey(QStringLiteral("5"));
}

void CheckStandWin::OnInput6()
{
    appendKey(QStringLiteral("6"));
}

void CheckStandWin::OnInput7()
{
    appendKey(QStringLiteral("7"));
}

void CheckStandWin::OnInput8()
{
    appendKey(QStringLiteral("8"));
}

void CheckStandWin::OnInput9()
{
    appendKey(QStringLiteral("9"));
}

void CheckStandWin::OnInput00()
{
    appendKey(QStringLiteral("00"));
}

void CheckStandWin::OnInputDot()
{
    appendKey(QStringLiteral("."));
}

void CheckStandWin::OnInputDelete()
{
    KeypadInput::removeLast({m_ui->lineEdit_money, m_ui->lineEdit_note, m_ui->lineEdit_paycode});
}

void CheckStandWin::OnInputEsc()
{
    clearFields();
}

void CheckStandWin::clearFields()
{
    KeypadInput::clear({m_ui->lineEdit_money, m_ui->lineEdit_note, m_ui->lineEdit_paycode});
}

void CheckStandWin::SetEntryFocus()
{
    const QString amount = m_ui->lineEdit_money->text().simplified().remove(QLatin1Char(' '));
    if (amount.isEmpty())
        m_ui->lineEdit_money->setFocus(Qt::OtherFocusReason);
    else
        m_ui->lineEdit_paycode->setFocus(Qt::OtherFocusReason);
}

void CheckStandWin::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const bool hasAmount = !m_ui->lineEdit_money->text().isEmpty();
        const bool hasCode = !m_ui->lineEdit_paycode->text().isEmpty();
        if (hasAmount && hasCode)
            OnInputYes();
        else if (hasAmount)
            m_ui->lineEdit_paycode->setFocus(Qt::OtherFocusReason);
    }
    event->accept();
}

void CheckStandWin::ctrlTimeout()
{
    m_mirrorTimer.stop();
    const QString amount = m_ui->lineEdit_money->text();
    m_ui->lineEdit_money->setText(amount);
    setLastAmount(amount);
    emit sendMoneyToShowWin(amount.toFloat());
    if (isVisible())
        m_mirrorTimer.start(600);
}

void CheckStandWin::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_mirrorTimer.isActive())
        m_mirrorTimer.start(500);
}

void CheckStandWin::receiveDataFromShowWin(QString data)
{
    qDebug() << "receivce  ===   " << data;
    if (const std::optional<QString> amount = DisplayAmount::extract(data)) {
        m_ui->lineEdit_money->setText(*amount);
        RunLog::write("收到客显金额 %s", amount->toUtf8().constData());
    }
}

void CheckStandWin::setCardMethod(const std::wstring &payType)
{
    if (payType == L"ali")
        m_noteDlg->setMethod(CheckoutTexts::alipay(m_language), 1);
    else if (payType == L"wx")
        m_noteDlg->setMethod(CheckoutTexts::wechat(m_language), 2);
}

void CheckStandWin::setCardMethodNone()
{
    m_noteDlg->setMethod(CheckoutTexts::payModeNone(m_language), 0);
}

void CheckStandWin::showCard(
    bool success, const QString &message, const QString &orderLine, const QString &title)
{
    const QString caption = CheckoutTexts::payModeCaption(m_language);
    if (success)
        m_noteDlg->showSuccess(message, orderLine, caption, title);
    else
        m_noteDlg->showFailure(message, orderLine, caption, title);
    m_hideAfterCard = success;
    m_countdownMode = 3;
    m_countdownTimer.start(1000);
    m_noteDlg->presentOver(this);
}

void CheckStandWin::playVoice() const
{
    Voice::playAndWait(AppDir::filePath(QStringLiteral("pay.wav")));
}

void CheckStandWin::OnInputYes()
{
    RunLog::write("OnInputYes m_stopPay = %d", m_stopPay.load());
    readSettings();
    if (m_payRequest.busy()) {
        // The sale stays in the fields; nothing is sent twice.
        RunLog::write("收款请求尚未返回, 本次确认未发送");
        showPayMessage(CheckoutTexts::payRequestRunning(m_language));
        return;
    }
    if (m_stopPay.load() != 0) {
        // The sale stays in the fields; the cashier confirms it again once the card is shown.
        RunLog::write("上一笔收款尚未完成, 本次确认未发送");
        showPayMessage(CheckoutTexts::paymentRunning(m_language));
        return;
    }

    RunLog::write("OnInputYes 1");
    if (m_ui->lineEdit_money->hasFocus() || m_ui->lineEdit_note->hasFocus())
        m_ui->lineEdit_paycode->setFocus(Qt::OtherFocusReason);
    RunLog::write("OnInputYes 2");

    const QString money = m_ui->lineEdit_money->text().remove(QLatin1Char(','));
    const std::string amount = Text::toLocal(money);
    const std::string payCode = Text::toLocal(m_ui->lineEdit_paycode->text());

    if (const auto failure = PayTransaction::validate(amount, payCode, m_language)) {
        qDebug() << "Input Money ==  " << money.toFloat();
        m_ui->lineEdit_paycode->clear();
        setCardMethodNone();
        showCard(false, failure->message, CheckoutTexts::noOrderLine(m_language),
            CheckoutTexts::failureTitle(m_language));
        RunLog::write("%s", failure->logLine);
        return;
    }

    const GatewaySession::Credentials session = GatewaySession::get();
    const std::optional<PayTransaction::Request> request
        = PayTransaction::payRequest(amount, payCode, Text::wideToLocal(session.appid),
            Text::wideToLocal(session.sid), Text::wideToLocal(session.key));
    const long long amountMinor = Amount::parseMinorUnits(request->total).value_or(0);
    const std::string sid = Text::wideToUtf8(session.sid);
    // A recent attempt of this amount whose outcome is unknown may be this customer's: the
    // cashier says whether to charge again (confirmed() comes back here).
    if (!m_retry->mayPay(amountMinor, sid, this)) {
        RunLog::write("同金额的上一笔收款结果未知, 等待收银员确认");
        return;
    }

    RunLog::write("searchUrl = PAYMONEY_URL_NEW");
    const HostSettings hosts = HostSettings::load();
    // On record before the request leaves: whatever happens next, the attempt is not lost.
    m_ledgerId = LedgerStore::shared().recordAttempt(
        LedgerStore::Source::Checkout, amountMinor, payCode, sid, InputCode::wallet(payCode));
    m_sent = {
        m_ui->lineEdit_money->text(), m_ui->lineEdit_note->text(), m_ui->lineEdit_paycode->text()};
    m_sentCodePaid = false;
    // The request runs beside the window, which keeps painting and answering; what is typed
    // meanwhile stays, and a confirm meanwhile is refused with this line.
    showPayMessage(CheckoutTexts::payRequestRunning(m_language));
    const std::string body = request->body;
    auto reply = std::make_shared<std::string>();
    m_payRequest.start(
        {hosts.gatewayUrl(PayTransaction::kFacePath), Text::localToUtf8(body), hosts.caBundle},
        [reply](const std::string &answer) { *reply = answer; },
        [this, reply, body, money, hosts] {
            qDebug() << "----------------PayMoney post:" << QString::fromStdString(*reply);
            qDebug() << "Paramers ====  " << QString::fromStdString(body);
            onPayReply(*reply, money, hosts);
        });
}

void CheckStandWin::onPayReply(
    const std::string &reply, const QString &money, const HostSettings &hosts)
{
    m_ui->label_paymessage->hide();
    m_order = CurrentOrder();
    const PayTransaction::PayDecision decision = PayTransaction::decidePayReply(reply, m_order);
    const QString orderNumber = QString::fromStdWString(m_order.orderNumber);
    const std::string number = Text::wideToLocal(m_order.orderNumber);
    const std::string message = Text::wideToUtf8(decision.message);
    const bool followedUp = m_ledgerId != 0;
    LedgerStore &ledger = LedgerStore::shared();
    bool unresolved = false;
    switch (decision.outcome) {
    case PayTransaction::PayOutcome::RequestFailed:
        unresolved
            = ledger.update(m_ledgerId, LedgerStore::State::Unresolved, {}, LedgerStore::kNoAnswer);
        clearSent();
        setCardMethodNone();
        showCard(false, CheckoutTexts::requestFailedOutcomeUnknown(m_language, followedUp),
            CheckoutTexts::noOrderLineRequest(m_language), CheckoutTexts::failureTitle(m_language));
        break;
    case PayTransaction::PayOutcome::Unknown:
        // Nothing says which order it is: a paid card would book goods on a guess.
        unresolved = ledger.update(
            m_ledgerId, LedgerStore::State::Unresolved, {}, LedgerStore::kNoOrderNumber);
        RunLog::write("支付应答没有订单号, 支付结果未知");
        clearSent();
        setCardMethodNone();
        showCard(false, CheckoutTexts::outcomeUnknown(m_language, followedUp),
            CheckoutTexts::noOrderLineRequest(m_language), CheckoutTexts::failureTitle(m_language));
        break;
    case PayTransaction::PayOutcome::Refused:
        ledger.update(m_ledgerId, LedgerStore::State::Refused, {}, message);
        clearSent();
        setCardMethodNone();
        // The gateway's reason is the message; when it gives none, the card says so.
        showCard(false, collectionWin::reasonOrUnsaid(QString::fromStdWString(decision.message)),
            CheckoutTexts::noOrderLineRequest(m_language), CheckoutTexts::failureTitle(m_language));
        RunLog::write("OnInputYes m_noteDlg->show()4;");
        break;
    case PayTransaction::PayOutcome::Failed:
        ledger.update(m_ledgerId, LedgerStore::State::Refused, number, message);
        clearSent();
        setCardMethod(m_order.payType);
        showCard(false, QString(), CheckoutTexts::orderLine(m_language, orderNumber),
            CheckoutTexts::failureTitle(m_language));
        RunLog::write("OnInputYes m_noteDlg->show()6;");
        break;
    case PayTransaction::PayOutcome::FailedKeepFields:
        // Awaiting payment: the customer may still confirm on the phone. The fields stay as the
        // card has always left them, and the order is followed up by its number.
        unresolved = ledger.update(
            m_ledgerId, LedgerStore::State::Unresolved, number, LedgerStore::kAwaitingPayment);
        setCardMethod(m_order.payType);
        showCard(false, CheckoutTexts::outcomeUnknown(m_language, followedUp),
            CheckoutTexts::orderLine(m_language, orderNumber),
            CheckoutTexts::failureTitle(m_language));
        break;
    case PayTransaction::PayOutcome::Pending:
        ledger.update(m_ledgerId, LedgerStore::State::Pending, number, message);
        clearSent();
        startPolling(hosts);
        RunLog::write("OnInputYes _beginthread;");
        break;
    case PayTransaction::PayOutcome::Paid:
        // Paid just now: its pay time tells the gateway's clock.
        ledger.noteGatewayTime(Text::wideToUtf8(m_order.payTime));
        ledger.update(m_ledgerId, LedgerStore::State::Paid, number, message);
        m_sentCodePaid = true;
        directSuccess(money);
        break;
    }
    emit ledgerUpdated(unresolved);
}

void CheckStandWin::showPayMessage(const QString &text)
{
    m_ui->label_paymessage->setText(text);
    m_ui->label_paymessage->show();
}

void CheckStandWin::clearSent()
{
    KeypadInput::clearIfUnchanged(m_ui->lineEdit_money, m_sent.amount);
    KeypadInput::clearIfUnchanged(m_ui->lineEdit_note, m_sent.note);
    KeypadInput::clearIfUnchanged(m_ui->lineEdit_paycode, m_sent.payCode);
}

void CheckStandWin::directSuccess(const QString &money)
{
    if (m_settings.download == 1)
        playVoice();
    clearSent();
    setCardMethod(m_order.payType);
    showCard(true, money,
        CheckoutTexts::orderLine(m_language, QString::fromStdWString(m_order.orderNumber)),
        CheckoutTexts::successTitle(m_language));
    m_order.marker = L"11";
    emit sendMsgToPrinter(m_order.receiptMessage());
    setLastAmount(money);
    emit sendMoneyToShowWin(money.toFloat());
    RunLog::write("OnInputYes emit sendMoneyToShowWin(money.toFloat());");
}

void CheckStandWin::startPolling(const HostSettings &hosts)
{
    if (m_pollThread.joinable())
        m_pollThread.join();
    m_stopPay = 1;
    m_poller = std::make_shared<OrderPoller>();
    {
        std::lock_guard<std::mutex> lock(m_polledMutex);
        m_polledDecided = false;
    }

    const GatewaySession::Credentials session = GatewaySession::get();
    OrderPoller::Target target;
    target.url = hosts.gatewayUrl(PayTransaction::kFacePath);
    target.appid = Text::wideToLocal(session.appid);
    target.key = Text::wideToLocal(session.key);
    target.voice = m_settings.download == 1;

    m_pollThread = std::thread(&CheckStandWin::QueryOrderThread, this, m_poller, target, m_order,
        m_cadence, hosts.caBundle, m_ledgerId);
}

// The polling thread: follows the pending order and hands every step to the window's thread
// through the queued signals; it touches no widget.
void CheckStandWin::QueryOrderThread(std::shared_ptr<OrderPoller> poller,
    OrderPoller::Target target, CurrentOrder order, OrderPoller::Cadence cadence,
    std::string caBundle, long long ledgerId)
{
    HttpClient client(caBundle);
    // The ledger learns the outcome here, before the window is told: a window closing before
    // its card shows does not lose it.
    const auto record = [ledgerId](const CurrentOrder &polled, LedgerStore::State state,
                            const std::string &message) {
        LedgerStore::shared().update(
            ledgerId, state, Text::wideToLocal(polled.orderNumber), message);
    };
    OrderPoller::Callbacks callbacks;
    callbacks.progress = [this](int attempt) { emit sendContinueQuery(attempt); };
    callbacks.paid = [this, record](const CurrentOrder &polled) {
        // Found paid between two queries a few seconds apart: its pay time tells the clock.
        LedgerStore::shared().noteGatewayTime(Text::wideToUtf8(polled.payTime));
        record(polled, LedgerStore::State::Paid, Text::wideToUtf8(polled.message));
        setPolledOrder(polled);
        emit sendSuccess();
    };
    callbacks.failed = [this, record](const CurrentOrder &polled) {
        if (polled.status == L"0")
            record(polled, LedgerStore::State::Refused, Text::wideToUtf8(polled.message));
        else
            record(polled, LedgerStore::State::Unresolved, LedgerStore::kPollingGaveUp);
        setPolledOrder(polled);
        emit sendFail();
    };
    callbacks.playVoice = [this] { playVoice(); };
    callbacks.exchanged = [](const std::string &body, const std::string &reply) {
        qDebug() << "----------------Query By Odrer post:" << QString::fromStdString(reply);
        qDebug() << "QUERY Order ====  " << QString::fromStdString(body);
    };
    poller->run(client, target, order, cadence, callbacks);
    m_stopPay = 0;
}

void CheckStandWin::setPolledOrder(const CurrentOrder &order)
{
    std::lock_guard<std::mutex> lock(m_polledMutex);
    m_polledOrder = order;
    m_polledDecided = true;
}

bool CheckStandWin::polledOrderDecided()
{
    std::lock_guard<std::mutex> lock(m_polledMutex);
    return m_polledDecided;
}

void CheckStandWin::abandonPayment()
{
    if (!m_poller || m_poller->stopped() || !polling())
        return;
    // Once stop() returns the poll reports nothing more; an outcome it handed over before is
    // still shown by its queued slot.
    m_poller->stop();
    if (m_pollThread.joinable())
        m_pollThread.join();
    const std::string orderNumber = Text::wideToLocal(m_order.orderNumber);
    if (!polledOrderDecided()) {
        RunLog::write("停止查询订单 %s, 支付结果未知", Text::localToUtf8(orderNumber).c_str());
        LedgerStore::shared().update(
            m_ledgerId, LedgerStore::State::Unresolved, orderNumber, LedgerStore::kCutShort);
        endOfPoll();
        emit paymentEnded();
        return;
    }
    // Decided just before: its card is still on its way to this thread, which may not live to
    // show it, so the log keeps the outcome.
    RunLog::write("停止查询订单 %s, 支付结果已返回: status=%s",
        Text::localToUtf8(orderNumber).c_str(), Text::wideToUtf8(polledOrder().status).c_str());
}

void CheckStandWin::endOfPoll()
{
    m_payingWin->hide();
    m_payingWin->setDots({false, false, false, false, false});
    m_ui->label_paymessage->hide();
}

CurrentOrder CheckStandWin::polledOrder()
{
    std::lock_guard<std::mutex> lock(m_polledMutex);
    return m_polledOrder;
}

// The fields were emptied when the order went pending: what they hold now is the next sale,
// typed or scanned while this one was followed, and stays.
void CheckStandWin::SuccessNote()
{
    const CurrentOrder order = polledOrder();
    m_sentCodePaid = true;
    setCardMethod(order.payType);
    showCard(true, QString::fromStdWString(order.amountB),
        CheckoutTexts::orderLine(m_language, QString::fromStdWString(order.orderNumber)),
        CheckoutTexts::successTitle(m_language));
    emit sendMsgToPrinter(order.receiptMessage());
    emit paymentEnded();
    emit ledgerUpdated(false);
}

// A failed order, or one given up while still pending: the customer may pay that one yet, so
// its card says the outcome is open rather than giving a reason.
void CheckStandWin::FailNote()
{
    const CurrentOrder order = polledOrder();
    const bool failed = order.status == L"0";
    if (!failed) {
        RunLog::write(
            "订单 %s 查询次数已用完, 支付结果未知", Text::wideToUtf8(order.orderNumber).c_str());
    }
    setCardMethod(order.payType);
    showCard(false,
        failed ? QString::fromStdWString(order.message)
               : CheckoutTexts::outcomeUnknown(m_language, m_ledgerId != 0),
        CheckoutTexts::orderLine(m_language, QString::fromStdWString(order.orderNumber)),
        CheckoutTexts::failureTitle(m_language));
    emit paymentEnded();
    emit ledgerUpdated(!failed && m_ledgerId != 0);
}

void CheckStandWin::ContinueQuery(int cFlag)
{
    if (cFlag == -1) {
        endOfPoll();
        return;
    }
    // Steps that were on their way when the poll was abandoned.
    if (m_poller && m_poller->stopped())
        return;
    const std::optional<ProgressTable::Cell> cell = ProgressTable::cell(s_progressPhase, cFlag);
    if (!cell)
        return;
    if (cFlag == 1 && s_progressPhase == 0) {
        m_payingWin->move(WindowScaling::centredOver(this, m_payingWin->size()));
        m_payingWin->show();
        m_payingWin->raise();
    }
    std::array<bool, 5> dots {};
    for (int i = 0; i < 5; ++i)
        dots[i] = i < cell->lit;
    m_payingWin->setDots(dots);
    s_progressPhase = cell->nextPhase;
}

void CheckStandWin::handleTimeout()
{
    if (!m_countdownTimer.isActive())
        return;
    if (m_noteDlg->countDown(m_countdown)) {
        m_countdownTimer.start(1000);
        return;
    }
    m_countdownTimer.stop();
    // A sale typed during the card stays in the fields for when the window is shown again.
    if (m_hideAfterCard && parentWidget()) {
        parentWidget()->hide();
        RunLog::write("PayWin payWin  HideWidget()");
    }
}

void CheckStandWin::onRecvBarCode()
{
    const std::optional<std::string> text = m_codeSources->takeHookText();
    if (!text)
        return;
    // The hook hears every key of the desktop. When a text field of this program has the
    // keyboard, the scan's keys land in it themselves, where the cashier sees them and Enter
    // decides; the hook's copy would be a second input racing them (it may come before its own
    // keys, which would then be typed behind it).
    const QWidget *focus = QApplication::focusWidget();
    if (qobject_cast<const QLineEdit *>(focus) && focus->isActiveWindow()) {
        RunLog::write("键盘钩子条码 %s 的按键已输入本程序的输入框, 不再处理",
            Text::localToUtf8(*text).c_str());
        return;
    }
    ProcessInputCode(*text);
}

void CheckStandWin::OnRecvQR()
{
    if (const std::optional<std::string> text = m_codeSources->takeNetworkText())
        ProcessInputCode(*text);
}

void CheckStandWin::OnFacePayCode(QString sCode)
{
    qDebug() << "scode length  " << sCode.length();
    if (sCode.length() < SerialHex::kLongForm) {
        const std::string newString = SerialHex::decodeShort(sCode);
        qDebug() << "newString -----------------  " << QByteArray::fromStdString(newString);
        RunLog::write("收到串口数据------------   %s", Text::localToUtf8(newString).c_str());
        ProcessInputCode(newString);
        return;
    }
    const std::string code = SerialHex::decodeLong(sCode);
    qDebug() << "receive Code ==========" << Text::fromLocal(code);
    RunLog::write("收到串口数据------------   %s", sCode.toUtf8().constData());
    ProcessInputCode(code);
}

void CheckStandWin::ProcessInputCode(const std::string &s)
{
    if (s.empty())
        return;
    const InputCode::Classified input = InputCode::classify(s);
    qDebug() << "get Input Str" << Text::fromLocal(input.text);
    qDebug() << "First String ==" << Text::fromLocal(input.firstTwo);
    qDebug() << "First Value ==" << input.prefix;
    qDebug() << "First Value ==" << input.text.size();

    switch (input.kind) {
    case InputCode::Kind::WeChat:
        RunLog::write("收到微信付款条码 ===== %s", Text::localToUtf8(input.text).c_str());
        break;
    case InputCode::Kind::Alipay:
        RunLog::write("收到支付宝付款条码 ===== %s", Text::localToUtf8(input.text).c_str());
        break;
    case InputCode::Kind::OrderNumber:
        emit SendReceiveRefundCode(input.text);
        return;
    case InputCode::Kind::Ignored:
        return;
    }
    // A keyboard-wedge scanner types into the checkout when it has the focus, and the keyboard
    // hook sends the same scan: whichever comes second is not a new sale. A code whose payment
    // is under way or paid is not put back into the emptied field.
    if (Text::fromLocal(input.text) == m_sent.payCode
        && (m_payRequest.busy() || polling() || m_sentCodePaid)) {
        RunLog::write(
            "付款码 %s 已用于刚发送的收款, 不再放入", Text::localToUtf8(input.text).c_str());
        return;
    }

    window()->showNormal();
    emit sendShowReceipt();
    window()->raise();
    activateWindow();
    m_ui->lineEdit_paycode->setText(Text::fromLocal(input.text));
    const QString money = m_ui->lineEdit_money->text();
    const std::string sMoney = Text::toLocal(money);
    RunLog::write("sMoney=%s", money.toUtf8().constData());
    RunLog::write("sMoney.length() = %d", static_cast<int>(sMoney.size()));
    if (money.isEmpty()) {
        activateWindow();
        m_ui->lineEdit_money->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The auto-pay switch as the settings page last saved it, like every confirm reads it.
    readSettings();
    if (m_settings.automicShow == 1) {
        qDebug() << "Enter For Pay =========================22222222222222222222";
        OnInputYes();
    }
}
