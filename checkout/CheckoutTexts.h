#pragma once

#include <QString>

// The checkout's texts by language number (1 Chinese, 2 English, anything else Vietnamese).
namespace CheckoutTexts {

QString failureTitle(int language);
QString successTitle(int language);
QString payModeCaption(int language);
// Order line of a validation failure.
QString noOrderLine(int language);
// Order line of a failed request or a refused payment (the full-width colon in Chinese).
QString noOrderLineRequest(int language);
QString orderLine(int language, const QString &orderNumber);
QString payModeNone(int language);
QString alipay(int language);
QString wechat(int language);
QString requestFailed(int language);
// A confirm that arrives while an order is still followed.
QString paymentRunning(int language);
// The reason on the card of an order given up while still pending: it may yet be paid.
QString outcomeUnknown(int language);

QString amountEmpty(int language);
QString amountBelowMinimum(int language);
QString payCodeEmpty(int language);
QString payCodeTooShort(int language);

QString progressText(int language);
QString cardMethodValue(int language);
QString cardClosingWords(int language);
QString cardButton(int language);

} // namespace CheckoutTexts
