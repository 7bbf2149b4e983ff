#pragma once

#include "PrintDevice.h"

#include <QString>

#include <vector>

// A print device that keeps every call as data instead of printing: for tests, and to see
// what a layout draws.
class RecordingPrintDevice final : public PrintDevice
{
public:
    struct Call
    {
        enum class Kind { BeginJob, SelectFont, Text, VerticalLine, EndPage, EndJob };

        Kind kind = Kind::BeginJob;
        QString text; // document name, font face, or the text drawn
        int x = 0;
        int y = 0; // text: top; line: top
        int bottom = 0; // line
        int size = 0; // font height, or pen width
        int weight = 0; // font
        Colour colour; // line

        // One readable line, e.g. "text 90,100 商户名称:Shop" or "line 90 760-870 #000000 w2".
        QString toString() const;
    };

    // Appends every call to `log`, which must outlive the device. With `acceptJobs` false the
    // device behaves like a spooler that refuses the job: beginJob is recorded and fails.
    explicit RecordingPrintDevice(std::vector<Call> *log, bool acceptJobs = true);

    bool beginJob(const QString &documentName) override;
    void selectFont(const Font &font) override;
    void drawText(int x, int y, const QString &text) override;
    void drawVerticalLine(int x, int top, int bottom, Colour colour, int penWidth) override;
    void endPage() override;
    bool endJob() override;

private:
    std::vector<Call> *m_log;
    bool m_acceptJobs;
};
