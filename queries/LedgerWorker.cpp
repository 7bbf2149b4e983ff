#include "LedgerWorker.h"

#include "HttpClient.h"
#include "LedgerFollowUp.h"
#include "OrderListReply.h"
#include "PayTransaction.h"
#include "QueryRequests.h"
#include "RunLog.h"
#include "Signing.h"
#include "Text.h"

#include <chrono>

LedgerWorker::Target LedgerWorker::configuredTarget()
{
    const BackgroundRequest::Post post = QueryRequests::gatewayPost(std::string());
    return {post.url, post.caBundle};
}

LedgerWorker::LedgerWorker(LedgerStore &ledger, QObject *owner, std::function<void()> decided)
    : m_ledger(ledger)
    , m_decided(std::move(decided))
{
    m_handOff.moveToThread(owner->thread());
}

LedgerWorker::~LedgerWorker()
{
    stop();
}

void LedgerWorker::start(const Target &target, int intervalMs)
{
    stop();
    m_stop = false;
    m_passes = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_thread = std::thread(&LedgerWorker::run, this, target, intervalMs, ++m_generation);
}

void LedgerWorker::stop()
{
    // Work already handed to the owner's thread is skipped from now on.
    ++m_generation;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wakeUp.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void LedgerWorker::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_wakeUp.notify_all();
}

void LedgerWorker::run(Target target, int intervalMs, unsigned generation)
{
    HttpClient client(target.caBundle);
    client.setCancelFlag(&m_stop);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wakeUp.wait_for(lock, std::chrono::milliseconds(intervalMs),
                [this] { return m_woken || m_stop.load(); });
            if (m_stop)
                return;
            m_woken = false;
        }
        const bool decided = pass(client, target);
        if (m_stop)
            return;
        ++m_passes;
        if (decided) {
            m_handOff.post([this, generation] {
                if (generation == m_generation.load())
                    m_decided();
            });
        }
    }
}

std::string LedgerWorker::post(HttpClient &client, const Target &target, const std::string &body)
{
    std::string reply;
    if (client.Post(target.url, body, reply, "json") != 200)
        reply.clear();
    return reply;
}

bool LedgerWorker::pass(HttpClient &client, const Target &target)
{
    bool decided = false;
    // What the ledger keeps in memory because the disk did not take it goes in when it can.
    m_ledger.retryHeld();
    const QueryRequests::Session session = QueryRequests::currentSession();
    if (session.appid.empty())
        return decided; // nobody is logged in: the next pass after a login
    for (const LedgerRow &row : m_ledger.followUpRows(session.sid)) {
        if (m_stop)
            break;
        if (row.outTradeNo.empty()) {
            // Made before the gateway told its time: no order of the list can be matched to it.
            const auto range = LedgerFollowUp::listRange(row);
            if (!range)
                continue;
            const auto &[from, to] = *range;
            const std::string reply = post(
                client, target, QueryRequests::orderList(from, to, Signing::nonce(), session).body);
            if (m_stop)
                break;
            const std::optional<OrderListReply> list = OrderListReply::decode(reply);
            const std::vector<OrderRecord> none;
            const std::vector<OrderRecord> &orders = list ? list->records : none;
            // Matched against the ledger as it is when the match is written: a retry recorded
            // or answered meanwhile is seen.
            const std::optional<LedgerStore::Candidate> found
                = m_ledger.noteCandidate(row.id, [&orders](const LedgerStore::Snapshot &now) {
                      return LedgerFollowUp::candidate(now, orders);
                  });
            if (found) {
                RunLog::write("payment ledger: order %s may be the payment of row %lld, to be"
                              " confirmed by the cashier",
                    found->orderNumber.c_str(), row.id);
                decided = true;
            }
            continue;
        }
        const std::string reply = post(client, target,
            PayTransaction::statusRequest(
                row.outTradeNo, Signing::nonce(), session.appid, session.key)
                .body);
        if (m_stop)
            break;
        const LedgerFollowUp::Verdict verdict = LedgerFollowUp::decideStatus(reply);
        const bool final = verdict.state != LedgerStore::State::Unresolved;
        if (m_ledger.noteFollowUp(row.id, verdict.state, row.outTradeNo,
                final ? verdict.message : std::string(),
                final ? Text::wideToUtf8(verdict.order.payTime) : std::string())
            && final) {
            RunLog::write("payment ledger: order %s found %s by a follow-up",
                row.outTradeNo.c_str(), LedgerStore::stateName(verdict.state));
            decided = true;
        }
    }
    return decided;
}
