#include "RecoveredNotice.h"
#include "ui_RecoveredNotice.h"

#include "Amount.h"
#include "LedgerAttentionTexts.h"
#include "LedgerFollowUp.h"
#include "Settings.h"
#include "WindowScaling.h"

namespace {

// Away from the screen's edges, in its bottom right corner: the checkout stays in view.
constexpr int kMargin = 24;

} // namespace

RecoveredNotice::RecoveredNotice(LedgerStore &ledger, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::RecoveredNotice>())
    , m_ledger(ledger)
    , m_language(kLanguageChinese)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    // On top of every window, yet the keys stay with the field the cashier is typing in.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_ui->label_order->setTextFormat(Qt::PlainText);
    m_ui->label_reason->setTextFormat(Qt::PlainText);
    m_ui->pushButton_confirm->setText(LedgerAttentionTexts::confirmButton(m_language));
    m_ui->pushButton_reject->setText(LedgerAttentionTexts::rejectButton(m_language));
    connect(m_ui->pushButton_print, &QPushButton::clicked, this, &RecoveredNotice::OnPrint);
    connect(m_ui->pushButton_ok, &QPushButton::clicked, this, &RecoveredNotice::OnDismiss);
    connect(m_ui->pushButton_confirm, &QPushButton::clicked, this, &RecoveredNotice::OnConfirm);
    connect(m_ui->pushButton_reject, &QPushButton::clicked, this, &RecoveredNotice::OnReject);
    m_design = std::make_unique<DesignGeometry>(this);
    m_design->applyScaled(WindowScaling::current());
}

RecoveredNotice::~RecoveredNotice() = default;

void RecoveredNotice::reload(const std::string &sid)
{
    m_sid = sid;
    m_waiting = m_ledger.noticeRows(sid);
    showFirst();
}

void RecoveredNotice::OnPrint()
{
    if (m_waiting.empty() || m_waiting.front().state != "paid")
        return;
    emit printReceipt(LedgerFollowUp::receiptOrder(m_waiting.front()).receiptMessage());
}

void RecoveredNotice::OnDismiss()
{
    if (!m_waiting.empty())
        m_ledger.acknowledge(m_waiting.front().id);
    reload(m_sid);
    emit answered();
}

void RecoveredNotice::OnConfirm()
{
    // Now a payment: the notice shows it as found paid, with its receipt. The word is about the
    // order shown: a row matched since with another one (or taken back) is shown anew instead.
    if (!m_waiting.empty())
        m_ledger.confirmCandidate(m_waiting.front().id, m_waiting.front().outTradeNo);
    reload(m_sid);
    emit answered();
}

void RecoveredNotice::OnReject()
{
    if (!m_waiting.empty())
        m_ledger.rejectCandidate(m_waiting.front().id, m_waiting.front().outTradeNo);
    reload(m_sid);
    emit answered();
}

void RecoveredNotice::showFirst()
{
    if (m_waiting.empty()) {
        hide();
        return;
    }
    const int l = m_language;
    const LedgerRow &row = m_waiting.front();
    const bool candidate = row.state == "matched";
    m_ui->label_title->setText(LedgerAttentionTexts::noticeTitle(l, row));
    m_ui->label_reason->setText(LedgerAttentionTexts::noticeReason(l, row));
    m_ui->label_order->setText(QStringLiteral("订单号：") + QString::fromStdString(row.outTradeNo));
    m_ui->label_amount->setText(QStringLiteral("金额：")
        + QString::fromStdString(Amount::formatMinorUnits(row.amountMinor)) + QStringLiteral("   ")
        + QString::fromStdString(row.codeMasked));
    m_ui->label_time->setText(QStringLiteral("发起时间：") + QString::fromStdString(row.createdAt));
    const int more = int(m_waiting.size()) - 1;
    m_ui->label_more->setText(
        more > 0 ? QStringLiteral("另有 %1 笔收款待查看").arg(more) : QString());
    m_ui->pushButton_confirm->setVisible(candidate);
    m_ui->pushButton_reject->setVisible(candidate);
    m_ui->pushButton_ok->setVisible(!candidate);
    m_ui->pushButton_print->setVisible(row.state == "paid");
    const QSize screen = WindowScaling::screenSize();
    move(screen.width() - width() - kMargin, screen.height() - height() - kMargin);
    show();
    raise();
}
