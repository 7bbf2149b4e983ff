#pragma once

#include "BackgroundRequest.h"
#include "DailyQueryTexts.h"
#include "LedgerStore.h"
#include "SettlementFigures.h"

#include <QDate>
#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class DailyQueryWin;
}

class DateRangePicker;
class DesignGeometry;
class QStandardItemModel;

// The daily summary page: the settlement figures of a date range (today at first) in a grid,
// printed as a shift-settlement report on the default printer. The figures are asked for off
// the GUI thread, at login, each time the page is opened and when the cashier presses 查询; a
// query asked for while one runs is sent after it, the latest one wins. The report prints the
// dates its figures were queried for, whatever the date fields show, and when they were asked.
// Under the grid, this till's own figures of the same dates from the payment ledger: its paid
// attempts, beside the gateway's paid count and sum. When the two differ and the cashier
// pressed 查询, the gateway's order list of those dates is asked for after the figures, to name
// the paid attempts it does not hold.
class DailyQueryWin final : public QWidget
{
    Q_OBJECT

public:
    explicit DailyQueryWin(QWidget *parent = nullptr);
    ~DailyQueryWin() override;

    void setClerkTel(const std::string &tel);
    // The store's name, printed on the report's cashier line.
    void setStoreName(const std::wstring &storeName);
    const std::wstring &storeName() const { return m_storeName; }
    const QString &printerName() const { return m_printerName; }
    int printWidth() const { return m_printWidth; }

    bool busy() const { return m_request.busy(); }
    const SettlementFigures &figures() const { return m_figures; }
    // When the figures on show were asked for; invalid before the first answer.
    const QDateTime &figuresQueried() const { return m_figuresQueried; }

signals:
    void SendToPayWinHidePayWin();

public slots:
    void OnShowStartDateWidget();
    void OnHideStartDateWidget();
    void OnShowEndDateWidget();
    void OnHideEndDateWidget();
    void OnQuery();
    void OnPrint();
    void OnClose();
    void receivePrintChanged(QString data);
    void receivePrintWidthChanged(int Width);
    void QueryTimeout();
    void resizeWinodw();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Asks for the figures of the dates on screen; `byCashier`: the cashier pressed 查询.
    void queryFigures(bool byCashier);
    void readSettings();
    void setUpGrid();
    void applyTexts();
    void showFigures();
    // Compares the ledger's paid rows of the figures' dates with the gateway's order list.
    void askListedOrders();
    void showTillFigures();
    void showFiguresNote();

    std::unique_ptr<Ui::DailyQueryWin> m_ui;
    QStandardItemModel *m_model = nullptr;
    std::unique_ptr<DateRangePicker> m_dates;
    std::unique_ptr<DesignGeometry> m_design;
    QTimer m_firstQueryTimer;

    int m_language;
    std::wstring m_storeName;
    std::string m_clerkTel;
    SettlementFigures m_figures;
    // The dates the figures were queried for (empty figures: the first dates shown).
    bool m_totalsRunning = false; // a day-totals question is asked and not yet answered
    QDate m_figuresStart;
    QDate m_figuresEnd;
    QDateTime m_figuresQueried;
    // This till's own figures of those dates; the rows the gateway does not list.
    DailyQueryTexts::TillFigures m_till;
    std::vector<LedgerRow> m_unlisted;
    std::vector<OrderRecord> m_unheld;
    std::string m_code;
    std::string m_message;
    QString m_printerName;
    int m_printWidth = 0;
    int m_printCount = 0;
    int m_print = 1; // PRINT: 1 = do not print

    // Last: its worker ends before anything it might hand its answer to.
    BackgroundRequest m_request;
};
