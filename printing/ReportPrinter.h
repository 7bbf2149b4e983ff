#pragma once

#include "ReceiptPrinter.h"
#include "ReportLayout.h"

// Prints the shift-settlement report with the receipts' rules: PRINT 1 prints nothing,
// PRINTCOUNT 0 one copy and 1 two (anything else none), each copy a job named "printer" on a
// device opened for it, in Arial of the paper width's height. Unlike a receipt, each copy is
// tried on its own: a copy without a default printer, or whose job cannot be opened, is
// dropped and the next copy is still printed. Nothing is reported to the cashier; the number
// of jobs the spooler took is returned for the log.
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
