#pragma once

#include "BackgroundRequest.h"

#include <QWidget>

#include <memory>
#include <string>

namespace Ui {
class SingleWin;
}

class MessageBoxWin;
class RetryQuestion;

// The compact single-window pay form, opened from the floating icon: an amount, the customer's
// payment code and a keypad; it pays through the trade host and flashes the outcome in a
// notice that closes by itself (one that is not known yet stays until it is closed). The
// request runs beside the window, which keeps painting; a second confirm while one runs is
// ignored. What is typed or sent to the form while a request runs stays: the answer clears
// only fields that still hold what the request sent. A payment of the amount of a recent
// attempt whose outcome is not known is asked about before it goes.
class SingleWin final : public QWidget
{
    Q_OBJECT

public:
    explicit SingleWin(QWidget *parent = nullptr);
    ~SingleWin() override;

    void setClerkTel(const std::string &tel);
    const std::string &clerkTel() const { return m_clerkTel; }

    // The payment-code field takes the focus (the floating icon opens the form this way).
    void focusPayCode();
    // From a confirm that sends a payment until its answer arrives.
    bool paying() const { return m_request.busy(); }
    MessageBoxWin *notice() const { return m_messageBox; }
    RetryQuestion *retryQuestion() const { return m_retryQuestion; }

signals:
    // The form went out of sight (Esc, the checkout hot key, the main window's pages).
    void hidden();
    // The payment ledger took a payment's outcome; `unresolved`: the outcome is not known and
    // the ledger holds it for a follow-up.
    void ledgerUpdated(bool unresolved);

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
    void receiveDataFromShowWin(QString data);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // The field texts a confirm sent.
    struct Sent
    {
        QString amount;
        QString note;
        QString payCode;
    };

    void applyLook();
    void appendKey(const QString &text);
    void showNotice(const QString &title, const QString &message, int seconds);
    // On this window's thread, with the body the trade host answered.
    void onReply(const std::string &reply);

    std::unique_ptr<Ui::SingleWin> m_ui;
    MessageBoxWin *m_messageBox;
    RetryQuestion *m_retryQuestion;
    std::string m_clerkTel;
    Sent m_sent;
    // The payment ledger's row of the payment under way (0: not recorded).
    long long m_ledgerId = 0;
    // Last, so that a request under way is cut short before anything else goes.
    BackgroundRequest m_request {this};
};
