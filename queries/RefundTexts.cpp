#include "RefundTexts.h"

#include "Language.h"

namespace {

QString pick(int language, const char *chinese, const char *english, const char *vietnamese)
{
    return Language::pick(language, chinese, english, vietnamese);
}

} // namespace

namespace RefundTexts {

QString orderCaption(int language)
{
    return pick(language, "订单编号", "order number", "Mã đơn hàng");
}

QString orderPlaceholder(int language)
{
    return pick(language, " 请输入退款码", "", " Nhập mã hoàn tiền");
}

QString amountPlaceholder(int)
{
    return QStringLiteral(" 金额");
}

QString remarkPlaceholder(int)
{
    return QStringLiteral(" 备注");
}

QString amountCaption(int)
{
    return QStringLiteral("退款金额");
}

QString remarkCaption(int)
{
    return QStringLiteral("备注");
}

QString cancelButton(int language)
{
    return pick(language, "取消", "Cancel", "Xóa");
}

QString refundButton(int language)
{
    return pick(language, "退款", "Refund", "Hoàn\ntiền");
}

QString successTitle(int language)
{
    return pick(language, "退款成功", "Refund success", "Hoàn tiền thành công");
}

QString failureTitle(int language)
{
    return pick(language, "退款失败", "Refund failure", "Hoàn tiền thất bại");
}

QString orderLine(int language, const QString &orderNumber)
{
    return pick(language, "订单号:", "order no. :", "Số thứ tự:") + orderNumber;
}

QString noOrderLine(int language)
{
    return pick(language, "订单号:无", "Order no. : no", "Mã đơn hàng：Không có");
}

QString methodCaption(int language)
{
    return pick(language, "退款方式:", "Refund method:", "Phương thức hoàn tiền:");
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

QString noOrderNumber(int language)
{
    return pick(
        language, "未输入订单号！", "No order number was entered！", "Chưa nhập mã đơn hàng");
}

QString resultUnknown(int language)
{
    return pick(language, "退款结果未知，请勿重复退款",
        "Refund result unknown, do not refund again",
        "Chưa rõ kết quả hoàn tiền, đừng hoàn tiền lại");
}

QString amountInvalid(int language)
{
    return pick(
        language, "退款金额格式错误！", "Invalid refund amount!", "Số tiền hoàn không hợp lệ");
}

QString checkingEarlier(int language)
{
    return pick(language, "上一笔退款结果未知，正在核实",
        "The last refund's result is unknown, checking it",
        "Chưa rõ kết quả lần hoàn tiền trước, đang kiểm tra");
}

QString inFlight(int language)
{
    return pick(language, "该订单的退款正在进行，请等待结果，勿重复退款",
        "A refund of this order is on its way: wait for its result, do not refund again",
        "Đơn hàng này đang được hoàn tiền, vui lòng chờ kết quả, đừng hoàn tiền lại");
}

QString checked(int language, LedgerStore::RefundState found, bool gatewayCannotTell)
{
    if (gatewayCannotTell) {
        return pick(language,
            "网关无法确认上一笔部分退款是否成功，请先在商户后台核对退款记录，确认未退款后再退款",
            "The gateway cannot tell whether the last partial refund went through: check the"
            " merchant's refund records before refunding again",
            "Cổng thanh toán không xác nhận được lần hoàn tiền một phần trước, vui lòng kiểm tra"
            " hồ sơ hoàn tiền của cửa hàng trước khi hoàn tiền lại");
    }
    switch (found) {
    case LedgerStore::RefundState::Refunded:
        return pick(language, "核实结果：已退款，请勿重复退款",
            "Checked: refunded, do not refund again",
            "Đã kiểm tra: đã hoàn tiền, đừng hoàn tiền lại");
    case LedgerStore::RefundState::Refused:
        return pick(language, "核实结果：未退款，可重新退款",
            "Checked: not refunded, you may refund again",
            "Đã kiểm tra: chưa hoàn tiền, có thể hoàn tiền lại");
    case LedgerStore::RefundState::Sending:
    case LedgerStore::RefundState::Unresolved:
        break;
    }
    return pick(language, "仍无法确认上一笔退款，请稍后再试",
        "The last refund still cannot be confirmed, try again later",
        "Vẫn chưa xác nhận được lần hoàn tiền trước, vui lòng thử lại sau");
}

QString busyTitle(int language)
{
    return pick(language, "提示", "Notice", "Thông báo");
}

QString busyMessage(int language)
{
    return pick(language, "上一笔请求尚未完成，未发送退款，请稍后再试",
        "The previous request has not finished; no refund was sent. Please try again shortly.",
        "Yêu cầu trước chưa hoàn tất, chưa gửi hoàn tiền. Vui lòng thử lại sau.");
}

QString okButton(int language)
{
    return pick(language, "确定", "OK", "Đồng ý");
}

} // namespace RefundTexts
