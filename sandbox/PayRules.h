#pragma once

#include <string>

// The wallet a payment code belongs to.
enum class Wallet { None, WeChat, Alipay };

// What the sandbox does with a payment, decided by the code's last digit.
enum class PayOutcome {
    PaidAtOnce, // 0-5: status "1" in the pay answer
    PaidAtThirdQuery, // 6: pending ("3"), paid at the third status query
    FailsAtThirdQuery, // 7: pending, failed ("0") at the third status query
    PendingForever, // 8: pending, never settles
    Refused, // 9: the wallet refuses the payment; no order is stored
    InvalidCode // not a code of either wallet
};

struct PayDecision
{
    Wallet wallet = Wallet::None;
    PayOutcome outcome = PayOutcome::InvalidCode;
};

// Classifies a customer's payment code.
//   WeChat form: 18 digits, first two digits 10 to 15.
//   Alipay form: 16 to 24 digits, first two digits 25 to 30.
class PayRules
{
public:
    // Status query number at which a pending order of outcome 6 or 7 settles.
    static constexpr int kSettlingQuery = 3;

    static PayDecision classify(const std::string &authCode);

    // "wx" / "ali" as the gateway names the wallets ("" for none).
    static std::string serviceName(Wallet wallet);
    // The trade host's pay type: "2" WeChat, "1" Alipay ("" for none).
    static std::string tradePayType(Wallet wallet);
    static Wallet walletFromService(const std::string &service);
    // Stored form of an outcome (its digit class) and back.
    static int outcomeCode(PayOutcome outcome);
    static PayOutcome outcomeFromCode(int code);
};
