#include "OrderQueryWin.h"
#include "ui_OrderQueryWin.h"

#include "CheckoutTexts.h"
#include "ConfigStore.h"
#include "DateRangePicker.h"
#include "DateText.h"
#include "OrderFilter.h"
#include "OrderListReply.h"
#include "OrderQueryTexts.h"
#include "OrderRefreshReply.h"
#include "PayTransaction.h"
#include "QueryRequests.h"
#include "RefundReply.h"
#include "RefundTexts.h"
#include "Settings.h"
#include "Signing.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QAction>
#include <QClipboard>
#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <optional>

namespace {

constexpr int kColumns = 8;
constexpr int kRowHeight = 30;
constexpr int kHeaderHeight = 34;
constexpr int kFirstQueryMs = 2000;
// Column widths as designed, and the table width they are designed for.
constexpr int kColumnWidths[kColumns] = {30, 137, 100, 100, 100, 100, 100, 100};
constexpr int kDesignTableWidth = 768;
// A reply is logged only this far: an order list can be megabytes.
constexpr int kLoggedReplyBytes = 4096;

const QColor kOddRow(246, 248, 253);
const QColor kEvenRow(255, 255, 255);
const QColor kRowText(102, 102, 102);
const QColor kSelectedRow(232, 245, 243);
const QColor kSelectedText(20, 121, 215);
const char kOddCell[] = "background:rgba(246, 248, 253,1);";
const char kSelectedCell[] = "background:rgba(232, 245, 243,1);";
const char kCheckBoxStyle[]
    = "QCheckBox::indicator { width: 16px; height: 16px; }"
      "QCheckBox::indicator:unchecked { image: url(:/Tallyport/skin/checkbox3.png); }"
      "QCheckBox::indicator:checked { image: url(:/Tallyport/skin/check.png); }";

QString logged(const std::string &reply)
{
    if (reply.size() <= static_cast<std::size_t>(kLoggedReplyBytes))
        return QString::fromStdString(reply);
    return QString::fromUtf8(reply.data(), kLoggedReplyBytes)
        + QStringLiteral("… (%1 bytes)").arg(reply.size());
}

} // namespace

OrderQueryWin::OrderQueryWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::OrderQueryWin>())
    , m_language(kLanguageChinese)
    , m_request(this)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    readSettings();

    m_card = new collectionWin;
    m_card->hide();
    m_card->setFixedTexts(CheckoutTexts::cardMethodValue(m_language),
        CheckoutTexts::cardClosingWords(m_language), CheckoutTexts::cardButton(m_language));

    m_dates = std::make_unique<DateRangePicker>(m_ui->calendarWidget_starttime,
        m_ui->lineEdit_starttime, m_ui->calendarWidget_endtime, m_ui->lineEdit_endtime);
    m_checkBoxes = {m_ui->checkBox, m_ui->checkBox_2, m_ui->checkBox_3, m_ui->checkBox_4,
        m_ui->checkBox_5, m_ui->checkBox_6, m_ui->checkBox_7, m_ui->checkBox_8, m_ui->checkBox_9,
        m_ui->checkBox_10};
    m_menu = new QMenu(this);
    m_copyAction = new QAction(this);
    setUpTable();
    applyTexts();
    m_ui->pushButton_showpage->setTextFormat(Qt::RichText);
    m_ui->pushButton_showpage->setText(OrderQueryTexts::zeroPageLabel(m_language));

    connect(m_ui->pushButton_starttime, &QPushButton::clicked, this,
        &OrderQueryWin::OnShowStartDateWidget);
    connect(m_ui->calendarWidget_starttime, &QCalendarWidget::selectionChanged, this,
        &OrderQueryWin::OnHideStartDateWidget);
    connect(m_ui->calendarWidget_starttime, &QCalendarWidget::clicked, this,
        &OrderQueryWin::OnHideStartDateWidget);
    connect(
        m_ui->pushButton_endtime, &QPushButton::clicked, this, &OrderQueryWin::OnShowEndDateWidget);
    connect(m_ui->calendarWidget_endtime, &QCalendarWidget::selectionChanged, this,
        &OrderQueryWin::OnHideEndDateWidget);
    connect(m_ui->calendarWidget_endtime, &QCalendarWidget::clicked, this,
        &OrderQueryWin::OnHideEndDateWidget);
    connect(m_ui->pushButton_query, &QPushButton::clicked, this, &OrderQueryWin::OnQuery);
    connect(
        m_ui->pushButton_previouspage, &QPushButton::clicked, this, &OrderQueryWin::OnPreviousPage);
    connect(m_ui->pushButton_nextpage, &QPushButton::clicked, this, &OrderQueryWin::OnNextPage);
    connect(m_ui->pushButton, &QPushButton::clicked, this, &OrderQueryWin::OnRefund);
    connect(m_ui->pushButton_2, &QPushButton::clicked, this, &OrderQueryWin::OnPrint);
    connect(m_ui->pushButton_3, &QPushButton::clicked, this, &OrderQueryWin::OnFlush);
    void (OrderQueryWin::*const boxSlots[])(int) = {&OrderQueryWin::OnCheckBox1,
        &OrderQueryWin::OnCheckBox2, &OrderQueryWin::OnCheckBox3, &OrderQueryWin::OnCheckBox4,
        &OrderQueryWin::OnCheckBox5, &OrderQueryWin::OnCheckBox6, &OrderQueryWin::OnCheckBox7,
        &OrderQueryWin::OnCheckBox8, &OrderQueryWin::OnCheckBox9, &OrderQueryWin::OnCheckBox10};
    for (int row = 0; row < OrderPages::kRowsPerPage; ++row)
        connect(m_checkBoxes[row], &QCheckBox::stateChanged, this, boxSlots[row]);
    connect(
        m_ui->tableWidget_message, &QTableWidget::clicked, this, &OrderQueryWin::OnCheckWhichBox);
    connect(m_ui->tableWidget_message, &QTableWidget::customContextMenuRequested, this,
        &OrderQueryWin::on_stuTableWidget_customContextMenuRequested);
    connect(m_copyAction, &QAction::triggered, this, &OrderQueryWin::rightClickedOperation);
    connect(&m_countdownTimer, &QTimer::timeout, this, &OrderQueryWin::handleTimeout);
    connect(&m_firstQueryTimer, &QTimer::timeout, this, &OrderQueryWin::QueryTimeout);
    m_firstQueryTimer.start(kFirstQueryMs);

    m_design = std::make_unique<DesignGeometry>(this);
    resizeWinodw();
}

OrderQueryWin::~OrderQueryWin()
{
    delete m_card;
}

void OrderQueryWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void OrderQueryWin::readSettings()
{
    const ConfigStore store;
    if (!store.exists())
        return;
    m_printCount = store.readInt(QStringLiteral("PRINTCOUNT"), QStringLiteral("printcount"));
    m_printWidth = store.readInt(QStringLiteral("PRINTWIDTH"), QStringLiteral("printwidth"));
    store.readInt(QStringLiteral("LANGUAGE"), QStringLiteral("language")); // never applied
    m_language = kLanguageChinese;
}

void OrderQueryWin::setUpTable()
{
    QTableWidget *table = m_ui->tableWidget_message;
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->verticalHeader()->hide();
    table->setWordWrap(true);
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setMinimumSectionSize(1);
    table->horizontalHeader()->setFixedHeight(kHeaderHeight);
    for (int column = 0; column < kColumns; ++column)
        table->setColumnWidth(column, kColumnWidths[column]);

    for (int row = 0; row < OrderPages::kRowsPerPage; ++row) {
        table->setRowHeight(row, kRowHeight);
        for (int column = 1; column < kColumns; ++column) {
            auto *item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            table->setItem(row, column, item);
        }
        // Each row's check box, centred in a cell of its own in column 0.
        auto *cell = new QWidget;
        auto *layout = new QHBoxLayout(cell);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setAlignment(Qt::AlignCenter);
        layout->addWidget(m_checkBoxes[row]);
        m_checkBoxes[row]->setStyleSheet(QLatin1String(kCheckBoxStyle));
        m_checkBoxes[row]->setFocusPolicy(Qt::NoFocus);
        m_checkBoxes[row]->hide();
        table->setCellWidget(row, 0, cell);
        m_boxCells[row] = cell;
        paintRow(row, false);
    }
}

void OrderQueryWin::applyTexts()
{
    const int l = m_language;
    m_ui->tableWidget_message->setHorizontalHeaderLabels(OrderQueryTexts::headers(l));
    m_ui->comboBox->clear();
    m_ui->comboBox->addItems(OrderQueryTexts::typeFilters(l));
    m_ui->comboBox->setCurrentIndex(0);
    m_ui->comboBox_2->clear();
    m_ui->comboBox_2->addItems(OrderQueryTexts::statusFilters(l));
    m_ui->comboBox_2->setCurrentIndex(0);
    m_ui->lineEdit_starttime->setPlaceholderText(OrderQueryTexts::datePlaceholder(l));
    m_ui->lineEdit_endtime->setPlaceholderText(OrderQueryTexts::datePlaceholder(l));
    m_ui->pushButton_query->setText(OrderQueryTexts::queryButton(l));
    m_ui->pushButton->setText(OrderQueryTexts::refundButton(l));
    m_ui->pushButton_2->setText(OrderQueryTexts::printButton(l));
    m_ui->pushButton_previouspage->setText(OrderQueryTexts::previousPageButton(l));
    m_ui->pushButton_nextpage->setText(OrderQueryTexts::nextPageButton(l));
    m_ui->pushButton_3->setText(OrderQueryTexts::refreshButton(l));
    m_ui->label->setText(OrderQueryTexts::startCaption(l));
    m_ui->label_2->setText(OrderQueryTexts::endCaption(l));
    m_ui->label_3->setText(OrderQueryTexts::typeCaption(l));
    m_ui->label_4->setText(OrderQueryTexts::statusCaption(l));
    m_copyAction->setText(OrderQueryTexts::copyOrderNumber(l));
    const QSize pageButton = l == kLanguageChinese ? QSize(51, 20) : QSize(91, 20);
    m_ui->pushButton_previouspage->resize(pageButton);
    m_ui->pushButton_nextpage->resize(pageButton);
    m_dates->setLanguage(l);
}

void OrderQueryWin::paintRow(int row, bool selected)
{
    const bool odd = row % 2 == 1;
    const QColor background = selected ? kSelectedRow : odd ? kOddRow : kEvenRow;
    const QColor text = selected ? kSelectedText : kRowText;
    for (int column = 1; column < kColumns; ++column) {
        QTableWidgetItem *item = m_ui->tableWidget_message->item(row, column);
        item->setBackground(background);
        item->setForeground(text);
    }
    m_boxCells[row]->setStyleSheet(selected ? QLatin1String(kSelectedCell)
            : odd                           ? QLatin1String(kOddCell)
                                            : QString());
}

void OrderQueryWin::clearRows()
{
    for (int row = 0; row < OrderPages::kRowsPerPage; ++row) {
        m_checkBoxes[row]->setChecked(false);
        m_checkBoxes[row]->hide();
        for (int column = 1; column < kColumns; ++column)
            m_ui->tableWidget_message->item(row, column)->setText(QString());
    }
}

void OrderQueryWin::fillRow(int row, const OrderRecord &record, bool fullStatusTable)
{
    const std::array<QString, 7> texts
        = OrderQueryTexts::rowTexts(m_language, record, fullStatusTable);
    for (int column = 1; column < kColumns; ++column) {
        QTableWidgetItem *item = m_ui->tableWidget_message->item(row, column);
        item->setText(texts[static_cast<std::size_t>(column - 1)]);
        item->setTextAlignment(Qt::AlignCenter);
    }
}

void OrderQueryWin::fillPage()
{
    for (int row = 0; row < OrderPages::kRowsPerPage; ++row) {
        if (const OrderRecord *record = m_pages.recordAt(row)) {
            fillRow(row, *record, false);
            m_checkBoxes[row]->show();
        }
    }
}

void OrderQueryWin::writePageLabel()
{
    m_ui->pushButton_showpage->setText(m_pages.recordCount() == 0
            ? OrderQueryTexts::zeroPageLabel(m_language)
            : OrderQueryTexts::pageLabel(
                m_language, m_pages.recordCount(), m_pages.pageCount(), m_pages.currentPage()));
}

void OrderQueryWin::showOrders(std::vector<OrderRecord> records)
{
    clearRows();
    m_pages.setRecords(std::move(records));
    fillPage();
    writePageLabel();
}

void OrderQueryWin::layOutTable(int width)
{
    QTableWidget *table = m_ui->tableWidget_message;
    table->resize(width + 2 * table->frameWidth(), table->height());
    for (int column = 0; column < kColumns; ++column)
        table->setColumnWidth(column, kColumnWidths[column] * width / kDesignTableWidth);
}

void OrderQueryWin::on_stuTableWidget_customContextMenuRequested(QPoint pos)
{
    Q_UNUSED(pos)
    if (selectedIndex() < 0)
        return;
    m_menu->addAction(m_copyAction);
    m_menu->exec(QCursor::pos());
}

void OrderQueryWin::OnShowStartDateWidget()
{
    m_dates->toggleStart();
}

void OrderQueryWin::OnHideStartDateWidget()
{
    m_dates->takeStart();
}

void OrderQueryWin::OnShowEndDateWidget()
{
    m_dates->toggleEnd();
}

void OrderQueryWin::OnHideEndDateWidget()
{
    m_dates->takeEnd();
}

void OrderQueryWin::OnQuery()
{
    const QDate start = m_dates->start();
    const QDate end = m_dates->end();
    const QueryRequests::Request request = QueryRequests::orderList(
        DateText::compact(start.year(), start.month(), start.day()) + "000000",
        DateText::compact(end.year(), end.month(), end.day()) + "235959", Signing::nonce(),
        QueryRequests::currentSession());
    qDebug() << "ORDER QUERY  ====== " << QString::fromStdString(request.body);

    // The filter is the one in force when the query was asked for.
    const OrderFilter filter(m_ui->comboBox->currentIndex(), m_ui->comboBox_2->currentIndex());
    auto orders = std::make_shared<std::optional<std::vector<OrderRecord>>>();
    // Asked while another request runs, it is sent after it; asked again, the latest wins.
    m_request.ask(
        "orders", QueryRequests::gatewayPost(request.body),
        [orders, filter](const std::string &reply) {
            qDebug() << "PARAMER =================   " << logged(reply);
            if (reply.empty())
                return;
            std::optional<OrderListReply> list = OrderListReply::decode(reply);
            if (!list)
                return;
            filter.apply(list->records);
            *orders = std::move(list->records);
        },
        [this, orders] {
            // No answer, or one that cannot be read: the list stays as it was.
            if (*orders)
                showOrders(std::move(**orders));
        });
}

void OrderQueryWin::OnPreviousPage()
{
    if (!m_pages.previousPage())
        return;
    clearRows();
    fillPage();
    writePageLabel();
}

void OrderQueryWin::OnNextPage()
{
    if (!m_pages.nextPage())
        return;
    clearRows();
    fillPage();
    writePageLabel();
}

int OrderQueryWin::selectedIndex() const
{
    for (int row = 0; row < OrderPages::kRowsPerPage; ++row) {
        if (m_checkBoxes[row]->isChecked())
            return m_pages.recordIndex(row);
    }
    return -1;
}

void OrderQueryWin::OnRefund()
{
    const int index = selectedIndex();
    if (index < 0)
        return;
    const OrderRecord &record = m_pages.records()[static_cast<std::size_t>(index)];
    if (!record.refundable())
        return;
    if (busy()) {
        m_busyNotice.showOver(this, m_language);
        return;
    }
    const QString orderNumber = QString::fromStdString(record.orderNumber);
    const RefundLedger::Earlier earlier = m_refunds.checkFirst(
        m_request, record.orderNumber, [this, orderNumber](RefundLedger::Checked found) {
            showRefundNote(RefundTexts::checked(m_language, found.state, found.gatewayCannotTell),
                found.state == RefundLedger::State::Refunded, orderNumber);
        });
    if (earlier != RefundLedger::Earlier::None) {
        showRefundNote(earlier == RefundLedger::Earlier::Checking
                ? RefundTexts::checkingEarlier(m_language)
                : RefundTexts::inFlight(m_language),
            false, orderNumber);
        return;
    }
    const QueryRequests::Request request = QueryRequests::refund(record.orderNumber, std::nullopt,
        std::nullopt, Signing::nonce(), QueryRequests::currentSession());
    m_refunds.send(m_request, request, record.orderNumber, std::nullopt,
        "REFUND ++++++++++++++++++ ",
        [this, orderNumber](const std::optional<RefundReply> &answer) {
            if (!answer) {
                // It may have been paid out: the next press checks the order first.
                showRefundNote(RefundTexts::resultUnknown(m_language), false, orderNumber);
                return;
            }
            showRefundCard(QString::fromStdString(answer->refundedAmount()), answer->succeeded(),
                answer->payType, orderNumber);
        });
}

void OrderQueryWin::showRefundNote(const QString &message, bool success, const QString &orderNumber)
{
    m_card->setMethod(OrderQueryTexts::methodNone(m_language), collectionWin::NoIcon);
    showRefundCard(message, success, std::string(), orderNumber);
}

void OrderQueryWin::showRefundCard(
    const QString &message, bool success, const std::string &payType, const QString &orderNumber)
{
    const int l = m_language;
    const QString orderLine = OrderQueryTexts::cardOrderLine(l, orderNumber);
    const QString caption = OrderQueryTexts::cardMethodCaption(l);
    if (success)
        m_card->showSuccess(message, orderLine, caption, OrderQueryTexts::refundSucceeded(l));
    else
        m_card->showFailure(message, orderLine, caption, OrderQueryTexts::refundFailed(l));
    if (payType == "ali")
        m_card->setMethod(OrderQueryTexts::alipay(l), collectionWin::AlipayIcon);
    else if (payType == "wx")
        m_card->setMethod(OrderQueryTexts::wechat(l), collectionWin::WeChatIcon);
    presentCard();
}

void OrderQueryWin::presentCard()
{
    m_countdownTimer.start(1000);
    m_card->presentOver(this);
}

void OrderQueryWin::OnPrint()
{
    const int index = selectedIndex();
    if (index < 0)
        return;
    const OrderRecord &record = m_pages.records()[static_cast<std::size_t>(index)];
    if (record.refundable())
        emit SendPrintToParamSetting(record.receiptMessage());
}

void OrderQueryWin::OnCheckBox1(int state)
{
    onCheckBox(0, state);
}

void OrderQueryWin::OnCheckBox2(int state)
{
    onCheckBox(1, state);
}

void OrderQueryWin::OnCheckBox3(int state)
{
    onCheckBox(2, state);
}

void OrderQueryWin::OnCheckBox4(int state)
{
    onCheckBox(3, state);
}

void OrderQueryWin::OnCheckBox5(int state)
{
    onCheckBox(4, state);
}

void OrderQueryWin::OnCheckBox6(int state)
{
    onCheckBox(5, state);
}

void OrderQueryWin::OnCheckBox7(int state)
{
    onCheckBox(6, state);
}

void OrderQueryWin::OnCheckBox8(int state)
{
    onCheckBox(7, state);
}

void OrderQueryWin::OnCheckBox9(int state)
{
    onCheckBox(8, state);
}

void OrderQueryWin::OnCheckBox10(int state)
{
    onCheckBox(9, state);
}

void OrderQueryWin::onCheckBox(int row, int state)
{
    // The ten boxes are one radio group: checking one unchecks the others and marks its row.
    if (state == Qt::Checked) {
        for (int other = 0; other < OrderPages::kRowsPerPage; ++other) {
            if (other != row)
                m_checkBoxes[other]->setChecked(false);
        }
        for (int other = 0; other < OrderPages::kRowsPerPage; ++other)
            paintRow(other, false);
        paintRow(row, true);
    } else {
        paintRow(row, false);
    }
    update();
}

void OrderQueryWin::handleTimeout()
{
    if (!m_countdownTimer.isActive())
        return;
    if (m_card->countDown(m_countdown))
        m_countdownTimer.start(1000);
    else
        m_countdownTimer.stop();
}

void OrderQueryWin::receiveMsgFromCheckStand(std::wstring data)
{
    m_lastPayment.store(data, m_language);
}

void OrderQueryWin::receivePrintWidthFromParamSetting(int width)
{
    m_printWidth = width;
}

void OrderQueryWin::receivePrintCountChanged(int count)
{
    m_printCount = count;
}

void OrderQueryWin::QueryTimeout()
{
    if (!m_firstQueryTimer.isActive())
        return;
    OnQuery();
    m_firstQueryTimer.stop();
}

void OrderQueryWin::OnCheckWhichBox()
{
    if (m_pages.recordCount() == 0)
        return;
    for (QCheckBox *box : m_checkBoxes)
        box->setChecked(false);
    const int row = m_ui->tableWidget_message->currentRow();
    if (row >= 0 && row < OrderPages::kRowsPerPage && !m_checkBoxes[row]->isHidden())
        m_checkBoxes[row]->setChecked(true);
}

void OrderQueryWin::resizeWinodw()
{
    m_card->resizeWinodw();
    const ScreenScale scale = WindowScaling::current();
    if (!scale.active())
        return;
    // From the design each time, so a second call does not scale twice.
    m_design->applyScaled(scale);
    QTableWidget *table = m_ui->tableWidget_message;
    for (int column = 0; column < kColumns; ++column)
        table->setColumnWidth(column, scale.x(kColumnWidths[column]));
    table->horizontalHeader()->setFixedHeight(scale.y(kHeaderHeight));
    const int rowHeight = scale.y(1) + scale.y(kRowHeight);
    for (int row = 0; row < OrderPages::kRowsPerPage; ++row)
        table->setRowHeight(row, rowHeight);
    // Rows of that height need a few pixels more than the scaled table has.
    table->resize(table->width(),
        scale.y(kHeaderHeight) + OrderPages::kRowsPerPage * rowHeight + 2 * table->frameWidth());
}

void OrderQueryWin::OnFlush()
{
    const int index = selectedIndex();
    if (index < 0)
        return;
    const std::string orderNumber = m_pages.records()[static_cast<std::size_t>(index)].orderNumber;
    const QueryRequests::Session session = QueryRequests::currentSession();
    const PayTransaction::Request request
        = PayTransaction::statusRequest(orderNumber, Signing::nonce(), session.appid, session.key);
    qDebug() << "Send Paramers -------------- " << QString::fromStdString(request.body);
    auto answer = std::make_shared<std::string>();
    m_request.ask(
        "refresh " + orderNumber, QueryRequests::gatewayPost(request.body),
        [answer](const std::string &reply) {
            qDebug() << "Paramers -----------------    " << QString::fromStdString(reply);
            *answer = reply;
        },
        [this, answer, orderNumber] {
            // A query may have brought a new list meanwhile: the order is looked up again.
            if (answer->empty())
                return;
            const std::vector<OrderRecord> &records = m_pages.records();
            const auto found = std::find_if(
                records.begin(), records.end(), [&orderNumber](const OrderRecord &record) {
                    return record.orderNumber == orderNumber;
                });
            if (found == records.end())
                return;
            const int index = static_cast<int>(found - records.begin());
            OrderRecord *record = m_pages.record(index);
            if (!OrderRefreshReply::apply(*answer, *record))
                return;
            for (int row = 0; row < OrderPages::kRowsPerPage; ++row) {
                if (m_pages.recordIndex(row) == index)
                    fillRow(row, *record, true);
            }
        });
}

void OrderQueryWin::rightClickedOperation()
{
    const int index = selectedIndex();
    if (index < 0)
        return;
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(m_pages.records()[static_cast<std::size_t>(index)].orderNumber));
}

void OrderQueryWin::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dates->hideCalendars();
    QWidget::mousePressEvent(event);
}
