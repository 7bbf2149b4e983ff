#pragma once

#include "OrderRecord.h"

#include <vector>

// The order list as the window pages through it: ten rows a page, the current page 1-based.
// Row r of page p shows record (p - 1) * 10 + r.
class OrderPages final
{
public:
    static constexpr int kRowsPerPage = 10;

    // A new list, shown from page 1.
    void setRecords(std::vector<OrderRecord> records);
    const std::vector<OrderRecord> &records() const { return m_records; }
    int recordCount() const { return static_cast<int>(m_records.size()); }
    // The record count divided by ten, rounded up.
    int pageCount() const;
    int currentPage() const { return m_page; }

    // Nothing happens on the last page: false.
    bool nextPage();
    // Nothing happens on page 1: false.
    bool previousPage();

    // The index in the list of row `row` of the current page; -1 when that row holds none.
    int recordIndex(int row) const;
    // The record of row `row` of the current page; nullptr when that row holds none.
    const OrderRecord *recordAt(int row) const;
    OrderRecord *recordAt(int row);
    OrderRecord *record(int index);

private:
    std::vector<OrderRecord> m_records;
    int m_page = 1;
};
