#include "SingleWin.h"
#include "ui_SingleWin.h"

#include "Amount.h"
#include "DisplayAmount.h"
#include "HostSettings.h"
#include "InputCode.h"
#include "KeypadInput.h"
#include "LedgerStore.h"
#include "LoginSession.h"
#include "MessageBoxWin.h"
#include "RetryQuestion.h"
#include "Settings.h"
#include "SinglePay.h"
#include "Text.h"
#include "WindowScaling.h"

#include <QKeyEvent>
#include <QPainterPath>
#include <QRegion>
#include <QRegularExpressionValidator>

namespace {

constexpr qreal kCornerRadius = 10;

} // namespace

SingleWin::SingleWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::SingleWin>())
    , m_messageBox(new MessageBoxWin(this))
    , m_retryQuestion(new RetryQuestion(kLanguageChinese, this))
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowIcon(QIcon(QStringLiteral(":/Tallyport/skin/vela_logo.ico")));
    m_messageBox->hide();

    m_ui->lineEdit_money->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^[0-9]+(\\.[0-9]{0,2})?$")), this));
    m_ui->label_3->hide();
    m_ui->lineEdit_note->hide();
    applyLook();

    connect(m_ui->pushButton_input0, &QPushButton::clicked, this, &SingleWin::OnInput0);
    connect(m_ui->pushButton_input1, &QPushButton::clicked, this, &SingleWin::OnInput1);
    connect(m_ui->pushButton_input2, &QPushButton::clicked, this, &SingleWin::OnInput2);
    connect(m_ui->pushButton_input3, &QPushButton::clicked, this, &SingleWin::OnInput3);
    connect(m_ui->pushButton_input4, &QPushButton::clicked, this, &SingleWin::OnInput4);
    connect(m_ui->pushButton_input5, &QPushButton::clicked, this, &SingleWin::OnInput5);
    connect(m_ui->pushButton_input6, &QPushButton::clicked, this, &SingleWin::OnInput6);
    connect(m_ui->pushButton_input7, &QPushButton::clicked, this, &SingleWin::OnInput7);
    connect(m_ui->pushButton_input8, &QPushButton::clicked, this, &SingleWin::OnInput8);
    connect(m_ui->pushButton_input9, &QPushButton::clicked, this, &SingleWin::OnInput9);
    connect(m_ui->pushButton_input00, &QPushButton::clicked, this, &SingleWin::OnInput00);
    connect(m_ui->pushButton_inputdot, &QPushButton::clicked, this, &SingleWin::OnInputDot);
    connect(m_ui->pushButton_delete, &QPushButton::clicked, this, &SingleWin::OnInputDelete);
    connect(m_ui->pushButton_esc, &QPushButton::clicked, this, &SingleWin::OnInputEsc);
    connect(m_ui->pushButton_yes, &QPushButton::clicked, this, &SingleWin::OnInputYes);
    connect(m_ui->lineEdit_paycode, &QLineEdit::returnPressed, this, &SingleWin::OnInputYes);
    // 确定 to the question: the payment goes as the fields now hold it.
    connect(m_retryQuestion, &RetryQuestion::confirmed, this, &SingleWin::OnInputYes);

    WindowScaling::scaleWidgetTree(this, WindowScaling::current());
}

SingleWin::~SingleWin()
{
    // The request under way is cut short with the window: nobody will read its answer.
    if (paying()) {
        LedgerStore::shared().update(
            m_ledgerId, LedgerStore::State::Unresolved, {}, LedgerStore::kCutShort);
    }
}

void SingleWin::applyLook()
{
    setStyleSheet(QStringLiteral(
        "#SingleWin { background-color: rgb(53, 153, 153); }"
        "QLabel { color: white; font: 13pt \"Arial\"; }"
        "#label { font: bold 16pt \"Arial\"; }"
        "#label_paymessage { color: rgb(0, 0, 127); font: 11pt \"Arial\"; }"
        "QLineEdit { background-color: rgb(53, 153, 153); color: white;"
        " border: 1px solid white; border-radius: 4px; padding-left: 4px; font: 14pt \"Arial\"; }"
        "QPushButton { background-color: rgb(53, 153, 153); color: white;"
        " border: 2px groove white; border-radius: 10px; font: 15pt \"Arial\"; }"
        "QPushButton:hover, QPushButton:checked { background-color: rgb(20, 62, 134); }"
        "QPushButton:pressed { background-color: rgb(200, 20, 20); }"));
    const QList<QPushButton *> keys
        = findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly);
    for (QPushButton *key : keys)
        key->setFocusPolicy(Qt::NoFocus);
}

void SingleWin::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void SingleWin::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit hidden();
}

void SingleWin::keyPressEvent(QKeyEvent *event)
{
    // The form has no frame to close it by: Esc puts it away.
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SingleWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void SingleWin::focusPayCode()
{
    m_ui->lineEdit_paycode->setFocus(Qt::OtherFocusReason);
}

void SingleWin::appendKey(const QString &text)
{
    KeypadInput::append({m_ui->lineEdit_money, m_ui->lineEdit_note, m_ui->lineEdit_paycode}, text);
}

void SingleWin::OnInput0()
{
    appendKey(QStringLiteral("0"));
}

void SingleWin::OnInput1()
{
    appendKey(QStringLiteral("1"));
}

void SingleWin::OnInput2()
{
    appendKey(QStringLiteral("2"));
}

void SingleWin::OnInput3()
{
    appendKey(QStringLiteral("3"));
}

void SingleWin::OnInput4()
{
    appendKey(QStringLiteral("4"));
}

void SingleWin::OnInput5()
{
    appendKey(QStringLiteral("5"));
}

void SingleWin::OnInput6()
{
    appendKey(QStringLiteral("6"));
}

void SingleWin::OnInput7()
{
    appendKey(QStringLiteral("7"));
}

void SingleWin::OnInput8()
{
    appendKey(QStringLiteral("8"));
}

void SingleWin::OnInput9()
{
    appendKey(QStringLiteral("9"));
}

void SingleWin::OnInput00()
{
    appendKey(QStringLiteral("00"));
}

void SingleWin::OnInputDot()
{
    appendKey(QStringLiteral("."));
}

void SingleWin::OnInputDelete()
{
    KeypadInput::removeLast({m_ui->lineEdit_money, m_ui->lineEdit_note, m_ui->lineEdit_paycode});
}

void SingleWin::OnInputEsc()
{
    KeypadInput::clear({m_ui->lineEdit_money, m_ui->lineEdit_note, m_ui->lineEdit_paycode});
}

void SingleWin::receiveDataFromShowWin(QString data)
{
    if (const std::optional<QString> amount = DisplayAmount::extract(data))
        m_ui->lineEdit_money->setText(*amount);
}

void SingleWin::showNotice(const QString &title, const QString &message, int seconds)
{
    m_messageBox->setTexts(title, message);
    m_messageBox->setSingleButtonMode();
    m_messageBox->startAutoHide(seconds);
    m_messageBox->move(WindowScaling::centredOver(this, m_messageBox->size()));
    m_messageBox->show();
    m_messageBox->raise();
}

void SingleWin::OnInputYes()
{
    if (paying())
        return;
    const std::string amount = Text::toLocal(m_ui->lineEdit_money->text());
    const std::string payCode = Text::toLocal(m_ui->lineEdit_paycode->text());
    if (const std::optional<SinglePay::Notice> refused = SinglePay::check(amount, payCode)) {
        m_ui->lineEdit_paycode->clear();
        showNotice(refused->title, refused->message, refused->seconds);
        return;
    }
    const std::optional<std::string> minor = Amount::toMinorUnits(amount);
    const long long amountMinor = Amount::parseMinorUnits(minor.value_or("0")).value_or(0);
    const std::string sid = Text::wideToUtf8(GatewaySession::get().sid);
    // The customer may have paid this amount already, in an attempt whose answer was lost: the
    // cashier looks before a new code charges again. The fields stay while the question is up.
    if (!m_retryQuestion->mayPay(amountMinor, sid, this))
        return;
    const std::optional<std::string> body = SinglePay::body(m_clerkTel, amount, payCode);
    const HostSettings hosts = HostSettings::load();

    m_sent = {
        m_ui->lineEdit_money->text(), m_ui->lineEdit_note->text(), m_ui->lineEdit_paycode->text()};
    // On record before the request leaves: whatever happens next, the attempt is not lost. The
    // store and the wallet keep a follow-up to this store's orders of this code's wallet.
    m_ledgerId = LedgerStore::shared().recordAttempt(
        LedgerStore::Source::SingleWindow, amountMinor, payCode, sid, InputCode::wallet(payCode));
    auto reply = std::make_shared<std::string>();
    m_request.start(
        {hosts.tradeUrl(SinglePay::kPath), Text::localToUtf8(*body), hosts.caBundle, std::string()},
        [reply](const std::string &answer) { *reply = answer; },
        [this, reply] { onReply(*reply); });
    // Says why a confirm pressed meanwhile does nothing; a notice still up is of an earlier one.
    m_ui->label_paymessage->setText(QStringLiteral("正在支付，请稍候…"));
    m_messageBox->hide();
}

void SingleWin::onReply(const std::string &reply)
{
    const SinglePay::Decision decision = SinglePay::decide(reply, m_ledgerId != 0);
    const SinglePay::Answer &answer = decision.answer;
    LedgerStore &ledger = LedgerStore::shared();
    switch (decision.outcome) {
    case SinglePay::Outcome::Paid:
        ledger.noteGatewayTime(answer.payTimeString);
        ledger.update(m_ledgerId, LedgerStore::State::Paid, answer.orderNo, answer.message);
        break;
    case SinglePay::Outcome::Refused:
        ledger.update(m_ledgerId, LedgerStore::State::Refused, answer.orderNo,
            !answer.message.empty() ? answer.message : answer.errMsg);
        break;
    case SinglePay::Outcome::Pending:
        ledger.update(m_ledgerId, LedgerStore::State::Unresolved, answer.orderNo, answer.payStatus);
        break;
    case SinglePay::Outcome::RequestFailed:
        ledger.update(m_ledgerId, LedgerStore::State::Unresolved, {}, LedgerStore::kNoAnswer);
        break;
    }
    const bool unresolved = decision.outcome == SinglePay::Outcome::Pending
        || decision.outcome == SinglePay::Outcome::RequestFailed;
    emit ledgerUpdated(unresolved && m_ledgerId != 0);
    m_ledgerId = 0;
    m_ui->label_paymessage->clear();
    // A field changed while the request ran (a new amount from the customer display, the next
    // customer's code) holds newer input than this answer and keeps it.
    if (decision.outcome == SinglePay::Outcome::Paid) {
        KeypadInput::clearIfUnchanged(m_ui->lineEdit_money, m_sent.amount);
        KeypadInput::clearIfUnchanged(m_ui->lineEdit_note, m_sent.note);
    }
    KeypadInput::clearIfUnchanged(m_ui->lineEdit_paycode, m_sent.payCode);
    showNotice(decision.notice.title, decision.notice.message, decision.notice.seconds);
}
