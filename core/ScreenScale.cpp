#include "ScreenScale.h"

ScreenScale::ScreenScale(QSize screen)
    : m_screen(screen)
{ }

int ScreenScale::x(int designValue) const
{
    if (!active())
        return designValue;
    return static_cast<int>(static_cast<long long>(designValue) * m_screen.width() / kDesignWidth);
}

int ScreenScale::y(int designValue) const
{
    if (!active())
        return designValue;
    return static_cast<int>(
        static_cast<long long>(designValue) * m_screen.height() / kDesignHeight);
}

QSize ScreenScale::size(QSize design) const
{
    return QSize(x(design.width()), y(design.height()));
}

QRect ScreenScale::rect(QRect design) const
{
    return QRect(x(design.x()), y(design.y()), x(design.width()), y(design.height()));
}
