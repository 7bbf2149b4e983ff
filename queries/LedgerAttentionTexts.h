#pragma once

#include "LedgerStore.h"

#include <QString>
#include <QStringList>

// The texts of the window that lists the day's payments needing a look (unresolved ones and
// those a follow-up recovered), by language number (1 Chinese, 2 English, anything else
// Vietnamese).
namespace LedgerAttentionTexts {

// The column captions: time attempted, amount, masked code, order number, state, message,
// follow-up queries.
QStringList headers(int language);
// A row's cells in the columns' order: the time of day it was attempted, the amount in the
// currency's unit, the masked code, the order number or "—" while unknown, its state in words,
// the gateway's message or why the outcome is unknown, the follow-up queries made.
QStringList cells(int language, const LedgerRow &row);
// "结果未知" while unresolved; "可能已支付：订单 …，请核对" while an order of the list may be
// it; "已找回·支付成功" or "已关闭" once a follow-up decided it.
QString state(int language, const LedgerRow &row);
// "可能已支付：订单 N，请核对": an order of the list may be the payment of the row.
QString candidateLine(int language, const std::string &orderNumber);
// The notice of a row the cashier has still to read: its title and the line under it.
QString noticeTitle(int language, const LedgerRow &row);
QString noticeReason(int language, const LedgerRow &row);
// The cashier's two answers about a candidate: it is the payment, it is not.
QString confirmButton(int language);
QString rejectButton(int language);
// Under the list: how many rows it holds, or that there are none.
QString summary(int language, int rows);
QString title(int language);
QString refreshButton(int language);
QString closeButton(int language);

} // namespace LedgerAttentionTexts
