#include "DailyQueryWin.h"
#include "ui_DailyQueryWin.h"

#include "Amount.h"
#include "ConfigStore.h"
#include "DateRangePicker.h"
#include "DateText.h"
#include "DayTotalsReply.h"
#include "OrderListReply.h"
#include "Printers.h"
#include "PrintQueue.h"
#include "PrintDevices.h"
#include "QueryRequests.h"
#include "ReportPrinter.h"
#include "RunLog.h"
#include "Settings.h"
#include "Signing.h"
#include "WindowScaling.h"

#include <QDebug>
#include <QHeaderView>
#include <QMouseEvent>
#include <QShowEvent>
#include <QStyle>
#include <QStandardItemModel>

#include <optional>
#include <set>

namespace {

constexpr int kRows = 6;
constexpr int kColumns = 4;
constexpr int kRowHeight = 45;
constexpr int kFirstQueryMs = 2000;
// The gateway's code of an answer that holds what was asked for.
constexpr const char *kSuccess = "100";
// The orders one order list answer holds at most (QueryRequests::orderList asks for one page
// of this many): a full page may not be all of them.
constexpr std::size_t kOrderListPage = 20000;

const QColor kCaptionBackground(246, 248, 253);
const QColor kCaptionText(20, 121, 215);
const QColor kValueText(102, 102, 102);

// The grid cell of a figure: its caption's row plus one, in the caption's column.
int rowOf(int figure)
{
    return 1 + 2 * (figure / kColumns);
}

std::string compact(const QDate &date)
{
    return DateText::compact(date.year(), date.month(), date.day());
}

// Whether the ledger's paid rows add up to what the gateway counts as paid. Of the day totals,
// `count` (the paid orders of the dates) and `total` (the sum paid) are the paid count and
// sum: both keep an order that was refunded later, as the ledger does, which knows nothing of
// refunds. `suc_total` is the sum kept after refunds (total less re_total): a refund would make
// it differ from the ledger although every payment is there.
bool sameAsGateway(const LedgerStore::PaidTotals &own, const SettlementFigures &figures)
{
    bool countRead = false;
    const long long count = figures[SettlementFigures::Count].toLongLong(&countRead);
    // The figure is shown exactly in the currency's unit: back to minor units.
    const std::optional<std::string> sum
        = Amount::toMinorUnits(figures[SettlementFigures::Total].toStdString());
    const std::optional<long long> sumMinor
        = sum ? Amount::parseMinorUnits(*sum) : std::optional<long long>();
    return countRead && sumMinor && count == own.count && *sumMinor == own.sumMinor;
}

} // namespace

DailyQueryWin::DailyQueryWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::DailyQueryWin>())
    , m_language(kLanguageChinese)
    , m_request(this)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    readSettings();

    m_dates = std::make_unique<DateRangePicker>(m_ui->calendarWidget_starttime,
        m_ui->lineEdit_starttime, m_ui->calendarWidget_endtime, m_ui->lineEdit_endtime);
    m_figuresStart = m_dates->start();
    m_figuresEnd = m_dates->end();
    setUpGrid();
    applyTexts();
    m_printerName = Printers::defaultName();

    connect(m_ui->pushButton_starttime, &QPushButton::clicked, this,
        &DailyQueryWin::OnShowStartDateWidget);
    connect(m_ui->calendarWidget_starttime, &QCalendarWidget::selectionChanged, this,
        &DailyQueryWin::OnHideStartDateWidget);
    connect(m_ui->calendarWidget_starttime, &QCalendarWidget::clicked, this,
        &DailyQueryWin::OnHideStartDateWidget);
    connect(
        m_ui->pushButton_endtime, &QPushButton::clicked, this, &DailyQueryWin::OnShowEndDateWidget);
    connect(m_ui->calendarWidget_endtime, &QCalendarWidget::selectionChanged, this,
        &DailyQueryWin::OnHideEndDateWidget);
    connect(m_ui->calendarWidget_endtime, &QCalendarWidget::clicked, this,
        &DailyQueryWin::OnHideEndDateWidget);
    connect(m_ui->pushButton_query, &QPushButton::clicked, this, &DailyQueryWin::OnQuery);
    // The grid's dates are said whenever the date fields show others.
    connect(
        m_ui->lineEdit_starttime, &QLineEdit::textChanged, this, &DailyQueryWin::showFiguresNote);
    connect(m_ui->lineEdit_endtime, &QLineEdit::textChanged, this, &DailyQueryWin::showFiguresNote);
    connect(m_ui->pushButton_print, &QPushButton::clicked, this, &DailyQueryWin::OnPrint);
    connect(m_ui->pushButton_close, &QPushButton::clicked, this, &DailyQueryWin::OnClose);
    connect(&m_firstQueryTimer, &QTimer::timeout, this, &DailyQueryWin::QueryTimeout);
    m_firstQueryTimer.start(kFirstQueryMs);

    m_design = std::make_unique<DesignGeometry>(this);
    resizeWinodw();
}

DailyQueryWin::~DailyQueryWin() = default;

void DailyQueryWin::readSettings()
{
    const ConfigStore store;
    if (!store.exists())
        return;
    m_printWidth = store.readInt(QStringLiteral("PRINTWIDTH"), QStringLiteral("printwidth"));
    store.readInt(QStringLiteral("LANGUAGE"), QStringLiteral("language")); // never applied
    m_language = kLanguageChinese;
    m_printCount = store.readInt(QStringLiteral("PRINTCOUNT"), QStringLiteral("printcount"));
    m_print = store.readInt(QStringLiteral("PRINT"), QStringLiteral("print"));
}

void DailyQueryWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void DailyQueryWin::setStoreName(const std::wstring &storeName)
{
    m_storeName = storeName;
}

void DailyQueryWin::setUpGrid()
{
    m_model = new QStandardItemModel(kRows, kColumns, this);
    QTableView *grid = m_ui->tableView_showtotal;
    grid->setModel(m_model);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    showFigures();
}

void DailyQueryWin::applyTexts()
{
    const int l = m_language;
    for (int row = 0; row < kRows; row += 2) {
        const QStringList captions = DailyQueryTexts::captions(l, row);
        for (int column = 0; column < kColumns; ++column)
            m_model->item(row, column)->setText(captions.value(column));
    }
    m_ui->pushButton_print->setText(DailyQueryTexts::printButton(l));
    m_ui->pushButton_close->setText(DailyQueryTexts::closeButton(l));
    m_ui->pushButton_query->setText(DailyQueryTexts::queryButton(l));
    m_ui->label_starttime->setText(DailyQueryTexts::startCaption(l));
    m_ui->label->setText(DailyQueryTexts::endCaption(l));
    m_dates->setLanguage(l);
}

void DailyQueryWin::showFigures()
{
    // Value cells are new items each time; every cell is styled again.
    for (int figure = 0; figure < SettlementFigures::kFigureCount; ++figure) {
        m_model->setItem(rowOf(figure), figure % kColumns,
            new QStandardItem(m_figures.values[static_cast<std::size_t>(figure)]));
    }
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            QStandardItem *item = m_model->item(row, column);
            if (!item) {
                item = new QStandardItem;
                m_model->setItem(row, column, item);
            }
            const bool caption = row % 2 == 0;
            item->setTextAlignment(Qt::AlignCenter);
            item->setForeground(caption ? kCaptionText : kValueText);
            item->setBackground(caption ? QBrush(kCaptionBackground) : QBrush());
        }
    }
}

void DailyQueryWin::OnShowStartDateWidget()
{
    m_dates->toggleStart();
}

void DailyQueryWin::OnHideStartDateWidget()
{
    m_dates->takeStart();
}

void DailyQueryWin::OnShowEndDateWidget()
{
    m_dates->toggleEnd();
}

void DailyQueryWin::OnHideEndDateWidget()
{
    m_dates->takeEnd();
}

void DailyQueryWin::OnQuery()
{
    queryFigures(true);
}

void DailyQueryWin::queryFigures(bool byCashier)
{
    const QDate start = m_dates->start();
    const QDate end = m_dates->end();
    // The figures hold every payment made before this moment; the report prints it with them.
    const QDateTime asked = QDateTime::currentDateTime();
    const QueryRequests::Request request = QueryRequests::dayTotals(
        compact(start), compact(end), Signing::nonce(), QueryRequests::currentSession());
    qDebug() << "DAILY PARAMERS  =====" << QString::fromStdString(request.body);

    auto totals = std::make_shared<std::optional<DayTotalsReply>>();
    auto own = std::make_shared<LedgerStore::PaidTotals>();
    m_firstQueryTimer.stop(); // asked already, the first query has nothing left to do
    m_totalsRunning = true;
    showFiguresNote();
    // Asked while one runs, it is sent after it; asked again, the latest wins, so the grid
    // never shows the figures of dates that are no longer asked for.
    m_request.ask(
        "totals", QueryRequests::gatewayPost(request.body),
        [totals, own, start, end](const std::string &reply) {
            qDebug() << "RECEIVE  das======" << QString::fromStdString(reply);
            if (!reply.empty())
                *totals = DayTotalsReply::decode(reply);
            if (*totals)
                *own = LedgerStore::shared().paidTotals(start, end);
        },
        [this, totals, own, start, end, asked, byCashier] {
            // No answer, or one that cannot be read: the grid keeps its figures, and the line
            // under it says whose they are.
            m_totalsRunning = false;
            showFiguresNote();
            if (!*totals)
                return;
            m_code = (*totals)->code;
            m_message = (*totals)->message;
            m_figures = (*totals)->figures;
            m_figuresStart = start;
            m_figuresEnd = end;
            m_figuresQueried = asked;
            showFigures();
            showFiguresNote();
            // The whole order list of the dates (up to 20 000 orders) is fetched only to name
            // the attempts behind a difference, and only when the cashier asked for it.
            using Check = DailyQueryTexts::TillFigures::Check;
            const bool same = sameAsGateway(*own, m_figures);
            const bool listCheck = !same && byCashier && !LedgerStore::shared().notRecording();
            Check check = Check::NotAsked;
            if (same)
                check = Check::Same;
            else if (listCheck)
                check = Check::Running;
            m_till = {own->count, QString::fromStdString(Amount::formatMinorUnits(own->sumMinor)),
                check, 0, own->matched};
            m_unlisted.clear();
            m_unheld.clear();
            showTillFigures();
            if (listCheck)
                askListedOrders();
        });
}

void DailyQueryWin::askListedOrders()
{
    const QDate start = m_figuresStart;
    const QDate end = m_figuresEnd;
    const QueryRequests::Request request = QueryRequests::orderList(compact(start) + "000000",
        compact(end) + "235959", Signing::nonce(), QueryRequests::currentSession());
    struct Check
    {
        bool listRead = false;
        std::vector<LedgerRow> unlisted;
        std::vector<OrderRecord> unheld;
    };
    auto check = std::make_shared<Check>();
    m_request.ask(
        "listed orders", QueryRequests::gatewayPost(request.body),
        [check, start, end](const std::string &reply) {
            const std::optional<OrderListReply> list
                = reply.empty() ? std::nullopt : OrderListReply::decode(reply);
            // A refusal lists nothing: it must not make every paid row look unlisted.
            // Nor may a full page, which may leave orders out.
            if (!list || list->code != kSuccess || list->records.size() >= kOrderListPage)
                return;
            std::set<std::string> listed;
            std::vector<std::string> paid;
            for (const OrderRecord &order : list->records) {
                listed.insert(order.orderNumber);
                if (order.paid())
                    paid.push_back(order.orderNumber);
            }
            LedgerStore &ledger = LedgerStore::shared();
            check->unlisted = ledger.paidRowsMissingFrom(start, end, listed);
            // Both ways: a paid order of the gateway that no row holds (a candidate turned down,
            // an answer never recorded, or another till's sale) is named too.
            const std::vector<std::string> free = ledger.notHeld(paid);
            const std::set<std::string> unheld(free.begin(), free.end());
            for (const OrderRecord &order : list->records) {
                if (unheld.count(order.orderNumber))
                    check->unheld.push_back(order);
            }
            check->listRead = true;
        },
        [this, check, start, end] {
            // Figures of other dates came meanwhile: their own comparison follows.
            if (start != m_figuresStart || end != m_figuresEnd)
                return;
            using Check = DailyQueryTexts::TillFigures::Check;
            m_till.check = check->listRead ? Check::Done : Check::Unavailable;
            m_till.unlisted = static_cast<long long>(check->unlisted.size());
            m_till.unheld = static_cast<long long>(check->unheld.size());
            m_unlisted = std::move(check->unlisted);
            m_unheld = std::move(check->unheld);
            showTillFigures();
        });
}

void DailyQueryWin::showFiguresNote()
{
    m_ui->label_figures->setText(DailyQueryTexts::figuresNote(m_language, m_totalsRunning,
        m_figuresStart, m_figuresEnd, m_dates->start(), m_dates->end()));
}

void DailyQueryWin::showTillFigures()
{
    QLabel *label = m_ui->label_till;
    label->setText(LedgerStore::shared().notRecording()
            ? DailyQueryTexts::tillNotRecording(m_language)
            : DailyQueryTexts::tillFigures(m_language, m_till));
    label->setToolTip(DailyQueryTexts::unlistedRows(m_language, m_unlisted, m_unheld));
    label->setProperty("unlisted", !m_unlisted.empty());
    label->style()->unpolish(label);
    label->style()->polish(label);
}

void DailyQueryWin::OnPrint()
{
    // Printed on the process's print queue, with the figures, their dates, when they were asked
    // for and the settings of this moment.
    const ReportLayout::Content content {m_figuresStart, m_figuresEnd, m_figuresQueried,
        QString::fromStdWString(m_storeName), m_figures};
    const ReportPrinter::Settings settings {m_print, m_printCount, m_printWidth};
    PrintQueue::process().post("settlement report", [content, settings] {
        const int jobs = ReportPrinter(&PrintDevices::openDefault).print(content, settings);
        RunLog::write("DailyQueryWin OnPrint jobs = %d", jobs);
    });
}

void DailyQueryWin::OnClose()
{
    emit SendToPayWinHidePayWin();
}

void DailyQueryWin::receivePrintChanged(QString data)
{
    m_printerName = std::move(data);
}

void DailyQueryWin::receivePrintWidthChanged(int Width)
{
    m_printWidth = Width;
}

void DailyQueryWin::QueryTimeout()
{
    if (!m_firstQueryTimer.isActive())
        return;
    queryFigures(false);
    m_firstQueryTimer.stop();
}

void DailyQueryWin::resizeWinodw()
{
    const ScreenScale scale = WindowScaling::current();
    // From the design each time, so a second call does not scale twice.
    m_design->applyScaled(scale);
    QTableView *grid = m_ui->tableView_showtotal;
    const int columnWidth = grid->width() / kColumns;
    for (int column = 0; column < kColumns; ++column)
        grid->setColumnWidth(column, columnWidth);
    const int rowHeight = scale.active() ? scale.y(kRowHeight) : kRowHeight;
    for (int row = 0; row < kRows; ++row)
        grid->setRowHeight(row, rowHeight);
}

void DailyQueryWin::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Opened, the page asks for the figures of its dates afresh: those asked at login, or when
    // it was last open, leave out every payment since, and a report printed from them would too.
    queryFigures(false);
}

void DailyQueryWin::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dates->hideCalendars();
    QWidget::mousePressEvent(event);
}
