#pragma once

#include <QWidget>

#include <memory>

class QTimer;

class DesignGeometry;

namespace Ui {
class NoteWin;
}

// The confirmation and notice box every window keeps one of: a title, a message, an icon,
// either a Yes/No pair or a single OK button that closes itself after a second, and a mode
// that decides what Yes does.
class NoteWin final : public QWidget
{
    Q_OBJECT

public:
    explicit NoteWin(QWidget *parent = nullptr);
    ~NoteWin() override;

    // 1: exit prompt (Yes ends the keyboard-hook program and the application),
    // 2: logout prompt (Yes emits SendToParamSetting()), 3: restart prompt (Yes emits
    // SendRestart()), anything else: Yes does nothing.
    void setMode(int mode);
    int mode() const;

    void setIcon(bool success);
    // The countdown text goes to label_m and both countdown labels are shown only when
    // `showCountdown` is set; otherwise both are hidden and label_m keeps its text.
    void setTexts(
        const QString &title, const QString &message, const QString &countdown, bool showCountdown);
    void setAutoCloseWords(const QString &words);
    void setYesNoMode(const QString &yesText, const QString &noText);
    void setOkMode(const QString &okText);
    void centreOver(const QWidget *owner);

signals:
    void SendToParamSetting();
    void SendRestart();

public slots:
    void OnBtnYes();
    void OnBtnNo();
    void OnBtnOk();
    void handleTimeout();
    void resizeWinodw();

private:
    std::unique_ptr<Ui::NoteWin> m_ui;
    QTimer *m_timer = nullptr;
    int m_mode = 0;
    std::unique_ptr<DesignGeometry> m_design;
};
