#pragma once

#include <QWidget>

#include "LedgerStore.h"

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class LedgerAttentionWin;
}

// A small window listing the payments of the logged-in store that need a look, from the payment
// ledger: those whose outcome is unknown, those an order of the store's list may be (with 是这笔
// and 不是 for the selected one), and those a follow-up found paid or closed today. Read again
// each time it is shown, on 刷新, after an answer, and when the ledger changes.
class LedgerAttentionWin final : public QWidget
{
    Q_OBJECT

public:
    explicit LedgerAttentionWin(LedgerStore &ledger, QWidget *parent = nullptr);
    ~LedgerAttentionWin() override;

    // The store whose rows it lists (the logged-in one).
    void setStore(const std::string &sid);

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
    // The selected row when it waits for the cashier's word; null otherwise.
    const LedgerRow *selectedCandidate() const;
    void updateAnswerButtons();

    std::unique_ptr<Ui::LedgerAttentionWin> m_ui;
    std::vector<LedgerRow> m_rows;
    LedgerStore &m_ledger;
    std::string m_sid;
    int m_language;
};
