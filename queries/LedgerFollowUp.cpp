#include "LedgerFollowUp.h"

#include "Amount.h"
#include "CurrentOrder.h"
#include "PayTransaction.h"
#include "Reply.h"
#include "Text.h"

#include <QDateTime>

#include <algorithm>

namespace {

std::optional<std::time_t> localTime(const std::string &text, const char *format)
{
    const QDateTime when
        = QDateTime::fromString(QString::fromStdString(text), QString::fromLatin1(format));
    if (!when.isValid())
        return std::nullopt;
    return std::time_t(when.toSecsSinceEpoch());
}

} // namespace

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

std::optional<std::time_t> orderTime(const OrderRecord &order)
{
    if (const auto created = localTime(order.orderNumber.substr(0, 14), "yyyyMMddHHmmss"))
        return created;
    return localTime(order.timeEnd, "yyyy-MM-dd HH:mm:ss");
}

std::optional<std::time_t> rowTime(const LedgerRow &row)
{
    return localTime(row.createdAt, "yyyy-MM-dd HH:mm:ss");
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
    if (order.status != "1" && order.status != "2")
        return false;
    if (!row.wallet.empty() && order.service != row.wallet)
        return false;
    const std::optional<std::time_t> created = rowTime(row);
    const std::optional<std::time_t> ordered = orderTime(order);
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

std::pair<std::string, std::string> listRange(const LedgerRow &row)
{
    const QDateTime created = QDateTime::fromString(
        QString::fromStdString(row.createdAt), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QDate first = created.addSecs(-kWindowBefore).date();
    const QDate last = created.addSecs(kWindowAfter).date();
    return {first.toString(QStringLiteral("yyyyMMdd")).toStdString() + "000000",
        last.toString(QStringLiteral("yyyyMMdd")).toStdString() + "235959"};
}

} // namespace LedgerFollowUp
