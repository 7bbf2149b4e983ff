#include "OrderRecord.h"

#include "Amount.h"
#include "Text.h"

std::string OrderRecord::amountText() const
{
    return Amount::fromMinorUnits(totalFee).value_or(totalFee);
}

bool OrderRecord::paid() const
{
    return status == "1" || status == "2";
}

bool OrderRecord::refundable() const
{
    return status == "1" && orderStatus == "1";
}

std::wstring OrderRecord::receiptMessage() const
{
    const std::string amount = amountText();
    return Text::utf8ToWide(
        "##" + service + '#' + amount + '#' + amount + '#' + timeEnd + '#' + orderNumber);
}
