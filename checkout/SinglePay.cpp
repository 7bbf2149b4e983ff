#include "SinglePay.h"

#include "Amount.h"
#include "CheckoutTexts.h"
#include "Envelope.h"
#include "Reply.h"
#include "Settings.h"
#include "Text.h"

namespace SinglePay {

namespace {

const QString kFailedTitle = QStringLiteral("支付失败");
const std::string kFailedStatus = "支付失败";
const std::string kPaidStatus = "支付成功";

// The request may have been taken all the same: the notice says that the outcome is not known,
// in the words of the checkout's card, and stays until the cashier has read it.
Notice failedRequest(bool followedUp)
{
    return {kFailedTitle,
        QStringLiteral("请求失败！请检查网络\n")
            + CheckoutTexts::outcomeUnknown(kLanguageChinese, followedUp),
        0};
}

// The text at `path` in the local code page; empty when it is missing or not a text. Each
// field is read on its own, so one of another shape spoils no other.
std::string textAt(const Reply &reply, const char *path)
{
    std::string utf8;
    if (!reply.reader().read(path, utf8))
        return std::string();
    return Text::utf8ToLocal(utf8);
}

// Both captions stay when the answer leaves a value out, so the line reads the same every time.
Notice paidNotice(const Answer &a)
{
    return {QStringLiteral("支付成功！"),
        QStringLiteral("支付方式：") + payTypeName(a.payType) + QStringLiteral("   支付金额：")
            + Text::fromLocal(a.payMoney),
        3};
}

// The pay status says it; the gateway's reason goes to the ledger.
Notice refusedNotice(const Answer &a)
{
    return {QStringLiteral("提示"), Text::fromLocal(a.payStatus), 1};
}

// The customer may still pay on the phone: the notice stays until the cashier has read it and
// names the order to look up, since this form follows no order.
Notice pendingNotice(const Answer &a)
{
    QString message = QStringLiteral("顾客可能仍在支付，支付结果尚未确定，请在订单查询中核实");
    if (!a.orderNo.empty())
        message += QStringLiteral("\n订单号：") + Text::fromLocal(a.orderNo);
    return {QStringLiteral("支付结果未知"), message, 0};
}

} // namespace

std::optional<Notice> check(const std::string &amount, const std::string &payCode)
{
    if (amount.empty() || !Amount::toTwoDecimals(amount))
        return Notice {kFailedTitle, QStringLiteral("请输入金额!"), 1};
    if (payCode.empty())
        return Notice {kFailedTitle, QStringLiteral("请输入付款码!"), 1};
    return std::nullopt;
}

std::optional<std::string> body(
    const std::string &loginName, const std::string &amount, const std::string &payCode)
{
    const std::optional<std::string> money = Amount::toTwoDecimals(amount);
    if (!money)
        return std::nullopt;
    return Envelope::formEncode({{"loginName", loginName}, {"orderMoney", *money},
        {"authCode", payCode}, {"payType", "0"}});
}

QString payTypeName(const std::string &payType)
{
    if (payType == "1")
        return QStringLiteral("支付宝");
    if (payType == "0")
        return QStringLiteral("智能扫码");
    if (payType == "2")
        return QStringLiteral("微信");
    return QString();
}

Decision decide(const std::string &reply, bool followedUp)
{
    Decision decision;
    decision.notice = failedRequest(followedUp);
    const std::optional<Reply> parsed = Reply::parse(reply);
    if (!parsed)
        return decision;

    // An answer that says nothing about the payment, or says it in another shape, is no
    // answer: it must never read as paid.
    std::string payStatus;
    if (!parsed->reader().read("data.payStatus", payStatus))
        return decision;

    Answer &a = decision.answer;
    a.payStatus = Text::utf8ToLocal(payStatus);
    a.success = textAt(*parsed, "success");
    a.message = textAt(*parsed, "message");
    a.orderNo = textAt(*parsed, "data.orderNo");
    a.payTimeString = textAt(*parsed, "data.payTimeString");
    a.orderStatus = textAt(*parsed, "data.orderStatus");
    a.errMsg = textAt(*parsed, "data.errMsg");
    a.clerkname = textAt(*parsed, "data.clerkname");
    a.orderMoney = textAt(*parsed, "data.orderMoney");
    a.payMoney = textAt(*parsed, "data.payMoney");
    a.payType = textAt(*parsed, "data.payType");
    a.merName = textAt(*parsed, "data.merName");

    if (a.payStatus == kPaidStatus) {
        decision.outcome = Outcome::Paid;
        decision.notice = paidNotice(a);
    } else if (a.payStatus == kFailedStatus) {
        decision.outcome = Outcome::Refused;
        decision.notice = refusedNotice(a);
    } else {
        decision.outcome = Outcome::Pending;
        decision.notice = pendingNotice(a);
    }
    return decision;
}

} // namespace SinglePay
