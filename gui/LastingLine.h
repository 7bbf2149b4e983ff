#pragma once

#include <QWidget>

#include <memory>

class DesignGeometry;

namespace Ui {
class LastingLine;
}

// One line that stays on the screen, over every window, while a condition lasts (the ledger
// cannot write), at the bottom of the screen; it never takes the keys from the checkout. An
// empty text hides it.
class LastingLine final : public QWidget
{
    Q_OBJECT

public:
    explicit LastingLine(QWidget *parent = nullptr);
    ~LastingLine() override;

    void setLine(const QString &text);
    QString line() const;

private:
    std::unique_ptr<Ui::LastingLine> m_ui;
    std::unique_ptr<DesignGeometry> m_design;
};
