#include "RecoveredNotice.h"
#include "ui_RecoveredNotice.h"

#include "Amount.h"
#include "WindowScaling.h"

namespace {

// Away from the screen's edges, in its bottom right corner: the checkout stays in view.
constexpr int kMargin = 24;

} // namespace

RecoveredNotice::RecoveredNotice(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::RecoveredNotice>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    // On top of every window, yet the keys stay with the field the cashier is typing in.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_ui->label_order->setTextFormat(Qt::PlainText);
    connect(m_ui->pushButton_print, &QPushButton::clicked, this, &RecoveredNotice::OnPrint);
    connect(m_ui->pushButton_ok, &QPushButton::clicked, this, &RecoveredNotice::OnDismiss);
    m_design = std::make_unique<DesignGeometry>(this);
    m_design->applyScaled(WindowScaling::current());
}

RecoveredNotice::~RecoveredNotice() = default;

void RecoveredNotice::add(const std::vector<LedgerWorker::Recovered> &payments)
{
    m_waiting.insert(m_waiting.end(), payments.begin(), payments.end());
    showFirst();
}

void RecoveredNotice::OnPrint()
{
    if (m_waiting.empty())
        return;
    emit printReceipt(m_waiting.front().order.receiptMessage());
}

void RecoveredNotice::OnDismiss()
{
    if (!m_waiting.empty())
        m_waiting.pop_front();
    showFirst();
}

void RecoveredNotice::showFirst()
{
    if (m_waiting.empty()) {
        hide();
        return;
    }
    const LedgerRow &row = m_waiting.front().row;
    m_ui->label_order->setText(QStringLiteral("订单号：") + QString::fromStdString(row.outTradeNo));
    m_ui->label_amount->setText(QStringLiteral("金额：")
        + QString::fromStdString(Amount::formatMinorUnits(row.amountMinor)));
    m_ui->label_time->setText(QStringLiteral("发起时间：") + QString::fromStdString(row.createdAt));
    const int more = int(m_waiting.size()) - 1;
    m_ui->label_more->setText(
        more > 0 ? QStringLiteral("另有 %1 笔核实到账的收款待查看").arg(more) : QString());
    const QSize screen = WindowScaling::screenSize();
    move(screen.width() - width() - kMargin, screen.height() - height() - kMargin);
    show();
    raise();
}
