#pragma once

#include <QString>

// Starting the client when the user logs in: an XDG autostart entry
// (~/.config/autostart/Tallyport.desktop) naming the executable.
namespace AutoStart {

QString entryPath();
// Writes the entry for `executable`, or removes it (also when it was never there).
bool setEnabled(bool enabled, const QString &executable);
bool isEnabled();

} // namespace AutoStart
