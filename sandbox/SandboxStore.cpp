#include "SandboxStore.h"

#include "LoginRequest.h"
#include "TimeText.h"

#include <openssl/rand.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace {

class Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
        : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error(std::string("sqlite prepare: ") + sqlite3_errmsg(db));
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, const std::string &value)
    {
        check(sqlite3_bind_text(
            m_statement, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement &bind(int index, long long value)
    {
        check(sqlite3_bind_int64(m_statement, index, value));
        return *this;
    }
    // True while a row is available.
    bool step()
    {
        const int result = sqlite3_step(m_statement);
        if (result == SQLITE_ROW) {
            return true;
        }
        if (result == SQLITE_DONE) {
            return false;
        }
        throw std::runtime_error(std::string("sqlite step: ") + sqlite3_errmsg(m_db));
    }
    std::string text(int column)
    {
        const unsigned char *value = sqlite3_column_text(m_statement, column);
        const int length = sqlite3_column_bytes(m_statement, column);
        return value ? std::string(reinterpret_cast<const char *>(value), length) : std::string();
    }
    long long integer(int column) { return sqlite3_column_int64(m_statement, column); }

private:
    void check(int result)
    {
        if (result != SQLITE_OK) {
            throw std::runtime_error(std::string("sqlite bind: ") + sqlite3_errmsg(m_db));
        }
    }

    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
};

void execute(sqlite3 *db, const char *sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error("sqlite: " + text);
    }
}

// BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
class Transaction
{
public:
    explicit Transaction(sqlite3 *db)
        : m_db(db)
    {
        execute(m_db, "BEGIN IMMEDIATE");
    }
    ~Transaction()
    {
        if (!m_done) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    void commit()
    {
        execute(m_db, "COMMIT");
        m_done = true;
    }

private:
    sqlite3 *m_db;
    bool m_done = false;
};

std::string randomHex(size_t bytes)
{
    std::string raw(bytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(raw.data()), static_cast<int>(bytes)) != 1) {
        throw std::runtime_error("no random bytes");
    }
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : raw) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

const char *const kOrderColumns
    = "out_trade_no, store_id, cashier_uid, total, service, outcome, status, order_status, "
      "transaction_id, created, time_end, query_count, refund_total, refund_desc";

Order readOrder(Statement &statement)
{
    Order order;
    order.outTradeNo = statement.text(0);
    order.storeId = statement.text(1);
    order.cashierUid = statement.text(2);
    order.total = statement.integer(3);
    order.service = statement.text(4);
    order.outcome = PayRules::outcomeFromCode(static_cast<int>(statement.integer(5)));
    order.status = statement.text(6);
    order.orderStatus = statement.text(7);
    order.transactionId = statement.text(8);
    order.created = statement.text(9);
    order.timeEnd = statement.text(10);
    order.queryCount = static_cast<int>(statement.integer(11));
    order.refundTotal = statement.integer(12);
    order.refundDesc = statement.text(13);
    return order;
}

std::optional<Order> findOrder(sqlite3 *db, long long merchantId, const std::string &outTradeNo)
{
    const std::string sql = std::string("SELECT ") + kOrderColumns
        + " FROM orders WHERE merchant_id = ?1 AND out_trade_no = ?2";
    Statement statement(db, sql.c_str());
    statement.bind(1, merchantId).bind(2, outTradeNo);
    if (!statement.step()) {
        return std::nullopt;
    }
    return readOrder(statement);
}

std::string transactionIdFor(const std::string &service, const std::string &outTradeNo)
{
    return (service == "wx" ? "4200" : "2088") + outTradeNo;
}

Merchant readMerchant(Statement &statement, int first)
{
    Merchant merchant;
    merchant.id = statement.integer(first);
    merchant.appid = statement.text(first + 1);
    merchant.key = statement.text(first + 2);
    merchant.sid = statement.text(first + 3);
    merchant.mchName = statement.text(first + 4);
    merchant.storeName = statement.text(first + 5);
    merchant.storeTel = statement.text(first + 6);
    return merchant;
}

} // namespace

SandboxStore::~SandboxStore()
{
    if (m_db) {
        sqlite3_close(m_db);
    }
}

bool SandboxStore::open(const std::string &path, std::string &error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        error = "cannot open " + path + ": " + (m_db ? sqlite3_errmsg(m_db) : "out of memory");
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    try {
        sqlite3_busy_timeout(m_db, 5000);
        execute(m_db, "PRAGMA foreign_keys = ON");
        // A write-ahead log synced at checkpoints: a committed payment survives a crash of
        // the sandbox, and a request does not wait for the disk.
        execute(m_db, "PRAGMA journal_mode = WAL");
        execute(m_db, "PRAGMA synchronous = NORMAL");
        createSchema();
        seed();
    } catch (const std::exception &e) {
        error = e.what();
        return false;
    }
    return true;
}

void SandboxStore::createSchema()
{
    execute(m_db,
        "CREATE TABLE IF NOT EXISTS meta ("
        " name TEXT PRIMARY KEY, value TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS merchants ("
        " id INTEGER PRIMARY KEY, appid TEXT NOT NULL UNIQUE, key TEXT NOT NULL,"
        " sid TEXT NOT NULL, mch_name TEXT NOT NULL, store_name TEXT NOT NULL,"
        " store_tel TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS cashiers ("
        " tel TEXT PRIMARY KEY, pass_proof TEXT NOT NULL, uid TEXT NOT NULL,"
        " name TEXT NOT NULL, merchant_id INTEGER NOT NULL REFERENCES merchants(id));"
        "CREATE TABLE IF NOT EXISTS orders ("
        " out_trade_no TEXT PRIMARY KEY,"
        " merchant_id INTEGER NOT NULL REFERENCES merchants(id),"
        " store_id TEXT NOT NULL, cashier_uid TEXT NOT NULL, total INTEGER NOT NULL,"
        " service TEXT NOT NULL, outcome INTEGER NOT NULL, status TEXT NOT NULL,"
        " order_status TEXT NOT NULL, transaction_id TEXT NOT NULL,"
        " created TEXT NOT NULL, time_end TEXT NOT NULL,"
        " query_count INTEGER NOT NULL DEFAULT 0,"
        " refund_total INTEGER NOT NULL DEFAULT 0,"
        " refund_desc TEXT NOT NULL DEFAULT '',"
        " refund_time TEXT NOT NULL DEFAULT '');"
        "CREATE TABLE IF NOT EXISTS late_payments ("
        " out_trade_no TEXT PRIMARY KEY REFERENCES orders(out_trade_no),"
        " paid_at_query INTEGER NOT NULL);"
        "CREATE INDEX IF NOT EXISTS orders_by_store"
        " ON orders(merchant_id, store_id, created);");
}

void SandboxStore::seed()
{
    Transaction transaction(m_db);
    {
        Statement count(m_db, "SELECT COUNT(*) FROM merchants");
        if (count.step() && count.integer(0) > 0) {
            return;
        }
    }
    Statement merchant(m_db,
        "INSERT INTO merchants (appid, key, sid, mch_name, store_name,"
        " store_tel) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    merchant.bind(1, "tp" + randomHex(8))
        .bind(2, randomHex(16))
        .bind(3, std::string("1001"))
        .bind(4, std::string("演示商户"))
        .bind(5, std::string("演示门店"))
        .bind(6, std::string("021-55550100"));
    merchant.step();
    const long long merchantId = sqlite3_last_insert_rowid(m_db);

    struct Seat
    {
        const char *tel;
        const char *password;
        const char *uid;
        const char *name;
    };
    const Seat seats[] = {
        {kDemoTel, kDemoPassword, "2001", "张晓明"}, {kSecondTel, kSecondPassword, "2002", "李静"}};
    for (const Seat &seat : seats) {
        Statement cashier(m_db,
            "INSERT INTO cashiers (tel, pass_proof, uid, name, merchant_id)"
            " VALUES (?1, ?2, ?3, ?4, ?5)");
        cashier.bind(1, std::string(seat.tel))
            .bind(2, LoginRequest::passwordProof(seat.password))
            .bind(3, std::string(seat.uid))
            .bind(4, std::string(seat.name))
            .bind(5, merchantId);
        cashier.step();
    }
    Statement sequence(m_db, "INSERT OR IGNORE INTO meta (name, value) VALUES ('order_seq', '0')");
    sequence.step();
    transaction.commit();
    m_seeded = true;
}

std::optional<Cashier> SandboxStore::cashierByTel(const std::string &tel)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement statement(m_db,
        "SELECT c.tel, c.pass_proof, c.uid, c.name, m.id, m.appid, m.key,"
        " m.sid, m.mch_name, m.store_name, m.store_tel"
        " FROM cashiers c JOIN merchants m ON m.id = c.merchant_id"
        " WHERE c.tel = ?1");
    statement.bind(1, tel);
    if (!statement.step()) {
        return std::nullopt;
    }
    Cashier cashier;
    cashier.tel = statement.text(0);
    cashier.passProof = statement.text(1);
    cashier.uid = statement.text(2);
    cashier.name = statement.text(3);
    cashier.merchant = readMerchant(statement, 4);
    return cashier;
}

std::optional<Merchant> SandboxStore::merchantByAppid(const std::string &appid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement statement(m_db,
        "SELECT id, appid, key, sid, mch_name, store_name, store_tel"
        " FROM merchants WHERE appid = ?1");
    statement.bind(1, appid);
    if (!statement.step()) {
        return std::nullopt;
    }
    return readMerchant(statement, 0);
}

Order SandboxStore::createOrder(const Merchant &merchant, const std::string &cashierUid,
    long long total, Wallet wallet, PayOutcome outcome, int paidAtQuery)
{
    if (outcome == PayOutcome::Refused || outcome == PayOutcome::InvalidCode
        || wallet == Wallet::None) {
        throw std::logic_error("no order is stored for a refused or invalid payment code");
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    Transaction transaction(m_db);

    long long sequence = 0;
    {
        Statement read(m_db, "SELECT value FROM meta WHERE name = 'order_seq'");
        if (read.step()) {
            sequence = std::stoll(read.text(0));
        }
    }
    const auto now = std::chrono::system_clock::now();
    Order order;
    order.created = TimeText::compact(now);
    order.storeId = merchant.sid;
    order.cashierUid = cashierUid;
    order.total = total;
    order.service = PayRules::serviceName(wallet);
    order.outcome = outcome;
    order.orderStatus = "1";
    if (outcome == PayOutcome::PaidAtOnce) {
        order.status = "1";
        order.timeEnd = TimeText::display(now);
    } else {
        order.status = "3";
    }
    for (;;) {
        sequence = (sequence + 1) % 10000000;
        char digits[24];
        std::snprintf(digits, sizeof digits, "%07lld", sequence);
        order.outTradeNo = order.created + digits;
        Statement exists(m_db, "SELECT 1 FROM orders WHERE out_trade_no = ?1");
        exists.bind(1, order.outTradeNo);
        if (!exists.step()) {
            break;
        }
    }
    order.transactionId = transactionIdFor(order.service, order.outTradeNo);

    Statement insert(m_db,
        "INSERT INTO orders (out_trade_no, merchant_id, store_id, cashier_uid,"
        " total, service, outcome, status, order_status, transaction_id,"
        " created, time_end) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10,"
        " ?11, ?12)");
    insert.bind(1, order.outTradeNo)
        .bind(2, merchant.id)
        .bind(3, order.storeId)
        .bind(4, order.cashierUid)
        .bind(5, order.total)
        .bind(6, order.service)
        .bind(7, static_cast<long long>(PayRules::outcomeCode(outcome)))
        .bind(8, order.status)
        .bind(9, order.orderStatus)
        .bind(10, order.transactionId)
        .bind(11, order.created)
        .bind(12, order.timeEnd);
    insert.step();
    if (paidAtQuery > 0 && order.status == "3") {
        Statement late(
            m_db, "INSERT INTO late_payments (out_trade_no, paid_at_query) VALUES (?1, ?2)");
        late.bind(1, order.outTradeNo).bind(2, static_cast<long long>(paidAtQuery));
        late.step();
    }
    Statement write(m_db, "UPDATE meta SET value = ?1 WHERE name = 'order_seq'");
    write.bind(1, std::to_string(sequence));
    write.step();
    transaction.commit();
    return order;
}

std::optional<Order> SandboxStore::queryOrder(long long merchantId, const std::string &outTradeNo)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Transaction transaction(m_db);
    std::optional<Order> order = findOrder(m_db, merchantId, outTradeNo);
    if (!order || order->status != "3") {
        return order;
    }
    ++order->queryCount;
    long long paidAtQuery = 0;
    {
        Statement late(m_db, "SELECT paid_at_query FROM late_payments WHERE out_trade_no = ?1");
        late.bind(1, order->outTradeNo);
        if (late.step()) {
            paidAtQuery = late.integer(0);
        }
    }
    if (paidAtQuery > 0) {
        if (order->queryCount >= paidAtQuery) {
            order->status = "1";
            order->timeEnd = TimeText::display();
        }
    } else if (order->queryCount >= PayRules::kSettlingQuery) {
        if (order->outcome == PayOutcome::PaidAtThirdQuery) {
            order->status = "1";
            order->timeEnd = TimeText::display();
        } else if (order->outcome == PayOutcome::FailsAtThirdQuery) {
            order->status = "0";
            order->orderStatus = "0";
        }
    }
    Statement update(m_db,
        "UPDATE orders SET query_count = ?1, status = ?2, order_status = ?3,"
        " time_end = ?4 WHERE out_trade_no = ?5");
    update.bind(1, static_cast<long long>(order->queryCount))
        .bind(2, order->status)
        .bind(3, order->orderStatus)
        .bind(4, order->timeEnd)
        .bind(5, order->outTradeNo);
    update.step();
    transaction.commit();
    return order;
}

RefundResult SandboxStore::refund(long long merchantId, const std::string &outTradeNo,
    std::optional<long long> amount, const std::string &description, Order &order)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Transaction transaction(m_db);
    std::optional<Order> found = findOrder(m_db, merchantId, outTradeNo);
    if (!found) {
        return RefundResult::UnknownOrder;
    }
    order = *found;
    if (order.status != "1") {
        return RefundResult::NotPaid;
    }
    if (order.orderStatus != "1") {
        return RefundResult::AlreadyRefunded;
    }
    const long long refunded = amount.value_or(order.total);
    if (refunded <= 0 || refunded > order.total) {
        return RefundResult::OverAmount;
    }
    Statement update(m_db,
        "UPDATE orders SET order_status = '2', refund_total = ?1,"
        " refund_desc = ?2, refund_time = ?3 WHERE out_trade_no = ?4");
    update.bind(1, refunded)
        .bind(2, description)
        .bind(3, TimeText::display())
        .bind(4, order.outTradeNo);
    update.step();
    transaction.commit();
    order.orderStatus = "2";
    order.refundTotal = refunded;
    order.refundDesc = description;
    return RefundResult::Done;
}

std::vector<Order> SandboxStore::listOrders(long long merchantId, const std::string &storeId,
    const std::string &from, const std::string &to, const std::optional<std::string> &status,
    long long page, long long limit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string sql = std::string("SELECT ") + kOrderColumns
        + " FROM orders WHERE merchant_id = ?1 AND store_id = ?2 AND created >= ?3"
          " AND created <= ?4 AND (?5 = '' OR status = ?5)"
          " ORDER BY created, out_trade_no LIMIT ?6 OFFSET ?7";
    Statement statement(m_db, sql.c_str());
    statement.bind(1, merchantId)
        .bind(2, storeId)
        .bind(3, from)
        .bind(4, to)
        .bind(5, status.value_or(std::string()))
        .bind(6, limit)
        .bind(7, (page - 1) * limit);
    std::vector<Order> orders;
    while (statement.step()) {
        orders.push_back(readOrder(statement));
    }
    return orders;
}

DayTotals SandboxStore::totals(long long merchantId, const std::string &storeId,
    const std::string &fromDay, const std::string &toDay)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement statement(m_db,
        "SELECT service, COALESCE(SUM(total), 0),"
        " COALESCE(SUM(refund_total), 0), COUNT(*) FROM orders"
        " WHERE merchant_id = ?1 AND store_id = ?2 AND created >= ?3"
        " AND created <= ?4 AND status = '1' GROUP BY service");
    statement.bind(1, merchantId)
        .bind(2, storeId)
        .bind(3, fromDay + "000000")
        .bind(4, toDay + "235959");
    DayTotals totals;
    while (statement.step()) {
        WalletTotals wallet;
        wallet.total = statement.integer(1);
        wallet.refunded = statement.integer(2);
        wallet.count = statement.integer(3);
        const std::string service = statement.text(0);
        if (service == "wx") {
            totals.wx = wallet;
        } else if (service == "ali") {
            totals.ali = wallet;
        }
        totals.all.total += wallet.total;
        totals.all.refunded += wallet.refunded;
        totals.all.count += wallet.count;
    }
    return totals;
}
