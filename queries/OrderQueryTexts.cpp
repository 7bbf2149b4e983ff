#include "OrderQueryTexts.h"

#include "Language.h"

namespace {

const char kRed[] = "<font style='color:rgba(193,39,45,1);'>";
// The page count and page number of the Chinese label carry this colour as it has always been
// written; Qt does not read a five-value rgba, so they show in the label's own colour.
const char kRedChinesePages[] = "<font style='color:rgba(193,39,45,1,1);'>";
const char kEnd[] = "</font>";

QString pick(int language, const char *chinese, const char *english, const char *vietnamese)
{
    return Language::pick(language, chinese, english, vietnamese);
}

QString coloured(const char *font, const QString &value)
{
    return QLatin1String(font) + value + QLatin1String(kEnd);
}

} // namespace

namespace OrderQueryTexts {

QStringList headers(int language)
{
    return {QString(), pick(language, "订单号", "Order number", "Mã đơn hàng"),
        pick(language, "支付金额", "Payment\namount", "Số tiền\nthanh toán"),
        pick(language, "支付类型", "Payment\ntype", "Loại hình\nthanh toán"),
        pick(language, "支付时间", "Payment\ntime", "Thời gian\nthanh toán"),
        pick(language, "付款状态", "Payment\nstatus", "Trạng thái\nthanh toán"),
        pick(language, "订单状态", "Order\nstatus", "Trạng thái\nđơn hàng"),
        pick(language, "备注", "Note", "Ghi chú")};
}

QStringList typeFilters(int language)
{
    return {pick(language, "  所有类型", "  all types", " Tất cả các loại"),
        pick(language, "  微信", "  WeChat", " WeChat"),
        pick(language, "  支付宝", "  Alipay", " Alipay")};
}

QStringList statusFilters(int language)
{
    if (language == 1)
        return {QStringLiteral("  所有状态"), QStringLiteral("  支付成功"),
            QStringLiteral("  支付失败")};
    return {pick(language, "", "  all state", " Tất cả các trạng thái"),
        pick(language, "", "  payment success", " Thanh toán thành công"),
        pick(language, "", "  non-payment", " Chưa thanh toán"),
        pick(language, "", "  unpaid", " Chờ thanh toán"),
        pick(language, "", "  failure", " Thanh toán thất bại")};
}

QString serviceText(int language, const std::string &service)
{
    if (service == "ali")
        return pick(language, "支付宝", "alipay", "alipay");
    if (service == "wx")
        return pick(language, "微信", "WeChat", "WeChat");
    return QString();
}

QString statusText(int language, const std::string &status, bool refreshed)
{
    if (status == "0")
        return pick(language, "未支付", "non-payment", "Chưa thanh toán");
    if (status == "1" || (status == "2" && !refreshed))
        return pick(language, "支付成功", "payment success", "Thanh toán thành công");
    // The status query's "3" is pending, as the polling after a payment reads it.
    if (refreshed && (status == "3" || status == "4"))
        return pick(language, "待支付", "unpaid", "Thanh toán");
    return QString();
}

QString orderStatusText(int language, const std::string &orderStatus)
{
    if (orderStatus == "1")
        return pick(language, "正常", "Normal", "Bình thường");
    if (orderStatus == "0")
        return pick(language, "撤销", "Undo", "Thanh toán");
    if (orderStatus == "2")
        return pick(language, "已退款", "Refunded", "Đã hoàn tiền");
    return QString();
}

std::array<QString, 7> rowTexts(int language, const OrderRecord &record, bool refreshed)
{
    return {QString::fromStdString(record.orderNumber), QString::fromStdString(record.amountText()),
        serviceText(language, record.service), QString::fromStdString(record.timeEnd),
        statusText(language, record.status, refreshed),
        orderStatusText(language, record.orderStatus), QString()};
}

QString pageLabel(int language, int records, int pages, int page)
{
    const QString n = coloured(kRed, QString::number(records));
    switch (language) {
    case 1:
        return QStringLiteral("共 ") + n + QStringLiteral(" 条记录") + QStringLiteral("     共 ")
            + coloured(kRedChinesePages, QString::number(pages)) + QStringLiteral(" 页")
            + QStringLiteral("     第 ") + coloured(kRedChinesePages, QString::number(page))
            + QStringLiteral(" 页");
    case 2:
        return QStringLiteral("total ") + n + QStringLiteral(" records")
            + QStringLiteral("     total ") + coloured(kRed, QString::number(pages))
            + QStringLiteral(" page") + QStringLiteral("     page ")
            + coloured(kRed, QString::number(page));
    default:
        return QStringLiteral("Tổng ") + n + QStringLiteral(" mục") + QStringLiteral("   tổng ")
            + coloured(kRed, QString::number(pages)) + QStringLiteral(" trang")
            + QStringLiteral("   Trang ") + coloured(kRed, QString::number(page));
    }
}

QString zeroPageLabel(int language)
{
    const QString zero = coloured(kRed, QStringLiteral("0"));
    switch (language) {
    case 1:
        return QStringLiteral("共 ") + zero + QStringLiteral(" 条记录   共 ") + zero
            + QStringLiteral(" 页   第 ") + zero + QStringLiteral(" 页");
    case 2:
        return QStringLiteral("total ") + zero + QStringLiteral(" records   total ") + zero
            + QStringLiteral(" page   page ") + zero;
    default:
        return QStringLiteral("Tổng ") + zero + QStringLiteral(" mục   tổng ") + zero
            + QStringLiteral(" trang   Trang ") + zero;
    }
}

QString datePlaceholder(int language)
{
    return pick(language, " 请选择时间", " Please select time", " Chọn thời gian");
}

QString queryButton(int language)
{
    return pick(language, " 查询", "Query", "Tìm");
}

QString refundButton(int language)
{
    return pick(language, "退款", "Refund", "Hoàn tiền");
}

QString printButton(int language)
{
    return pick(language, "打印小票", "Print receipts", "In hóa đơn");
}

QString previousPageButton(int language)
{
    return pick(language, "上一页", "Previous page", "Trang trước");
}

QString nextPageButton(int language)
{
    return pick(language, "下一页", "Next page", "Trang sau");
}

QString refreshButton(int language)
{
    return pick(language, "刷新", "Refresh", "Tải lại trang");
}

QString startCaption(int language)
{
    return pick(language, "开始时间", "start time", "Thời gian\nbắt đầu");
}

QString endCaption(int language)
{
    return pick(language, "结束时间", "End time", "Thời gian\nkết thúc");
}

QString typeCaption(int language)
{
    return pick(language, "支付类型", "Payment type", "Loại hình\nthanh toán");
}

QString statusCaption(int language)
{
    return pick(language, "付款状态", "Payment status", "Trạng thái\nthanh toán");
}

QString copyOrderNumber(int)
{
    return QStringLiteral("复制订单号");
}

QString cardOrderLine(int language, const QString &orderNumber)
{
    return pick(language, "订单号：", "订单号:", "Mã đơn hàng：") + orderNumber;
}

QString cardMethodCaption(int language)
{
    return pick(language, "退款方式:", "退款方式:", "Phương thức hoàn tiền:");
}

QString refundSucceeded(int language)
{
    return pick(language, "退款成功", "退款成功", "Hoàn tiền thành công");
}

QString refundFailed(int language)
{
    return pick(language, "退款失败", "退款失败", "Hoàn lại thất bại");
}

QString checkNetwork(int language)
{
    return pick(language, "请检查网络", "请检查网络", "Xin vui lòng kiểm tra mạng");
}

QString methodNone(int language)
{
    return pick(language, "无", "None", "Không");
}

QString alipay(int language)
{
    return pick(language, "支付宝", "alipay", "alipay");
}

QString wechat(int language)
{
    return pick(language, "微信", "WeChat", "WeChat");
}

} // namespace OrderQueryTexts
