#include "PayWin.h"
#include "ui_PayWin.h"

#include "CheckStandWin.h"
#include "ConfigStore.h"
#include "DailyQueryWin.h"
#include "Language.h"
#include "OrderQueryWin.h"
#include "ParamSettingWin.h"
#include "QMyButton.h"
#include "ReFundWin.h"
#include "RunLog.h"
#include "Settings.h"
#include "SingleWin.h"
#include "WindowScaling.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace {

struct MenuEntry
{
    const char *icon;
    const char *chinese;
    const char *english;
    const char *vietnamese;
};

// Top to bottom: checkout, order query, daily summary, refund, settings.
const MenuEntry kMenu[5] = {
    {"p1.png", "收银台", "Cashier", "Quầy thu\nngân"},
    {"p2.png", "订单查询", "Order\ninquiry", "Tra cứu\nđơn hàng"},
    {"p3b.png", "日结查询", "Daily knots\nquery", "Tra theo\nngày"},
    {"p4.png", "申请退款", "Apply for\nrefund", "Yêu cầu\nhoàn tiền"},
    {"p5a.png", "参数设置", "Parameter\nsetting", "Cài đặt\ntham số"},
};

const char *kActiveColour = "background-color:rgba(193,39,45,1); ";
const char *kInactiveColour = "background-color:rgba(55, 63, 83, 1); ";

constexpr int kMenuWidth = 63;
constexpr int kMenuHeight = 65;
constexpr int kCloseSize = 30;

// The two hot-key slots behave differently on their very first call in the process.
struct FirstCalls
{
    bool singleWindow = true;
    bool cash = true;
    bool report = true;
};

FirstCalls &firstCalls()
{
    static FirstCalls calls;
    return calls;
}

QString menuText(const MenuEntry &entry, int language)
{
    return Language::pick(language, entry.chinese, entry.english, entry.vietnamese);
}

} // namespace

PayWin::PayWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::PayWin>())
    , m_language(kLanguageChinese)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinMaxButtonsHint);
    resize(671, 503);
    setStyleSheet(QStringLiteral("#PayWin { background-color: white; }"));

    const ConfigStore store;
    if (store.exists()) {
        store.readInt(QStringLiteral("LANGUAGE"), QStringLiteral("language")); // never applied
        const int stored
            = store.readInt(QStringLiteral("WINDOWSHOW"), QStringLiteral("showWindowTime"));
        if (stored > 0)
            m_showWindowTime = stored;
    }

    const ScreenScale scale = WindowScaling::current();
    m_checkStandWin = new CheckStandWin(this);
    m_checkStandWin->move(scale.x(90), 0);
    m_reFundWin = new ReFundWin(this);
    m_reFundWin->move(scale.x(90), 0);
    m_reFundWin->hide();
    m_orderQueryWin = new OrderQueryWin(this);
    m_orderQueryWin->move(scale.x(75), scale.y(20));
    m_orderQueryWin->hide();
    m_dailyQueryWin = new DailyQueryWin(this);
    m_dailyQueryWin->move(scale.x(90), scale.y(20));
    m_dailyQueryWin->hide();
    m_paramSettingWin = new ParamSettingWin(this);
    m_paramSettingWin->move(scale.x(90), scale.y(30));
    m_paramSettingWin->hide();
    m_singleWin = std::make_unique<SingleWin>();
    m_singleWin->hide();

    for (int i = 0; i < 5; ++i) {
        m_menu[i] = new QMyButton(this, QStringLiteral("QMyButton%1").arg(i + 1));
        m_menu[i]->setFocusPolicy(Qt::NoFocus);
    }
    m_ui->label_filler->setStyleSheet(QString::fromLatin1("background-color:rgba(55, 63, 83, 1);"));
    m_ui->pushButton_close->setFocusPolicy(Qt::NoFocus);
    m_ui->pushButton_close->setStyleSheet(QStringLiteral(
        "QPushButton{image:url(:/Tallyport/skin/guanbi1.png);background-color:#f2f3f5;border:none;}"
        "QPushButton:hover{image:url(:/Tallyport/skin/guanbi2.png);background-color:#ff4444;}"
        "QPushButton:pressed{image:url(:/Tallyport/skin/guanbi3.png);background-color:#e43b3b;}"));

    connect(m_menu[0], &QPushButton::clicked, this, &PayWin::OnShowCheckStandWin);
    connect(m_menu[3], &QPushButton::clicked, this, &PayWin::OnShowRefund);
    connect(m_menu[1], &QPushButton::clicked, this, &PayWin::OnShowOrderQuery);
    connect(m_menu[2], &QPushButton::clicked, this, &PayWin::OnShowDailyQuery);
    connect(m_menu[4], &QPushButton::clicked, this, &PayWin::OnShowParamSetting);
    connect(m_checkStandWin, &CheckStandWin::sendData, this, &PayWin::receiveDataFromCheckStandWin);
    connect(m_checkStandWin, &CheckStandWin::sendShowReceipt, this, &PayWin::OnShowCheckStandWin);
    connect(m_reFundWin, &ReFundWin::sendData, this, &PayWin::receiveDataFromReFundWin);
    connect(m_reFundWin, &ReFundWin::SendShowRefund, this, &PayWin::OnShowRefund);
    connect(m_paramSettingWin, &ParamSettingWin::SendDataToPayWin, this,
        &PayWin::receiveDataFromParamSettingWin);
    connect(m_paramSettingWin, &ParamSettingWin::SendDataToPayWinHotKey, this,
        &PayWin::receiveDataFromParamSettingWinHotKey);
    connect(m_paramSettingWin, &ParamSettingWin::ReportSendDataToPayWinHotKey, this,
        &PayWin::receiveDataFromParamSettingWindHotKeyReport);
    connect(m_paramSettingWin, &ParamSettingWin::SendPrintChangedToPayWin, this,
        &PayWin::receiveDataFromParamSettingWinPrintName);
    connect(this, &PayWin::SendPrintChangedToDailyQueryWin, m_dailyQueryWin,
        &DailyQueryWin::receivePrintChanged);
    // The settings window keeps its copy of the receipt before it prints it.
    connect(m_checkStandWin, &CheckStandWin::sendMsgToPrinter, m_paramSettingWin,
        &ParamSettingWin::receiveMsgFromCheckStand);
    connect(m_checkStandWin, &CheckStandWin::sendMsgToPrinter, m_orderQueryWin,
        &OrderQueryWin::receiveMsgFromCheckStand);
    connect(m_checkStandWin, &CheckStandWin::sendMsgToPrinter, m_paramSettingWin,
        &ParamSettingWin::receivePayPrint);
    connect(m_checkStandWin, &CheckStandWin::SendReceiveRefundCode, m_reFundWin,
        &ReFundWin::receiveRefundOrder);
    connect(m_paramSettingWin, &ParamSettingWin::SendPrintWidthToDailQuery, m_dailyQueryWin,
        &DailyQueryWin::receivePrintWidthChanged);
    connect(m_orderQueryWin, &OrderQueryWin::SendPrintToParamSetting, m_paramSettingWin,
        &ParamSettingWin::recvivePrint);
    connect(m_dailyQueryWin, &DailyQueryWin::SendToPayWinHidePayWin, this,
        &PayWin::receiveFromDailyQueryWin);
    connect(m_checkStandWin, &CheckStandWin::sendPayWinShow, this, &PayWin::onShowPayWin);
    connect(m_ui->pushButton_close, &QPushButton::clicked, this, &PayWin::OnCloseMe);
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, &PayWin::onShowWindow);

    setWindowIcon(QIcon(QStringLiteral("://Tallyport//skin//vela_logo.ico")));
    resizeWinodw();
}

PayWin::~PayWin()
{
    m_showTimer.stop();
    RunLog::write("PayWin 析构");
}

void PayWin::setFloatingIcon(QWidget *icon)
{
    m_floatingIcon = icon;
}

void PayWin::setShowWindowTime(int seconds)
{
    m_showWindowTime = seconds;
}

QMyButton *PayWin::menuButton(MenuItem item) const
{
    return m_menu[item - 1];
}

QSize PayWin::itemSize(MenuItem item) const
{
    const ScreenScale scale = WindowScaling::current();
    switch (item) {
    case OrderQuery:
        return scale.size(QSize(873, 542));
    case DailyQuery:
        return scale.size(QSize(691, 503));
    case Settings:
        return scale.size(QSize(671, 580));
    case Checkout:
    case Refund:
        break;
    }
    return scale.size(QSize(671, 503));
}

void PayWin::styleMenu()
{
    const ScreenScale scale = WindowScaling::current();
    for (int i = 0; i < 5; ++i) {
        const bool active = m_currentItem == i + 1;
        const QString colour = QString::fromLatin1(active ? kActiveColour : kInactiveColour);
        const QString text = QStringLiteral("color: rgb(255, 255, 255); ") + colour;
        m_menu[i]->setButtonText(
            menuText(kMenu[i], m_language), scale.x(kMenuWidth), scale.y(kMenuHeight));
        m_menu[i]->setIconImage(
            QStringLiteral(":/Tallyport/skin/") + QString::fromLatin1(kMenu[i].icon));
        m_menu[i]->setStyleSheets(text, text);
    }
}

void PayWin::layOutMenu()
{
    const ScreenScale scale = WindowScaling::current();
    const int buttonHeight = scale.y(kMenuHeight);
    for (int i = 0; i < 5; ++i)
        m_menu[i]->move(0, i * buttonHeight);
    int fillerHeight = height() - 5 * buttonHeight;
    if (m_currentItem == Settings)
        fillerHeight = scale.y(258);
    else if (m_fullView)
        fillerHeight = scale.y(221);
    m_ui->label_filler->setGeometry(0, 5 * buttonHeight, scale.x(kMenuWidth), fillerHeight);
    const int closeSize = scale.x(kCloseSize);
    m_ui->pushButton_close->setGeometry(width() - closeSize, -2, closeSize, closeSize);
    m_ui->pushButton_close->raise();
}

void PayWin::switchTo(MenuItem item)
{
    m_currentItem = item;
    m_fullView = false;
    styleMenu();
    if (item == OrderQuery) {
        OnShowFullView();
    } else {
        resize(itemSize(item));
        layOutMenu();
    }
    WindowScaling::keepOnScreen(this);

    QWidget *const pages[5]
        = {m_checkStandWin, m_orderQueryWin, m_dailyQueryWin, m_reFundWin, m_paramSettingWin};
    for (int i = 0; i < 5; ++i) {
        if (i + 1 != item)
            pages[i]->hide();
    }
    m_singleWin->hide();
    pages[item - 1]->show();
    if (item == Checkout)
        m_checkStandWin->SetEntryFocus();
}

void PayWin::OnShowCheckStandWin()
{
    switchTo(Checkout);
}

void PayWin::OnShowRefund()
{
    switchTo(Refund);
}

void PayWin::OnShowOrderQuery()
{
    switchTo(OrderQuery);
}

void PayWin::OnShowDailyQuery()
{
    switchTo(DailyQuery);
}

void PayWin::OnShowParamSetting()
{
    switchTo(Settings);
}

void PayWin::receiveDataFromCheckStandWin()
{
    hide();
}

void PayWin::receiveDataFromReFundWin()
{
    hide();
}

void PayWin::receiveFromDailyQueryWin()
{
    hide();
}

void PayWin::receiveDataFromParamSettingWin()
{
    switchTo(Checkout);
    hide();
}

void PayWin::receiveDataFromParamSettingWinHotKey(int data)
{
    FirstCalls &calls = firstCalls();
    if (data != 0) {
        // The single-window form: shown first on the very first call, then toggled, so the
        // first call leaves it hidden.
        if (calls.singleWindow) {
            calls.singleWindow = false;
            m_singleWin->show();
        }
        m_singleWin->setVisible(!m_singleWin->isVisible());
        return;
    }
    if (calls.cash) {
        calls.cash = false;
        switchTo(Checkout);
        showNormal();
        raise();
        activateWindow();
        return;
    }
    switchTo(Checkout);
    if (isVisible()) {
        hide();
    } else {
        showNormal();
        raise();
        activateWindow();
    }
}

void PayWin::receiveDataFromParamSettingWindHotKeyReport()
{
    FirstCalls &calls = firstCalls();
    const bool first = calls.report;
    calls.report = false;
    switchTo(OrderQuery);
    if (isVisible() && !first) {
        hide();
    } else {
        showNormal();
        raise();
        activateWindow();
    }
}

void PayWin::receiveDataFromParamSettingWinPrintName(QString printerName)
{
    emit SendPrintChangedToDailyQueryWin(printerName);
}

void PayWin::OnShowFullView()
{
    const ScreenScale scale = WindowScaling::current();
    m_fullView = true;
    resize(scale.size(QSize(873, 542)));
    m_orderQueryWin->resize(scale.size(QSize(863, 512)));
    m_orderQueryWin->layOutTable(scale.x(768));
    layOutMenu();
    const int closeSize = scale.x(kCloseSize);
    m_ui->pushButton_close->setGeometry(scale.x(843), -2, closeSize, closeSize);
}

void PayWin::OnCloseMe()
{
    emit m_checkStandWin->sendDeleteBarCode();
    hide();
}

void PayWin::resizeWinodw()
{
    switchTo(m_currentItem);
}

void PayWin::moveToWorkPosition()
{
    const QSize screen = WindowScaling::screenSize();
    move((screen.width() - width()) / 4, (screen.height() - height()) / 2);
}

void PayWin::onShowPayWin()
{
    m_reFundWin->hide();
    m_paramSettingWin->hide();
    m_orderQueryWin->hide();
    m_dailyQueryWin->hide();
    switchTo(Checkout);
    moveToWorkPosition();
    show();
}

void PayWin::onShowWindow()
{
    m_showTimer.stop();
    if (!m_floatingIcon || m_floatingIcon->isVisible() || isVisible())
        return;
    m_floatingIcon->show();
}

void PayWin::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PayWin::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_pressMouse = event->globalPos();
        m_pressWindow = pos();
    }
    QWidget::mousePressEvent(event);
}

void PayWin::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(m_pressWindow + event->globalPos() - m_pressMouse);
    QWidget::mouseMoveEvent(event);
}

void PayWin::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void PayWin::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_floatingIcon && !event->spontaneous())
        m_showTimer.start(m_showWindowTime * 1000);
}
