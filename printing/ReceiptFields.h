#pragma once

#include <QString>

// The values of the seven lines of a receipt, as they are printed after their labels.
struct ReceiptFields
{
    QString merchantName;
    QString cashier;
    QString payType;
    QString orderAmount;
    QString paidAmount;
    QString tradeTime;
    QString orderNumber;
};
