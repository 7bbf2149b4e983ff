#include "DailyQueryWin.h"

DailyQueryWin::DailyQueryWin(QWidget *parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    setObjectName(QStringLiteral("DailyQueryWin"));
    resize(582, 491);
}

DailyQueryWin::~DailyQueryWin() = default;

void DailyQueryWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void DailyQueryWin::setStoreName(const std::wstring &storeName)
{
    m_storeName = storeName;
}

void DailyQueryWin::receivePrintChanged(QString data)
{
    m_printerName = std::move(data);
}

void DailyQueryWin::receivePrintWidthChanged(int width)
{
    m_printWidth = width;
}
