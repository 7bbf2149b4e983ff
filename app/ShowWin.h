#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class ShowWin;
}

class PayWin;
class SerialReader;

// The floating icon: a small half-transparent bar on top of every window that shows the
// amount being typed and brings the cashier back to the checkout with one click. It creates
// the main window at login and destroys it at logout. When the single-window form is put away
// and the main window is hidden, the icon comes back, so the till never leaves the screen.
class ShowWin final : public QWidget
{
    Q_OBJECT

public:
    explicit ShowWin(QWidget *parent = nullptr);
    ~ShowWin() override;

    PayWin *payWin() const { return m_payWin.get(); }
    QString amountText() const;
    // True while the customer-display reader runs on the collection port.
    bool displayReaderRunning() const { return m_displayReader != nullptr; }

signals:
    void sendDataToCheckStand(QString data);
    void sendShowWindow();

public slots:
    void OnShowPayWindow();
    void receiveDataFromStand(float data);
    void receiveShowWindow();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void onKeepOnTopTick();
    void onFormHidden();
    void startDisplayReader();

    std::unique_ptr<Ui::ShowWin> m_ui;
    std::unique_ptr<PayWin> m_payWin;
    QPoint m_lastMouse;
    int m_multiWindowShow = 0;
    int m_suspendWindowShow = 0;
    QString m_collectMethod;
    // Brings the icon back on top once a second from the eleventh second after its creation;
    // it ticks only while the icon is shown, as a hidden icon has nothing to bring up.
    QTimer m_keepOnTop;
    bool m_keepOnTopEnabled = false;
    QElapsedTimer m_sinceCreated;
    std::unique_ptr<SerialReader> m_displayReader;
};
