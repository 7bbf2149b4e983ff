#include "LedgerFollowUp.h"

#include "Amount.h"
#include "CurrentOrder.h"
#include "PayTransaction.h"
#include "Reply.h"

#include <QDateTime>

namespace {

std::optional<std::time_t> localTime(const std::string &text, const char *format)
{
    const QDateTime when
        = QDateTime::fromString(QString::fromStdString(text), QString::fromLatin1(format));
    if (!when.isValid())
        return std::nullopt;
    return std::time_t(when.toSecsSinceEpoch());
}

bool inWindow(const LedgerRow &row, const OrderRecord &order)
{
    const std::optional<std::time_t> created = LedgerFollowUp::rowTime(row);
    const std::optional<std::time_t> ordered = LedgerFollowUp::orderTime(order);
    const std::optional<long long> total = Amount::parseMinorUnits(order.totalFee);
    return created && ordered && total && *total == row.amountMinor
        && *ordered >= *created - LedgerFollowUp::kWindowBefore
        && *ordered <= *created + LedgerFollowUp::kWindowAfter;
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

std::optional<std::string> match(const LedgerRow &row, const std::vector<OrderRecord> &orders,
    const std::set<std::string> &held, const std::vector<LedgerRow> &openRows)
{
    const OrderRecord *found = nullptr;
    for (const OrderRecord &order : orders) {
        if (order.orderNumber.empty() || held.count(order.orderNumber) || !inWindow(row, order))
            continue;
        if (found)
            return std::nullopt;
        found = &order;
    }
    if (!found)
        return std::nullopt;
    for (const LedgerRow &other : openRows) {
        if (other.id != row.id && other.outTradeNo.empty() && inWindow(other, *found))
            return std::nullopt;
    }
    return found->orderNumber;
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
