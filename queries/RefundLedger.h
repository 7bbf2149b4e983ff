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
    // The answer to "auto_orderQuery" of `orderNumber`, about its refund of unknown outcome:
    // order status "2" Refunded, "1" (normal) or "0" (cancelled, never paid) Refused. nullopt
    // when it tells nothing: no answer, not JSON, another code, another order, another status.
    static std::optional<Decision> decideCheck(
        const std::string &reply, const std::string &orderNumber);

    explicit RefundLedger(LedgerStore &ledger = LedgerStore::shared());

    // When an earlier refund of the order has an unknown outcome no refund leaves (true): the
    // order's status is asked on `worker` instead, its answer settles the earlier refund, and
    // `checked` gets the refund's state then (Unresolved: the answer told nothing; the next
    // refund asks again). False, and nothing happens, when the order has no such refund.
    bool checkFirst(BackgroundRequest &worker, const std::string &orderNumber,
        std::function<void(State)> checked);
    // Records the refund (none: the whole order) under the logged-in store, then posts
    // `request` on `worker` and logs the reply after `logLabel`. The answer settles the row on
    // the worker; `answered` gets it on the owner's thread (nullopt: the outcome is unknown).
    // False, and nothing is recorded or sent, while `worker` is busy.
    bool send(BackgroundRequest &worker, const QueryRequests::Request &request,
        const std::string &orderNumber, std::optional<long long> amountMinor, const char *logLabel,
        std::function<void(const std::optional<RefundReply> &)> answered);

private:
    LedgerStore &m_ledger;
};
