#pragma once

#include "BackgroundRequest.h"
#include "BusyNotice.h"
#include "CardCountdown.h"
#include "LastReceipt.h"
#include "MetaTypes.h"
#include "OrderPages.h"
#include "RefundLedger.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class OrderQueryWin;
}

class DateRangePicker;
class DesignGeometry;
class QAction;
class QCheckBox;
class QMenu;
class collectionWin;

// The order list page: the store's orders of a date range, fetched in one request, filtered by
// payment type and status, shown ten at a time; a selected order can be refunded, its receipt
// printed again (by the settings window), its status refreshed and its number copied. The
// requests run off the GUI thread, one at a time: the window stays responsive while a long
// list loads. A query or refresh asked for while another request runs is sent after it (a
// query asked again replaces the waiting one, and the list shows the latest one's orders); a
// refund asked for meanwhile is refused with a notice. Refunds go into the payment ledger: an
// order whose last refund has an unknown outcome is checked instead of refunded again.
class OrderQueryWin final : public QWidget
{
    Q_OBJECT

public:
    explicit OrderQueryWin(QWidget *parent = nullptr);
    ~OrderQueryWin() override;

    void setClerkTel(const std::string &tel);
    const std::string &clerkTel() const { return m_clerkTel; }

    // The main window's wide view: `width` pixels of table inside its frame, the columns in the
    // designed proportions (30, 137 and six times 100 of 768).
    void layOutTable(int width);

    // What a query does with the orders of its answer: a new list, shown from page 1.
    void showOrders(std::vector<OrderRecord> records);

    // A query, refund or refresh is under way or waits its turn.
    bool busy() const { return m_request.busy(); }
    // A refund from the list, or the look at its order before it, has not answered yet.
    bool refunding() const { return m_refunds.running(); }
    const OrderPages &pages() const { return m_pages; }
    collectionWin *resultCard() const { return m_card; }
    const QWidget *busyNotice() const { return m_busyNotice.window(); }
    int printWidth() const { return m_printWidth; }
    int printCount() const { return m_printCount; }
    // The checkout's latest receipt message, as received.
    const LastReceipt &lastPayment() const { return m_lastPayment; }

signals:
    void stateChanged(int state);
    void SendPrintToParamSetting(std::wstring receipt);

private slots:
    void on_stuTableWidget_customContextMenuRequested(QPoint pos);

public slots:
    void OnShowStartDateWidget();
    void OnHideStartDateWidget();
    void OnShowEndDateWidget();
    void OnHideEndDateWidget();
    void OnQuery();
    void OnPreviousPage();
    void OnNextPage();
    void OnRefund();
    void OnPrint();
    void OnCheckBox1(int state);
    void OnCheckBox2(int state);
    void OnCheckBox3(int state);
    void OnCheckBox4(int state);
    void OnCheckBox5(int state);
    void OnCheckBox6(int state);
    void OnCheckBox7(int state);
    void OnCheckBox8(int state);
    void OnCheckBox9(int state);
    void OnCheckBox10(int state);
    void handleTimeout();
    void receiveMsgFromCheckStand(std::wstring data);
    void receivePrintWidthFromParamSetting(int width);
    void receivePrintCountChanged(int count);
    void QueryTimeout();
    void OnCheckWhichBox();
    void resizeWinodw();
    void OnFlush();
    void rightClickedOperation();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void readSettings();
    void setUpTable();
    void applyTexts();
    void clearRows();
    void fillPage();
    void fillRow(int row, const OrderRecord &record, bool fullStatusTable);
    void writePageLabel();
    void paintRow(int row, bool selected);
    void onCheckBox(int row, int state);
    // The list index of the record in the checked row; -1 when none is checked or the row
    // holds no record.
    int selectedIndex() const;
    void showRefundCard(const QString &message, bool success, const std::string &payType,
        const QString &orderNumber);
    // A card without refund method: the outcome unknown, or what a check of the order found.
    void showRefundNote(const QString &message, bool success, const QString &orderNumber);
    void presentCard();

    std::unique_ptr<Ui::OrderQueryWin> m_ui;
    std::array<QCheckBox *, OrderPages::kRowsPerPage> m_checkBoxes {};
    std::array<QWidget *, OrderPages::kRowsPerPage> m_boxCells {};
    std::unique_ptr<DateRangePicker> m_dates;
    collectionWin *m_card = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_copyAction = nullptr;
    QTimer m_countdownTimer;
    CardCountdown m_countdown;
    QTimer m_firstQueryTimer;
    std::unique_ptr<DesignGeometry> m_design;
    BusyNotice m_busyNotice;
    RefundLedger m_refunds;

    int m_language;
    std::string m_clerkTel;
    int m_printWidth = 0;
    int m_printCount = 0;
    LastReceipt m_lastPayment;
    OrderPages m_pages;

    // Last: its worker ends before anything it might hand its answer to.
    BackgroundRequest m_request;
};
