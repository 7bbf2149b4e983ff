#pragma once

#include <QRect>
#include <QSize>

// Forms are designed for a 1440 x 900 screen. On a wider screen every geometry is scaled,
// horizontal values by screen width / 1440 and vertical values by screen height / 900, each
// rounded down; on other screens the designed geometry stays.
class ScreenScale final
{
public:
    static constexpr int kDesignWidth = 1440;
    static constexpr int kDesignHeight = 900;

    explicit ScreenScale(QSize screen);

    bool active() const { return m_screen.width() > kDesignWidth; }
    QSize screen() const { return m_screen; }

    int x(int designValue) const;
    int y(int designValue) const;
    QSize size(QSize design) const;
    QRect rect(QRect design) const;

private:
    QSize m_screen;
};
