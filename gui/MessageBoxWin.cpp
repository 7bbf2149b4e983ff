#include "MessageBoxWin.h"
#include "ui_MessageBoxWin.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPainterPath>
#include <QRegion>
#include <QShortcut>
#include <QTimer>

namespace {

constexpr qreal kOpacity = 0.95;
constexpr qreal kCornerRadius = 20;

} // namespace

MessageBoxWin::MessageBoxWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::MessageBoxWin>())
    , m_timer(new QTimer(this))
{
    m_ui->setupUi(this);
    // A window of its own even when an owner is given, so it floats over the owner.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_StyledBackground);
    setWindowOpacity(kOpacity);

    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *shortcut = new QShortcut(QKeySequence(key), m_ui->pushButton_yes2);
        connect(shortcut, &QShortcut::activated, m_ui->pushButton_yes2, &QAbstractButton::click);
    }

    // handleTimeout() acts only while the timer is active and stops it, so it fires once.
    m_timer->setObjectName(QStringLiteral("autoHideTimer"));

    connect(m_ui->pushButton_yes, &QPushButton::clicked, this, &MessageBoxWin::OnYesExitApp);
    connect(m_ui->pushButton_no, &QPushButton::clicked, this, &MessageBoxWin::OnNoHideApp);
    connect(m_ui->pushButton_yes2, &QPushButton::clicked, this, &MessageBoxWin::OnYes2HideApp);
    connect(m_timer, &QTimer::timeout, this, &MessageBoxWin::handleTimeout);

    m_ui->pushButton_yes2->hide();
    applyRoundedMask();
}

MessageBoxWin::~MessageBoxWin() = default;

void MessageBoxWin::setTexts(const QString &title, const QString &message)
{
    m_ui->label_note->setText(title);
    m_ui->label_message->setText(message);
}

void MessageBoxWin::setSingleButtonMode()
{
    m_ui->pushButton_yes->hide();
    m_ui->pushButton_no->hide();
    m_ui->pushButton_yes2->show();
}

void MessageBoxWin::startAutoHide(int seconds)
{
    if (seconds > 0)
        m_timer->start(seconds * 1000);
    else
        m_timer->stop();
}

void MessageBoxWin::OnYesExitApp()
{
    QCoreApplication::quit();
}

void MessageBoxWin::OnNoHideApp()
{
    hide();
}

void MessageBoxWin::OnYes2HideApp()
{
    hide();
}

void MessageBoxWin::handleTimeout()
{
    if (!m_timer->isActive())
        return;
    m_timer->stop();
    hide();
}

void MessageBoxWin::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyRoundedMask();
}

void MessageBoxWin::applyRoundedMask()
{
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}
