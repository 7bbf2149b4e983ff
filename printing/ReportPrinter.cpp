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
    return ReceiptPrinter::printCopies(
        m_openDevice, copies, page.fontHeight, [&page](PrintDevice &device) {
            for (const ReportLayout::Text &line : page.lines)
                device.drawText(line.x, line.y, line.text);
        });
}
