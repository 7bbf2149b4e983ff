#include "ReFundWin.h"

#include "RunLog.h"

ReFundWin::ReFundWin(QWidget *parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    setObjectName(QStringLiteral("ReFundWin"));
    resize(457, 480);
}

ReFundWin::~ReFundWin() = default;

void ReFundWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void ReFundWin::receiveRefundOrder(std::string orderNo)
{
    RunLog::write("收到订单号  =====  %s", orderNo.c_str());
    emit SendShowRefund();
    if (parentWidget())
        parentWidget()->show();
}
