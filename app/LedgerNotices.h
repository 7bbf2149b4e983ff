#pragma once

#include "HandOff.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <string>

class LastingLine;
class LedgerAttentionWin;
class LedgerStore;
class LedgerWorker;
class QWidget;
class RecoveredNotice;

// The payment ledger's side of a session: the follow-up of unknown outcomes from login to
// logout, the notice of what it found, the window of payments to check, and the lasting line
// while the ledger does not record. The notices are read from the ledger, so what a follow-up
// found before a logout, an exit or a crash is shown at the next login; they are read again
// whenever the ledger changes (a live answer may take a candidate back).
class LedgerNotices final : public QObject
{
    Q_OBJECT

public:
    // `windowParent` owns the window of payments to check.
    LedgerNotices(LedgerStore &ledger, int language, QWidget *windowParent);
    ~LedgerNotices() override;

    // At login: the notices of store `sid` waiting show, and the follow-up starts.
    void start(const std::string &sid);
    // At logout or exit: the follow-up ends (its request is cut short).
    void stop();
    // A payment's outcome went into the ledger: an unresolved one is followed up at once.
    void onLedgerUpdated(bool unresolved);
    // The lasting line says whether the ledger records (shown from the start, before a login).
    void showRecording();
    // The tray's "待核实支付".
    void showAttention();

    // Made when first needed.
    RecoveredNotice *notice();
    LedgerWorker *worker() const { return m_worker.get(); }
    LastingLine *recordingLine();

signals:
    // The receipt of a payment found paid, as the checkout sends that of a payment.
    void printReceipt(std::wstring receipt);

private:
    void reload();

    LedgerStore &m_ledger;
    int m_language;
    QWidget *m_windowParent;
    std::string m_sid;
    std::unique_ptr<RecoveredNotice> m_notice;
    std::unique_ptr<LastingLine> m_recordingLine;
    HandOff m_handOff; // the ledger's news, from whichever thread, to this one
    std::atomic<bool> m_changePosted {false};
    LedgerAttentionWin *m_attention = nullptr;
    std::unique_ptr<LedgerWorker> m_worker;
};
