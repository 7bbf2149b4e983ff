#include "Tallyport.h"
#include "ui_Tallyport.h"

#include "AppDir.h"
#include "AutoStart.h"
#include "CheckStandWin.h"
#include "ConfigStore.h"
#include "ConnectionSettings.h"
#include "DailyQueryWin.h"
#include "HostSettings.h"
#include "HttpClient.h"
#include "Language.h"
#include "LeaveFlow.h"
#include "LedgerNotices.h"
#include "LedgerStore.h"
#include "LoginRequest.h"
#include "NoteWin.h"
#include "OrderQueryWin.h"
#include "ParamSettingWin.h"
#include "PayWin.h"
#include "ProcessControl.h"
#include "ReFundWin.h"
#include "RecoveredNotice.h"
#include "RunLog.h"
#include "ShowWin.h"
#include "Signing.h"
#include "SingleWin.h"
#include "Text.h"
#include "UpgradeCheck.h"
#include "WindowScaling.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainterPath>
#include <QShortcut>

namespace {

std::atomic<bool> s_busy {false};

const QString kKeyHook = QStringLiteral("KeyHook");

constexpr int kNoticeMs = 4000;
constexpr int kAutoLoginDelayMs = 1000;
constexpr int kReapMs = 500;

QString loginButtonStyle(bool busy)
{
    return QStringLiteral("QPushButton { background-color: %1; color: white; border: none;"
                          " border-radius: 4px; font: 14pt \"Arial\"; }")
        .arg(busy ? QStringLiteral("rgb(0, 145, 189)") : QStringLiteral("rgb(193,39,45)"));
}

} // namespace

Tallyport::Tallyport(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::TallyportClass>())
    , m_language(kLanguageChinese)
    , m_ledgerNotices(new LedgerNotices(LedgerStore::shared(), kLanguageChinese, this))
{
    // 1. The form, as a frameless top-level window.
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowMaximizeButtonHint);

    // 2. Settings; the language is Chinese whatever the file says.
    m_settings = LoginSettings::load(ConfigStore());
    m_language = m_settings.language;

    // 3. The exit prompt and the prompt of a leave that waits for work are made when first
    // shown (exitPrompt(), leavePrompt()).
    m_leaveFlow = std::make_unique<LeaveFlow>([this] { return workInFlight(); },
        [this](WorkInFlight::Leave leave) { leaveNow(leave); }, m_language);
    connect(&m_reapTimer, &QTimer::timeout, this, [this] {
        if (ProcessControl::reapChildren() == 0)
            m_reapTimer.stop();
    });

    // 4. The tray icon, invisible until login, and its menu are made at login (buildTray()).

    // 5. Connections and looks.
    connect(this, &Tallyport::finishPost, this, &Tallyport::OnLogin, Qt::QueuedConnection);
    connect(m_ui->pushButton_input0, &QPushButton::clicked, this, &Tallyport::OnInput0);
    connect(m_ui->pushButton_input1, &QPushButton::clicked, this, &Tallyport::OnInput1);
    connect(m_ui->pushButton_input2, &QPushButton::clicked, this, &Tallyport::OnInput2);
    connect(m_ui->pushButton_input3, &QPushButton::clicked, this, &Tallyport::OnInput3);
    connect(m_ui->pushButton_input4, &QPushButton::clicked, this, &Tallyport::OnInput4);
    connect(m_ui->pushButton_input5, &QPushButton::clicked, this, &Tallyport::OnInput5);
    connect(m_ui->pushButton_input6, &QPushButton::clicked, this, &Tallyport::OnInput6);
    connect(m_ui->pushButton_input7, &QPushButton::clicked, this, &Tallyport::OnInput7);
    connect(m_ui->pushButton_input8, &QPushButton::clicked, this, &Tallyport::OnInput8);
    connect(m_ui->pushButton_input9, &QPushButton::clicked, this, &Tallyport::OnInput9);
    connect(m_ui->pushButton_input00, &QPushButton::clicked, this, &Tallyport::OnInput00);
    connect(m_ui->pushButton_inputdot, &QPushButton::clicked, this, &Tallyport::OnInputDot);
    connect(m_ui->pushButton_delete, &QPushButton::clicked, this, &Tallyport::OnInputDelete);
    connect(m_ui->pushButton_close, &QPushButton::clicked, this, &Tallyport::OnInputEsc);
    connect(m_ui->pushButton_login, &QPushButton::clicked, this, &Tallyport::OnInputLogin);
    setStyleSheet(QStringLiteral(
        "#TallyportClass { border-image: url(:/Tallyport/skin/bj0328.png); }"
        "#label_title { color: white; font: bold 22pt \"Arial\"; background: transparent; }"
        "QLineEdit { border: 1px solid rgb(220, 223, 230); border-radius: 4px; padding-left: 6px;"
        " font: 13pt \"Arial\"; background: white; }"
        "#label_note { background-color: rgba(0, 0, 0, 160); color: white; border-radius: 8px;"
        " font: 12pt \"Arial\"; }"
        "QPushButton[keypad=\"true\"] { background-color: white; color: rgb(80, 80, 80);"
        " border: 1px solid rgb(225, 225, 225); border-radius: 4px; font: 14pt \"Arial\"; }"
        "QPushButton[keypad=\"true\"]:pressed { background-color: rgb(240, 240, 240); }"
        "#pushButton_delete { image: url(:/Tallyport/skin/delete.png); padding: 6px; }"
        "#pushButton_close { border: none; image: url(:/Tallyport/skin/guanbi2.png); }"
        "#pushButton_close:hover { background-color: #ff4444; }"));
    for (QPushButton *key : findChildren<QPushButton *>()) {
        if (key->objectName().startsWith(QLatin1String("pushButton_input"))
            || key == m_ui->pushButton_delete) {
            key->setProperty("keypad", true);
            key->setFocusPolicy(Qt::NoFocus);
        }
    }
    setLoginButtonBusy(false);
    m_ui->label_note->hide();

    // 6. The stored credentials.
    m_ui->lineEdit_username->setText(Text::fromLocal(m_settings.username));
    m_ui->lineEdit_password->setText(Text::fromLocal(m_settings.password));

    // 7. Texts of the current language.
    applyTexts();

    // 8. Focus, and Return in either field logs in.
    m_ui->lineEdit_username->setFocus();
    connect(m_ui->lineEdit_username, &QLineEdit::returnPressed, this, &Tallyport::OnInputLogin);
    connect(m_ui->lineEdit_password, &QLineEdit::returnPressed, this, &Tallyport::OnInputLogin);

    // 9. The notice timer; with auto-login it submits the stored credentials after a second.
    connect(&m_noteTimer, &QTimer::timeout, this, &Tallyport::handleTimeout);
    if (m_settings.autoLogin == 1) {
        m_autoLogin = 1;
        m_noteTimer.start(kAutoLoginDelayMs);
    }

    // 10. Layout.
    m_design = std::make_unique<DesignGeometry>(this);
    resizeWinodw();

    // 11. The ledger's follow-up and its notices start at login; the ledger itself opens after
    // the first paint, below.

    // 12. What the first paint does not need runs once the event loop has started, after the
    // window is mapped, and before any login: the payment ledger (opening it settles what an
    // earlier run left unfinished and waits for the disk), the window icon (reading the .ico
    // loads Qt's image plug-ins) and the keyboard-hook program, which runs while the client uses
    // it (finding whether it runs reads every process's name).
    QTimer::singleShot(0, this, [this] {
        LedgerStore::shared().openDefault();
        m_ledgerNotices->showRecording();
        setWindowIcon(QIcon(QStringLiteral("://Tallyport//skin//vela_logo.ico")));
        ensureKeyHook(m_settings.connMode);
    });
}

Tallyport::~Tallyport()
{
    // A login under way is cut short: quitting never waits for the network.
    hide();
    m_ledgerNotices->stop();
    m_cancelLogin = true;
    if (m_loginThread.joinable()) {
        m_loginThread.join();
        s_busy = false; // its answer will never be read
    }
    delete m_showWin;
    delete m_noteWin;
}

bool Tallyport::busy()
{
    return s_busy.load();
}

NoteWin *Tallyport::exitPrompt()
{
    if (!m_noteWin) {
        m_noteWin = new NoteWin;
        // The exit prompt's Yes comes back here (see OnEixtApp).
        connect(m_noteWin, &NoteWin::SendToParamSetting, this, &Tallyport::OnExitConfirmed);
    }
    return m_noteWin;
}

NoteWin *Tallyport::leavePrompt()
{
    return m_leaveFlow->prompt();
}

QSystemTrayIcon *Tallyport::trayIcon()
{
    buildTray();
    return m_tray;
}

QMenu *Tallyport::trayMenu()
{
    buildTray();
    return m_trayMenu;
}

RecoveredNotice *Tallyport::recoveredNotice()
{
    return m_ledgerNotices->notice();
}

void Tallyport::buildTray()
{
    if (m_tray)
        return;
    m_tray = new QSystemTrayIcon(QIcon(QStringLiteral("://Tallyport//skin//bankicon.png")), this);
    m_tray->setToolTip(
        Language::pick(m_language, "Kovani-收银系统", "Kovani-Cashier System", "Thu ngân Kovani"));
    m_trayMenu = new QMenu(this);
    const int l = m_language;

    m_powerBootAction = m_trayMenu->addAction(Language::pick(
        l, "开机自动运行", "Start up automatic operation", "Tự động chạy khi mở máy"));
    m_powerBootAction->setCheckable(true);
    m_powerBootAction->setChecked(m_settings.powerBoot);
    if (m_settings.powerBoot && !AutoStart::isEnabled())
        RunLog::write("开机自动运行已勾选, 但启动项不存在");
    connect(m_powerBootAction, &QAction::triggered, this, &Tallyport::OnPowerBoot);

    connect(m_trayMenu->addAction(Language::pick(l, "打开", "Open", "Mở")), &QAction::triggered,
        this, &Tallyport::OnShowWindow);
    connect(m_trayMenu->addAction(Language::pick(l, "设置", "Setting up", "Cài đặt")),
        &QAction::triggered, this, &Tallyport::OnParamSetting);

    m_voiceAction = m_trayMenu->addAction(
        Language::pick(l, "播放语音", "Play the voice", "Thông báo âm thanh"));
    m_voiceAction->setCheckable(true);
    m_voiceAction->setChecked(m_settings.download == 1);
    connect(m_voiceAction, &QAction::triggered, this, &Tallyport::OnDownLoad);

    m_noteAction
        = m_trayMenu->addAction(Language::pick(l, "弹窗提示", "Pop-up prompts", "Thông báo popup"));
    m_noteAction->setCheckable(true);
    m_noteAction->setChecked(m_settings.note == 1);
    connect(m_noteAction, &QAction::triggered, this, &Tallyport::OnNote);

    connect(
        m_trayMenu->addAction(Language::pick(l, "升级版本", "Upgraded version", "Bản nâng cấp")),
        &QAction::triggered, this, &Tallyport::OnUpgrade);
    connect(m_trayMenu->addAction(Language::pick(l, "退出", "Exit", "Thoát")), &QAction::triggered,
        this, &Tallyport::OnEixtApp);

    // Payments whose outcome is unknown or may be paid, and today's found afterwards.
    connect(m_trayMenu->addAction(
                Language::pick(l, "待核实支付", "Payments to check", "Giao dịch cần kiểm tra")),
        &QAction::triggered, m_ledgerNotices, &LedgerNotices::showAttention);

    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, &Tallyport::OnShowWindowClickSystem);
}

void Tallyport::applyTexts()
{
    const int l = m_language;
    m_ui->label_title->setText(Language::pick(l, "收银系统", "Cashier System", "Thu ngân"));
    m_ui->pushButton_login->setText(Language::pick(l, "登录", "Login", "Đăng nhập"));
    m_ui->label_note->setText(Language::pick(l, "登录失败", "Login failed", "Đăng nhập thất bại"));
    m_ui->lineEdit_username->setPlaceholderText(
        Language::pick(l, " 账号", " Account number", "Tài khoản"));
    m_ui->lineEdit_password->setPlaceholderText(
        Language::pick(l, " 密码", " Password", "Mật khẩu"));
}

void Tallyport::ensureKeyHook(int connMode)
{
    // Beside the program: the till works in its own folder (main.cpp makes it the working
    // directory where the system starts it elsewhere, as the Run value does).
    if (connMode == 0 && !ProcessControl::isRunning(kKeyHook))
        ProcessControl::startDetached(QDir::current().filePath(kKeyHook), {}, QDir::currentPath());
}

void Tallyport::setLoginButtonBusy(bool busy)
{
    m_ui->pushButton_login->setStyleSheet(loginButtonStyle(busy));
    m_ui->pushButton_login->setText(
        busy ? QStringLiteral("登录中") : Language::pick(m_language, "登录", "Login", "Đăng nhập"));
}

void Tallyport::showFailureNotice()
{
    m_autoLogin = 0;
    m_ui->label_note->show();
    m_ui->label_note->raise();
    m_noteTimer.start(kNoticeMs);
}

QLineEdit *Tallyport::keypadTarget() const
{
    return m_ui->lineEdit_username->hasFocus() ? m_ui->lineEdit_username : m_ui->lineEdit_password;
}

void Tallyport::appendKey(const QString &text)
{
    QLineEdit *field = keypadTarget();
    field->setText(field->text() + text);
}

void Tallyport::OnInput0()
{
    appendKey(QStringLiteral("0"));
}

void Tallyport::OnInput1()
{
    appendKey(QStringLiteral("1"));
}

void Tallyport::OnInput2()
{
    appendKey(QStringLiteral("2"));
}

void Tallyport::OnInput3()
{
    appendKey(QStringLiteral("3"));
}

void Tallyport::OnInput4()
{
    appendKey(QStringLiteral("4"));
}

void Tallyport::OnInput5()
{
    appendKey(QStringLiteral("5"));
}

void Tallyport::OnInput6()
{
    appendKey(QStringLiteral("6"));
}

void Tallyport::OnInput7()
{
    appendKey(QStringLiteral("7"));
}

void Tallyport::OnInput8()
{
    appendKey(QStringLiteral("8"));
}

void Tallyport::OnInput9()
{
    appendKey(QStringLiteral("9"));
}

void Tallyport::OnInput00()
{
    appendKey(QStringLiteral("00"));
}

void Tallyport::OnInputDot()
{
    appendKey(QStringLiteral("."));
}

void Tallyport::OnInputDelete()
{
    QLineEdit *field = keypadTarget();
    QString text = field->text();
    text.chop(1);
    field->setText(text);
}

void Tallyport::OnInputEsc()
{
    if (m_settings.connMode == 0)
        ProcessControl::killAll(kKeyHook);
    QCoreApplication::quit();
}

bool Tallyport::OnInputLogin()
{
    const std::string tel = Text::toLocal(m_ui->lineEdit_username->text());
    const std::string password = Text::toLocal(m_ui->lineEdit_password->text());
    if (tel.empty() || password.empty()) {
        showFailureNotice();
        return false;
    }
    if (s_busy.exchange(true))
        return false;
    // One login at a time: this one takes the place of a pending automatic login.
    if (m_autoLogin != 0) {
        m_autoLogin = 0;
        m_noteTimer.stop();
    }

    setLoginButtonBusy(true);
    RunLog::writeLogin("点击登录=======================");

    const std::string body
        = Text::localToUtf8(LoginRequest::body(tel, LoginRequest::passwordProof(password)));
    const HostSettings hosts = HostSettings::load();
    const std::string url = hosts.gatewayUrl(LoginRequest::kPath);
    const std::string caBundle = hosts.caBundle;
    RunLog::writeLogin(
        "登录请求参数：===========================    %s", LoginRequest::maskedBody(tel).c_str());

    if (m_loginThread.joinable())
        m_loginThread.join();
    m_cancelLogin = false;
    m_loginThread = std::thread([this, url, body, caBundle] {
        HttpClient client(caBundle);
        client.setCancelFlag(&m_cancelLogin);
        std::string reply;
        client.Post(url, body, reply, "json");
        {
            std::lock_guard<std::mutex> lock(m_replyMutex);
            m_reply = reply;
        }
        emit finishPost();
    });
    return false;
}

void Tallyport::OnLogin()
{
    std::string reply;
    {
        std::lock_guard<std::mutex> lock(m_replyMutex);
        reply.swap(m_reply);
    }

    const LoginRequest::LoginOutcome outcome = LoginRequest::decodeReply(reply, m_session);
    if (outcome != LoginRequest::LoginOutcome::LoggedIn) {
        setLoginButtonBusy(false);
        RunLog::writeLogin("%s",
            outcome == LoginRequest::LoginOutcome::NoReply ? "登录失败=====0=="
                                                           : "登录失败================");
        showFailureNotice();
        s_busy = false;
        return;
    }

    RunLog::writeLogin("登录成功===========================");
    GatewaySession::set({m_session.appid, m_session.key, m_session.sid});
    // The gateway's clock, which the ledger compares times on from now on.
    LedgerStore::shared().noteGatewayTime(Text::wideToUtf8(m_session.apiTime));

    m_showWin = new ShowWin;
    m_showWin->hide();
    connect(m_showWin->payWin()->paramSettingWin(), &ParamSettingWin::SendToLogin, this,
        &Tallyport::OnShowThis);
    connect(m_showWin->payWin()->paramSettingWin()->noteWin(), &NoteWin::SendRestart, this,
        &Tallyport::OnRestartConfirmed);

    m_session.tel = Text::toLocal(m_ui->lineEdit_username->text());
    m_session.password = Text::toLocal(m_ui->lineEdit_password->text());
    copySessionToWindows();

    ParamSettingWin *settings = m_showWin->payWin()->paramSettingWin();
    connect(this, &Tallyport::senDataToParamSettingWin, settings,
        &ParamSettingWin::receiveDataFromMain, Qt::UniqueConnection);
    emit senDataToParamSettingWin();

    // A recovered payment's receipt prints as a payment's does, under the same settings.
    connect(m_ledgerNotices, &LedgerNotices::printReceipt, settings,
        &ParamSettingWin::receiveMsgFromCheckStand, Qt::UniqueConnection);
    connect(m_ledgerNotices, &LedgerNotices::printReceipt, settings,
        &ParamSettingWin::receivePayPrint, Qt::UniqueConnection);
    connect(m_showWin->payWin()->checkStandWin(), &CheckStandWin::ledgerUpdated, m_ledgerNotices,
        &LedgerNotices::onLedgerUpdated);
    connect(m_showWin->payWin()->singleWin(), &SingleWin::ledgerUpdated, m_ledgerNotices,
        &LedgerNotices::onLedgerUpdated);
    m_ledgerNotices->start(Text::wideToUtf8(m_session.sid));
    // A logout ended the keyboard hook: every login makes sure it runs, as the start does, in
    // the mode the checkout now reads.
    ensureKeyHook(ConnectionSettings::get().connMode);

    s_busy = false;
    setLoginButtonBusy(false);
    hide();
    // The tray (its start-at-logon entry is saved with the settings) is first needed now.
    buildTray();
    saveSettings();

    if (m_settings.suspendWindowShow == 0)
        m_showWin->show();

    m_tray->setVisible(true);
    m_tray->showMessage(
        Language::pick(m_language, "系统消息", "System Information", "Tin tức hệ thống"),
        Language::pick(m_language, "Kovani-收银系统已启动", "Kovani-cashier system started",
            "Đã khởi động hệ thống thu ngân Kovani"),
        QSystemTrayIcon::Information, 10000);
}

void Tallyport::copySessionToWindows()
{
    PayWin *payWin = m_showWin->payWin();
    payWin->singleWin()->setClerkTel(m_session.tel);
    payWin->checkStandWin()->setClerkTel(m_session.tel);
    payWin->reFundWin()->setClerkTel(m_session.tel);
    payWin->orderQueryWin()->setClerkTel(m_session.tel);
    payWin->dailyQueryWin()->setClerkTel(m_session.tel);
    payWin->paramSettingWin()->setClerkTel(m_session.tel);
    payWin->dailyQueryWin()->setStoreName(m_session.storeName);
    payWin->paramSettingWin()->setSessionInfo(
        m_session.mchName, m_session.storeName, m_session.mchNameCopy, m_session.storeTel);
}

void Tallyport::saveSettings()
{
    m_settings.powerBoot = m_powerBootAction->isChecked();
    m_settings.username = Text::toLocal(m_ui->lineEdit_username->text());
    m_settings.password = Text::toLocal(m_ui->lineEdit_password->text());
    m_settings.language = m_language;
    m_settings.save(ConfigStore());
}

void Tallyport::handleTimeout()
{
    if (!m_noteTimer.isActive())
        return;
    m_noteTimer.stop();
    if (m_autoLogin == 0)
        m_ui->label_note->hide();
    else
        OnInputLogin();
}

void Tallyport::OnShowThis()
{
    requestLeave(WorkInFlight::Leave::Logout);
}

void Tallyport::OnExitConfirmed()
{
    exitPrompt()->hide();
    requestLeave(WorkInFlight::Leave::Exit);
}

void Tallyport::OnRestartConfirmed()
{
    if (m_showWin)
        m_showWin->payWin()->paramSettingWin()->noteWin()->hide();
    requestLeave(WorkInFlight::Leave::Restart);
}

WorkInFlight Tallyport::workInFlight() const
{
    WorkInFlight work;
    if (!m_showWin)
        return work;
    const PayWin *payWin = m_showWin->payWin();
    work.checkoutPaying = payWin->checkStandWin()->paying();
    work.checkoutPolling = payWin->checkStandWin()->polling();
    if (work.checkoutPolling)
        work.checkoutOrder = QString::fromStdWString(payWin->checkStandWin()->pendingOrderNumber());
    work.singlePayment = payWin->singleWin()->paying();
    work.refund = payWin->reFundWin()->busy() || payWin->orderQueryWin()->refunding();
    return work;
}

void Tallyport::requestLeave(WorkInFlight::Leave leave)
{
    m_leaveFlow->request(leave);
}

void Tallyport::leaveNow(WorkInFlight::Leave leave)
{
    switch (leave) {
    case WorkInFlight::Leave::Logout:
        logout();
        return;
    case WorkInFlight::Leave::Restart:
        RunLog::write("重启软件");
        m_restart = true;
        break;
    case WorkInFlight::Leave::Exit:
        break;
    }
    // Exit and restart stop the keyboard-hook program whatever the connection mode (a mode
    // changed since the start may have left one running); killAll returns once it is gone.
    ProcessControl::killAll(kKeyHook);
    QCoreApplication::quit();
}

void Tallyport::logout()
{
    m_ledgerNotices->stop();
    if (m_settings.connMode == 0)
        ProcessControl::killAll(kKeyHook);
    // The logout request comes from inside the main window, so it goes once that call returns.
    if (m_showWin) {
        m_showWin->hide();
        m_showWin->payWin()->hide();
        m_showWin->deleteLater();
        m_showWin = nullptr;
    }
    if (m_tray)
        m_tray->setVisible(false);
    show();
}

void Tallyport::OnShowWindow()
{
    if (!m_showWin)
        return;
    const QSize screen = WindowScaling::screenSize();
    PayWin *payWin = m_showWin->payWin();
    payWin->move((screen.width() - payWin->width()) / 4, (screen.height() - payWin->height()) / 2);
    payWin->show();
    payWin->raise();
    payWin->activateWindow();
    m_showWin->move((screen.width() - m_showWin->width()) * 6 / 11,
        (screen.height() - m_showWin->height()) * 2 / 10);
    m_showWin->activateWindow();
}

void Tallyport::OnShowWindowClickSystem(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
        OnShowWindow();
}

void Tallyport::OnParamSetting()
{
    if (!m_showWin)
        return;
    PayWin *payWin = m_showWin->payWin();
    payWin->checkStandWin()->hide();
    payWin->reFundWin()->hide();
    payWin->orderQueryWin()->hide();
    payWin->dailyQueryWin()->hide();
    payWin->OnShowParamSetting();
    const QSize screen = WindowScaling::screenSize();
    payWin->move((screen.width() - payWin->width()) / 4, (screen.height() - payWin->height()) / 2);
    payWin->show();
    payWin->raise();
    payWin->activateWindow();
}

void Tallyport::OnDownLoad()
{
    m_settings.download = m_voiceAction->isChecked() ? 1 : 0;
    saveSettings();
}

void Tallyport::OnNote()
{
    m_settings.note = m_noteAction->isChecked() ? 1 : 0;
    saveSettings();
}

void Tallyport::OnPowerBoot()
{
    // The check mark and power_boot follow the click even when the entry cannot be written.
    const bool enabled = m_powerBootAction->isChecked();
    if (!AutoStart::setEnabled(
            enabled, AutoStart::startCommand(QCoreApplication::applicationFilePath()))) {
        const std::string entry = Text::toLocal(AutoStart::entryPath());
        if (enabled)
            RunLog::write("开机启动项 %s 未能写入", entry.c_str());
        else
            RunLog::write("开机启动项 %s 未能删除", entry.c_str());
    }
    saveSettings();
}

void Tallyport::OnUpgrade()
{
    const QString updater = AppDir::filePath(QStringLiteral("Download"));
    const std::string body = UpgradeCheck::body(Signing::nonce());
    std::string reply;
    // Made at the first check: the start-up has no use for the client.
    if (!m_http)
        m_http = std::make_unique<HttpClient>();
    m_http->Post(HostSettings::load().upgradeUrl(UpgradeCheck::kPath), Text::localToUtf8(body),
        reply, "json");
    if (reply.empty())
        return;
    const std::optional<UpgradeOffer> offer = UpgradeCheck::decodeOffer(reply);
    if (!offer)
        return;
    const ConfigStore store;
    // The first accepted offer only creates the file; the next one starts the updater. A write
    // that fails is logged by the store; the offer still goes to the updater.
    const bool fileExisted = store.exists();
    offer->save(store);
    if (!fileExisted)
        return;
    if (m_showWin) {
        connect(this, &Tallyport::sendMsgToUpdate, m_showWin->payWin()->paramSettingWin(),
            &ParamSettingWin::receiveUpdateMsg, Qt::UniqueConnection);
    }
    emit sendMsgToUpdate();
    if (ProcessControl::openWithParameters(updater, UpgradeCheck::updaterParameters(*offer)))
        m_reapTimer.start(kReapMs);
}

void Tallyport::OnEixtApp()
{
    const int l = m_language;
    // Yes comes back to OnExitConfirmed rather than quitting at once, so that a payment or
    // refund under way is not cut short without a word.
    exitPrompt()->setMode(2);
    m_noteWin->setTexts(Language::pick(l, "退出提示", "Exit prompt", "Thông báo đăng xuất"),
        Language::pick(l, "是否退出Kovani-收银系统?",
            "Do you want to exit\nthe Kovani-cashier system?",
            "Thoát khỏi hệ thống thu\nngân Kovani?"),
        QString(), false);
    m_noteWin->setYesNoMode(
        Language::pick(l, "确定", "yes", "Xác nhận"), Language::pick(l, "取消", "no", "Hủy"));
    m_noteWin->centreOver(this);
    m_noteWin->show();
    m_noteWin->raise();
}

void Tallyport::resizeWinodw()
{
    // Start from the design each time, so a second call does not scale twice.
    const ScreenScale scale = WindowScaling::current();
    m_design->applyScaled(scale);
    if (scale.active()) {
        // The close key stays square.
        m_ui->pushButton_close->setGeometry(scale.x(500), 0, scale.x(20), scale.x(20));
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 5, 5);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void Tallyport::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    const QSize screen = WindowScaling::screenSize();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
    activateWindow();
}
