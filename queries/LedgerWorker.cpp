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

LedgerWorker::LedgerWorker(LedgerStore &ledger, QObject *owner,
    std::function<void(const std::vector<Recovered> &)> recovered)
    : m_ledger(ledger)
    , m_recovered(std::move(recovered))
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
        std::vector<Recovered> paid = pass(client, target);
        if (m_stop)
            return;
        ++m_passes;
        if (!paid.empty()) {
            m_handOff.post([this, generation, paid = std::move(paid)] {
                if (generation == m_generation.load())
                    m_recovered(paid);
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

std::vector<LedgerWorker::Recovered> LedgerWorker::pass(HttpClient &client, const Target &target)
{
    std::vector<Recovered> paid;
    const std::vector<LedgerRow> rows = m_ledger.followUpRows();
    if (rows.empty())
        return paid;
    const QueryRequests::Session session = QueryRequests::currentSession();
    if (session.appid.empty())
        return paid; // nobody is logged in: the next pass after a login
    std::set<std::string> held = m_ledger.heldOrderNumbers();
    for (const LedgerRow &row : rows) {
        if (m_stop)
            break;
        std::string number = row.outTradeNo;
        if (number.empty()) {
            const auto [from, to] = LedgerFollowUp::listRange(row);
            const std::string reply = post(
                client, target, QueryRequests::orderList(from, to, Signing::nonce(), session).body);
            if (m_stop)
                break;
            const std::optional<OrderListReply> list = OrderListReply::decode(reply);
            const std::optional<std::string> found
                = list ? LedgerFollowUp::match(row, list->records, held, rows) : std::nullopt;
            if (!found) {
                m_ledger.noteFollowUp(row.id, LedgerStore::State::Unresolved, {}, {});
                continue;
            }
            number = *found;
            held.insert(number);
        }
        const std::string reply = post(client, target,
            PayTransaction::statusRequest(number, Signing::nonce(), session.appid, session.key)
                .body);
        if (m_stop)
            break;
        LedgerFollowUp::Verdict verdict = LedgerFollowUp::decideStatus(reply);
        const std::string message
            = verdict.state == LedgerStore::State::Unresolved ? std::string() : verdict.message;
        if (m_ledger.noteFollowUp(row.id, verdict.state, number, message)
            && verdict.state == LedgerStore::State::Paid) {
            RunLog::write("payment ledger: order %s found paid by a follow-up", number.c_str());
            // The status answer does not repeat the order number its receipt prints.
            if (verdict.order.orderNumber.empty())
                verdict.order.orderNumber = Text::utf8ToWide(number);
            paid.push_back({m_ledger.row(row.id), verdict.order});
        }
    }
    return paid;
}
