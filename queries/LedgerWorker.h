#pragma once

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

// Follows up the ledger's unresolved rows of the logged-in store on a worker thread, one
// gateway request at a time, with the process-wide session: a row with an order number is
// queried ("auto_orderQuery"), which decides it; a row without one is looked for in the order
// list of its day ("mch_orderList"), where one order that fits is only a candidate for the
// cashier to confirm ("matched"). A pass runs at start() and then every kIntervalMs while the
// ledger has rows to follow up; wake() asks for one now. Whatever a pass decided is in the
// ledger before `decided` runs on the owner's thread, so a stop mid-pass loses no notice.
class LedgerWorker final
{
public:
    static constexpr int kIntervalMs = 60000;

    struct Target
    {
        std::string url; // the gateway's trade path
        std::string caBundle;
    };
    // The configured gateway; read on the calling thread.
    static Target configuredTarget();

    // `owner` outlives this object; `decided` runs in its thread after a pass that decided or
    // matched a row.
    LedgerWorker(LedgerStore &ledger, QObject *owner, std::function<void()> decided);
    ~LedgerWorker();
    LedgerWorker(const LedgerWorker &) = delete;
    LedgerWorker &operator=(const LedgerWorker &) = delete;

    // At login: a pass now, then one every `intervalMs`. A running worker is stopped first.
    void start(const Target &target, int intervalMs = kIntervalMs);
    // From the owner's thread: ends the pass under way (its request is cut short) and waits
    // for the thread; once it returns, `decided` is not called any more.
    void stop();
    // A pass as soon as the worker is free (an attempt has just become unresolved).
    void wake();

    // Passes completed since start(); for tests and the log.
    int passes() const { return m_passes.load(); }

private:
    void run(Target target, int intervalMs, unsigned generation);
    // True when it decided or matched a row.
    bool pass(HttpClient &client, const Target &target);
    std::string post(HttpClient &client, const Target &target, const std::string &body);

    LedgerStore &m_ledger;
    std::function<void()> m_decided;
    HandOff m_handOff; // in the owner's thread
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    bool m_woken = false; // under m_mutex
    std::atomic<bool> m_stop {false};
    std::atomic<unsigned> m_generation {0};
    std::atomic<int> m_passes {0};
};
