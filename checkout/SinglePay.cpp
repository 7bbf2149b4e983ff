#include "SinglePay.h"

#include "Amount.h"
#include "Envelope.h"
#include "Reply.h"
#include "Text.h"

namespace SinglePay {

namespace {

const QString kFailedTitle = QStringLiteral("支付失败");
const std::string kFailedStatus = "支付失败";

Notice failedRequest()
{
    return {kFailedTitle, QStringLiteral("请求失败！请检查网络"), 1};
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

Decision decide(const std::string &reply)
{
    Decision decision;
    decision.notice = failedRequest();
    const std::optional<Reply> parsed = Reply::parse(reply);
    if (!parsed)
        return decision;

    Answer &a = decision.answer;
    ReplyReader reader = parsed->reader();
    std::string utf8;
    const auto next = [&reader, &utf8](const char *path, std::string &local) {
        if (!reader.read(path, utf8))
            return false;
        local = Text::utf8ToLocal(utf8);
        return true;
    };
    next("success", a.success) && next("message", a.message) && next("data.orderNo", a.orderNo)
        && next("data.payTimeString", a.payTimeString) && next("data.payStatus", a.payStatus)
        && next("data.orderStatus", a.orderStatus) && next("data.errMsg", a.errMsg)
        && next("data.clerkname", a.clerkname) && next("data.orderMoney", a.orderMoney)
        && next("data.payMoney", a.payMoney) && next("data.payType", a.payType)
        && next("data.merName", a.merName);

    // An answer of the wrong shape, or one that says nothing about the payment, is no answer:
    // it must never read as paid.
    ReplyReader status = parsed->reader();
    std::string payStatus;
    if (reader.malformed() || !status.read("data.payStatus", payStatus) || status.malformed())
        return decision;
    a.payStatus = Text::utf8ToLocal(payStatus);

    if (a.payStatus == kFailedStatus) {
        decision.outcome = Outcome::Refused;
        decision.notice = {QStringLiteral("提示"), Text::fromLocal(a.payStatus), 1};
        return decision;
    }
    decision.outcome = Outcome::Paid;
    decision.notice = {QStringLiteral("支付成功！"),
        QStringLiteral("支付方式：") + payTypeName(a.payType) + QStringLiteral("   支付金额：")
            + Text::fromLocal(a.payMoney),
        3};
    return decision;
}

} // namespace SinglePay
