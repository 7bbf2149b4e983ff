#pragma once

#include "CurrentOrder.h"
#include "HandOff.h"
#include "LedgerStore.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class HttpClient;

// Follows up the ledger's unresolved rows on a worker thread, one gateway request at a time,
// with the process-wide session: a row with an order number is queried ("auto_orderQuery"), a
// row without one is looked for in the order list of its day ("mch_orderList") first. A pass
// runs at start() and then every kIntervalMs while the ledger has rows to follow up; wake()
// asks for one now. Rows a pass found paid are handed to `recovered` on the owner's thread.
class LedgerWorker final
{
public:
    static constexpr int kIntervalMs = 60000;

    // A row a follow-up found paid, with the order as its status answer gave it (pay type,
    // amount, pay time) for the receipt.
    struct Recovered
    {
        LedgerRow row;
        CurrentOrder order;
    };

    struct Target
    {
        std::string url; // the gateway's trade path
        std::string caBundle;
    };
    // The configured gateway; read on the calling thread.
    static Target configuredTarget();

    // `owner` outlives this object; `recovered` runs in its thread.
    LedgerWorker(LedgerStore &ledger, QObject *owner,
        std::function<void(const std::vector<Recovered> &)> recovered);
    ~LedgerWorker();
    LedgerWorker(const LedgerWorker &) = delete;
    LedgerWorker &operator=(const LedgerWorker &) = delete;

    // At login: a pass now, then one every `intervalMs`. A running worker is stopped first.
    void start(const Target &target, int intervalMs = kIntervalMs);
    // From the owner's thread: ends the pass under way (its request is cut short) and waits
    // for the thread; once it returns, `recovered` is not called any more.
    void stop();
    // A pass as soon as the worker is free (an attempt has just become unresolved).
    void wake();

    // Passes completed since start(); for tests and the log.
    int passes() const { return m_passes.load(); }

private:
    void run(Target target, int intervalMs, unsigned generation);
    std::vector<Recovered> pass(HttpClient &client, const Target &target);
    std::string post(HttpClient &client, const Target &target, const std::string &body);

    LedgerStore &m_ledger;
    std::function<void(const std::vector<Recovered> &)> m_recovered;
    HandOff m_handOff; // in the owner's thread
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    bool m_woken = false; // under m_mutex
    std::atomic<bool> m_stop {false};
    std::atomic<unsigned> m_generation {0};
    std::atomic<int> m_passes {0};
};
