#pragma once

#include <QDate>

#include <atomic>
#include <ctime>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct sqlite3;

// One payment attempt as the ledger holds it (table "payments" of ledger.db).
struct LedgerRow
{
    long long id = 0;
    std::string createdAt; // local time "YYYY-MM-DD HH:MM:SS"
    std::string source; // "checkout" or "single-window"
    long long amountMinor = 0;
    std::string codeMasked; // every character but the last four is "*"
    std::string outTradeNo; // empty while not known (NULL in the file)
    std::string state;
    std::string message;
    int checks = 0; // follow-up queries made
    std::string updatedAt;

    // Found paid or closed by a follow-up, after the till had shown it failed or unfinished.
    bool recovered() const;
};

// The payment ledger: every attempt of the checkout and the single-window form, committed to
// SQLite before its request leaves and updated on every outcome, so that an order whose answer
// was lost can be followed up, even after a crash. One connection under one lock; it may be
// used from the GUI thread and the follow-up worker at the same time.
// A ledger that cannot be opened or written stops recording: every call then returns at once
// and changes nothing, one run-log line says why, and notRecording() tells the window to show
// notRecordingNotice(). Payments go on either way.
class LedgerStore final
{
public:
    enum class State { Sending, Pending, Paid, Refused, Unresolved, Closed };
    enum class Source { Checkout, SingleWindow };

    static constexpr const char *kFileName = "ledger.db";
    static constexpr int kKeepDays = 90;
    static constexpr int kFollowUpHours = 24;

    // Why an attempt is unresolved, as a window records it.
    static constexpr const char *kNoAnswer
        = "未收到支付应答（超时、网络失败或应答无效），支付结果未知";
    static constexpr const char *kPollingGaveUp = "查询支付结果已达次数上限，支付结果未知";
    static constexpr const char *kCutShort = "收款中途退出登录或关闭程序，支付结果未知";

    // The source of "now"; tests set their own.
    using Clock = std::time_t (*)();

    explicit LedgerStore(Clock clock = nullptr);
    ~LedgerStore();
    LedgerStore(const LedgerStore &) = delete;
    LedgerStore &operator=(const LedgerStore &) = delete;

    // The ledger of the running client, ledger.db in the data directory; opened by the app at
    // start (openDefault()), shared by the checkout, the single-window form and the follow-up.
    static LedgerStore &shared();
    bool openDefault();

    // Opens or creates the file (owner-only, WAL, synchronous=FULL). Rows left in "sending" or
    // "pending" by a run that ended mid-request or mid-poll become "unresolved"; rows older than
    // kKeepDays are removed. False when the ledger cannot record.
    bool open(const std::string &path);
    void close();

    bool notRecording() const { return m_failed.load(); }
    // True once, for the first caller after the ledger stopped recording: the window that
    // shows notRecordingNotice().
    bool takeNotice() { return m_failed.load() && !m_noticed.exchange(true); }
    static const char *notRecordingNotice();

    static const char *stateName(State state);
    static const char *sourceName(Source source);
    // "****************1234": the code's characters but the last four replaced by "*".
    static std::string maskCode(const std::string &payCode);

    // A new row in "sending", committed before this returns; the id to update, 0 when the
    // ledger is not recording (updates of id 0 do nothing).
    long long recordAttempt(Source source, long long amountMinor, const std::string &payCode);
    // Moves a row on: sending -> pending, paid, refused or unresolved; pending -> paid, refused
    // or unresolved; unresolved -> paid or closed (a follow-up). Any other move is ignored and
    // returns false. An empty `outTradeNo` keeps the number the row has.
    bool update(long long id, State to, const std::string &outTradeNo, const std::string &message);
    // One follow-up query made for an unresolved row: `checks` counts up; a known order number
    // is kept, and the outcome applied when it is not `Unresolved`.
    bool noteFollowUp(
        long long id, State outcome, const std::string &outTradeNo, const std::string &message);

    LedgerRow row(long long id);
    // Unresolved rows younger than kFollowUpHours, oldest first.
    std::vector<LedgerRow> followUpRows();
    // Every order number the ledger holds.
    std::set<std::string> heldOrderNumbers();
    // The rows that need a look: every unresolved one, however old (the follow-up stops after
    // kFollowUpHours), and those of `day` that a follow-up decided.
    std::vector<LedgerRow> attentionRows(const QDate &day);

    struct PaidTotals
    {
        long long count = 0;
        long long sumMinor = 0;
    };
    // The paid rows created on the days from..to.
    PaidTotals paidTotals(const QDate &from, const QDate &to);
    // The paid rows created on the days from..to whose order number is not in `listed`.
    std::vector<LedgerRow> paidRowsMissingFrom(
        const QDate &from, const QDate &to, const std::set<std::string> &listed);

private:
    std::string timeText(std::time_t when) const;
    std::time_t now() const;
    void fail(const char *what);
    std::vector<LedgerRow> select(const char *where, const std::vector<std::string> &values);

    Clock m_clock;
    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
    std::atomic<bool> m_failed {false};
    std::atomic<bool> m_noticed {false};
};
