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
// While the pay request is out: a confirm meanwhile is refused with it.
QString payRequestRunning(int language);
// The line on the card of a payment whose outcome is not known (its answer was lost, or the
// order was given up while still pending): the customer may have paid. `followedUp`: the
// payment ledger records it, so a follow-up will find out.
QString outcomeUnknown(int language, bool followedUp);
// The reason on the card of a pay request that got no usable answer, with that line below.
QString requestFailedOutcomeUnknown(int language, bool followedUp);

QString amountEmpty(int language);
QString amountBelowMinimum(int language);
QString payCodeEmpty(int language);
QString payCodeTooShort(int language);

QString progressText(int language);
QString cardMethodValue(int language);
QString cardClosingWords(int language);
QString cardButton(int language);

} // namespace CheckoutTexts
