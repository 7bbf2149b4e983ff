#pragma once

#include <QWidget>

#include <array>
#include <memory>

class QLabel;

class DesignGeometry;

namespace Ui {
class PayingWin;
}

// The small progress window shown over the checkout window while an order is polled: a
// wallet picture, a progress text and a row of five dots. It is created hidden and reused;
// its owner decides when it shows, where it stands and how many dots are lit.
class PayingWin final : public QWidget
{
    Q_OBJECT

public:
    explicit PayingWin(QWidget *parent = nullptr);
    ~PayingWin() override;

    void setText(const QString &text);
    // Left to right; a lit dot shows yl.png, an unlit one ya.png.
    void setDots(const std::array<bool, 5> &lit);
    std::array<bool, 5> dots() const;

public slots:
    // Lays the window out for the current screen from its 1440 x 900 design.
    void resizeWinodw();

private:
    std::unique_ptr<Ui::PayingWin> m_ui;
    std::array<QLabel *, 5> m_dotLabels {};
    std::array<bool, 5> m_lit {};
    std::unique_ptr<DesignGeometry> m_design;
};
