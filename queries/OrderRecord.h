#pragma once

#include <string>

// One order of the order list. Of the 43 text slots an order record has, the order window
// fills seven; only those are kept, as the UTF-8 bytes of the reply, and each is turned into
// a display text only when it is shown:
//   slot 0          orderNumber   out_trade_no
//   slots 2 and 3   amountText()  total_fee (refresh: total) as an exact amount
//   slot 14         service       service (refresh: payType), "wx" or "ali"
//   slots 15, 16    timeEnd       time_end
//   slot 17         status        status: "0" not paid, "1"/"2" paid, "3" failed, "4" awaiting
//   slot 18         orderStatus   pay_status (refresh: orderStatus): "1" normal,
//                                 "0" cancelled, "2" refunded
// Slots 9, 29 and 42 are never filled: they are empty wherever they are printed or shown.
struct OrderRecord
{
    std::string orderNumber;
    std::string totalFee; // minor units, as received
    std::string service;
    std::string timeEnd;
    std::string status;
    std::string orderStatus;

    // The amount in the currency's unit, exactly ("1" -> "0.01", "250000000" -> "2500000");
    // a total that is not a plain decimal number is shown as it came.
    std::string amountText() const;
    // Paid at the gateway (status "1" or "2"), whether refunded since or not.
    bool paid() const;
    // Refund and re-print need a paid order in normal state: status "1", order status "1".
    bool refundable() const;
    // The re-print request in the order-list layout: slot 9, slot 29, the service, the amount
    // twice, the trade time and the order number, joined by "#".
    std::wstring receiptMessage() const;
};
