#include "OrderQueryWin.h"

OrderQueryWin::OrderQueryWin(QWidget *parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    setObjectName(QStringLiteral("OrderQueryWin"));
    resize(870, 520);
}

OrderQueryWin::~OrderQueryWin() = default;

void OrderQueryWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void OrderQueryWin::receiveMsgFromCheckStand(std::wstring data)
{
    m_lastPayment = std::move(data);
}

void OrderQueryWin::receivePrintWidthFromParamSetting(int width)
{
    m_printWidth = width;
}

void OrderQueryWin::receivePrintCountChanged(int count)
{
    m_printCount = count;
}
