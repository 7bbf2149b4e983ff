#include "OrderPages.h"

void OrderPages::setRecords(std::vector<OrderRecord> records)
{
    m_records = std::move(records);
    m_page = 1;
}

int OrderPages::pageCount() const
{
    return (recordCount() + kRowsPerPage - 1) / kRowsPerPage;
}

bool OrderPages::nextPage()
{
    if (recordCount() <= m_page * kRowsPerPage)
        return false;
    ++m_page;
    return true;
}

bool OrderPages::previousPage()
{
    if (m_page == 1)
        return false;
    --m_page;
    return true;
}

int OrderPages::recordIndex(int row) const
{
    if (row < 0 || row >= kRowsPerPage)
        return -1;
    const int index = (m_page - 1) * kRowsPerPage + row;
    return index < recordCount() ? index : -1;
}

const OrderRecord *OrderPages::recordAt(int row) const
{
    const int index = recordIndex(row);
    return index < 0 ? nullptr : &m_records[static_cast<std::size_t>(index)];
}

OrderRecord *OrderPages::recordAt(int row)
{
    return record(recordIndex(row));
}

OrderRecord *OrderPages::record(int index)
{
    if (index < 0 || index >= recordCount())
        return nullptr;
    return &m_records[static_cast<std::size_t>(index)];
}
