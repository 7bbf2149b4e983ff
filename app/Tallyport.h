#pragma once

#include "LoginSession.h"
#include "Settings.h"
#include "WorkInFlight.h"

#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace Ui {
class TallyportClass;
}

class DesignGeometry;
class HttpClient;
class LeaveFlow;
class LedgerNotices;
class NoteWin;
class QAction;
class QLineEdit;
class QMenu;
class RecoveredNotice;
class ShowWin;

// The login window: the first and longest-living window. It logs the cashier in, keeps the
// session, creates the floating icon (which creates the main window with every working
// window), owns the tray icon and its menu, and handles logout and exit.
class Tallyport final : public QWidget
{
    Q_OBJECT

public:
    explicit Tallyport(QWidget *parent = nullptr);
    ~Tallyport() override;

    const LoginSession &session() const { return m_session; }
    ShowWin *floatingIcon() const { return m_showWin; }
    // The tray icon and its menu, the prompts and the notice are made when first needed;
    // these make them when they are not there yet.
    QSystemTrayIcon *trayIcon();
    QMenu *trayMenu();
    // The exit prompt.
    NoteWin *noteWin() { return exitPrompt(); }
    // Process-wide: a login request is under way.
    static bool busy();
    bool autoLoginPending() const { return m_autoLogin != 0; }
    // The prompt shown while a logout, exit or restart waits for a payment or refund.
    NoteWin *leavePrompt();
    // A restart was confirmed: the process starts the program again once it has quit.
    bool restartRequested() const { return m_restart; }
    // What the ledger's follow-up found about payments the till had shown unfinished.
    RecoveredNotice *recoveredNotice();
    LedgerNotices *ledgerNotices() const { return m_ledgerNotices; }
    const LeaveFlow &leaveFlow() const { return *m_leaveFlow; }

    // Logs out, exits or restarts; while a payment or refund runs, says so and waits for it
    // to end (then for its card to be read) or for the cashier to leave at once.
    void requestLeave(WorkInFlight::Leave leave);

signals:
    void finishPost();
    void senDataToParamSettingWin();
    void sendMsgToUpdate();

public slots:
    void OnInput0();
    void OnInput1();
    void OnInput2();
    void OnInput3();
    void OnInput4();
    void OnInput5();
    void OnInput6();
    void OnInput7();
    void OnInput8();
    void OnInput9();
    void OnInput00();
    void OnInputDot();
    void OnInputDelete();
    void OnInputEsc();
    bool OnInputLogin();
    void OnLogin();
    void handleTimeout();
    void OnShowThis();
    void OnShowWindow();
    void OnShowWindowClickSystem(QSystemTrayIcon::ActivationReason reason);
    void OnParamSetting();
    void OnDownLoad();
    void OnNote();
    void OnEixtApp();
    void resizeWinodw();
    void OnPowerBoot();
    void OnUpgrade();
    void OnExitConfirmed();
    void OnRestartConfirmed();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Makes the tray icon, hidden, with its menu; nothing once they are there.
    void buildTray();
    NoteWin *exitPrompt();
    void applyTexts();
    // In connection mode 0 the keyboard-hook program runs while the till does.
    void ensureKeyHook(int connMode);
    void setLoginButtonBusy(bool busy);
    void showFailureNotice();
    QLineEdit *keypadTarget() const;
    void appendKey(const QString &text);
    void saveSettings();
    void copySessionToWindows();
    WorkInFlight workInFlight() const;
    void leaveNow(WorkInFlight::Leave leave);
    void logout();

    std::unique_ptr<Ui::TallyportClass> m_ui;
    LoginSettings m_settings;
    LoginSession m_session;
    int m_language;
    int m_autoLogin = 0;

    NoteWin *m_noteWin = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
    QAction *m_powerBootAction = nullptr;
    QAction *m_voiceAction = nullptr;
    QAction *m_noteAction = nullptr;
    QTimer m_noteTimer;
    std::unique_ptr<LeaveFlow> m_leaveFlow;
    bool m_restart = false;
    QTimer m_reapTimer; // collects the updater once it ends
    ShowWin *m_showWin = nullptr;
    std::unique_ptr<HttpClient> m_http;

    std::unique_ptr<DesignGeometry> m_design;

    // The ledger's follow-up from login to logout or exit, and its notices.
    LedgerNotices *m_ledgerNotices;

    std::mutex m_replyMutex;
    std::string m_reply;
    std::atomic<bool> m_cancelLogin {false};
    std::thread m_loginThread;
};
