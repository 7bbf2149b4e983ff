#include "PayRules.h"

#include <algorithm>

namespace {

bool allDigits(const std::string &text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

PayDecision PayRules::classify(const std::string &authCode)
{
    PayDecision decision;
    if (!allDigits(authCode) || authCode.size() < 2) {
        return decision;
    }
    const int prefix = (authCode[0] - '0') * 10 + (authCode[1] - '0');
    const size_t length = authCode.size();
    if (prefix >= 10 && prefix <= 15 && length == 18) {
        decision.wallet = Wallet::WeChat;
    } else if (prefix >= 25 && prefix <= 30 && length >= 16 && length <= 24) {
        decision.wallet = Wallet::Alipay;
    } else {
        return decision;
    }
    const int last = authCode.back() - '0';
    if (last <= 5) {
        decision.outcome = PayOutcome::PaidAtOnce;
    } else if (last == 6) {
        decision.outcome = PayOutcome::PaidAtThirdQuery;
    } else if (last == 7) {
        decision.outcome = PayOutcome::FailsAtThirdQuery;
    } else if (last == 8) {
        decision.outcome = PayOutcome::PendingForever;
    } else {
        decision.outcome = PayOutcome::Refused;
    }
    return decision;
}

std::string PayRules::serviceName(Wallet wallet)
{
    switch (wallet) {
    case Wallet::WeChat:
        return "wx";
    case Wallet::Alipay:
        return "ali";
    case Wallet::None:
        break;
    }
    return {};
}

std::string PayRules::tradePayType(Wallet wallet)
{
    switch (wallet) {
    case Wallet::WeChat:
        return "2";
    case Wallet::Alipay:
        return "1";
    case Wallet::None:
        break;
    }
    return {};
}

Wallet PayRules::walletFromService(const std::string &service)
{
    if (service == "wx") {
        return Wallet::WeChat;
    }
    if (service == "ali") {
        return Wallet::Alipay;
    }
    return Wallet::None;
}

int PayRules::outcomeCode(PayOutcome outcome)
{
    switch (outcome) {
    case PayOutcome::PaidAtOnce:
        return 0;
    case PayOutcome::PaidAtThirdQuery:
        return 6;
    case PayOutcome::FailsAtThirdQuery:
        return 7;
    case PayOutcome::PendingForever:
        return 8;
    case PayOutcome::Refused:
        return 9;
    case PayOutcome::InvalidCode:
        break;
    }
    return -1;
}

PayOutcome PayRules::outcomeFromCode(int code)
{
    switch (code) {
    case 0:
        return PayOutcome::PaidAtOnce;
    case 6:
        return PayOutcome::PaidAtThirdQuery;
    case 7:
        return PayOutcome::FailsAtThirdQuery;
    case 8:
        return PayOutcome::PendingForever;
    case 9:
        return PayOutcome::Refused;
    default:
        break;
    }
    return PayOutcome::InvalidCode;
}
