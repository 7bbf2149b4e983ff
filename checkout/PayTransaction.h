#pragma once

#include "CurrentOrder.h"

#include <QString>

#include <optional>
#include <string>

// The rules of a payment at the checkout: validating what the cashier confirmed, building the
// signed "auto_pay" and "auto_orderQuery" requests, and deciding on their answers.
namespace PayTransaction {

// The pay request signs and sends this fixed nonce.
constexpr const char *kPayNonce = "7c4e19a0d2f6b";
constexpr const char *kFacePath = "/api/face";

struct ValidationFailure
{
    QString message;
    const char *logLine;
};

// Checks, in order: amount empty; amount not a plain decimal of at most two decimals that is
// 0 or more; payment code empty; payment code of 15 characters or fewer. `amount` is the
// field's text with its commas already removed.
std::optional<ValidationFailure> validate(
    const std::string &amount, const std::string &payCode, int language);

struct Request
{
    std::string total; // minor units, exact
    std::string signString; // as hashed
    std::string sign;
    std::string body; // the envelope, ready to post
};

// The "auto_pay" request; nullopt when the amount is not a plain decimal.
std::optional<Request> payRequest(const std::string &amount, const std::string &payCode,
    const std::string &appid, const std::string &sid, const std::string &key);
// The "auto_orderQuery" request for one attempt, with its own nonce.
Request statusRequest(const std::string &orderNumber, const std::string &nonce,
    const std::string &appid, const std::string &key);

enum class PayOutcome {
    RequestFailed, // no answer, or one that is not JSON or of the wrong shape
    Refused, // "code" other than "100": the answer's msg is the message
    Failed, // status "0" or "支付失败"
    FailedKeepFields, // status "4": awaiting payment; failure card, the fields keep their texts
    Unknown, // "code" "100" without an order number: nothing says it was paid, nor which order
    Pending, // status "3": poll the order
    Paid, // any other status, a missing one included, with an order number
};

struct PayDecision
{
    PayOutcome outcome = PayOutcome::RequestFailed;
    std::wstring code;
    std::wstring message;
};

// Reads the pay answer into `order` (a missing path ends the reading) and decides on it. An
// answer of the wrong shape leaves `order` unchanged and counts as a failed request.
PayDecision decidePayReply(const std::string &reply, CurrentOrder &order);

enum class StatusOutcome { Paid, Failed, Continue };

// Reads one status answer into `order` and decides: status "1" paid, "0" failed, anything else
// (an empty, unreadable or wrongly shaped answer, which leaves `order` unchanged, a missing
// status) polls on.
StatusOutcome decideStatusReply(const std::string &reply, CurrentOrder &order);

// A gateway amount in minor units as the card and the receipt show it ("2500" -> "25",
// "1250.00" -> "12.5"); a text that is not a plain decimal number is shown as it came.
std::wstring amountFromGateway(const std::wstring &minorUnits);

} // namespace PayTransaction
