#pragma once

#include <QPushButton>

class QLabel;

// A menu item of the main window: an icon area with a caption under it. The button's own
// text stays empty; the two labels carry the picture and the caption.
class QMyButton final : public QPushButton
{
    Q_OBJECT

public:
    explicit QMyButton(QWidget *parent = nullptr, const QString &objectName = QString());

    // Sets the caption and lays the button out at `width` x `height`: the icon area on top,
    // the caption label under it.
    void setButtonText(const QString &text, int width, int height);
    void setStyleSheets(const QString &iconStyle, const QString &textStyle);

    QString caption() const;

private:
    QLabel *m_icon;
    QLabel *m_text;
};
