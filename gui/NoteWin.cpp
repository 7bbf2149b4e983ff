#include "NoteWin.h"
#include "ui_NoteWin.h"

#include "ProcessControl.h"
#include "WindowScaling.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QShortcut>
#include <QTimer>

namespace {

constexpr int kExitPrompt = 1;
constexpr int kLogoutPrompt = 2;
constexpr int kRestartPrompt = 3;
constexpr int kAutoCloseMs = 1000;

const char kSuccessIcon[] = "border-image: url(:/Tallyport/skin/success.png);";
const char kFailIcon[] = "border-image: url(:/Tallyport/skin/fail.png);";

// Enter on the keypad and Return on the main block both press the button, but only while it
// is shown: a hidden button's shortcuts stay inactive, so Yes and OK never compete.
void addEnterShortcuts(QAbstractButton *button)
{
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *shortcut = new QShortcut(QKeySequence(key), button);
        QObject::connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    }
}

} // namespace

NoteWin::NoteWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::NoteWin>())
    , m_timer(new QTimer(this))
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint
        | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_StyledBackground);

    addEnterShortcuts(m_ui->pushButton_yes);
    addEnterShortcuts(m_ui->pushButton_ok);

    // Not a single-shot timer: handleTimeout() only acts while the timer is active and stops
    // it itself, so the note still closes once per start.
    m_timer->setObjectName(QStringLiteral("autoCloseTimer"));
    m_timer->setInterval(kAutoCloseMs);

    connect(m_ui->pushButton_yes, &QPushButton::clicked, this, &NoteWin::OnBtnYes);
    connect(m_ui->pushButton_no, &QPushButton::clicked, this, &NoteWin::OnBtnNo);
    connect(m_ui->pushButton_ok, &QPushButton::clicked, this, &NoteWin::OnBtnOk);
    connect(m_timer, &QTimer::timeout, this, &NoteWin::handleTimeout);

    m_ui->pushButton_ok->hide();

    m_design = std::make_unique<DesignGeometry>(this);
    resizeWinodw();
}

NoteWin::~NoteWin() = default;

void NoteWin::setMode(int mode)
{
    m_mode = mode;
}

int NoteWin::mode() const
{
    return m_mode;
}

void NoteWin::setIcon(bool success)
{
    m_ui->pushButton->setStyleSheet(QLatin1String(success ? kSuccessIcon : kFailIcon));
}

void NoteWin::setTexts(
    const QString &title, const QString &message, const QString &countdown, bool showCountdown)
{
    m_ui->label_bt->setText(title);
    m_ui->label_msg->setText(message);
    if (showCountdown)
        m_ui->label_m->setText(countdown);
    m_ui->label_m->setVisible(showCountdown);
    m_ui->label_gb->setVisible(showCountdown);
}

void NoteWin::setAutoCloseWords(const QString &words)
{
    m_ui->label_gb->setText(words);
}

void NoteWin::setYesNoMode(const QString &yesText, const QString &noText)
{
    // A notice shown just before may still be counting down; it must not close this prompt.
    m_timer->stop();
    m_ui->pushButton_yes->setText(yesText);
    m_ui->pushButton_no->setText(noText);
    m_ui->pushButton_ok->hide();
    m_ui->pushButton_yes->show();
    m_ui->pushButton_no->show();
}

void NoteWin::setOkMode(const QString &okText)
{
    m_ui->pushButton_ok->setText(okText);
    m_ui->pushButton_yes->hide();
    m_ui->pushButton_no->hide();
    m_ui->pushButton_ok->show();
    m_timer->start();
}

void NoteWin::centreOver(const QWidget *owner)
{
    move(WindowScaling::centredOver(owner, size()));
}

void NoteWin::OnBtnYes()
{
    switch (m_mode) {
    case kExitPrompt:
        // The keyboard-hook program is ours to stop; killAll returns once it is gone.
        ProcessControl::killAll(QStringLiteral("KeyHook"));
        QCoreApplication::quit();
        break;
    case kLogoutPrompt:
        // The owner's reaction changes the screen; the note stays as it is.
        emit SendToParamSetting();
        break;
    case kRestartPrompt:
        emit SendRestart();
        break;
    default:
        break;
    }
}

void NoteWin::OnBtnNo()
{
    hide();
}

void NoteWin::OnBtnOk()
{
    hide();
}

void NoteWin::handleTimeout()
{
    if (!m_timer->isActive())
        return;
    m_timer->stop();
    hide();
}

void NoteWin::resizeWinodw()
{
    // Start from the designed geometry each time, so a second call does not scale twice.
    m_design->applyScaled(WindowScaling::current());
}
