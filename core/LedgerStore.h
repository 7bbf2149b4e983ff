#pragma once

#include <QDate>

#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <variant>
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
    std::string outTradeNo; // empty while not known (NULL in the file); a candidate's while matched
    std::string state;
    std::string message;
    int checks = 0; // follow-up queries made
    std::string updatedAt;
    std::string sid; // the store it was made under; empty: written before stores were recorded
    std::string wallet; // "wx" or "ali" as the code's prefix tells; empty when it tells neither
    std::string payTime; // the gateway's pay time, when a follow-up learnt it
    std::string acknowledgedAt; // when the cashier read its notice; empty: not yet
    std::string rejected; // order numbers the cashier said are not this payment, blank-separated
    std::string gatewayAt; // created_at on the gateway's clock; empty when it was not known

    // Found paid or closed by a follow-up, after the till had shown it failed or unfinished.
    bool recovered() const;
    // What the cashier has still to read: decided by a follow-up and not acknowledged, or an
    // order of the list that may be this payment and waits for the cashier's word.
    bool needsNotice() const;
    bool wasRejected(const std::string &orderNumber) const;
};

// One refund attempt (table "refunds"): recorded before its request leaves, so that a refund
// whose answer was lost is never asked for again without a look at the order first.
struct RefundRow
{
    long long id = 0;
    std::string createdAt;
    std::string sid;
    std::string outTradeNo;
    std::optional<long long> amountMinor; // none: the whole order
    std::string state; // "sending", "refunded", "refused" or "unresolved"
    std::string message;
    std::string updatedAt;
    std::string gatewayAt; // created_at on the gateway's clock; empty when it was not known
    int checks = 0; // status queries of the order made about it
};

// The payment ledger: every attempt of the checkout and the single-window form, committed to
// SQLite before its request leaves and updated on every outcome, so that an order whose answer
// was lost can be followed up, even after a crash; and every refund attempt, so that a refund
// whose answer was lost is not sent twice. One connection under one lock; it may be used from
// the GUI thread and the follow-up worker at the same time.
// An order number belongs to one row: the file holds a unique index on it, and every write of
// a number checks, in the same transaction, that no other row holds it.
// Times are compared on the gateway's clock: each row carries, beside the till's created_at,
// the time on the gateway's clock (noteGatewayTime() keeps the offset between the two).
// A write the file cannot take (disk full, a removed disk, a read-only remount) is not lost: the
// ledger goes on in a copy in memory, keeps the changes in order, and writes them to the file as
// soon as it takes writes again (at the next write, or retryHeld()); meanwhile holding() is true.
// A ledger that cannot be opened at all records nothing this run; one run-log line says why.
// Payments go on either way; recordingNotice() is the line the cashier sees meanwhile.
class LedgerStore final
{
public:
    enum class State { Sending, Pending, Paid, Refused, Unresolved, Closed, Matched };
    enum class Source { Checkout, SingleWindow };
    enum class RefundState { Sending, Refunded, Refused, Unresolved };

    static constexpr const char *kFileName = "ledger.db";
    static constexpr int kKeepDays = 90;
    static constexpr int kFollowUpHours = 24;
    // A payment of the amount of an attempt of unknown outcome this recent is asked about first.
    static constexpr int kRetryMinutes = 15;
    // The till's clock is taken as right for dating rows by it while it is this close to the
    // gateway's (a time zone apart at most).
    static constexpr long long kTrustedOffsetSeconds = 24 * 3600;

    // Why an attempt is unresolved, as a window records it.
    static constexpr const char *kNoAnswer
        = "未收到支付应答（超时、网络失败或应答无效），支付结果未知";
    static constexpr const char *kPollingGaveUp = "查询支付结果已达次数上限，支付结果未知";
    static constexpr const char *kCutShort = "收款中途退出登录或关闭程序，支付结果未知";
    static constexpr const char *kAwaitingPayment = "等待顾客确认支付，支付结果未知";
    static constexpr const char *kNoOrderNumber = "支付应答没有订单号，支付结果未知";
    // Why a row found unfinished at start has no known outcome.
    static constexpr const char *kStoppedSending = "收款请求发出后程序中断，支付结果未知";
    static constexpr const char *kStoppedPolling = "查询支付结果时程序中断，支付结果未知";
    static constexpr const char *kRefundStopped = "退款请求发出后程序中断，退款结果未知";
    // A candidate the gateway gave to another attempt as its own order.
    static constexpr const char *kCandidateTaken = "候选订单属于另一笔收款，支付结果未知";

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

    // Opens or creates the file (owner-only, WAL, synchronous=FULL) and brings a ledger of an
    // earlier version up to date, keeping its rows. Rows left in "sending" or "pending" by a
    // run that ended mid-request or mid-poll become "unresolved", refunds left in "sending"
    // too. False when the ledger cannot record this run.
    bool open(const std::string &path);
    // Writes what it holds if it can (else each held change goes to the run log) and closes.
    void close();

    // The gateway told its time (the login's api_time, the pay time of a paid answer, the
    // time_end of a status answer that has just found the order paid): the offset between its
    // clock and the till's is kept from now on. The first one of a run also removes the
    // decided rows older than kKeepDays.
    void noteGatewayTime(const std::string &told);
    // Now on the gateway's clock, in wall seconds (GatewayClock); nullopt while not told.
    std::optional<long long> gatewayNow() const;

    // Not recording: the ledger could not be opened, or holds changes the file did not take.
    bool notRecording() const { return !m_opened.load() || m_holding.load(); }
    bool holding() const { return m_holding.load(); }
    // The lasting line the cashier sees while not recording; empty while recording.
    std::string recordingNotice() const;
    // Tries to write what the ledger holds; true when it holds nothing (any more).
    bool retryHeld();
    // Called after every change the ledger made, and when it starts or stops holding, from the
    // thread that made it, under the ledger's lock: it must only hand the news on.
    void setListener(std::function<void()> changed);

    static const char *stateName(State state);
    static const char *sourceName(Source source);
    static const char *refundStateName(RefundState state);
    // "****************1234": the code's characters but the last four replaced by "*".
    static std::string maskCode(const std::string &payCode);

    // A new row in "sending", committed before this returns, made under store `sid` with the
    // wallet the code's prefix tells; the id to update, 0 when the ledger is not recording
    // (updates of id 0 do nothing).
    long long recordAttempt(Source source, long long amountMinor, const std::string &payCode,
        const std::string &sid = {}, const std::string &wallet = {});
    // Moves a row on by the gateway's answer about it: sending -> pending, paid, refused or
    // unresolved; pending -> paid, refused or unresolved; unresolved -> paid or closed. Any
    // other move is ignored and returns false. An empty `outTradeNo` keeps the number the row
    // has. A number that another row holds is refused (false, and a run-log line), unless that
    // row only holds it as a candidate: the answer is proof, so the candidate goes back.
    bool update(long long id, State to, const std::string &outTradeNo, const std::string &message);
    // One follow-up query by the row's own order number for an unresolved row: `checks` counts
    // up; the outcome (Paid, Closed or Unresolved) is applied, with the pay time of a paid one.
    bool noteFollowUp(long long id, State outcome, const std::string &outTradeNo,
        const std::string &message, const std::string &payTime = {});

    // What the follow-up may match an order of the list against, read in the transaction that
    // writes the match: the row as it is now, every number a row holds, and the rows of the
    // row's store that may own an order of the list (sending, pending or unresolved, without
    // an order number; the row itself among them).
    struct Snapshot
    {
        LedgerRow row;
        std::set<std::string> held;
        std::vector<LedgerRow> open;
    };
    struct Candidate
    {
        std::string orderNumber;
        std::string payTime;
    };
    // One follow-up look at the order list for an unresolved row without order number:
    // `checks` counts up and, when `choose` names a candidate (a number nobody holds), the row
    // becomes "matched" with it, all in one transaction. The candidate, or nullopt.
    std::optional<Candidate> noteCandidate(
        long long id, const std::function<std::optional<Candidate>(const Snapshot &)> &choose);
    // The cashier's word on the candidate `orderNumber` shown for a matched row: it is the
    // payment (-> paid; its notice then offers the receipt), or it is not (-> unresolved, the
    // number is let go and never offered again). False, and nothing changes, when the row is no
    // longer matched with that number.
    bool confirmCandidate(long long id, const std::string &orderNumber);
    bool rejectCandidate(long long id, const std::string &orderNumber);
    // The cashier has read the notice of a row a follow-up decided.
    bool acknowledge(long long id);

    LedgerRow row(long long id);
    // Unresolved rows younger than kFollowUpHours of store `sid` or of no recorded store,
    // oldest first.
    std::vector<LedgerRow> followUpRows(const std::string &sid);
    // The rows whose notice the cashier has still to read, of store `sid` or of no recorded
    // store, in the order they were decided.
    std::vector<LedgerRow> noticeRows(const std::string &sid);
    // The rows of store `sid` (or of no recorded store) that need a look: every unresolved or
    // matched one, however old (the follow-up stops after kFollowUpHours), and those a
    // follow-up decided on `day`, by when it decided.
    std::vector<LedgerRow> attentionRows(const QDate &day, const std::string &sid);
    // The newest attempt of store `sid` of this amount from the last kRetryMinutes whose
    // outcome is unknown (unresolved or matched): a payment of the same amount may be a retry.
    std::optional<LedgerRow> unknownAttemptOfAmount(long long amountMinor, const std::string &sid);

    struct PaidTotals
    {
        long long count = 0;
        long long sumMinor = 0;
        long long matched = 0; // attempts that may be paid and wait for the cashier's word
    };
    // The paid rows made on the days from..to (days of the gateway's clock), and the matched
    // ones.
    PaidTotals paidTotals(const QDate &from, const QDate &to);
    // The paid rows made on the days from..to whose order number is not in `listed`.
    std::vector<LedgerRow> paidRowsMissingFrom(
        const QDate &from, const QDate &to, const std::set<std::string> &listed);
    // The numbers of `numbers` that no row holds.
    std::vector<std::string> notHeld(const std::vector<std::string> &numbers);

    // A new refund in "sending", committed before its request leaves; 0 when not recording.
    long long recordRefund(const std::string &sid, const std::string &outTradeNo,
        std::optional<long long> amountMinor);
    // sending -> refunded, refused or unresolved; unresolved -> refunded or refused (a look at
    // the order settled it). Any other move is ignored.
    bool updateRefund(long long id, RefundState to, const std::string &message);
    // A look at the order about an unresolved refund that could not settle it: `checks` counts
    // up and the row says why.
    bool noteRefundCheck(long long id, const std::string &message);
    // The newest refund of the order still in "sending" or "unresolved"; nullopt when none.
    std::optional<RefundRow> unsettledRefund(const std::string &outTradeNo);
    RefundRow refund(long long id);

private:
    using Value = std::variant<std::monostate, long long, std::string>;
    struct Step
    {
        std::string sql;
        std::vector<Value> values;
    };
    using Values = std::vector<Value>;

    std::string timeText(std::time_t when) const;
    std::time_t now() const;
    // Now on the gateway's clock, as text; NULL while not told.
    Value gatewayText(long long secondsAgo = 0) const;
    bool connect();
    void closeFile();
    bool upgrade();
    bool begin();
    void rollback(sqlite3 *db);
    void notify();
    void prune(bool clockTrusted);

    // Runs `body` in one transaction on the file, or on the copy in memory when the file does
    // not take it (the changes then wait in m_held); what `body` writes goes through run().
    // False when `body` returned false or the ledger cannot record.
    bool write(const char *what, const std::function<bool()> &body);
    // One statement of the transaction under way: the rows it changed, -1 when it failed.
    int run(const char *sql, const Values &values);
    int runOn(sqlite3 *db, const Step &step);
    bool execute(sqlite3 *db, const char *sql);
    // The file could not take a write: the copy in memory takes over.
    void cannotWrite(const char *what, const std::string &reason);
    bool makeMirror();
    void dropMirror();
    bool writeHeld();
    // The connection that reads see; null when there is none.
    sqlite3 *readable();

    std::vector<LedgerRow> select(
        const char *where, const Values &values, const char *order = "id");
    std::vector<LedgerRow> selectLocked(
        const char *where, const Values &values, const char *order = "id");
    std::vector<RefundRow> selectRefunds(const char *where, const Values &values);
    // The id of another row than `id` holding `number` and its state; 0 when none does.
    std::pair<long long, std::string> holderOf(const std::string &number, long long id);

    Clock m_clock;
    mutable std::mutex m_mutex;
    std::string m_path;
    sqlite3 *m_db = nullptr; // the file
    sqlite3 *m_mirror = nullptr; // the copy in memory, while the file does not take writes
    sqlite3 *m_active = nullptr; // the connection of the transaction under way
    std::vector<Step> m_steps; // written by the transaction under way
    bool m_stepFailed = false;
    int m_lastError = 0;
    std::vector<std::vector<Step>> m_held; // the transactions the file has still to take
    long long m_nextPaymentId = 1;
    long long m_nextRefundId = 1;
    bool m_readFailureLogged = false;
    std::function<void()> m_listener;
    std::atomic<bool> m_opened {false};
    std::atomic<bool> m_holding {false};
    static constexpr long long kUnknownOffset = -(1LL << 62);
    std::atomic<long long> m_gatewayOffset {kUnknownOffset};
};
