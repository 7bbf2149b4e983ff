#include "QMyButton.h"

#include <QLabel>

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
    m_icon->setGeometry(0, 0, width, iconHeight);
    m_text->setGeometry(0, iconHeight, width, height - iconHeight);
    m_text->setText(text);
}

void QMyButton::setStyleSheets(const QString &iconStyle, const QString &textStyle)
{
    m_icon->setStyleSheet(iconStyle);
    m_text->setStyleSheet(textStyle);
}

QString QMyButton::caption() const
{
    return m_text->text();
}
