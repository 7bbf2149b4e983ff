#pragma once

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class PayWin;
}

class CheckStandWin;
class DailyQueryWin;
class OrderQueryWin;
class ParamSettingWin;
class QMyButton;
class ReFundWin;
class SingleWin;

// The frame the cashier works in after login: a menu of five items on the left and one of
// the five working windows beside it. It owns the working windows and the single-window pay
// form, routes every signal between them, and brings the floating icon back when it has been
// hidden for a while.
class PayWin final : public QWidget
{
    Q_OBJECT

public:
    enum MenuItem { Checkout = 1, OrderQuery = 2, DailyQuery = 3, Refund = 4, Settings = 5 };

    explicit PayWin(QWidget *parent = nullptr);
    ~PayWin() override;

    // The floating icon this window brings back after it hides.
    void setFloatingIcon(QWidget *icon);
    void setShowWindowTime(int seconds);
    int showWindowTime() const { return m_showWindowTime; }

    MenuItem currentItem() const { return m_currentItem; }
    bool fullView() const { return m_fullView; }
    QMyButton *menuButton(MenuItem item) const;
    bool showTimerActive() const { return m_showTimer.isActive(); }

    CheckStandWin *checkStandWin() const { return m_checkStandWin; }
    ReFundWin *reFundWin() const { return m_reFundWin; }
    OrderQueryWin *orderQueryWin() const { return m_orderQueryWin; }
    DailyQueryWin *dailyQueryWin() const { return m_dailyQueryWin; }
    ParamSettingWin *paramSettingWin() const { return m_paramSettingWin; }
    SingleWin *singleWin() const { return m_singleWin.get(); }

signals:
    void SendPrintChangedToDailyQueryWin(QString printerName);

public slots:
    void OnShowCheckStandWin();
    void OnShowRefund();
    void OnShowOrderQuery();
    void OnShowDailyQuery();
    void OnShowParamSetting();
    void receiveDataFromCheckStandWin();
    void receiveDataFromReFundWin();
    void receiveFromDailyQueryWin();
    void receiveDataFromParamSettingWin();
    void receiveDataFromParamSettingWinHotKey(int data);
    void receiveDataFromParamSettingWindHotKeyReport();
    void receiveDataFromParamSettingWinPrintName(QString printerName);
    void OnShowFullView();
    void OnCloseMe();
    void resizeWinodw();
    void onShowPayWin();
    void onShowWindow();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void switchTo(MenuItem item);
    void styleMenu();
    void layOutMenu();
    QSize itemSize(MenuItem item) const;
    void moveToWorkPosition();

    std::unique_ptr<Ui::PayWin> m_ui;
    std::array<QMyButton *, 5> m_menu {};
    CheckStandWin *m_checkStandWin;
    ReFundWin *m_reFundWin;
    OrderQueryWin *m_orderQueryWin;
    DailyQueryWin *m_dailyQueryWin;
    ParamSettingWin *m_paramSettingWin;
    std::unique_ptr<SingleWin> m_singleWin;
    QWidget *m_floatingIcon = nullptr;

    int m_language;
    MenuItem m_currentItem = Checkout;
    bool m_fullView = false;
    int m_showWindowTime = 10;
    QTimer m_showTimer;

    bool m_dragging = false;
    QPoint m_pressMouse;
    QPoint m_pressWindow;
};
