#include "OrderFilter.h"

#include <algorithm>

OrderFilter::OrderFilter(int typeIndex, int statusIndex)
    : m_type(typeIndex)
    , m_status(statusIndex)
{ }

bool OrderFilter::passes(const OrderRecord &record) const
{
    switch (m_type) {
    case 0:
        break;
    case 1:
        if (record.service != "wx")
            return false;
        break;
    case 2:
        if (record.service != "ali")
            return false;
        break;
    default:
        return false;
    }
    switch (m_status) {
    case 0:
        return true;
    case 1:
        return record.status == "1";
    case 2:
        return record.status == "0";
    case 3:
        return m_type == 0 && record.status == "4";
    case 4:
        return m_type == 0 && record.status == "3";
    default:
        return false;
    }
}

void OrderFilter::apply(std::vector<OrderRecord> &records) const
{
    if (m_type == 0 && m_status == 0)
        return;
    records.erase(std::remove_if(records.begin(), records.end(),
                      [this](const OrderRecord &record) { return !passes(record); }),
        records.end());
}
