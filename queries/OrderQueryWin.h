#pragma once

#include "MetaTypes.h"

#include <QWidget>

#include <string>

// The order list page: the store's orders of a date range, ten at a time.
class OrderQueryWin final : public QWidget
{
    Q_OBJECT

public:
    explicit OrderQueryWin(QWidget *parent = nullptr);
    ~OrderQueryWin() override;

    void setClerkTel(const std::string &tel);
    const std::string &clerkTel() const { return m_clerkTel; }

signals:
    void stateChanged(int state);
    void SendPrintToParamSetting(std::wstring receipt);

public slots:
    void receiveMsgFromCheckStand(std::wstring data);
    void receivePrintWidthFromParamSetting(int width);
    void receivePrintCountChanged(int count);

private:
    std::string m_clerkTel;
    std::wstring m_lastPayment;
    int m_printWidth = 0;
    int m_printCount = 0;
};
