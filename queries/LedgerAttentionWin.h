#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class LedgerAttentionWin;
}

class LedgerStore;

// A small window listing today's payments that need a look: those whose outcome is unknown
// and those a follow-up found paid or closed afterwards, from the payment ledger. Read again
// each time it is shown and on 刷新.
class LedgerAttentionWin final : public QWidget
{
    Q_OBJECT

public:
    explicit LedgerAttentionWin(LedgerStore &ledger, QWidget *parent = nullptr);
    ~LedgerAttentionWin() override;

public slots:
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::LedgerAttentionWin> m_ui;
    LedgerStore &m_ledger;
    int m_language;
};
