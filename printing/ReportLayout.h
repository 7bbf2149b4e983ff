#pragma once

#include "SettlementFigures.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <vector>

// The shift-settlement report of the daily summary, always in Chinese: a title, the date
// range and the local time its figures were asked for, the store, then the figures of all
// payments, WeChat Pay and Alipay, by paper width (PRINTWIDTH 1 = 80 mm, any other value
// 58 mm, as paperWidth() reads it). Each figure is printed under the name the summary's grid
// gives it: the total paid as 收款总额, the paid-in sum (total less refunds) as 实收总额.
class ReportLayout final
{
public:
    struct Text
    {
        int x = 0;
        int y = 0;
        QString text;
    };

    struct Page
    {
        int fontHeight = 0;
        std::vector<Text> lines;
    };

    struct Content
    {
        QDate start;
        QDate end;
        // When the figures were asked for: every payment made before it is counted. Invalid
        // before the first answer (the line's value is then empty, as the figures are).
        QDateTime queried;
        QString storeName; // on the cashier line
        SettlementFigures figures;
    };

    static constexpr int kFontHeight58mm = 27;
    static constexpr int kFontHeight80mm = 35;

    static Page compose(int printWidth, const Content &content);
};
