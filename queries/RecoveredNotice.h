#pragma once

#include "LedgerStore.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class DesignGeometry;

namespace Ui {
class RecoveredNotice;
}

// Tells the cashier what a follow-up found about a payment the till had shown as failed or
// never finished: paid (with 打印小票 and 知道了), closed (知道了), or an order of the store's
// list that may be it (是这笔 and 不是: a guess is never booked without the cashier's word). It
// shows over whatever is on screen without taking the keys from the checkout's fields. What it
// shows is read from the ledger, so nothing unread is lost at a logout or a restart: a row
// stays until it is answered, and the next one waiting shows after it.
class RecoveredNotice final : public QWidget
{
    Q_OBJECT

public:
    explicit RecoveredNotice(LedgerStore &ledger, QWidget *parent = nullptr);
    ~RecoveredNotice() override;

    // Reads the rows of store `sid` the cashier has still to read and shows the first one
    // (hides when there is none).
    void reload(const std::string &sid);
    // The rows waiting, the one shown first.
    const std::vector<LedgerRow> &waiting() const { return m_waiting; }

signals:
    // The receipt of the payment shown, as the checkout sends that of a payment.
    void printReceipt(std::wstring receipt);
    // The cashier answered a row: what lists the ledger's rows reads them again.
    void answered();

public slots:
    void OnPrint();
    void OnDismiss();
    void OnConfirm();
    void OnReject();

private:
    void showFirst();

    std::unique_ptr<Ui::RecoveredNotice> m_ui;
    std::unique_ptr<DesignGeometry> m_design;
    LedgerStore &m_ledger;
    std::string m_sid;
    std::vector<LedgerRow> m_waiting;
    int m_language;
};
