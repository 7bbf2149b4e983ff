#pragma once

#include <QObject>

#include <memory>
#include <optional>
#include <string>

class NoteWin;
class QWidget;
struct LedgerRow;

// Before a payment of the same amount as a recent attempt whose outcome is not known (its
// answer was lost, or an order of the list may be it), asks the cashier whether to take it
// anyway: the customer may already have paid, and the new code would charge again. The
// checkout and the single-window form ask through one of these each.
class RetryQuestion final : public QObject
{
    Q_OBJECT

public:
    explicit RetryQuestion(int language, QObject *parent = nullptr);
    ~RetryQuestion() override;

    // True when a payment of `amountMinor` under store `sid` may go now: no such attempt, or the
    // cashier has just said 确定 for this amount. Otherwise shows the question over `owner` and
    // returns false; 确定 then emits confirmed(), 取消 only closes it (the fields stay).
    bool mayPay(long long amountMinor, const std::string &sid, const QWidget *owner);

    // "上一笔 12.5 元 (10:15:00) 结果未知，仍要收款？" and the attempt's masked code.
    static QString text(int language, const LedgerRow &attempt);

    // Made when first needed.
    NoteWin *prompt();

signals:
    // 确定: the window confirms the payment again, and it goes.
    void confirmed();

private:
    int m_language;
    NoteWin *m_prompt = nullptr;
    std::optional<long long> m_asked; // the amount the question shown is about
    std::optional<long long> m_allowed; // the amount the cashier said 确定 for
};
