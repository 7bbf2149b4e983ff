// libFuzzer target: the answer to "mch_orderCount". Any bytes decode to figures or to "not
// JSON" without crashing, and whatever is decoded lays out as a report in both paper widths.
#include "DayTotalsReply.h"
#include "ReportLayout.h"

#include <cstdint>
#include <optional>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    const std::optional<DayTotalsReply> totals = DayTotalsReply::decode(body);
    if (!totals)
        return 0;
    ReportLayout::Content content;
    content.start = QDate(2026, 12, 7);
    content.end = QDate(2026, 12, 7);
    content.figures = totals->figures;
    for (int width = 0; width <= 2; ++width)
        ReportLayout::compose(width, content);
    return 0;
}
