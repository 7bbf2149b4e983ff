#include "LedgerStore.h"

#include "AppDir.h"
#include "RunLog.h"
#include "System.h"
#include "Text.h"

#include <sqlite3.h>

#include <sstream>

namespace {

constexpr const char *kColumns
    = "id, created_at, source, amount_minor, code_masked, out_trade_no, state, message, checks,"
      " updated_at, sid, wallet, pay_time, acknowledged_at, rejected";
constexpr const char *kRefundColumns
    = "id, created_at, sid, out_trade_no, amount_minor, state, message, updated_at";

// The ledger's layout: 1 had only the first ten columns of "payments"; 2 added the store, the
// wallet, the pay time, the acknowledgement, the rejected candidates, the unique order numbers
// and the refunds.
constexpr int kSchemaVersion = 2;

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
    // An empty text binds NULL.
    Statement &textOrNull(const std::string &value)
    {
        if (!value.empty())
            return text(value);
        m_ok = m_ok && sqlite3_bind_null(m_statement, ++m_index) == SQLITE_OK;
        return *this;
    }
    Statement &integer(long long value)
    {
        m_ok = m_ok && sqlite3_bind_int64(m_statement, ++m_index, value) == SQLITE_OK;
        return *this;
    }
    // None binds NULL.
    Statement &integerOrNull(std::optional<long long> value)
    {
        if (value)
            return integer(*value);
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

const char *LedgerStore::notRecordingNotice()
{
    return "交易记录无法保存，收款不受影响，请联系技术支持";
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

void LedgerStore::fail(const char *what)
{
    const std::string reason = m_db ? sqlite3_errmsg(m_db) : "cannot open";
    if (!m_failed.exchange(true))
        RunLog::write("payment ledger is not recording (%s: %s)", what, reason.c_str());
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool LedgerStore::begin()
{
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    fail("begin");
    return false;
}

bool LedgerStore::commit()
{
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    fail("commit");
    return false;
}

void LedgerStore::rollback()
{
    if (m_db)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool LedgerStore::open(const std::string &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_db)
        return true;
    // Made owner-only before SQLite sees it; its -wal and -shm files take the same mode.
    if (!System::createPrivateFile(QString::fromStdString(path), false)) {
        fail("open");
        return false;
    }
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        fail("open");
        return false;
    }
    sqlite3_busy_timeout(m_db, 2000);
    const char *setup = "PRAGMA journal_mode=WAL;"
                        "PRAGMA synchronous=FULL;"
                        "CREATE TABLE IF NOT EXISTS payments ("
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
    if (sqlite3_exec(m_db, setup, nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail("create");
        return false;
    }
    {
        Statement wal(m_db, "PRAGMA journal_mode");
        if (wal.step() != SQLITE_ROW || wal.column(0) != "wal") {
            fail("journal");
            return false;
        }
    }
    if (!upgrade())
        return false;
    const std::string now = timeText(this->now());
    if (!begin())
        return false;
    Statement recover(m_db,
        "UPDATE payments SET message = CASE state WHEN 'sending' THEN ?1 ELSE ?2 END,"
        " state = 'unresolved', updated_at = ?3 WHERE state IN ('sending', 'pending')");
    recover.text(kStoppedSending).text(kStoppedPolling).text(now);
    Statement recoverRefunds(m_db,
        "UPDATE refunds SET state = 'unresolved', message = ?1, updated_at = ?2"
        " WHERE state = 'sending'");
    recoverRefunds.text(kRefundStopped).text(now);
    const std::string oldest = timeText(this->now() - std::time_t(kKeepDays) * 24 * 3600);
    Statement prune(m_db, "DELETE FROM payments WHERE created_at < ?1");
    prune.text(oldest);
    Statement pruneRefunds(m_db, "DELETE FROM refunds WHERE created_at < ?1");
    pruneRefunds.text(oldest);
    if (recover.step() != SQLITE_DONE || recoverRefunds.step() != SQLITE_DONE
        || prune.step() != SQLITE_DONE || pruneRefunds.step() != SQLITE_DONE) {
        rollback();
        fail("recover");
        return false;
    }
    return commit();
}

bool LedgerStore::upgrade()
{
    long long found = 0;
    {
        Statement version(m_db, "PRAGMA user_version");
        if (version.step() != SQLITE_ROW) {
            fail("version");
            return false;
        }
        found = version.number(0);
    }
    if (found > kSchemaVersion) {
        // Written by a newer till: its columns are unknown here, so nothing is written.
        RunLog::write("payment ledger of a newer version (%lld)", found);
        fail("version");
        return false;
    }
    if (found == kSchemaVersion)
        return true;
    std::set<std::string> columns;
    {
        Statement info(m_db, "PRAGMA table_info(payments)");
        while (info.step() == SQLITE_ROW)
            columns.insert(info.column(1));
    }
    if (!begin())
        return false;
    std::string steps;
    const std::pair<const char *, const char *> added[] = {{"sid", "TEXT"},
        {"wallet", "TEXT NOT NULL DEFAULT ''"}, {"pay_time", "TEXT NOT NULL DEFAULT ''"},
        {"acknowledged_at", "TEXT"}, {"rejected", "TEXT NOT NULL DEFAULT ''"}};
    for (const auto &[name, type] : added) {
        if (!columns.count(name))
            steps += std::string("ALTER TABLE payments ADD COLUMN ") + name + " " + type + ";";
    }
    steps += "CREATE TABLE IF NOT EXISTS refunds ("
             " id INTEGER PRIMARY KEY,"
             " created_at TEXT NOT NULL,"
             " sid TEXT,"
             " out_trade_no TEXT NOT NULL,"
             " amount_minor INTEGER,"
             " state TEXT NOT NULL,"
             " message TEXT NOT NULL DEFAULT '',"
             " updated_at TEXT NOT NULL);"
             "CREATE INDEX IF NOT EXISTS refunds_order ON refunds(out_trade_no);";
    if (sqlite3_exec(m_db, steps.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        rollback();
        fail("upgrade");
        return false;
    }
    // Rows an earlier till decided before today count as read: their notices, if any, were
    // shown then. Today's are shown again.
    Statement read(m_db,
        "UPDATE payments SET acknowledged_at = updated_at WHERE acknowledged_at IS NULL"
        " AND state IN ('paid', 'closed') AND checks > 0 AND updated_at < ?1");
    read.text(timeText(now()).substr(0, 10));
    Statement mark(m_db, "PRAGMA user_version = 2");
    if (read.step() != SQLITE_DONE || mark.step() != SQLITE_DONE) {
        rollback();
        fail("upgrade");
        return false;
    }
    if (!commit())
        return false;
    // One order number, one row. An earlier till may have booked one number twice: those rows
    // are kept as they are and named in the log; every later write checks the number itself.
    if (sqlite3_exec(m_db,
            "CREATE UNIQUE INDEX IF NOT EXISTS payments_order ON payments(out_trade_no)"
            " WHERE out_trade_no IS NOT NULL",
            nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        Statement twice(m_db,
            "SELECT out_trade_no, group_concat(id, ',') FROM payments"
            " WHERE out_trade_no IS NOT NULL GROUP BY out_trade_no HAVING count(*) > 1");
        while (twice.step() == SQLITE_ROW) {
            RunLog::write("payment ledger: order %s is held by rows %s", twice.column(0).c_str(),
                twice.column(1).c_str());
        }
    }
    return true;
}

void LedgerStore::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

long long LedgerStore::recordAttempt(Source source, long long amountMinor,
    const std::string &payCode, const std::string &sid, const std::string &wallet)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db)
        return 0;
    const std::string now = timeText(this->now());
    Statement insert(m_db,
        "INSERT INTO payments (created_at, source, amount_minor, code_masked, state,"
        " updated_at, sid, wallet) VALUES (?1, ?2, ?3, ?4, 'sending', ?5, ?6, ?7)");
    insert.text(now)
        .text(sourceName(source))
        .integer(amountMinor)
        .text(maskCode(payCode))
        .text(now)
        .textOrNull(sid)
        .text(wallet);
    if (insert.step() != SQLITE_DONE) {
        fail("record");
        return 0;
    }
    return sqlite3_last_insert_rowid(m_db);
}

std::pair<long long, std::string> LedgerStore::holderOf(const std::string &number, long long id)
{
    Statement query(m_db, "SELECT id, state FROM payments WHERE out_trade_no = ?1 AND id != ?2");
    query.text(number).integer(id);
    if (query.step() == SQLITE_ROW)
        return {query.number(0), query.column(1)};
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
    if (!m_db || id <= 0 || !begin())
        return false;
    if (!outTradeNo.empty()) {
        const auto [holder, holderState] = holderOf(outTradeNo, id);
        if (holder != 0 && holderState != "matched") {
            rollback();
            RunLog::write("payment ledger: order %s of row %lld is held by row %lld",
                outTradeNo.c_str(), id, holder);
            return false;
        }
        if (holder != 0) {
            // The gateway's answer about this attempt is proof; the list's guess goes back.
            Statement revoke(m_db,
                "UPDATE payments SET state = 'unresolved', out_trade_no = NULL,"
                " rejected = trim(rejected || ' ' || ?1), message = ?2, updated_at = ?3"
                " WHERE id = ?4");
            revoke.text(outTradeNo).text(kCandidateTaken).text(timeText(now())).integer(holder);
            if (revoke.step() != SQLITE_DONE) {
                rollback();
                fail("update");
                return false;
            }
        }
    }
    const std::string sql = std::string("UPDATE payments SET state = ?1,"
                                        " out_trade_no = COALESCE(?2, out_trade_no), message = ?3,"
                                        " updated_at = ?4 WHERE id = ?5 AND state IN (")
        + from + ")";
    Statement change(m_db, sql.c_str());
    change.text(stateName(to))
        .textOrNull(outTradeNo)
        .text(message)
        .text(timeText(now()))
        .integer(id);
    if (change.step() != SQLITE_DONE) {
        rollback();
        fail("update");
        return false;
    }
    const bool changed = sqlite3_changes(m_db) == 1;
    if (!changed) {
        rollback();
        return false;
    }
    return commit();
}

bool LedgerStore::noteFollowUp(long long id, State outcome, const std::string &outTradeNo,
    const std::string &message, const std::string &payTime)
{
    if (outcome != State::Unresolved && outcome != State::Paid && outcome != State::Closed)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db || id <= 0)
        return false;
    Statement change(m_db,
        "UPDATE payments SET checks = checks + 1, state = ?1,"
        " out_trade_no = COALESCE(?2, out_trade_no), message = COALESCE(?3, message),"
        " pay_time = COALESCE(?4, pay_time), updated_at = ?5"
        " WHERE id = ?6 AND state = 'unresolved' AND (?2 IS NULL OR NOT EXISTS"
        " (SELECT 1 FROM payments other WHERE other.out_trade_no = ?2 AND other.id != ?6))");
    change.text(stateName(outcome))
        .textOrNull(outTradeNo)
        .textOrNull(message)
        .textOrNull(payTime)
        .text(timeText(now()))
        .integer(id);
    if (change.step() != SQLITE_DONE) {
        fail("follow-up");
        return false;
    }
    return sqlite3_changes(m_db) == 1;
}

std::optional<LedgerStore::Candidate> LedgerStore::noteCandidate(
    long long id, const std::function<std::optional<Candidate>(const Snapshot &)> &choose)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db || id <= 0 || !begin())
        return std::nullopt;
    Snapshot snapshot;
    const std::vector<LedgerRow> rows = selectLocked("id = ?1", {std::to_string(id)});
    if (rows.empty() || rows.front().state != "unresolved" || !rows.front().outTradeNo.empty()) {
        rollback();
        return std::nullopt;
    }
    snapshot.row = rows.front();
    for (const LedgerRow &held : selectLocked("out_trade_no IS NOT NULL", {}))
        snapshot.held.insert(held.outTradeNo);
    snapshot.open = selectLocked("(sid = ?1 OR sid IS NULL OR ?1 = '') AND out_trade_no IS NULL"
                                 " AND state IN ('sending', 'pending', 'unresolved')",
        {snapshot.row.sid});
    if (!m_db)
        return std::nullopt;
    std::optional<Candidate> candidate = choose(snapshot);
    if (candidate
        && (candidate->orderNumber.empty() || snapshot.held.count(candidate->orderNumber)
            || snapshot.row.wasRejected(candidate->orderNumber)))
        candidate.reset();
    Statement change(m_db,
        "UPDATE payments SET checks = checks + 1,"
        " state = CASE WHEN ?1 IS NULL THEN state ELSE 'matched' END,"
        " out_trade_no = ?1, pay_time = COALESCE(?2, pay_time), updated_at = ?3 WHERE id = ?4");
    change.textOrNull(candidate ? candidate->orderNumber : std::string())
        .textOrNull(candidate ? candidate->payTime : std::string())
        .text(timeText(now()))
        .integer(id);
    if (change.step() != SQLITE_DONE) {
        rollback();
        fail("follow-up");
        return std::nullopt;
    }
    if (!commit())
        return std::nullopt;
    return candidate;
}

bool LedgerStore::changeOne(long long id, const char *sql, const char *what)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db || id <= 0)
        return false;
    Statement change(m_db, sql);
    change.text(timeText(now())).integer(id);
    if (change.step() != SQLITE_DONE) {
        fail(what);
        return false;
    }
    return sqlite3_changes(m_db) == 1;
}

bool LedgerStore::confirmCandidate(long long id)
{
    return changeOne(id,
        "UPDATE payments SET state = 'paid', acknowledged_at = NULL, updated_at = ?1"
        " WHERE id = ?2 AND state = 'matched'",
        "confirm");
}

bool LedgerStore::rejectCandidate(long long id)
{
    return changeOne(id,
        "UPDATE payments SET state = 'unresolved', out_trade_no = NULL, updated_at = ?1,"
        " rejected = trim(rejected || ' ' || out_trade_no) WHERE id = ?2 AND state = 'matched'",
        "reject");
}

bool LedgerStore::acknowledge(long long id)
{
    return changeOne(id,
        "UPDATE payments SET acknowledged_at = ?1 WHERE id = ?2 AND acknowledged_at IS NULL"
        " AND state IN ('paid', 'closed') AND checks > 0",
        "acknowledge");
}

std::vector<LedgerRow> LedgerStore::selectLocked(
    const char *where, const std::vector<std::string> &values, const char *order)
{
    std::vector<LedgerRow> rows;
    if (!m_db)
        return rows;
    const std::string sql = std::string("SELECT ") + kColumns + " FROM payments WHERE " + where
        + " ORDER BY " + order;
    Statement query(m_db, sql.c_str());
    for (const std::string &value : values)
        query.text(value);
    while (query.step() == SQLITE_ROW)
        rows.push_back(readRow(query));
    if (!query.ok()) {
        rollback();
        fail("read");
    }
    return rows;
}

std::vector<LedgerRow> LedgerStore::select(
    const char *where, const std::vector<std::string> &values, const char *order)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return selectLocked(where, values, order);
}

LedgerRow LedgerStore::row(long long id)
{
    std::vector<LedgerRow> rows = select("id = ?1", {std::to_string(id)});
    return rows.empty() ? LedgerRow() : rows.front();
}

std::vector<LedgerRow> LedgerStore::followUpRows(const std::string &sid)
{
    return select("state = 'unresolved' AND (sid = ?1 OR sid IS NULL) AND created_at >= ?2",
        {sid, timeText(now() - std::time_t(kFollowUpHours) * 3600)});
}

std::vector<LedgerRow> LedgerStore::noticeRows(const std::string &sid)
{
    return select(
        (std::string(kNeedsNotice) + " AND " + kOfStore).c_str(), {sid}, "updated_at, id");
}

std::vector<LedgerRow> LedgerStore::attentionRows(const QDate &day)
{
    return select("state IN ('unresolved', 'matched') OR (substr(updated_at, 1, 10) = ?1"
                  " AND state IN ('paid', 'closed') AND checks > 0)",
        {dayText(day)}, "updated_at, id");
}

std::optional<LedgerRow> LedgerStore::unknownAttemptOfAmount(
    long long amountMinor, const std::string &sid)
{
    std::vector<LedgerRow> rows = select("state IN ('unresolved', 'matched') AND "
                                         "(sid = ?1 OR sid IS NULL) AND amount_minor = ?2"
                                         " AND created_at >= ?3",
        {sid, std::to_string(amountMinor), timeText(now() - std::time_t(kRetryMinutes) * 60)});
    if (rows.empty())
        return std::nullopt;
    return rows.back();
}

LedgerStore::PaidTotals LedgerStore::paidTotals(const QDate &from, const QDate &to)
{
    PaidTotals totals;
    for (const LedgerRow &row :
        select("state IN ('paid', 'matched') AND substr(created_at, 1, 10) BETWEEN ?1 AND ?2",
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
    for (LedgerRow &row : select("state = 'paid' AND substr(created_at, 1, 10) BETWEEN ?1 AND ?2",
             {dayText(from), dayText(to)})) {
        if (!listed.count(row.outTradeNo))
            missing.push_back(std::move(row));
    }
    return missing;
}

long long LedgerStore::recordRefund(
    const std::string &sid, const std::string &outTradeNo, std::optional<long long> amountMinor)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db)
        return 0;
    const std::string now = timeText(this->now());
    Statement insert(m_db,
        "INSERT INTO refunds (created_at, sid, out_trade_no, amount_minor, state, updated_at)"
        " VALUES (?1, ?2, ?3, ?4, 'sending', ?5)");
    insert.text(now).textOrNull(sid).text(outTradeNo).integerOrNull(amountMinor).text(now);
    if (insert.step() != SQLITE_DONE) {
        fail("record refund");
        return 0;
    }
    return sqlite3_last_insert_rowid(m_db);
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
    if (!m_db || id <= 0)
        return false;
    const std::string sql = std::string("UPDATE refunds SET state = ?1, message = ?2,"
                                        " updated_at = ?3 WHERE id = ?4 AND state IN (")
        + from + ")";
    Statement change(m_db, sql.c_str());
    change.text(refundStateName(to)).text(message).text(timeText(now())).integer(id);
    if (change.step() != SQLITE_DONE) {
        fail("update refund");
        return false;
    }
    return sqlite3_changes(m_db) == 1;
}

std::vector<RefundRow> LedgerStore::selectRefunds(
    const char *where, const std::vector<std::string> &values)
{
    std::vector<RefundRow> rows;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db)
        return rows;
    const std::string sql
        = std::string("SELECT ") + kRefundColumns + " FROM refunds WHERE " + where + " ORDER BY id";
    Statement query(m_db, sql.c_str());
    for (const std::string &value : values)
        query.text(value);
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
        rows.push_back(std::move(row));
    }
    if (!query.ok())
        fail("read refunds");
    return rows;
}

std::optional<RefundRow> LedgerStore::unresolvedRefund(const std::string &outTradeNo)
{
    std::vector<RefundRow> rows
        = selectRefunds("out_trade_no = ?1 AND state = 'unresolved'", {outTradeNo});
    if (rows.empty())
        return std::nullopt;
    return rows.back();
}

RefundRow LedgerStore::refund(long long id)
{
    std::vector<RefundRow> rows = selectRefunds("id = ?1", {std::to_string(id)});
    return rows.empty() ? RefundRow() : rows.front();
}
