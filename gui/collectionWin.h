#pragma once

#include <QFont>
#include <QWidget>

#include <memory>

class CardCountdown;
class DesignGeometry;

namespace Ui {
class collectionWin;
}

// The result card of a payment: a success or failure picture, a title, the amount or the
// reason, the payment method with its wallet icon, the order line and a countdown. It is
// created hidden and reused for every outcome; the owner fills it, centres it over itself,
// shows it and counts it down.
class collectionWin final : public QWidget
{
    Q_OBJECT

public:
    enum MethodIcon { NoIcon = 0, AlipayIcon = 1, WeChatIcon = 2 };

    explicit collectionWin(QWidget *parent = nullptr);
    ~collectionWin() override;

    // Shown where a card gives the gateway's reason and the gateway gave none.
    static QString defaultReason();
    // The gateway's reason for a card, or defaultReason() when it is blank.
    static QString reasonOrUnsaid(const QString &reason);

    // Both fill the card's texts and choose its picture; neither shows nor moves the card. A
    // message too long for its line is wrapped, then set smaller, then cut with an ellipsis
    // (the whole text in its tool tip), so it never runs into the title or off the card.
    void showFailure(const QString &message, const QString &orderLine, const QString &methodCaption,
        const QString &title);
    void showSuccess(const QString &message, const QString &orderLine, const QString &methodCaption,
        const QString &title);
    // `kind` is a MethodIcon; any other value sets the text and keeps the icon shown.
    void setMethod(const QString &text, int kind);
    void setCountdown(const QString &text);
    // Shows the card centred over `window`, on top, at "3s"; the owner starts its countdown.
    void presentOver(const QWidget *window);
    // One tick of the owner's one-second countdown timer: shows "2s" or "1s", or hides the
    // card. False when the card has closed and the timer is to stop.
    bool countDown(CardCountdown &countdown);
    void setFixedTexts(
        const QString &methodValue, const QString &closingWords, const QString &buttonText);
    // Which picture the card holds: the success picture (also the designed one) or the
    // failure picture.
    bool successShown() const;

public slots:
    void hideThis();
    // Lays the card out for the current screen from its 1440 x 900 design.
    void resizeWinodw();

private:
    void fill(bool success, const QString &message, const QString &orderLine,
        const QString &methodCaption, const QString &title);

    std::unique_ptr<Ui::collectionWin> m_ui;
    QFont m_messageFont; // as designed; a long message is set smaller
    QString m_message; // whole, as the card was filled
    bool m_success = true; // the picture shown; the form starts with the success picture
    int m_methodIcon = WeChatIcon; // the wallet icon shown, as the form starts
    std::unique_ptr<DesignGeometry> m_design;
};
