#pragma once

#include "LedgerStore.h"

#include <QString>

// The refund window's texts by language number (1 Chinese, 2 English, anything else
// Vietnamese), and what both refund paths say about a refund of unknown outcome.
namespace RefundTexts {

QString orderCaption(int language);
QString orderPlaceholder(int language);
QString amountPlaceholder(int language);
QString remarkPlaceholder(int language);
QString amountCaption(int language);
QString remarkCaption(int language);
QString cancelButton(int language);
QString refundButton(int language);

// The result card.
QString successTitle(int language);
QString failureTitle(int language);
QString orderLine(int language, const QString &orderNumber);
QString noOrderLine(int language);
QString methodCaption(int language);
QString methodNone(int language);
QString alipay(int language);
QString wechat(int language);
QString noOrderNumber(int language);
// A refund whose answer was lost: it may have been paid out.
QString resultUnknown(int language);
// An amount that is not a plain decimal of at most two decimals.
QString amountInvalid(int language);

// A refund not sent because an earlier one of the order has an unknown outcome, which a
// status query of the order is now checking; and what that check found (Unresolved: nothing;
// `gatewayCannotTell`: a partial refund the order's status cannot settle).
QString checkingEarlier(int language);
QString checked(int language, LedgerStore::RefundState found, bool gatewayCannotTell = false);
// A refund not sent because another refund of the order is still on its way.
QString inFlight(int language);

// What the ledger's refund rows say, in Chinese as its payment rows.
constexpr const char *kLedgerNoAnswer = "未收到退款应答（超时、网络失败或应答无效），退款结果未知";
constexpr const char *kLedgerCheckedRefunded = "查询订单：订单已退款";
constexpr const char *kLedgerCheckedNotRefunded = "查询订单：订单未退款，退款未成功";
constexpr const char *kLedgerCheckedPartialUnknown
    = "查询订单：部分退款无法由订单状态确认，请核对商户后台的退款记录";

// The notice of a refund asked for while a request of its window still runs.
QString busyTitle(int language);
QString busyMessage(int language);
QString okButton(int language);

} // namespace RefundTexts
