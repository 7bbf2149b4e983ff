#include "CurrentOrder.h"

std::wstring CurrentOrder::receiptMessage() const
{
    return marker + L'#' + payType + L'#' + amountB + L'#' + payTime + L'#' + orderNumber + L'#'
        + amountA + L'#' + trailer;
}
