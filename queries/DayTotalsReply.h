#pragma once

#include "SettlementFigures.h"

#include <optional>
#include <string>

// The answer to "mch_orderCount": code and msg (kept, not tested), then the twelve figures of
// data in the order ali_suc_total, ali_total, ali_re_total, suc_total, total, re_total,
// wx_suc_total, wx_total, wx_re_total, count, ali_count, wx_count, until the first missing
// one; the others stay empty. Amounts are shown exactly in the currency's unit
// ("123456" -> "1234.56"), counts as received.
struct DayTotalsReply
{
    std::string code;
    std::string message;
    SettlementFigures figures;

    // nullopt when the body is not JSON or of the wrong shape (the failed-request path).
    static std::optional<DayTotalsReply> decode(const std::string &body);
};
