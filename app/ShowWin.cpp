#include "ShowWin.h"
#include "ui_ShowWin.h"

#include "CheckStandWin.h"
#include "ConfigStore.h"
#include "DisplayLine.h"
#include "PayWin.h"
#include "SerialReader.h"
#include "SingleWin.h"
#include "WindowScaling.h"

#include <QDebug>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>

namespace {

constexpr int kKeepOnTopFromSecond = 11;
const QString kManualInput = QStringLiteral("手动输入");

QRegion roundedMask(QSize size, int radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

} // namespace

ShowWin::ShowWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::ShowWin>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint
        | Qt::WindowStaysOnTopHint);
    setWindowOpacity(0.7);
    setStyleSheet(QStringLiteral("#ShowWin { background-color: white; }"));
    m_ui->pushButton_showwindow->setStyleSheet(
        QStringLiteral("border-image:url(:/Tallyport/skin/bankicon.png); border:none;"));
    m_ui->pushButton_getmoney->setStyleSheet(
        QStringLiteral("color: rgb(193, 39, 45); border:none; font: bold 22pt \"Arial\";"));

    const QSize screen = WindowScaling::screenSize();
    move((screen.width() - width()) * 6 / 11, (screen.height() - height()) * 2 / 10);

    m_payWin = std::make_unique<PayWin>();
    m_payWin->setFloatingIcon(this);
    m_payWin->move(
        (screen.width() - m_payWin->width()) / 4, (screen.height() - m_payWin->height()) / 2);
    m_payWin->show();
    m_ui->pushButton_getmoney->setText(QStringLiteral("0"));

    const ConfigStore store;
    if (store.exists()) {
        m_multiWindowShow
            = store.readInt(QStringLiteral("MULTIWINDOW_SHOW"), QStringLiteral("multiwindow_show"));
        m_suspendWindowShow = store.readInt(
            QStringLiteral("SUSPENDWINDOW_SHOW"), QStringLiteral("suspendwindow_show"));
        m_collectMethod
            = store.readString(QStringLiteral("COLLECTMETHOD"), QStringLiteral("collectmethod"));
    }

    CheckStandWin *checkout = m_payWin->checkStandWin();
    connect(this, &ShowWin::sendDataToCheckStand, checkout, &CheckStandWin::receiveDataFromShowWin);
    connect(this, &ShowWin::sendDataToCheckStand, m_payWin->singleWin(),
        &SingleWin::receiveDataFromShowWin);
    // Queued: the form is also hidden on the way to showing the main window, which is then up.
    connect(m_payWin->singleWin(), &SingleWin::hidden, this, &ShowWin::onFormHidden,
        Qt::QueuedConnection);
    connect(this, &ShowWin::sendShowWindow, this, &ShowWin::receiveShowWindow);
    connect(m_ui->pushButton_showwindow, &QPushButton::clicked, this, &ShowWin::OnShowPayWindow);
    connect(checkout, &CheckStandWin::sendMoneyToShowWin, this, &ShowWin::receiveDataFromStand);
    if (!m_collectMethod.isEmpty() && m_collectMethod != kManualInput)
        startDisplayReader();

    const ScreenScale scale = WindowScaling::current();
    if (scale.active()) {
        resize(scale.size(QSize(276, 60)));
        m_ui->pushButton_showwindow->setGeometry(scale.rect(QRect(5, 5, 50, 50)));
        m_ui->pushButton_getmoney->setGeometry(scale.rect(QRect(65, 0, 211, 60)));
    }
    setMask(roundedMask(size(), 10));

    qDebug() << "m_isShowMultiWindow ====   " << m_suspendWindowShow;
    if (m_suspendWindowShow == 0) {
        m_keepOnTopEnabled = true;
        m_sinceCreated.start();
        connect(&m_keepOnTop, &QTimer::timeout, this, &ShowWin::onKeepOnTopTick);
        m_keepOnTop.setInterval(1000);
    }
}

ShowWin::~ShowWin()
{
    // The reader emits on this window: it ends before anything else goes.
    if (m_displayReader)
        m_displayReader->stop();
    m_keepOnTop.stop();
    m_payWin.reset();
}

// The till's customer display line on the collection port (9600 8N2): what follows the
// upper-line command goes to both pay forms as the amount to collect.
void ShowWin::startDisplayReader()
{
    SerialReader::Options options;
    options.port = m_collectMethod;
    options.stopBits = 2;
    SerialReader::Callbacks callbacks;
    callbacks.received
        = [this](const QByteArray &bytes) { emit sendDataToCheckStand(DisplayLine::text(bytes)); };
    // Opened on the reader's thread; a port that does not open ends the reader there.
    m_displayReader = std::make_unique<SerialReader>(options, callbacks);
    m_displayReader->start();
}

QString ShowWin::amountText() const
{
    return m_ui->pushButton_getmoney->text();
}

void ShowWin::onKeepOnTopTick()
{
    if (m_sinceCreated.elapsed() > (kKeepOnTopFromSecond - 1) * 1000)
        emit sendShowWindow();
}

void ShowWin::showEvent(QShowEvent *event)
{
    if (m_keepOnTopEnabled && !m_keepOnTop.isActive())
        m_keepOnTop.start();
    QWidget::showEvent(event);
}

void ShowWin::hideEvent(QHideEvent *event)
{
    m_keepOnTop.stop();
    QWidget::hideEvent(event);
}

void ShowWin::onFormHidden()
{
    if (!isVisible() && !m_payWin->isVisible() && !m_payWin->singleWin()->isVisible())
        show();
}

void ShowWin::OnShowPayWindow()
{
    hide();
    qDebug() << "fucn ==s=s=s=ss=s=s=s=s=s=s=";
    const QSize screen = WindowScaling::screenSize();
    if (m_multiWindowShow != 0) {
        SingleWin *single = m_payWin->singleWin();
        single->focusPayCode();
        single->showNormal();
        single->move(
            (screen.width() - single->width()) / 4, (screen.height() - single->height()) / 2);
        return;
    }
    m_payWin->onShowPayWin();
    m_payWin->showNormal();
}

void ShowWin::receiveDataFromStand(float data)
{
    Q_UNUSED(data)
    m_ui->pushButton_getmoney->setText(CheckStandWin::lastAmount());
}

void ShowWin::receiveShowWindow()
{
    if (isVisible() && !m_payWin->isVisible()) {
        show();
        raise();
    }
}

void ShowWin::mousePressEvent(QMouseEvent *event)
{
    m_lastMouse = event->globalPos();
    QWidget::mousePressEvent(event);
}

void ShowWin::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint target = pos() + (event->globalPos() - m_lastMouse);
    m_lastMouse = event->globalPos();
    const QSize screen = WindowScaling::screenSize();
    if (target.x() >= 0 && target.x() < screen.width() - 150 && target.y() >= 0
        && target.y() < screen.height() - 60)
        move(target);
    QWidget::mouseMoveEvent(event);
}
