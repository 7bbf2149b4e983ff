#include "WineTray.h"

#include "DesktopSession.h"

#include <QRect>
#include <QtTest>

namespace WineTray {

bool clickItem(const DesktopSession &desktop, const QString &owner, int index, int items,
    const QString &failureShot)
{
    const QString tray = desktop.visibleWindows(QStringLiteral("Wine System Tray")).value(0);
    if (tray.isEmpty())
        return false;
    desktop.run(QStringLiteral("xdotool"), {QStringLiteral("windowraise"), tray});
    const QRect icon = desktop.windowGeometry(tray);
    // The menu is a new window of the owner's, of the size of its items.
    const QStringList before = desktop.visibleWindows(owner);
    const auto menu = [&] {
        for (const QString &id : desktop.visibleWindows(owner)) {
            const QRect r = desktop.windowGeometry(id);
            if (!before.contains(id) && r.height() >= items * 15 && r.width() < 400)
                return r;
        }
        return QRect();
    };
    // Wine's tray window now and then lets a click go by while it is busy (a card was just
    // hidden, other suites run beside this one): the right click is given up to three times.
    bool opened = false;
    for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
        // A click on the bare desktop first, bottom left: a popup of Wine's that still holds
        // the pointer lets it go, and the tray sees the pointer come.
        desktop.run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("2"),
                QStringLiteral("766"), QStringLiteral("click"), QStringLiteral("1")});
        desktop.run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                QString::number(icon.left() + icon.height() / 2),
                QString::number(icon.center().y()), QStringLiteral("click"), QStringLiteral("3")});
        opened = QTest::qWaitFor([&] { return menu().isValid(); }, 5000);
    }
    if (!opened) {
        desktop.screenshot(failureShot);
        qWarning("no tray menu; %s's windows: %s", qPrintable(owner),
            qPrintable(desktop.visibleWindowSizes(owner).join(QStringLiteral(", "))));
        return false;
    }
    // Clicked where it stays: Wine may place the menu again after mapping it.
    QRect r = menu();
    for (QRect again = menu(); again != r; again = menu())
        r = again;
    const int y = r.top() + (2 * index + 1) * r.height() / (2 * items);
    desktop.run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(r.center().x()),
            QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
    if (QTest::qWaitFor([&] { return !menu().isValid(); }, 10000))
        return true;
    desktop.screenshot(failureShot);
    return false;
}

bool clickItemUntil(const DesktopSession &desktop, const QString &owner, int index, int items,
    const QString &failureShot, const std::function<bool()> &clicked)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (clickItem(desktop, owner, index, items, failureShot) && QTest::qWaitFor(clicked, 10000))
            return true;
    }
    return false;
}

} // namespace WineTray
