#include "LedgerStore.h"

#include "AppDir.h"
#include "GatewayClock.h"
#include "RunLog.h"
#include "System.h"
#include "Text.h"

#include <sqlite3.h>

#include <cstdlib>
#include <sstream>

namespace {

constexpr const char *kColumns
    = "id, created_at, source, amount_minor, code_masked, out_trade_no, state, message, checks,"
      " updated_at, sid, wallet, pay_time, acknowledged_at, rejected, gateway_at";
constexpr const char *kRefundColumns = "id, created_at, sid, out_trade_no, amount_minor, state,"
                                       " message, updated_at, gateway_at, checks";

// The ledger's layout: 1 had only the first ten columns of "payments"; 2 added the store, the
// wallet, the pay time, the acknowledgement, the rejected candidates, the unique order numbers
// and the refunds; 3 the time on the gateway's clock of both, and the checks of a refund.
constexpr int kSchemaVersion = 3;

constexpr const char *kPaymentsTable = "CREATE TABLE IF NOT EXISTS payments ("
                                       " id INTEGER PRIMARY KEY,"
                                       " created_at TEXT NOT NULL,"
                                       " source TEXT NOT NULL,"
                                       " amount_minor INTEGER NOT NULL,"
                                       " code_masked TEXT NOT NULL,"
                                       " out_trade_no TEXT,"
                                       " state TEXT NOT NULL,"
                                       " message TEXT NOT NULL DEFAULT '',"
                                       " checks INTEGER NOT NULL DEFAULT 0,"
                                       " updated_at TEXT NOT NULL);";
constexpr const char *kRefundsTable = "CREATE TABLE IF NOT EXISTS refunds ("
                                      " id INTEGER PRIMARY KEY,"
                                      " created_at TEXT NOT NULL,"
                                      " sid TEXT,"
                                      " out_trade_no TEXT NOT NULL,"
                                      " amount_minor INTEGER,"
                                      " state TEXT NOT NULL,"
                                      " message TEXT NOT NULL DEFAULT '',"
                                      " updated_at TEXT NOT NULL);"
                                      "CREATE INDEX IF NOT EXISTS refunds_order"
                                      " ON refunds(out_trade_no);";
// The columns later layouts added, with their types.
struct Added
{
    const char *table;
    const char *name;
    const char *type;
};
constexpr Added kAdded[] = {{"payments", "sid", "TEXT"},
    {"payments", "wallet", "TEXT NOT NULL DEFAULT ''"},
    {"payments", "pay_time", "TEXT NOT NULL DEFAULT ''"}, {"payments", "acknowledged_at", "TEXT"},
    {"payments", "rejected", "TEXT NOT NULL DEFAULT ''"}, {"payments", "gateway_at", "TEXT"},
    {"refunds", "gateway_at", "TEXT"}, {"refunds", "checks", "INTEGER NOT NULL DEFAULT 0"}};
constexpr const char *kOrderIndex = "CREATE UNIQUE INDEX IF NOT EXISTS payments_order"
                                    " ON payments(out_trade_no) WHERE out_trade_no IS NOT NULL";

// Errors of the disk, not of the change: the change waits in memory until the file takes it.
bool storageError(int code)
{
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
    case SQLITE_TOOBIG:
        return false;
    default:
        return true;
    }
}

// A row still to be read by the cashier, as SQL over "payments".
constexpr const char *kNeedsNotice
    = "((state IN ('paid', 'closed') AND checks > 0 AND acknowledged_at IS NULL)"
      " OR state = 'matched')";
// A row of store ?1, or of no recorded store.
constexpr const char *kOfStore = "(sid = ?1 OR sid IS NULL)";

// One prepared statement with text and integer parameters bound in order (1-based).
class Statement final
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            m_ok = false;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &text(const std::string &value)
    {
        m_ok = m_ok
            && sqlite3_bind_text(
                   m_statement, ++m_index, value.data(), int(value.size()), SQLITE_TRANSIENT)
                == SQLITE_OK;
        return *this;
    }
    Statement &integer(long long value)
    {
        m_ok = m_ok && sqlite3_bind_int64(m_statement, ++m_index, value) == SQLITE_OK;
        return *this;
    }
    template<typename Value>
    Statement &value(const Value &value)
    {
        if (const auto *number = std::get_if<long long>(&value))
            return integer(*number);
        if (const auto *text = std::get_if<std::string>(&value))
            return this->text(*text);
        m_ok = m_ok && sqlite3_bind_null(m_statement, ++m_index) == SQLITE_OK;
        return *this;
    }

    // SQLITE_ROW or SQLITE_DONE; anything else is a failure.
    int step()
    {
        if (!m_ok)
            return SQLITE_ERROR;
        const int result = sqlite3_step(m_statement);
        if (result != SQLITE_ROW && result != SQLITE_DONE)
            m_ok = false;
        return result;
    }
    bool ok() const { return m_ok; }

    std::string column(int index) const
    {
        const unsigned char *value = sqlite3_column_text(m_statement, index);
        return value ? std::string(reinterpret_cast<const char *>(value),
                   std::size_t(sqlite3_column_bytes(m_statement, index)))
                     : std::string();
    }
    long long number(int index) const { return sqlite3_column_int64(m_statement, index); }
    bool isNull(int index) const { return sqlite3_column_type(m_statement, index) == SQLITE_NULL; }

private:
    sqlite3_stmt *m_statement = nullptr;
    int m_index = 0;
    bool m_ok = true;
};

std::string dayText(const QDate &day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

LedgerRow readRow(const Statement &query)
{
    LedgerRow row;
    row.id = query.number(0);
    row.createdAt = query.column(1);
    row.source = query.column(2);
    row.amountMinor = query.number(3);
    row.codeMasked = query.column(4);
    row.outTradeNo = query.column(5);
    row.state = query.column(6);
    row.message = query.column(7);
    row.checks = int(query.number(8));
    row.updatedAt = query.column(9);
    row.sid = query.column(10);
    row.wallet = query.column(11);
    row.payTime = query.column(12);
    row.acknowledgedAt = query.column(13);
    row.rejected = query.column(14);
    row.gatewayAt = query.column(15);
    return row;
}

} // namespace

bool LedgerRow::recovered() const
{
    return (state == "paid" || state == "closed") && checks > 0;
}

bool LedgerRow::needsNotice() const
{
    return (recovered() && acknowledgedAt.empty()) || state == "matched";
}

bool LedgerRow::wasRejected(const std::string &orderNumber) const
{
    std::istringstream words(rejected);
    std::string word;
    while (words >> word) {
        if (word == orderNumber)
            return true;
    }
    return false;
}

LedgerStore::LedgerStore(Clock clock)
    : m_clock(clock)
{ }

LedgerStore::~LedgerStore()
{
    close();
}

LedgerStore &LedgerStore::shared()
{
    static LedgerStore ledger;
    return ledger;
}

bool LedgerStore::openDefault()
{
    return open(AppDir::dataFilePath(QString::fromLatin1(kFileName)).toStdString());
}

std::string LedgerStore::recordingNotice() const
{
    if (!m_opened.load())
        return "交易记录无法保存，收款不受影响，请联系技术支持";
    if (m_holding.load())
        return "账本暂时无法写入（磁盘已满或已移除？），收款照常，记录将在可写入时自动补写";
    return {};
}

void LedgerStore::setListener(std::function<void()> changed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listener = std::move(changed);
}

void LedgerStore::notify()
{
    m_holding = !m_held.empty();
    if (m_listener)
        m_listener();
}

const char *LedgerStore::stateName(State state)
{
    switch (state) {
    case State::Sending:
        return "sending";
    case State::Pending:
        return "pending";
    case State::Paid:
        return "paid";
    case State::Refused:
        return "refused";
    case State::Unresolved:
        return "unresolved";
    case State::Closed:
        return "closed";
    case State::Matched:
        return "matched";
    }
    return "";
}

const char *LedgerStore::sourceName(Source source)
{
    return source == Source::Checkout ? "checkout" : "single-window";
}

const char *LedgerStore::refundStateName(RefundState state)
{
    switch (state) {
    case RefundState::Sending:
        return "sending";
    case RefundState::Refunded:
        return "refunded";
    case RefundState::Refused:
        return "refused";
    case RefundState::Unresolved:
        return "unresolved";
    }
    return "";
}

std::string LedgerStore::maskCode(const std::string &payCode)
{
    QString code = Text::fromLocal(payCode);
    const int keep = code.size() > 4 ? 4 : 0;
    for (int i = 0; i < code.size() - keep; ++i)
        code[i] = QLatin1Char('*');
    return code.toStdString();
}

std::time_t LedgerStore::now() const
{
    return m_clock ? m_clock() : std::time(nullptr);
}

std::string LedgerStore::timeText(std::time_t when) const
{
    const std::tm parts = System::localTime(when);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts));
}

void LedgerStore::noteGatewayTime(const std::string &told)
{
    const std::optional<long long> gateway = GatewayClock::parse(told);
    if (!gateway)
        return;
    const long long offset = *gateway - GatewayClock::tillWall(now());
    const long long before = m_gatewayOffset.exchange(offset);
    if (before == kUnknownOffset || std::llabs(before - offset) > 60) {
        if (std::llabs(offset) > 60)
            RunLog::write("本机时钟与网关时钟相差 %lld 秒, 以网关时钟为准", offset);
    }
    if (before != kUnknownOffset)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    prune(std::llabs(offset) <= kTrustedOffsetSeconds);
}

std::optional<long long> LedgerStore::gatewayNow() const
{
    const long long offset = m_gatewayOffset.load();
    if (offset == kUnknownOffset)
        return std::nullopt;
    return GatewayClock::tillWall(now()) + offset;
}

LedgerStore::Value LedgerStore::gatewayText(long long secondsAgo) const
{
    const std::optional<long long> gateway = gatewayNow();
    if (!gateway)
        return {};
    return GatewayClock::text(*gateway - secondsAgo);
}

bool LedgerStore::execute(sqlite3 *db, const char *sql)
{
    if (db && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    m_lastError = db ? sqlite3_extended_errcode(db) : SQLITE_CANTOPEN;
    return false;
}

void LedgerStore::rollback(sqlite3 *db)
{
    if (db && !sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool LedgerStore::connect()
{
    if (sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        closeFile();
        return false;
    }
    sqlite3_busy_timeout(m_db, 2000);
    Statement wal(m_db, "PRAGMA journal_mode=WAL");
    if (wal.step() != SQLITE_ROW || wal.column(0) != "wal"
        || !execute(m_db, "PRAGMA synchronous=FULL")) {
        closeFile();
        return false;
    }
    return true;
}

void LedgerStore::closeFile()
{
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool LedgerStore::open(const std::string &path)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_db || m_opened)
            return true;
        m_path = path;
        const auto failed = [this](const char *what) {
            const std::string reason = m_db ? sqlite3_errmsg(m_db) : "cannot open";
            RunLog::write("payment ledger is not recording (%s: %s)", what, reason.c_str());
            closeFile();
            return false;
        };
        // Made owner-only before SQLite sees it; its -wal and -shm files take the same mode.
        if (!System::createPrivateFile(QString::fromStdString(path), false) || !connect())
            return failed("open");
        if (!execute(m_db, kPaymentsTable))
            return failed("create");
        if (!upgrade())
            return failed("upgrade");
        Statement next(m_db,
            "SELECT (SELECT COALESCE(max(id), 0) + 1 FROM payments),"
            " (SELECT COALESCE(max(id), 0) + 1 FROM refunds)");
        if (next.step() != SQLITE_ROW)
            return failed("read");
        m_nextPaymentId = next.number(0);
        m_nextRefundId = next.number(1);
        m_opened = true;
    }
    // What a run cut short is unresolved; a disk that is full now keeps it in memory.
    const std::string now = timeText(this->now());
    std::lock_guard<std::mutex> lock(m_mutex);
    write("recover", [&] {
        return run("UPDATE payments SET message = CASE state WHEN 'sending' THEN ?1 ELSE ?2 END,"
                   " state = 'unresolved', updated_at = ?3 WHERE state IN ('sending', 'pending')",
                   {kStoppedSending, kStoppedPolling, now})
            >= 0
            && run("UPDATE refunds SET state = 'unresolved', message = ?1, updated_at = ?2"
                   " WHERE state = 'sending'",
                   {kRefundStopped, now})
            >= 0;
    });
    return true;
}

bool LedgerStore::upgrade()
{
    long long found = 0;
    {
        Statement version(m_db, "PRAGMA user_version");
        if (version.step() != SQLITE_ROW)
            return false;
        found = version.number(0);
    }
    if (found > kSchemaVersion) {
        // Written by a newer till: its columns are unknown here, so nothing is written.
        RunLog::write("payment ledger of a newer version (%lld)", found);
        return false;
    }
    if (!begin())
        return false;
    bool done = true;
    if (found < kSchemaVersion) {
        done = execute(m_db, kRefundsTable);
        for (const Added &added : kAdded) {
            std::set<std::string> columns;
            Statement info(m_db, (std::string("PRAGMA table_info(") + added.table + ")").c_str());
            while (info.step() == SQLITE_ROW)
                columns.insert(info.column(1));
            if (done && !columns.count(added.name)) {
                done = execute(m_db,
                    (std::string("ALTER TABLE ") + added.table + " ADD COLUMN " + added.name + " "
                        + added.type)
                        .c_str());
            }
        }
        // Rows the first till decided before today count as read: their notices, if any, were
        // shown then. Today's are shown again.
        Statement read(m_db,
            "UPDATE payments SET acknowledged_at = updated_at WHERE acknowledged_at IS NULL"
            " AND state IN ('paid', 'closed') AND checks > 0 AND updated_at < ?1 AND ?2 < 2");
        read.text(timeText(now()).substr(0, 10)).integer(found);
        done = done && read.step() == SQLITE_DONE
            && execute(m_db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    }
    // One order number, one row, in the same transaction, and at every start: an earlier till
    // may have booked one number twice. Those rows are kept as they are and named in the log;
    // every later write checks the number itself.
    if (done && execute(m_db, "SAVEPOINT order_index") && !execute(m_db, kOrderIndex)) {
        execute(m_db, "ROLLBACK TO order_index");
        Statement twice(m_db,
            "SELECT out_trade_no, group_concat(id, ',') FROM payments"
            " WHERE out_trade_no IS NOT NULL GROUP BY out_trade_no HAVING count(*) > 1");
        while (twice.step() == SQLITE_ROW) {
            RunLog::write("payment ledger: order %s is held by rows %s", twice.column(0).c_str(),
                twice.column(1).c_str());
        }
    }
    if (!done || !execute(m_db, "RELEASE order_index") || !execute(m_db, "COMMIT")) {
        rollback(m_db);
        return false;
    }
    return true;
}

bool LedgerStore::begin()
{
    return execute(m_db, "BEGIN IMMEDIATE");
}

void LedgerStore::prune(bool clockTrusted)
{
    if (!m_opened)
        return;
    const Value now = timeText(this->now());
    const Value oldest = timeText(this->now() - std::time_t(kKeepDays) * 24 * 3600);
    const Value gatewayOldest = gatewayText(kKeepDays * 24LL * 3600);
    const long long trusted = clockTrusted ? 1 : 0;
    // Only a decided row goes, by its age on the gateway's clock; a row made before the gateway
    // told the time by its last change on the till's clock, when that clock agrees with the
    // gateway's, a change dated in the future counting as made now.
    write("prune", [&] {
        for (const char *table : {"payments", "refunds"}) {
            const std::string decided = std::string(table) == "payments"
                ? "state IN ('paid', 'refused', 'closed')"
                : "state IN ('refunded', 'refused')";
            if (clockTrusted
                && run((std::string("UPDATE ") + table
                           + " SET updated_at = ?1 WHERE updated_at > ?1")
                           .c_str(),
                       {now})
                    < 0)
                return false;
            if (run((std::string("DELETE FROM ") + table + " WHERE " + decided
                        + " AND CASE WHEN gateway_at IS NOT NULL THEN gateway_at < ?1"
                          " ELSE ?2 AND updated_at < ?3 END")
                        .c_str(),
                    {gatewayOldest, trusted, oldest})
                < 0)
                return false;
        }
        return true;
    });
}

int LedgerStore::runOn(sqlite3 *db, const Step &step)
{
    Statement statement(db, step.sql.c_str());
    for (const Value &value : step.values)
        statement.value(value);
    if (statement.step() != SQLITE_DONE) {
        m_lastError = db ? sqlite3_extended_errcode(db) : SQLITE_CANTOPEN;
        return -1;
    }
    return sqlite3_changes(db);
}

int LedgerStore::run(const char *sql, const Values &values)
{
    if (m_stepFailed)
        return -1;
    Step step {sql, values};
    const int changed = runOn(m_active, step);
    if (changed < 0) {
        m_stepFailed = true;
        return -1;
    }
    m_steps.push_back(std::move(step));
    return changed;
}

bool LedgerStore::write(const char *what, const std::function<bool()> &body)
{
    if (!m_opened)
        return false;
    writeHeld();
    bool fileRefused = false;
    for (;;) {
        const bool onFile = !fileRefused && m_held.empty() && (m_db || connect());
        if (!onFile && !m_mirror && !makeMirror())
            return false;
        m_active = onFile ? m_db : m_mirror;
        m_steps.clear();
        m_stepFailed = false;
        const bool begun = execute(m_active, "BEGIN IMMEDIATE");
        m_stepFailed = !begun;
        const bool wanted = begun && body() && !m_stepFailed;
        const bool done = wanted && execute(m_active, "COMMIT");
        m_stepFailed = m_stepFailed || (wanted && !done);
        if (done) {
            if (!onFile && !m_steps.empty())
                m_held.push_back(std::move(m_steps));
            m_steps.clear();
            m_active = nullptr;
            notify();
            return true;
        }
        rollback(m_active);
        m_active = nullptr;
        m_steps.clear();
        if (!m_stepFailed || !onFile || !storageError(m_lastError)) {
            if (m_stepFailed) {
                RunLog::write("payment ledger: %s not written (%s)", what,
                    sqlite3_errstr(m_lastError & 0xff));
            }
            if (m_held.empty())
                dropMirror();
            return false;
        }
        cannotWrite(what, sqlite3_errstr(m_lastError & 0xff));
        fileRefused = true;
    }
}

void LedgerStore::cannotWrite(const char *what, const std::string &reason)
{
    RunLog::write("payment ledger cannot write (%s: %s); it keeps the changes in memory and writes"
                  " them when it can",
        what, reason.c_str());
    makeMirror();
    closeFile();
}

bool LedgerStore::makeMirror()
{
    if (m_mirror)
        return true;
    if (sqlite3_open_v2(":memory:", &m_mirror, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        dropMirror();
        return false;
    }
    // A copy of the file as it is; a file that cannot be read leaves the tables empty (the
    // reads of the windows then see only what came since).
    bool copied = false;
    if (m_db) {
        if (sqlite3_backup *backup = sqlite3_backup_init(m_mirror, "main", m_db, "main")) {
            copied = sqlite3_backup_step(backup, -1) == SQLITE_DONE;
            copied = sqlite3_backup_finish(backup) == SQLITE_OK && copied;
        }
    }
    if (!copied) {
        execute(m_mirror, "DROP TABLE IF EXISTS payments; DROP TABLE IF EXISTS refunds;");
        if (!execute(m_mirror, kPaymentsTable) || !execute(m_mirror, kRefundsTable)) {
            dropMirror();
            return false;
        }
        for (const Added &added : kAdded) {
            execute(m_mirror,
                (std::string("ALTER TABLE ") + added.table + " ADD COLUMN " + added.name + " "
                    + added.type)
                    .c_str());
        }
        execute(m_mirror, kOrderIndex);
    }
    return true;
}

void LedgerStore::dropMirror()
{
    sqlite3_close_v2(m_mirror);
    m_mirror = nullptr;
}

bool LedgerStore::writeHeld()
{
    if (m_held.empty())
        return true;
    if (!m_db && !connect())
        return false;
    if (!execute(m_db, "BEGIN IMMEDIATE")) {
        closeFile();
        return false;
    }
    std::size_t written = 0;
    for (const std::vector<Step> &transaction : m_held) {
        bool taken = execute(m_db, "SAVEPOINT held");
        for (const Step &step : transaction) {
            if (taken && runOn(m_db, step) < 0)
                taken = false;
        }
        if (!taken && storageError(m_lastError)) {
            rollback(m_db);
            closeFile();
            return false;
        }
        if (!taken) {
            // The copy took it, the file holds what the copy could not see (a file that could not
            // be read when the copy was made): named in the log, the rest goes on.
            execute(m_db, "ROLLBACK TO held");
            for (const Step &step : transaction)
                RunLog::write("payment ledger: a kept change was refused: %s", step.sql.c_str());
        } else {
            ++written;
        }
        execute(m_db, "RELEASE held");
    }
    if (!execute(m_db, "COMMIT")) {
        rollback(m_db);
        closeFile();
        return false;
    }
    RunLog::write(
        "payment ledger writes again: %lld kept changes written", static_cast<long long>(written));
    m_held.clear();
    dropMirror();
    notify();
    return true;
}

bool LedgerStore::retryHeld()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return writeHeld();
}

void LedgerStore::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!writeHeld()) {
        // Nothing the till learned goes without a word: what the file never took is in the log.
        for (const std::vector<Step> &transaction : m_held) {
            for (const Step &step : transaction) {
                std::string values;
                for (const Value &value : step.values) {
                    if (const auto *number = std::get_if<long long>(&value))
                        values += " [" + std::to_string(*number) + "]";
                    else if (const auto *text = std::get_if<std::string>(&value))
                        values += " [" + *text + "]";
                    else
                        values += " [NULL]";
                }
                RunLog::write(
                    "payment ledger: not written: %s%s", step.sql.c_str(), values.c_str());
            }
        }
    }
    m_held.clear();
    dropMirror();
    closeFile();
    m_holding = false;
    m_opened = false;
}

sqlite3 *LedgerStore::readable()
{
    if (!m_held.empty())
        return m_mirror;
    if (!m_db && m_opened)
        connect();
    return m_db;
}

long long LedgerStore::recordAttempt(Source source, long long amountMinor,
    const std::string &payCode, const std::string &sid, const std::string &wallet)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string now = timeText(this->now());
    const long long id = m_nextPaymentId;
    const Value store = sid.empty() ? Value() : Value(sid);
    if (!write("record", [&] {
            return run("INSERT INTO payments (id, created_at, source, amount_minor, code_masked,"
                       " state, updated_at, sid, wallet, gateway_at)"
                       " VALUES (?1, ?2, ?3, ?4, ?5, 'sending', ?2, ?6, ?7, ?8)",
                       {id, now, std::string(sourceName(source)), amountMinor, maskCode(payCode),
                           store, wallet, gatewayText()})
                == 1;
        }))
        return 0;
    ++m_nextPaymentId;
    return id;
}

std::pair<long long, std::string> LedgerStore::holderOf(const std::string &number, long long id)
{
    Statement query(
        m_active, "SELECT id, state FROM payments WHERE out_trade_no = ?1 AND id != ?2");
    query.text(number).integer(id);
    if (query.step() == SQLITE_ROW)
        return {query.number(0), query.column(1)};
    if (!query.ok())
        m_stepFailed = true;
    return {0, std::string()};
}

bool LedgerStore::update(
    long long id, State to, const std::string &outTradeNo, const std::string &message)
{
    const char *from = nullptr;
    switch (to) {
    case State::Pending:
        from = "'sending'";
        break;
    case State::Refused:
    case State::Unresolved:
        from = "'sending', 'pending'";
        break;
    case State::Paid:
        from = "'sending', 'pending', 'unresolved'";
        break;
    case State::Closed:
        from = "'unresolved'";
        break;
    case State::Sending:
    case State::Matched:
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (id <= 0)
        return false;
    const std::string now = timeText(this->now());
    const Value number = outTradeNo.empty() ? Value() : Value(outTradeNo);
    return write("update", [&] {
        if (!outTradeNo.empty()) {
            const auto [holder, holderState] = holderOf(outTradeNo, id);
            if (holder != 0 && holderState != "matched") {
                RunLog::write("payment ledger: order %s of row %lld is held by row %lld",
                    outTradeNo.c_str(), id, holder);
                return false;
            }
            // The gateway's answer about this attempt is proof; the list's guess goes back.
            if (holder != 0
                && run("UPDATE payments SET state = 'unresolved', out_trade_no = NULL,"
                       " rejected = trim(rejected || ' ' || ?1), message = ?2, updated_at = ?3"
                       " WHERE id = ?4",
                       {outTradeNo, std::string(kCandidateTaken), now, holder})
                    != 1)
                return false;
        }
        return run((std::string("UPDATE payments SET state = ?1,"
                                " out_trade_no = COALESCE(?2, out_trade_no), message = ?3,"
                                " updated_at = ?4 WHERE id = ?5 AND state IN (")
                       + from + ")")
                       .c_str(),
                   {std::string(stateName(to)), number, message, now, id})
            == 1;
    });
}

bool LedgerStore::noteFollowUp(long long id, State outcome, const std::string &outTradeNo,
    const std::string &message, const std::string &payTime)
{
    if (outcome != State::Unresolved && outcome != State::Paid && outcome != State::Closed)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (id <= 0)
        return false;
    const auto orNull
        = [](const std::string &text) { return text.empty() ? Value() : Value(text); };
    return write("follow-up", [&] {
        return run("UPDATE payments SET checks = checks + 1, state = ?1,"
                   " out_trade_no = COALESCE(?2, out_trade_no), message = COALESCE(?3, message),"
                   " pay_time = COALESCE(?4, pay_time), updated_at = ?5"
                   " WHERE id = ?6 AND state = 'unresolved' AND (?2 IS NULL OR NOT EXISTS"
                   " (SELECT 1 FROM payments other WHERE other.out_trade_no = ?2"
                   " AND other.id != ?6))",
                   {std::string(stateName(outcome)), orNull(outTradeNo), orNull(message),
                       orNull(payTime), timeText(now()), id})
            == 1;
    });
}

std::optional<LedgerStore::Candidate> LedgerStore::noteCandidate(
    long long id, const std::function<std::optional<Candidate>(const Snapshot &)> &choose)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (id <= 0)
        return std::nullopt;
    std::optional<Candidate> candidate;
    write("follow-up", [&] {
        candidate.reset();
        Snapshot snapshot;
        const std::vector<LedgerRow> rows = selectLocked("id = ?1", {id});
        if (rows.empty() || rows.front().state != "unresolved" || !rows.front().outTradeNo.empty())
            return false;
        snapshot.row = rows.front();
        for (const LedgerRow &held : selectLocked("out_trade_no IS NOT NULL", {}))
            snapshot.held.insert(held.outTradeNo);
        snapshot.open = selectLocked("(sid = ?1 OR sid IS NULL OR ?1 = '') AND out_trade_no IS NULL"
                                     " AND state IN ('sending', 'pending', 'unresolved')",
            {snapshot.row.sid});
        if (m_stepFailed)
            return false;
        candidate = choose(snapshot);
        if (candidate
            && (candidate->orderNumber.empty() || snapshot.held.count(candidate->orderNumber)
                || snapshot.row.wasRejected(candidate->orderNumber)))
            candidate.reset();
        const Value number = candidate ? Value(candidate->orderNumber) : Value();
        const Value payTime
            = candidate && !candidate->payTime.empty() ? Value(candidate->payTime) : Value();
        return run("UPDATE payments SET checks = checks + 1,"
                   " state = CASE WHEN ?1 IS NULL THEN state ELSE 'matched' END,"
                   " out_trade_no = ?1, pay_time = COALESCE(?2, pay_time), updated_at = ?3"
                   " WHERE id = ?4",
                   {number, payTime, timeText(now()), id})
            == 1;
    });
    return candidate;
}

bool LedgerStore::confirmCandidate(long long id, const std::string &orderNumber)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return id > 0 && write("confirm", [&] {
        return run("UPDATE payments SET state = 'paid', acknowledged_at = NULL, updated_at = ?1"
                   " WHERE id = ?2 AND state = 'matched' AND out_trade_no = ?3",
                   {timeText(now()), id, orderNumber})
            == 1;
    });
}

bool LedgerStore::rejectCandidate(long long id, const std::string &orderNumber)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return id > 0 && write("reject", [&] {
        return run("UPDATE payments SET state = 'unresolved', out_trade_no = NULL, updated_at = ?1,"
                   " rejected = trim(rejected || ' ' || out_trade_no)"
                   " WHERE id = ?2 AND state = 'matched' AND out_trade_no = ?3",
                   {timeText(now()), id, orderNumber})
            == 1;
    });
}

bool LedgerStore::acknowledge(long long id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return id > 0 && write("acknowledge", [&] {
        return run("UPDATE payments SET acknowledged_at = ?1 WHERE id = ?2"
                   " AND acknowledged_at IS NULL AND state IN ('paid', 'closed') AND checks > 0",
                   {timeText(now()), id})
            == 1;
    });
}

std::vector<LedgerRow> LedgerStore::selectLocked(
    const char *where, const Values &values, const char *order)
{
    std::vector<LedgerRow> rows;
    if (!m_active)
        return rows;
    const std::string sql = std::string("SELECT ") + kColumns + " FROM payments WHERE " + where
        + " ORDER BY " + order;
    Statement query(m_active, sql.c_str());
    for (const Value &value : values)
        query.value(value);
    while (query.step() == SQLITE_ROW)
        rows.push_back(readRow(query));
    if (!query.ok()) {
        m_stepFailed = true;
        m_lastError = sqlite3_extended_errcode(m_active);
    }
    return rows;
}

std::vector<LedgerRow> LedgerStore::select(
    const char *where, const Values &values, const char *order)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_active = readable();
    m_stepFailed = false;
    std::vector<LedgerRow> rows = selectLocked(where, values, order);
    if (m_stepFailed && m_active == m_db) {
        // A file that cannot be read now (a removed disk) is opened anew by the next call.
        if (!m_readFailureLogged)
            RunLog::write("payment ledger cannot read (%s)", sqlite3_errstr(m_lastError & 0xff));
        m_readFailureLogged = true;
        closeFile();
    }
    m_active = nullptr;
    return rows;
}

LedgerRow LedgerStore::row(long long id)
{
    std::vector<LedgerRow> rows = select("id = ?1", {id});
    return rows.empty() ? LedgerRow() : rows.front();
}

std::vector<LedgerRow> LedgerStore::followUpRows(const std::string &sid)
{
    constexpr long long kWindow = kFollowUpHours * 3600LL;
    return select("state = 'unresolved' AND (sid = ?1 OR sid IS NULL) AND CASE WHEN ?2 IS NOT NULL"
                  " AND gateway_at IS NOT NULL THEN gateway_at >= ?2 ELSE created_at >= ?3 END",
        {sid, gatewayText(kWindow), timeText(now() - std::time_t(kWindow))});
}

std::vector<LedgerRow> LedgerStore::noticeRows(const std::string &sid)
{
    return select(
        (std::string(kNeedsNotice) + " AND " + kOfStore).c_str(), {sid}, "updated_at, id");
}

std::vector<LedgerRow> LedgerStore::attentionRows(const QDate &day, const std::string &sid)
{
    return select("(sid = ?2 OR sid IS NULL) AND (state IN ('unresolved', 'matched') OR"
                  " (substr(updated_at, 1, 10) = ?1 AND state IN ('paid', 'closed')"
                  " AND checks > 0))",
        {dayText(day), sid}, "updated_at, id");
}

std::optional<LedgerRow> LedgerStore::unknownAttemptOfAmount(
    long long amountMinor, const std::string &sid)
{
    constexpr long long kWindow = kRetryMinutes * 60LL;
    std::vector<LedgerRow> rows = select("state IN ('unresolved', 'matched') AND"
                                         " (sid = ?1 OR sid IS NULL) AND amount_minor = ?2 AND"
                                         " CASE WHEN ?3 IS NOT NULL AND gateway_at IS NOT NULL"
                                         " THEN gateway_at >= ?3 ELSE created_at >= ?4 END",
        {sid, amountMinor, gatewayText(kWindow), timeText(now() - std::time_t(kWindow))});
    if (rows.empty())
        return std::nullopt;
    return rows.back();
}

LedgerStore::PaidTotals LedgerStore::paidTotals(const QDate &from, const QDate &to)
{
    PaidTotals totals;
    for (const LedgerRow &row : select("state IN ('paid', 'matched') AND"
                                       " substr(COALESCE(gateway_at, created_at), 1, 10)"
                                       " BETWEEN ?1 AND ?2",
             {dayText(from), dayText(to)})) {
        if (row.state == "matched") {
            ++totals.matched;
            continue;
        }
        ++totals.count;
        totals.sumMinor += row.amountMinor;
    }
    return totals;
}

std::vector<LedgerRow> LedgerStore::paidRowsMissingFrom(
    const QDate &from, const QDate &to, const std::set<std::string> &listed)
{
    std::vector<LedgerRow> missing;
    for (LedgerRow &row :
        select("state = 'paid' AND substr(COALESCE(gateway_at, created_at), 1, 10)"
               " BETWEEN ?1 AND ?2",
            {dayText(from), dayText(to)})) {
        if (!listed.count(row.outTradeNo))
            missing.push_back(std::move(row));
    }
    return missing;
}

std::vector<std::string> LedgerStore::notHeld(const std::vector<std::string> &numbers)
{
    std::set<std::string> held;
    for (const LedgerRow &row : select("out_trade_no IS NOT NULL", {}))
        held.insert(row.outTradeNo);
    std::vector<std::string> free;
    for (const std::string &number : numbers) {
        if (!held.count(number))
            free.push_back(number);
    }
    return free;
}

long long LedgerStore::recordRefund(
    const std::string &sid, const std::string &outTradeNo, std::optional<long long> amountMinor)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string now = timeText(this->now());
    const long long id = m_nextRefundId;
    if (!write("record refund", [&] {
            return run("INSERT INTO refunds (id, created_at, sid, out_trade_no, amount_minor,"
                       " state, updated_at, gateway_at) VALUES (?1, ?2, ?3, ?4, ?5, 'sending', ?2,"
                       " ?6)",
                       {id, now, sid.empty() ? Value() : Value(sid), outTradeNo,
                           amountMinor ? Value(*amountMinor) : Value(), gatewayText()})
                == 1;
        }))
        return 0;
    ++m_nextRefundId;
    return id;
}

bool LedgerStore::updateRefund(long long id, RefundState to, const std::string &message)
{
    const char *from = nullptr;
    switch (to) {
    case RefundState::Unresolved:
        from = "'sending'";
        break;
    case RefundState::Refunded:
    case RefundState::Refused:
        from = "'sending', 'unresolved'";
        break;
    case RefundState::Sending:
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return id > 0 && write("update refund", [&] {
        return run((std::string("UPDATE refunds SET state = ?1, message = ?2, updated_at = ?3,"
                                " checks = checks + (state = 'unresolved')"
                                " WHERE id = ?4 AND state IN (")
                       + from + ")")
                       .c_str(),
                   {std::string(refundStateName(to)), message, timeText(now()), id})
            == 1;
    });
}

bool LedgerStore::noteRefundCheck(long long id, const std::string &message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return id > 0 && write("refund check", [&] {
        return run("UPDATE refunds SET checks = checks + 1, message = ?1, updated_at = ?2"
                   " WHERE id = ?3 AND state = 'unresolved'",
                   {message, timeText(now()), id})
            == 1;
    });
}

std::vector<RefundRow> LedgerStore::selectRefunds(const char *where, const Values &values)
{
    std::vector<RefundRow> rows;
    std::lock_guard<std::mutex> lock(m_mutex);
    sqlite3 *db = readable();
    if (!db)
        return rows;
    const std::string sql
        = std::string("SELECT ") + kRefundColumns + " FROM refunds WHERE " + where + " ORDER BY id";
    Statement query(db, sql.c_str());
    for (const Value &value : values)
        query.value(value);
    while (query.step() == SQLITE_ROW) {
        RefundRow row;
        row.id = query.number(0);
        row.createdAt = query.column(1);
        row.sid = query.column(2);
        row.outTradeNo = query.column(3);
        if (!query.isNull(4))
            row.amountMinor = query.number(4);
        row.state = query.column(5);
        row.message = query.column(6);
        row.updatedAt = query.column(7);
        row.gatewayAt = query.column(8);
        row.checks = int(query.number(9));
        rows.push_back(std::move(row));
    }
    if (!query.ok() && db == m_db)
        closeFile();
    return rows;
}

std::optional<RefundRow> LedgerStore::unsettledRefund(const std::string &outTradeNo)
{
    std::vector<RefundRow> rows
        = selectRefunds("out_trade_no = ?1 AND state IN ('sending', 'unresolved')", {outTradeNo});
    if (rows.empty())
        return std::nullopt;
    return rows.back();
}

RefundRow LedgerStore::refund(long long id)
{
    std::vector<RefundRow> rows = selectRefunds("id = ?1", {id});
    return rows.empty() ? RefundRow() : rows.front();
}
