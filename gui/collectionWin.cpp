#include "collectionWin.h"
#include "ui_collectionWin.h"

#include "CardCountdown.h"

#include "WindowScaling.h"

#include <QPainterPath>
#include <QRegion>

#include <QKeySequence>

namespace {

const char kSuccessPicture[] = "border-image: url(:/Tallyport/skin/success.png);";
const char kFailurePicture[] = "border-image: url(:/Tallyport/skin/fail.png);";
const char kAlipayIcon[] = "border-image: url(:/Tallyport/skin/zhifub.png);";
const char kWeChatIcon[] = "border-image: url(:/Tallyport/skin/wx.png);";
const char kNoIcon[] = "border-image: none;";

} // namespace

collectionWin::collectionWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::collectionWin>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint
        | Qt::WindowStaysOnTopHint);
    // The white card is painted by the style sheet; its rounded corners are cut by a mask,
    // which needs no compositing window manager (a see-through window shows black without one).
    setAttribute(Qt::WA_StyledBackground);

    // Keypad Enter, then the paragraph-separator key, then Return: each replaces the one
    // before, so Return is the button's key. A hidden button's shortcut does not fire.
    m_ui->pushButton_3->setShortcut(QKeySequence(Qt::Key_Enter));
    m_ui->pushButton_3->setShortcut(QKeySequence(QKeySequence::InsertParagraphSeparator));
    m_ui->pushButton_3->setShortcut(QKeySequence(Qt::Key_Return));
    connect(m_ui->pushButton_3, &QPushButton::clicked, this, &collectionWin::hideThis);
    m_ui->pushButton_3->hide();

    m_design = std::make_unique<DesignGeometry>(this);
    resizeWinodw();
}

collectionWin::~collectionWin() = default;

void collectionWin::showFailure(const QString &message, const QString &orderLine,
    const QString &methodCaption, const QString &title)
{
    fill(false, message, orderLine, methodCaption, title);
}

void collectionWin::showSuccess(const QString &message, const QString &orderLine,
    const QString &methodCaption, const QString &title)
{
    fill(true, message, orderLine, methodCaption, title);
}

void collectionWin::fill(bool success, const QString &message, const QString &orderLine,
    const QString &methodCaption, const QString &title)
{
    m_success = success;
    m_ui->label_sk->setText(title);
    m_ui->label_sq->setText(message);
    m_ui->label_fs->setText(methodCaption);
    m_ui->label_ddh->setText(orderLine);
    m_ui->pushButton->setStyleSheet(QLatin1String(success ? kSuccessPicture : kFailurePicture));
}

void collectionWin::setMethod(const QString &text, int kind)
{
    m_ui->label->setText(text);
    switch (kind) {
    case AlipayIcon:
        m_ui->pushButton_2->setStyleSheet(QLatin1String(kAlipayIcon));
        break;
    case WeChatIcon:
        m_ui->pushButton_2->setStyleSheet(QLatin1String(kWeChatIcon));
        break;
    case NoIcon:
        m_ui->pushButton_2->setStyleSheet(QLatin1String(kNoIcon));
        break;
    default:
        break;
    }
}

void collectionWin::setCountdown(const QString &text)
{
    m_ui->label_sj->setText(text);
}

void collectionWin::presentOver(const QWidget *window)
{
    move(WindowScaling::centredOver(window, size()));
    setCountdown(QStringLiteral("3s"));
    show();
    raise();
}

bool collectionWin::countDown(CardCountdown &countdown)
{
    switch (countdown.tick()) {
    case CardCountdown::Step::ShowTwo:
        setCountdown(QStringLiteral("2s"));
        return true;
    case CardCountdown::Step::ShowOne:
        setCountdown(QStringLiteral("1s"));
        return true;
    case CardCountdown::Step::Close:
        break;
    }
    hide();
    return false;
}

void collectionWin::setFixedTexts(
    const QString &methodValue, const QString &closingWords, const QString &buttonText)
{
    m_ui->label->setText(methodValue);
    m_ui->label_2->setText(closingWords);
    m_ui->pushButton_3->setText(buttonText);
}

bool collectionWin::successShown() const
{
    return m_success;
}

void collectionWin::hideThis()
{
    hide();
}

void collectionWin::resizeWinodw()
{
    // Start from the design each time, so a second call does not scale twice.
    m_design->applyScaled(WindowScaling::current());
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 8, 8);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}
