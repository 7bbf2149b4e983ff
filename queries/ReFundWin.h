#pragma once

#include "BackgroundRequest.h"
#include "BusyNotice.h"
#include "CardCountdown.h"
#include "MetaTypes.h"
#include "RefundLedger.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <string>

namespace Ui {
class ReFundWin;
}

class DesignGeometry;
class QLineEdit;
class collectionWin;

// The refund page: refunds an order by its number, typed or scanned, with an optional amount
// and remark; the outcome is shown on a result card for three seconds. The refund is posted
// off the GUI thread; a refund asked for while one runs is refused with a notice, and what
// was typed or scanned meanwhile stays in the fields when the answer comes. Refunds go into
// the payment ledger: an order whose last refund has an unknown outcome is checked instead of
// refunded again.
class ReFundWin final : public QWidget
{
    Q_OBJECT

public:
    explicit ReFundWin(QWidget *parent = nullptr);
    ~ReFundWin() override;

    // The cashier's phone number, copied in at login.
    void setClerkTel(const std::string &tel);
    const std::string &clerkTel() const { return m_clerkTel; }

    bool busy() const { return m_request.busy(); }
    collectionWin *resultCard() const { return m_card; }
    const QWidget *busyNotice() const { return m_busyNotice.window(); }

signals:
    void sendData();
    void SendShowRefund();

public slots:
    void OnInput1();
    void OnInput2();
    void OnInput3();
    void OnInput4();
    void OnInput5();
    void OnInput6();
    void OnInput7();
    void OnInput8();
    void OnInput9();
    void OnInput0();
    void OnInput00();
    void OnInputDot();
    void OnInputDelete();
    void OnInputEsc();
    void OnInputYes();
    void handleTimeout();
    void resizeWinodw();
    void receiveRefundOrder(std::string orderNo);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyLook();
    void applyTexts();
    void appendKey(const QString &text);
    void setCardMethod(const std::string &payType);
    void showCard(bool success, const QString &message, const QString &orderLine);
    // Empties the order number, amount and remark fields that still hold what was sent.
    void clearSent(const std::array<QString, 3> &sent);

    std::unique_ptr<Ui::ReFundWin> m_ui;
    collectionWin *m_card = nullptr;
    QTimer m_countdownTimer;
    CardCountdown m_countdown;
    std::unique_ptr<DesignGeometry> m_design;
    BusyNotice m_busyNotice;
    RefundLedger m_refunds;

    int m_language;
    bool m_autoConfirm = false;
    std::string m_clerkTel;

    // Last: its worker ends before anything it might hand its answer to.
    BackgroundRequest m_request;
};
