#pragma once

#include <QString>

// The refund window's texts by language number (1 Chinese, 2 English, anything else
// Vietnamese).
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
QString checkNetwork(int language);
// An amount that is not a plain decimal of at most two decimals.
QString amountInvalid(int language);

// The notice of a refund asked for while a request of its window still runs.
QString busyTitle(int language);
QString busyMessage(int language);
QString okButton(int language);

} // namespace RefundTexts
