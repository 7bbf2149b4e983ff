#pragma once

#include "PayRules.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

struct Merchant
{
    long long id = 0;
    std::string appid;
    std::string key;
    std::string sid;
    std::string mchName;
    std::string storeName;
    std::string storeTel;
};

struct Cashier
{
    std::string tel;
    std::string passProof;
    std::string uid;
    std::string name;
    Merchant merchant;
};

struct Order
{
    std::string outTradeNo;
    std::string storeId;
    std::string cashierUid;
    long long total = 0;
    std::string service; // "wx" or "ali"
    PayOutcome outcome = PayOutcome::PaidAtOnce;
    std::string status; // "1" paid, "3" pending, "0" failed
    std::string orderStatus; // "1" normal, "2" refunded, "0" cancelled
    std::string transactionId;
    std::string created; // yyyyMMddHHmmss
    std::string timeEnd; // yyyy-MM-dd HH:mm:ss once paid, else empty
    int queryCount = 0;
    long long refundTotal = 0;
    std::string refundDesc;
};

struct WalletTotals
{
    long long total = 0; // sum of paid orders
    long long refunded = 0; // sum refunded
    long long count = 0; // number of paid orders
};

struct DayTotals
{
    WalletTotals all;
    WalletTotals wx;
    WalletTotals ali;
};

enum class RefundResult { Done, UnknownOrder, NotPaid, AlreadyRefunded, OverAmount };

// The sandbox's SQLite store: merchants, cashiers and orders. One connection, every
// operation serialised under one lock and run in its own transaction; statements are
// prepared with bound parameters only. Operations throw std::runtime_error on a database
// failure.
class SandboxStore
{
public:
    // The demo merchant seeded into a new store.
    static constexpr const char *kDemoTel = "13800000000";
    static constexpr const char *kDemoPassword = "123456";
    static constexpr const char *kSecondTel = "13900000000";
    static constexpr const char *kSecondPassword = "654321";
    static constexpr long long kMaxListLimit = 100000;

    SandboxStore() = default;
    ~SandboxStore();
    SandboxStore(const SandboxStore &) = delete;
    SandboxStore &operator=(const SandboxStore &) = delete;

    // Opens (creating and seeding on first use) the database file.
    bool open(const std::string &path, std::string &error);
    bool seeded() const { return m_seeded; }

    std::optional<Cashier> cashierByTel(const std::string &tel);
    std::optional<Merchant> merchantByAppid(const std::string &appid);

    // Stores a new order for a payment with the given outcome (not for refused codes). With
    // `paidAtQuery` above 0, a pending order is paid at that status query.
    Order createOrder(const Merchant &merchant, const std::string &cashierUid, long long total,
        Wallet wallet, PayOutcome outcome, int paidAtQuery = 0);
    // The order of this merchant; a pending order of outcome 6 or 7 settles at the third
    // status query, one paid late at its own.
    std::optional<Order> queryOrder(long long merchantId, const std::string &outTradeNo);
    // Refunds a paid, unrefunded order: `amount` (or the whole paid total when absent) must be
    // more than 0 and at most the paid total.
    RefundResult refund(long long merchantId, const std::string &outTradeNo,
        std::optional<long long> amount, const std::string &description, Order &order);
    // Orders of the store created in [from, to] (yyyyMMddHHmmss), oldest first; `status`
    // filters by pay status when given; `page` is 1-based.
    std::vector<Order> listOrders(long long merchantId, const std::string &storeId,
        const std::string &from, const std::string &to, const std::optional<std::string> &status,
        long long page, long long limit);
    // Day totals of the store's orders created on the days [fromDay, toDay] (yyyyMMdd).
    DayTotals totals(long long merchantId, const std::string &storeId, const std::string &fromDay,
        const std::string &toDay);

private:
    void createSchema();
    void seed();

    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
    bool m_seeded = false;
};
