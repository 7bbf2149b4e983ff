#include "PrintDevices.h"

#include "QtPrintDevice.h"

namespace PrintDevices {

std::unique_ptr<PrintDevice> openDefault()
{
    return QtPrintDevice::openDefault();
}

} // namespace PrintDevices
