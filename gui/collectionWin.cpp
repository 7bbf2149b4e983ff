#include "collectionWin.h"
#include "ui_collectionWin.h"

#include "CardCountdown.h"
#include "WindowScaling.h"

#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QPainterPath>
#include <QRegion>

#include <climits>

namespace {

const char kSuccessPicture[] = "border-image: url(:/Tallyport/skin/success.png);";
const char kFailurePicture[] = "border-image: url(:/Tallyport/skin/fail.png);";
const char kAlipayIcon[] = "border-image: url(:/Tallyport/skin/zhifub.png);";
const char kWeChatIcon[] = "border-image: url(:/Tallyport/skin/wx.png);";
const char kNoIcon[] = "border-image: none;";

// The smallest size a long message is set in before it is cut.
constexpr int kSmallestMessagePoints = 9;
// More of a message than ever fits on the card; a longer one is measured only this far.
constexpr int kLongestMessage = 300;
const QChar kEllipsis(0x2026);
const QChar kBreakAnywhere(0x200b); // a zero-width space: a line may break there

constexpr int kWrapFlags = Qt::AlignCenter | Qt::TextWordWrap;

bool fits(const QFont &font, const QString &text, const QSize &box)
{
    const QRect needed
        = QFontMetrics(font).boundingRect(QRect(0, 0, box.width(), INT_MAX), kWrapFlags, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}

// The longest beginning of `text` that fits with an ellipsis after it.
QString cutToFit(const QFont &font, const QString &text, const QSize &box)
{
    int shortest = 0;
    int longest = text.size();
    while (shortest < longest) {
        const int middle = (shortest + longest + 1) / 2;
        if (fits(font, text.left(middle) + kEllipsis, box))
            shortest = middle;
        else
            longest = middle - 1;
    }
    return text.left(shortest) + kEllipsis;
}

// `text` with a line break allowed after every character, for words longer than a line.
QString breakableAnywhere(const QString &text)
{
    QString breakable;
    breakable.reserve(text.size() * 2);
    for (const QChar c : text)
        breakable.append(c).append(kBreakAnywhere);
    return breakable;
}

// The largest size from the designed one down that holds `text` in `box`, if any.
bool fitFont(QFont &font, int designedPoints, const QString &text, const QSize &box)
{
    for (int points = designedPoints; points >= kSmallestMessagePoints; --points) {
        font.setPointSize(points);
        if (fits(font, text, box))
            return true;
    }
    return false;
}

// Sets `text` into a word-wrapping label whose box it must not leave: at the designed size
// when it fits, else at the largest smaller size that holds it, broken between words and
// else anywhere; cut at the smallest size as a last resort.
void setFitted(QLabel *label, const QFont &designed, const QString &text)
{
    const QSize box = label->contentsRect().size();
    const bool tooLong = text.size() > kLongestMessage;
    QFont font = designed;
    QString shown = text.left(kLongestMessage);
    if (tooLong || !fitFont(font, designed.pointSize(), shown, box)) {
        shown = breakableAnywhere(shown);
        if (tooLong || !fitFont(font, designed.pointSize(), shown, box)) {
            font.setPointSize(kSmallestMessagePoints);
            shown = cutToFit(font, shown, box);
        }
    }
    label->setFont(font);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text.left(4 * kLongestMessage));
}

} // namespace

collectionWin::collectionWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::collectionWin>())
{
    m_ui->setupUi(this);
    m_messageFont = m_ui->label_sq->font();
    m_message = m_ui->label_sq->text();
    // Reasons come from the gateway: shown as they read, never as markup.
    m_ui->label_sq->setTextFormat(Qt::PlainText);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint
        | Qt::WindowStaysOnTopHint);
    // The white card is painted by the style sheet; its rounded corners are cut by a mask,
    // which needs no compositing window manager (a see-through window shows black without one).
    setAttribute(Qt::WA_StyledBackground);
    // Shown over the checkout while the cashier may be typing the next sale: the keys stay
    // with the checkout's fields.
    setAttribute(Qt::WA_ShowWithoutActivating);

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

QString collectionWin::defaultReason()
{
    return QStringLiteral("支付平台未说明原因");
}

QString collectionWin::reasonOrUnsaid(const QString &reason)
{
    return reason.trimmed().isEmpty() ? defaultReason() : reason;
}

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
    // A new style sheet re-polishes the picture: only when the picture changes.
    if (success != m_success) {
        m_ui->pushButton->setStyleSheet(QLatin1String(success ? kSuccessPicture : kFailurePicture));
        m_success = success;
    }
    m_ui->label_sk->setText(title);
    m_message = message;
    setFitted(m_ui->label_sq, m_messageFont, m_message);
    m_ui->label_fs->setText(methodCaption);
    m_ui->label_ddh->setText(orderLine);
}

void collectionWin::setMethod(const QString &text, int kind)
{
    m_ui->label->setText(text);
    const char *icon = nullptr;
    switch (kind) {
    case AlipayIcon:
        icon = kAlipayIcon;
        break;
    case WeChatIcon:
        icon = kWeChatIcon;
        break;
    case NoIcon:
        icon = kNoIcon;
        break;
    default:
        return;
    }
    // As with the picture: the icon's style sheet is set only when the icon changes.
    if (kind != m_methodIcon) {
        m_ui->pushButton_2->setStyleSheet(QLatin1String(icon));
        m_methodIcon = kind;
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
    setFitted(m_ui->label_sq, m_messageFont, m_message);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 8, 8);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}
