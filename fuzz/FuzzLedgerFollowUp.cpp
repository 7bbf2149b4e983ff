// libFuzzer target: the ledger's follow-up deciding from gateway answers. The bytes are a status
// answer, a newline, and an order-list answer. The status answer decides a row as the checkout's
// poll would; the orders of the list are matched to an unresolved row without order number: a
// candidate is one listed order, paid, of the row's amount and wallet, that no row holds and the
// cashier has not turned down — with a twin of it in the list, or another open row it could be,
// there is none.
#include "FuzzSupport.h"

#include "Amount.h"
#include "LedgerFollowUp.h"
#include "OrderListReply.h"
#include "PayTransaction.h"

#include <algorithm>
#include <cstdint>
#include <string>

using FuzzSupport::require;

namespace {

LedgerRow openRow(long long id, long long amountMinor)
{
    LedgerRow row;
    row.id = id;
    row.createdAt = "2026-12-07 10:00:30"; // the till's clock, 30 s fast
    row.gatewayAt = "2026-12-07 10:00:00";
    row.source = "checkout";
    row.amountMinor = amountMinor;
    row.state = "unresolved";
    return row;
}

void checkStatus(const std::string &reply)
{
    const LedgerFollowUp::Verdict verdict = LedgerFollowUp::decideStatus(reply);
    CurrentOrder order;
    const PayTransaction::StatusOutcome polled = PayTransaction::decideStatusReply(reply, order);
    require((verdict.state == LedgerStore::State::Paid)
            == (polled == PayTransaction::StatusOutcome::Paid),
        "the follow-up finds paid exactly what the poll finds paid");
    require((verdict.state == LedgerStore::State::Closed)
            == (polled == PayTransaction::StatusOutcome::Failed),
        "the follow-up closes exactly what the poll finds failed");
}

void checkMatch(const std::vector<OrderRecord> &orders)
{
    // The row takes the amount of the first order that has one, so that matches happen.
    long long amount = 1;
    for (const OrderRecord &order : orders) {
        if (const auto total = Amount::parseMinorUnits(order.totalFee)) {
            amount = *total;
            break;
        }
    }
    const LedgerRow row = openRow(1, amount);
    const std::set<std::string> held;
    const std::optional<std::string> found = LedgerFollowUp::match(row, orders, held, {row});
    require(found == LedgerFollowUp::match(row, orders, held, {row}), "matching is repeatable");
    LedgerStore::Snapshot snapshot;
    snapshot.row = row;
    snapshot.open = {row};
    const std::optional<LedgerStore::Candidate> candidate
        = LedgerFollowUp::candidate(snapshot, orders);
    require(
        (candidate ? std::optional<std::string>(candidate->orderNumber) : std::nullopt) == found,
        "the candidate of a snapshot is the match");
    if (!found)
        return;
    require(!found->empty(), "a match has an order number");
    // The listed order that made the match: one of that number that could be the payment (a
    // list may hold the number twice, once in a record that could not).
    const auto order = std::find_if(orders.begin(), orders.end(), [&](const OrderRecord &o) {
        return o.orderNumber == *found && LedgerFollowUp::couldBe(row, o);
    });
    require(order != orders.end(), "a match is a listed order that could be it", *found);
    require(Amount::parseMinorUnits(order->totalFee) == amount, "a match has the row's amount",
        order->totalFee);
    require(
        order->status == "1" || order->status == "2", "a match is paid in the list", order->status);

    // Its twin under another number; the number may carry the order's time, so the twin is
    // one only when it could be the payment too.
    OrderRecord twin = *order;
    twin.orderNumber += "9";
    if (LedgerFollowUp::couldBe(row, twin)) {
        std::vector<OrderRecord> twins = orders;
        twins.push_back(twin);
        require(!LedgerFollowUp::match(row, twins, held, {row}), "two candidates are no match");
    }
    require(!LedgerFollowUp::match(row, orders, {*found}, {row}), "a held order is no match");
    LedgerRow turnedDown = row;
    turnedDown.rejected = *found;
    require(LedgerFollowUp::match(turnedDown, orders, held, {turnedDown}) != found,
        "an order the cashier turned down is not offered again");
    LedgerRow otherWallet = row;
    otherWallet.wallet = order->service == "wx" ? "ali" : "wx";
    const std::optional<std::string> inOtherWallet
        = LedgerFollowUp::match(otherWallet, orders, held, {otherWallet});
    require(!inOtherWallet
            || std::any_of(orders.begin(), orders.end(),
                [&](const OrderRecord &o) {
                    return o.orderNumber == *inOtherWallet && o.service == otherWallet.wallet;
                }),
        "a match is of the row's wallet");
    require(!LedgerFollowUp::match(row, orders, held, {row, openRow(2, amount)}),
        "an order two open rows could be is no match");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::size_t newline = bytes.find('\n');
    checkStatus(bytes.substr(0, newline));
    if (newline == std::string::npos)
        return 0;
    if (const std::optional<OrderListReply> list
        = OrderListReply::decode(bytes.substr(newline + 1)))
        checkMatch(list->records);
    return 0;
}
