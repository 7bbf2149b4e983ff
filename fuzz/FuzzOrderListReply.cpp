// libFuzzer target: the answer to "mch_orderList", the one large reply. The one-pass decoder
// must survive any bytes and conclude exactly what the reply reader concludes reading the same
// bytes as a tree, path by path; what it decodes is then filtered and paged as the order
// window does.
#include "OrderFilter.h"
#include "OrderListReply.h"
#include "OrderPages.h"
#include "OrderQueryTexts.h"
#include "Reply.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

bool same(const OrderRecord &a, const OrderRecord &b)
{
    return a.orderNumber == b.orderNumber && a.totalFee == b.totalFee && a.service == b.service
        && a.timeEnd == b.timeEnd && a.status == b.status && a.orderStatus == b.orderStatus;
}

bool same(const OrderListReply &a, const OrderListReply &b)
{
    if (a.code != b.code || a.message != b.message || a.records.size() != b.records.size())
        return false;
    for (std::size_t i = 0; i < a.records.size(); ++i) {
        if (!same(a.records[i], b.records[i]))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    std::optional<OrderListReply> list = OrderListReply::decode(body);
    const std::optional<OrderListReply> reference = OrderListReply::decodeByPaths(body);
    if (list.has_value() != reference.has_value() || (list && !same(*list, *reference)))
        std::abort();
    if (!list)
        return 0;

    const int type = size > 0 ? data[0] % 4 : 0;
    const int status = size > 1 ? data[1] % 6 : 0;
    OrderFilter(type, status).apply(list->records);
    OrderPages pages;
    pages.setRecords(std::move(list->records));
    do {
        for (int row = 0; row < OrderPages::kRowsPerPage; ++row) {
            if (const OrderRecord *record = pages.recordAt(row)) {
                OrderQueryTexts::rowTexts(1, *record, row % 2 == 0);
                record->receiptMessage();
            }
        }
    } while (pages.nextPage() && pages.currentPage() < 4);
    OrderQueryTexts::pageLabel(1, pages.recordCount(), pages.pageCount(), pages.currentPage());
    return 0;
}
