#include "ReportPrinter.h"

#include <utility>

ReportPrinter::ReportPrinter(ReceiptPrinter::DeviceFactory openDevice)
    : m_openDevice(std::move(openDevice))
{ }

int ReportPrinter::print(const ReportLayout::Content &content, const Settings &settings) const
{
    constexpr int kPrintOff = 1;
    if (settings.print == kPrintOff || !m_openDevice)
        return 0;
    const int copies = ReceiptPrinter::copies(settings.printCount);
    const ReportLayout::Page page = ReportLayout::compose(settings.printWidth, content);
    const auto draw = [&page](PrintDevice &device) {
        for (const ReportLayout::Text &line : page.lines)
            device.drawText(line.x, line.y, line.text);
    };
    // One request per copy: a copy whose job cannot be opened does not stop the next one.
    int printed = 0;
    for (int copy = 0; copy < copies; ++copy)
        printed += ReceiptPrinter::printCopies(m_openDevice, 1, page.fontHeight, draw);
    return printed;
}
