#pragma once

#include <QString>

class DesktopSession;

// The tray of a Wine desktop without a tray host: Wine keeps the icons in a window of its own,
// "Wine System Tray", top left.
namespace WineTray {

// Opens the menu of the first icon there with a right click and clicks item `index` of its
// `items`; the menu is a new window of `owner`'s (its title). False when the menu did not open
// or did not close after the click; a screenshot goes to `failureShot` then.
bool clickItem(const DesktopSession &desktop, const QString &owner, int index, int items,
    const QString &failureShot);

} // namespace WineTray
