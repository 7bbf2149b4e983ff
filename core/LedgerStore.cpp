#include "LedgerStore.h"

#include "AppDir.h"
#include "RunLog.h"
#include "Text.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *kColumns = "id, created_at, source, amount_minor, code_masked,"
                                 " out_trade_no, state, message, checks, updated_at";

// Why a row found unfinished at start has no known outcome.
constexpr const char *kStoppedSending = "收款请求发出后程序中断，支付结果未知";
constexpr const char *kStoppedPolling = "查询支付结果时程序中断，支付结果未知";

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

private:
    sqlite3_stmt *m_statement = nullptr;
    int m_index = 0;
    bool m_ok = true;
};

std::string dayText(const QDate &day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

} // namespace

bool LedgerRow::recovered() const
{
    return (state == "paid" || state == "closed") && checks > 0;
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
    }
    return "";
}

const char *LedgerStore::sourceName(Source source)
{
    return source == Source::Checkout ? "checkout" : "single-window";
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
    std::tm parts {};
    localtime_r(&when, &parts);
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

bool LedgerStore::open(const std::string &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_db)
        return true;
    // Made owner-only before SQLite sees it; its -wal and -shm files take the same mode.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::fchmod(fd, 0600) != 0) {
        if (fd >= 0)
            ::close(fd);
        fail("open");
        return false;
    }
    ::close(fd);
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        fail("open");
        return false;
    }
    sqlite3_busy_timeout(m_db, 2000);
    const std::string now = timeText(this->now());
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
    Statement wal(m_db, "PRAGMA journal_mode");
    if (wal.step() != SQLITE_ROW || wal.column(0) != "wal") {
        fail("journal");
        return false;
    }
    Statement recover(m_db,
        "UPDATE payments SET message = CASE state WHEN 'sending' THEN ?1 ELSE ?2 END,"
        " state = 'unresolved', updated_at = ?3 WHERE state IN ('sending', 'pending')");
    recover.text(kStoppedSending).text(kStoppedPolling).text(now);
    Statement prune(m_db, "DELETE FROM payments WHERE created_at < ?1");
    prune.text(timeText(this->now() - std::time_t(kKeepDays) * 24 * 3600));
    if (recover.step() != SQLITE_DONE || prune.step() != SQLITE_DONE) {
        fail("recover");
        return false;
    }
    return true;
}

void LedgerStore::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

long long LedgerStore::recordAttempt(
    Source source, long long amountMinor, const std::string &payCode)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db)
        return 0;
    const std::string now = timeText(this->now());
    Statement insert(m_db,
        "INSERT INTO payments (created_at, source, amount_minor, code_masked, state,"
        " updated_at) VALUES (?1, ?2, ?3, ?4, 'sending', ?5)");
    insert.text(now)
        .text(sourceName(source))
        .integer(amountMinor)
        .text(maskCode(payCode))
        .text(now);
    if (insert.step() != SQLITE_DONE) {
        fail("record");
        return 0;
    }
    return sqlite3_last_insert_rowid(m_db);
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
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db || id <= 0)
        return false;
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
        fail("update");
        return false;
    }
    return sqlite3_changes(m_db) == 1;
}

bool LedgerStore::noteFollowUp(
    long long id, State outcome, const std::string &outTradeNo, const std::string &message)
{
    if (outcome != State::Unresolved && outcome != State::Paid && outcome != State::Closed)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db || id <= 0)
        return false;
    Statement change(m_db,
        "UPDATE payments SET checks = checks + 1, state = ?1,"
        " out_trade_no = COALESCE(?2, out_trade_no), message = COALESCE(?3, message),"
        " updated_at = ?4 WHERE id = ?5 AND state = 'unresolved'");
    change.text(stateName(outcome))
        .textOrNull(outTradeNo)
        .textOrNull(message)
        .text(timeText(now()))
        .integer(id);
    if (change.step() != SQLITE_DONE) {
        fail("follow-up");
        return false;
    }
    return sqlite3_changes(m_db) == 1;
}

std::vector<LedgerRow> LedgerStore::select(
    const char *where, const std::vector<std::string> &values)
{
    std::vector<LedgerRow> rows;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db)
        return rows;
    const std::string sql
        = std::string("SELECT ") + kColumns + " FROM payments WHERE " + where + " ORDER BY id";
    Statement query(m_db, sql.c_str());
    for (const std::string &value : values)
        query.text(value);
    while (query.step() == SQLITE_ROW) {
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
        rows.push_back(std::move(row));
    }
    if (!query.ok())
        fail("read");
    return rows;
}

LedgerRow LedgerStore::row(long long id)
{
    std::vector<LedgerRow> rows = select("id = ?1", {std::to_string(id)});
    return rows.empty() ? LedgerRow() : rows.front();
}

std::vector<LedgerRow> LedgerStore::followUpRows()
{
    return select("state = 'unresolved' AND created_at >= ?1",
        {timeText(now() - std::time_t(kFollowUpHours) * 3600)});
}

std::set<std::string> LedgerStore::heldOrderNumbers()
{
    std::set<std::string> numbers;
    for (const LedgerRow &row : select("out_trade_no IS NOT NULL", {}))
        numbers.insert(row.outTradeNo);
    return numbers;
}

std::vector<LedgerRow> LedgerStore::attentionRows(const QDate &day)
{
    return select("state = 'unresolved' OR (substr(created_at, 1, 10) = ?1"
                  " AND state IN ('paid', 'closed') AND checks > 0)",
        {dayText(day)});
}

LedgerStore::PaidTotals LedgerStore::paidTotals(const QDate &from, const QDate &to)
{
    PaidTotals totals;
    for (const LedgerRow &row :
        select("state = 'paid' AND substr(created_at, 1, 10) BETWEEN ?1 AND ?2",
            {dayText(from), dayText(to)})) {
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
