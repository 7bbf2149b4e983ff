#pragma once

#include <QWidget>

#include <string>

// The compact single-window pay form, opened from the floating icon.
class SingleWin final : public QWidget
{
    Q_OBJECT

public:
    explicit SingleWin(QWidget *parent = nullptr);
    ~SingleWin() override;

    void setClerkTel(const std::string &tel);
    const std::string &clerkTel() const { return m_clerkTel; }

public slots:
    void receiveDataFromShowWin(QString data);

private:
    std::string m_clerkTel;
};
