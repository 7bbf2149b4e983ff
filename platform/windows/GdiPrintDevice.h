#pragma once

#include "PrintDevice.h"

#include <memory>
#include <string>

// A print device on a Windows printer through GDI, as the till was specified: a device context
// on the default printer, StartDocW with the document name, one page, one font (Arial at the
// height and weight asked for), TextOutW, vertical lines with a pen, then EndPage, EndDoc and
// DeleteDC. Device units are the printer's.
class GdiPrintDevice final : public PrintDevice
{
public:
    explicit GdiPrintDevice(std::wstring printer);
    ~GdiPrintDevice() override;
    GdiPrintDevice(const GdiPrintDevice &) = delete;
    GdiPrintDevice &operator=(const GdiPrintDevice &) = delete;

    // A device on the default printer, or nullptr when there is none.
    static std::unique_ptr<PrintDevice> openDefault();

    bool beginJob(const QString &documentName) override;
    void selectFont(const Font &font) override;
    void drawText(int x, int y, const QString &text) override;
    void drawVerticalLine(int x, int top, int bottom, Colour colour, int penWidth) override;
    void endPage() override;
    bool endJob() override;

private:
    struct System;
    std::unique_ptr<System> m_system;
};
