#include "WorkInFlight.h"

#include "Language.h"

namespace {

QString verb(WorkInFlight::Leave leave, int language)
{
    switch (leave) {
    case WorkInFlight::Leave::Logout:
        return Language::pick(language, "注销", "log out", "đăng xuất");
    case WorkInFlight::Leave::Restart:
        return Language::pick(language, "重启", "restart", "khởi động lại");
    case WorkInFlight::Leave::Exit:
        break;
    }
    return Language::pick(language, "退出", "exit", "thoát");
}

} // namespace

QString WorkInFlight::notice(Leave leave, int language) const
{
    QString what;
    if (checkoutPaying || checkoutPolling || singlePayment)
        what = Language::pick(language, "支付", "A payment", "Thanh toán");
    if (refund) {
        what += what.isEmpty()
            ? Language::pick(language, "退款", "A refund", "Hoàn tiền")
            : Language::pick(language, "和退款", " and a refund", " và hoàn tiền");
    }
    const QString action = verb(leave, language);
    return Language::pick(language, "%1正在进行,\n结束后自动%2。\n立即%2则结果未知。",
        "%1 is in progress;\nthe till will %2 once it ends.\nTo %2 now leaves its outcome unknown.",
        "%1 đang thực hiện,\nsẽ tự %2 khi xong.\n%2 ngay thì kết quả không rõ.")
        .arg(what, action);
}

QString WorkInFlight::leaveNowText(Leave leave, int language)
{
    return Language::pick(language, "立即%1", "%1 now", "%1 ngay").arg(verb(leave, language));
}

QStringList WorkInFlight::unknownOutcomeLines() const
{
    QStringList lines;
    if (checkoutPaying)
        lines.append(QStringLiteral("退出时收款请求仍在进行, 结果未知"));
    if (checkoutPolling) {
        lines.append(QStringLiteral("退出时订单仍在查询, 订单号: %1 结果未知")
                         .arg(checkoutOrder.isEmpty() ? QStringLiteral("-") : checkoutOrder));
    }
    if (singlePayment)
        lines.append(QStringLiteral("退出时单窗口支付请求仍在进行, 结果未知"));
    if (refund)
        lines.append(QStringLiteral("退出时退款请求仍在进行, 结果未知"));
    return lines;
}
