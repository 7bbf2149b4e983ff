#include "DayTotalsReply.h"

#include "Amount.h"
#include "Reply.h"

namespace {

struct Key
{
    const char *path;
    SettlementFigures::Figure figure;
    bool amount;
};

const Key kKeys[] = {
    {"data.ali_suc_total", SettlementFigures::AlipayPaidIn, true},
    {"data.ali_total", SettlementFigures::AlipayTotal, true},
    {"data.ali_re_total", SettlementFigures::AlipayRefunded, true},
    {"data.suc_total", SettlementFigures::PaidIn, true},
    {"data.total", SettlementFigures::Total, true},
    {"data.re_total", SettlementFigures::Refunded, true},
    {"data.wx_suc_total", SettlementFigures::WeChatPaidIn, true},
    {"data.wx_total", SettlementFigures::WeChatTotal, true},
    {"data.wx_re_total", SettlementFigures::WeChatRefunded, true},
    {"data.count", SettlementFigures::Count, false},
    {"data.ali_count", SettlementFigures::AlipayCount, false},
    {"data.wx_count", SettlementFigures::WeChatCount, false},
};

} // namespace

std::optional<DayTotalsReply> DayTotalsReply::decode(const std::string &body)
{
    const std::optional<Reply> reply = Reply::parse(body);
    if (!reply)
        return std::nullopt;
    DayTotalsReply totals;
    ReplyReader reader = reply->reader();
    if (reader.read("code", totals.code) && reader.read("msg", totals.message)) {
        for (const Key &key : kKeys) {
            std::string value;
            if (!reader.read(key.path, value))
                break;
            if (key.amount)
                value = Amount::fromMinorUnits(value).value_or(value);
            totals.figures[key.figure] = QString::fromStdString(value);
        }
    }
    if (reader.malformed())
        return std::nullopt;
    return totals;
}
