#include "RefundLedger.h"

#include "PayTransaction.h"
#include "RefundTexts.h"
#include "Reply.h"
#include "Signing.h"

#include <QDebug>

#include <memory>

RefundLedger::Decision RefundLedger::decideAnswer(const std::optional<RefundReply> &answer)
{
    if (!answer)
        return {State::Unresolved, RefundTexts::kLedgerNoAnswer};
    return {answer->succeeded() ? State::Refunded : State::Refused, answer->message};
}

std::optional<RefundLedger::Decision> RefundLedger::decideCheck(
    const std::string &reply, const std::string &orderNumber)
{
    const std::optional<Reply> decoded = Reply::parse(reply);
    if (!decoded)
        return std::nullopt;
    std::string code;
    std::string number;
    std::string orderStatus;
    ReplyReader reader = decoded->reader();
    if (!(reader.read("code", code) && reader.read("data.out_trade_no", number)
            && reader.read("data.orderStatus", orderStatus))
        || code != "100" || number != orderNumber)
        return std::nullopt;
    if (orderStatus == "2")
        return Decision {State::Refunded, RefundTexts::kLedgerCheckedRefunded};
    if (orderStatus == "1" || orderStatus == "0")
        return Decision {State::Refused, RefundTexts::kLedgerCheckedNotRefunded};
    return std::nullopt;
}

RefundLedger::RefundLedger(LedgerStore &ledger)
    : m_ledger(ledger)
{ }

bool RefundLedger::checkFirst(
    BackgroundRequest &worker, const std::string &orderNumber, std::function<void(State)> checked)
{
    const std::optional<RefundRow> earlier = m_ledger.unresolvedRefund(orderNumber);
    if (!earlier)
        return false;
    const QueryRequests::Session session = QueryRequests::currentSession();
    const PayTransaction::Request request
        = PayTransaction::statusRequest(orderNumber, Signing::nonce(), session.appid, session.key);
    qDebug() << "REFUND CHECK -------------- " << QString::fromStdString(request.body);
    auto state = std::make_shared<State>(State::Unresolved);
    // Settled on the worker: the ledger learns the outcome even when the window is gone.
    worker.ask(
        "refund check " + orderNumber, QueryRequests::gatewayPost(request.body),
        [this, state, id = earlier->id, orderNumber](const std::string &reply) {
            qDebug() << "REFUND CHECK -----------------    " << QString::fromStdString(reply);
            if (const std::optional<Decision> found = decideCheck(reply, orderNumber)) {
                m_ledger.updateRefund(id, found->state, found->message);
                *state = found->state;
            }
        },
        [state, checked = std::move(checked)] { checked(*state); });
    return true;
}

bool RefundLedger::send(BackgroundRequest &worker, const QueryRequests::Request &request,
    const std::string &orderNumber, std::optional<long long> amountMinor, const char *logLabel,
    std::function<void(const std::optional<RefundReply> &)> answered)
{
    if (worker.busy())
        return false;
    // Committed before the request leaves: a till that stops now finds it unresolved.
    const long long id
        = m_ledger.recordRefund(QueryRequests::currentSession().sid, orderNumber, amountMinor);
    auto answer = std::make_shared<std::optional<RefundReply>>();
    return worker.start(
        QueryRequests::gatewayPost(request.body),
        [this, answer, id, logLabel](const std::string &reply) {
            qDebug() << logLabel << QString::fromStdString(reply);
            if (!reply.empty())
                *answer = RefundReply::decode(reply);
            const Decision decided = decideAnswer(*answer);
            m_ledger.updateRefund(id, decided.state, decided.message);
        },
        [answer, answered = std::move(answered)] { answered(*answer); });
}
