#pragma once

#include "BackgroundRequest.h"
#include "LedgerStore.h"
#include "QueryRequests.h"
#include "RefundReply.h"

#include <functional>
#include <optional>
#include <string>

// The refunds of the payment ledger, the one rule of both refund paths (the refund window and
// the order list): every refund is recorded before its request leaves and settled by its
// answer. A refund whose answer was lost may have been paid out, so no other refund of that
// order leaves until a status query of the order has settled the first: on a gateway that
// takes partial refunds a second one would pay the customer twice.
class RefundLedger final
{
public:
    using State = LedgerStore::RefundState;

    struct Decision
    {
        State state = State::Unresolved;
        std::string message; // what the ledger row says
    };

    // The answer to "auto_orderRefund" (nullopt: none, not JSON or of the wrong shape): code
    // "100" Refunded and another code Refused, both with the answer's msg; else Unresolved.
    static Decision decideAnswer(const std::optional<RefundReply> &answer);
    // The answer to "auto_orderQuery" of the order of `earlier`, a refund of unknown outcome.
    // A refund of the whole order: order status "2" Refunded, "1" (normal) or "0" (cancelled,
    // never paid) Refused. A refund of less than the order's total (or of an amount when the
    // answer tells no total) cannot be settled by the order's status (an earlier partial refund
    // makes it "2", a partial refund may leave it "1"): Unresolved, saying so. nullopt when the
    // answer tells nothing: no answer, not JSON, another code, another order, another status.
    static std::optional<Decision> decideCheck(const std::string &reply, const RefundRow &earlier);

    // What stands before a new refund of an order.
    enum class Earlier {
        None, // nothing: the refund may go
        InFlight, // a refund of the order is on its way (from this window or another): none goes
        Checking, // one has an unknown outcome: the order's status is being asked first
    };
    // What a look at the order found about the earlier refund.
    struct Checked
    {
        State state = State::Unresolved; // Unresolved: nothing settled
        bool gatewayCannotTell = false; // a partial refund the order's status cannot settle
    };

    explicit RefundLedger(LedgerStore &ledger = LedgerStore::shared());

    // When a refund of the order is still on its way, nothing happens (InFlight). When an
    // earlier refund of the order has an unknown outcome, no refund leaves (Checking): the
    // order's status is asked on `worker` instead, its answer settles the earlier refund, and
    // `checked` gets what it found. A partial refund that the gateway could not settle and the
    // cashier has been told about no longer stands in the way.
    Earlier checkFirst(BackgroundRequest &worker, const std::string &orderNumber,
        std::function<void(Checked)> checked);
    // Records the refund (none: the whole order) under the logged-in store, then posts
    // `request` on `worker` and logs the reply after `logLabel`. The answer settles the row on
    // the worker; `answered` gets it on the owner's thread (nullopt: the outcome is unknown).
    // False, and nothing is recorded or sent, while `worker` is busy.
    bool send(BackgroundRequest &worker, const QueryRequests::Request &request,
        const std::string &orderNumber, std::optional<long long> amountMinor, const char *logLabel,
        std::function<void(const std::optional<RefundReply> &)> answered);

    // A refund or a look at the order this object started has not handed its answer over yet.
    bool running() const { return m_running; }

private:
    LedgerStore &m_ledger;
    bool m_running = false; // on the owner's thread
};
