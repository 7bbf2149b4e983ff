#include "SingleWin.h"

SingleWin::SingleWin(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SingleWin"));
    setWindowFlags(Qt::FramelessWindowHint);
    resize(360, 420);
}

SingleWin::~SingleWin() = default;

void SingleWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void SingleWin::receiveDataFromShowWin(QString data)
{
    Q_UNUSED(data)
}
