#pragma once

#include "PrintDevice.h"

#include <memory>

// The device that receipts and reports are drawn on: the system's default printer, through GDI
// on Windows and through Qt's printing (CUPS) elsewhere.
namespace PrintDevices {

// A device on the default printer, or nullptr when there is none.
std::unique_ptr<PrintDevice> openDefault();

} // namespace PrintDevices
