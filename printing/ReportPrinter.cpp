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
    int printed = 0;
    for (int copy = 0; copy < copies; ++copy) {
        const std::unique_ptr<PrintDevice> device = m_openDevice();
        if (!device || !device->beginJob(QLatin1String(ReceiptPrinter::kDocumentName)))
            continue;
        if (page.fontHeight > 0) {
            device->selectFont({QLatin1String(ReceiptPrinter::kFontFace), page.fontHeight,
                ReceiptPrinter::kFontWeight});
            for (const ReportLayout::Text &line : page.lines)
                device->drawText(line.x, line.y, line.text);
        }
        device->endPage();
        if (device->endJob())
            ++printed;
    }
    return printed;
}
