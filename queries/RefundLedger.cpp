#include "RefundLedger.h"

#include "Amount.h"
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
    const std::string &reply, const RefundRow &earlier)
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
        || code != "100" || number != earlier.outTradeNo)
        return std::nullopt;
    if (orderStatus != "2" && orderStatus != "1" && orderStatus != "0")
        return std::nullopt;
    if (earlier.amountMinor) {
        std::string total;
        decoded->reader().read("data.total", total);
        const std::optional<long long> totalMinor = Amount::parseMinorUnits(total);
        if (!totalMinor || *earlier.amountMinor < *totalMinor)
            return Decision {State::Unresolved, RefundTexts::kLedgerCheckedPartialUnknown};
    }
    if (orderStatus == "2")
        return Decision {State::Refunded, RefundTexts::kLedgerCheckedRefunded};
    return Decision {State::Refused, RefundTexts::kLedgerCheckedNotRefunded};
}

RefundLedger::RefundLedger(LedgerStore &ledger)
    : m_ledger(ledger)
{ }

RefundLedger::Earlier RefundLedger::checkFirst(
    BackgroundRequest &worker, const std::string &orderNumber, std::function<void(Checked)> checked)
{
    const std::optional<RefundRow> earlier = m_ledger.unsettledRefund(orderNumber);
    if (!earlier)
        return Earlier::None;
    if (earlier->state == "sending")
        return Earlier::InFlight;
    // Asked once already, and the gateway could not tell: the cashier has been told to look in
    // the merchant's records before refunding again.
    if (earlier->amountMinor && earlier->checks > 0
        && earlier->message == RefundTexts::kLedgerCheckedPartialUnknown)
        return Earlier::None;
    const QueryRequests::Session session = QueryRequests::currentSession();
    const PayTransaction::Request request
        = PayTransaction::statusRequest(orderNumber, Signing::nonce(), session.appid, session.key);
    qDebug() << "REFUND CHECK -------------- " << QString::fromStdString(request.body);
    auto found = std::make_shared<Checked>();
    m_running = true;
    // Settled on the worker: the ledger learns the outcome even when the window is gone.
    worker.ask(
        "refund check " + orderNumber, QueryRequests::gatewayPost(request.body),
        [this, found, row = *earlier](const std::string &reply) {
            qDebug() << "REFUND CHECK -----------------    " << QString::fromStdString(reply);
            const std::optional<Decision> decided = decideCheck(reply, row);
            if (!decided)
                return;
            if (decided->state == State::Unresolved) {
                m_ledger.noteRefundCheck(row.id, decided->message);
                found->gatewayCannotTell = true;
            } else {
                m_ledger.updateRefund(row.id, decided->state, decided->message);
            }
            found->state = decided->state;
        },
        [this, found, checked = std::move(checked)] {
            m_running = false;
            checked(*found);
        });
    return Earlier::Checking;
}

bool RefundLedger::send(BackgroundRequest &worker, const QueryRequests::Request &request,
    const std::string &orderNumber, std::optional<long long> amountMinor, const char *logLabel,
    std::function<void(const std::optional<RefundReply> &)> answered)
{
    if (worker.busy())
        return false;
    // Committed before the request leaves: a till that stops now finds it unresolved, and every
    // window finds it on its way.
    const long long id
        = m_ledger.recordRefund(QueryRequests::currentSession().sid, orderNumber, amountMinor);
    auto answer = std::make_shared<std::optional<RefundReply>>();
    m_running = worker.start(
        QueryRequests::gatewayPost(request.body),
        [this, answer, id, logLabel](const std::string &reply) {
            qDebug() << logLabel << QString::fromStdString(reply);
            if (!reply.empty())
                *answer = RefundReply::decode(reply);
            const Decision decided = decideAnswer(*answer);
            m_ledger.updateRefund(id, decided.state, decided.message);
        },
        [this, answer, answered = std::move(answered)] {
            m_running = false;
            answered(*answer);
        });
    return m_running;
}
