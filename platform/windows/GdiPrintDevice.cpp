#include "GdiPrintDevice.h"

#include "Printers.h"

#include <windows.h>

struct GdiPrintDevice::System
{
    std::wstring printer;
    HDC dc = nullptr;
    HFONT font = nullptr;
    int saved = 0;
    bool pageOpen = false;
    bool docOpen = false;

    void release()
    {
        if (dc) {
            if (saved)
                RestoreDC(dc, saved);
            if (docOpen)
                AbortDoc(dc);
            DeleteDC(dc);
        }
        if (font)
            DeleteObject(font);
        dc = nullptr;
        font = nullptr;
        saved = 0;
        pageOpen = false;
        docOpen = false;
    }
};

GdiPrintDevice::GdiPrintDevice(std::wstring printer)
    : m_system(std::make_unique<System>())
{
    m_system->printer = std::move(printer);
}

GdiPrintDevice::~GdiPrintDevice()
{
    // A job that was not ended is dropped, not printed half-drawn.
    m_system->release();
}

std::unique_ptr<PrintDevice> GdiPrintDevice::openDefault()
{
    const QString name = Printers::defaultName();
    if (name.isEmpty())
        return nullptr;
    return std::make_unique<GdiPrintDevice>(name.toStdWString());
}

bool GdiPrintDevice::beginJob(const QString &documentName)
{
    System &s = *m_system;
    if (s.dc)
        return false;
    s.dc = CreateDCW(L"WINSPOOL", s.printer.c_str(), nullptr, nullptr);
    if (!s.dc)
        return false;
    const std::wstring name = documentName.toStdWString();
    DOCINFOW document {};
    document.cbSize = sizeof document;
    document.lpszDocName = name.c_str();
    if (StartDocW(s.dc, &document) <= 0) {
        s.release();
        return false;
    }
    s.docOpen = true;
    if (StartPage(s.dc) <= 0) {
        s.release();
        return false;
    }
    s.pageOpen = true;
    s.saved = SaveDC(s.dc);
    SetBkMode(s.dc, TRANSPARENT);
    return true;
}

void GdiPrintDevice::selectFont(const Font &font)
{
    System &s = *m_system;
    if (!s.dc)
        return;
    const HFONT made = CreateFontW(font.height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE,
        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_DONTCARE, font.face.toStdWString().c_str());
    if (!made)
        return;
    SelectObject(s.dc, made);
    if (s.font)
        DeleteObject(s.font);
    s.font = made;
}

void GdiPrintDevice::drawText(int x, int y, const QString &text)
{
    if (!m_system->dc)
        return;
    const std::wstring wide = text.toStdWString();
    TextOutW(m_system->dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

void GdiPrintDevice::drawVerticalLine(int x, int top, int bottom, Colour colour, int penWidth)
{
    System &s = *m_system;
    if (!s.dc)
        return;
    const HPEN pen = CreatePen(PS_SOLID, penWidth, RGB(colour.red, colour.green, colour.blue));
    const HGDIOBJ previous = SelectObject(s.dc, pen);
    MoveToEx(s.dc, x, top, nullptr);
    LineTo(s.dc, x, bottom);
    SelectObject(s.dc, previous);
    DeleteObject(pen);
}

void GdiPrintDevice::endPage()
{
    System &s = *m_system;
    if (!s.dc || !s.pageOpen)
        return;
    if (s.saved)
        RestoreDC(s.dc, s.saved);
    s.saved = 0;
    EndPage(s.dc);
    s.pageOpen = false;
}

bool GdiPrintDevice::endJob()
{
    System &s = *m_system;
    if (!s.dc)
        return false;
    endPage();
    const bool ended = EndDoc(s.dc) > 0;
    s.docOpen = false;
    s.release();
    return ended;
}
