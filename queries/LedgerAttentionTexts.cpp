#include "LedgerAttentionTexts.h"

#include "Amount.h"
#include "Language.h"

namespace {

QString pick(int language, const char *chinese, const char *english, const char *vietnamese)
{
    return Language::pick(language, chinese, english, vietnamese);
}

// "10:15:00" of "2026-12-07 10:15:00"; the whole text when it is not of that shape.
QString timeOfDay(const std::string &createdAt)
{
    const QString text = QString::fromStdString(createdAt);
    return text.size() == 19 ? text.mid(11) : text;
}

// "12.50" of 1250.
std::string twoDecimals(long long minor)
{
    const std::string plain = Amount::formatMinorUnits(minor);
    return Amount::toTwoDecimals(plain).value_or(plain);
}

} // namespace

namespace LedgerAttentionTexts {

QStringList headers(int language)
{
    return {pick(language, "收款时间", "Time", "Thời gian"),
        pick(language, "金额", "Amount", "Số tiền"),
        pick(language, "付款码", "Payment code", "Mã thanh toán"),
        pick(language, "订单号", "Order number", "Mã đơn hàng"),
        pick(language, "状态", "State", "Trạng thái"), pick(language, "说明", "Message", "Ghi chú"),
        pick(language, "核实次数", "Checks", "Số lần kiểm tra")};
}

QStringList cells(int language, const LedgerRow &row)
{
    return {timeOfDay(row.createdAt), QString::fromStdString(twoDecimals(row.amountMinor)),
        QString::fromStdString(row.codeMasked),
        row.outTradeNo.empty() ? QStringLiteral("—") : QString::fromStdString(row.outTradeNo),
        state(language, row), QString::fromStdString(row.message), QString::number(row.checks)};
}

QString state(int language, const LedgerRow &row)
{
    if (row.state == "paid")
        return pick(language, "已找回·支付成功", "Recovered: paid", "Đã tìm lại: đã thanh toán");
    if (row.state == "closed")
        return pick(language, "已关闭", "Closed", "Đã đóng");
    if (row.state == "matched")
        return candidateLine(language, row.outTradeNo);
    if (row.state == "unresolved")
        return pick(language, "结果未知", "Outcome unknown", "Chưa rõ kết quả");
    return QString::fromStdString(row.state);
}

QString candidateLine(int language, const std::string &orderNumber)
{
    return pick(language, "可能已支付：订单 %1，请核对", "May be paid: order %1, please check",
        "Có thể đã thanh toán: đơn %1, vui lòng kiểm tra")
        .arg(QString::fromStdString(orderNumber));
}

QString noticeTitle(int language, const LedgerRow &row)
{
    if (row.state == "matched")
        return pick(language, "请核对这笔收款", "Please check this payment",
            "Vui lòng kiểm tra giao dịch này");
    if (row.state == "closed")
        return pick(language, "收款未成功", "Payment not made", "Chưa nhận được tiền");
    return pick(language, "收款已核实到账", "Payment found paid", "Đã xác nhận nhận tiền");
}

QString noticeReason(int language, const LedgerRow &row)
{
    if (row.state == "matched")
        return candidateLine(language, row.outTradeNo)
            + pick(language, "（同店同金额同时段的订单，可能是其他收银台的）",
                " (an order of the store of this amount at that time; it may be another till's)",
                " (đơn cùng cửa hàng, cùng số tiền, cùng thời gian; có thể của quầy khác)");
    if (row.state == "closed")
        return pick(language, "这笔收款当时结果未知，现已查明订单已关闭，顾客未付款",
            "Its outcome was unknown; the order is now closed and the customer did not pay",
            "Kết quả trước đó chưa rõ; đơn đã đóng, khách chưa thanh toán");
    return pick(language, "这笔收款当时未显示成功，现已查明顾客已付款，请勿重复收款",
        "It was not shown as paid; the customer has paid, do not charge again",
        "Giao dịch chưa hiển thị thành công; khách đã thanh toán, đừng thu lại");
}

QString confirmButton(int language)
{
    return pick(language, "是这笔", "It is this one", "Đúng giao dịch này");
}

QString rejectButton(int language)
{
    return pick(language, "不是", "It is not", "Không phải");
}

QString summary(int language, int rows)
{
    if (rows == 0)
        return pick(language, "没有需要核实的支付", "No payment needs a look",
            "Không có giao dịch cần kiểm tra");
    return pick(language,
        "共 %1 笔；24小时内结果未知的支付由系统自动核实，更早的请在订单查询中核对",
        "%1 in all; payments of unknown outcome are checked automatically for 24 hours, older ones "
        "need a look in the order list",
        "Tổng %1; giao dịch chưa rõ kết quả được tự động kiểm tra trong 24 giờ, giao dịch cũ hơn "
        "cần kiểm tra trong danh sách đơn")
        .arg(rows);
}

QString title(int language)
{
    return pick(language, "待核实与今日已找回的支付", "Payments to check, and today's recovered",
        "Giao dịch cần kiểm tra và đã tìm lại hôm nay");
}

QString refreshButton(int language)
{
    return pick(language, "刷新", "Refresh", "Làm mới");
}

QString closeButton(int language)
{
    return pick(language, "关闭", "Close", "Đóng");
}

} // namespace LedgerAttentionTexts
