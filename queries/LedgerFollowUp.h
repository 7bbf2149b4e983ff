#pragma once

#include "CurrentOrder.h"
#include "LedgerStore.h"
#include "OrderRecord.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

// The decisions of the ledger's follow-up, without the network: what a status answer about a
// row's own order means for it, and which order of the order list may be the payment of a row
// without order number. The first is proof; the second is only a candidate for the cashier to
// confirm: the store's list holds every till's orders, and a retry may be the real payment.
namespace LedgerFollowUp {

// An order of the list belongs to a row when it was created from kWindowBefore seconds before
// the row to kWindowAfter seconds after it, both on the gateway's clock.
constexpr int kWindowBefore = 5;
constexpr int kWindowAfter = 120;

struct Verdict
{
    LedgerStore::State state = LedgerStore::State::Unresolved; // Paid, Closed or Unresolved
    std::string message; // the answer's msg; empty when there is none
    CurrentOrder order; // as the answer left it: what a receipt of a recovered payment prints
};

// An "auto_orderQuery" answer, decided as the checkout's polling decides it: paid -> Paid,
// failed -> Closed, anything else (pending, a refusal, no answer, not JSON) -> Unresolved.
Verdict decideStatus(const std::string &reply);

// The time an order of the list was created, on the gateway's clock (GatewayClock's wall
// seconds): the yyyyMMddHHmmss that leads its order number, else its trade time; nullopt when
// neither reads as a time.
std::optional<long long> orderTime(const OrderRecord &order);
// When a row was made, on the gateway's clock; nullopt when the till did not know that clock
// then (such a row is no order's payment, and no other row's rival).
std::optional<long long> rowTime(const LedgerRow &row);

// An order of the list could be the payment of `row`: its number one word of printable
// characters, the list has it paid, of the row's amount, of the row's wallet (when the code
// told it), created within the row's window.
bool couldBe(const LedgerRow &row, const OrderRecord &order);

// The candidate for `row` among `orders`: the one order that could be it, that no row holds
// (`held`), that the cashier has not said is another payment, and that no other row without
// order number (`openRows`, which may include `row` itself) could also be. None or several:
// nullopt.
std::optional<std::string> match(const LedgerRow &row, const std::vector<OrderRecord> &orders,
    const std::set<std::string> &held, const std::vector<LedgerRow> &openRows);

// The candidate of a snapshot the ledger took for the row, with the pay time the list gives.
std::optional<LedgerStore::Candidate> candidate(
    const LedgerStore::Snapshot &snapshot, const std::vector<OrderRecord> &orders);

// What a receipt of a row found paid prints: its order number, wallet, amount and pay time.
CurrentOrder receiptOrder(const LedgerRow &row);

// The first and last moment of the order list to ask for `row` ("yyyyMMddHHmmss"): the days
// its window touches, whole, on the gateway's clock; nullopt when the row has no time on it.
std::optional<std::pair<std::string, std::string>> listRange(const LedgerRow &row);

} // namespace LedgerFollowUp
