#pragma once

#include "PrintDevice.h"

#include <QPainter>
#include <QPrinterInfo>
#include <QString>

#include <memory>

class QPrinter;

// Prints through Qt on a printer of the system (CUPS here). Device units are dots of a
// 200 dpi printer, the resolution of common receipt printers: a 2-unit bar code module is
// then 0.25 mm, which scanners read reliably. Needs a QGuiApplication.
class QtPrintDevice final : public PrintDevice
{
public:
    static constexpr int kResolution = 200;

    explicit QtPrintDevice(const QPrinterInfo &printer);
    ~QtPrintDevice() override;
    QtPrintDevice(const QtPrintDevice &) = delete;
    QtPrintDevice &operator=(const QtPrintDevice &) = delete;

    // A device on the system's default printer, or nullptr when there is none.
    static std::unique_ptr<PrintDevice> openDefault();

    bool beginJob(const QString &documentName) override;
    void selectFont(const Font &font) override;
    void drawText(int x, int y, const QString &text) override;
    void drawVerticalLine(int x, int top, int bottom, Colour colour, int penWidth) override;
    void endPage() override;
    bool endJob() override;

private:
    // Starts a new page when something is drawn after endPage().
    bool pageReady();

    QPrinterInfo m_printerInfo;
    std::unique_ptr<QPrinter> m_printer;
    QPainter m_painter;
    bool m_pageEnded = false;
};
