#include "LedgerFollowUp.h"

#include "Amount.h"
#include "CurrentOrder.h"
#include "GatewayClock.h"
#include "PayTransaction.h"
#include "Reply.h"
#include "Text.h"

#include <algorithm>

namespace LedgerFollowUp {

Verdict decideStatus(const std::string &reply)
{
    Verdict verdict;
    const PayTransaction::StatusOutcome outcome
        = PayTransaction::decideStatusReply(reply, verdict.order);
    if (outcome == PayTransaction::StatusOutcome::Paid)
        verdict.state = LedgerStore::State::Paid;
    else if (outcome == PayTransaction::StatusOutcome::Failed)
        verdict.state = LedgerStore::State::Closed;
    if (const std::optional<Reply> decoded = Reply::parse(reply))
        decoded->reader().read("msg", verdict.message);
    return verdict;
}

std::optional<long long> orderTime(const OrderRecord &order)
{
    if (order.orderNumber.size() >= 14) {
        if (const auto created = GatewayClock::parse(order.orderNumber.substr(0, 14)))
            return created;
    }
    if (order.timeEnd.size() == 19)
        return GatewayClock::parse(order.timeEnd);
    return std::nullopt;
}

std::optional<long long> rowTime(const LedgerRow &row)
{
    return GatewayClock::parse(row.gatewayAt);
}

bool couldBe(const LedgerRow &row, const OrderRecord &order)
{
    // An order number is one word of printable characters: the ledger keeps the numbers the
    // cashier turned down separated by blanks, and a number with a blank or a control
    // character in it is nobody's order anyway.
    if (order.orderNumber.empty()
        || std::any_of(order.orderNumber.begin(), order.orderNumber.end(),
            [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7f'; }))
        return false;
    if (!order.paid())
        return false;
    if (!row.wallet.empty() && order.service != row.wallet)
        return false;
    const std::optional<long long> created = rowTime(row);
    const std::optional<long long> ordered = orderTime(order);
    const std::optional<long long> total = Amount::parseMinorUnits(order.totalFee);
    return created && ordered && total && *total == row.amountMinor
        && *ordered >= *created - kWindowBefore && *ordered <= *created + kWindowAfter;
}

namespace {

const OrderRecord *matchRecord(const LedgerRow &row, const std::vector<OrderRecord> &orders,
    const std::set<std::string> &held, const std::vector<LedgerRow> &openRows)
{
    const OrderRecord *found = nullptr;
    for (const OrderRecord &order : orders) {
        if (held.count(order.orderNumber) || row.wasRejected(order.orderNumber)
            || !couldBe(row, order))
            continue;
        if (found)
            return nullptr;
        found = &order;
    }
    if (!found)
        return nullptr;
    for (const LedgerRow &other : openRows) {
        if (other.id != row.id && other.outTradeNo.empty() && couldBe(other, *found))
            return nullptr;
    }
    return found;
}

} // namespace

std::optional<std::string> match(const LedgerRow &row, const std::vector<OrderRecord> &orders,
    const std::set<std::string> &held, const std::vector<LedgerRow> &openRows)
{
    if (const OrderRecord *found = matchRecord(row, orders, held, openRows))
        return found->orderNumber;
    return std::nullopt;
}

std::optional<LedgerStore::Candidate> candidate(
    const LedgerStore::Snapshot &snapshot, const std::vector<OrderRecord> &orders)
{
    if (const OrderRecord *found = matchRecord(snapshot.row, orders, snapshot.held, snapshot.open))
        return LedgerStore::Candidate {found->orderNumber, found->timeEnd};
    return std::nullopt;
}

CurrentOrder receiptOrder(const LedgerRow &row)
{
    CurrentOrder order;
    order.orderNumber = Text::utf8ToWide(row.outTradeNo);
    order.payType = Text::utf8ToWide(row.wallet);
    order.amountA = Text::utf8ToWide(Amount::formatMinorUnits(row.amountMinor));
    order.amountB = order.amountA;
    order.payTime = Text::utf8ToWide(row.payTime);
    order.status = L"1";
    order.marker = L"1";
    return order;
}

std::optional<std::pair<std::string, std::string>> listRange(const LedgerRow &row)
{
    const std::optional<long long> created = rowTime(row);
    if (!created)
        return std::nullopt;
    // The days of the window, whole, on the gateway's clock: "YYYY-MM-DD" to "YYYYMMDD".
    const auto day = [](long long wall) {
        std::string text = GatewayClock::text(wall).substr(0, 10);
        text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
        return text;
    };
    return std::make_pair(
        day(*created - kWindowBefore) + "000000", day(*created + kWindowAfter) + "235959");
}

} // namespace LedgerFollowUp
