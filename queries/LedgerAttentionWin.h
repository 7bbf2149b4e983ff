#pragma once

#include <QWidget>

#include "LedgerStore.h"

#include <memory>
#include <vector>

namespace Ui {
class LedgerAttentionWin;
}

// A small window listing the payments that need a look, from the payment ledger: those whose
// outcome is unknown, those an order of the store's list may be (with 是这笔 and 不是 for the
// selected one), and those a follow-up found paid or closed today. Read again each time it is
// shown, on 刷新, and after an answer.
class LedgerAttentionWin final : public QWidget
{
    Q_OBJECT

public:
    explicit LedgerAttentionWin(LedgerStore &ledger, QWidget *parent = nullptr);
    ~LedgerAttentionWin() override;

public slots:
    void refresh();
    void OnConfirm();
    void OnReject();

signals:
    // The cashier answered about a candidate: the notices read the ledger again.
    void answered();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The selected row when it waits for the cashier's word; 0 otherwise.
    long long selectedCandidate() const;
    void updateAnswerButtons();

    std::unique_ptr<Ui::LedgerAttentionWin> m_ui;
    std::vector<LedgerRow> m_rows;
    LedgerStore &m_ledger;
    int m_language;
};
