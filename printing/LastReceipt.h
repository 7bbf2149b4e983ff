#pragma once

#include "ReceiptFields.h"
#include "ReceiptMessage.h"

#include <QString>

#include <string>

// The latest pay-success receipt, kept for the receipt hot key: its seven fields with the pay
// type already turned into its display text. Empty before the first payment.
class LastReceipt final
{
public:
    LastReceipt() = default;

    // Keeps a pay-success message ("null" fields empty, the pay type by
    // PayTypeText::forLastReceipt in `language`).
    void store(const std::wstring &message, int language);

    // The stored field at `index` (0-6); empty outside.
    QString field(int index) const;
    // The values of the lines a re-print shows; merchant name and cashier empty.
    ReceiptFields fields() const;

private:
    ReceiptMessage m_message {std::wstring()};
    QString m_payType;
};
