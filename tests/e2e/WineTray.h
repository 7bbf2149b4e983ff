#pragma once

#include <QString>

#include <functional>

class DesktopSession;

// The tray of a Wine desktop without a tray host: Wine keeps the icons in a window of its own,
// "Wine System Tray", top left.
namespace WineTray {

// Opens the menu of the first icon there with a right click and clicks item `index` of its
// `items`; the menu is a new window of `owner`'s (its title). False when the menu did not open
// or did not close after the click; a screenshot goes to `failureShot` then.
bool clickItem(const DesktopSession &desktop, const QString &owner, int index, int items,
    const QString &failureShot);
// The same until `clicked` holds, up to three times: Wine's tray now and then loses a click
// under load, or its menu moves after it is mapped, and a click beside an item only closes the
// menu. For items whose click shows in the owner's state (`clicked`, waited for 10 s after
// each click); never for one that must not run twice.
bool clickItemUntil(const DesktopSession &desktop, const QString &owner, int index, int items,
    const QString &failureShot, const std::function<bool()> &clicked);

} // namespace WineTray
