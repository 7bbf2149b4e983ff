#pragma once

#include <QString>

// Where receipts and reports are drawn: one job per copy, on one page, in the device units of
// the printer (x to the right, y down, origin at the top left of the printable area).
// A job runs beginJob, selectFont, the drawing calls, endPage, endJob, in that order.
class PrintDevice
{
public:
    struct Colour
    {
        int red = 0;
        int green = 0;
        int blue = 0;

        bool operator==(const Colour &other) const
        {
            return red == other.red && green == other.green && blue == other.blue;
        }
    };

    struct Font
    {
        QString face;
        int height = 0; // cell height in device units
        int weight = 400; // 100 (thin) to 900 (black), 400 regular, 700 bold
    };

    static constexpr Colour kBlack {0, 0, 0};
    static constexpr Colour kWhite {255, 255, 255};

    virtual ~PrintDevice() = default;

    // Starts a job with this document name and its first page; false when no job could be
    // started (nothing else is to be called then).
    virtual bool beginJob(const QString &documentName) = 0;
    virtual void selectFont(const Font &font) = 0;
    // Text in the selected font; (x, y) is the top left corner of its first character cell.
    virtual void drawText(int x, int y, const QString &text) = 0;
    // A vertical line from (x, top) to (x, bottom), `penWidth` units wide, centred on x.
    virtual void drawVerticalLine(int x, int top, int bottom, Colour colour, int penWidth) = 0;
    virtual void endPage() = 0;
    // Ends the job and hands it to the spooler; false when the spooler did not take it.
    virtual bool endJob() = 0;
};
