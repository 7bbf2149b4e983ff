#pragma once

#include "OrderRecord.h"

#include <vector>

// The payment type and payment status filters of the order list, by combo index.
// Type: 0 every service, 1 "wx" only, 2 "ali" only. Status with type 0: 0 every order,
// 1 status "1", 2 status "0", 3 status "4", 4 status "3". With type 1 or 2: 0 every order,
// 1 status "1", 2 status "0", 3 and 4 none. Any other index lets nothing pass.
class OrderFilter final
{
public:
    OrderFilter(int typeIndex, int statusIndex);

    bool passes(const OrderRecord &record) const;
    // Drops the records that do not pass, keeping the order of the others.
    void apply(std::vector<OrderRecord> &records) const;

private:
    int m_type;
    int m_status;
};
