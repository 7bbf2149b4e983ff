#include "PayTransaction.h"

#include "Amount.h"
#include "Envelope.h"
#include "Reply.h"
#include "Signing.h"
#include "Text.h"

#include "CheckoutTexts.h"

namespace PayTransaction {

std::optional<ValidationFailure> validate(
    const std::string &amount, const std::string &payCode, int language)
{
    if (amount.empty())
        return ValidationFailure {
            CheckoutTexts::amountEmpty(language), "OnInputYes ui.lineEdit_paycode->hasFocus()"};
    if (!Amount::toMinorUnits(amount))
        return ValidationFailure {
            CheckoutTexts::amountBelowMinimum(language), "OnInputYes money.toFloat()<0"};
    if (payCode.empty())
        return ValidationFailure {
            CheckoutTexts::payCodeEmpty(language), "OnInputYes m_noteDlg->show();"};
    // Characters, not bytes: a code typed with full-width digits is still too short.
    if (Text::fromLocal(payCode).size() <= 15)
        return ValidationFailure {
            CheckoutTexts::payCodeTooShort(language), "OnInputYes m_noteDlg->show()2;"};
    return std::nullopt;
}

std::optional<Request> payRequest(const std::string &amount, const std::string &payCode,
    const std::string &appid, const std::string &sid, const std::string &key)
{
    const std::optional<std::string> total = Amount::toMinorUnits(amount);
    if (!total)
        return std::nullopt;
    Request request;
    request.total = *total;
    const Fields data {
        {"store_id", sid}, {"total", *total}, {"nonce_str", kPayNonce}, {"authCode", payCode}};
    request.signString = Text::localToUtf8(Signing::signString(data, key));
    request.sign = Signing::signOf(request.signString);
    request.body = Envelope::build(appid, "auto_pay", request.sign, data);
    return request;
}

Request statusRequest(const std::string &orderNumber, const std::string &nonce,
    const std::string &appid, const std::string &key)
{
    Request request;
    const Fields data {{"out_trade_no", orderNumber}, {"nonce_str", nonce}};
    request.signString = Signing::signString(data, key);
    request.sign = Signing::signOf(request.signString);
    request.body = Envelope::build(appid, "auto_orderQuery", request.sign, data);
    return request;
}

std::wstring amountFromGateway(const std::wstring &minorUnits)
{
    const std::optional<std::string> amount = Amount::fromMinorUnits(Text::wideToUtf8(minorUnits));
    return amount ? Text::utf8ToWide(*amount) : minorUnits;
}

PayDecision decidePayReply(const std::string &reply, CurrentOrder &order)
{
    PayDecision decision;
    const std::optional<Reply> decoded = Reply::parse(reply);
    if (!decoded)
        return decision;

    // Read into a copy: an answer of the wrong shape leaves the order as it was.
    CurrentOrder read = order;
    ReplyReader reader = decoded->reader();
    std::wstring status;
    std::wstring total;
    if (reader.read("code", decision.code)) {
        if (decision.code != L"100" && reader.read("msg", decision.message))
            read.message = decision.message;
        if (reader.read("data.status", status) && reader.read("data.out_trade_no", read.orderNumber)
            && status == L"1") {
            std::wstring transactionId;
            if (reader.read("data.transaction_id", transactionId)
                && reader.read("data.payType", read.payType)
                && reader.read("data.payTime", read.payTime) && reader.read("data.total", total)) {
                read.amountA = amountFromGateway(total);
                read.amountB = read.amountA;
                read.marker = L"11";
                read.trailer = L"11";
            }
        }
    }
    if (reader.malformed())
        return PayDecision();
    read.status = status;
    order = read;

    if (decision.code != L"100")
        decision.outcome = PayOutcome::Refused;
    else if (status == L"0" || status == L"支付失败")
        decision.outcome = PayOutcome::Failed;
    else if (status == L"4")
        decision.outcome = PayOutcome::FailedKeepFields;
    else if (order.orderNumber.empty())
        decision.outcome = PayOutcome::Unknown;
    else if (status == L"3")
        decision.outcome = PayOutcome::Pending;
    else
        decision.outcome = PayOutcome::Paid;
    return decision;
}

StatusOutcome decideStatusReply(const std::string &reply, CurrentOrder &order)
{
    const std::optional<Reply> decoded = Reply::parse(reply);
    if (!decoded)
        return StatusOutcome::Continue;

    // Read into a copy: an answer of the wrong shape leaves the order as it was.
    CurrentOrder read = order;
    ReplyReader reader = decoded->reader();
    std::wstring code;
    std::wstring message;
    std::wstring total;
    if (reader.read("code", code) && reader.read("msg", message)) {
        if (code != L"100" && reader.read("msg", message))
            read.message = message;
        read.trailer = L"11";
        if (reader.read("data.payType", read.payType)) {
            read.marker = L"1";
            if (reader.read("data.total", total)) {
                read.amountA = amountFromGateway(total);
                read.amountB = read.amountA;
                if (reader.read("data.status", read.status) && read.status == L"1")
                    reader.read("data.time_end", read.payTime);
            }
        }
    }
    if (reader.malformed())
        return StatusOutcome::Continue;
    order = read;

    if (order.status == L"1")
        return StatusOutcome::Paid;
    if (order.status == L"0")
        return StatusOutcome::Failed;
    return StatusOutcome::Continue;
}

} // namespace PayTransaction
