#pragma once

#include "ReceiptFields.h"

#include <QString>

#include <vector>

// Where everything on a receipt goes, in device units: the title and seven lines, the bar
// code of the order number, and the customer-signature block, by paper width (PRINTWIDTH 1 =
// 80 mm, any other value 58 mm, as paperWidth() reads it) and language (1 Chinese, 2 English, any
// other value Vietnamese).
class ReceiptLayout final
{
public:
    enum class Kind {
        Receipt, // after a payment and from the order list
        Reprint, // the receipt hot key: every line is label and value on one row
    };

    struct Text
    {
        int x = 0;
        int y = 0;
        QString text;
    };

    struct Page
    {
        int fontHeight = 0;
        std::vector<Text> lines; // the title, then the lines above the bar code
        int barcodeX = 0;
        int barcodeTop = 0;
        int barcodeBottom = 0;
        QString barcodeText;
        std::vector<Text> signature; // below the bar code
    };

    static constexpr int kFontHeight58mm = 27;
    static constexpr int kFontHeight80mm = 35;

    static Page compose(Kind kind, int printWidth, int language, const ReceiptFields &fields);
};
