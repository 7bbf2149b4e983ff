#pragma once

#include "ReceiptPrinter.h"
#include "ReportLayout.h"

// Prints the shift-settlement report with the receipts' rules: PRINT 1 prints nothing,
// PRINTCOUNT 0 one copy and 1 two (anything else none), each copy a job named "printer" on a
// device opened for it, in Arial of the paper width's height. A copy without a default printer
// is skipped; a job that cannot be opened ends the request. Nothing is reported to the
// cashier; the number of jobs the spooler took is returned for the log.
class ReportPrinter final
{
public:
    struct Settings
    {
        int print = 0; // PRINT: 1 = never print
        int printCount = 0; // PRINTCOUNT
        int printWidth = 0; // PRINTWIDTH
    };

    explicit ReportPrinter(ReceiptPrinter::DeviceFactory openDevice);

    int print(const ReportLayout::Content &content, const Settings &settings) const;

private:
    ReceiptPrinter::DeviceFactory m_openDevice;
};
