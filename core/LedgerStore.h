#pragma once

#include <QDate>

#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
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
};

// The payment ledger: every attempt of the checkout and the single-window form, committed to
// SQLite before its request leaves and updated on every outcome, so that an order whose answer
// was lost can be followed up, even after a crash; and every refund attempt, so that a refund
// whose answer was lost is not sent twice. One connection under one lock; it may be used from
// the GUI thread and the follow-up worker at the same time.
// An order number belongs to one row: the file holds a unique index on it, and every write of
// a number checks, in the same transaction, that no other row holds it.
// A ledger that cannot be opened or written stops recording: every call then returns at once
// and changes nothing, one run-log line says why, and notRecording() tells the window to show
// notRecordingNotice(). Payments go on either way.
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
    // too; rows older than kKeepDays are removed. False when the ledger cannot record.
    bool open(const std::string &path);
    void close();

    bool notRecording() const { return m_failed.load(); }
    // True once, for the first caller after the ledger stopped recording: the window that
    // shows notRecordingNotice().
    bool takeNotice() { return m_failed.load() && !m_noticed.exchange(true); }
    static const char *notRecordingNotice();

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
    // The cashier's word on a matched row: it is the payment (-> paid; its notice then offers
    // the receipt), or it is not (-> unresolved, the number is let go and never offered again).
    bool confirmCandidate(long long id);
    bool rejectCandidate(long long id);
    // The cashier has read the notice of a row a follow-up decided.
    bool acknowledge(long long id);

    LedgerRow row(long long id);
    // Unresolved rows younger than kFollowUpHours of store `sid` or of no recorded store,
    // oldest first.
    std::vector<LedgerRow> followUpRows(const std::string &sid);
    // The rows whose notice the cashier has still to read, of store `sid` or of no recorded
    // store, in the order they were decided.
    std::vector<LedgerRow> noticeRows(const std::string &sid);
    // The rows that need a look: every unresolved or matched one, however old (the follow-up
    // stops after kFollowUpHours), and those a follow-up decided on `day`, by when it decided.
    std::vector<LedgerRow> attentionRows(const QDate &day);
    // The newest attempt of store `sid` of this amount from the last kRetryMinutes whose
    // outcome is unknown (unresolved or matched): a payment of the same amount may be a retry.
    std::optional<LedgerRow> unknownAttemptOfAmount(long long amountMinor, const std::string &sid);

    struct PaidTotals
    {
        long long count = 0;
        long long sumMinor = 0;
        long long matched = 0; // attempts that may be paid and wait for the cashier's word
    };
    // The paid rows created on the days from..to, and the matched ones.
    PaidTotals paidTotals(const QDate &from, const QDate &to);
    // The paid rows created on the days from..to whose order number is not in `listed`.
    std::vector<LedgerRow> paidRowsMissingFrom(
        const QDate &from, const QDate &to, const std::set<std::string> &listed);

    // A new refund in "sending", committed before its request leaves; 0 when not recording.
    long long recordRefund(const std::string &sid, const std::string &outTradeNo,
        std::optional<long long> amountMinor);
    // sending -> refunded, refused or unresolved; unresolved -> refunded or refused (a look at
    // the order settled it). Any other move is ignored.
    bool updateRefund(long long id, RefundState to, const std::string &message);
    // The newest refund of the order whose outcome is not known; nullopt when there is none.
    std::optional<RefundRow> unresolvedRefund(const std::string &outTradeNo);
    RefundRow refund(long long id);

private:
    std::string timeText(std::time_t when) const;
    std::time_t now() const;
    void fail(const char *what);
    bool upgrade();
    std::vector<LedgerRow> select(
        const char *where, const std::vector<std::string> &values, const char *order = "id");
    std::vector<LedgerRow> selectLocked(
        const char *where, const std::vector<std::string> &values, const char *order = "id");
    std::vector<RefundRow> selectRefunds(const char *where, const std::vector<std::string> &values);
    // Runs `sql`, an UPDATE of row ?2 with ?1 the time now; true when it changed the row.
    bool changeOne(long long id, const char *sql, const char *what);
    // The id of another row than `id` holding `number` and its state; 0 when none does.
    std::pair<long long, std::string> holderOf(const std::string &number, long long id);
    bool begin();
    bool commit();
    void rollback();

    Clock m_clock;
    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
    std::atomic<bool> m_failed {false};
    std::atomic<bool> m_noticed {false};
};
