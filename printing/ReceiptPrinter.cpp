#include "ReceiptPrinter.h"

#include "Code128Encoder.h"
#include "PayTypeText.h"
#include "ReceiptMessage.h"

#include <utility>

namespace {

constexpr int kPrintOff = 1;

ReceiptFields withParty(ReceiptFields fields, const ReceiptPrinter::Party &party)
{
    fields.merchantName = party.merchantName;
    fields.cashier = party.cashier;
    return fields;
}

} // namespace

ReceiptPrinter::ReceiptPrinter(DeviceFactory openDevice)
    : m_openDevice(std::move(openDevice))
{ }

int ReceiptPrinter::copies(int printCount)
{
    switch (printCount) {
    case 0:
        return 1;
    case 1:
        return 2;
    default:
        return 0;
    }
}

int ReceiptPrinter::printPaySuccess(
    const std::wstring &message, const Party &party, const Settings &settings) const
{
    ReceiptFields fields
        = withParty(ReceiptMessage(message).fields(ReceiptMessage::Layout::PaySuccess), party);
    fields.payType = PayTypeText::forReceipt(fields.payType, settings.language);
    return print(ReceiptLayout::Kind::Receipt, fields, settings);
}

int ReceiptPrinter::printOrderList(
    const std::wstring &message, const Party &party, const Settings &settings) const
{
    ReceiptFields fields
        = withParty(ReceiptMessage(message).fields(ReceiptMessage::Layout::OrderList), party);
    fields.payType = PayTypeText::forReceipt(fields.payType, settings.language);
    return print(ReceiptLayout::Kind::Receipt, fields, settings);
}

int ReceiptPrinter::reprint(
    const LastReceipt &receipt, const Party &party, const Settings &settings) const
{
    return print(ReceiptLayout::Kind::Reprint, withParty(receipt.fields(), party), settings);
}

int ReceiptPrinter::print(
    ReceiptLayout::Kind kind, const ReceiptFields &fields, const Settings &settings) const
{
    if (settings.print == kPrintOff || !m_openDevice)
        return 0;
    const int count = copies(settings.printCount);
    if (count == 0)
        return 0;
    const ReceiptLayout::Page page
        = ReceiptLayout::compose(kind, settings.printWidth, settings.language, fields);
    // An order number that cannot be a Code 128 C leaves the bars out, not the receipt.
    Code128Encoder barcode;
    barcode.encode(page.barcodeText.toStdString(), Code128Encoder::CodeSetC);
    return printCopies(
        m_openDevice, count, page.fontHeight, [&page, &barcode](PrintDevice &device) {
            for (const ReceiptLayout::Text &line : page.lines)
                device.drawText(line.x, line.y, line.text);
            barcode.draw(device, page.barcodeX, page.barcodeTop, page.barcodeBottom,
                PrintDevice::kBlack, PrintDevice::kWhite, Code128Encoder::kModuleWidth);
            for (const ReceiptLayout::Text &line : page.signature)
                device.drawText(line.x, line.y, line.text);
        });
}

int ReceiptPrinter::printCopies(const DeviceFactory &openDevice, int count, int fontHeight,
    const std::function<void(PrintDevice &)> &draw)
{
    int printed = 0;
    for (int copy = 0; copy < count; ++copy) {
        const std::unique_ptr<PrintDevice> device = openDevice();
        if (!device)
            continue; // no default printer for this copy
        if (!device->beginJob(QLatin1String(kDocumentName)))
            break; // the printer cannot take a job: the next copy would fare no better
        device->selectFont({QLatin1String(kFontFace), fontHeight, kFontWeight});
        draw(*device);
        device->endPage();
        if (device->endJob())
            ++printed;
    }
    return printed;
}
