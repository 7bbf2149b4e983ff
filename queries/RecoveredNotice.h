#pragma once

#include "LedgerWorker.h"

#include <QWidget>

#include <deque>
#include <memory>
#include <string>
#include <vector>

class DesignGeometry;

namespace Ui {
class RecoveredNotice;
}

// Tells the cashier that a payment the till had shown as failed or never finished was found
// paid by a follow-up: its order number, amount and when it was attempted, with 打印小票 and
// 知道了. It shows over whatever is on screen without taking the keys from the checkout's
// fields. Payments found while one is shown wait their turn; 知道了 shows the next.
class RecoveredNotice final : public QWidget
{
    Q_OBJECT

public:
    explicit RecoveredNotice(QWidget *parent = nullptr);
    ~RecoveredNotice() override;

    // Queues the payments and shows the first one waiting, at once.
    void add(const std::vector<LedgerWorker::Recovered> &payments);
    // The payments not yet dismissed, the one shown first.
    const std::deque<LedgerWorker::Recovered> &waiting() const { return m_waiting; }

signals:
    // The receipt of the payment shown, as the checkout sends that of a payment.
    void printReceipt(std::wstring receipt);

public slots:
    void OnPrint();
    void OnDismiss();

private:
    void showFirst();

    std::unique_ptr<Ui::RecoveredNotice> m_ui;
    std::unique_ptr<DesignGeometry> m_design;
    std::deque<LedgerWorker::Recovered> m_waiting;
};
