#include "QMyButton.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int kWidth = 92;
constexpr int kHeight = 65;
constexpr int kIconHeight = 43;

} // namespace

QMyButton::QMyButton(QWidget *parent, const QString &objectName)
    : QPushButton(parent)
    , m_icon(new QLabel(this))
    , m_text(new QLabel(this))
{
    setObjectName(objectName.isEmpty() ? QStringLiteral("QMyButton") : objectName);
    setFlat(true);
    setFocusPolicy(Qt::NoFocus);
    resize(kWidth, kHeight);

    m_icon->setObjectName(QStringLiteral("label_img"));
    m_icon->setGeometry(0, 0, kWidth - 1, kIconHeight);
    m_icon->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_text->setObjectName(QStringLiteral("label_font"));
    m_text->setGeometry(0, kIconHeight, kWidth - 1, kHeight - kIconHeight);
    m_text->setFont(QFont(QStringLiteral("Arial"), 9));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QMyButton::setButtonText(const QString &text, int width, int height)
{
    resize(width, height);
    const int iconHeight = height * kIconHeight / kHeight;
    const bool resized = m_icon->size() != QSize(width, iconHeight);
    m_icon->setGeometry(0, 0, width, iconHeight);
    m_text->setGeometry(0, iconHeight, width, height - iconHeight);
    m_text->setText(text);
    if (resized)
        showIconImage();
}

void QMyButton::setIconImage(const QString &path)
{
    if (path == m_iconPath)
        return;
    m_iconPath = path;
    m_iconImage = QIcon(path);
    showIconImage();
}

void QMyButton::showIconImage()
{
    // Painted over the whole area as the style sheet paints an "image", pixel for pixel.
    const QSize size = m_icon->contentsRect().size();
    if (m_iconImage.isNull() || size.isEmpty())
        return;
    QPixmap canvas(size);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    m_iconImage.paint(&painter, canvas.rect(), Qt::AlignCenter);
    painter.end();
    m_icon->setPixmap(canvas);
}

void QMyButton::setStyleSheets(const QString &iconStyle, const QString &textStyle)
{
    // A sheet set again, even the same, re-polishes the labels: only what changed.
    if (m_icon->styleSheet() != iconStyle)
        m_icon->setStyleSheet(iconStyle);
    if (m_text->styleSheet() != textStyle)
        m_text->setStyleSheet(textStyle);
}

QString QMyButton::caption() const
{
    return m_text->text();
}
