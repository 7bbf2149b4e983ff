#pragma once

#include <QIcon>
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
    // The picture of the icon area, drawn as a style sheet's "image" draws it: scaled down to the
    // area keeping its proportions, centred. It is kept as one icon rather than named in the
    // area's style sheet: every new sheet with an "image" makes a new icon whose scaled pixmaps
    // stay in Qt's pixmap cache, and the menu is restyled whenever the page changes.
    void setIconImage(const QString &path);
    void setStyleSheets(const QString &iconStyle, const QString &textStyle);

    QString caption() const;

private:
    void showIconImage();

    QString m_iconPath;
    QIcon m_iconImage;
    QLabel *m_icon;
    QLabel *m_text;
};
