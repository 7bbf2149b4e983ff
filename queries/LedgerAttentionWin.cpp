#include "LedgerAttentionWin.h"
#include "ui_LedgerAttentionWin.h"

#include "LedgerAttentionTexts.h"
#include "LedgerStore.h"
#include "Settings.h"

#include <QDate>
#include <QHeaderView>

namespace {

constexpr int kMessageColumn = 5;

} // namespace

LedgerAttentionWin::LedgerAttentionWin(LedgerStore &ledger, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_ui(std::make_unique<Ui::LedgerAttentionWin>())
    , m_ledger(ledger)
    , m_language(kLanguageChinese)
{
    m_ui->setupUi(this);
    const int l = m_language;
    setWindowTitle(LedgerAttentionTexts::title(l));
    m_ui->label_heading->setText(LedgerAttentionTexts::title(l));
    m_ui->pushButton_refresh->setText(LedgerAttentionTexts::refreshButton(l));
    m_ui->pushButton_dismiss->setText(LedgerAttentionTexts::closeButton(l));
    m_ui->pushButton_confirm->setText(LedgerAttentionTexts::confirmButton(l));
    m_ui->pushButton_reject->setText(LedgerAttentionTexts::rejectButton(l));

    QTableWidget *table = m_ui->tableWidget_attention;
    const QStringList headers = LedgerAttentionTexts::headers(l);
    table->setColumnCount(headers.size());
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(kMessageColumn, QHeaderView::Stretch);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(true);

    connect(m_ui->pushButton_refresh, &QPushButton::clicked, this, &LedgerAttentionWin::refresh);
    connect(m_ui->pushButton_dismiss, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->pushButton_confirm, &QPushButton::clicked, this, &LedgerAttentionWin::OnConfirm);
    connect(m_ui->pushButton_reject, &QPushButton::clicked, this, &LedgerAttentionWin::OnReject);
    connect(
        table, &QTableWidget::itemSelectionChanged, this, &LedgerAttentionWin::updateAnswerButtons);
    updateAnswerButtons();
}

LedgerAttentionWin::~LedgerAttentionWin() = default;

void LedgerAttentionWin::refresh()
{
    m_rows = m_ledger.attentionRows(QDate::currentDate(), m_sid);
    const std::vector<LedgerRow> &rows = m_rows;
    QTableWidget *table = m_ui->tableWidget_attention;
    table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < table->rowCount(); ++r) {
        const QStringList cells
            = LedgerAttentionTexts::cells(m_language, rows[static_cast<std::size_t>(r)]);
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells.at(column));
            item->setTextAlignment(
                column == kMessageColumn ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
            table->setItem(r, column, item);
        }
    }
    table->resizeRowsToContents();
    m_ui->label_summary->setText(LedgerAttentionTexts::summary(m_language, table->rowCount()));
    updateAnswerButtons();
}

const LedgerRow *LedgerAttentionWin::selectedCandidate() const
{
    const QList<QTableWidgetItem *> selected = m_ui->tableWidget_attention->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    const std::size_t r = static_cast<std::size_t>(selected.first()->row());
    return r < m_rows.size() && m_rows[r].state == "matched" ? &m_rows[r] : nullptr;
}

void LedgerAttentionWin::updateAnswerButtons()
{
    const bool candidate = selectedCandidate() != nullptr;
    m_ui->pushButton_confirm->setEnabled(candidate);
    m_ui->pushButton_reject->setEnabled(candidate);
}

void LedgerAttentionWin::setStore(const std::string &sid)
{
    m_sid = sid;
    if (isVisible())
        refresh();
}

// The word is about the order shown: a row matched since with another order is not answered.
void LedgerAttentionWin::OnConfirm()
{
    const LedgerRow *row = selectedCandidate();
    if (row && m_ledger.confirmCandidate(row->id, row->outTradeNo))
        emit answered();
    refresh();
}

void LedgerAttentionWin::OnReject()
{
    const LedgerRow *row = selectedCandidate();
    if (row && m_ledger.rejectCandidate(row->id, row->outTradeNo))
        emit answered();
    refresh();
}

void LedgerAttentionWin::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}
