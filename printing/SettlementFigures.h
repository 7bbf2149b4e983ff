#pragma once

#include <QString>

#include <array>

// The twelve figures of the day totals, as the daily summary shows and prints them: amounts
// already in the currency's unit, counts as received. Empty until read.
struct SettlementFigures
{
    // In the order of the summary's grid: all payments, WeChat Pay, Alipay; each with the
    // total paid, the refunded sum, the paid-in sum (total less refunds) and the count.
    enum Figure {
        Total, // total
        Refunded, // re_total
        PaidIn, // suc_total
        Count, // count
        WeChatTotal,
        WeChatRefunded,
        WeChatPaidIn,
        WeChatCount,
        AlipayTotal,
        AlipayRefunded,
        AlipayPaidIn,
        AlipayCount,
        kFigureCount
    };

    std::array<QString, kFigureCount> values;

    const QString &operator[](Figure figure) const { return values[figure]; }
    QString &operator[](Figure figure) { return values[figure]; }
};
