#include "PrintDevices.h"

#include "GdiPrintDevice.h"

namespace PrintDevices {

std::unique_ptr<PrintDevice> openDefault()
{
    return GdiPrintDevice::openDefault();
}

} // namespace PrintDevices
