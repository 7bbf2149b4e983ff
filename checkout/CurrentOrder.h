#pragma once

#include <string>

// The order being paid, filled from the pay answer and again from every status answer.
struct CurrentOrder
{
    std::wstring orderNumber;
    std::wstring payTime;
    std::wstring status;
    std::wstring marker;
    std::wstring amountA;
    std::wstring amountB;
    std::wstring payType;
    std::wstring trailer = L"11";
    std::wstring message;

    // The request to print a receipt: marker#payType#amountB#payTime#orderNumber#amountA#trailer.
    std::wstring receiptMessage() const;
};
