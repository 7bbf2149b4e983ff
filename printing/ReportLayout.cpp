#include "ReportLayout.h"

#include "Settings.h"

namespace {

using Figure = SettlementFigures::Figure;

// The figures' lines top to bottom, with their labels.
struct FigureLine
{
    Figure figure;
    const char *label;
};

const FigureLine kFigureLines[] = {
    {SettlementFigures::Total, "收款总额："},
    {SettlementFigures::Refunded, "退款总额："},
    {SettlementFigures::PaidIn, "实收总额："},
    {SettlementFigures::Count, "交易笔数："},
    {SettlementFigures::WeChatTotal, "微信总额："},
    {SettlementFigures::WeChatRefunded, "微信退款："},
    {SettlementFigures::WeChatPaidIn, "微信实收："},
    {SettlementFigures::WeChatCount, "交易笔数："},
    {SettlementFigures::AlipayTotal, "支付宝总额："},
    {SettlementFigures::AlipayRefunded, "支付宝退款："},
    {SettlementFigures::AlipayPaidIn, "支付宝实收："},
    {SettlementFigures::AlipayCount, "交易笔数："},
};

struct Positions
{
    int titleX;
    int x;
    int start;
    int end;
    int queried; // between the end date and the cashier, clear of both
    int cashier;
    int figures[12];
};

constexpr Positions k58mm {
    80, 1, 80, 120, 150, 180, {240, 280, 320, 360, 420, 460, 500, 540, 600, 640, 680, 720}};
constexpr Positions k80mm {
    110, 100, 100, 170, 220, 270, {370, 440, 510, 580, 680, 750, 820, 890, 990, 1060, 1130, 1200}};

QString dateLine(const char *label, const QDate &date)
{
    return QString::fromUtf8(label)
        + QStringLiteral("%1-%2-%3").arg(date.year()).arg(date.month()).arg(date.day());
}

} // namespace

ReportLayout::Page ReportLayout::compose(int printWidth, const Content &content)
{
    Page page;
    const bool wide = paperWidth(printWidth) == kPaperWidth80mm;
    const Positions &at = wide ? k80mm : k58mm;
    page.fontHeight = wide ? kFontHeight80mm : kFontHeight58mm;
    page.lines = {
        {at.titleX, 1, QStringLiteral("当班结算")},
        {at.x, at.start, dateLine("开始时间：", content.start)},
        {at.x, at.end, dateLine("结束时间：", content.end)},
        {at.x, at.queried,
            QStringLiteral("查询时间：")
                + content.queried.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {at.x, at.cashier, QStringLiteral("收银员：") + content.storeName},
    };
    for (int i = 0; i < 12; ++i) {
        const FigureLine &line = kFigureLines[i];
        page.lines.push_back(
            {at.x, at.figures[i], QString::fromUtf8(line.label) + content.figures[line.figure]});
    }
    return page;
}
