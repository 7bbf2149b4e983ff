#pragma once

#include "ReceiptFields.h"

#include <QString>

#include <array>
#include <string>

// A request to print a receipt: seven fields separated by "#". The checkout sends it in the
// pay-success layout, the order list in the order-list layout:
//
//   field  pay success         order list
//   0      (marker)            -
//   1      pay type code       -
//   2      paid amount         pay type code
//   3      trade time          order amount
//   4      order number        paid amount
//   5      order amount        trade time
//   6      (trailer)           order number
//
// The merchant and cashier lines are never taken from the message: the caller knows who is
// logged in.
class ReceiptMessage final
{
public:
    enum class Layout { PaySuccess, OrderList };

    static constexpr int kFieldCount = 7;

    // Field 0 is the text before the first "#", each following field the text up to the next
    // "#", the last field everything after the sixth "#". Fields that a message with fewer
    // "#" lacks are empty, and so is every field that reads "null".
    explicit ReceiptMessage(const std::wstring &message);

    // The field at `index`; empty outside 0-6.
    QString field(int index) const;
    // The values of the lines this layout prints, the pay type as its code; merchant name and
    // cashier empty.
    ReceiptFields fields(Layout layout) const;

private:
    std::array<QString, kFieldCount> m_fields;
};
