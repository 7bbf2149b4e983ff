#include "ParamSettingWin.h"
#include "ui_ParamSettingWin.h"

#include "AppDir.h"
#include "ConfigStore.h"
#include "ConnectionPairs.h"
#include "ConnectionSettings.h"
#include "DeviceLists.h"
#include "GlobalHotKeys.h"
#include "HotKeyRegistry.h"
#include "HotKeyTable.h"
#include "Language.h"
#include "NoteWin.h"
#include "PrintQueue.h"
#include "Printers.h"
#include "PrintDevices.h"
#include "SettingSwitch.h"
#include "Text.h"
#include "WindowScaling.h"

#include <QDebug>
#include <QEvent>
#include <QFileDialog>
#include <QPointer>
#include <QShowEvent>

#include <chrono>
#include <utility>

namespace {

constexpr int kTimerIntervalMs = 100;

using SettingSwitch::Sense;

// Runs a window's timer only while the window is shown: a hidden page has nothing to tick for,
// and an idle till should not wake up for it. A window destroyed while shown hides after its
// own members (the timer among them) have gone: the timer is then left alone.
class TickWhileShown final : public QObject
{
public:
    TickWhileShown(QWidget *window, QTimer *timer, int intervalMs)
        : QObject(window)
        , m_timer(timer)
    {
        m_timer->setInterval(intervalMs);
        window->installEventFilter(this);
        if (window->isVisible())
            m_timer->start();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_timer && event->type() == QEvent::Show)
            m_timer->start();
        else if (m_timer && event->type() == QEvent::Hide)
            m_timer->stop();
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QTimer> m_timer;
};

// Sets a caption of the language in force; a language the page has no caption for keeps the
// form's.
template<typename Widget>
void setCaption(
    Widget *widget, int language, const char *chinese, const char *english, const char *vietnamese)
{
    const QString text = Language::pick(language, chinese, english, vietnamese);
    if (!text.isNull())
        widget->setText(text);
}

void setTitle(QGroupBox *group, int language, const char *chinese, const char *english,
    const char *vietnamese)
{
    const QString text = Language::pick(language, chinese, english, vietnamese);
    if (!text.isNull())
        group->setTitle(text);
}

// The combos whose entries the system lists (printers, serial ports): disabled until the lists
// are there, so that nothing is chosen from a list still being made.
void enableDeviceCombos(Ui::ParamSettingWin &ui, bool enabled)
{
    for (QComboBox *combo : {ui.comboBox_printname, ui.comboBox_collectmethod_2,
             ui.comboBox_guestshow_2, ui.comboBox_ComSet})
        combo->setEnabled(enabled);
}

// Stores what a check box's new state means for its setting; false for a state that changes
// nothing (partially checked).
bool takeCheckState(int &setting, int state, Sense sense)
{
    const std::optional<int> value = SettingSwitch::valueFor(state, sense);
    if (!value)
        return false;
    setting = *value;
    return true;
}

} // namespace

ParamSettingWin::ParamSettingWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::ParamSettingWin>())
    , m_language(kLanguageChinese)
    , m_openPrintDevice(&PrintDevices::openDefault)
{
    // 1. The widgets, frameless.
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);

    // 2. The settings: built-in defaults, or the file's values when there is a file.
    const ConfigStore store;
    m_settings = ParamSettings::load(store);
    m_language = kLanguageChinese;

    // 3. The prompt for logout and restart.
    m_noteWin = new NoteWin;
    m_noteWin->hide();
    connect(m_noteWin, &NoteWin::SendToParamSetting, this, &ParamSettingWin::receiveNote);

    // 4.-6. Switches, the cash software; the printers come with the first show.
    m_ui->checkBox_showsuspend->setChecked(
        SettingSwitch::isChecked(m_settings.suspendWindowShow, Sense::ZeroWhenChecked));
    m_ui->lineEdit_cashsoftware->setText(m_settings.cashSoftware);
    m_ui->checkBox_showmultiwindows->setChecked(
        SettingSwitch::isChecked(m_settings.multiWindowShow, Sense::ZeroWhenChecked));
    m_ui->checkBox_pdxp->setChecked(
        SettingSwitch::isChecked(m_settings.print, Sense::ZeroWhenChecked));
    m_ui->checkBox_query->setChecked(
        SettingSwitch::isChecked(m_settings.automicShow, Sense::OneWhenChecked));
    m_ui->checkBox_zddl->setChecked(
        SettingSwitch::isChecked(m_settings.autoLogin, Sense::OneWhenChecked));

    // 7.-10. Data modes; the serial ports come with the first show.
    m_ui->comboBox_datamodel_2->addItems({QStringLiteral("模式一"), QStringLiteral("模式二"),
        QStringLiteral("模式三"), QStringLiteral("模式四")});
    m_ui->comboBox_datamodel_2->setCurrentIndex(0);
    m_deviceLists = std::make_unique<DeviceLists>(this);
    enableDeviceCombos(*m_ui, false);

    // 11.-12. Hot-key modifiers and paper width.
    m_ui->radioButton_cashctrl->setChecked(m_settings.cashHotkeyAlt == 1);
    m_ui->radioButton_cashalt->setChecked(m_settings.cashHotkeyAlt != 1);
    m_ui->radioButton_receiptatrl->setChecked(m_settings.receiptHotkeyAlt == 1);
    m_ui->radioButton_receiptalt->setChecked(m_settings.receiptHotkeyAlt != 1);
    m_ui->radioButton_reportatrl->setChecked(m_settings.reportHotkeyAlt == 1);
    m_ui->radioButton_reportalt->setChecked(m_settings.reportHotkeyAlt != 1);
    m_ui->comboBox_paperwidth->addItems({QStringLiteral("58mm"), QStringLiteral("80mm")});
    m_ui->comboBox_paperwidth->setCurrentIndex(paperWidth(m_settings.printWidth));

    // 13.-14. Captions and item texts of the language; the connection of this run.
    applyCaptions();
    const ConnectionSettings::Values connection = ConnectionSettings::get();
    m_ui->lineEditIP->setText(Text::fromLocal(connection.ip));
    showConnectionPairs(connection.connMode);
    // The mode combo names the mode in force (another value leaves it at its first entry).
    if (connection.connMode >= 0 && connection.connMode < m_ui->comboBox_ljms->count())
        m_ui->comboBox_ljms->setCurrentIndex(connection.connMode);

    // 15.-16. Copies and the hot keys' keys.
    if (m_settings.printCount >= 0 && m_settings.printCount <= 2)
        m_ui->comboBox_papercount->setCurrentIndex(m_settings.printCount);
    const QStringList keys = HotKeyTable::keyTexts();
    for (QComboBox *combo :
        {m_ui->comboBox_cashhotkey, m_ui->comboBox_receipthotkey, m_ui->comboBox_reporthotkey})
        combo->addItems(keys);
    m_ui->comboBox_cashhotkey->setCurrentIndex(m_settings.cashHotkey);
    m_ui->comboBox_receipthotkey->setCurrentIndex(m_settings.receiptHotkey);
    m_ui->comboBox_reporthotkey->setCurrentIndex(m_settings.reportHotkey);

    // 17. The look; what is built but not offered.
    styleWidgets();
    for (QWidget *unused : std::initializer_list<QWidget *> {m_ui->groupBox_5, m_ui->groupBox_3,
             m_ui->comboBox_collectmethod, m_ui->comboBox_datamodel, m_ui->comboBox_guestshow,
             m_ui->label_5, m_ui->label_6})
        unused->hide();

    // 18.-19. The hot keys, then the widgets' signals and the timer.
    registerHotKeys();
    connectWidgets();
    connect(&m_timer, &QTimer::timeout, this, &ParamSettingWin::handleTimeout);
    new TickWhileShown(this, &m_timer, kTimerIntervalMs);

    // 20. The screen.
    WindowScaling::scaleWidgetTree(this, WindowScaling::current());
}

ParamSettingWin::~ParamSettingWin()
{
    delete m_noteWin;
}

void ParamSettingWin::showEvent(QShowEvent *event)
{
    if (!m_devicesAsked) {
        m_devicesAsked = true;
        askDevices();
    }
    QWidget::showEvent(event);
}

// The printers and ports are asked of the system once, when the page is first shown: the
// spooler and a port's driver may take seconds, so they are asked off the GUI thread, and a
// till that never opens its settings never loads what they need.
void ParamSettingWin::askDevices()
{
    const QString com = Text::fromLocal(ConnectionSettings::get().com);
    m_deviceLists->ask({m_settings.collectMethod, m_settings.guestShow, com},
        [this, com](const DeviceLists::Answer &answer) {
            fillPrinters(answer.printers, answer.defaultPrinter);
            fillSerialPorts(answer.ports, com);
            enableDeviceCombos(*m_ui, true);
        });
}

void ParamSettingWin::fillPrinters(const QStringList &printers, const QString &defaultPrinter)
{
    // Without a default among the printers, none is shown as chosen.
    m_ui->comboBox_printname->addItems(printers);
    m_ui->comboBox_printname->setCurrentIndex(m_ui->comboBox_printname->findText(defaultPrinter));
}

void ParamSettingWin::fillSerialPorts(
    const QList<SerialPortList::Port> &available, const QString &com)
{
    const SerialPortList ports(available);
    m_ui->comboBox_collectmethod_2->addItems(ports.collectionList());
    for (const SerialPortList::Choice &choice : ports.portChoices(com))
        m_ui->comboBox_ComSet->addItem(choice.text, choice.name);
    m_ui->comboBox_ComSet->setCurrentIndex(m_ui->comboBox_ComSet->findData(com));

    const int collect = m_ui->comboBox_collectmethod_2->findText(m_settings.collectMethod);
    if (collect >= 0) {
        m_ui->comboBox_collectmethod_2->setCurrentIndex(collect);
    } else {
        // The port it named is gone: back to typing, and the file says so too.
        m_ui->comboBox_collectmethod_2->setCurrentIndex(0);
        m_settings.collectMethod = QString::fromUtf8(SerialPortList::kManualInput);
        saveSettings();
    }

    m_ui->comboBox_guestshow_2->addItems(ports.displayList());
    const int display = m_ui->comboBox_guestshow_2->findText(m_settings.guestShow);
    m_ui->comboBox_guestshow_2->setCurrentIndex(display >= 0 ? display : 0);
}

void ParamSettingWin::applyCaptions()
{
    const int l = m_language;
    Ui::ParamSettingWin &ui = *m_ui;
    setTitle(ui.groupBox_1, l, "商户信息", "Business information", "Thông tin tài khoản");
    setCaption(ui.label_15, l, "商户名称:", "Merchant name:", "Tên Merchant:");
    setCaption(ui.label_16, l, "门店名称:", "Store name:", "Tên cửa hàng:");
    setCaption(ui.label_17, l, "门店负责人:", "Store manager:", "Quản lý\ncửa hàng:");
    setCaption(ui.label_18, l, "负责人手机:", "Mobile phone:", "Số điện\nthoại quản lý:");
    setTitle(ui.groupBox_4, l, "账户信息", "Account information", nullptr);
    setCaption(
        ui.label, l, "收银员账号:", "Cashier account\nnumber:", "Tài khoản nhân\nviên thu ngân");
    setTitle(ui.groupBox_9, l, "基础设置", "Basic setting", "Cài đặt cơ bản");
    setCaption(ui.checkBox_showsuspend, l, "显示悬浮图标", "Display hover icon", "Hiển thị icon");
    setCaption(ui.checkBox_pdxp, l, "打印小票", "Print receipts", "In hóa đơn");
    setCaption(ui.checkBox_query, l, "自动确认", nullptr, nullptr);
    setCaption(ui.checkBox_zddl, l, "自动登录", "Automatic login", "Đăng nhập tự động");
    setTitle(ui.groupBox_2, l, "收银热键", "Cashier hotkey", "Phím tắt nhận tiền");
    setTitle(ui.groupBox_6, l, "补打小票", nullptr, "In phiếu");
    setTitle(ui.groupBox_7, l, "报表查询", "Report query", "Tra cứu báo cáo");
    for (QRadioButton *alt :
        {ui.radioButton_cashalt, ui.radioButton_receiptalt, ui.radioButton_reportalt})
        alt->setText(QStringLiteral("ALT"));
    for (QRadioButton *ctrl :
        {ui.radioButton_cashctrl, ui.radioButton_receiptatrl, ui.radioButton_reportatrl})
        ctrl->setText(QStringLiteral("CTRL"));
    setTitle(ui.groupBox_8, l, "打印设置", "Print setup", nullptr);
    setCaption(ui.label_11, l, "打印机设置", "Printer setup", "Cài đặt máy in");
    setCaption(ui.label_12, l, "纸张宽度", "Paper\nwidth", "Chiều rộng\ntrang");
    setCaption(ui.label_13, l, "份数", "Copies", "Số bản\ncopy");
    setTitle(ui.groupBox_11, l, "数据采集", nullptr, nullptr);
    setCaption(ui.label_14, l, "采集方式", nullptr, nullptr);
    setCaption(ui.label_19, l, "数据模式", nullptr, nullptr);
    setCaption(ui.label_20, l, "客显设置", nullptr, nullptr);
    setTitle(ui.groupBox_10, l, nullptr, "Connection mode", "Phương thức kết nối");
    setCaption(ui.label_2, l, "连接模式", "Connection mode", "Cài đặt phím tắt");
    setCaption(ui.label_8, l, "IP地址", "IP address", "Nhập địa chỉ IP");
    setCaption(ui.label_com, l, "串口设置", nullptr, nullptr);
    setCaption(ui.pushButton_yes, l, "确定", "OK", "Xác nhận");
    setCaption(ui.pushButton_no, l, "取消", "Cancel", "Đóng");
    setCaption(ui.pushButton_tczh, l, "退出账户", "logout", "Đăng xuất  tài khoản");

    ui.comboBox_papercount->addItems({Language::pick(l, "一联", "one-coupling", "1 bản"),
        Language::pick(l, "两联", "two couplets", "2 bản")});
    // Three modes in every language: without its third entry the network mode could not be
    // chosen in Vietnamese.
    ui.comboBox_ljms->addItems({QStringLiteral("USB"), Language::pick(l, "串口", "COM", "COM"),
        Language::pick(l, "网络", "Network", "Mạng")});
}

void ParamSettingWin::showConnectionPairs(int connMode)
{
    const std::optional<ConnectionPairs::Visibility> pairs = ConnectionPairs::forMode(connMode);
    if (!pairs)
        return;
    m_ui->label_com->setVisible(pairs->serialPort);
    m_ui->comboBox_ComSet->setVisible(pairs->serialPort);
    m_ui->label_8->setVisible(pairs->ipAddress);
    m_ui->lineEditIP->setVisible(pairs->ipAddress);
}

void ParamSettingWin::styleWidgets()
{
    setStyleSheet(QStringLiteral(
        "#ParamSettingWin { background-color: white; }"
        "QGroupBox { color: rgb(102,102,102); background-color: white;"
        " border: 1px solid rgb(228,231,237); border-radius: 4px; margin-top: 8px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }"
        "#groupBox_2, #groupBox_6, #groupBox_7 { background-color: rgb(246,248,253); }"
        "QLabel, QCheckBox, QRadioButton { color: rgb(102,102,102); }"
        "QPushButton { color: white; border: none; border-radius: 4px; }"
        "#pushButton_yes { background-color: rgb(0,188,204); }"
        "#pushButton_no { background-color: rgb(39,162,240); }"
        "#pushButton_tczh { background-color: rgb(242,175,37); }"
        "#pushButton_start, #pushButton_cashsoftware { background-color: rgb(39,162,240); }"));
}

void ParamSettingWin::registerHotKeys()
{
    // The page's native window is its top-level window's: a native window of the page itself
    // would turn its siblings in the main window into native windows too.
    qDebug() << "this winId   =====-----" << window()->winId();
    m_hotKeys = new GlobalHotKeys(this);
    m_hotKeyRegistry = std::make_unique<HotKeyRegistry>(*m_hotKeys);
    m_hotKeyRegistry->registerAll(m_settings);
    connect(m_hotKeys, &GlobalHotKeys::activated, this, &ParamSettingWin::onHotKey);
}

void ParamSettingWin::connectWidgets()
{
    const Ui::ParamSettingWin &ui = *m_ui;
    connect(ui.pushButton_cashsoftware, &QPushButton::clicked, this, &ParamSettingWin::OnfindExe);
    connect(ui.pushButton_yes, &QPushButton::clicked, this, &ParamSettingWin::OnYes);
    connect(ui.pushButton_no, &QPushButton::clicked, this, &ParamSettingWin::OnNo);
    connect(ui.pushButton_start, &QPushButton::clicked, this, &ParamSettingWin::OnStart);
    connect(ui.pushButton_tczh, &QPushButton::clicked, this, &ParamSettingWin::OnExitUser);

    // The combos take the cashier's choice (activated), also of the entry already shown: what
    // a combo shows may not be what the file holds (a paper width or a copy count the page
    // does not offer, no default printer, a port that is not there).
    const auto chosen = qOverload<int>(&QComboBox::activated);
    connect(ui.comboBox_cashhotkey, chosen, this, &ParamSettingWin::OnCashHotKeyChanged);
    connect(ui.comboBox_receipthotkey, chosen, this, &ParamSettingWin::OnReceiptHotKeyChanged);
    connect(ui.comboBox_reporthotkey, chosen, this, &ParamSettingWin::OnReportHotKeyChecanged);
    connect(ui.comboBox_printname, chosen, this, &ParamSettingWin::OnPrintChanged);
    connect(ui.comboBox_paperwidth, chosen, this, &ParamSettingWin::OnPrintWidthChanged);
    connect(ui.comboBox_papercount, chosen, this, &ParamSettingWin::OnPaperCountChanged);
    connect(ui.comboBox_collectmethod_2, chosen, this, &ParamSettingWin::OnColloectMethodChanged);
    connect(ui.comboBox_guestshow_2, chosen, this, &ParamSettingWin::OnGuestShowChanged);
    connect(ui.comboBox_ComSet, chosen, this, &ParamSettingWin::OnComChanged);
    connect(ui.comboBox_ljms, chosen, this, &ParamSettingWin::OnLjmsChanged);

    connect(
        ui.radioButton_cashctrl, &QRadioButton::clicked, this, &ParamSettingWin::OnCehckCashCtrl);
    connect(ui.radioButton_cashalt, &QRadioButton::clicked, this, &ParamSettingWin::OnCheckCashAlt);
    connect(ui.radioButton_receiptatrl, &QRadioButton::clicked, this,
        &ParamSettingWin::OnCheckReceiptCtrl);
    connect(ui.radioButton_receiptalt, &QRadioButton::clicked, this,
        &ParamSettingWin::OnCheckReceiptAlt);
    connect(ui.radioButton_reportatrl, &QRadioButton::clicked, this,
        &ParamSettingWin::OnCheckReportCtrl);
    connect(
        ui.radioButton_reportalt, &QRadioButton::clicked, this, &ParamSettingWin::OnCheckReportAlt);

    connect(
        ui.checkBox_showsuspend, &QCheckBox::stateChanged, this, &ParamSettingWin::OnStateChanged);
    connect(ui.checkBox_showmultiwindows, &QCheckBox::stateChanged, this,
        &ParamSettingWin::OnStateChangedMulti);
    connect(ui.checkBox_pdxp, &QCheckBox::stateChanged, this, &ParamSettingWin::OnStatePDXP);
    connect(ui.checkBox_zddl, &QCheckBox::stateChanged, this, &ParamSettingWin::OnStateZDDL);
    connect(
        ui.checkBox_query, &QCheckBox::stateChanged, this, &ParamSettingWin::OnStateAutomicShow);

    connect(ui.lineEditIP, &QLineEdit::editingFinished, this, &ParamSettingWin::OnIPChanged);
}

void ParamSettingWin::saveSettings()
{
    m_settings.save(ConfigStore());
}

void ParamSettingWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void ParamSettingWin::setSessionInfo(const std::wstring &merchantName,
    const std::wstring &storeName, const std::wstring &storeManager,
    const std::wstring &managerPhone)
{
    m_merchantName = merchantName;
    m_storeName = storeName;
    m_storeManager = storeManager;
    m_managerPhone = managerPhone;
}

void ParamSettingWin::receiveDataFromMain()
{
    m_ui->lineEdit_username->setText(QLatin1Char(' ') + Text::fromLocal(m_clerkTel));
    m_ui->label_shmc->setText(QString::fromStdWString(m_merchantName));
    m_ui->label_mdmc->setText(QString::fromStdWString(m_storeName));
    m_ui->label_mdfzr->setText(QString::fromStdWString(m_storeManager));
    m_ui->label_fzrsj->setText(QString::fromStdWString(m_managerPhone));
}

void ParamSettingWin::receiveUpdateMsg()
{
    qDebug() << "RECEIVE UPDATE MSG";
    if (parentWidget())
        parentWidget()->hide();
}

void ParamSettingWin::OnfindExe()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open File"), AppDir::path(), QStringLiteral("可执行文件(*.exe)"));
    if (path.isEmpty())
        return;
    m_settings.cashSoftware = path;
    m_ui->lineEdit_cashsoftware->setText(path);
    saveSettings();
}

void ParamSettingWin::showNote(
    int mode, const QString &title, const QString &message, const QString &yes, const QString &no)
{
    m_noteWin->setMode(mode);
    m_noteWin->setTexts(title, message, QString(), false);
    m_noteWin->setYesNoMode(yes, no);
    m_noteWin->centreOver(this);
    m_noteWin->show();
    m_noteWin->raise();
}

void ParamSettingWin::OnYes()
{
    const int l = m_language;
    // Mode 3: Yes restarts the program (the new settings apply at the next start).
    showNote(3, Language::pick(l, "退出提示", "Exit the prompt", "Thông báo đăng xuất"),
        Language::pick(l, "修改参数后需要重启软件才能生效,\n是否重启软件?",
            "You need to restart the software\nto take effect after modifying\nparameters.Do "
            "you want to\nrestart the software?",
            "Thay đổi các tham số cần \nphải khởi động lại phần mềm\n để có hiệu lực,\nkhởi "
            "động lại phần mềm?"),
        Language::pick(l, "确定", "yes", "Xác nhận"), Language::pick(l, "取消", "no", "Hủy"));
}

void ParamSettingWin::OnNo()
{
    emit SendDataToPayWin();
}

void ParamSettingWin::OnStart()
{
    const bool starting = m_ui->pushButton_start->text() == QStringLiteral("启动");
    m_ui->pushButton_start->setText(starting ? QStringLiteral("停止") : QStringLiteral("启动"));
}

void ParamSettingWin::OnCashHotKeyChanged()
{
    m_settings.cashHotkey = m_ui->comboBox_cashhotkey->currentIndex();
    m_hotKeyRegistry->changeKey(HotKey::Cash, m_settings.cashHotkey, m_settings.cashHotkeyAlt);
    saveSettings();
}

void ParamSettingWin::OnCehckCashCtrl()
{
    m_hotKeyRegistry->changeModifier(HotKey::Cash, 1);
    m_settings.cashHotkeyAlt = 1;
    saveSettings();
}

void ParamSettingWin::OnCheckCashAlt()
{
    m_hotKeyRegistry->changeModifier(HotKey::Cash, 0);
    m_settings.cashHotkeyAlt = 0;
    saveSettings();
}

void ParamSettingWin::OnReceiptHotKeyChanged()
{
    m_settings.receiptHotkey = m_ui->comboBox_receipthotkey->currentIndex();
    m_hotKeyRegistry->changeKey(
        HotKey::Receipt, m_settings.receiptHotkey, m_settings.receiptHotkeyAlt);
    saveSettings();
}

void ParamSettingWin::OnCheckReceiptCtrl()
{
    m_hotKeyRegistry->changeModifier(HotKey::Receipt, 1);
    m_settings.receiptHotkeyAlt = 1;
    saveSettings();
}

void ParamSettingWin::OnCheckReceiptAlt()
{
    m_hotKeyRegistry->changeModifier(HotKey::Receipt, 0);
    m_settings.receiptHotkeyAlt = 0;
    saveSettings();
}

void ParamSettingWin::OnReportHotKeyChecanged()
{
    m_settings.reportHotkey = m_ui->comboBox_reporthotkey->currentIndex();
    m_hotKeyRegistry->changeKey(
        HotKey::Report, m_settings.reportHotkey, m_settings.reportHotkeyAlt);
    saveSettings();
}

void ParamSettingWin::OnCheckReportCtrl()
{
    m_hotKeyRegistry->changeModifier(HotKey::Report, 1);
    m_settings.reportHotkeyAlt = 1;
    saveSettings();
}

void ParamSettingWin::OnCheckReportAlt()
{
    m_hotKeyRegistry->changeModifier(HotKey::Report, 0);
    m_settings.reportHotkeyAlt = 0;
    saveSettings();
}

void ParamSettingWin::onHotKey(int id)
{
    switch (HotKeyRegistry::actionFor(id, m_settings.print)) {
    case HotKeyAction::ShowCheckout:
        emit SendDataToPayWinHotKey(m_settings.multiWindowShow);
        break;
    case HotKeyAction::ReprintReceipt:
        printInBackground("receipt (hot key)",
            [receipt = m_lastReceipt, party = receiptParty(), settings = printSettings()](
                const ReceiptPrinter &printer) {
                return printer.reprint(receipt, party, settings);
            });
        break;
    case HotKeyAction::ShowReport:
        emit ReportSendDataToPayWinHotKey();
        break;
    case HotKeyAction::ReceiptNotPrinted:
    case HotKeyAction::NotOurs:
        break;
    }
}

void ParamSettingWin::OnPrintChanged()
{
    const QString name = m_ui->comboBox_printname->currentText();
    Printers::setDefault(name);
    emit SendPrintChangedToPayWin(name);
}

void ParamSettingWin::OnStateChanged(int state)
{
    if (takeCheckState(m_settings.suspendWindowShow, state, Sense::ZeroWhenChecked))
        saveSettings();
}

void ParamSettingWin::OnStateChangedMulti(int state)
{
    if (takeCheckState(m_settings.multiWindowShow, state, Sense::ZeroWhenChecked))
        saveSettings();
}

void ParamSettingWin::OnStatePDXP(int state)
{
    if (takeCheckState(m_settings.print, state, Sense::ZeroWhenChecked))
        saveSettings();
}

void ParamSettingWin::OnStateZDDL(int state)
{
    if (takeCheckState(m_settings.autoLogin, state, Sense::OneWhenChecked))
        saveSettings();
}

void ParamSettingWin::OnStateAutomicShow(int state)
{
    if (takeCheckState(m_settings.automicShow, state, Sense::OneWhenChecked))
        saveSettings();
}

void ParamSettingWin::OnPaperCountChanged()
{
    const int index = m_ui->comboBox_papercount->currentIndex();
    m_settings.printCount = index;
    saveSettings();
    emit SendPrintCountToOrderQuery(index);
}

void ParamSettingWin::OnPrintWidthChanged()
{
    const int index = m_ui->comboBox_paperwidth->currentIndex();
    m_settings.printWidth = index;
    saveSettings();
    emit SendPrintWidthToDailQuery(index);
}

void ParamSettingWin::OnColloectMethodChanged()
{
    m_settings.collectMethod = m_ui->comboBox_collectmethod_2->currentText();
    saveSettings();
}

void ParamSettingWin::OnGuestShowChanged()
{
    m_settings.guestShow = m_ui->comboBox_guestshow_2->currentText();
    saveSettings();
}

void ParamSettingWin::OnComChanged()
{
    const std::string com = Text::toLocal(m_ui->comboBox_ComSet->currentData().toString());
    ConnectionSettings::setCom(com);
    ParamSettings::saveCom(ConfigStore(), com);
}

void ParamSettingWin::OnLjmsChanged()
{
    // The running connection stays as it is until the next start.
    const int index = m_ui->comboBox_ljms->currentIndex();
    showConnectionPairs(index);
    ParamSettings::saveConnMode(ConfigStore(), index);
}

void ParamSettingWin::OnIPChanged()
{
    ParamSettings::saveIp(ConfigStore(), Text::toLocal(m_ui->lineEditIP->text()));
}

void ParamSettingWin::OnPassWordsChanged()
{ }

void ParamSettingWin::OnExitUser()
{
    const int l = m_language;
    m_noteWin->setIcon(false);
    showNote(2, Language::pick(l, "退出提示", "Exit the prompt", "Thông báo đăng xuất"),
        Language::pick(l, "       是否退出当前账号?", "Do you want to exit your\ncurrent account?",
            "Thoát khỏi tài khoản hiện tại?"),
        Language::pick(l, "确定", "yes", "Xác nhận"), Language::pick(l, "取消", "no", "Hủy"));
}

void ParamSettingWin::receiveNote()
{
    m_noteWin->hide();
    emit SendToLogin();
}

void ParamSettingWin::handleTimeout()
{ }

void ParamSettingWin::receiveMsgFromCheckStand(std::wstring data)
{
    m_lastReceipt.store(data, m_language);
}

void ParamSettingWin::receivePayPrint(std::wstring data)
{
    printInBackground("receipt",
        [message = std::move(data), party = receiptParty(), settings = printSettings()](
            const ReceiptPrinter &printer) {
            return printer.printPaySuccess(message, party, settings);
        });
}

void ParamSettingWin::recvivePrint(std::wstring data)
{
    printInBackground("receipt (order list)",
        [message = std::move(data), party = receiptParty(), settings = printSettings()](
            const ReceiptPrinter &printer) {
            return printer.printOrderList(message, party, settings);
        });
}

ReceiptPrinter::Party ParamSettingWin::receiptParty() const
{
    return {QString::fromStdWString(m_merchantName), Text::fromLocal(m_clerkTel)};
}

ReceiptPrinter::Settings ParamSettingWin::printSettings() const
{
    return {m_settings.print, m_settings.printCount, m_settings.printWidth, m_language};
}

void ParamSettingWin::printInBackground(
    const char *what, std::function<int(const ReceiptPrinter &)> print)
{
    PrintQueue::process().post(what, [openDevice = m_openPrintDevice, print = std::move(print)] {
        print(ReceiptPrinter(openDevice));
    });
}

void ParamSettingWin::setPrintDeviceFactory(ReceiptPrinter::DeviceFactory openDevice)
{
    m_openPrintDevice = std::move(openDevice);
}

bool ParamSettingWin::waitForPrinting(int timeoutMs) const
{
    return PrintQueue::process().waitUntilIdle(std::chrono::milliseconds(timeoutMs));
}
