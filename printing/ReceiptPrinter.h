#pragma once

#include "LastReceipt.h"
#include "PrintDevice.h"
#include "ReceiptFields.h"
#include "ReceiptLayout.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class Code128Encoder;

// Prints receipts: the pay-success receipt, the order list's re-print and the receipt hot
// key's re-print of the last receipt, in as many copies as the settings ask, one job named
// "printer" per copy on a device opened for that copy. A copy without a default printer is
// skipped; a job that cannot be opened ends the request (no further copy is tried). Nothing is
// reported to the cashier; the number of jobs the spooler took is returned for the log.
class ReceiptPrinter final
{
public:
    // Opens the default printer for one copy; nullptr when there is none (that copy is
    // skipped).
    using DeviceFactory = std::function<std::unique_ptr<PrintDevice>()>;

    // The print settings of the settings window.
    struct Settings
    {
        int print = 0; // PRINT: 1 = never print
        int printCount = 0; // PRINTCOUNT: 0 one copy, 1 two copies, anything else none
        int printWidth = 0; // PRINTWIDTH: 1 = 80 mm, 0 and any other value 58 mm
        int language = 1; // 1 Chinese, 2 English, any other value Vietnamese
    };

    // Who is named on the merchant and cashier lines.
    struct Party
    {
        QString merchantName;
        QString cashier;
    };

    static constexpr const char *kDocumentName = "printer";
    static constexpr const char *kFontFace = "Arial";
    static constexpr int kFontWeight = 500;

    explicit ReceiptPrinter(DeviceFactory openDevice);

    // A message of the checkout in the pay-success layout.
    int printPaySuccess(
        const std::wstring &message, const Party &party, const Settings &settings) const;
    // A message of the order list in the order-list layout.
    int printOrderList(
        const std::wstring &message, const Party &party, const Settings &settings) const;
    // The receipt hot key: the last receipt, in the re-print layout.
    int reprint(const LastReceipt &receipt, const Party &party, const Settings &settings) const;

    // The copies of one receipt; the three above end here.
    int print(
        ReceiptLayout::Kind kind, const ReceiptFields &fields, const Settings &settings) const;

    // 1 for PRINTCOUNT 0, 2 for 1, none otherwise.
    static int copies(int printCount);

    // Prints `count` copies, each a job named "printer" on a device opened for it, in Arial of
    // `fontHeight`, drawn by `draw`; the rule above for a
    // missing printer and a job that cannot be opened. Returns the jobs the spooler took.
    static int printCopies(const DeviceFactory &openDevice, int count, int fontHeight,
        const std::function<void(PrintDevice &)> &draw);

private:
    DeviceFactory m_openDevice;
};
