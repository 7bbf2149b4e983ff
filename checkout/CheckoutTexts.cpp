#include "CheckoutTexts.h"
#include "Language.h"

namespace CheckoutTexts {

QString failureTitle(int language)
{
    return Language::pick(language, "收款失败", "Payment failure", "Nhận tiền thất bại");
}

QString successTitle(int language)
{
    return Language::pick(language, "收款成功", "Payment success", "Nhận được thành công");
}

QString payModeCaption(int language)
{
    return Language::pick(language, "支付方式:", "Mode of payment:", "Phương thức thanh toán:");
}

QString noOrderLine(int language)
{
    return Language::pick(language, "订单号:无", "Order Number:Nothing", "Mã đơn hàng：Không có");
}

QString noOrderLineRequest(int language)
{
    return Language::pick(language, "订单号：无", "Order Number:Nothing", "Mã đơn hàng：Không có");
}

QString orderLine(int language, const QString &orderNumber)
{
    return Language::pick(language, "订单号：", "", "Mã đơn hàng：") + orderNumber;
}

QString payModeNone(int language)
{
    return Language::pick(language, "无", "None", "Không có");
}

QString alipay(int language)
{
    return Language::pick(language, "支付宝", "alipay", "alipay");
}

QString wechat(int language)
{
    return Language::pick(language, "微信", "WeChat", "WeChat");
}

QString requestFailed(int language)
{
    return Language::pick(language, "请求失败,请检查网络！",
        "The request failed, please check the network!",
        "Yêu cầu thất bại, xin vui lòng kiểm tra mạng");
}

QString amountEmpty(int language)
{
    return Language::pick(language, "未输入金额！", "Uninput amount！", "Chưa nhập số tiền");
}

QString amountBelowMinimum(int language)
{
    return Language::pick(language, "最低输入金额为:1000", "The minimum input amount is :1000",
        "Số tiền tối thiểu là 1000");
}

QString payCodeEmpty(int language)
{
    return Language::pick(
        language, "未输入付款码！", "No payment code entered!", "Chưa nhập mã thanh toán");
}

QString payCodeTooShort(int language)
{
    return Language::pick(language, "支付码不少于16位", "Payment code no less than 16 bits",
        "Mã thanh toán không được ít hơn 16 chữ số");
}

QString progressText(int language)
{
    return Language::pick(language, "正在付款中…", "Payment in progress…", "Đang thanh toán…");
}

QString cardMethodValue(int language)
{
    return Language::pick(language, "微信", "WeChat", "WeChat");
}

QString cardClosingWords(int language)
{
    return Language::pick(language, "后自动关闭", "automatic shutdown", "sau tự động đóng");
}

QString cardButton(int language)
{
    return Language::pick(language, "知道啦 ", "I see", "Xác nhận ");
}

QString paymentRunning(int language)
{
    return Language::pick(language, "上一笔收款尚未完成，请稍候再确认",
        "The previous payment is still running; confirm again shortly",
        "Giao dịch trước chưa xong, vui lòng xác nhận lại sau");
}

QString payRequestRunning(int language)
{
    return Language::pick(language, "正在收款，请稍候…", "Taking the payment, please wait…",
        "Đang thu tiền, vui lòng đợi…");
}

QString outcomeUnknown(int language, bool followedUp)
{
    if (followedUp) {
        return Language::pick(language, "支付结果未知，系统将自动核实",
            "Payment result unknown; it will be checked automatically",
            "Kết quả thanh toán chưa rõ, hệ thống sẽ tự động kiểm tra");
    }
    return Language::pick(language, "支付结果未知，请在订单查询中核对",
        "Payment result unknown; check the order list",
        "Kết quả thanh toán chưa rõ, hãy kiểm tra danh sách đơn hàng");
}

QString requestFailedOutcomeUnknown(int language, bool followedUp)
{
    return requestFailed(language) + QLatin1Char('\n') + outcomeUnknown(language, followedUp);
}

} // namespace CheckoutTexts
