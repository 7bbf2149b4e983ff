#pragma once

#include "OrderRecord.h"

#include <QString>
#include <QStringList>

#include <array>

// The order window's texts by language number (1 Chinese, 2 English, anything else
// Vietnamese).
namespace OrderQueryTexts {

// Headers of columns 0-7; column 0 is empty.
QStringList headers(int language);
// The payment type and payment status combos, index 0 first. The Chinese status combo has
// three entries, the others five.
QStringList typeFilters(int language);
QStringList statusFilters(int language);

// Column texts of a row. Status: the list shows "0" not paid and "1" or "2" paid. A refreshed
// row shows the status of "auto_orderQuery", read as the checkout's polling reads it: "0" not
// paid, "1" paid, "3" and "4" still awaiting payment ("2" blank): an order the customer may
// still pay is never shown as failed, or the cashier would charge again.
// Unknown codes give an empty text.
QString serviceText(int language, const std::string &service);
QString statusText(int language, const std::string &status, bool refreshed);
QString orderStatusText(int language, const std::string &orderStatus);
// Columns 1-7 of a record's row: order number, amount, type, time, payment status, order
// status, note (always empty).
std::array<QString, 7> rowTexts(int language, const OrderRecord &record, bool refreshed);

// The rich-text record and page counts below the table; the zero label when the list is empty.
QString pageLabel(int language, int records, int pages, int page);
QString zeroPageLabel(int language);

QString datePlaceholder(int language);
QString queryButton(int language);
QString refundButton(int language);
QString printButton(int language);
QString previousPageButton(int language);
QString nextPageButton(int language);
QString refreshButton(int language);
QString startCaption(int language);
QString endCaption(int language);
QString typeCaption(int language);
QString statusCaption(int language);
QString copyOrderNumber(int language);

// The refund card.
QString cardOrderLine(int language, const QString &orderNumber);
QString cardMethodCaption(int language);
QString refundSucceeded(int language);
QString refundFailed(int language);
QString checkNetwork(int language);
QString methodNone(int language);
QString alipay(int language);
QString wechat(int language);

} // namespace OrderQueryTexts
