#include "RecordingPrintDevice.h"

QString RecordingPrintDevice::Call::toString() const
{
    switch (kind) {
    case Kind::BeginJob:
        return QStringLiteral("begin %1").arg(text);
    case Kind::SelectFont:
        return QStringLiteral("font %1 %2 %3").arg(text).arg(size).arg(weight);
    case Kind::Text:
        return QStringLiteral("text %1,%2 %3").arg(x).arg(y).arg(text);
    case Kind::VerticalLine:
        return QStringLiteral("line %1 %2-%3 #%4%5%6 w%7")
            .arg(x)
            .arg(y)
            .arg(bottom)
            .arg(colour.red, 2, 16, QLatin1Char('0'))
            .arg(colour.green, 2, 16, QLatin1Char('0'))
            .arg(colour.blue, 2, 16, QLatin1Char('0'))
            .arg(size);
    case Kind::EndPage:
        return QStringLiteral("end page");
    case Kind::EndJob:
        return QStringLiteral("end job");
    }
    return QString();
}

RecordingPrintDevice::RecordingPrintDevice(std::vector<Call> *log, bool acceptJobs)
    : m_log(log)
    , m_acceptJobs(acceptJobs)
{ }

bool RecordingPrintDevice::beginJob(const QString &documentName)
{
    Call call;
    call.kind = Call::Kind::BeginJob;
    call.text = documentName;
    m_log->push_back(call);
    return m_acceptJobs;
}

void RecordingPrintDevice::selectFont(const Font &font)
{
    Call call;
    call.kind = Call::Kind::SelectFont;
    call.text = font.face;
    call.size = font.height;
    call.weight = font.weight;
    m_log->push_back(call);
}

void RecordingPrintDevice::drawText(int x, int y, const QString &text)
{
    Call call;
    call.kind = Call::Kind::Text;
    call.x = x;
    call.y = y;
    call.text = text;
    m_log->push_back(call);
}

void RecordingPrintDevice::drawVerticalLine(int x, int top, int bottom, Colour colour, int penWidth)
{
    Call call;
    call.kind = Call::Kind::VerticalLine;
    call.x = x;
    call.y = top;
    call.bottom = bottom;
    call.colour = colour;
    call.size = penWidth;
    m_log->push_back(call);
}

void RecordingPrintDevice::endPage()
{
    Call call;
    call.kind = Call::Kind::EndPage;
    m_log->push_back(call);
}

bool RecordingPrintDevice::endJob()
{
    Call call;
    call.kind = Call::Kind::EndJob;
    m_log->push_back(call);
    return true;
}
