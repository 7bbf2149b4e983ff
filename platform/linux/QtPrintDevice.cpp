#include "QtPrintDevice.h"

#include <QFont>
#include <QFontMetrics>
#include <QLine>
#include <QPen>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace {

// The font height is the height of the character cell (ascent plus descent), as printer fonts
// are given; Qt sizes fonts by their em. Arial's cell is 2288/2048 of its em.
int emPixels(int cellHeight)
{
    return std::max(1, static_cast<int>(std::lround(cellHeight * 2048.0 / 2288.0)));
}

// 100-900 font weights to Qt's scale.
int qtWeight(int weight)
{
    static const int kWeights[] = {QFont::Thin, QFont::ExtraLight, QFont::Light, QFont::Normal,
        QFont::Medium, QFont::DemiBold, QFont::Bold, QFont::ExtraBold, QFont::Black};
    const int index = std::clamp((weight + 50) / 100, 1, 9) - 1;
    return kWeights[index];
}

} // namespace

QtPrintDevice::QtPrintDevice(const QPrinterInfo &printer)
    : m_printerInfo(printer)
{ }

QtPrintDevice::~QtPrintDevice()
{
    // A job that was not ended is dropped, not printed half-drawn.
    if (m_painter.isActive()) {
        m_printer->abort();
        m_painter.end();
    }
}

std::unique_ptr<PrintDevice> QtPrintDevice::openDefault()
{
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull())
        return nullptr;
    return std::make_unique<QtPrintDevice>(printer);
}

bool QtPrintDevice::beginJob(const QString &documentName)
{
    if (m_printerInfo.isNull() || m_painter.isActive())
        return false;
    m_printer = std::make_unique<QPrinter>(m_printerInfo, QPrinter::HighResolution);
    m_printer->setResolution(kResolution);
    m_printer->setDocName(documentName);
    m_printer->setCreator(QStringLiteral("Tallyport"));
    if (!m_printer->isValid() || !m_painter.begin(m_printer.get())) {
        m_printer.reset();
        return false;
    }
    m_pageEnded = false;
    return true;
}

bool QtPrintDevice::pageReady()
{
    if (!m_painter.isActive())
        return false;
    if (m_pageEnded) {
        if (!m_printer->newPage())
            return false;
        m_pageEnded = false;
    }
    return true;
}

void QtPrintDevice::selectFont(const Font &font)
{
    if (!m_painter.isActive())
        return;
    QFont qtFont(font.face);
    qtFont.setStyleHint(QFont::SansSerif);
    qtFont.setPixelSize(emPixels(font.height));
    qtFont.setWeight(qtWeight(font.weight));
    m_painter.setFont(qtFont);
}

void QtPrintDevice::drawText(int x, int y, const QString &text)
{
    if (!pageReady())
        return;
    m_painter.setPen(Qt::black);
    m_painter.drawText(x, y + m_painter.fontMetrics().ascent(), text);
}

void QtPrintDevice::drawVerticalLine(int x, int top, int bottom, Colour colour, int penWidth)
{
    if (!pageReady())
        return;
    QPen pen(QColor(colour.red, colour.green, colour.blue), penWidth);
    pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(pen);
    m_painter.drawLine(QLine(x, top, x, bottom));
}

void QtPrintDevice::endPage()
{
    m_pageEnded = true;
}

bool QtPrintDevice::endJob()
{
    if (!m_painter.isActive())
        return false;
    const bool ended = m_painter.end();
    const bool accepted = ended && m_printer->printerState() != QPrinter::Error;
    m_printer.reset();
    return accepted;
}
