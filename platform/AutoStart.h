#pragma once

#include <QString>

// Starting the client when the user logs in: an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/Tallyport.desktop, by default under ~/.config) that runs the
// executable from its own directory.
namespace AutoStart {

QString entryPath();
// Writes the entry for `executable`, or removes it (also when it was never there). False when
// the entry could not be written or removed, or when the path holds a control character (no
// path may add lines to the entry).
bool setEnabled(bool enabled, const QString &executable);
bool isEnabled();

// The Exec value that runs `executable` with no arguments: the path quoted, and escaped as
// desktop entries require, so that blanks, quotes, "$", "`", "\" and "%" stay in the path.
QString execValue(const QString &executable);

} // namespace AutoStart
