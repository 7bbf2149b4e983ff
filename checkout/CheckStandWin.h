#pragma once

#include "BackgroundRequest.h"
#include "CardCountdown.h"
#include "CurrentOrder.h"
#include "MetaTypes.h"
#include "OrderPoller.h"
#include "Settings.h"

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace Ui {
class CheckStandWin;
}

struct HostSettings;
class PayCodeSources;
class PayingWin;
class RetryQuestion;
class collectionWin;

// The checkout page: the amount, the customer's payment code, a keypad and the confirm key.
// Confirming validates, sends the payment, follows a pending order on a polling thread and
// shows the outcome on a result card with a three-second countdown.
class CheckStandWin final : public QWidget
{
    Q_OBJECT

public:
    explicit CheckStandWin(QWidget *parent = nullptr);
    ~CheckStandWin() override;

    // The one checkout window of the process, registered at its construction.
    static CheckStandWin *instance();
    // The amount text as last mirrored or paid, read by the floating icon.
    static QString lastAmount();

    void setClerkTel(const std::string &tel);
    const std::string &clerkTel() const { return m_clerkTel; }

    // Puts the focus in the amount field when it is blank, otherwise in the payment code.
    void SetEntryFocus();

    // Tests follow a pending order faster than a cashier would.
    void setPollCadence(const OrderPoller::Cadence &cadence);
    const OrderPoller::Cadence &pollCadence() const { return m_cadence; }
    // True from a confirm that sends a payment until its answer is in.
    bool paying() const { return m_payRequest.busy(); }
    // True while a pending order is followed.
    bool polling() const { return m_stopPay.load() != 0; }
    const std::wstring &pendingOrderNumber() const { return m_order.orderNumber; }
    // Stops following the pending order without waiting for its outcome and logs the order
    // as of unknown outcome (the customer may still pay it). For leaving the till while a
    // payment is pending; nothing when no order is followed.
    void abandonPayment();
    collectionWin *resultCard() const { return m_noteDlg; }
    PayingWin *progressWindow() const { return m_payingWin; }
    RetryQuestion *retryQuestion() const { return m_retry; }

    // Acts on a scanned text: a payment code goes into its field (and is paid at once with
    // the auto-pay switch on and an amount present), an order number goes to the refund window.
    void ProcessInputCode(const std::string &s);

signals:
    void sendData();
    void sendPayWinShow();
    void sendShowReceipt();
    void SendReceiveRefundCode(std::string code);
    void sendMsgToPrinter(std::wstring receipt);
    void sendMoneyToShowWin(float amount);
    void sendDeleteBarCode();
    void sendSuccess();
    void sendFail();
    void sendContinueQuery(int attempt);
    // A followed order has ended: its card is shown, or it was abandoned.
    void paymentEnded();
    // The payment ledger took a payment's outcome; `unresolved`: the outcome is not known (the
    // answer was lost, or polling gave up) and the ledger holds it for a follow-up.
    void ledgerUpdated(bool unresolved);
    // Hand-over from the reader threads of the payment-code sources.
    void SendRecvBarCode();
    void SendRecvQR();
    void sendFacePayCode(QString code);

public slots:
    void OnInput0();
    void OnInput1();
    void OnInput2();
    void OnInput3();
    void OnInput4();
    void OnInput5();
    void OnInput6();
    void OnInput7();
    void OnInput8();
    void OnInput9();
    void OnInput00();
    void OnInputDot();
    void OnInputDelete();
    void OnInputEsc();
    void OnInputYes();
    void ctrlTimeout();
    void receiveDataFromShowWin(QString data);
    void SuccessNote();
    void FailNote();
    void ContinueQuery(int cFlag);
    void handleTimeout();
    void onRecvBarCode();
    void OnRecvQR();
    void OnFacePayCode(QString sCode);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void readSettings();
    void applyLook();
    void applyTexts();
    void appendKey(const QString &text);
    void clearFields();
    void showCard(
        bool success, const QString &message, const QString &orderLine, const QString &title);
    void setCardMethod(const std::wstring &payType);
    void setCardMethodNone();
    void directSuccess(const QString &money);
    void startPolling(const HostSettings &hosts);
    void QueryOrderThread(std::shared_ptr<OrderPoller> poller, OrderPoller::Target target,
        CurrentOrder order, OrderPoller::Cadence cadence, std::string caBundle, long long ledgerId);
    void playVoice() const;
    // The polling thread hands the order it followed over through these.
    void setPolledOrder(const CurrentOrder &order);
    CurrentOrder polledOrder();
    bool polledOrderDecided();
    // The end of a poll: the progress window goes and a refused confirm's notice with it.
    void endOfPoll();
    // On this window's thread, with the pay answer (empty when the request failed).
    void onPayReply(const std::string &reply, const QString &money, const HostSettings &hosts);
    void showPayMessage(const QString &text);
    // Empties the fields that still hold what the last payment sent.
    void clearSent();

    std::unique_ptr<Ui::CheckStandWin> m_ui;
    collectionWin *m_noteDlg;
    PayingWin *m_payingWin;
    QTimer m_countdownTimer;
    CardCountdown m_countdown;
    int m_countdownMode = 3;
    bool m_hideAfterCard = false;
    QTimer m_mirrorTimer; // ticks while the checkout is shown

    CheckoutSettings m_settings;
    int m_language;
    std::string m_clerkTel;
    RetryQuestion *m_retry = nullptr;

    CurrentOrder m_order;
    // The payment ledger's row of the last payment sent (0: not recorded).
    long long m_ledgerId = 0;
    std::mutex m_polledMutex;
    CurrentOrder m_polledOrder;
    bool m_polledDecided = false; // paid or failed was handed over
    std::atomic<int> m_stopPay {0};
    OrderPoller::Cadence m_cadence;
    std::shared_ptr<OrderPoller> m_poller;
    std::thread m_pollThread;

    // The field texts the last payment sent.
    struct Sent
    {
        QString amount;
        QString note;
        QString payCode;
    };
    Sent m_sent;
    // The order of the last payment sent was paid: its code is spent.
    bool m_sentCodePaid = false;

    std::unique_ptr<PayCodeSources> m_codeSources;
    // Last, so that a pay request under way is cut short before anything else goes.
    BackgroundRequest m_payRequest {this};
};
