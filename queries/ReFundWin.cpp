#include "ReFundWin.h"
#include "ui_ReFundWin.h"

#include "Amount.h"
#include "CheckoutTexts.h"
#include "ConfigStore.h"
#include "KeypadInput.h"
#include "QueryRequests.h"
#include "RefundReply.h"
#include "RefundTexts.h"
#include "RunLog.h"
#include "Settings.h"
#include "Signing.h"
#include "Text.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QDebug>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QRegularExpressionValidator>

#include <array>
#include <optional>

namespace {

// The sign string without the signing key, for the log.
QString maskedSignString(const std::string &signString)
{
    const std::size_t key = signString.rfind("&key=");
    return QString::fromStdString(
        key == std::string::npos ? signString : signString.substr(0, key) + "&key=***");
}

} // namespace

ReFundWin::ReFundWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::ReFundWin>())
    , m_language(kLanguageChinese)
    , m_request(this)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);

    const ConfigStore store;
    m_autoConfirm
        = store.readInt(QStringLiteral("AUTOMICSHOW"), QStringLiteral("automicShow")) == 1;
    store.readInt(QStringLiteral("LANGUAGE"), QStringLiteral("language")); // never applied
    m_language = kLanguageChinese;

    m_ui->lineEdit_orderno->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("([0-9]){0,100}")), this));
    m_ui->lineEdit_money->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^[0-9]+(\\.[0-9]{0,2})?$")), this));

    m_card = new collectionWin;
    m_card->hide();
    m_card->setFixedTexts(CheckoutTexts::cardMethodValue(m_language),
        CheckoutTexts::cardClosingWords(m_language), CheckoutTexts::cardButton(m_language));
    applyLook();
    applyTexts();

    connect(m_ui->pushButton_input0, &QPushButton::clicked, this, &ReFundWin::OnInput0);
    connect(m_ui->pushButton_input1, &QPushButton::clicked, this, &ReFundWin::OnInput1);
    connect(m_ui->pushButton_input2, &QPushButton::clicked, this, &ReFundWin::OnInput2);
    connect(m_ui->pushButton_input3, &QPushButton::clicked, this, &ReFundWin::OnInput3);
    connect(m_ui->pushButton_input4, &QPushButton::clicked, this, &ReFundWin::OnInput4);
    connect(m_ui->pushButton_input5, &QPushButton::clicked, this, &ReFundWin::OnInput5);
    connect(m_ui->pushButton_input6, &QPushButton::clicked, this, &ReFundWin::OnInput6);
    connect(m_ui->pushButton_input7, &QPushButton::clicked, this, &ReFundWin::OnInput7);
    connect(m_ui->pushButton_input8, &QPushButton::clicked, this, &ReFundWin::OnInput8);
    connect(m_ui->pushButton_input9, &QPushButton::clicked, this, &ReFundWin::OnInput9);
    connect(m_ui->pushButton_input00, &QPushButton::clicked, this, &ReFundWin::OnInput00);
    connect(m_ui->pushButton_dot, &QPushButton::clicked, this, &ReFundWin::OnInputDot);
    connect(m_ui->pushButton_delete, &QPushButton::clicked, this, &ReFundWin::OnInputDelete);
    connect(m_ui->pushButton_esc, &QPushButton::clicked, this, &ReFundWin::OnInputEsc);
    connect(m_ui->pushButton_yes, &QPushButton::clicked, this, &ReFundWin::OnInputYes);
    connect(m_ui->lineEdit_orderno, &QLineEdit::returnPressed, this, &ReFundWin::OnInputYes);
    connect(&m_countdownTimer, &QTimer::timeout, this, &ReFundWin::handleTimeout);

    m_design = std::make_unique<DesignGeometry>(this);
    resizeWinodw();
}

ReFundWin::~ReFundWin()
{
    delete m_card;
}

void ReFundWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void ReFundWin::applyLook()
{
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

void ReFundWin::applyTexts()
{
    const int l = m_language;
    m_ui->label->setText(RefundTexts::orderCaption(l));
    m_ui->lineEdit_orderno->setPlaceholderText(RefundTexts::orderPlaceholder(l));
    m_ui->lineEdit_money->setPlaceholderText(RefundTexts::amountPlaceholder(l));
    m_ui->lineEdit_note->setPlaceholderText(RefundTexts::remarkPlaceholder(l));
    m_ui->label_refund->setText(RefundTexts::amountCaption(l));
    m_ui->label_note->setText(RefundTexts::remarkCaption(l));
    m_ui->pushButton_esc->setText(RefundTexts::cancelButton(l));
    m_ui->pushButton_yes->setText(RefundTexts::refundButton(l));
}

void ReFundWin::appendKey(const QString &text)
{
    KeypadInput::append({m_ui->lineEdit_orderno, m_ui->lineEdit_money, m_ui->lineEdit_note}, text);
}

void ReFundWin::OnInput1()
{
    appendKey(QStringLiteral("1"));
}

void ReFundWin::OnInput2()
{
    appendKey(QStringLiteral("2"));
}

void ReFundWin::OnInput3()
{
    appendKey(QStringLiteral("3"));
}

void ReFundWin::OnInput4()
{
    appendKey(QStringLiteral("4"));
}

void ReFundWin::OnInput5()
{
    appendKey(QStringLiteral("5"));
}

void ReFundWin::OnInput6()
{
    appendKey(QStringLiteral("6"));
}

void ReFundWin::OnInput7()
{
    appendKey(QStringLiteral("7"));
}

void ReFundWin::OnInput8()
{
    appendKey(QStringLiteral("8"));
}

void ReFundWin::OnInput9()
{
    appendKey(QStringLiteral("9"));
}

void ReFundWin::OnInput0()
{
    appendKey(QStringLiteral("0"));
}

void ReFundWin::OnInput00()
{
    appendKey(QStringLiteral("00"));
}

void ReFundWin::OnInputDot()
{
    // Never into the order number.
    KeypadInput::append({m_ui->lineEdit_money, m_ui->lineEdit_note}, QStringLiteral("."));
}

void ReFundWin::OnInputDelete()
{
    KeypadInput::removeLast({m_ui->lineEdit_orderno, m_ui->lineEdit_money, m_ui->lineEdit_note});
}

void ReFundWin::OnInputEsc()
{
    KeypadInput::clear({m_ui->lineEdit_orderno, m_ui->lineEdit_money, m_ui->lineEdit_note});
}

void ReFundWin::keyPressEvent(QKeyEvent *event)
{
    // Return in the order number field has already asked for the refund.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !m_ui->lineEdit_orderno->hasFocus()) {
        const bool hasAmount = !m_ui->lineEdit_money->text().isEmpty();
        const bool hasOrder = !m_ui->lineEdit_orderno->text().isEmpty();
        if (hasAmount && hasOrder)
            OnInputYes();
        else if (hasAmount)
            m_ui->lineEdit_orderno->setFocus(Qt::OtherFocusReason);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ReFundWin::receiveRefundOrder(std::string orderNo)
{
    RunLog::write("收到订单号  =====  %s", Text::localToUtf8(orderNo).c_str());
    emit SendShowRefund();
    if (parentWidget())
        parentWidget()->show();
    m_ui->lineEdit_orderno->setText(Text::fromLocal(orderNo));
    m_ui->lineEdit_money->setFocus(Qt::OtherFocusReason);
    if (m_autoConfirm && !m_ui->lineEdit_money->text().isEmpty())
        OnInputYes();
}

void ReFundWin::setCardMethod(const std::string &payType)
{
    if (payType == "ali")
        m_card->setMethod(RefundTexts::alipay(m_language), collectionWin::AlipayIcon);
    else if (payType == "wx")
        m_card->setMethod(RefundTexts::wechat(m_language), collectionWin::WeChatIcon);
    else
        m_card->setMethod(RefundTexts::methodNone(m_language), collectionWin::NoIcon);
}

void ReFundWin::showCard(bool success, const QString &message, const QString &orderLine)
{
    const int l = m_language;
    if (success)
        m_card->showSuccess(
            message, orderLine, RefundTexts::methodCaption(l), RefundTexts::successTitle(l));
    else
        m_card->showFailure(
            message, orderLine, RefundTexts::methodCaption(l), RefundTexts::failureTitle(l));
    m_countdownTimer.start(1000);
    m_card->presentOver(this);
}

void ReFundWin::OnInputYes()
{
    qDebug() << "ON REFUND    +++++++";
    const int l = m_language;
    if (busy()) {
        // A scan with auto-confirm lands here too: its number stays in the field for later.
        m_busyNotice.showOver(this, l);
        return;
    }
    const QString orderNumber = m_ui->lineEdit_orderno->text();
    const QString amount = m_ui->lineEdit_money->text();
    const QString remark = m_ui->lineEdit_note->text();

    if (orderNumber.isEmpty()) {
        setCardMethod(std::string());
        showCard(false, RefundTexts::noOrderNumber(l), RefundTexts::noOrderLine(l));
        return;
    }
    const QString orderLine = RefundTexts::orderLine(l, orderNumber);
    // The total in minor units, exactly; an amount that is not a plain decimal is not sent.
    std::optional<std::string> total;
    if (!amount.isEmpty()) {
        total = Amount::toMinorUnits(Text::toLocal(amount));
        if (!total) {
            setCardMethod(std::string());
            showCard(false, RefundTexts::amountInvalid(l), orderLine);
            return;
        }
    }
    std::optional<std::string> remarkText;
    if (!remark.isEmpty())
        remarkText = remark.toStdString();

    const std::string number = orderNumber.toStdString();
    const RefundLedger::Earlier earlier = m_refunds.checkFirst(
        m_request, number, [this, orderLine](RefundLedger::Checked found) {
            m_ui->pushButton_yes->setEnabled(true);
            setCardMethod(std::string());
            showCard(found.state == RefundLedger::State::Refunded,
                RefundTexts::checked(m_language, found.state, found.gatewayCannotTell), orderLine);
        });
    if (earlier != RefundLedger::Earlier::None) {
        const bool checking = earlier == RefundLedger::Earlier::Checking;
        m_ui->pushButton_yes->setEnabled(!checking);
        setCardMethod(std::string());
        showCard(false, checking ? RefundTexts::checkingEarlier(l) : RefundTexts::inFlight(l),
            orderLine);
        return;
    }

    const QueryRequests::Request request = QueryRequests::refund(
        number, remarkText, total, Signing::nonce(), QueryRequests::currentSession());
    qDebug() << "SIGN Str ===" << maskedSignString(request.signString);
    qDebug() << "--------999999--------Refund post:" << QString::fromStdString(request.body);

    const std::array<QString, 3> sent {orderNumber, amount, remark};
    const std::optional<long long> amountMinor
        = total ? Amount::parseMinorUnits(*total) : std::nullopt;
    m_refunds.send(m_request, request, number, amountMinor, "----------------Refund post:",
        [this, orderLine, sent](const std::optional<RefundReply> &answer) {
            m_ui->pushButton_yes->setEnabled(true);
            if (!answer) {
                // It may have been paid out: the next press checks the order first.
                setCardMethod(std::string());
                showCard(false, RefundTexts::resultUnknown(m_language), orderLine);
                return;
            }
            setCardMethod(answer->payType);
            if (answer->succeeded()) {
                clearSent(sent);
                showCard(true, QString::fromStdString(answer->refundedAmount()), orderLine);
            } else {
                showCard(false,
                    collectionWin::reasonOrUnsaid(QString::fromStdString(answer->message)),
                    orderLine);
            }
        });
    m_ui->pushButton_yes->setEnabled(false);
}

void ReFundWin::clearSent(const std::array<QString, 3> &sent)
{
    // What was typed or scanned while the refund ran is the next one's: it stays.
    const std::array<QLineEdit *, 3> fields {
        m_ui->lineEdit_orderno, m_ui->lineEdit_money, m_ui->lineEdit_note};
    for (std::size_t i = 0; i < fields.size(); ++i)
        KeypadInput::clearIfUnchanged(fields[i], sent[i]);
}

void ReFundWin::handleTimeout()
{
    if (!m_countdownTimer.isActive())
        return;
    if (m_card->countDown(m_countdown))
        m_countdownTimer.start(1000);
    else
        m_countdownTimer.stop();
}

void ReFundWin::resizeWinodw()
{
    m_card->resizeWinodw();
    // From the design each time, so a second call does not scale twice.
    m_design->applyScaled(WindowScaling::current());
}
