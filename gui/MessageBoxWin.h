#pragma once

#include <QWidget>

#include <memory>

class QTimer;

namespace Ui {
class MessageBoxWin;
}

// The older prompt box: a title, a message, and either the exit/hide pair or a single hide
// button; used to flash a result that hides itself after a few seconds.
class MessageBoxWin final : public QWidget
{
    Q_OBJECT

public:
    explicit MessageBoxWin(QWidget *parent = nullptr);
    ~MessageBoxWin() override;

    void setTexts(const QString &title, const QString &message);
    void setSingleButtonMode();
    // Hides the box after `seconds`; 0 keeps it until it is closed.
    void startAutoHide(int seconds);

public slots:
    void OnYesExitApp();
    void OnNoHideApp();
    void OnYes2HideApp();
    void handleTimeout();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyRoundedMask();

    std::unique_ptr<Ui::MessageBoxWin> m_ui;
    QTimer *m_timer = nullptr;
};
