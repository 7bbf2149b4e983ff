#pragma once

#include "MetaTypes.h"

#include <QWidget>

#include <string>

// The refund page: refunds an order by its number, typed or scanned.
class ReFundWin final : public QWidget
{
    Q_OBJECT

public:
    explicit ReFundWin(QWidget *parent = nullptr);
    ~ReFundWin() override;

    // The cashier's phone number, copied in at login.
    void setClerkTel(const std::string &tel);
    const std::string &clerkTel() const { return m_clerkTel; }

signals:
    void sendData();
    void SendShowRefund();

public slots:
    void receiveRefundOrder(std::string orderNo);

private:
    std::string m_clerkTel;
};
