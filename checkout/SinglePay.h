#pragma once

#include <QString>

#include <optional>
#include <string>

// The single-window payment: a form-encoded request to the trade host and the notice its
// answer gives. Tested without widgets; the form only shows the notice.
namespace SinglePay {

constexpr const char *kPath = "/papi/api/createApp.html";

// The notice of the single-window form: title, message and how long it stays (0: until the
// cashier closes it).
struct Notice
{
    QString title;
    QString message;
    int seconds = 1;
};

// A confirm refused before anything is sent; the payment-code field is cleared.
// nullopt: the request may go. An amount that is not a plain decimal with at most two
// decimals counts as no amount.
std::optional<Notice> check(const std::string &amount, const std::string &payCode);

// "loginName=…&orderMoney=…&authCode=…&payType=0", orderMoney with exactly two decimals,
// every value percent-encoded. nullopt when the amount is not a plain decimal.
std::optional<std::string> body(
    const std::string &loginName, const std::string &amount, const std::string &payCode);

// The fields of an answer, as text in the local code page.
struct Answer
{
    std::string success;
    std::string message;
    std::string orderNo;
    std::string payTimeString;
    std::string payStatus;
    std::string orderStatus;
    std::string errMsg;
    std::string clerkname;
    std::string orderMoney;
    std::string payMoney;
    std::string payType;
    std::string merName;
};

enum class Outcome {
    RequestFailed, // no answer, not JSON, no pay status at all, or one of the wrong shape
    Paid, // pay status "支付成功"
    Refused, // pay status "支付失败"
    Pending, // any other pay status: the customer may still pay, the outcome is not known yet
};

struct Decision
{
    Outcome outcome = Outcome::RequestFailed;
    Answer answer;
    Notice notice;
};

// Decides on the body the trade host answered (UTF-8; empty when the request failed). Only
// the pay status decides; each field is read on its own, so a field missing or of another
// shape leaves only that field empty. `followedUp`: the payment ledger holds the attempt, so a
// failed request's notice can say that the outcome will be checked.
Decision decide(const std::string &reply, bool followedUp);

// "支付宝" for "1", "智能扫码" for "0", "微信" for "2", nothing otherwise.
QString payTypeName(const std::string &payType);

} // namespace SinglePay
